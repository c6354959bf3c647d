// The action rules that need no window system: every row of every table, and
// the failure mail's text.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "rules/ActionTables.h"

using namespace qv::actions;

TEST(WindowStateTable, EveryNameAndTheFallback) {
    const std::vector<std::pair<std::string, int>> rows = {
        {"Standard", 5},   {"versteckt", 0},  {"maximiert", 3},  {"minimiert", 6},
        {"", 10},          {"Maximiert", 10}, {"standard", 10},  {"Versteckt", 10},
        {"minimiert ", 10}, {" maximiert", 10}, {"normal", 10},
    };
    for (const auto& [name, show] : rows)
        EXPECT_EQ(ShowCommandForWindowState(name), show) << '"' << name << '"';
}

TEST(ShellResultTable, EveryListedValueAndTheUnlistedOnes) {
    const std::vector<std::pair<int, std::string>> listed = {
        {0, "Kein Speicher oder Resourcen mehr"},
        {2, "Datei nicht gefunden"},
        {3, "Pfad nicht gefunden"},
        {11, "Fehlerhafte Datei"},
        {5, "Zugriff verweigert"},
        {27, "Verkn\xfcpfung fehlerhaft"},
        {30, "DDE Fehler"},
        {29, "DDE Transaktionsfehler"},
        {28, "DDE Timeout"},
        {32, "DLL nicht gefunden"},
        {31, "Keine Verkn\xfcpfung"},
        {8, "Zu wenig Speicher"},
        {26, "Datei bereits benutzt"},
    };
    for (const auto& [value, text] : listed) EXPECT_EQ(ShellResultText(value), text) << value;

    // Failure values the table does not list keep their number.
    for (int value : {1, 4, 6, 7, 9, 10, 12, 13, 20, 25})
        EXPECT_EQ(ShellResultText(value), "Unbekannter Shell-Fehler " + std::to_string(value));
    // Success values, also those only a signed reading keeps apart from the
    // listed ones.
    for (int value : {33, 42, 1000, -1, -2, -31, static_cast<int>(0x80000002u), 0x7fffffff})
        EXPECT_EQ(ShellResultText(value), "OK") << value;
}

TEST(ShutdownOperations, NamesArgumentsAndFlags) {
    struct Row {
        const char* name;
        bool reboot, force, powerOff;
        unsigned flags;
    };
    const Row rows[] = {
        {"herunterfahren", false, false, true, 9},
        {"herunterfahren hart", false, true, true, 13},
        {"Neustart", true, false, false, 2},
        {"Neustart hart", true, true, false, 6},
    };
    for (const Row& r : rows) {
        auto args = ShutdownOperation(r.name);
        ASSERT_TRUE(args.has_value()) << r.name;
        EXPECT_EQ(args->Reboot, r.reboot) << r.name;
        EXPECT_EQ(args->Force, r.force) << r.name;
        EXPECT_EQ(args->PowerOff, r.powerOff) << r.name;
        EXPECT_EQ(ShutdownFlags(args->Reboot, args->Force, args->PowerOff), r.flags) << r.name;
    }
    for (const char* other : {"", "neustart", "Herunterfahren", "Neustart ", "herunterfahren  hart",
                              "C:\\Windows\\notepad.exe", "Neustart hart."})
        EXPECT_FALSE(ShutdownOperation(other).has_value()) << '"' << other << '"';
}

TEST(ShutdownOperations, FlagsForEveryArgumentCombination) {
    // PowerOff has no effect together with Reboot.
    EXPECT_EQ(ShutdownFlags(false, false, false), 1u);
    EXPECT_EQ(ShutdownFlags(false, true, false), 5u);
    EXPECT_EQ(ShutdownFlags(false, false, true), 9u);
    EXPECT_EQ(ShutdownFlags(false, true, true), 13u);
    EXPECT_EQ(ShutdownFlags(true, false, false), 2u);
    EXPECT_EQ(ShutdownFlags(true, true, false), 6u);
    EXPECT_EQ(ShutdownFlags(true, false, true), 2u);
    EXPECT_EQ(ShutdownFlags(true, true, true), 6u);
}

TEST(MapiResultTable, EveryCodeFromZeroToAboveTheLast) {
    const std::vector<std::pair<unsigned long, std::string>> listed = {
        {0, "OK"},
        {1, "Benutzer hat Senden abgebrochen oder MAPI nicht installiert."},
        {2, "Unbekannter Fehler."},
        {3, "Benutzerlogin (z.B. bei Outlook) fehlgeschlagen."},
        {5, "Nicht genug Speicher."},
        {9, "Zu viele Dateien zum Anh\xe4ngen."},
        {10, "Zu viele Empf\xe4nger angegeben."},
        {11, "Datei zum Anh\xe4ngen nicht gefunden"},
        {12, "Datei zum Anh\xe4ngen konnte nicht ge\xf6" "ffnet werden."},
        {14, "Empf\xe4nger nicht in Adressbuch gefunden. (Nur m\xf6glich, wenn Emailadresse nicht "
             "angegeben.)"},
        {15, "Empf\xe4ngertyp nicht MAPI_TO, MAPI_CC oder MAPI_BCC."},
        {18, "Text zu gro\xdf."},
        {21, "Empf\xe4nger nicht eindeutig. (Nur m\xf6glich, wenn Emailadresse nicht angegeben.)"},
    };
    for (const auto& [code, text] : listed) EXPECT_EQ(MapiResultText(code), text) << code;
    for (unsigned long code : {4ul, 6ul, 7ul, 8ul, 13ul, 16ul, 17ul, 19ul, 20ul, 22ul, 26ul, 1000ul,
                               0xfffffffful})
        EXPECT_EQ(MapiResultText(code), "") << code;
}

TEST(ErrorMail, BodyHasThreeLinesJoinedByLfCrAndNothingAfter) {
    EXPECT_STREQ(kErrorMailSubject, "Fehler in Quarvelin");
    const std::string body = ErrorMailBody("WS-07", "C:\\Tools\\backup.cmd", "Datei nicht gefunden");
    EXPECT_EQ(body,
              "Computer : WS-07\x0a\x0d"
              "Fehlerpfad : C:\\Tools\\backup.cmd\x0a\x0d"
              "Fehlermeldung : Datei nicht gefunden");
    EXPECT_EQ(body.find("\r\n"), std::string::npos);
}

TEST(ErrorMail, ResultTextGoesInWholeAndEmptyPartsStayEmpty) {
    // The run log keeps 30 characters of this; the mail keeps all 33.
    const std::string longText = ShellResultText(0);
    ASSERT_GT(longText.size(), 30u);
    const std::string body = ErrorMailBody("PC", "x.exe", longText);
    const std::string lastLine = "Fehlermeldung : Kein Speicher oder Resourcen mehr";
    ASSERT_GE(body.size(), lastLine.size());
    EXPECT_EQ(body.substr(body.size() - lastLine.size()), lastLine);

    EXPECT_EQ(ErrorMailBody("", "", ""), "Computer : \n\rFehlerpfad : \n\rFehlermeldung : ");
    // A cancelled forced restart, as the tick mails it.
    EXPECT_EQ(ErrorMailBody("PC", "Neustart hart", kCancelled),
              "Computer : PC\n\rFehlerpfad : Neustart hart\n\rFehlermeldung : abgebrochen");
}

TEST(ErrorMail, SendingRule) {
    struct Row {
        const char* address;
        bool firstOnly, lit, send;
    };
    const Row rows[] = {
        {"", false, false, false},        {"", true, false, false},
        {"", false, true, false},         {"a@b.de", false, false, true},
        {"a@b.de", false, true, true},    {"a@b.de", true, false, true},
        {"a@b.de", true, true, false},    {" ", true, false, true},  // not trimmed
    };
    for (const Row& r : rows)
        EXPECT_EQ(ShouldSendErrorMail(r.address, r.firstOnly, r.lit), r.send)
            << '"' << r.address << "\" " << r.firstOnly << r.lit;
}
