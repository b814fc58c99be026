// Resource identifiers of the program's own file.
#pragma once

#define IDI_PROGRAM 1       // program icon (first icon group: the file's icon in Explorer)
#define IDC_LINK 101        // pointer over the About window's link
#define IDI_BUTTON 103      // browser toolbar button, 32x32 16 colours
#define IDI_BUTTON_HOT 104  // the same while the pointer is over it
#define IDB_ABOUT_LOGO 103  // About window picture, 128x128
#define IDB_ABOUT_BACK 104  // About window background, 64x64, stretched
#define IDI_WEB 105         // menu icon "Web"
#define IDI_TRAY_ON 203     // tray image 3: blocking on
#define IDI_TRAY_OFF 204    // tray image 4: blocking off
