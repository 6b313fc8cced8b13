#include "TestSupport.h"

#include <stdexcept>

#include "SysUtils.h"

// Files are reached through the wide calls, with the program's own conversion: names in any script,
// and paths beyond MAX_PATH.
namespace TestSupport {

std::string ExeFolder()
{
    char path[MAX_PATH];
    std::string exe(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    return exe.substr(0, exe.rfind('\\') + 1);
}

std::string WindowsPath(std::string path)
{
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string ErrorText(DWORD code)
{
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = std::to_string(code) + (text ? std::string(" ") + text : std::string());
    LocalFree(text);
    return result.substr(0, result.find_last_not_of("\r\n ") + 1);
}

void MakeFolders(const std::string& path)
{
    for (size_t end = path.find('\\', 3); ; end = path.find('\\', end + 1)) {
        std::string part = path.substr(0, end);
        DWORD attributes = GetFileAttributesW(WideText(part).c_str());
        bool isFolder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        if (!part.empty() && !isFolder && !CreateDirectoryW(WideText(part).c_str(), nullptr))
            throw std::runtime_error("cannot create " + part + ": " + ErrorText(GetLastError()));
        if (end == std::string::npos)
            return;
    }
}

std::string ReadWholeFile(const std::string& path)
{
    HANDLE file = CreateFileW(WideText(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open " + path + ": " + ErrorText(GetLastError()));
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    BOOL ok = bytes.empty() || ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    if (!ok)
        throw std::runtime_error("cannot read " + path);
    bytes.resize(read);
    return bytes;
}

static void DeleteTree(const std::string& folder)
{
    ForEachFile(folder + "*", [&folder](const TFoundFile& found) {
        if (found.Name == "." || found.Name == "..")
            return true;
        const std::string path = folder + found.Name;
        SetFileAttributesW(WideText(path).c_str(), FILE_ATTRIBUTE_NORMAL);
        if (found.Attributes & FILE_ATTRIBUTE_DIRECTORY)
            DeleteTree(path + "\\");
        else
            DeleteFileW(WideText(path).c_str());
        return true;
    });
    RemoveDirectoryW(WideText(folder).c_str());
}

static std::string TempPath()
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    return temp;
}

TempDir::TempDir() : TempDir(TempPath()) {}

TempDir::TempDir(const std::string& parent)
{
    static LONG counter = 0;
    FPath = parent + "kesterly-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(InterlockedIncrement(&counter)) + "\\";
    DeleteTree(FPath);
    MakeFolders(FPath.substr(0, FPath.size() - 1));
}

TempDir::~TempDir()
{
    DeleteTree(FPath);
}

std::string TempDir::Write(const std::string& name, const std::string& bytes) const
{
    std::string path = FPath + name;
    size_t slash = path.rfind('\\');
    MakeFolders(path.substr(0, slash));
    HANDLE file = CreateFileW(WideText(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot write " + path + ": " + ErrorText(GetLastError()));
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    if (!ok || written != bytes.size())
        throw std::runtime_error("cannot write " + path);
    return path;
}

std::string TempDir::Read(const std::string& name) const
{
    return ReadWholeFile(FPath + name);
}

bool TempDir::Exists(const std::string& name) const
{
    return GetFileAttributesW(WideText(FPath + name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string TempDir::Folder(const std::string& name) const
{
    MakeFolders(FPath + name);
    return FPath + name + "\\";
}

}  // namespace TestSupport
