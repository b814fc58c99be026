// The remover: what the installer runs to take the program away, and what a user of the
// portable copy runs before deleting its folder.
//   /user     ends the copies of the program running on this desktop, as their Exit command
//             does, and removes this user's data. Nothing is removed while a copy still runs.
//   /machine  removes the data kept for all users, in both registry views.
//   /wait=MS  how long a copy may take to end (30000 unless given).
// With neither /user nor /machine, it does both. The exit codes are remover::Result's.
#include <windows.h>

#include "remover/Remover.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    return remover::Run(commandLine);
}
