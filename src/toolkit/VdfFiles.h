// Reading Steam's text files (libraryfolders.vdf, appmanifest_<id>.acf): a tree of quoted keys, each
// with a quoted text or a block of keys in braces.
//
// Dialect: tokens are separated by spaces, tabs and line breaks; "//" starts a comment that ends with
// its line. A text is quoted, and inside it \\ stands for a backslash and \" for a quote; any other
// backslash is kept as it is. Keys match regardless of ASCII letter case. Anything else (a bare word,
// a brace out of place, a text that never ends, nesting deeper than MaxVdfDepth) makes the whole text
// broken: a broken text gives no tree at all, never a part of one.
// Plain portable C++: the reader also builds on Linux for fuzzing.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "AnsiString.h"

constexpr std::size_t MaxVdfDepth = 32;
constexpr std::size_t MaxVdfFileSize = 1 << 20;  // Steam's files are a few KB; a larger one is not read

struct TVdfNode {
    AnsiString Key;
    AnsiString Value;                // a key with a text
    std::vector<TVdfNode> Children;  // a key with a block: its keys in file order
    bool Block = false;

    // The first child of that key, or null.
    const TVdfNode* Find(const AnsiString& Name) const;
    // The text of the first child of that key, or empty text.
    AnsiString Text(const AnsiString& Name) const;
    // That text as a decimal number of 32 bits (Steam's StateFlags), or nothing: a text of anything
    // but digits, or of a number that does not fit, is none.
    std::optional<std::uint32_t> Number(const AnsiString& Name) const;
};

// Parses Text into Root (a block holding the keys at the top level). False, with Root empty, when
// the text is broken.
bool ParseVdf(const char* Text, std::size_t Size, TVdfNode& Root);

// The same for a file. False, with Root empty, when the file is missing, cannot be read, holds more
// than MaxVdfFileSize bytes or is broken.
bool ReadVdfFile(const AnsiString& FileName, TVdfNode& Root);

// A library that libraryfolders.vdf lists, as a number key of its top block gives it, in either form:
// "1" "D:\\Library" (Steam before 2021, and Proton), or
// "1" { "path" "D:\\Library" ... "apps" { "<app id>" "<bytes>" ... } }. Other keys
// ("contentstatsid", "TimeNextStatsReport") are no libraries.
struct TSteamLibraryEntry {
    AnsiString Path;                 // as written: UTF-8, a Windows or a Linux path
    bool ListsApps = false;          // an apps block says which apps are installed in it
    std::vector<AnsiString> AppIds;  // and these are they

    // Whether the app may be installed there: the library lists it, or lists no apps at all.
    bool MayHold(const AnsiString& AppId) const;
};

// The libraries of a libraryfolders.vdf's tree, in file order.
std::vector<TSteamLibraryEntry> SteamLibraryEntries(const TVdfNode& Root);
