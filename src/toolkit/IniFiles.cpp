#include "IniFiles.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include "SysUtils.h"
#endif

namespace {

const std::size_t MaxChunk = 1 << 20;

bool IsBlank(char C)
{
    return C == ' ' || C == '\t';
}

void TrimBlanks(const char*& First, const char*& Last)
{
    while (First != Last && IsBlank(*First)) ++First;
    while (Last != First && IsBlank(Last[-1])) --Last;
}

void LowerCase(AnsiString& Text, std::size_t From)
{
    for (std::size_t I = From; I < Text.size(); ++I)
        if (Text[I] >= 'A' && Text[I] <= 'Z') Text[I] = static_cast<char>(Text[I] - 'A' + 'a');
}

// Names are kept and looked up trimmed and in ASCII lower case.
AnsiString NameOf(const char* First, const char* Last)
{
    TrimBlanks(First, Last);
    AnsiString Name(First, Last);
    LowerCase(Name, 0);
    return Name;
}

AnsiString NameOf(const AnsiString& Text)
{
    return NameOf(Text.data(), Text.data() + Text.size());
}

// Narrows the text after '=' to the value handed out: trimmed, without one pair of outer quotes, capped,
// and cut at a NUL byte.
void NarrowToValue(const char*& First, const char*& Last)
{
    TrimBlanks(First, Last);
    if (Last - First >= 2 && (*First == '"' || *First == '\'') && Last[-1] == *First) {
        ++First;
        --Last;
    }
    std::size_t Length = std::min<std::size_t>(Last - First, TIniReader::MaxValueLength);
    if (const void* Nul = std::memchr(First, 0, Length)) Length = static_cast<const char*>(Nul) - First;
    Last = First + Length;
}

}  // namespace

std::size_t TIniMemorySource::Read(char* Buffer, std::size_t Count)
{
    Count = std::min(Count, Size - Position);
    std::memcpy(Buffer, Data + Position, Count);
    Position += Count;
    return Count;
}

TIniReader::TIniReader(TIniByteSource& Source, std::size_t FirstChunk)
    : Source(Source), ChunkSize(std::max<std::size_t>(FirstChunk, 2))
{
}

bool TIniReader::Find(const AnsiString& Section, const AnsiString& Ident, AnsiString& Value)
{
    const AnsiString SectionName = NameOf(Section);
    auto Found = Sections.find(SectionName);
    // A section is complete once the next header (or the end of the text) has been reached.
    while (!Ended && (Found == Sections.end() || &Found->second == Current))
        if (ParseNextLine()) Found = Sections.find(SectionName);
    if (Found == Sections.end()) return false;

    return Found->second.Find(NameOf(Ident), Value);
}

// Handles one line; true when it was a section header.
bool TIniReader::ParseNextLine()
{
    const char* Line;
    std::size_t Length;
    if (!NextLine(Line, Length)) {
        Ended = true;
        Current = nullptr;
        std::vector<char>().swap(Buffer);
        return false;
    }
    const char* First = Line;
    const char* Last = Line + Length;
    while (First != Last && IsBlank(*First)) ++First;
    if (First == Last || *First == ';') return false;

    if (*First == '[') {
        // The name ends at the first ']'; without one it is the rest of the line.
        auto Added = Sections.emplace(NameOf(First + 1, std::find(First + 1, Last, ']')), TSection());
        Current = Added.second ? &Added.first->second : nullptr;
        return true;
    }
    if (Current) {
        const char* Equals = std::find(First, Last, '=');
        if (Equals != Last) Current->Add(First, Equals, Last);
    }
    return false;
}

void TIniReader::TSection::Add(const char* First, const char* Equals, const char* Last)
{
    const char* NameLast = Equals;
    TrimBlanks(First, NameLast);
    const char* ValueFirst = Equals + 1;
    NarrowToValue(ValueFirst, Last);
    TKey Key;
    Key.NameStart = Text.size();
    Text.append(First, NameLast);
    LowerCase(Text, Key.NameStart);
    Key.ValueStart = Text.size();
    Text.append(ValueFirst, Last);
    Key.ValueEnd = Text.size();
    Keys.push_back(Key);
}

bool TIniReader::TSection::Find(const AnsiString& Name, AnsiString& Value) const
{
    for (const TKey& Key : Keys) {
        if (Text.compare(Key.NameStart, Key.ValueStart - Key.NameStart, Name) == 0) {
            Value.assign(Text, Key.ValueStart, Key.ValueEnd - Key.ValueStart);
            return true;
        }
    }
    return false;
}

// The next line without its line break. A CRLF reads as a line break followed by an empty line, which
// the parser skips like any blank line; so a CR at the end of one chunk and an LF at the start of the
// next need no special care.
bool TIniReader::NextLine(const char*& Line, std::size_t& Length)
{
    for (;;) {
        const char* Data = Buffer.data();
        for (std::size_t I = Scanned; I < End; ++I) {
            if (Data[I] == '\n' || Data[I] == '\r') {
                Line = Data + LineStart;
                Length = I - LineStart;
                LineStart = Scanned = I + 1;
                return true;
            }
        }
        Scanned = End;
        if (!Fill()) break;
    }
    if (LineStart == End) return false;
    // The last line needs no line break.
    Line = Buffer.data() + LineStart;
    Length = End - LineStart;
    LineStart = Scanned = End;
    return true;
}

// Reads the next chunk after the unfinished line, which moves to the front of the buffer.
bool TIniReader::Fill()
{
    if (SourceEnded) return false;
    if (LineStart > 0) {
        std::memmove(Buffer.data(), Buffer.data() + LineStart, End - LineStart);
        End -= LineStart;
        Scanned -= LineStart;
        LineStart = 0;
    }
    if (Buffer.size() < End + ChunkSize) Buffer.resize(End + ChunkSize);
    const std::size_t Count = ReadChunk(Buffer.data() + End, ChunkSize);
    if (Count == 0) {
        SourceEnded = true;
        return false;
    }
    End += Count;
    ChunkSize = std::min(ChunkSize * 2, MaxChunk);
    return true;
}

// Up to Size bytes of text, 0 only at its end. The first bytes tell whether the file is UTF-16LE.
std::size_t TIniReader::ReadChunk(char* Dest, std::size_t Size)
{
    if (!Started) {
        Started = true;
        const std::size_t Count = ReadFully(Dest, Size);
        Utf16 = Count >= 2 && Dest[0] == '\xFF' && Dest[1] == '\xFE';
        if (!Utf16)
            return Count;
        Raw.assign(Dest + 2, Count - 2);
    }
    if (!Utf16)
        return ReadFully(Dest, Size);
    // UTF-8 is up to half as long again as UTF-16: decode into a queue and hand out Size bytes of it.
    while (Decoded.size() < Size && !RawEnded) {
        const std::size_t Held = Raw.size();
        Raw.resize(Held + Size);
        const std::size_t Got = ReadFully(&Raw[Held], Size);
        Raw.resize(Held + Got);
        RawEnded = Got == 0;
        DecodeUtf16();
    }
    const std::size_t Count = std::min(Size, Decoded.size());
    std::memcpy(Dest, Decoded.data(), Count);
    Decoded.erase(0, Count);
    return Count;
}

std::size_t TIniReader::ReadFully(char* Dest, std::size_t Size)
{
    std::size_t Count = 0;
    while (Count < Size) {
        const std::size_t Got = Source.Read(Dest + Count, Size - Count);
        if (Got == 0) break;
        Count += Got;
    }
    return Count;
}

// The whole code units held in Raw, as UTF-8. A surrogate pair becomes its character, a lone
// surrogate U+FFFD. Half a code unit, or a first surrogate at the end of Raw, waits for more bytes
// unless the source has ended; an odd last byte is dropped.
void TIniReader::DecodeUtf16()
{
    auto UnitAt = [this](std::size_t I) {
        return static_cast<unsigned>(static_cast<unsigned char>(Raw[I]) | static_cast<unsigned char>(Raw[I + 1]) << 8);
    };
    auto Append = [this](unsigned Code) {
        if (Code < 0x80) {
            Decoded += static_cast<char>(Code);
        } else if (Code < 0x800) {
            Decoded += static_cast<char>(0xC0 | Code >> 6);
            Decoded += static_cast<char>(0x80 | (Code & 0x3F));
        } else if (Code < 0x10000) {
            Decoded += static_cast<char>(0xE0 | Code >> 12);
            Decoded += static_cast<char>(0x80 | (Code >> 6 & 0x3F));
            Decoded += static_cast<char>(0x80 | (Code & 0x3F));
        } else {
            Decoded += static_cast<char>(0xF0 | Code >> 18);
            Decoded += static_cast<char>(0x80 | (Code >> 12 & 0x3F));
            Decoded += static_cast<char>(0x80 | (Code >> 6 & 0x3F));
            Decoded += static_cast<char>(0x80 | (Code & 0x3F));
        }
    };
    std::size_t I = 0;
    for (; I + 2 <= Raw.size(); I += 2) {
        const unsigned Unit = UnitAt(I);
        if (Unit >= 0xD800 && Unit < 0xDC00) {
            if (I + 4 > Raw.size() && !RawEnded)
                break;
            const unsigned Next = I + 4 <= Raw.size() ? UnitAt(I + 2) : 0;
            if (Next >= 0xDC00 && Next < 0xE000) {
                Append(0x10000 + ((Unit - 0xD800) << 10) + (Next - 0xDC00));
                I += 2;
                continue;
            }
        }
        Append(Unit >= 0xD800 && Unit < 0xE000 ? 0xFFFD : Unit);
    }
    Raw.erase(0, RawEnded ? Raw.size() : I);
}

// The file behind a TIniFile. It is opened on the first read and closed after each lookup, so that a
// TIniFile never keeps other programs from replacing or deleting the file; a later read reopens it and
// carries on where the last one stopped.
class TIniFileSource : public TIniByteSource {
public:
    explicit TIniFileSource(const AnsiString& FileName) : FileName(FileName) {}
    ~TIniFileSource() override { Close(); }

    std::size_t Read(char* Buffer, std::size_t Size) override
    {
        if (AtEnd || !Open()) return 0;
        const std::size_t Count = std::fread(Buffer, 1, Size, File);
        Offset += Count;
        AtEnd = Count < Size;
        return Count;
    }

    void Close()
    {
        if (File) std::fclose(File);
        File = nullptr;
    }

private:
    bool Open()
    {
        if (File) return true;
#ifdef _WIN32
        // The wide call takes paths beyond MAX_PATH.
        File = _wfopen(WideText(FileName).c_str(), L"rb");
#else
        File = std::fopen(FileName.c_str(), "rb");
#endif
        if (File) {
            // Reads go straight to the file: chunks are large, and a stream buffer would only add a copy.
            std::setvbuf(File, nullptr, _IONBF, 0);
            if (Offset == 0 || (Offset <= LONG_MAX && std::fseek(File, static_cast<long>(Offset), SEEK_SET) == 0))
                return true;
            Close();
        }
        AtEnd = true;
        return false;
    }

    const AnsiString FileName;
    std::FILE* File = nullptr;
    std::size_t Offset = 0;
    bool AtEnd = false;
};

TIniFile::TIniFile(const AnsiString& FileName)
    : Source(std::make_unique<TIniFileSource>(FileName)), Reader(*Source)
{
}

TIniFile::~TIniFile() = default;

AnsiString TIniFile::ReadString(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Default)
{
    AnsiString Value;
    const bool Found = Reader.Find(Section, Ident, Value);
    Source->Close();
    return Found ? Value : Default;
}
