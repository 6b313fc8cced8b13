// Start-up of the real kesterly.exe with a large rules folder: the time from process start to a
// filled list (median of the runs), the peak working set of the Kesterly process, and the sizes
// of the program files named on the command line.
//   wine build/x64/bench/startup_bench.exe [--files N] [--runs N] [--steam-libraries N] [program.exe ...]
// With --steam-libraries, every other run has Steam's libraryfolders.vdf in the prefix, listing N
// libraries, none of which holds Tiberian Sun (which is not installed): its lookup reads that file,
// and, as each library's apps block names other apps only, opens no file in any library. Both
// series are given.
// It uses the real registry of the prefix (HKLM\Software\Westwood, \Halvek\Kesterly, 32-bit view),
// and the prefix's C:\Program Files (x86)\Steam\steamapps\libraryfolders.vdf, which it puts back as
// they were afterwards.
#include "Driver.h"
#include "TestSupport.h"
#include "resource.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace E2E;
using namespace TestSupport;

namespace {

// A rules file of about 4 KB as rule sets are: [General] first, then unit sections.
std::string RulesFile(int index)
{
    std::string text = "; Rule set " + std::to_string(index) + "\r\n[General]\r\n";
    // Every file is a Red Alert rules file: most by their name, every fifth by the marker key only.
    text += index % 5 == 0 ? "Name=Set " + std::to_string(index) + "\r\nCrateMinimum=1\r\n"
                           : "Name=Red Alert: Set " + std::to_string(index) + "\r\n";
    text += "BuildSpeed=1.0\r\nGrowthRate=2\r\nOreGrows=yes\r\n\r\n";
    for (int unit = 0; text.size() < 4000; ++unit)
        text += "[Unit" + std::to_string(unit) + "]\r\nStrength=" + std::to_string(100 + unit) +
                "\r\nCost=" + std::to_string(300 + 10 * unit) + "\r\nSpeed=5\r\nSight=4\r\n\r\n";
    return text;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

struct Run {
    double Seconds;
    SIZE_T PeakWorkingSet;
};

Run StartOnce(const std::string& exe, int files)
{
    LARGE_INTEGER start, filled;
    QueryPerformanceCounter(&start);
    KesterlyProcess app(exe, KesterlyProcess::NoWait);
    while (!app.FindMainWindow())
        Sleep(1);
    HWND list = app.Control(IDC_RULESLIST);
    // LB_GETCOUNT is answered once the activation has returned, so it sees the whole list.
    while (static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)) < files)
        Sleep(1);
    QueryPerformanceCounter(&filled);

    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(app.Process(), &memory, sizeof(memory));
    app.Click(app.Control(IDC_QUITBUTTON));
    if (app.WaitForExit() != std::optional<DWORD>(0))
        std::fprintf(stderr, "kesterly.exe did not end with code 0\n");
    return {Seconds(start, filled), memory.PeakWorkingSetSize};
}

// The prefix's libraryfolders.vdf, as Proton writes it, listing `count` libraries in `root`, each
// with a few apps other than the games: in place while Put, as it was when the object goes.
class SteamLibraries {
public:
    SteamLibraries(int count, const TempDir& root)
    {
        std::string escaped;
        for (const char c : root.Path())
            escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
        FText = "\"libraryfolders\"\n{\n";
        for (int i = 0; i < count; ++i) {
            const std::string name = "Library" + std::to_string(i);
            FText += "\t\"" + std::to_string(i) + "\"\n\t{\n\t\t\"path\"\t\t\"" + escaped + name +
                     "\"\n\t\t\"apps\"\n\t\t{\n\t\t\t\"228980\"\t\t\"1\"\n\t\t}\n\t}\n";
            for (const char* app : {"228980", "1245620"})
                root.Write(name + "\\steamapps\\appmanifest_" + app + ".acf",
                           std::string("\"AppState\"\n{\n\t\"appid\"\t\t\"") + app +
                               "\"\n\t\"StateFlags\"\t\t\"4\"\n\t\"installdir\"\t\t\"App\"\n}\n");
        }
        FText += "}\n";
        FHad = GetFileAttributesA(FFile.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (FHad)
            FOld = ReadWholeFile(FFile);
    }
    ~SteamLibraries()
    {
        if (FHad)
            Write(FOld);
        else
            DeleteFileA(FFile.c_str());
    }
    void Put(bool present) const
    {
        if (present)
            Write(FText);
        else
            DeleteFileA(FFile.c_str());
    }

private:
    void Write(const std::string& text) const
    {
        MakeFolders(FFile.substr(0, FFile.rfind('\\')));
        HANDLE file = CreateFileA(FFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
    }

    const std::string FFile = "C:\\Program Files (x86)\\Steam\\steamapps\\libraryfolders.vdf";
    std::string FText, FOld;
    bool FHad = false;
};

double Median(std::vector<Run> runs)
{
    std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.Seconds < b.Seconds; });
    return runs[runs.size() / 2].Seconds;
}

long long FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

int main(int argc, char** argv)
{
    int files = 1000, runs = 10, libraries = 0;
    std::vector<std::string> sized;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--files" && i + 1 < argc)
            files = std::atoi(argv[++i]);
        else if (argument == "--runs" && i + 1 < argc)
            runs = std::atoi(argv[++i]);
        else if (argument == "--steam-libraries" && i + 1 < argc)
            libraries = std::atoi(argv[++i]);
        else
            sized.push_back(argument);
    }
    char full[MAX_PATH];
    GetFullPathNameA((ExeFolder() + "..\\kesterly.exe").c_str(), MAX_PATH, full, nullptr);
    const std::string exe = full;

    RegistryKeys keys;
    TempDir root;
    const std::string rules = root.Folder("Rules");
    for (int i = 0; i < files; ++i)
        root.Write("Rules\\Set" + std::to_string(i) + ".ini", RulesFile(i));
    // The game is never started here: any file will do as its executable.
    const std::string game = root.Write("Westwood Games\\Red Alert\\RA95.exe", "");
    RegistryKeys::SetString(RAKey, "InstallPath", game);
    RegistryKeys::SetString(SettingsKey, "RARulesDir", rules);
    RegistryKeys::SetDword(SettingsKey, "GameTab", 0);

    TempDir steamRoot;
    const SteamLibraries steam(libraries, steamRoot);
    StartOnce(exe, files);  // warm-up: the files and the program in the system's cache
    std::vector<Run> results, withSteam;
    for (int i = 0; i < runs; ++i) {
        results.push_back(StartOnce(exe, files));
        if (libraries == 0)
            continue;
        steam.Put(true);
        withSteam.push_back(StartOnce(exe, files));
        steam.Put(false);
    }
    std::sort(results.begin(), results.end(), [](const Run& a, const Run& b) { return a.Seconds < b.Seconds; });
    SIZE_T peak = 0;
    for (const Run& run : results)
        peak = std::max(peak, run.PeakWorkingSet);

    std::printf("start-up to a filled list, %d rules files (4 KB each), %d runs:\n", files, runs);
    std::printf("  median %.0f ms   fastest %.0f ms   slowest %.0f ms\n", 1000 * results[results.size() / 2].Seconds,
                1000 * results.front().Seconds, 1000 * results.back().Seconds);
    if (libraries > 0)
        std::printf("  with a libraryfolders.vdf of %d libraries, %d runs: median %.0f ms (without: %.0f ms)\n",
                    libraries, runs, 1000 * Median(withSteam), 1000 * Median(results));
    std::printf("peak working set of kesterly.exe: %.1f MB (largest of the runs)\n", peak / (1024.0 * 1024.0));
    std::printf("size of %s: %lld bytes\n", exe.c_str(), FileSize(exe));
    for (const std::string& path : sized)
        std::printf("size of %s: %lld bytes\n", path.c_str(), FileSize(path));
    return 0;
}
