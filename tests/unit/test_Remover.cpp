// The remover's refusals: a copy it may not ask to end, and data it may not delete.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "TestWindows.h"
#include "remover/Remover.h"
#include "state/ProgramState.h"
#include "ui/frmmain.h"
#include "win32/Handles.h"

using testing_windows::Seam;

namespace {

const std::string kProgramKey = "Software\\Corvanta\\VIVurazoru";
const std::string kApproved =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";

// As for an unelevated remover: the program's machine key will not open for deleting.
LSTATUS WINAPI MachineDenied(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY key) {
    return root == HKEY_LOCAL_MACHINE && path == kProgramKey
               ? ERROR_ACCESS_DENIED
               : ::RegOpenKeyExA(root, path, options, access, key);
}

// Keys in the 64-bit view, where Windows keeps its start records, for the i686 build too.
bool Exists(HKEY root, const std::string& path, const char* value = nullptr) {
    win32::Key key;
    return ::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, key.put()) == 0 &&
           (!value ||
            ::RegQueryValueExA(key.get(), value, nullptr, nullptr, nullptr, nullptr) == 0);
}

void PutAll() {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        for (const std::string& path :
             {std::string(state::kInstancesKey), kApproved + "Run", kApproved + "Run32"}) {
            win32::Key key;
            ::RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                              nullptr, key.put(), nullptr);
            for (const char* value : {"IE Tamewin", "Other"}) {
                ::RegSetValueExA(key.get(), value, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
            }
        }
    }
}

}  // namespace

TEST(Remover, RefusalsEndTheRun) {
    PutAll();
    {
        state::ProgramState state;
        ui::frmmain copy(state);  // a running copy's main window
        copy.Load();
        // Asked to end, it has not when the wait runs out: its process is the test's own.
        EXPECT_EQ(remover::Run("/wait=100"), remover::kStillRunning);
        const Seam refused(remover::PostClose, &testing_windows::RefusedPost);
        EXPECT_EQ(remover::Run("/wait=5000"), remover::kCannotAskToEnd) << "no wait for it";
        EXPECT_TRUE(Exists(HKEY_CURRENT_USER, kProgramKey));
        EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, kProgramKey));
    }
    EXPECT_EQ(remover::Run("/user"), remover::kRemoved);
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, kProgramKey));
    EXPECT_EQ(remover::Run("/user"), remover::kRemoved) << "nothing there is no failure";
    {
        const Seam denied(remover::OpenKey, &MachineDenied);
        EXPECT_EQ(remover::Run("/machine"), remover::kDeleteRefused);
        EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, kProgramKey));
    }
    EXPECT_EQ(remover::Run("/machine"), remover::kRemoved);
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        EXPECT_FALSE(Exists(root, kProgramKey));
        for (const char* list : {"Run", "Run32"}) {
            EXPECT_FALSE(Exists(root, kApproved + list, "IE Tamewin")) << list;
            EXPECT_TRUE(Exists(root, kApproved + list, "Other")) << list;
        }
    }
}
