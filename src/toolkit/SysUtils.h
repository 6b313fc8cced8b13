// Text helpers and the exception base class of the toolkit.
#pragma once
#include <exception>
#include <functional>

#include "AnsiString.h"

// Base of every error the toolkit raises. Message is shown to the user as it stands.
class Exception : public std::exception {
public:
    explicit Exception(AnsiString Msg) : Message(std::move(Msg)) {}
    const char* what() const noexcept override { return Message.c_str(); }
    AnsiString Message;
};

// Signed decimal, no padding.
AnsiString IntToStr(long long Value);

// Compares two texts in the user's locale, ignoring letter case: <0, 0 or >0.
int AnsiCompareText(const AnsiString& S1, const AnsiString& S2);

// The system's text for an error code (FormatMessageA, no inserts), without the trailing line break.
// Empty when the system has no text for the code.
AnsiString SysErrorMessage(unsigned long ErrorCode);

// Whether FileName names an existing file (not a folder).
bool FileExists(const AnsiString& FileName);

// A moment of local time, to the second.
struct TDateTime {
    int Year, Month, Day, Hour, Minute, Second;
};

// The local time now.
TDateTime Now();

// "2026-12-08 09.41.07": sorts as the time does, and fits in a file name (no colons).
AnsiString DateTimeStamp(const TDateTime& Time);

// A file that a directory search found.
struct TFoundFile {
    AnsiString Name;  // without its folder
    long long Size;
};

// Calls Visit for each plain file (no folder, hidden or system file) whose own name matches Pattern,
// such as "C:\Rules\*.ini" (* stands for any run of characters, letter case aside), in the order the
// runtime's directory search gives them, until Visit returns false.
// A folder that cannot be searched has no files.
void ForEachPlainFile(const AnsiString& Pattern, const std::function<bool(const TFoundFile&)>& Visit);
