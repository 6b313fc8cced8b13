#include "VdfFiles.h"

#include <algorithm>
#include <cstdio>

#ifdef _WIN32
#include "SysUtils.h"
#endif

namespace {

class TVdfParser {
public:
    TVdfParser(const char* Text, std::size_t Size) : Next(Text), End(Text + Size) {}

    // The keys of a block up to its closing brace (Depth > 0) or up to the end of the text (Depth 0).
    bool ParseBlock(TVdfNode& Block, std::size_t Depth)
    {
        Block.Block = true;
        for (;;) {
            SkipBlanksAndComments();
            if (Next == End) return Depth == 0;
            if (*Next == '}') {
                ++Next;
                return Depth > 0;
            }
            TVdfNode Child;
            if (!ParseText(Child.Key)) return false;
            SkipBlanksAndComments();
            if (Next != End && *Next == '{') {
                ++Next;
                if (Depth + 1 >= MaxVdfDepth || !ParseBlock(Child, Depth + 1)) return false;
            } else if (!ParseText(Child.Value)) {
                return false;
            }
            Block.Children.push_back(std::move(Child));
        }
    }

private:
    void SkipBlanksAndComments()
    {
        while (Next != End) {
            if (*Next == ' ' || *Next == '\t' || *Next == '\r' || *Next == '\n') {
                ++Next;
            } else if (*Next == '/' && End - Next > 1 && Next[1] == '/') {
                while (Next != End && *Next != '\n') ++Next;
            } else {
                return;
            }
        }
    }

    bool ParseText(AnsiString& Text)
    {
        if (Next == End || *Next != '"') return false;
        for (++Next; Next != End; ++Next) {
            if (*Next == '"') {
                ++Next;
                return true;
            }
            if (*Next == '\\' && End - Next > 1 && (Next[1] == '\\' || Next[1] == '"')) ++Next;
            Text += *Next;
        }
        return false;
    }

    const char* Next;
    const char* End;
};

}  // namespace

const TVdfNode* TVdfNode::Find(const AnsiString& Name) const
{
    for (const TVdfNode& Child : Children)
        if (SameText(Child.Key, Name)) return &Child;
    return nullptr;
}

AnsiString TVdfNode::Text(const AnsiString& Name) const
{
    const TVdfNode* Child = Find(Name);
    return Child && !Child->Block ? Child->Value : AnsiString();
}

std::optional<std::uint32_t> TVdfNode::Number(const AnsiString& Name) const
{
    const AnsiString Digits = Text(Name);
    if (Digits.empty() || Digits.find_first_not_of("0123456789") != AnsiString::npos) return std::nullopt;
    std::uint64_t Value = 0;
    for (const char Digit : Digits)
        if ((Value = Value * 10 + static_cast<unsigned>(Digit - '0')) > UINT32_MAX) return std::nullopt;
    return static_cast<std::uint32_t>(Value);
}

bool TSteamLibraryEntry::MayHold(const AnsiString& AppId) const
{
    return !ListsApps || std::find(AppIds.begin(), AppIds.end(), AppId) != AppIds.end();
}

std::vector<TSteamLibraryEntry> SteamLibraryEntries(const TVdfNode& Root)
{
    std::vector<TSteamLibraryEntry> Entries;
    const TVdfNode* List = Root.Find("libraryfolders");
    if (!List || !List->Block) return Entries;
    for (const TVdfNode& Entry : List->Children) {
        if (Entry.Key.empty() || Entry.Key.find_first_not_of("0123456789") != AnsiString::npos) continue;
        TSteamLibraryEntry Library;
        Library.Path = Entry.Block ? Entry.Text("path") : Entry.Value;
        const TVdfNode* Apps = Entry.Find("apps");
        Library.ListsApps = Apps && Apps->Block;
        if (Library.ListsApps)
            for (const TVdfNode& App : Apps->Children) Library.AppIds.push_back(App.Key);
        Entries.push_back(std::move(Library));
    }
    return Entries;
}

bool ParseVdf(const char* Text, std::size_t Size, TVdfNode& Root)
{
    Root = TVdfNode();
    TVdfParser Parser(Text, Size);
    if (Parser.ParseBlock(Root, 0)) return true;
    Root = TVdfNode();
    return false;
}

bool ReadVdfFile(const AnsiString& FileName, TVdfNode& Root)
{
    Root = TVdfNode();
#ifdef _WIN32
    // The wide call takes paths beyond MAX_PATH.
    std::FILE* File = _wfopen(WideText(FileName).c_str(), L"rb");
#else
    std::FILE* File = std::fopen(FileName.c_str(), "rb");
#endif
    if (!File) return false;
    // Read on only until the file is known to be too large.
    AnsiString Bytes;
    char Chunk[16384];
    std::size_t Count;
    while (Bytes.size() <= MaxVdfFileSize && (Count = std::fread(Chunk, 1, sizeof Chunk, File)) > 0)
        Bytes.append(Chunk, Count);
    const bool Failed = std::ferror(File) != 0;
    std::fclose(File);
    return !Failed && Bytes.size() <= MaxVdfFileSize && ParseVdf(Bytes.data(), Bytes.size(), Root);
}
