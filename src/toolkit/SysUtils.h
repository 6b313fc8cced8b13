// Text helpers and the exception base class of the toolkit.
#pragma once
#include <exception>
#include <functional>
#include <initializer_list>
#include <optional>
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

// The language the program's windows and texts are taken from its resources in: 0 (LANG_NEUTRAL),
// as Windows takes them (the user's display language, else English); a test may name one.
extern unsigned short ResourceLanguage;

// The program's resource of a type (RT_DIALOG, RT_STRING...) and number in that language, or null.
const void* FindResourceData(int Type, int Id);

// A text of the program's string table, in the process's code page; empty when there is none.
AnsiString LoadStr(int Id);
// The same with %1 to %9 replaced by the arguments, in their order.
AnsiString FmtLoadStr(int Id, std::initializer_list<AnsiString> Args);

// Compares two texts shown to the user, as the user's locale sorts them, ignoring letter case: <0,
// 0 or >0. Compared in UTF-16: the system's -A comparison reads the bytes in the locale's code page,
// never in UTF-8.
int AnsiCompareText(const AnsiString& S1, const AnsiString& S2);

// Whether two file names or paths are the same text to the file system: UTF-16 code units compared
// one by one, letter case ignored in every script. Two texts that differ may still name one file
// (SameFile in Classes.h tells). The program's own ASCII names compare with SameText (AnsiString.h).
bool SameFileName(const AnsiString& S1, const AnsiString& S2);

// The system's text for an error code (FormatMessageA, no inserts), without the trailing line break.
// Empty when the system has no text for the code.
AnsiString SysErrorMessage(unsigned long ErrorCode);

// The UTF-16 text of a text in the process's ANSI code page, and back, for the wide calls: they take
// paths beyond MAX_PATH, and give names longer than the -A structures hold. A character the code page
// lacks comes back as '?', as from the -A calls.
std::wstring WideText(const AnsiString& Text);
AnsiString AnsiText(const wchar_t* Text, size_t Length);

// The same for a file's or folder's name, exactly or not at all: nothing when a character of the name
// has no counterpart of its own in the code page. The system's nearest character ("best fit") would
// give the name of another file, or of none: in code page 1252, L and z stand in for the Polish city's
// U+0141 and U+017A. CodePage 0 is the process's code page.
std::optional<AnsiString> AnsiName(const wchar_t* Name, size_t Length, unsigned CodePage = 0);

// Path separators, found by character: in a double-byte code page (Japanese 932, Chinese 936 and
// 950, ...) the second byte of a character may be 0x5C, the byte of the backslash: the katakana SO
// (U+30BD) is 83 5C in code page 932. Offsets are in bytes; CodePage 0 is the process's code page.
// The offset of the first character at or after Start (a character's first byte) that is one of
// Delimiters (ASCII characters), or npos.
size_t FindDelimiter(const char* Delimiters, const AnsiString& S, size_t Start = 0, unsigned CodePage = 0);
// The offset of the last such character, or npos.
size_t LastDelimiter(const char* Delimiters, const AnsiString& S, unsigned CodePage = 0);
// Whether the last character of S is a backslash.
bool EndsWithBackslash(const AnsiString& S, unsigned CodePage = 0);

// A text read from a file, as it is shown: valid UTF-8 stands for itself; other bytes are in the
// system's legacy ANSI code page, in which the games, ANSI programs of that code page, read them.
AnsiString TextFromFile(const AnsiString& Bytes);

// The system's legacy ANSI code page (1252 on a Western system), whatever code page this process runs in.
unsigned LegacyCodePage();

// The full path of the running program's file, in UTF-16: it may hold characters of no code page.
std::wstring ThisProgramFile();
// The process's current folder, without a backslash at its end (but for a drive's root).
AnsiString CurrentFolderText();
// A variable of the process's environment, exactly as AnsiName gives it: empty when it is not set,
// or has no spelling of its own in the code page.
AnsiString EnvironmentText(const char* Name);

// A text in UTF-8 (as Steam writes its files), exactly as AnsiName gives it: nothing when it is not
// UTF-8, or when a character has no counterpart of its own in the process's code page.
std::optional<AnsiString> AnsiFromUtf8(const AnsiString& Text);
// A text in the process's code page, in UTF-8.
AnsiString Utf8FromAnsi(const AnsiString& Text);

// Whether a path is absolute: "C:\..." or "\\server\share\..." (or "\\?\...").
bool IsFullPath(const AnsiString& Path);

// A function that a DLL of System32 exports, or null. The DLL is loaded from System32 alone (the
// program's folder may hold anything that was downloaded beside it) and stays loaded.
using TSystemProc = void (*)();
TSystemProc SystemProc(const char* Library, const char* Name);
template <class TFunction>
TFunction SystemFunction(const char* Library, const char* Name)
{
    return reinterpret_cast<TFunction>(SystemProc(Library, Name));
}

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

// What follows the program's name on a command line such as GetCommandLine gives, as it stands:
// not re-quoted, not split. The name ends as Windows reads it: at the next quotation mark when it
// starts with one, else at the first blank or tab; the blanks and tabs after it are skipped.
AnsiString CommandLineArguments(const AnsiString& CommandLine);
