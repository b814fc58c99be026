#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <set>
#include <string>

#include "TestWindows.h"
#include "registry/WINAPI32.h"
#include "startup/Module1.h"
#include "startup/clstamewin.h"
#include "ui/frmmain.h"

using testing_windows::ThreadWindow;

namespace {

const std::string kInstances = "Software\\Corvanta\\VIVurazoru\\Instances";

std::set<std::string> InstanceNames() {
    auto names = WINAPI32::EnumKeyValues(kInstances);
    return names ? std::set<std::string>(names->begin(), names->end()) : std::set<std::string>{};
}

void Put(const std::string& name) {
    WINAPI32::RegCreateString(WINAPI32::kLocalMachine, kInstances, name, "0");
}

LONG WINAPI DeniedOpen(HKEY, LPCSTR, DWORD, REGSAM, PHKEY) {
    return ERROR_ACCESS_DENIED;
}
LONG WINAPI DeniedCreate(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY,
                         LPDWORD) {
    return ERROR_ACCESS_DENIED;
}

class StartUp : public ::testing::Test {
  protected:
    void SetUp() override { ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kInstances.c_str()); }
    void TearDown() override {
        WINAPI32::Api = WINAPI32::RegistryApi{};
        Module1::colFrames.clear();
        Module1::colWindows.clear();
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kInstances.c_str());
    }
};

}  // namespace

TEST_F(StartUp, RecordsEveryOpenFrameAndClearsOnlyNumericNames) {
    Put("99999");  // left by a copy that was killed
    Put("abc");
    Put("007");
    Put("7");
    ThreadWindow twoFrames("IEFrame", "first");
    twoFrames.AddWindow("IEFrame", "second frame of the same thread");
    ThreadWindow another("IEFrame", "third");
    std::string t1 = std::to_string(twoFrames.threadId());
    std::string t2 = std::to_string(another.threadId());

    clstamewin app;
    // "007" names thread 7: the value named "7" goes, "007" itself stays, as does "abc".
    EXPECT_EQ(InstanceNames(), (std::set<std::string>{"abc", "007", t1, t2}));
    auto& frames = Module1::colFrames;
    EXPECT_EQ(std::count(frames.begin(), frames.end(), twoFrames.threadId()), 2);
    EXPECT_EQ(std::count(frames.begin(), frames.end(), another.threadId()), 1);
    // The second frame of one thread does not stop the start-up.
    EXPECT_TRUE(app.NewMain->WinHook1.HookActive());
    EXPECT_TRUE(app.NewMain->WinHook2.HookActive());
    EXPECT_EQ(app.NewMain->ZTray1.ToolTipText(), "IE Tamewin Enabled");
    EXPECT_EQ(app.NewMain->ZTray1.ImageNumber(), 3);

    app.Teardown();
    EXPECT_EQ(InstanceNames(), (std::set<std::string>{"abc", "007"}));
    EXPECT_EQ(app.NewMain, nullptr);
}

TEST_F(StartUp, WithoutWriteAccessStartUpStillCompletes) {
    ThreadWindow frame("IEFrame", "open at start");
    Put(std::to_string(frame.threadId()));  // the key exists but will not open
    WINAPI32::Api.OpenKeyEx = &DeniedOpen;
    WINAPI32::Api.CreateKeyEx = &DeniedCreate;

    clstamewin app;
    ASSERT_EQ(Module1::colFrames.size(), 1u);
    EXPECT_EQ(Module1::colFrames[0], static_cast<int32_t>(frame.threadId()));
    EXPECT_TRUE(app.NewMain->WinHook1.HookActive());
    EXPECT_EQ(app.NewMain->ZTray1.ToolTipText(), "IE Tamewin Enabled");
}
