// The toolkit's 8-bit text: bytes in the process's ANSI code page. That is UTF-8 where Windows
// honours the manifest's code page (Windows 10 1903 and later), and the system's code page before.
#pragma once
#include <algorithm>
#include <string>

using AnsiString = std::string;

// The program's own names (Steam's keys, search patterns, drive letters, the folder names it looks
// for) are ASCII and match with ASCII letters in either case; every other byte stands for itself, so
// that no byte of a multi-byte character changes. File names and paths compare as the file system
// compares them: SameFileName in SysUtils.h.
inline char AsciiUpper(char C)
{
    return C >= 'a' && C <= 'z' ? static_cast<char>(C - 'a' + 'A') : C;
}

inline bool SameText(const AnsiString& A, const AnsiString& B)
{
    return A.size() == B.size() &&
           std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y) { return AsciiUpper(X) == AsciiUpper(Y); });
}

// Where Needle first stands in Text, or npos.
inline size_t FindText(const AnsiString& Text, const AnsiString& Needle)
{
    const auto Found = std::search(Text.begin(), Text.end(), Needle.begin(), Needle.end(),
                                   [](char X, char Y) { return AsciiUpper(X) == AsciiUpper(Y); });
    return Found == Text.end() && !Needle.empty() ? AnsiString::npos : static_cast<size_t>(Found - Text.begin());
}
