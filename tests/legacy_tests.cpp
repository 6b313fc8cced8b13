// The text layer in a legacy code page, as on Windows 7 to 10 1809, which ignore the manifest's
// UTF-8. This program has no manifest: it runs in the system's code page (1252 under the suites'
// Wine), and the double-byte code page 932 is given to the conversions.
#include "SysUtils.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace TestSupport;

namespace {

// Each name listed is that of an entry of its own: none bent to fit the code page, where it would
// stand for another file ("Lodz.ini" for the Polish city's name) or for none.
TEST(LegacyCodePage, NamesWithoutAnExactSpellingAreNotListed)
{
    ASSERT_NE(GetACP(), static_cast<UINT>(CP_UTF8));
    TempDir Dir;
    const std::wstring Folder = WideText(Dir.Path());
    const std::wstring Files[] = {L"\u0141\u00F3d\u017A.ini", L"Lodz.ini", L"V\u00E9t\u00E9.ini"};
    const std::wstring Folders[] = {L"\u0141odz", L"\u30BD"};
    for (const std::wstring& Name : Files)
        CloseHandle(CreateFileW((Folder + Name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    for (const std::wstring& Name : Folders)
        CreateDirectoryW((Folder + Name).c_str(), nullptr);
    std::map<std::wstring, int> Listed;
    ForEachFile(Dir.Path() + "*", [&Listed](const TFoundFile& Found) {
        ++Listed[WideText(Found.Name)];
        return true;
    });
    for (const std::wstring& Name : Files)
        DeleteFileW((Folder + Name).c_str());
    for (const std::wstring& Name : Folders)
        RemoveDirectoryW((Folder + Name).c_str());

    EXPECT_EQ(Listed[L"Lodz.ini"], 1);
    for (const auto& [Name, Times] : Listed) {
        const auto Created = [&Name](const std::wstring& Entry) { return Entry == Name; };
        EXPECT_TRUE(Name == L"." || Name == L".." || std::any_of(std::begin(Files), std::end(Files), Created) ||
                    std::any_of(std::begin(Folders), std::end(Folders), Created))
            << AnsiText(Name.data(), Name.size()) << " names no entry";
        EXPECT_LE(Times, 1);
    }
}

// In code page 932 the katakana SO is 83 5C: a character whose second byte is a backslash's.
TEST(LegacyCodePage, SeparatorsAreFoundByCharacter)
{
    const std::string So = "\x83\x5C", Folder = "D:\\Games\\" + So;
    EXPECT_EQ(AnsiName(L"D:\\Games\\\u30BD", 10, 932), Folder);
    EXPECT_EQ(AnsiName(L"\u0141\u00F3d\u017A", 4, 1252), std::nullopt);
    EXPECT_EQ(AnsiName(L"V\u00E9t\u00E9", 4, 1252), "V\xE9t\xE9");
    EXPECT_FALSE(EndsWithBackslash(Folder, 932));
    EXPECT_TRUE(EndsWithBackslash(Folder + "\\", 932));
    EXPECT_TRUE(EndsWithBackslash(Folder, 1252));
    EXPECT_EQ(LastDelimiter("\\", Folder + "RA95.exe", 932), 8u);
    EXPECT_EQ(FindDelimiter("\\/", So + So + "/" + So, 0, 932), 4u);
}

}  // namespace
