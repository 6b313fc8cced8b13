// The text layer in a legacy code page, as on Windows 7 to 10 1809, which ignore the manifest's
// UTF-8. This program has no manifest: it runs in the system's code page (1252 under the suites'
// Wine); the double-byte code page 932 is given to the conversions.
#include "SysUtils.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace TestSupport;

namespace {

// Bent to fit the code page, the Polish city's name would be listed as "Lodz", another file's.
TEST(LegacyCodePage, NamesWithoutAnExactSpellingAreNotListed)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "the names are chosen for code page 1252; this system's is " << GetACP();
    TempDir Dir;
    const std::wstring Folder = WideText(Dir.Path()), Bent[] = {L"\u0141\u00F3d\u017A.ini", L"\u0141odz"};
    for (const wchar_t* Name : {L"\u0141\u00F3d\u017A.ini", L"Lodz.ini", L"V\u00E9t\u00E9.ini"})
        CloseHandle(CreateFileW((Folder + Name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    CreateDirectoryW((Folder + Bent[1]).c_str(), nullptr);
    std::vector<std::string> Listed;
    ForEachFile(Dir.Path() + "*", [&Listed](const TFoundFile& Found) { return Listed.push_back(Found.Name), true; });
    DeleteFileW((Folder + Bent[0]).c_str());
    RemoveDirectoryW((Folder + Bent[1]).c_str());
    std::sort(Listed.begin(), Listed.end());
    EXPECT_EQ(Listed, (std::vector<std::string>{".", "..", "Lodz.ini", "V\xE9t\xE9.ini"}));
}

// In code page 932 the katakana SO is 83 5C: a character whose second byte is a backslash's.
TEST(LegacyCodePage, SeparatorsAreFoundByCharacter)
{
    const std::string Folder = "D:\\Games\\\x83\x5C";
    EXPECT_EQ(AnsiName(L"D:\\Games\\\u30BD", 10, 932), Folder);
    EXPECT_FALSE(EndsWithBackslash(Folder, 932));
    EXPECT_TRUE(EndsWithBackslash(Folder + "\\", 932));
    EXPECT_EQ(LastDelimiter("\\", Folder + "RA95.exe", 932), 8u);
    EXPECT_EQ(FindDelimiter("\\/", Folder + "/", 9, 932), 11u);
}

}  // namespace
