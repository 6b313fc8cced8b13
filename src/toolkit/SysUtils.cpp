#include "SysUtils.h"

#include <io.h>
#include <windows.h>

#include <cstdio>

AnsiString IntToStr(long long Value)
{
    return std::to_string(Value);
}

int AnsiCompareText(const AnsiString& S1, const AnsiString& S2)
{
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, S1.data(), static_cast<int>(S1.size()),
                          S2.data(), static_cast<int>(S2.size())) - CSTR_EQUAL;
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

bool FileExists(const AnsiString& FileName)
{
    const DWORD Attributes = GetFileAttributesA(FileName.c_str());
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
// stands for itself, in any letter case.
bool MatchesMask(const char* Name, const char* Mask)
{
    if (*Mask == '*')
        return MatchesMask(Name, Mask + 1) || (*Name && MatchesMask(Name + 1, Mask));
    if (!*Mask || !*Name)
        return !*Mask && !*Name;
    char Pair[2] = {*Name, *Mask};
    CharUpperBuffA(Pair, 2);
    return Pair[0] == Pair[1] && MatchesMask(Name + 1, Mask + 1);
}

}  // namespace

void ForEachPlainFile(const AnsiString& Pattern, const std::function<bool(const TFoundFile&)>& Visit)
{
    _finddatai64_t Found;
    // Closed however the visit ends, an exception of Visit included.
    const struct TSearch {
        intptr_t Handle;
        ~TSearch()
        {
            if (Handle != -1)
                _findclose(Handle);
        }
    } Search{_findfirsti64(Pattern.c_str(), &Found)};
    if (Search.Handle == -1)
        return;
    // The system also matches the pattern against a name's short (8.3) alias, through which
    // "*.ini" finds "Veteran.ini~" and "old.ini_old" ("VETERA~1.INI"): only a name that matches
    // it itself counts.
    const char* Mask = Pattern.c_str() + Pattern.find_last_of("\\/:") + 1;
    do {
        // The runtime's search also returns folders, hidden and system files.
        if ((Found.attrib & (_A_SUBDIR | _A_HIDDEN | _A_SYSTEM)) || !MatchesMask(Found.name, Mask))
            continue;
        if (!Visit({Found.name, Found.size}))
            return;
    } while (_findnexti64(Search.Handle, &Found) == 0);
}
