// The INI reader: its dialect checked against the system's profile reader on real files, the inputs
// that reader never sees in tidy rules files, and how far into a file a lookup reads.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "IniFiles.h"
#include "TestSupport.h"

namespace {

using TestSupport::TempDir;

const char* const NotFound = "<not found>";

// A literal with its NUL bytes.
template <std::size_t N>
std::string Bytes(const char (&Text)[N])
{
    return std::string(Text, N - 1);
}

std::string SystemRead(const std::string& Path, const char* Section, const char* Ident)
{
    std::vector<char> Buffer(70000);
    const DWORD Length = GetPrivateProfileStringA(Section, Ident, NotFound, Buffer.data(),
                                                  static_cast<DWORD>(Buffer.size()), Path.c_str());
    return std::string(Buffer.data(), Length);
}

std::string FileRead(const std::string& Path, const char* Section, const char* Ident)
{
    TIniFile Ini(Path);
    return Ini.ReadString(Section, Ident, NotFound);
}

std::string MemoryRead(const std::string& Text, const char* Section, const char* Ident,
                       std::size_t FirstChunk = TIniReader::DefaultFirstChunk)
{
    TIniMemorySource Source(Text.data(), Text.size());
    TIniReader Reader(Source, FirstChunk);
    std::string Value;
    return Reader.Find(Section, Ident, Value) ? Value : NotFound;
}

// A comment line that, with its CRLF, fills the text up to Offset.
std::string PaddingTo(std::size_t Offset)
{
    return ";" + std::string(Offset - 3, 'p') + "\r\n";
}

// A CRLF whose CR is the last byte of the first 4096-byte chunk and whose LF starts the next.
std::string CrlfAcrossFirstChunk()
{
    return "[General]\r\n;" + std::string(4095 - 12, 'a') + "\r\nName=x\r\n";
}

// Little-endian UTF-16 with a BOM, from code units.
std::string Utf16File(const std::u16string& Units)
{
    std::string File = "\xFF\xFE";
    for (char16_t Unit : Units) {
        File += static_cast<char>(Unit & 0xFF);
        File += static_cast<char>(Unit >> 8);
    }
    return File;
}

struct TCase {
    const char* Name;
    std::string Text;
    const char* Section;
    const char* Ident;
    std::string Expected;
};

void ExpectOnFiles(const std::vector<TCase>& Cases, bool CompareWithSystem)
{
    TempDir Dir;
    int Number = 0;
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        // A new name for each file: the system reader caches files it has read.
        const std::string Path = Dir.Write("case" + std::to_string(++Number) + ".ini", Case.Text);
        EXPECT_EQ(FileRead(Path, Case.Section, Case.Ident), Case.Expected);
        if (CompareWithSystem) {
            EXPECT_EQ(SystemRead(Path, Case.Section, Case.Ident), Case.Expected);
        }
    }
}

// Counts what the reader takes from its source.
class TCountingSource : public TIniByteSource {
public:
    explicit TCountingSource(const std::string& Text) : Inner(Text.data(), Text.size()) {}
    std::size_t Read(char* Buffer, std::size_t Size) override
    {
        ++Reads;
        const std::size_t Count = Inner.Read(Buffer, Size);
        BytesRead += Count;
        return Count;
    }
    TIniMemorySource Inner;
    int Reads = 0;
    std::size_t BytesRead = 0;
};

// Many small sections, as in the rest of a rules file.
std::string Filler(std::size_t Size)
{
    std::string Text;
    for (int I = 0; Text.size() < Size; ++I)
        Text += "[Unit" + std::to_string(I) + "]\r\nStrength=100\r\nCost=700\r\n";
    return Text;
}

}  // namespace

// Each case holds for Windows' reader, and Wine's reader agrees.
TEST(IniDialect, MatchesTheSystemReader)
{
    ExpectOnFiles({
        {"plain", "[General]\r\nName=Classic Rules\r\n", "General", "Name", "Classic Rules"},
        {"section case", "[GENERAL]\r\nName=x\r\n", "general", "Name", "x"},
        {"key case", "[General]\r\nCRATEminimum=5\r\n", "General", "crateMinimum", "5"},
        {"blanks trimmed", "[General]\r\n \t Name \t=\t  spaced  value \t\r\n", "General", "Name", "spaced  value"},
        {"indented header", "  \t[General]\r\nName=x\r\n", "General", "Name", "x"},
        {"padded section name", "[ General\t]\r\nName=x\r\n", "General", "Name", "x"},
        {"text after header", "[General] ; rules\r\nName=x\r\n", "General", "Name", "x"},
        {"blank key name", "[General]\r\nCrate Minimum = 5\r\n", "General", "Crate Minimum", "5"},
        {"double quotes", "[General]\r\nName=\"quoted value\"\r\n", "General", "Name", "quoted value"},
        {"single quotes", "[General]\r\nName='x'\r\n", "General", "Name", "x"},
        {"blanks inside quotes", "[General]\r\nName=  \" x \"  \r\n", "General", "Name", " x "},
        {"one pair only", "[General]\r\nName=\"\"x\"\"\r\n", "General", "Name", "\"x\""},
        {"empty quotes", "[General]\r\nName=\"\"\r\n", "General", "Name", ""},
        {"mismatched quotes", "[General]\r\nName=\"x'\r\n", "General", "Name", "\"x'"},
        {"lone quote", "[General]\r\nName=\"\r\n", "General", "Name", "\""},
        {"inner quotes", "[General]\r\nName=a \"b\"\r\n", "General", "Name", "a \"b\""},
        {"comment", "[General]\r\n;Name=hidden\r\nName=shown\r\n", "General", "Name", "shown"},
        {"indented comment", "[General]\r\n \t;Name=hidden\r\nName=shown\r\n", "General", "Name", "shown"},
        {"hash is text", "[General]\r\n#Name=x\r\n", "General", "#Name", "x"},
        {"inline semicolon", "[General]\r\nName=x ; note\r\n", "General", "Name", "x ; note"},
        {"split at first =", "[General]\r\nName=a=b\r\n", "General", "Name", "a=b"},
        {"first section wins", "[General]\r\nName=first\r\n[Ore]\r\n[general]\r\nName=second\r\nMarker=1\r\n",
         "General", "Name", "first"},
        {"later section ignored", "[General]\r\nName=first\r\n[general]\r\nMarker=1\r\n", "General", "Marker",
         NotFound},
        {"first key wins", "[General]\r\nName=first\r\nNAME=second\r\n", "General", "Name", "first"},
        {"empty value", "[General]\r\nName=\r\n", "General", "Name", ""},
        {"blank value", "[General]\r\nName = \t\r\n", "General", "Name", ""},
        {"no =", "[General]\r\nName\r\n", "General", "Name", NotFound},
        {"LF", "[General]\nA=1\nName=lf\n", "General", "Name", "lf"},
        {"CR", "[General]\rA=1\rName=cr\r", "General", "Name", "cr"},
        {"CRCRLF", "[General]\r\r\nName=x\r\r\n", "General", "Name", "x"},
        {"no final line break", "[General]\r\nName=last", "General", "Name", "last"},
        {"blank lines", "\r\n \t \r\n[General]\r\n\r\n\t\r\nName=x\r\n", "General", "Name", "x"},
        {"value with tab", "[General]\r\nName=a\tb\r\n", "General", "Name", "a\tb"},
        {"value with NUL", Bytes("[General]\r\nName=ab\0cd\r\n"), "General", "Name", "ab"},
        {"missing section", "[Ore]\r\nName=x\r\n", "General", "Name", NotFound},
        {"missing key", "[General]\r\nName=x\r\n", "General", "Marker", NotFound},
        {"key in the next section", "[General]\r\nA=1\r\n[Ore]\r\nName=x\r\n", "General", "Name", NotFound},
        {"key before any section", "Name=x\r\n[General]\r\nA=1\r\n", "General", "Name", NotFound},
        {"empty file", "", "General", "Name", NotFound},
        {"header across 4096", PaddingTo(4090) + "[General]\r\nName=x\r\n", "General", "Name", "x"},
        {"key across 4096", "[General]\r\n" + PaddingTo(4093 - 11) + "Name=across\r\n", "General", "Name", "across"},
        {"CR at 4095, LF at 4096", CrlfAcrossFirstChunk(), "General", "Name", "x"},
        // The system reader hands a Unicode file's text out in the process's code page, UTF-8 here.
        {"UTF-16LE", Utf16File(u"[General]\r\nName=Caf\u00E9 \u0100\u0085\u4E2D \U0001F600!\r\n"), "General",
         "Name", "Caf\xC3\xA9 \xC4\x80\xC2\x85\xE4\xB8\xAD \xF0\x9F\x98\x80!"},
    }, true);
}

// The test programs run in UTF-8, as Kesterly does. There the system reader turns the bytes of a
// file in another code page into U+FFFD; the reader hands them out as they stand, so that the scan
// can read them in the system's legacy code page.
TEST(IniDialect, KeepsBytesThatTheSystemReaderReplaces)
{
    ASSERT_EQ(GetACP(), 65001u);
    TempDir Dir;
    const std::string Path = Dir.Write("latin1.ini", "[General]\r\nName=R\xE8gles\r\n");
    EXPECT_EQ(FileRead(Path, "General", "Name"), "R\xE8gles");
    EXPECT_EQ(SystemRead(Path, "General", "Name"), "R\xEF\xBF\xBDgles");
}

TEST(IniDialect, MissingFileGivesTheDefault)
{
    TempDir Dir;
    for (const std::string& Path : {Dir / "absent.ini", Dir / "absent\\rules.ini"}) {
        EXPECT_EQ(FileRead(Path, "General", "Name"), NotFound);
        EXPECT_EQ(SystemRead(Path, "General", "Name"), NotFound);
    }
    TIniFile Ini(Dir / "absent.ini");
    EXPECT_EQ(Ini.ReadString("General", "Name", "fallback"), "fallback");
}

// Where Wine's reader differs from Windows', the reader follows Windows.
TEST(IniDialect, FollowsWindowsWhereWineDiffers)
{
    ExpectOnFiles({
        {"header without ]", "[General\r\nName=x\r\n", "General", "Name", "x"},
        {"name ends at first ]", "[Gen]eral]\r\nName=x\r\n", "Gen", "Name", "x"},
        {"second ] ignored", "[General] ]\r\nName=x\r\n", "General", "Name", "x"},
        {"[ without ] ends a section", "[General]\r\n[x=y\r\nName=x\r\n", "General", "Name", NotFound},
        {"UTF-8 BOM spoils the first header", "\xEF\xBB\xBF[General]\r\nName=x\r\n", "General", "Name", NotFound},
        {"UTF-8 BOM before a comment", "\xEF\xBB\xBF; rules\r\n[General]\r\nName=x\r\n", "General", "Name", "x"},
        {"value capped", "[General]\r\nName=" + std::string(70000, 'v') + "\r\n", "General", "Name",
         std::string(65535, 'v')},
        {"line without = hides nothing", "[General]\r\nName\r\nName=x\r\n", "General", "Name", "x"},
        {"comment is not a key", "[General]\r\n;Name=x\r\n", "General", ";Name", NotFound},
        {"only blanks and tabs trimmed", "[General]\r\nName=\vx\x1A\r\n", "General", "Name", "\vx\x1A"},
    }, false);
}

// Quotes come off the whole value before it is cut at a NUL byte.
TEST(IniEdges, NulInsideQuotes)
{
    EXPECT_EQ(MemoryRead(Bytes("[General]\nName=\"ab\0cd\"\n"), "General", "Name"), "ab");
}

TEST(IniEdges, BinaryData)
{
    std::string Junk;
    unsigned Seed = 12345;
    for (int I = 0; I < 200000; ++I) {
        Seed = Seed * 1103515245 + 12345;
        Junk += static_cast<char>(Seed >> 16);
    }
    ASSERT_NE(Junk.find('\0'), std::string::npos);
    EXPECT_EQ(MemoryRead(Junk, "General", "Name"), NotFound);
    EXPECT_EQ(MemoryRead(Junk + "\n[General]\nName=found\n" + Junk, "General", "Name"), "found");

    TempDir Dir;
    EXPECT_EQ(FileRead(Dir.Write("junk.ini", Junk), "General", "Name"), NotFound);
}

TEST(IniEdges, Utf16Bom)
{
    // A surrogate pair split across reads, and a lone surrogate, which stands for no character.
    const std::string Text =
        Utf16File(u"; rules\r\n[General]\r\nName=Caf\u00E9\r\nMarker=\u20AC1\U0001F600\r\nLone=a\xD800" u"b\xDC00\r\n");
    for (std::size_t FirstChunk : {2, 3, 5, 8, 4096}) {
        EXPECT_EQ(MemoryRead(Text, "General", "Name", FirstChunk), "Caf\xC3\xA9");
        EXPECT_EQ(MemoryRead(Text, "General", "Marker", FirstChunk), "\xE2\x82\xAC" "1\xF0\x9F\x98\x80");
        EXPECT_EQ(MemoryRead(Text, "General", "Lone", FirstChunk), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    }
    EXPECT_EQ(MemoryRead(Utf16File(u"[General]\r\nLast=x\xD83D"), "General", "Last"), "x\xEF\xBF\xBD");
    EXPECT_EQ(MemoryRead("\xFF\xFE", "General", "Name"), NotFound);
    EXPECT_EQ(MemoryRead("\xFF\xFE[", "General", "Name"), NotFound);
    EXPECT_EQ(MemoryRead("\xFF", "General", "Name"), NotFound);
}

TEST(IniEdges, TenMegabyteLine)
{
    const std::string Long(10 << 20, 'x');
    EXPECT_EQ(MemoryRead("[General]\n" + Long, "General", "Name"), NotFound);
    EXPECT_EQ(MemoryRead("[General]\n" + Long + "\nName=after", "General", "Name"), "after");
    EXPECT_EQ(MemoryRead("[General]\nName=" + Long, "General", "Name"), std::string(65535, 'x'));

    TempDir Dir;
    const std::string Path = Dir.Write("long.ini", "[General]\r\nName=" + Long + "\r\nMarker=1\r\n");
    TIniFile Ini(Path);
    EXPECT_EQ(Ini.ReadString("General", "Name", NotFound), std::string(65535, 'x'));
    EXPECT_EQ(Ini.ReadString("General", "Marker", NotFound), "1");
}

TEST(IniEdges, NoGeneralSection)
{
    EXPECT_EQ(MemoryRead("; rules\r\n[Ore]\r\nName=x\r\n" + Filler(100000), "General", "Name"), NotFound);
    EXPECT_EQ(MemoryRead("General\r\nName=x\r\n", "General", "Name"), NotFound);
}

TEST(IniEdges, DuplicateSectionsAndKeys)
{
    const std::string Text = "[General]\nName=one\nName=two\n[Ore]\nA=1\n[GENERAL]\nName=three\nMarker=m\n[ore]\nB=2\n";
    EXPECT_EQ(MemoryRead(Text, "General", "Name"), "one");
    EXPECT_EQ(MemoryRead(Text, "General", "Marker"), NotFound);
    EXPECT_EQ(MemoryRead(Text, "Ore", "A"), "1");
    EXPECT_EQ(MemoryRead(Text, "Ore", "B"), NotFound);
}

TEST(IniEdges, StoredValueThatLooksLikeTheDefault)
{
    const std::string Text = "[General]\nName=<not found>\n";
    TIniMemorySource Source(Text.data(), Text.size());
    TIniReader Reader(Source);
    std::string Value;
    EXPECT_TRUE(Reader.Find("General", "Name", Value));
    EXPECT_EQ(Value, NotFound);
}

TEST(IniEdges, LinesAcrossChunkBoundaries)
{
    // Every split of the header and the key lines between the first and the second chunk.
    for (std::size_t Offset = 4080; Offset <= 4100; ++Offset) {
        SCOPED_TRACE(Offset);
        EXPECT_EQ(MemoryRead(PaddingTo(Offset) + "[General]\r\nName=x\r\n", "General", "Name"), "x");
        EXPECT_EQ(MemoryRead("[General]\r\n" + PaddingTo(Offset - 11) + "Name=x\r\n", "General", "Name"), "x");
        EXPECT_EQ(MemoryRead("[General]\r\nA=1\r\n" + PaddingTo(Offset - 16) + "[Ore]\r\nName=x\r\n", "General", "Name"),
                  NotFound);
    }
    // The CR of a CRLF as the last byte of the first chunk.
    const std::string Text = CrlfAcrossFirstChunk();
    ASSERT_EQ(Text[4095], '\r');
    ASSERT_EQ(Text[4096], '\n');
    EXPECT_EQ(MemoryRead(Text, "General", "Name"), "x");

    // Small chunks split every line somewhere.
    const std::string Rules = "; rules\r\n[Ore]\r\nGrowth=2\r\n\r\n[General]\r\n  Name = \"Rules\" \r\nMarker=1\r\n[Ore]\r\n";
    for (std::size_t FirstChunk = 2; FirstChunk <= 12; ++FirstChunk) {
        EXPECT_EQ(MemoryRead(Rules, "General", "Name", FirstChunk), "Rules");
        EXPECT_EQ(MemoryRead(Rules, "Ore", "Growth", FirstChunk), "2");
    }
}

TEST(IniReading, StopsAtTheEndOfTheSection)
{
    const std::string Text = "[General]\r\nName=Rules\r\nMarker=1\r\n[Ore]\r\nGrowth=2\r\n" + Filler(8 << 20);
    TCountingSource Source(Text);
    TIniReader Reader(Source);
    std::string Value;
    ASSERT_TRUE(Reader.Find("General", "Name", Value));
    EXPECT_EQ(Value, "Rules");
    EXPECT_EQ(Source.Reads, 1);
    EXPECT_EQ(Source.BytesRead, 4096u);

    // The same section again, a key it lacks, and a section already passed: nothing more is read.
    ASSERT_TRUE(Reader.Find("general", "MARKER", Value));
    EXPECT_EQ(Value, "1");
    EXPECT_FALSE(Reader.Find("General", "Missing", Value));
    ASSERT_TRUE(Reader.Find("Ore", "Growth", Value));
    EXPECT_EQ(Source.Reads, 1);

    // A missing section takes the rest of the text, once.
    EXPECT_FALSE(Reader.Find("Infantry", "Cost", Value));
    EXPECT_EQ(Source.BytesRead, Text.size());
    const int Reads = Source.Reads;
    EXPECT_FALSE(Reader.Find("Aircraft", "Cost", Value));
    EXPECT_EQ(Source.Reads, Reads);
}

TEST(IniReading, LongSectionReadsInGrowingChunks)
{
    const std::string General = "[General]\r\nName=Rules\r\n" + std::string(100000, ';') + "\r\nMarker=1\r\n[Ore]\r\n";
    const std::string Text = General + Filler(4 << 20);
    TCountingSource Source(Text);
    TIniReader Reader(Source);
    std::string Value;
    ASSERT_TRUE(Reader.Find("General", "Marker", Value));
    EXPECT_GE(Source.BytesRead, General.size());
    EXPECT_LE(Source.BytesRead, 2 * General.size() + 4096);
    EXPECT_LE(Source.Reads, 7);
}

// The file is open only while a lookup reads it, and a section that has been read is kept.
TEST(IniReading, FileIsReleasedBetweenLookups)
{
    TempDir Dir;
    const std::string Path = Dir.Write("rules.ini", "[General]\r\nName=Rules\r\nMarker=1\r\n[Ore]\r\nGrowth=2\r\n");
    TIniFile Ini(Path);
    EXPECT_EQ(Ini.ReadString("General", "Name", NotFound), "Rules");
    ASSERT_TRUE(DeleteFileA(Path.c_str())) << TestSupport::ErrorText(GetLastError());
    EXPECT_EQ(Ini.ReadString("General", "Marker", NotFound), "1");
}

// A later section is read by reopening the file where the last lookup stopped.
TEST(IniReading, LaterSectionAfterReopening)
{
    TempDir Dir;
    const std::string Path =
        Dir.Write("rules.ini", "[General]\r\nName=Rules\r\n" + Filler(1 << 20) + "[Ore]\r\nGrowth=2\r\n[Tail]\r\n");
    TIniFile Ini(Path);
    EXPECT_EQ(Ini.ReadString("General", "Name", NotFound), "Rules");
    EXPECT_EQ(Ini.ReadString("Ore", "Growth", NotFound), "2");
    EXPECT_EQ(Ini.ReadString("Unit7", "Cost", NotFound), "700");
    EXPECT_EQ(Ini.ReadString("Tail", "Growth", NotFound), NotFound);
}
