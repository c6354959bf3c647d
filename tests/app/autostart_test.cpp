#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>

#include "app/Autostart.h"

namespace qv::app {
namespace {

// A Run key of our own under HKEY_CURRENT_USER, removed afterwards.
class AutostartTest : public ::testing::Test {
protected:
    AutostartTest() {
        where.root = HKEY_CURRENT_USER;
        where.key = "Software\\QvAutostartTest\\Run" + std::to_string(GetCurrentProcessId());
    }
    ~AutostartTest() override { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QvAutostartTest"); }
    AutostartLocation where;
};

TEST_F(AutostartTest, WriteReadDeleteRoundTrip) {
    EXPECT_EQ(ReadAutostartEntry(kAutostartValueName, where), "");  // no key yet
    SetAutostartEntry("C:\\Programme\\Quarvelin\\Quarvelin.exe", kAutostartValueName, true, where);
    EXPECT_EQ(ReadAutostartEntry(kAutostartValueName, where),
              "C:\\Programme\\Quarvelin\\Quarvelin.exe");
    // Moving the program rewrites the entry with the new path.
    SetAutostartEntry("D:\\Neu\\Quarvelin.exe", kAutostartValueName, true, where);
    EXPECT_EQ(ReadAutostartEntry(kAutostartValueName, where), "D:\\Neu\\Quarvelin.exe");
    SetAutostartEntry("ignored", kAutostartValueName, false, where);
    EXPECT_EQ(ReadAutostartEntry(kAutostartValueName, where), "");
    // Deleting a missing value is no error.
    EXPECT_NO_THROW(SetAutostartEntry("ignored", kAutostartValueName, false, where));
}

TEST_F(AutostartTest, ValueIsAStringWithItsTerminatingZero) {
    SetAutostartEntry("C:\\Q.exe", kAutostartValueName, true, where);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(where.root, where.key.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(key, kAutostartValueName, nullptr, &type, nullptr, &size),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 9u);
}

TEST_F(AutostartTest, EmptyValueReadsEmptyAndOtherTypesAreRefused) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(where.root, where.key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, kAutostartValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    DWORD number = 7;
    RegSetValueExA(key, "Zahl", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegCloseKey(key);
    EXPECT_EQ(ReadAutostartEntry(kAutostartValueName, where), "");
    try {
        ReadAutostartEntry("Zahl", where);
        FAIL() << "a number was read as an autostart entry";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Ung\xfcltiger Datentyp f\xfcr 'Zahl'");
    }
}

}  // namespace
}  // namespace qv::app
