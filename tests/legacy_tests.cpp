// The text layer in a legacy code page, as Windows 7 to 10 1809 run it: this program has no manifest,
// and so runs in the system's code page, 1252 under the suites' Wine.
#include "SysUtils.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Bent to fit the code page, the Polish city's name would be listed under another file's: "L\xF3" "dz.ini".
TEST(LegacyCodePage, NamesWithoutAnExactSpellingAreNotListed)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "the names are chosen for code page 1252; this system's is " << GetACP();
    TestSupport::TempDir Dir;
    const std::wstring Folder = WideText(Dir.Path()), Bent = Folder + L"\u0141\u00F3d\u017A";
    for (const std::wstring& Name : {Bent + L".ini", Folder + L"L\u00F3dz.ini", Folder + L"V\u00E9t\u00E9.ini"})
        CloseHandle(CreateFileW(Name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    CreateDirectoryW(Bent.c_str(), nullptr);
    std::vector<std::string> Listed;
    ForEachFile(Dir.Path() + "*", [&Listed](const TFoundFile& Found) { return Listed.push_back(Found.Name), true; });
    DeleteFileW((Bent + L".ini").c_str());
    RemoveDirectoryW(Bent.c_str());
    std::sort(Listed.begin(), Listed.end());
    EXPECT_EQ(Listed, (std::vector<std::string>{".", "..", "L\xF3" "dz.ini", "V\xE9t\xE9.ini"}));
}

// In code page 932 the katakana SO is 83 5C: a character whose second byte is a backslash's.
TEST(LegacyCodePage, SeparatorsAreFoundByCharacter)
{
    const std::string Folder = "D:\\Games\\\x83\x5C";
    EXPECT_EQ(AnsiName(L"D:\\Games\\\u30BD", 10, 932), Folder);
    EXPECT_FALSE(EndsWithBackslash(Folder, 932));
    EXPECT_EQ(LastDelimiter("\\", Folder + "RA95.exe", 932), 8u);
    EXPECT_EQ(FindDelimiter("\\/", Folder + "/", 9, 932), 11u);
}

// Steam writes UTF-8: a library "Bibliothèque" is read in code page 1252, one in Japanese not at all.
TEST(LegacyCodePage, SteamsUtf8IsReadExactlyOrNotAtAll)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "the names are chosen for code page 1252; this system's is " << GetACP();
    EXPECT_EQ(AnsiFromUtf8(u8"D:\\Biblioth\u00E8que"), std::optional<std::string>("D:\\Biblioth\xE8que"));
    EXPECT_EQ(AnsiFromUtf8(u8"D:\\\u898F\u5247"), std::nullopt);
}

}  // namespace
