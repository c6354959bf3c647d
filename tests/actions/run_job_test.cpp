// RunJobAction against real files under Wine: a helper program that records
// how it was started, missing files and folders, and a document type without
// an association.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <string>

#include "actions/RunJob.h"
#include "tests/actions/test_support.h"

using namespace qv::actions;
using namespace qv::actions::testing;

namespace {

struct Started {
    std::string args;  // the command line after the program's own name
    unsigned long flags = 0;
    unsigned show = 0;
};

// The command line's first token (quoted or not) and the one space after it
// removed.
std::string ArgsOf(const std::string& cmdline) {
    std::size_t i = 0;
    if (!cmdline.empty() && cmdline[0] == '"') {
        i = cmdline.find('"', 1);
        i = (i == std::string::npos) ? cmdline.size() : i + 1;
    } else {
        i = cmdline.find(' ');
        if (i == std::string::npos) i = cmdline.size();
    }
    if (i < cmdline.size() && cmdline[i] == ' ') ++i;
    return cmdline.substr(i);
}

// The job RunJobAction gets: a file, its parameters and window state.
qv::schema::Job Job(const std::string& pfad, const std::string& paramter, const std::string& windowState) {
    qv::schema::Job job;
    job.pfad = pfad;
    job.paramter = paramter;
    job.windowState = windowState;
    return job;
}

class RunJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        helper_ = ExeDir() + "marker_helper.exe";
        ASSERT_TRUE(FileExists(helper_)) << helper_;
        marker_ = dir_.path() + "marker.txt";
        SetEnvironmentVariableA("QV_MARKER", marker_.c_str());
    }
    void TearDown() override { SetEnvironmentVariableA("QV_MARKER", nullptr); }

    // Runs the helper and returns what it recorded.
    Started Run(const std::string& params, const std::string& windowState) {
        DeleteFileA(marker_.c_str());
        const std::string result = RunJobAction(nullptr, Job(helper_, params, windowState));
        EXPECT_EQ(result, "OK");
        Started s;
        // Poll until the helper's record is there and complete.
        std::map<std::string, std::string> lines;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            if (FileExists(marker_)) {
                lines = ParseLines(ReadFile(marker_));
                if (lines.count("show")) break;
            }
            Sleep(20);
        }
        if (!lines.count("show")) {
            ADD_FAILURE() << "the helper did not run (or left no complete record)";
            return s;
        }
        s.args = ArgsOf(lines["cmdline"]);
        s.flags = std::strtoul(lines["flags"].c_str(), nullptr, 10);
        s.show = static_cast<unsigned>(std::strtoul(lines["show"].c_str(), nullptr, 10));
        return s;
    }

    TempDir dir_;
    std::string helper_;
    std::string marker_;
};

}  // namespace

TEST_F(RunJobTest, StartsTheProgramWithItsParametersAsTheyStand) {
    const char* cases[] = {
        "one",
        "\"two words\" three --x=4",
        "double  space   kept",
        "C:\\some dir\\file.txt /q",
        "trailing ",
    };
    for (const char* params : cases) {
        Started s = Run(params, "Standard");
        EXPECT_EQ(s.args, params);
    }
    EXPECT_EQ(Run("", "Standard").args, "");
}

TEST_F(RunJobTest, WindowStateNamesReachTheProgramAsShowCommands) {
    struct Row {
        const char* state;
        unsigned show;
    } rows[] = {
        {"Standard", SW_SHOW},        {"versteckt", SW_HIDE},     {"maximiert", SW_SHOWMAXIMIZED},
        {"minimiert", SW_MINIMIZE},   {"", SW_SHOWDEFAULT},       {"Maximiert", SW_SHOWDEFAULT},
    };
    for (const Row& r : rows) {
        Started s = Run("x", r.state);
        EXPECT_TRUE(s.flags & STARTF_USESHOWWINDOW) << r.state;
        EXPECT_EQ(s.show, r.show) << '"' << r.state << '"';
    }
}

TEST_F(RunJobTest, ShellFailuresBecomeTheirTexts) {
    EXPECT_EQ(RunJobAction(nullptr, Job(dir_.path() + "missing.exe", "", "Standard")),
              "Datei nicht gefunden");
    // Windows answers 3 for a missing folder; Wine's shell answers 2 for it.
    const std::string noFolder =
        RunJobAction(nullptr, Job(dir_.path() + "no-such-folder\\missing.exe", "", "Standard"));
    EXPECT_TRUE(noFolder == "Pfad nicht gefunden" || noFolder == "Datei nicht gefunden") << noFolder;

    // A path or parameters the shell cannot take never reach it.
    const std::string longName = dir_.path() + std::string(300, 'a') + ".exe";
    EXPECT_EQ(RunJobAction(nullptr, Job(longName, "", "Standard")), "Pfad \xfc" "ber 259 Zeichen");
    EXPECT_EQ(RunJobAction(nullptr, Job(helper_, std::string(260, 'x'), "Standard")),
              "Parameter \xfc" "ber 259 Zeichen");

    const std::string doc = dir_.path() + "report.qvnoassoc";
    WriteFile(doc, "no program opens this");
    EXPECT_EQ(RunJobAction(nullptr, Job(doc, "", "Standard")), "Keine Verkn\xfcpfung");
    EXPECT_FALSE(FileExists(marker_));
}
