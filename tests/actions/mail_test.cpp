// The failure mail end to end: the test's own MAPI32.DLL beside this program
// (loaded instead of Wine's through WINEDLLOVERRIDES=mapi32=n) records every
// field it receives. The registry value that says whether Simple MAPI is
// installed is changed per case and restored afterwards.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "rules/ActionTables.h"
#include "actions/Mail.h"
#include "tests/actions/test_support.h"

using namespace qv::actions;
using namespace qv::actions::testing;

namespace {

constexpr char kKey[] = "SOFTWARE\\Microsoft\\Windows Messaging Subsystem";
constexpr char kAbsent[] = "Benutzer hat Senden abgebrochen oder MAPI nicht installiert.";

std::optional<std::string> ReadMapiValue() {
    HKEY k;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &k) != ERROR_SUCCESS) return std::nullopt;
    char buf[256] = {};
    DWORD size = sizeof(buf) - 1;
    LONG rc = RegQueryValueExA(k, "MAPI", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(k);
    if (rc != ERROR_SUCCESS) return std::nullopt;
    return std::string(buf);
}

void SetMapiValue(const std::optional<std::string>& v) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                              nullptr),
              ERROR_SUCCESS);
    if (v)
        RegSetValueExA(k, "MAPI", 0, REG_SZ, reinterpret_cast<const BYTE*>(v->c_str()),
                       static_cast<DWORD>(v->size() + 1));
    else
        RegDeleteValueA(k, "MAPI");
    RegCloseKey(k);
}

std::string Hex(const std::string& s) {
    std::string out = "s:";
    char h[3];
    for (unsigned char c : s) {
        snprintf(h, sizeof(h), "%02x", c);
        out += h;
    }
    return out;
}

class MailTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = ReadMapiValue();
        capture_ = dir_.path() + "capture.txt";
        SetEnvironmentVariableA("QV_MAPI_CAPTURE", capture_.c_str());
        SetEnvironmentVariableA("QV_MAPI_RESULT", nullptr);
        ASSERT_TRUE(FileExists(ExeDir() + "MAPI32.dll"));
    }
    void TearDown() override {
        SetMapiValue(saved_);
        SetEnvironmentVariableA("QV_MAPI_CAPTURE", nullptr);
        SetEnvironmentVariableA("QV_MAPI_RESULT", nullptr);
    }
    std::string Send(SimpleMapi& mapi, HWND parent = nullptr) {
        return SendErrorMail(mapi, parent,
                             {kErrorMailSubject, ErrorMailBody("PC1", "a.exe", "x"), "PC1", "PC1",
                              "ops@example.org", "ops@example.org", "", ""});
    }
    int Calls() {
        const std::string text = FileExists(capture_) ? ReadFile(capture_) : "";
        int n = 0;
        for (std::size_t p = 0; (p = text.find("call\n", p)) != std::string::npos; ++p) ++n;
        return n;
    }

    std::optional<std::string> saved_;
    TempDir dir_;
    std::string capture_;
};

}  // namespace

TEST_F(MailTest, MessageReachesSimpleMapiFieldByField) {
    SetMapiValue(std::string("1"));
    HWND parent = CreateWindowExA(0, "STATIC", "app", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_TRUE(parent);
    const std::string body = ErrorMailBody("WS-07", "Neustart hart", kCancelled);
    {
        SimpleMapi mapi;
        EXPECT_EQ(SendErrorMail(mapi, parent,
                                {kErrorMailSubject, body, "WS-07", "WS-07 addr",
                                 " Ops <ops@example.org> ", "ops@example.org", "", ""}),
                  "OK");
        EXPECT_TRUE(mapi.Loaded());
    }
    DestroyWindow(parent);

    auto f = ParseLines(ReadFile(capture_));
    const std::map<std::string, std::string> expected = {
        {"lhSession", "0"},
        {"ulUIParam", std::to_string(reinterpret_cast<ULONG_PTR>(parent))},
        {"flFlags", "0"},
        {"ulReserved", "0"},
        {"m.ulReserved", "0"},
        {"m.lpszSubject", Hex("Fehler in Quarvelin")},
        {"m.lpszNoteText",
         Hex("Computer : WS-07\n\rFehlerpfad : Neustart hart\n\rFehlermeldung : abgebrochen")},
        {"m.lpszMessageType", "null"},
        {"m.lpszDateReceived", "null"},
        {"m.lpszConversationID", "null"},
        {"m.flFlags", "0"},
        {"orig.ulReserved", "0"},
        {"orig.ulRecipClass", "0"},
        {"orig.lpszName", Hex("WS-07")},
        {"orig.lpszAddress", Hex("WS-07 addr")},
        {"orig.ulEIDSize", "0"},
        {"orig.lpEntryID", "null"},
        {"m.nRecipCount", "1"},
        {"recip0.ulReserved", "0"},
        {"recip0.ulRecipClass", "1"},
        {"recip0.lpszName", Hex(" Ops <ops@example.org> ")},
        {"recip0.lpszAddress", Hex("ops@example.org")},
        {"recip0.ulEIDSize", "0"},
        {"recip0.lpEntryID", "null"},
        {"m.nFileCount", "1"},
        {"file0.ulReserved", "0"},
        {"file0.flFlags", "0"},
        {"file0.nPosition", "ffffffff"},
        {"file0.lpszPathName", "s:"},  // empty text, not a null pointer
        {"file0.lpszFileName", "s:"},
        {"file0.lpFileType", "null"},
    };
    EXPECT_EQ(f, expected);
    EXPECT_EQ(Calls(), 1);
}

TEST_F(MailTest, CodesFromSimpleMapiBecomeTexts) {
    SetMapiValue(std::string("1"));
    SimpleMapi mapi;  // one binding, loaded once, used for every send
    for (unsigned long code : {0ul, 2ul, 3ul, 14ul, 21ul, 7ul}) {
        SetEnvironmentVariableA("QV_MAPI_RESULT", std::to_string(code).c_str());
        EXPECT_EQ(Send(mapi), MapiResultText(code)) << code;
    }
    EXPECT_EQ(Calls(), 6);
}

TEST_F(MailTest, AnythingButExactlyOneMeansNotInstalled) {
    const std::optional<std::string> values[] = {std::string("0"), std::string("1 "),
                                                 std::string("11"), std::string(""), std::nullopt};
    for (const auto& v : values) {
        SetMapiValue(v);
        SimpleMapi mapi;
        EXPECT_EQ(Send(mapi), kAbsent) << (v ? "\"" + *v + "\"" : "missing");
        EXPECT_FALSE(mapi.Loaded());
    }
    EXPECT_EQ(Calls(), 0);
}

TEST_F(MailTest, DecisionHoldsForTheRunAndTheLibraryIsReleasedAtTheEnd) {
    SetMapiValue(std::string("0"));
    {
        SimpleMapi mapi;
        EXPECT_EQ(Send(mapi), kAbsent);
        SetMapiValue(std::string("1"));
        EXPECT_EQ(Send(mapi), kAbsent);  // decided at the first send
    }
    EXPECT_EQ(Calls(), 0);
    {
        SimpleMapi mapi;
        EXPECT_EQ(GetModuleHandleA("MAPI32.DLL"), nullptr);  // not before the first send
        EXPECT_EQ(Send(mapi), "OK");
        EXPECT_NE(GetModuleHandleA("MAPI32.DLL"), nullptr);
        SetMapiValue(std::string("0"));
        EXPECT_EQ(Send(mapi), "OK");  // still present for this run
    }
    EXPECT_EQ(GetModuleHandleA("MAPI32.DLL"), nullptr);
    EXPECT_EQ(Calls(), 2);
}

TEST_F(MailTest, OldWindowsVersionsAskTheWindowsProfile) {
    SetMapiValue(std::string("0"));
    char saved[64] = {};
    const DWORD had = GetProfileStringA("Mail", "MAPI", "\x01", saved, sizeof(saved));
    WriteProfileStringA("Mail", "MAPI", "1");
    EXPECT_TRUE(SimpleMapi::IsInstalled(3, 51));
    EXPECT_TRUE(SimpleMapi::IsInstalled(3, 10));
    EXPECT_FALSE(SimpleMapi::IsInstalled(3, 52));  // above 3.51: the registry says "0"
    EXPECT_FALSE(SimpleMapi::IsInstalled(4, 0));
    WriteProfileStringA("Mail", "MAPI", "0");
    EXPECT_FALSE(SimpleMapi::IsInstalled(3, 51));
    WriteProfileStringA("Mail", "MAPI", nullptr);
    EXPECT_FALSE(SimpleMapi::IsInstalled(3, 51));
    SetMapiValue(std::string("1"));
    EXPECT_TRUE(SimpleMapi::IsInstalled(3, 52));
    EXPECT_TRUE(SimpleMapi::IsInstalled(10, 0));
    WriteProfileStringA("Mail", "MAPI", (had == 1 && saved[0] == '\x01') ? nullptr : saved);
}
