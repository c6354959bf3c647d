// The resources of the built Quarvelin.exe, as Explorer reads them: the
// version and the icon at the three sizes Explorer and the taskbar use.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

std::string VersionString(const std::vector<char>& info, const std::string& name) {
    void* value = nullptr;
    UINT size = 0;
    const std::string path = "\\StringFileInfo\\040704E4\\" + name;
    if (!VerQueryValueA(info.data(), path.c_str(), &value, &size) || !value) return {};
    return std::string(static_cast<const char*>(value));
}

TEST(ProgramResources, VersionNamesTheProductAndVersion103) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(QV_QUARVELIN_EXE, &handle);
    ASSERT_GT(size, 0u) << "no version resource";
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(QV_QUARVELIN_EXE, 0, size, info.data()));
    EXPECT_EQ(VersionString(info, "ProductName"), "Quarvelin");
    EXPECT_EQ(VersionString(info, "ProductVersion"), "1.03");
    EXPECT_EQ(VersionString(info, "FileVersion"), "1.03");
    EXPECT_EQ(VersionString(info, "OriginalFilename"), "Quarvelin.exe");
    EXPECT_NE(VersionString(info, "FileDescription").find("Programme"), std::string::npos);
    EXPECT_EQ(VersionString(info, "LegalCopyright").rfind("Copyright \xa9 ", 0), 0u);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, 3));
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colors, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST(ProgramResources, IconHas16_32And48PixelImagesThatLoad) {
    HMODULE exe = LoadLibraryExA(QV_QUARVELIN_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr);
    HRSRC group = FindResourceA(exe, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
    ASSERT_NE(group, nullptr) << "no icon 1";
    const auto* dir = static_cast<const WORD*>(LockResource(LoadResource(exe, group)));
    ASSERT_NE(dir, nullptr);
    const auto* entries = reinterpret_cast<const GroupIconEntry*>(dir + 3);
    std::set<int> sizes;
    for (WORD i = 0; i < dir[2]; ++i) sizes.insert(entries[i].width);
    EXPECT_EQ(sizes, (std::set<int>{16, 32, 48}));
    for (int size : {16, 32, 48}) {
        HICON icon = static_cast<HICON>(
            LoadImageA(exe, MAKEINTRESOURCEA(1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        EXPECT_NE(icon, nullptr) << size;
        ICONINFO ii{};
        if (icon && GetIconInfo(icon, &ii)) {
            BITMAP bm{};
            GetObjectA(ii.hbmMask, sizeof bm, &bm);
            EXPECT_EQ(bm.bmWidth, size);
            if (ii.hbmColor) DeleteObject(ii.hbmColor);
            DeleteObject(ii.hbmMask);
        }
        if (icon) DestroyIcon(icon);
    }
    FreeLibrary(exe);
}

}  // namespace
