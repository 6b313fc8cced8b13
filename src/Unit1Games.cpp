// Games and settings: detection of the installed games, switching between their tabs, and the
// settings remembered in the registry.
#include <algorithm>
#include <cstdlib>

#include "Classes.h"
#include "Registry.h"
#include "Unit1.h"
#include "VdfFiles.h"

namespace {

const char SettingsKey[] = "\\Software\\Halvek\\Kesterly";
// The 2006 compilation records all its games under one key, each as a folder and a file name.
const char FirstDecadeKey[] = "\\Software\\Electronic Arts\\EA Games\\Command and Conquer The First Decade";
// Today's digital editions record only the game's folder: the EA app (and Origin before it) in a
// key of its own, Steam in the app's uninstall entry. Their installers are 32-bit or 64-bit
// programs, by version, so both registry views are looked in. The program is the first of these
// that stands in the folder: a launcher first, as that edition's own shortcut starts it.
const std::vector<REGSAM> BothViews = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};
const std::vector<const char*> TiberianSunPrograms = {"TSLauncher.exe", "SUN.exe", "Game.exe"};
const std::vector<const char*> RedAlertPrograms = {"RA95Launcher.exe", "RA95.exe"};
// CnCNet's Tiberian Sun: its client, TiberianSun.exe, starts the game (whose Game.exe refuses to
// start without it), so the client comes first wherever it stands.
const std::vector<const char*> CnCNetPrograms = {"TiberianSun.exe"};
const std::vector<const char*> AnyTiberianSunPrograms = {"TiberianSun.exe", "TSLauncher.exe", "SUN.exe", "Game.exe"};

}  // namespace

const TRulesForm::TGameProfile TRulesForm::TiberianSun = {
    "Tiberian SUN",
    {{TPlaceKind::MachineKey, "\\Software\\Westwood\\Tiberian Sun", "InstallPath", nullptr},
     {TPlaceKind::MachineKey, FirstDecadeKey, "ts_folder", "ts_executable"},
     {TPlaceKind::MachineKey, "\\Software\\EA Games\\Command and Conquer Tiberian Sun", "Install Dir", nullptr,
      TiberianSunPrograms, BothViews},
     {TPlaceKind::MachineKey, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Steam App 2229880",
      "InstallLocation", nullptr, TiberianSunPrograms, BothViews},
     {TPlaceKind::UserKey, "\\Software\\TiberianSun", "InstallPath", nullptr, CnCNetPrograms},
     {TPlaceKind::Environment, "STEAM_APPID", "STEAM_APP_PATH", nullptr, AnyTiberianSunPrograms},
     {TPlaceKind::Environment, "SteamAppId", "STEAM_COMPAT_INSTALL_PATH", nullptr, AnyTiberianSunPrograms},
     {TPlaceKind::Environment, "STEAM_COMPAT_APP_ID", "STEAM_COMPAT_INSTALL_PATH", nullptr, AnyTiberianSunPrograms},
     {TPlaceKind::SteamLibraries, nullptr, nullptr, nullptr, AnyTiberianSunPrograms},
     {TPlaceKind::ProgramFolder, nullptr, nullptr, nullptr, AnyTiberianSunPrograms},
     {TPlaceKind::CurrentFolder, nullptr, nullptr, nullptr, AnyTiberianSunPrograms}},
    "2229880", {{"TIBSUN.MIX"}, {"TiberianSun.exe", "Game.exe"}},
    &TRulesForm::TSGameDir, &TRulesForm::TSGameExe, &TRulesForm::TSRulesFolder, clNavy, "General", "Name",
    "Tiberian Sun", "Name"};

const TRulesForm::TGameProfile TRulesForm::RedAlert = {
    "Red Alert",
    {{TPlaceKind::MachineKey, "\\Software\\Westwood\\Red Alert Windows 95 Edition", "InstallPath", nullptr},
     {TPlaceKind::MachineKey, "\\Software\\Westwood\\Alarmstufe Rot Windows 95 Edition", "InstallPath", nullptr},
     {TPlaceKind::MachineKey, "\\Software\\Westwood\\Alerte Rouge version Windows 95", "InstallPath", nullptr},
     {TPlaceKind::MachineKey, FirstDecadeKey, "ra_folder", "ra_executable"},
     {TPlaceKind::MachineKey, "\\Software\\EA Games\\Command and Conquer Red Alert", "Install Dir", nullptr,
      RedAlertPrograms, BothViews},
     {TPlaceKind::MachineKey, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Steam App 2229840",
      "InstallLocation", nullptr, RedAlertPrograms, BothViews},
     {TPlaceKind::Environment, "STEAM_APPID", "STEAM_APP_PATH", nullptr, RedAlertPrograms},
     {TPlaceKind::Environment, "SteamAppId", "STEAM_COMPAT_INSTALL_PATH", nullptr, RedAlertPrograms},
     {TPlaceKind::Environment, "STEAM_COMPAT_APP_ID", "STEAM_COMPAT_INSTALL_PATH", nullptr, RedAlertPrograms},
     {TPlaceKind::SteamLibraries, nullptr, nullptr, nullptr, RedAlertPrograms},
     {TPlaceKind::ProgramFolder, nullptr, nullptr, nullptr, RedAlertPrograms},
     {TPlaceKind::CurrentFolder, nullptr, nullptr, nullptr, RedAlertPrograms}},
    "2229840", {{"REDALERT.MIX"}},
    &TRulesForm::RAGameDir, &TRulesForm::RAGameExe, &TRulesForm::RARulesFolder, clMaroon, "General", "Name",
    "Red Alert", "CrateMinimum"};

void TRulesForm::DetectTiberianSun()
{
    DetectGame(TiberianSun);
}

void TRulesForm::DetectRedAlert()
{
    DetectGame(RedAlert);
}

namespace {

// A folder ends in exactly one backslash, however it was written; empty text stays empty.
AnsiString AsFolder(AnsiString Path)
{
    if (Path.empty())
        return Path;
    while (EndsWithBackslash(Path))
        Path.pop_back();
    return Path + "\\";
}

// A Linux path ("/home/deck/...") as Windows programs under Wine reach it: drive Z: is the Linux root.
AnsiString WindowsPath(AnsiString Path)
{
    if (Path.empty() || Path[0] != '/')
        return Path;
    std::replace(Path.begin(), Path.end(), '/', '\\');
    return "Z:" + Path;
}

// Where Needle first stands in Text, ASCII letters in either case.
size_t FindText(const AnsiString& Text, const AnsiString& Needle)
{
    const auto Lower = [](char C) { return C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C; };
    const auto Found = std::search(Text.begin(), Text.end(), Needle.begin(), Needle.end(),
                                   [&](char A, char B) { return Lower(A) == Lower(B); });
    return Found == Text.end() ? AnsiString::npos : static_cast<size_t>(Found - Text.begin());
}

// A variable of the environment, or empty text.
AnsiString EnvironmentText(const char* Name)
{
    const std::wstring WideName = WideText(Name);
    std::wstring Value(256, L'\0');
    DWORD Length = GetEnvironmentVariableW(WideName.c_str(), &Value[0], static_cast<DWORD>(Value.size()));
    if (Length >= Value.size()) {
        Value.resize(Length);
        Length = GetEnvironmentVariableW(WideName.c_str(), &Value[0], static_cast<DWORD>(Value.size()));
    }
    return Length < Value.size() ? AnsiText(Value.c_str(), Length) : AnsiString();
}

// The folder of kesterly.exe, or else the current folder.
AnsiString OwnFolder(bool ProgramFolder)
{
    std::wstring Path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD Size = static_cast<DWORD>(Path.size());
        const DWORD Length =
            ProgramFolder ? GetModuleFileNameW(nullptr, &Path[0], Size) : GetCurrentDirectoryW(Size, &Path[0]);
        if (Length == 0)
            return AnsiString();
        if (Length < Size) {
            Path.resize(Length);
            break;
        }
        Path.resize(2 * Path.size());
    }
    if (ProgramFolder)
        Path.resize(Path.rfind(L'\\') + 1);
    return AsFolder(AnsiText(Path.c_str(), Path.size()));
}

// The full path of the first of Programs that stands in Folder; empty when none does. Kesterly itself,
// copied in under the name of one of them, is passed over: started, it would start Kesterly again.
AnsiString FirstProgramIn(const AnsiString& Folder, const std::vector<const char*>& Programs)
{
    if (!Folder.empty())
        for (const char* Program : Programs)
            if (FileExists(Folder + Program) && !IsThisProgram(Folder + Program))
                return Folder + Program;
    return AnsiString();
}

// Whether Folder holds every file of one of the sets.
bool HoldsOneSet(const AnsiString& Folder, const std::vector<std::vector<const char*>>& Sets)
{
    return !Folder.empty() && std::any_of(Sets.begin(), Sets.end(), [&](const std::vector<const char*>& Set) {
               return std::all_of(Set.begin(), Set.end(), [&](const char* File) { return FileExists(Folder + File); });
           });
}

// The Steam folders to start from: the prefix's own Steam folder, where Proton keeps a
// libraryfolders.vdf (on Windows, Steam's own folder); under Wine, the library that holds the
// prefix (\??\Z:\home\deck\.local\share\Steam\steamapps\compatdata\2229880\pfx), and the Steam
// folders of the home that the prefix's path names, as Steam, its link and its Flatpak keep them.
std::vector<AnsiString> SteamFolders()
{
    std::vector<AnsiString> Folders = {"C:\\Program Files (x86)\\Steam\\"};
    AnsiString Prefix = EnvironmentText("WINECONFIGDIR");
    if (Prefix.compare(0, 4, "\\??\\") == 0)
        Prefix.erase(0, 4);
    Prefix = AsFolder(Prefix);
    const size_t Library = FindText(Prefix, "\\steamapps\\compatdata\\");
    if (Library != AnsiString::npos)
        Folders.push_back(Prefix.substr(0, Library + 1));
    size_t Home = AnsiString::npos;
    for (const char* Steam : {"\\.local\\share\\Steam\\", "\\.steam\\", "\\.var\\app\\com.valvesoftware.Steam\\"})
        Home = std::min(Home, FindText(Prefix, Steam));
    if (Home != AnsiString::npos)
        for (const char* Steam : {".local\\share\\Steam\\", ".steam\\root\\",
                                  ".var\\app\\com.valvesoftware.Steam\\.local\\share\\Steam\\"})
            Folders.push_back(Prefix.substr(0, Home + 1) + Steam);
    return Folders;
}

// Each Steam folder to start from is a library, and so is every library its libraryfolders.vdf
// lists, in either of its forms: "1" "D:\\Library", or "1" { "path" "/home/deck/..." }.
std::vector<AnsiString> SteamLibraries()
{
    std::vector<AnsiString> Libraries;
    const auto Add = [&](const AnsiString& Folder) {
        const auto Same = [&](const AnsiString& Known) { return SameFileName(Known, Folder); };
        if (!Folder.empty() && std::none_of(Libraries.begin(), Libraries.end(), Same))
            Libraries.push_back(Folder);
    };
    for (const AnsiString& Steam : SteamFolders()) {
        Add(Steam);
        TVdfNode File;
        ReadVdfFile(Steam + "steamapps\\libraryfolders.vdf", File);
        if (const TVdfNode* List = File.Find("libraryfolders"))
            for (const TVdfNode& Entry : List->Children)
                if (!Entry.Key.empty() && Entry.Key.find_first_not_of("0123456789") == AnsiString::npos)
                    Add(AsFolder(WindowsPath(Entry.Block ? Entry.Text("path") : Entry.Value)));
    }
    return Libraries;
}

// The first of Programs in the game's folder in the first of Steam's libraries whose manifest of the
// app says it is fully installed (StateFlags 4) and names a folder holding one.
AnsiString SteamGamePath(const char* AppId, const std::vector<const char*>& Programs)
{
    for (const AnsiString& Library : SteamLibraries()) {
        TVdfNode Manifest;
        ReadVdfFile(Library + "steamapps\\appmanifest_" + AppId + ".acf", Manifest);
        const TVdfNode* App = Manifest.Find("AppState");
        if (!App)
            continue;
        const AnsiString State = App->Text("StateFlags");
        const AnsiString InstallDir = App->Text("installdir");
        // The folder's own name, never a path leading elsewhere.
        if (State.empty() || State.find_first_not_of("0123456789") != AnsiString::npos ||
            !(std::strtoul(State.c_str(), nullptr, 10) & 4) || InstallDir.empty() || InstallDir == "." ||
            InstallDir == ".." || InstallDir.find_first_of("\\/:") != AnsiString::npos)
            continue;
        const AnsiString Path = FirstProgramIn(Library + "steamapps\\common\\" + InstallDir + "\\", Programs);
        if (!Path.empty())
            return Path;
    }
    return AnsiString();
}

}  // namespace

// The full path of the executable that Place gives for Game; empty when it gives none. A
// registry value of the wrong type in HKEY_LOCAL_MACHINE raises.
AnsiString TRulesForm::ReadInstallPath(const TGameProfile& Game, const TInstallPlace& Place)
{
    switch (Place.Kind) {
    case TPlaceKind::MachineKey:
    case TPlaceKind::UserKey:
        for (const REGSAM View : Place.Views) {
            AnsiString Path;
            try {
                Path = ReadInstallPath(Place, View);
            } catch (const ERegistryException&) {
                // Another program's key (CnCNet's client rewrites it at each start): unreadable,
                // it is passed over as a missing one is.
                if (Place.Kind == TPlaceKind::MachineKey)
                    throw;
            }
            if (!Path.empty())
                return Path;
        }
        return AnsiString();
    case TPlaceKind::Environment:
        if (EnvironmentText(Place.Key) != Game.SteamAppId)
            return AnsiString();
        return FirstProgramIn(AsFolder(WindowsPath(EnvironmentText(Place.PathValue))), Place.ProgramNames);
    case TPlaceKind::SteamLibraries:
        return SteamGamePath(Game.SteamAppId, Place.ProgramNames);
    case TPlaceKind::ProgramFolder:
    case TPlaceKind::CurrentFolder: {
        const AnsiString Folder = OwnFolder(Place.Kind == TPlaceKind::ProgramFolder);
        return HoldsOneSet(Folder, Game.FolderMarkers) ? FirstProgramIn(Folder, Place.ProgramNames) : AnsiString();
    }
    }
    return AnsiString();
}

// The same in one registry view: empty when the key is missing, a value is missing or empty, or
// no program of ProgramNames stands in the folder.
AnsiString TRulesForm::ReadInstallPath(const TInstallPlace& Place, REGSAM View)
{
    TRegistry Registry(KEY_READ, View);
    Registry.RootKey = Place.Kind == TPlaceKind::UserKey ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    if (!Registry.OpenKey(Place.Key, false))
        return AnsiString();
    const AnsiString Path = Registry.ReadString(Place.PathValue);
    if (!Place.FileNameValue && Place.ProgramNames.empty())
        return Path;
    const AnsiString FileName = Place.FileNameValue ? Registry.ReadString(Place.FileNameValue) : AnsiString();
    const AnsiString Folder = AsFolder(Path);
    if (Place.FileNameValue)
        return Folder.empty() || FileName.empty() ? AnsiString() : Folder + FileName;
    return FirstProgramIn(Folder, Place.ProgramNames);
}

void TRulesForm::DetectGame(const TGameProfile& Game)
{
    AnsiString& InstallDir = this->*Game.GameDir;
    InstallDir = "";
    try {
        for (const TInstallPlace& Place : Game.InstallPlaces) {
            InstallDir = ReadInstallPath(Game, Place);
            if (!InstallDir.empty())
                break;
        }
    } catch (const ERegistryException& E) {
        ShowMessage(E.Message);
        return;
    }
    if (InstallDir.empty())
        return;
    // The install path names the executable: the folder is everything up to its last backslash.
    const AnsiString InstallPath = InstallDir;
    const size_t Separator = LastDelimiter("\\", InstallPath);
    const size_t NameStart = Separator == AnsiString::npos ? 0 : Separator + 1;
    this->*Game.GameExe = InstallPath.substr(NameStart);
    InstallDir = InstallPath.substr(0, NameStart);
    GameTab.Tabs.Add(Game.TabCaption);
}

// The game on the selected tab, Red Alert looked up first; null when no game's tab is selected.
const TRulesForm::TGameProfile* TRulesForm::SelectedGame()
{
    for (const TGameProfile* Game : {&RedAlert, &TiberianSun})
        if (GameTab.Tabs.IndexOf(Game->TabCaption) == GameTab.TabIndex())
            return Game;
    return nullptr;
}

void TRulesForm::ApplyGameProfile()
{
    if (GameTab.Tabs.Count() == 0) {
        RunButton.SetEnabled(false);
        NoRulesButton.SetEnabled(false);
        GameDir = "";
        GameExe = "";
        for (TWinControl* Control : {static_cast<TWinControl*>(&RuleDirLabel), static_cast<TWinControl*>(&DirText),
                                     static_cast<TWinControl*>(&Information), static_cast<TWinControl*>(&RulesList),
                                     static_cast<TWinControl*>(&NameList), static_cast<TWinControl*>(&BrowseButton),
                                     static_cast<TWinControl*>(&RulesDir)})
            Control->SetVisible(false);
        NotFound.SetVisible(true);
        IniSection = "";
        NameKey = "";
        NamePrefix = "";
        RulesDir.SetText("Urk!");
        return;
    }
    const TGameProfile* Game = SelectedGame();
    if (!Game)
        return;
    DirText.SetCaption(this->*Game->GameDir);
    DirText.SetFontColor(Game->DirColor);
    GameDir = this->*Game->GameDir;
    GameExe = this->*Game->GameExe;
    IniSection = Game->IniSection;
    NameKey = Game->NameKey;
    NamePrefix = Game->NamePrefix;
    MarkerKey = Game->MarkerKey;
    // Last: the change notification rescans with the fields above.
    RulesDir.SetText(this->*Game->RulesFolder);
}

void TRulesForm::StoreRulesFolder()
{
    if (const TGameProfile* Game = SelectedGame())
        this->*Game->RulesFolder = RulesDir.Text();
}

void TRulesForm::GameTabChanging(TObject*, bool& AllowChange)
{
    // A run command under way starts the game whose Rules.ini it wrote, and saves its tab.
    if (Launching) {
        AllowChange = false;
        return;
    }
    StoreRulesFolder();
}

void TRulesForm::GameTabChange(TObject*)
{
    Activated = 1;
    RunButton.SetEnabled(false);
    ApplyGameProfile();
}

void TRulesForm::LoadSettings()
{
    TRegistry Registry(KEY_READ);
    Registry.RootKey = HKEY_LOCAL_MACHINE;
    TSRulesFolder = "";
    RARulesFolder = "";
    try {
        if (Registry.OpenKey(SettingsKey, false)) {
            TSRulesFolder = Registry.ReadString("TSRulesDir");
            RARulesFolder = Registry.ReadString("RARulesDir");
            GameTab.SetTabIndex(Registry.ReadInteger("GameTab"));
            Registry.CloseKey();
        }
    } catch (const ERegistryException& E) {
        ShowMessage(E.Message);
        return;
    }
    if (TSRulesFolder.empty())
        TSRulesFolder = TSGameDir;
    if (RARulesFolder.empty())
        RARulesFolder = RAGameDir;
}

void TRulesForm::SaveSettings()
{
    TRegistry Registry(KEY_READ | KEY_WRITE);
    Registry.RootKey = HKEY_LOCAL_MACHINE;
    if (!Registry.OpenKey(SettingsKey, true)) {
        ShowMessage("Registry Key Creation Error. Could not save status.");
        return;
    }
    try {
        Registry.WriteString("TSRulesDir", TSRulesFolder);
        Registry.WriteString("RARulesDir", RARulesFolder);
        Registry.WriteInteger("GameTab", GameTab.TabIndex());
        Registry.CloseKey();
    } catch (const ERegistryException& E) {
        ShowMessage(E.Message);
    }
}
