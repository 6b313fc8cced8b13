// Text helpers and the exception base class of the toolkit.
#pragma once
#include <exception>
#include <functional>
#include <string>

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

// The UTF-16 text of a text in the process's ANSI code page, and back, for the wide calls: they take
// paths beyond MAX_PATH, and give names longer than the -A structures hold. A character the code page
// lacks comes back as '?', as from the -A calls.
std::wstring WideText(const AnsiString& Text);
AnsiString AnsiText(const wchar_t* Text, size_t Length);

// A text read from a file, as it is shown: valid UTF-8 stands for itself; other bytes are in the
// system's legacy ANSI code page, in which the games, ANSI programs of that code page, read them.
AnsiString TextFromFile(const AnsiString& Bytes);

// The system's legacy ANSI code page (1252 on a Western system), whatever code page this process runs in.
unsigned LegacyCodePage();

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
    unsigned long Attributes;  // FILE_ATTRIBUTE_...
};

// Calls Visit for each entry (files and folders, "." and ".." included) whose own name matches
// Pattern (* stands for any run of characters, ASCII letters in either case), in the order the file
// system gives them, until Visit returns false. A folder that cannot be searched has none.
void ForEachFile(const AnsiString& Pattern, const std::function<bool(const TFoundFile&)>& Visit);

// Calls Visit for each plain file (no folder, hidden or system file) that ForEachFile gives for
// Pattern, such as "C:\Rules\*.ini", until Visit returns false.
void ForEachPlainFile(const AnsiString& Pattern, const std::function<bool(const TFoundFile&)>& Visit);
