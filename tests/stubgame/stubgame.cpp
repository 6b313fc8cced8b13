// Stand-in for a game executable.  Each start appends one line to
// "<exe base name>.log" beside the executable and exits with code 0:
//   start<TAB>command line<TAB>current folder<TAB>Rules.ini there (1/0)<TAB>its size or -1<TAB>its first line
// With the environment variable KESTERLY_STUB_WINDOW set (the demo sandbox sets it for Kesterly,
// whose environment the game inherits), it then also shows which game it stands for and which
// Rules.ini it received, and exits when that window is closed. KESTERLY_STUB_WAIT=<ms> keeps it running.
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

static std::string ModulePath()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length);
}

// The game whose registry entry names this executable, as its installer registered it.
static std::string GameName(const std::string& exePath)
{
    const char* games[][2] = {{"Software\\Westwood\\Tiberian Sun", "Tiberian Sun"},
                              {"Software\\Westwood\\Red Alert Windows 95 Edition", "Red Alert"}};
    for (const auto& game : games) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, game[0], 0, KEY_READ | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS)
            continue;
        char installPath[MAX_PATH + 1] = "";
        DWORD size = MAX_PATH;
        DWORD type = 0;
        const bool found = RegQueryValueExA(key, "InstallPath", nullptr, &type, reinterpret_cast<BYTE*>(installPath),
                                            &size) == ERROR_SUCCESS &&
                           type == REG_SZ && lstrcmpiA(installPath, exePath.c_str()) == 0;
        RegCloseKey(key);
        if (found)
            return game[1];
    }
    return exePath.substr(exePath.rfind('\\') + 1);
}

static void ShowWhatStarted(const std::string& folder, bool rulesExists, const std::string& size,
                            const std::string& firstLine)
{
    const std::string exePath = ModulePath();
    std::string text = GameName(exePath) + " was started by Kesterly.\n\nProgram: " + exePath + "\nFolder: " + folder +
                       "\n\n";
    if (rulesExists) {
        char name[512] = "";
        GetPrivateProfileStringA("General", "Name", "", name, sizeof(name), (folder + "\\Rules.ini").c_str());
        text += "Rules.ini received:\n    Name=" + std::string(*name ? name : "(none)") + "\n    " + size +
                " bytes; its first line:\n    " + firstLine;
    } else {
        text += "No Rules.ini: the game runs with its built-in rules.";
    }
    MessageBoxA(nullptr, text.c_str(), (GameName(exePath) + " (stand-in)").c_str(), MB_OK | MB_ICONINFORMATION);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char folder[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, folder);

    std::string record = std::string("start\t") + GetCommandLineA() + "\t" + folder + "\t";
    HANDLE rules = CreateFileA("Rules.ini", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const bool rulesExists = rules != INVALID_HANDLE_VALUE;
    std::string size = "-1", firstLine;
    if (rulesExists) {
        size = std::to_string(GetFileSize(rules, nullptr));
        firstLine = FirstLine(rules);
        CloseHandle(rules);
    }
    record += std::string(rulesExists ? "1" : "0") + "\t" + size + "\t" + firstLine + "\r\n";

    std::string logPath = ModulePath();
    logPath = logPath.substr(0, logPath.rfind('.')) + ".log";
    HANDLE file = CreateFileA(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(file);

    char wait[16] = "";
    if (GetEnvironmentVariableA("KESTERLY_STUB_WAIT", wait, sizeof wait) > 0)
        Sleep(std::stoul(wait));
    if (GetEnvironmentVariableA("KESTERLY_STUB_WINDOW", nullptr, 0) != 0)
        ShowWhatStarted(folder, rulesExists, size, firstLine);
    return 0;
}
