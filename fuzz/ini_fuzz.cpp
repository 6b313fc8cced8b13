// Fuzzes the INI reader on bytes in memory. Beyond crashes and sanitizer reports it checks that an
// answer does not depend on the size of the reader's chunks, nor on the lookups made before it on the
// same reader, and that a value is never longer than the cap or holds a NUL byte.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "IniFiles.h"

namespace {

struct TLookup {
    std::string Section;
    std::string Ident;
};

struct TAnswer {
    bool Found = false;
    std::string Value;
    bool operator==(const TAnswer& Other) const { return Found == Other.Found && Value == Other.Value; }
};

TAnswer Ask(TIniReader& Reader, const TLookup& Lookup)
{
    TAnswer Answer;
    Answer.Found = Reader.Find(Lookup.Section, Lookup.Ident, Answer.Value);
    if (Answer.Value.size() > TIniReader::MaxValueLength || Answer.Value.find('\0') != std::string::npos) std::abort();
    return Answer;
}

// The first section header and the first key of the text, so that lookups also hit what the input names.
TLookup NamedIn(const std::string& Text)
{
    TLookup Lookup;
    const std::size_t Open = Text.find('[');
    if (Open != std::string::npos) Lookup.Section = Text.substr(Open + 1, Text.find(']', Open) - Open - 1);
    const std::size_t Equals = Text.find('=');
    if (Equals != std::string::npos) {
        const std::size_t LineStart = Text.find_last_of("\r\n", Equals);
        const std::size_t First = LineStart == std::string::npos ? 0 : LineStart + 1;
        Lookup.Ident = Text.substr(First, Equals - First);
    }
    return Lookup;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    if (Size == 0) return 0;
    // A small first chunk for the second reader, varying with the input, so that lines straddle reads
    // everywhere; the input itself stays whole, so seeds keep their first bytes (a BOM).
    const std::size_t SmallChunk = 2 + (Size + Data[Size - 1]) % 31;
    const std::string Text(reinterpret_cast<const char*>(Data), Size);

    const std::vector<TLookup> Lookups = {
        {"General", "Name"}, {"general", "CRATEMINIMUM"}, {"Ore", "Growth"}, {" Infantry ", "Cost"},
        NamedIn(Text),       {"General", "Name"},
    };

    TIniMemorySource Shared(Text.data(), Text.size());
    TIniReader SharedReader(Shared, SmallChunk);
    for (const TLookup& Lookup : Lookups) {
        TIniMemorySource Fresh(Text.data(), Text.size());
        TIniReader FreshReader(Fresh);
        if (!(Ask(FreshReader, Lookup) == Ask(SharedReader, Lookup))) std::abort();
    }
    return 0;
}
