// The window snapshot: EnumWinProc records each top-level window in colWindows.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>

#include "TestWindows.h"
#include "startup/Module1.h"

using Module1::colWindows;

TEST(Snapshot, RecordsClassTitleAndThreadCutAt254AndNothingOfAWindowGone) {
    const std::string longClass(255, 'c');  // the longest class name Windows accepts
    const std::string longTitle(400, 't');
    testing_windows::ThreadWindow window(longClass, longTitle);
    colWindows.clear();
    ::EnumWindows(&Module1::EnumWinProc, 0);
    auto it =
        std::find_if(colWindows.begin(), colWindows.end(),
                     [&](const Module1::WindowRecord& r) { return r.Handle == window.hwnd(); });
    ASSERT_NE(it, colWindows.end());
    EXPECT_EQ(it->ClassName, longClass.substr(0, 254));
    EXPECT_EQ(it->Title, longTitle.substr(0, 254));
    EXPECT_EQ(it->ThreadId, static_cast<int32_t>(window.threadId()));

    // A window can go while the snapshot is made.
    HWND gone = ::CreateWindowExA(0, "STATIC", "x", WS_POPUP, 0, 0, 1, 1, {}, {}, {}, {});
    ::DestroyWindow(gone);
    EXPECT_EQ(Module1::EnumWinProc(gone, 0), TRUE);
    EXPECT_EQ(colWindows.back().ClassName + colWindows.back().Title, "");
    EXPECT_EQ(colWindows.back().ThreadId, 0);
    colWindows.clear();
}
