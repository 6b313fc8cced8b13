#include "TestSupport.h"

#include <stdexcept>

namespace TestSupport {

StubGame::StubGame(const std::string& folder, const std::string& exeName)
{
    std::string dir = folder.empty() || folder.back() == '\\' ? folder : folder + "\\";
    MakeFolders(dir.substr(0, dir.size() - 1));
    FPath = dir + exeName;
    if (!CopyFileA(SourcePath().c_str(), FPath.c_str(), FALSE))
        throw std::runtime_error("cannot copy " + SourcePath() + " to " + FPath + ": " + ErrorText(GetLastError()));
}

std::string StubGame::LogPath() const
{
    size_t slash = FPath.rfind('\\');
    size_t dot = FPath.rfind('.');
    return (dot != std::string::npos && dot > slash ? FPath.substr(0, dot) : FPath) + ".log";
}

// At most `limit` parts: the last one keeps any further separators.
static std::vector<std::string> Split(const std::string& text, char separator, size_t limit = std::string::npos)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t end; parts.size() + 1 < limit && (end = text.find(separator, start)) != std::string::npos;
         start = end + 1)
        parts.push_back(text.substr(start, end - start));
    parts.push_back(text.substr(start));
    return parts;
}

std::vector<TStubRecord> StubGame::Records() const
{
    if (GetFileAttributesA(LogPath().c_str()) == INVALID_FILE_ATTRIBUTES)
        return {};
    std::string log = ReadWholeFile(LogPath());
    log.erase(log.rfind('\n') + 1);  // a line still being written is not a record yet
    std::vector<TStubRecord> records;
    for (std::string line : Split(log, '\n')) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> fields = Split(line, '\t', 6);  // the rules file's first line may hold tabs
        if (fields.size() != 6 || fields[0] != "start")
            continue;
        TStubRecord record;
        record.CommandLine = fields[1];
        record.CurrentFolder = fields[2];
        record.RulesExists = fields[3] == "1";
        record.RulesSize = std::stoll(fields[4]);
        record.RulesFirstLine = fields[5];
        records.push_back(record);
    }
    return records;
}

std::vector<TStubRecord> StubGame::WaitForRecords(size_t count, DWORD timeoutMs) const
{
    DWORD start = GetTickCount();
    std::vector<TStubRecord> records = Records();
    while (records.size() < count && GetTickCount() - start < timeoutMs) {
        Sleep(20);
        records = Records();
    }
    return records;
}

}  // namespace TestSupport
