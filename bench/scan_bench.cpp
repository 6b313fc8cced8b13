// How long the user waits for the rules folder scan, against the system's profile reader doing the
// same reads and against the floor (list the folder, open each file, read its first 4 KB, close it).
//
//   scan_bench [N ...]      folder sizes to measure (default 100 1000 5000)
//   scan_bench --keep [N]   what Run adds before it replaces a Rules.ini of the same 150 KB: the check
//                           whether its bytes stand in a rules folder of N files (default 1000), and the
//                           copy kept when they do not; against one scan of that folder
//
// Each rules file is about 150 KB: [General] with the name or the marker in its first 4 KB, then unit,
// weapon and building sections. The last table grows every file tenfold behind an unchanged [General].
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "AppFixture.h"
#include "IniFiles.h"
#include "TestSupport.h"

using namespace TestSupport;

namespace {

const size_t FileSize = 150 * 1024;

std::string GeneralSection(int Index)
{
    std::string Text = "; Rules variant " + std::to_string(Index) + "\r\n\r\n[General]\r\n";
    Text += Index % 2 ? "CrateMinimum=" + std::to_string(Index % 7) + "\r\n"
                      : "Name=Red Alert: Variant " + std::to_string(Index) + "\r\n";
    static const char* const Keys[] = {
        "BuildSpeed=.8",        "BuildupTime=.06",      "GameSpeedBias=1",    "GapRadius=10",
        "GapRegenInterval=.1",  "GrowthRate=2",         "IronCurtain=.75",    "NukeDamage=1000",
        "OreGrows=yes",         "OreSpreads=yes",       "OreTruckRate=1",     "ParaTech=10",
        "ParabombTech=8",       "RefundPercent=50%",    "RepairPercent=20%",  "RepairRate=.016",
        "RepairStep=7",         "SeparateAircraft=no",  "ShipSpeedBias=1",    "SpyPlaneTech=5",
        "SurvivorRate=.4",      "TiberiumGrows=yes",    "TiberiumSpreads=yes", "AtomDamage=1000",
        "BallisticScatter=1.0", "BridgeStrength=1000",  "C4Delay=.03",        "Chronoduration=3",
        "CloseEnough=2.75",     "CrushDistance=1.5",    "ExpSpread=.3",       "FireSupress=1",
        "HomingScatter=2.0",    "MaxDamage=1000",       "MinDamage=1",        "Incoming=10",
    };
    for (const char* Key : Keys)
        Text += std::string(Key) + "\r\n";
    return Text + "\r\n";
}

std::string Sections(size_t Size)
{
    static const char* const Kinds[] = {"E", "TNK", "SHIP", "BLDG", "WEAP"};
    std::string Text;
    for (int Index = 0; Text.size() < Size; ++Index) {
        const std::string Id = std::string(Kinds[Index % 5]) + std::to_string(Index);
        Text += "[" + Id + "]\r\nName=Unit " + Id + "\r\nPrerequisite=barr,weap\r\nPrimary=M1Carbine\r\n"
                "Secondary=none\r\nStrength=" + std::to_string(50 + Index % 400) + "\r\nArmor=light\r\n"
                "TechLevel=" + std::to_string(Index % 11) + "\r\nSight=4\r\nSpeed=" + std::to_string(4 + Index % 9) +
                "\r\nOwner=allies,soviet\r\nCost=" + std::to_string(100 * (1 + Index % 30)) +
                "\r\nPoints=5\r\nROT=5\r\nCrewed=yes\r\n; balanced for skirmish\r\n\r\n";
    }
    return Text;
}

void SaveFile(const std::string& Path, const std::string& Bytes)
{
    HANDLE File = CreateFileA(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD Written = 0;
    // Flushed at once, so that no write-back of the files runs while they are timed.
    const bool Ok = File != INVALID_HANDLE_VALUE &&
                    ::WriteFile(File, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Written, nullptr) &&
                    Written == Bytes.size() && FlushFileBuffers(File);
    if (File != INVALID_HANDLE_VALUE)
        CloseHandle(File);
    if (!Ok)
        throw std::runtime_error("cannot write " + Path + ": " + ErrorText(GetLastError()));
}

// Writes (or rewrites) the N rules files of a folder, each about Size bytes.
void MakeRulesFiles(const std::string& Folder, int N, size_t Size)
{
    const std::string Body = Sections(Size);
    for (int I = 0; I < N; ++I) {
        const std::string General = GeneralSection(I);
        SaveFile(Folder + "rules" + std::to_string(I) + ".ini", General + Body.substr(0, Size - General.size()));
    }
}

double Seconds()
{
    static LARGE_INTEGER Frequency = [] {
        LARGE_INTEGER F;
        QueryPerformanceFrequency(&F);
        return F;
    }();
    LARGE_INTEGER Now;
    QueryPerformanceCounter(&Now);
    return static_cast<double>(Now.QuadPart) / static_cast<double>(Frequency.QuadPart);
}

// Calls Visit with each plain file matching *.ini, as the scan lists them.
template <class TVisit>
void ForEachIni(const std::string& Folder, TVisit Visit)
{
    _finddata_t Found;
    const intptr_t Search = _findfirst((Folder + "*.ini").c_str(), &Found);
    if (Search == -1)
        return;
    do
        if (!(Found.attrib & (_A_SUBDIR | _A_HIDDEN | _A_SYSTEM)))
            Visit(Found.name);
    while (_findnext(Search, &Found) == 0);
    _findclose(Search);
}

// The same two reads and the same decision through the system's profile reader.
size_t ProfileScan(const std::string& Folder, std::vector<std::string>& Display, std::vector<std::string>& Names)
{
    Display.clear();
    Names.clear();
    ForEachIni(Folder, [&](const char* Name) {
        const std::string Path = Folder + Name;
        char NameValue[512], Marker[512];
        GetPrivateProfileStringA("General", "Name", "<not found>", NameValue, sizeof NameValue, Path.c_str());
        GetPrivateProfileStringA("General", "CrateMinimum", "<not found>", Marker, sizeof Marker, Path.c_str());
        const std::string FileName = Name;
        const std::string Short = FileName.substr(0, FileName.size() - 4);
        if (strncmp(NameValue, "Red Alert", 9) == 0)
            Display.push_back(Short + (NameValue + 9));
        else if (strcmp(Marker, "<not found>") != 0)
            Display.push_back(Short);
        else
            return;
        Names.push_back(FileName);
    });
    return Names.size();
}

// The scan's reads without the list boxes, to tell the reader's share from the lists'.
size_t ReaderScan(const std::string& Folder)
{
    size_t Found = 0;
    ForEachIni(Folder, [&](const char* Name) {
        TIniFile Ini(Folder + Name);
        const bool Named = Ini.ReadString("General", "Name", "<not found>") != "<not found>";
        Found += Named || Ini.ReadString("General", "CrateMinimum", "<not found>") != "<not found>";
    });
    return Found;
}

// The floor: list, open, read the first 4 KB, close.
size_t FloorScan(const std::string& Folder)
{
    size_t Bytes = 0;
    ForEachIni(Folder, [&](const char* Name) {
        HANDLE File = CreateFileA((Folder + Name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (File == INVALID_HANDLE_VALUE)
            return;
        char Buffer[4096];
        DWORD Read = 0;
        ReadFile(File, Buffer, sizeof Buffer, &Read, nullptr);
        Bytes += Read;
        CloseHandle(File);
    });
    return Bytes;
}

struct TRow {
    int N;
    double Scan, Profile, Floor, Reader, Grown, GrownFloor;
};

double Median(std::vector<double> Times)
{
    std::sort(Times.begin(), Times.end());
    return Times[Times.size() / 2];
}

// Runs each method once per round, in turn, so that a slow moment of the machine hits all of them.
std::vector<double> MedianMs(int Rounds, const std::vector<std::function<void()>>& Methods)
{
    std::vector<std::vector<double>> Times(Methods.size());
    for (int Round = 0; Round < Rounds; ++Round)
        for (size_t I = 0; I < Methods.size(); ++I) {
            const double Start = Seconds();
            Methods[I]();
            Times[I].push_back((Seconds() - Start) * 1000);
        }
    std::vector<double> Medians;
    for (const std::vector<double>& T : Times)
        Medians.push_back(Median(T));
    return Medians;
}

TRow Measure(KesterlyApp& App, int N)
{
    TempDir Temp;
    const std::string Folder = Temp.Folder("rules");
    MakeRulesFiles(Folder, N, FileSize);
    RulesFormProbe Probe = App.Probe();
    Probe.CurrentRulesFolder() = Folder;
    std::vector<std::string> Display, Names;
    // The user waits until the list has been drawn.
    auto Scan = [&] {
        Probe.ScanRulesFolder();
        UpdateWindow(App.Form().RulesList.Handle);
    };
    auto Profile = [&] { ProfileScan(Folder, Display, Names); };
    auto Floor = [&] { FloorScan(Folder); };
    auto Reader = [&] { ReaderScan(Folder); };
    // Warm the file cache, and check that every method finds every file.
    Scan();
    App.Pump();
    if (App.Form().RulesList.Items.Count() != N || ProfileScan(Folder, Display, Names) != static_cast<size_t>(N) ||
        ReaderScan(Folder) != static_cast<size_t>(N) || FloorScan(Folder) != static_cast<size_t>(N) * 4096)
        throw std::runtime_error("the methods disagree on " + std::to_string(N) + " files");

    const int Rounds = N >= 5000 ? 3 : 5;
    const std::vector<double> Base = MedianMs(Rounds, {Scan, Profile, Floor, Reader});
    App.Pump();
    MakeRulesFiles(Folder, N, FileSize * 10);
    Scan();
    Floor();
    const std::vector<double> Grown = MedianMs(Rounds, {Scan, Floor});
    App.Pump();
    return {N, Base[0], Base[1], Base[2], Base[3], Grown[0], Grown[1]};
}

// Run's keep check before it replaces Rules.ini, in the game folder Game of the shown main window.
void MeasureKeep(KesterlyApp& App, const std::string& Game, int N)
{
    TempDir Temp;
    const std::string Folder = Temp.Folder("rules");
    RulesFormProbe Probe = App.Probe();
    Probe.CurrentRulesFolder() = Folder;
    const std::string Installed = Game + "Rules.ini";
    // The files of the rules folder, each FileSize bytes and differing from the others in their first lines.
    MakeRulesFiles(Folder, N, FileSize);
    const std::string Body = GeneralSection(0) + Sections(FileSize);
    auto Scan = [&] {
        Probe.ScanRulesFolder();
        UpdateWindow(App.Form().RulesList.Handle);
    };
    // The check, and the copy it keeps, which the next round must not find.
    std::string Kept;
    auto Keep = [&] { Kept = Probe.KeepInstalledRules(""); };
    auto Measured = [&](const char* Case) {
        Scan();
        Keep();
        const bool Keeps = !Kept.empty();
        auto Forget = [&] {
            if (!Kept.empty())
                DeleteFileA(Kept.c_str());
        };
        Forget();
        const std::vector<double> Ms = MedianMs(7, {Scan, [&] { Keep(); }, Forget});
        App.Pump();
        std::printf("%-62s %9.1f %9.1f %9.2f  %s\n", Case, Ms[0], Ms[1], Ms[1] / Ms[0], Keeps ? "kept" : "none");
    };
    std::printf("Rules.ini of %zu KB, rules folder of %d files; medians in ms\n\n", FileSize / 1024, N);
    std::printf("%-62s %9s %9s %9s  %s\n", "Rules.ini", "scan", "keep", "keep/scan", "copy");
    SaveFile(Installed, ReadWholeFile(Folder + "rules" + std::to_string(N / 2) + ".ini"));
    Measured("installed from the rules folder (same size as all)");
    SaveFile(Installed, Body.substr(0, FileSize + 100));
    Measured("tuned by hand, a size no rules file has");
    SaveFile(Installed, Body.substr(0, FileSize));
    // Every rules file has its size and differs from it in one byte only: the last, which the
    // comparison reads first, and one in the middle, which it reaches last.
    for (const size_t At : {FileSize - 1, FileSize / 2}) {
        std::string Other = Body.substr(0, FileSize);
        Other[At] ^= 1;
        for (int I = 0; I < N; ++I)
            SaveFile(Folder + "rules" + std::to_string(I) + ".ini", Other);
        Measured(At == FileSize - 1 ? "tuned by hand, all files its size, differing in the last byte"
                                    : "tuned by hand, all files its size, differing in the middle byte");
    }
    DeleteFileA(Installed.c_str());
    // What any byte comparison must at least do in the last case: open and read each file whole, once.
    std::vector<char> Buffer(65536);
    const double Floor = MedianMs(7, {[&] {
        ForEachIni(Folder, [&](const char* Name) {
            HANDLE File = CreateFileA((Folder + Name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            for (DWORD Read = 1; Read && ReadFile(File, Buffer.data(), 65536, &Read, nullptr);)
                ;
            CloseHandle(File);
        });
    }})[0];
    std::printf("\nOpening and reading each of those files whole, once: %.1f ms\n", Floor);
}

}  // namespace

int main(int argc, char** argv)
{
    const bool KeepMode = argc > 1 && std::string(argv[1]) == "--keep";
    std::vector<int> Sizes;
    for (int I = KeepMode ? 2 : 1; I < argc; ++I)
        Sizes.push_back(std::atoi(argv[I]));
    if (Sizes.empty())
        Sizes = KeepMode ? std::vector<int>{1000} : std::vector<int>{100, 1000, 5000};
    try {
        // The Red Alert tab of a shown main window, as the user sees it.
        TempDir Game;
        RegistrySandbox Registry;
        Registry.SetString(RAKey, "InstallPath", Game.Path() + "Ra95.exe");
        KesterlyApp App;
        App.Start();
        if (KeepMode) {
            for (int N : Sizes)
                MeasureKeep(App, Game.Path(), N);
            return 0;
        }

        // The part of a scan that does not depend on the files: emptying the lists, the search, the repaint.
        TempDir Empty;
        App.Probe().CurrentRulesFolder() = Empty.Path();
        App.Probe().ScanRulesFolder();
        const double EmptyScan = MedianMs(9, {[&] { App.Probe().ScanRulesFolder(); }})[0];
        App.Pump();

        std::vector<TRow> Rows;
        for (int N : Sizes) {
            Rows.push_back(Measure(App, N));
            std::fprintf(stderr, "N = %d done\n", N);
        }
        std::printf("Files of %zu KB, medians in ms\n\n", FileSize / 1024);
        std::printf("%7s %9s %10s %9s %11s %13s %13s %17s\n", "N", "scan", "profile", "floor", "scan/floor",
                    "profile/scan", "scan us/file", "reads only (no lists)");
        for (const TRow& R : Rows)
            std::printf("%7d %9.1f %10.1f %9.1f %11.2f %13.1f %13.1f %17.1f\n", R.N, R.Scan, R.Profile, R.Floor,
                        R.Scan / R.Floor, R.Profile / R.Scan, R.Scan * 1000 / R.N, R.Reader);
        std::printf("\nScan of an empty folder: %.2f ms\n", EmptyScan);
        std::printf("\nEvery file grown tenfold to %zu KB, [General] unchanged\n\n", FileSize * 10 / 1024);
        std::printf("%7s %10s %11s %12s %13s\n", "N", "scan", "grown scan", "grown/base", "grown floor");
        for (const TRow& R : Rows)
            std::printf("%7d %10.1f %11.1f %12.2f %13.1f\n", R.N, R.Scan, R.Grown, R.Grown / R.Scan, R.GrownFloor);
    } catch (const std::exception& E) {
        std::fprintf(stderr, "scan_bench: %s\n", E.what());
        return 1;
    }
    return 0;
}
