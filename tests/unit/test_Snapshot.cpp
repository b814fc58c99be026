// The window snapshot: EnumWinProc records each top-level window in colWindows.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>

#include "TestWindows.h"
#include "startup/Module1.h"

using Module1::colWindows;
using Module1::WindowRecord;

TEST(Snapshot, RecordsClassTitleAndThreadCutAt254AndNothingOfAWindowGone) {
    std::string longClass(255, 'c');  // the longest class name Windows accepts
    std::string longTitle(400, 't');
    testing_windows::ThreadWindow window(longClass, longTitle);
    colWindows.clear();
    ::EnumWindows(&Module1::EnumWinProc, 0);
    auto it = std::find_if(colWindows.begin(), colWindows.end(),
                           [&](const WindowRecord& r) { return r.Handle == window.hwnd(); });
    ASSERT_NE(it, colWindows.end());
    EXPECT_EQ(it->ClassName, longClass.substr(0, 254));
    EXPECT_EQ(it->Title, longTitle.substr(0, 254));
    EXPECT_EQ(it->ThreadId, static_cast<int32_t>(window.threadId()));

    // A window can go while the snapshot is made.
    HWND gone = ::CreateWindowExA(0, "STATIC", "x", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                  nullptr);
    ::DestroyWindow(gone);
    EXPECT_EQ(Module1::EnumWinProc(gone, 0), TRUE);
    EXPECT_EQ(colWindows.back().ClassName, "");
    EXPECT_EQ(colWindows.back().Title, "");
    EXPECT_EQ(colWindows.back().ThreadId, 0);
    colWindows.clear();
}

TEST(StripNulls, CutsAtTheFirstNulInPlace) {
    const std::pair<std::string, std::string> cases[] = {
        {"IEFrame", "IEFrame"}, {std::string("IEFrame\0\0x", 10), "IEFrame"}, {{"\0abc", 4}, ""}};
    for (auto [text, stripped] : cases) {
        EXPECT_EQ(Module1::StripNulls(text), stripped);
        EXPECT_EQ(text, stripped);
    }
}
