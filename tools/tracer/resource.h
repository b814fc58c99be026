// Resource identifiers of the trace viewer.
#pragma once

#define IDR_MENU 100   // the menu bar
#define IDM_SAVE 101   // writes the lines shown to a file
#define IDM_CLEAR 102  // empties the view
