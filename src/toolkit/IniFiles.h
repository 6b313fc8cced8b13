// Reading INI files the way the Windows profile reader does, without reading more than a lookup needs.
//
// Dialect: lines end at CR, LF or CRLF. A line whose first non-blank character is ';' is a comment,
// one starting with '[' is a section header (the name ends at the first ']', or at the end of the line),
// any other line is a key if it has an '=' (split at the first one). Names and values are trimmed of
// spaces and tabs; names match regardless of ASCII letter case. One pair of matching outer quotes is
// taken off a value, a value is cut at 65,535 characters and at a NUL byte. Only the first section of a
// name counts, and in it the first key of a name. A UTF-16LE file (FF FE) is read as UTF-8; the bytes
// of any other file are handed out as they stand.
// Plain portable C++: the reader also builds on Linux for fuzzing.
#pragma once
#include <cstddef>
#include <memory>
#include <unordered_map>
#include <vector>

#include "AnsiString.h"

// Where a reader's bytes come from.
class TIniByteSource {
public:
    virtual ~TIniByteSource() = default;
    // Copies up to Size bytes into Buffer and returns how many; 0 once the data has ended or fails.
    virtual std::size_t Read(char* Buffer, std::size_t Size) = 0;
};

// Bytes already in memory. They are not copied and must outlive the source.
class TIniMemorySource : public TIniByteSource {
public:
    TIniMemorySource(const char* Data, std::size_t Size) : Data(Data), Size(Size) {}
    std::size_t Read(char* Buffer, std::size_t Count) override;

private:
    const char* Data;
    std::size_t Size;
    std::size_t Position = 0;
};

// Parses an INI text while reading it in growing chunks, and keeps the sections it has passed, so that
// no byte is read twice. A lookup reads on only until the section it wants has ended.
class TIniReader {
public:
    static constexpr std::size_t DefaultFirstChunk = 4096;
    static constexpr std::size_t MaxValueLength = 65535;

    // FirstChunk (at least 2) is the size of the first read; later reads double it, up to 1 MiB.
    explicit TIniReader(TIniByteSource& Source, std::size_t FirstChunk = DefaultFirstChunk);

    // Looks Ident up in the first section named Section. False when the section or key is missing.
    bool Find(const AnsiString& Section, const AnsiString& Ident, AnsiString& Value);

private:
    // The keys of a section in file order: their lower-case names and values back to back in one text.
    struct TSection {
        struct TKey {
            std::size_t NameStart, ValueStart, ValueEnd;
        };
        AnsiString Text;
        std::vector<TKey> Keys;
        void Add(const char* First, const char* Equals, const char* Last);
        bool Find(const AnsiString& Name, AnsiString& Value) const;
    };

    bool ParseNextLine();
    bool NextLine(const char*& Line, std::size_t& Length);
    bool Fill();
    std::size_t ReadChunk(char* Dest, std::size_t Size);
    std::size_t ReadFully(char* Dest, std::size_t Size);
    void DecodeUtf16();

    TIniByteSource& Source;
    std::vector<char> Buffer;
    std::size_t LineStart = 0;  // start of the first line not yet handed out
    std::size_t Scanned = 0;    // bytes searched for a line break so far
    std::size_t End = 0;        // bytes held
    std::size_t ChunkSize;
    bool Started = false;
    bool SourceEnded = false;
    bool Ended = false;
    bool Utf16 = false;
    bool RawEnded = false;  // UTF-16: the source has ended
    AnsiString Raw;         // UTF-16: bytes read, not yet decoded
    AnsiString Decoded;     // UTF-16: the text decoded, not yet handed out
    std::unordered_map<AnsiString, TSection> Sections;  // by lower-case name; the first section of each name
    TSection* Current = nullptr;                         // the section being read, if it counts
};

class TIniFileSource;

// An INI file on disk, read lazily; the file is open only during a lookup that has to read it.
class TIniFile {
public:
    explicit TIniFile(const AnsiString& FileName);
    ~TIniFile();
    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    // The stored value (possibly empty), or Default when the file, the section or the key is missing.
    AnsiString ReadString(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Default);

private:
    std::unique_ptr<TIniFileSource> Source;
    TIniReader Reader;
};
