// The settings file: readings, the change handlers' writes, start-up with its
// write-backs, and a refused write. The store tests run against the portable
// INI code and, on Windows, against the system's profile functions too.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "ui/settings/SettingsWin32.h"
#else
#include <sys/stat.h>
#endif

#include "tests/ui/settings/SettingsTestSupport.h"
#include "ui/settings/Settings.h"

namespace qv {
namespace {

using test::FakeControls;
using test::ReadBytes;
using test::ShownAtStart;
using test::SettingsDir;
using test::WriteBytes;

struct PortableStore {
    static std::unique_ptr<ProfileStore> Make(const std::string& path) {
        return std::make_unique<IniFileProfile>(path);
    }
};
#ifdef _WIN32
struct SystemStore {
    static std::unique_ptr<ProfileStore> Make(const std::string& path) {
        return std::make_unique<Win32Profile>(path);
    }
};
using StoreKinds = ::testing::Types<PortableStore, SystemStore>;
#else
using StoreKinds = ::testing::Types<PortableStore>;
#endif

// Makes the settings file refuse writes for as long as it lives. target() is
// the path the settings should use: the file itself when the refusal holds
// (read-only mark; on Windows, when running as root makes that mark
// ineffective, the file held open without sharing), otherwise a path below a
// plain file, which no one can create (root on Linux ignores permissions).
class WriteBlocker {
public:
    explicit WriteBlocker(const std::string& file) : file_(file), target_(file) {
#ifdef _WIN32
        SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
        if (Writable()) {
            SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            held_ = CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            how_ = "held open without sharing";
        } else {
            how_ = "read-only attribute";
        }
#else
        chmod(file.c_str(), 0444);
        how_ = "read-only mode";
#endif
        if (Writable()) {
            target_ = file + "/Quarvelin.ini";
            sameFile_ = false;
            how_ = "path below a plain file";
        }
    }
    ~WriteBlocker() {
#ifdef _WIN32
        if (held_ != INVALID_HANDLE_VALUE) CloseHandle(held_);
        SetFileAttributesA(file_.c_str(), FILE_ATTRIBUTE_NORMAL);
#else
        chmod(file_.c_str(), 0644);
#endif
    }
    WriteBlocker(const WriteBlocker&) = delete;
    WriteBlocker& operator=(const WriteBlocker&) = delete;

    const std::string& target() const { return target_; }
    bool sameFile() const { return sameFile_; }
    const char* how() const { return how_; }

private:
    bool Writable() const {
        std::FILE* probe = std::fopen(file_.c_str(), "r+b");
        if (probe) std::fclose(probe);
        return probe != nullptr;
    }
    std::string file_;
    std::string target_;
    bool sameFile_ = true;
    const char* how_ = "";
#ifdef _WIN32
    HANDLE held_ = INVALID_HANDLE_VALUE;
#endif
};

template <typename Kind>
class SettingsStoreTest : public ::testing::Test {
protected:
    SettingsDir dir;
    std::string path = SettingsFilePath(dir.dir());
    std::unique_ptr<ProfileStore> store = Kind::Make(path);
    Settings settings{*store};
};
TYPED_TEST_SUITE(SettingsStoreTest, StoreKinds);

TYPED_TEST(SettingsStoreTest, FirstStartLeavesOnlyTheMailKey) {
    FakeControls controls;
    EXPECT_EQ(this->settings.ReadIntoControls(controls), "");
    EXPECT_EQ(controls.calls, (std::vector<std::string>{"minimized", "aktiviert", "mail", "mailadresse"}));
    EXPECT_FALSE(controls.shown.minimized);
    EXPECT_FALSE(controls.shown.aktiviert);
    EXPECT_TRUE(controls.shown.mail);
    EXPECT_EQ(controls.shown.mailadresse, "");
    EXPECT_EQ(ReadBytes(this->path), "[App]\r\nmail=1\r\n");
}

TYPED_TEST(SettingsStoreTest, StartUpReadsValuesAndWritesBackChangedControls) {
    WriteBytes(this->path,
               "[App]\r\nminimized=yes\r\naktiviert=2\r\nmail=0x0\r\nmailadresse=ich@example.org\r\n");
    FakeControls controls;
    EXPECT_EQ(this->settings.ReadIntoControls(controls), "");
    EXPECT_FALSE(controls.shown.minimized);  // "yes" is no number: default
    EXPECT_TRUE(controls.shown.aktiviert);   // any number but 0
    EXPECT_FALSE(controls.shown.mail);       // hexadecimal zero
    EXPECT_EQ(controls.shown.mailadresse, "ich@example.org");
    // Only the ticked box and the address were changes; the 2 comes back as 1.
    EXPECT_EQ(this->store->Read("App", "minimized", "?"), "yes");
    EXPECT_EQ(this->store->Read("App", "aktiviert", "?"), "1");
    EXPECT_EQ(this->store->Read("App", "mail", "?"), "0x0");
    EXPECT_EQ(this->store->Read("App", "mailadresse", "?"), "ich@example.org");
}

TYPED_TEST(SettingsStoreTest, ReadingsOfTheFourKeys) {
    struct Case {
        const char* value;
        bool minimized;  // default false
        bool mail;       // default true
    };
    const Case cases[] = {
        {"yes", false, true}, {"2", true, true},   {"0x0", false, false}, {"$1", true, true},
        {"", false, true},    {"0", false, false}, {"-1", true, true},    {"1 x", false, true},
    };
    for (const Case& c : cases) {
        WriteBytes(this->path, std::string("[App]\r\nminimized=") + c.value + "\r\nmail=" + c.value + "\r\n");
        const SettingsValues v = ShownAtStart(this->settings);
        EXPECT_EQ(v.minimized, c.minimized) << '"' << c.value << '"';
        EXPECT_EQ(v.mail, c.mail) << '"' << c.value << '"';
        EXPECT_FALSE(v.aktiviert);
        EXPECT_EQ(v.mailadresse, "");
    }
}

TYPED_TEST(SettingsStoreTest, TypingWritesEveryKeystrokeAndClearingKeepsTheKey) {
    this->settings.edMailChange("a");
    EXPECT_EQ(ReadBytes(this->path), "[App]\r\nmailadresse=a\r\n");
    this->settings.edMailChange("ab");
    EXPECT_EQ(ReadBytes(this->path), "[App]\r\nmailadresse=ab\r\n");
    this->settings.edMailChange("abc");
    EXPECT_EQ(ReadBytes(this->path), "[App]\r\nmailadresse=abc\r\n");
    this->settings.edMailChange("");
    EXPECT_EQ(ReadBytes(this->path), "[App]\r\nmailadresse=\r\n");
    EXPECT_EQ(this->store->Read("App", "mailadresse", "default"), "");
}

TYPED_TEST(SettingsStoreTest, CheckBoxesWriteOneAndZero) {
    this->settings.chkMailClick(false);
    this->settings.chkminimizedClick(true);
    this->settings.chkAktiviertClick(false);
    EXPECT_EQ(ReadBytes(this->path), "[App]\r\nmail=0\r\nminimized=1\r\naktiviert=0\r\n");
    this->settings.chkMailClick(true);
    EXPECT_EQ(ReadBytes(this->path), "[App]\r\nmail=1\r\nminimized=1\r\naktiviert=0\r\n");
    const SettingsValues v = ShownAtStart(this->settings);
    EXPECT_TRUE(v.mail);
    EXPECT_TRUE(v.minimized);
    EXPECT_FALSE(v.aktiviert);
}

TYPED_TEST(SettingsStoreTest, NamesMatchWithoutLetterCase) {
    WriteBytes(this->path, "[app]\r\nMAIL=0\r\nMailAdresse=x\r\n");
    const SettingsValues v = ShownAtStart(this->settings);
    EXPECT_FALSE(v.mail);
    EXPECT_EQ(v.mailadresse, "x");
    this->settings.chkMailClick(true);
    EXPECT_TRUE(ShownAtStart(this->settings).mail);
    const std::string bytes = ReadBytes(this->path);
    EXPECT_EQ(bytes.find("[App]"), std::string::npos) << bytes;  // no second section
    EXPECT_EQ(bytes.find("0"), std::string::npos) << bytes;       // the old line was replaced
}

// Hand-edited lines read as the system's profile functions read them; the grid
// layout reads its sections through the same lookup.
TYPED_TEST(SettingsStoreTest, HandEditedLinesReadAsTheSystemReadsThem) {
    WriteBytes(this->path,
               "[App]\r\nmail=0\r\n[Other]\r\nx=1\r\n[app]\r\nmailadresse=second\r\n"
               "  [ Sp ]  \r\n k = sp \r\n[Tr] junk\r\nk=tr\r\n[Q]\r\nk=\"quoted\"\r\nj='single'\r\n"
               "[Br\r\nk=br\r\n");
    auto read = [&](const char* section, const char* key) { return this->store->Read(section, key, "?"); };
    EXPECT_EQ(read("App", "mail"), "0");
    EXPECT_EQ(read("App", "mailadresse"), "?");  // only the first section of a name counts
    EXPECT_EQ(read("Sp", "k"), "sp");
    EXPECT_EQ(read("Tr", "k"), "tr");
    EXPECT_EQ(read("Q", "k"), "quoted");
    EXPECT_EQ(read("Q", "j"), "single");
    EXPECT_EQ(read("Br", "k"), "?");
}

// Whatever length is stored comes back whole, also just around the lengths
// where the system's reading must try again with more room; start-up then
// writes back what it read, not a cut copy.
TYPED_TEST(SettingsStoreTest, TextOfAnyLengthIsReadWhole) {
    for (size_t length : {2046u, 2047u, 2048u, 4095u, 32766u}) {
        SCOPED_TRACE(length);
        std::string text(length, 'm');
        text.back() = 'z';
        this->settings.edMailChange(text);
        FakeControls controls;
        EXPECT_EQ(this->settings.ReadIntoControls(controls), "");
        EXPECT_EQ(controls.shown.mailadresse, text);
        EXPECT_EQ(this->store->Read("App", "mailadresse", ""), text);
    }
}

// A settings file of binary garbage makes way for a fresh one, kept beside
// it under a backup name that replaces no earlier one; the text says where.
// Text files, UTF-16 ones among them, and a missing file are left alone.
TEST(SettingsFileAtStart, GarbageIsSetAsideAndNamedTextIsLeftAlone) {
    SettingsDir dir;
    const std::string path = SettingsFilePath(dir.dir());
    EXPECT_EQ(SetAsideSettingsThatAreNoText(path), "");
    const std::string text = "; notes\r\n[App]\r\nmail=1\tx\r\n\x1a";
    WriteBytes(path, text);
    EXPECT_EQ(SetAsideSettingsThatAreNoText(path), "");
    WriteBytes(path, std::string("\xff\xfe[\0A\0p\0p\0]\0", 12));
    EXPECT_EQ(SetAsideSettingsThatAreNoText(path), "");

    const std::string garbage("MZ\x90\0\x03\0\0\0", 8);
    WriteBytes(path + ".bak", "an earlier backup");
    WriteBytes(path, garbage);
    EXPECT_EQ(SetAsideSettingsThatAreNoText(path),
              "Die Einstellungsdatei " + path + " enth\xe4lt keinen Text. Quarvelin hat sie durch eine neue mit den "
              "Grundeinstellungen ersetzt; die alte Datei liegt als " + path + ".2.bak vor.");
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(ReadBytes(path + ".2.bak"), garbage);
    EXPECT_EQ(ReadBytes(path + ".bak"), "an earlier backup");
}

TYPED_TEST(SettingsStoreTest, RefusedWriteRaisesTheErrorAndKeepsTheFile) {
    const std::string before = "[App]\r\nmail=1\r\n";
    WriteBytes(this->path, before);
    bool sameFile = false;
    {
        WriteBlocker blocker(this->path);
        std::printf("  (write refused by: %s)\n", blocker.how());
        sameFile = blocker.sameFile();
        const std::string& target = blocker.target();
        auto store = TypeParam::Make(target);
        Settings settings(*store);
        try {
            settings.chkMailClick(false);
            ADD_FAILURE() << "the write was not refused";
        } catch (const SettingsWriteError& e) {
            EXPECT_EQ(std::string(e.what()), "nach " + target + " kann nicht geschrieben werden");
        }

        // Start-up carries on with every value and reports the first refusal.
        FakeControls controls;
        const std::string refused = settings.ReadIntoControls(controls);
        EXPECT_EQ(refused, "nach " + target + " kann nicht geschrieben werden");
        EXPECT_EQ(controls.calls.size(), 4u);
        EXPECT_TRUE(controls.shown.mail);
    }
    if (sameFile) {
        EXPECT_EQ(ReadBytes(this->path), before);
    }
}

// The portable writer keeps every other line byte for byte.
TEST(IniFileProfileTest, WritingOneKeyChangesOnlyItsLine) {
    SettingsDir dir;
    const std::string path = dir.File("Quarvelin.ini");
    IniFileProfile ini(path);
    WriteBytes(path, "; note\r\n[App]\r\nmail = 0\r\nx=1\n\r\n[Other]\r\nmail=7");
    ASSERT_TRUE(ini.Write("APP", "Mail", "1"));
    EXPECT_EQ(ReadBytes(path), "; note\r\n[App]\r\nMail=1\r\nx=1\n\r\n[Other]\r\nmail=7");
    ASSERT_TRUE(ini.Write("app", "neu", "v"));  // after the section's last line, before the gap
    EXPECT_EQ(ReadBytes(path), "; note\r\n[App]\r\nMail=1\r\nx=1\nneu=v\r\n\r\n[Other]\r\nmail=7");
    ASSERT_TRUE(ini.Write("Third", "k", ""));  // new section at the end
    EXPECT_EQ(ReadBytes(path),
              "; note\r\n[App]\r\nMail=1\r\nx=1\nneu=v\r\n\r\n[Other]\r\nmail=7\r\n[Third]\r\nk=\r\n");
    EXPECT_EQ(ini.Read("other", "MAIL", ""), "7");
    EXPECT_EQ(ini.Read("App", "note", "none"), "none");
    EXPECT_EQ(ini.Read("Missing", "k", "none"), "none");
}

TEST(ParseProfileIntTest, WholeNumbersOnly) {
    struct Case {
        const char* text;
        bool number;
        long long value;
    };
    const Case cases[] = {
        {"0", true, 0},
        {"17", true, 17},
        {"-5", true, -5},
        {"+3", true, 3},
        {"0x1F", true, 31},
        {"0X1f", true, 31},
        {"$ff", true, 255},
        {"-$10", true, -16},
        {"2147483647", true, 2147483647LL},
        {"-2147483648", true, -2147483648LL},
        {"0xFFFFFFFF", true, -1},
        {"2147483648", false, 0},
        {"0x100000000", false, 0},
        {"99999999999999999999", false, 0},
        {"", false, 0},
        {"-", false, 0},
        {"$", false, 0},
        {"0x", false, 0},
        {"12a", false, 0},
        {"1 ", false, 0},
        {" 1", false, 0},
        {"1.5", false, 0},
        {"--1", false, 0},
        {"0xg", false, 0},
        {"yes", false, 0},
        {"true", false, 0},
    };
    for (const Case& c : cases) {
        long long v = 12345;
        EXPECT_EQ(ParseProfileInt(c.text, &v), c.number) << '"' << c.text << '"';
        if (c.number) {
            EXPECT_EQ(v, c.value) << c.text;
        }
        // A boolean follows the number, or its default when there is none.
        EXPECT_EQ(ParseProfileBool(c.text, true), c.number ? c.value != 0 : true) << c.text;
        EXPECT_EQ(ParseProfileBool(c.text, false), c.number ? c.value != 0 : false) << c.text;
    }
}

}  // namespace
}  // namespace qv
