// Stand-in for a game executable.  Each start appends one line to
// "<exe base name>.log" beside the executable and exits with code 0:
//   start<TAB>command line<TAB>current folder<TAB>Rules.ini there (1/0)<TAB>its size or -1<TAB>its first line
#include <windows.h>
#include <string>

static std::string FirstLine(HANDLE file)
{
    char buffer[202];
    DWORD read = 0;
    if (!ReadFile(file, buffer, 200, &read, nullptr))
        read = 0;
    std::string line(buffer, read);
    return line.substr(0, line.find_first_of("\r\n"));
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char folder[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, folder);

    std::string record = std::string("start\t") + GetCommandLineA() + "\t" + folder + "\t";
    HANDLE rules = CreateFileA("Rules.ini", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (rules == INVALID_HANDLE_VALUE) {
        record += "0\t-1\t";
    } else {
        record += "1\t" + std::to_string(GetFileSize(rules, nullptr)) + "\t" + FirstLine(rules);
        CloseHandle(rules);
    }
    record += "\r\n";

    char log[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, log, MAX_PATH);
    std::string logPath(log, length);
    logPath = logPath.substr(0, logPath.rfind('.')) + ".log";
    HANDLE file = CreateFileA(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}
