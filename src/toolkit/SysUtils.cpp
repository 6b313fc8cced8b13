#include "SysUtils.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>

AnsiString IntToStr(long long Value)
{
    return std::to_string(Value);
}

unsigned short ResourceLanguage = 0;

const void* FindResourceData(int Type, int Id)
{
    const HMODULE Module = GetModuleHandleW(nullptr);
    const HRSRC Found = FindResourceExW(Module, MAKEINTRESOURCEW(Type), MAKEINTRESOURCEW(Id), ResourceLanguage);
    const HGLOBAL Loaded = Found ? LoadResource(Module, Found) : nullptr;
    return Loaded ? LockResource(Loaded) : nullptr;
}

AnsiString LoadStr(int Id)
{
    // A block of 16 counted UTF-16 texts: block n holds texts 16(n - 1) to 16n - 1.
    const auto* Text = static_cast<const WCHAR*>(FindResourceData(6 /* RT_STRING */, Id / 16 + 1));
    if (!Text)
        return AnsiString();
    for (int Index = Id % 16; Index > 0; --Index)
        Text += 1 + *Text;
    return AnsiText(Text + 1, *Text);
}

AnsiString FmtLoadStr(int Id, std::initializer_list<AnsiString> Args)
{
    // The byte of '%' is never part of another character, in UTF-8 as in the double-byte code pages.
    const AnsiString Format = LoadStr(Id);
    AnsiString Text;
    for (size_t At = 0; At < Format.size(); ++At) {
        const size_t Arg = At + 1 < Format.size() ? static_cast<size_t>(Format[At + 1] - '1') : Args.size();
        if (Format[At] == '%' && Arg < Args.size() && Arg < 9) {
            Text += Args.begin()[Arg];
            ++At;
        } else {
            Text += Format[At];
        }
    }
    return Text;
}

int AnsiCompareText(const AnsiString& S1, const AnsiString& S2)
{
    const std::wstring W1 = WideText(S1), W2 = WideText(S2);
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, W1.data(), static_cast<int>(W1.size()), W2.data(),
                          static_cast<int>(W2.size())) - CSTR_EQUAL;
}

bool SameFileName(const AnsiString& S1, const AnsiString& S2)
{
    const std::wstring W1 = WideText(S1), W2 = WideText(S2);
    return CompareStringOrdinal(W1.data(), static_cast<int>(W1.size()), W2.data(), static_cast<int>(W2.size()),
                                TRUE) == CSTR_EQUAL;
}

AnsiString SysErrorMessage(unsigned long ErrorCode)
{
    char* Text = nullptr;  // left unset by a failing call
    const DWORD Length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, ErrorCode, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                        reinterpret_cast<char*>(&Text), 0, nullptr);
    AnsiString Result(Text ? Text : "", Text ? Length : 0);
    if (Text)
        LocalFree(Text);
    while (!Result.empty() && (Result.back() == '\n' || Result.back() == '\r' || Result.back() == ' '))
        Result.pop_back();
    return Result;
}

std::wstring WideText(const AnsiString& Text)
{
    if (Text.empty())
        return std::wstring();
    const int Length = static_cast<int>(Text.size());
    std::wstring Wide(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, Text.data(), Length, nullptr, 0)), L'\0');
    if (!Wide.empty())
        MultiByteToWideChar(CP_ACP, 0, Text.data(), Length, &Wide[0], static_cast<int>(Wide.size()));
    return Wide;
}

AnsiString AnsiText(const wchar_t* Text, size_t Length)
{
    if (Length == 0)
        return AnsiString();
    const int Count = static_cast<int>(Length);
    AnsiString Narrow(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, Text, Count, nullptr, 0, nullptr, nullptr)),
                      '\0');
    if (!Narrow.empty())
        WideCharToMultiByte(CP_ACP, 0, Text, Count, &Narrow[0], static_cast<int>(Narrow.size()), nullptr, nullptr);
    return Narrow;
}

std::optional<AnsiString> AnsiName(const wchar_t* Name, size_t Length, unsigned CodePage)
{
    if (Length == 0)
        return AnsiString();
    if (CodePage == 0)
        CodePage = GetACP();
    // UTF-8 has a counterpart for every character but a lone surrogate, and takes neither the
    // best-fit flag nor the default character.
    const bool Utf8 = CodePage == CP_UTF8;
    const DWORD Flags = Utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL UsedDefault = FALSE;
    BOOL* const Check = Utf8 ? nullptr : &UsedDefault;
    const int Count = static_cast<int>(Length);
    const int Size = WideCharToMultiByte(CodePage, Flags, Name, Count, nullptr, 0, nullptr, Check);
    if (Size == 0 || UsedDefault)
        return std::nullopt;
    AnsiString Narrow(static_cast<size_t>(Size), '\0');
    WideCharToMultiByte(CodePage, Flags, Name, Count, &Narrow[0], Size, nullptr, nullptr);
    return Narrow;
}

namespace {

// Calls Visit with the offset of each character of S from Start on, until it returns false.
template <class TVisit>
void ForEachCharacter(const AnsiString& S, size_t Start, unsigned CodePage, TVisit Visit)
{
    for (size_t Offset = Start; Offset < S.size();) {
        if (!Visit(Offset))
            return;
        const bool Lead = IsDBCSLeadByteEx(CodePage, static_cast<BYTE>(S[Offset])) && Offset + 1 < S.size();
        Offset += Lead ? 2 : 1;
    }
}

bool IsDelimiter(const char* Delimiters, char C)
{
    return C != '\0' && std::strchr(Delimiters, C) != nullptr;
}

}  // namespace

size_t FindDelimiter(const char* Delimiters, const AnsiString& S, size_t Start, unsigned CodePage)
{
    size_t Found = AnsiString::npos;
    ForEachCharacter(S, Start, CodePage, [&](size_t Offset) {
        if (IsDelimiter(Delimiters, S[Offset]))
            Found = Offset;
        return Found == AnsiString::npos;
    });
    return Found;
}

size_t LastDelimiter(const char* Delimiters, const AnsiString& S, unsigned CodePage)
{
    size_t Found = AnsiString::npos;
    ForEachCharacter(S, 0, CodePage, [&](size_t Offset) {
        if (IsDelimiter(Delimiters, S[Offset]))
            Found = Offset;
        return true;
    });
    return Found;
}

bool EndsWithBackslash(const AnsiString& S, unsigned CodePage)
{
    return !S.empty() && LastDelimiter("\\", S, CodePage) == S.size() - 1;
}

unsigned LegacyCodePage()
{
    // The system locale's own code page. GetACP() gives the process's, 65001 under the manifest.
    DWORD CodePage = 0;
    if (!GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                        reinterpret_cast<char*>(&CodePage), sizeof(CodePage)) ||
        CodePage == 0 || !IsValidCodePage(CodePage))
        return 1252;
    return CodePage;
}

AnsiString TextFromFile(const AnsiString& Bytes)
{
    if (std::all_of(Bytes.begin(), Bytes.end(), [](char C) { return static_cast<unsigned char>(C) < 0x80; }))
        return Bytes;
    const int Length = static_cast<int>(Bytes.size());
    UINT CodePage = CP_UTF8;
    int Count = MultiByteToWideChar(CodePage, MB_ERR_INVALID_CHARS, Bytes.data(), Length, nullptr, 0);
    if (Count == 0) {
        CodePage = LegacyCodePage();
        Count = MultiByteToWideChar(CodePage, 0, Bytes.data(), Length, nullptr, 0);
    }
    if (CodePage == GetACP())
        return Bytes;
    std::wstring Wide(static_cast<size_t>(Count), L'\0');
    MultiByteToWideChar(CodePage, 0, Bytes.data(), Length, &Wide[0], Count);
    return AnsiText(Wide.data(), Wide.size());
}

namespace {

// The text a system call writes into a buffer of the size it is given: the call returns the length
// written, or a length not below the size when the buffer is too small. Empty when it fails.
template <class TCall>
std::wstring GrownText(TCall Call)
{
    std::wstring Text(MAX_PATH, L'\0');
    for (;;) {
        const DWORD Size = static_cast<DWORD>(Text.size());
        const DWORD Length = Call(&Text[0], Size);
        if (Length < Size) {
            Text.resize(Length);
            return Text;
        }
        Text.resize(std::max<size_t>(Length, 2 * Text.size()));
    }
}

}  // namespace

std::wstring ThisProgramFile()
{
    return GrownText([](wchar_t* Buffer, DWORD Size) { return GetModuleFileNameW(nullptr, Buffer, Size); });
}

AnsiString CurrentFolderText()
{
    const std::wstring Folder = GrownText([](wchar_t* Buffer, DWORD Size) { return GetCurrentDirectoryW(Size, Buffer); });
    return AnsiText(Folder.data(), Folder.size());
}

AnsiString EnvironmentText(const char* Name)
{
    const std::wstring WideName = WideText(Name);
    const std::wstring Value = GrownText(
        [&](wchar_t* Buffer, DWORD Size) { return GetEnvironmentVariableW(WideName.c_str(), Buffer, Size); });
    return AnsiName(Value.data(), Value.size()).value_or(AnsiString());
}

std::optional<AnsiString> AnsiFromUtf8(const AnsiString& Text)
{
    const int Length = static_cast<int>(Text.size());
    std::wstring Wide(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, Text.data(), Length,
                                                              nullptr, 0)), L'\0');
    if (Wide.empty() != Text.empty())
        return std::nullopt;
    MultiByteToWideChar(CP_UTF8, 0, Text.data(), Length, &Wide[0], static_cast<int>(Wide.size()));
    return AnsiName(Wide.data(), Wide.size());
}

AnsiString Utf8FromAnsi(const AnsiString& Text)
{
    const std::wstring Wide = WideText(Text);
    const int Length = static_cast<int>(Wide.size());
    AnsiString Utf8(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, Wide.data(), Length, nullptr, 0, nullptr, nullptr)),
                    '\0');
    if (!Utf8.empty())
        WideCharToMultiByte(CP_UTF8, 0, Wide.data(), Length, &Utf8[0], static_cast<int>(Utf8.size()), nullptr, nullptr);
    return Utf8;
}

bool IsFullPath(const AnsiString& Path)
{
    const char Drive = AsciiUpper(Path.empty() ? '\0' : Path[0]);
    return (Path.size() >= 3 && Drive >= 'A' && Drive <= 'Z' && Path[1] == ':' && Path[2] == '\\') ||
           (Path.size() > 2 && Path[0] == '\\' && Path[1] == '\\');
}

namespace {

// A DLL of System32 (shell32, ole32), loaded from there alone the first time it is needed: imported,
// it and the DLLs it pulls in would be loaded at every start, for a case that few players meet.
// Windows 7 without update KB2533623 refuses LOAD_LIBRARY_SEARCH_SYSTEM32 (ERROR_INVALID_PARAMETER);
// there the full System32 path is loaded, its own imports looked for in System32 first. It stays
// loaded: the shell may leave work running in it after ShellExecuteEx returns.
HMODULE SystemLibrary(const char* Name)
{
    HMODULE Module = LoadLibraryExA(Name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!Module && GetLastError() == ERROR_INVALID_PARAMETER) {
        char Folder[MAX_PATH];
        const UINT Length = GetSystemDirectoryA(Folder, MAX_PATH);
        if (Length == 0 || Length >= MAX_PATH)
            return nullptr;
        Module = LoadLibraryExA((AnsiString(Folder) + "\\" + Name).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    return Module;
}

}  // namespace

TSystemProc SystemProc(const char* Library, const char* Name)
{
    const HMODULE Module = SystemLibrary(Library);
    return Module ? reinterpret_cast<TSystemProc>(GetProcAddress(Module, Name)) : nullptr;
}

bool FileExists(const AnsiString& FileName)
{
    const DWORD Attributes = GetFileAttributesW(WideText(FileName).c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && !(Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TDateTime Now()
{
    SYSTEMTIME Time;
    GetLocalTime(&Time);
    return {Time.wYear, Time.wMonth, Time.wDay, Time.wHour, Time.wMinute, Time.wSecond};
}

AnsiString DateTimeStamp(const TDateTime& Time)
{
    char Text[32];
    std::snprintf(Text, sizeof Text, "%04d-%02d-%02d %02d.%02d.%02d", Time.Year, Time.Month, Time.Day, Time.Hour,
                  Time.Minute, Time.Second);
    return Text;
}

namespace {

// Whether Name matches Mask, where * stands for any run of characters and every other character
// stands for itself, ASCII letters in either case. The masks are the program's own ASCII patterns.
bool MatchesMask(const char* Name, const char* Mask)
{
    if (*Mask == '*')
        return MatchesMask(Name, Mask + 1) || (*Name && MatchesMask(Name + 1, Mask));
    if (!*Mask || !*Name)
        return !*Mask && !*Name;
    return AsciiUpper(*Name) == AsciiUpper(*Mask) && MatchesMask(Name + 1, Mask + 1);
}

}  // namespace

void ForEachFile(const AnsiString& Pattern, const std::function<bool(const TFoundFile&)>& Visit)
{
    // The wide search: a name in UTF-8 may be longer than the 260 bytes of WIN32_FIND_DATAA.
    WIN32_FIND_DATAW Found;
    // Closed however the visit ends, an exception of Visit included.
    const struct TSearch {
        HANDLE Handle;
        ~TSearch()
        {
            if (Handle != INVALID_HANDLE_VALUE)
                FindClose(Handle);
        }
    } Search{FindFirstFileW(WideText(Pattern).c_str(), &Found)};
    if (Search.Handle == INVALID_HANDLE_VALUE)
        return;
    // The system also matches the pattern against a name's short (8.3) alias, through which
    // "*.ini" finds "Veteran.ini~" and "old.ini_old" ("VETERA~1.INI"): only a name that matches
    // it itself counts.
    const char* Mask = Pattern.c_str() + LastDelimiter("\\/:", Pattern) + 1;
    do {
        // A name without a spelling of its own in the code page is left out: bent to fit, it would
        // be the name of another file, or of none.
        const std::optional<AnsiString> Name = AnsiName(Found.cFileName, wcslen(Found.cFileName));
        if (!Name || !MatchesMask(Name->c_str(), Mask))
            continue;
        const long long Size = static_cast<long long>(Found.nFileSizeHigh) << 32 | Found.nFileSizeLow;
        if (!Visit({*Name, Size, Found.dwFileAttributes}))
            return;
    } while (FindNextFileW(Search.Handle, &Found));
}

void ForEachPlainFile(const AnsiString& Pattern, const std::function<bool(const TFoundFile&)>& Visit)
{
    ForEachFile(Pattern, [&Visit](const TFoundFile& Found) {
        const DWORD Skipped = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        return (Found.Attributes & Skipped) != 0 || Visit(Found);
    });
}

AnsiString CommandLineArguments(const AnsiString& CommandLine)
{
    // Blanks and quotation marks are ASCII: no byte of another character, in UTF-8 or a double-byte
    // code page, is one of them.
    const bool Quoted = CommandLine.compare(0, 1, "\"") == 0;
    size_t End = Quoted ? CommandLine.find('"', 1) : CommandLine.find_first_of(" \t");
    if (Quoted && End != AnsiString::npos)
        ++End;
    End = CommandLine.find_first_not_of(" \t", End);
    return End == AnsiString::npos ? AnsiString() : CommandLine.substr(End);
}
