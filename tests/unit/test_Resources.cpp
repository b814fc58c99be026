// The pictures in the program's file: present under their ids, in the sizes and formats that
// the shell, the browser's toolbar and the About window expect.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <set>

#include "resources/resource.h"
#include "win32/Handles.h"

namespace {

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width;
    BYTE height;
    BYTE colours;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytes;
    WORD id;
};
struct GroupIconHeader {
    WORD reserved;
    WORD type;
    WORD count;
};
#pragma pack(pop)

struct Frame {
    int size;
    int bitCount;
    bool operator<(const Frame& other) const {
        return size != other.size ? size < other.size : bitCount < other.bitCount;
    }
};

// The frames of one icon group as the resource directory lists them.
std::set<Frame> FramesOf(WORD groupId) {
    std::set<Frame> frames;
    HMODULE exe = ::GetModuleHandleA(nullptr);
    HRSRC found = ::FindResourceA(exe, MAKEINTRESOURCEA(groupId), MAKEINTRESOURCEA(14));
    if (found == nullptr) {
        return frames;
    }
    const auto* header =
        static_cast<const GroupIconHeader*>(::LockResource(::LoadResource(exe, found)));
    const auto* entries = reinterpret_cast<const GroupIconEntry*>(header + 1);
    for (WORD i = 0; i < header->count; ++i) {
        frames.insert({entries[i].width == 0 ? 256 : entries[i].width, entries[i].bitCount});
    }
    return frames;
}

SIZE BitmapSize(HBITMAP bitmap) {
    BITMAP info{};
    ::GetObjectA(bitmap, sizeof(info), &info);
    return {info.bmWidth, info.bmHeight};
}

}  // namespace

TEST(Resources, IconGroupsHoldADrawnFramePerSize) {
    const std::set<Frame> program = FramesOf(IDI_PROGRAM);
    for (int size : {16, 20, 24, 32, 40, 48, 64, 256}) {
        EXPECT_EQ(program.count({size, 32}), 1u) << "program icon, " << size;
    }
    for (WORD id : {IDI_TRAY_ON, IDI_TRAY_OFF}) {
        const std::set<Frame> frames = FramesOf(id);
        for (int size : {16, 20, 24, 32, 40, 48}) {
            EXPECT_EQ(frames.count({size, 32}), 1u) << "tray icon " << id << ", " << size;
        }
    }
    const std::set<Frame> web = FramesOf(IDI_WEB);
    for (int size : {16, 20, 24, 32}) {
        EXPECT_EQ(web.count({size, 32}), 1u) << "web icon, " << size;
    }
}

TEST(Resources, ToolbarButtonsAreOne32PixelFrameIn16Colours) {
    for (WORD id : {IDI_BUTTON, IDI_BUTTON_HOT}) {
        const std::set<Frame> frames = FramesOf(id);
        ASSERT_EQ(frames.size(), 1u) << id;
        EXPECT_EQ(frames.begin()->size, 32) << id;
        EXPECT_EQ(frames.begin()->bitCount, 4) << id;
    }
}

TEST(Resources, AboutPicturesAndLinkPointerLoad) {
    HMODULE exe = ::GetModuleHandleA(nullptr);
    win32::Bitmap logo(static_cast<HBITMAP>(
        ::LoadImageA(exe, MAKEINTRESOURCEA(IDB_ABOUT_LOGO), IMAGE_BITMAP, 0, 0, 0)));
    win32::Bitmap back(static_cast<HBITMAP>(
        ::LoadImageA(exe, MAKEINTRESOURCEA(IDB_ABOUT_BACK), IMAGE_BITMAP, 0, 0, 0)));
    ASSERT_TRUE(logo);
    ASSERT_TRUE(back);
    EXPECT_EQ(BitmapSize(logo.get()).cx, 128);
    EXPECT_EQ(BitmapSize(logo.get()).cy, 128);
    EXPECT_EQ(BitmapSize(back.get()).cx, 64);
    EXPECT_EQ(BitmapSize(back.get()).cy, 64);

    win32::Cursor link(static_cast<HCURSOR>(
        ::LoadImageA(exe, MAKEINTRESOURCEA(IDC_LINK), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE)));
    ASSERT_TRUE(link);
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(link.get(), &info));
    win32::Bitmap mask(info.hbmMask);
    win32::Bitmap colour(info.hbmColor);
    EXPECT_FALSE(info.fIcon);
    // The hot spot is the tip of the pointing finger, in the top row.
    EXPECT_EQ(info.xHotspot, 6u);
    EXPECT_EQ(info.yHotspot, 0u);
}
