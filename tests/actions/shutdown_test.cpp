// ShutdownSystem with the request to Windows captured (nothing really shuts
// down); the privilege step runs for real.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rules/ActionTables.h"
#include "actions/Shutdown.h"
#include "tests/WineVersion.h"
#include "tests/actions/test_support.h"

using namespace qv::actions;

namespace {

struct Recorder {
    std::vector<UINT> flags;
    std::vector<DWORD> reasons;
    BOOL answer = TRUE;
    DWORD error = 0;
    ExitWindowsFn Fn() {
        return [this](UINT f, DWORD r) {
            flags.push_back(f);
            reasons.push_back(r);
            if (!answer) SetLastError(error);
            return answer;
        };
    }
};

std::string SystemText(DWORD code) {
    SetLastError(code);
    return LastErrorText();
}

}  // namespace

TEST(ShutdownSystem, EachOperationAsksWindowsOnceWithItsFlags) {
    struct Row {
        const char* name;
        UINT flags;
    } rows[] = {{"herunterfahren", 9}, {"herunterfahren hart", 13}, {"Neustart", 2},
                {"Neustart hart", 6}};
    for (const Row& r : rows) {
        auto args = ShutdownOperation(r.name);
        ASSERT_TRUE(args);
        Recorder rec;
        const std::string result = ShutdownSystem(args->Reboot, args->Force, args->PowerOff, rec.Fn());
        // Wine grants the shutdown privilege to its user.
        EXPECT_EQ(result, "OK") << r.name;
        EXPECT_EQ(rec.flags, std::vector<UINT>{r.flags}) << r.name;
        EXPECT_EQ(rec.reasons, std::vector<DWORD>{0}) << r.name;
    }
}

TEST(ShutdownSystem, RefusedRequestIsAFailureNotOK) {
    Recorder rec;
    rec.answer = FALSE;
    rec.error = ERROR_ACCESS_DENIED;
    const std::string result = ShutdownSystem(true, true, false, rec.Fn());
    EXPECT_EQ(result, "Cannot shut down Windows. [" + SystemText(ERROR_ACCESS_DENIED) + "]");
    EXPECT_NE(SystemText(ERROR_ACCESS_DENIED), "");
    EXPECT_EQ(rec.flags, std::vector<UINT>{6});
}

TEST(LastErrorText, SystemMessageKeptAsWrittenAndEmptyForUnknownCodes) {
    const std::string text = SystemText(ERROR_FILE_NOT_FOUND);
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");  // the line break is not removed
    EXPECT_NE(text, SystemText(ERROR_ACCESS_DENIED));
    EXPECT_EQ(SystemText(0x2345abcd), "");
}

TEST(ShutdownSystem, Windows98SkipsThePrivilegeStep) {
    using namespace qv::actions::testing;
    TempDir dir;
    const std::string out = dir.path() + "probe.txt";
    const std::string exe = ExeDir() + "actions_win98_probe.exe";
    ASSERT_TRUE(FileExists(exe));
    std::string cmd = "\"" + exe + "\" \"" + out + "\"";
    {
        qv::testing::WineVersionForProgram win98("actions_win98_probe.exe", "win98");
        STARTUPINFOA si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &si, &pi));
        EXPECT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    auto seen = ParseLines(ReadFile(out));
    EXPECT_EQ(seen["platform"], "1");  // VER_PLATFORM_WIN32_WINDOWS
    const char* flags[] = {"9", "13", "2", "6"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(seen["result" + std::to_string(i)], "OK") << i;
        EXPECT_EQ(seen["flags" + std::to_string(i)], flags[i]) << i;
    }
}
