#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>

#include "TestWindows.h"
#include "startup/Module1.h"

using Module1::colWindows;
using Module1::WindowRecord;
using testing_windows::ThreadWindow;

namespace {

const WindowRecord* Find(HWND hwnd) {
    auto it = std::find_if(colWindows.begin(), colWindows.end(),
                           [&](const WindowRecord& r) { return r.Handle == hwnd; });
    return it == colWindows.end() ? nullptr : &*it;
}

}  // namespace

TEST(Snapshot, RecordsClassThreadAndTitleCutAt254) {
    std::string longClass(255, 'c');  // the longest class name Windows accepts
    std::string longTitle(400, 't');
    ThreadWindow longOne(longClass, longTitle);
    ThreadWindow untitled("TamewinSnapshotUntitled", "");
    ThreadWindow frameA("IEFrame", "A");
    ThreadWindow frameB("IEFrame", "B");

    colWindows.clear();
    ::EnumWindows(&Module1::EnumWinProc, 0);

    const WindowRecord* l = Find(longOne.hwnd());
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->ClassName, longClass.substr(0, 254));
    EXPECT_EQ(l->Title, longTitle.substr(0, 254));
    EXPECT_EQ(l->ThreadId, static_cast<int32_t>(longOne.threadId()));

    const WindowRecord* u = Find(untitled.hwnd());
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->Title, "");
    EXPECT_EQ(u->ClassName, "TamewinSnapshotUntitled");

    const WindowRecord* a = Find(frameA.hwnd());
    const WindowRecord* b = Find(frameB.hwnd());
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->ClassName, "IEFrame");
    EXPECT_EQ(b->ClassName, "IEFrame");
    EXPECT_EQ(a->ThreadId, static_cast<int32_t>(frameA.threadId()));
    EXPECT_EQ(b->ThreadId, static_cast<int32_t>(frameB.threadId()));
    EXPECT_NE(a->ThreadId, b->ThreadId);

    // A second snapshot without emptying the list first appends a second set.
    ::EnumWindows(&Module1::EnumWinProc, 0);
    EXPECT_EQ(std::count_if(colWindows.begin(), colWindows.end(),
                            [&](const WindowRecord& r) { return r.Handle == frameA.hwnd(); }),
              2);
    colWindows.clear();
}

TEST(Snapshot, AWindowThatHasGoneGivesEmptyFields) {
    HWND gone = ::CreateWindowExA(0, "STATIC", "x", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                  nullptr);
    ::DestroyWindow(gone);
    colWindows.clear();
    EXPECT_EQ(Module1::EnumWinProc(gone, 0), TRUE);
    ASSERT_EQ(colWindows.size(), 1u);
    EXPECT_EQ(colWindows[0].ClassName, "");
    EXPECT_EQ(colWindows[0].Title, "");
    EXPECT_EQ(colWindows[0].ThreadId, 0);
    colWindows.clear();
}

TEST(StripNulls, CutsAtTheFirstNulInPlace) {
    std::string plain = "IEFrame";
    EXPECT_EQ(Module1::StripNulls(plain), "IEFrame");
    EXPECT_EQ(plain, "IEFrame");

    std::string padded = std::string("IEFrame\0\0x", 10);
    EXPECT_EQ(Module1::StripNulls(padded), "IEFrame");
    EXPECT_EQ(padded, "IEFrame");

    std::string leading = std::string("\0abc", 4);
    EXPECT_EQ(Module1::StripNulls(leading), "");
    EXPECT_EQ(leading, "");
}
