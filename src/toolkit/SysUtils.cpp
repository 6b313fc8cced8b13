#include "SysUtils.h"

#include <windows.h>

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
