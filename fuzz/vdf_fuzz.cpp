// Fuzzes the reader of Steam's text files on bytes in memory. Beyond crashes and sanitizer reports it
// checks that a broken text gives an empty tree, that no tree is deeper than the limit, and that a
// tree written back out with every backslash and quote escaped reads back as the same tree.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "VdfFiles.h"

namespace {

std::string Quoted(const std::string& Text)
{
    std::string Out = "\"";
    for (const char C : Text) {
        if (C == '\\' || C == '"') Out += '\\';
        Out += C;
    }
    return Out + "\"";
}

// The keys of a block, written as Steam writes them.
std::string Written(const TVdfNode& Block)
{
    std::string Out;
    for (const TVdfNode& Child : Block.Children)
        Out += Quoted(Child.Key) + (Child.Block ? "\n{\n" + Written(Child) + "}\n" : "\t" + Quoted(Child.Value) + "\n");
    return Out;
}

bool Same(const TVdfNode& A, const TVdfNode& B)
{
    if (A.Key != B.Key || A.Value != B.Value || A.Block != B.Block || A.Children.size() != B.Children.size())
        return false;
    for (std::size_t I = 0; I < A.Children.size(); ++I)
        if (!Same(A.Children[I], B.Children[I])) return false;
    return true;
}

std::size_t Depth(const TVdfNode& Node)
{
    std::size_t Deepest = 0;
    for (const TVdfNode& Child : Node.Children)
        if (Child.Block) Deepest = std::max(Deepest, Depth(Child));
    return Deepest + 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    TVdfNode Root;
    if (!ParseVdf(reinterpret_cast<const char*>(Data), Size, Root)) {
        if (!Root.Children.empty() || !Root.Key.empty() || !Root.Value.empty()) std::abort();
        return 0;
    }
    if (Depth(Root) > MaxVdfDepth) std::abort();
    const std::string Text = Written(Root);
    TVdfNode Again;
    if (!ParseVdf(Text.data(), Text.size(), Again) || !Same(Root, Again)) std::abort();
    return 0;
}
