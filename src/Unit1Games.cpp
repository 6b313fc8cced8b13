// Games and settings: detection of the installed games, switching between their tabs, and the
// settings remembered in the registry.
#include <algorithm>
#include <cwchar>

#include "Classes.h"
#include "Registry.h"
#include "Unit1.h"
#include "resource.h"

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
// CnCNet's packages. Tiberian Sun: its client, TiberianSun.exe, starts the game (whose Game.exe
// refuses to start without it), so the client comes first wherever it stands. Red Alert: its client,
// RedAlert.exe, beside the game, ra95.dat (no .exe). Their installers (Inno Setup; Red Alert's
// installs in 64-bit mode) record the folder in their uninstall entries. Red Alert's client keeps
// the folder under the key of Tiberian Sun's, which is where every CnCNet client writes by default.
const std::vector<const char*> CnCNetPrograms = {"TiberianSun.exe"};
const std::vector<const char*> CnCNetRedAlertPrograms = {"RedAlert.exe"};
const std::vector<const char*> CnCNetRedAlertGame = {"ra95.dat"};
const std::vector<REGSAM> SixtyFourBitFirst = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
const std::vector<const char*> AnyTiberianSunPrograms = {"TiberianSun.exe", "TSLauncher.exe", "SUN.exe", "Game.exe"};
const std::vector<const char*> AnyRedAlertPrograms = {"RA95Launcher.exe", "RA95.exe", "RedAlert.exe"};

}  // namespace

const TRulesForm::TGameProfile TRulesForm::TiberianSun = {
    "Tiberian SUN",
    {{TPlaceKind::MachineKey, {"\\Software\\Westwood\\Tiberian Sun", "InstallPath"}},
     {TPlaceKind::MachineKey, {FirstDecadeKey, "ts_folder", "ts_executable"}},
     {TPlaceKind::MachineKey, {"\\Software\\EA Games\\Command and Conquer Tiberian Sun", "Install Dir", nullptr, BothViews},
      {}, TiberianSunPrograms},
     {TPlaceKind::MachineKey,
      {"\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Steam App 2229880", "InstallLocation", nullptr,
       BothViews},
      {}, TiberianSunPrograms},
     {TPlaceKind::MachineKey,
      {"\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{D22A250A-085F-415E-959E-8DB49F4E4CCA}_is1",
       "InstallLocation", nullptr, BothViews},
      {}, CnCNetPrograms},
     {TPlaceKind::UserKey, {"\\Software\\TiberianSun", "InstallPath"}, {}, CnCNetPrograms},
     {TPlaceKind::SteamVariables, {}, {"STEAM_APPID", "STEAM_APP_PATH"}, AnyTiberianSunPrograms},
     {TPlaceKind::SteamVariables, {}, {"SteamAppId", "STEAM_COMPAT_INSTALL_PATH"}, AnyTiberianSunPrograms},
     {TPlaceKind::SteamVariables, {}, {"STEAM_COMPAT_APP_ID", "STEAM_COMPAT_INSTALL_PATH"}, AnyTiberianSunPrograms},
     {TPlaceKind::SteamLibraries, {}, {}, AnyTiberianSunPrograms},
     {TPlaceKind::ProgramFolder, {}, {}, AnyTiberianSunPrograms},
     {TPlaceKind::CurrentFolder, {}, {}, AnyTiberianSunPrograms}},
    "2229880", {{"TIBSUN.MIX"}, {"TiberianSun.exe", "Game.exe"}},
    &TRulesForm::TSGameDir, &TRulesForm::TSGameExe, &TRulesForm::TSRulesFolder, clNavy, "General", "Name",
    "Tiberian Sun", "Name"};

const TRulesForm::TGameProfile TRulesForm::RedAlert = {
    "Red Alert",
    {{TPlaceKind::MachineKey, {"\\Software\\Westwood\\Red Alert Windows 95 Edition", "InstallPath"}},
     {TPlaceKind::MachineKey, {"\\Software\\Westwood\\Alarmstufe Rot Windows 95 Edition", "InstallPath"}},
     {TPlaceKind::MachineKey, {"\\Software\\Westwood\\Alerte Rouge version Windows 95", "InstallPath"}},
     {TPlaceKind::MachineKey, {FirstDecadeKey, "ra_folder", "ra_executable"}},
     {TPlaceKind::MachineKey, {"\\Software\\EA Games\\Command and Conquer Red Alert", "Install Dir", nullptr, BothViews},
      {}, RedAlertPrograms},
     {TPlaceKind::MachineKey,
      {"\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Steam App 2229840", "InstallLocation", nullptr,
       BothViews},
      {}, RedAlertPrograms},
     {TPlaceKind::MachineKey,
      {"\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{73F3D3B5-4AC4-4D01-A65C-0A4B4D8723B5}_is1",
       "InstallLocation", nullptr, SixtyFourBitFirst},
      {}, CnCNetRedAlertPrograms, CnCNetRedAlertGame},
     {TPlaceKind::UserKey, {"\\Software\\TiberianSun", "InstallPath"}, {}, CnCNetRedAlertPrograms, CnCNetRedAlertGame},
     {TPlaceKind::SteamVariables, {}, {"STEAM_APPID", "STEAM_APP_PATH"}, RedAlertPrograms},
     {TPlaceKind::SteamVariables, {}, {"SteamAppId", "STEAM_COMPAT_INSTALL_PATH"}, RedAlertPrograms},
     {TPlaceKind::SteamVariables, {}, {"STEAM_COMPAT_APP_ID", "STEAM_COMPAT_INSTALL_PATH"}, RedAlertPrograms},
     {TPlaceKind::SteamLibraries, {}, {}, RedAlertPrograms},
     {TPlaceKind::ProgramFolder, {}, {}, AnyRedAlertPrograms},
     {TPlaceKind::CurrentFolder, {}, {}, AnyRedAlertPrograms}},
    "2229840", {{"REDALERT.MIX"}, {"RedAlert.exe", "ra95.dat"}},
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

// A Linux path ("/home/deck/...") as Windows programs under Wine reach it: the prefix's own Windows
// path, as Wine's kernel32 gives it (drive Z: where a drive stands for the Linux root, else
// "\\?\unix\..."), or on drive Z: where that function is missing. Empty when it has no spelling in
// the code page.
AnsiString WindowsPathOfLinux(const AnsiString& Path)
{
    using TDosFileName = wchar_t*(__cdecl*)(const char*);
    static const auto DosFileName = SystemFunction<TDosFileName>("kernel32.dll", "wine_get_dos_file_name");
    if (!DosFileName) {
        AnsiString Windows = "Z:" + Path;
        std::replace(Windows.begin(), Windows.end(), '/', '\\');
        return Windows;
    }
    wchar_t* Dos = DosFileName(Utf8FromAnsi(Path).c_str());  // Linux names are UTF-8
    if (!Dos)
        return AnsiString();
    const std::optional<AnsiString> Windows = AnsiName(Dos, std::wcslen(Dos));
    HeapFree(GetProcessHeap(), 0, Dos);
    return Windows.value_or(AnsiString());
}

// A path from a registry value, a variable or a Steam file in the one form that everything else
// reads: "/" read as "\" (CnCNet's client wrote "C:/Games/CnCNet/TiberianSun/" from 2020 to 2022), and
// a Linux path as the prefix's Windows path. "//server/share" is a network path, not a Linux one.
AnsiString PathForm(AnsiString Path)
{
    if (Path.size() > 1 && Path[0] == '/' && Path[1] != '/')
        Path = WindowsPathOfLinux(Path);
    std::replace(Path.begin(), Path.end(), '/', '\\');
    return Path;
}

// The same for a folder, ending in exactly one backslash. A text that then is no full path (empty,
// or relative) gives empty text: the place is passed over as one that names no folder.
AnsiString FolderForm(const AnsiString& Path)
{
    const AnsiString Folder = AsFolder(PathForm(Path));
    return IsFullPath(Folder) ? Folder : AnsiString();
}

// A text of Steam's files (UTF-8) in the code page; empty when it has no exact spelling there.
AnsiString SteamText(const AnsiString& Text)
{
    return AnsiFromUtf8(Text).value_or(AnsiString());
}

// A folder that Wine names in a variable as an NT path: "\??\Z:\home\deck", or, in a prefix
// without a drive for the Linux root, "\??\unix\home\deck".
AnsiString WineFolder(const char* Variable)
{
    AnsiString Path = EnvironmentText(Variable);
    if (Path.compare(0, 4, "\\??\\") == 0)
        Path.erase(0, 4);
    if (FindText(Path, "unix\\") == 0) {
        Path.erase(0, 4);
        std::replace(Path.begin(), Path.end(), '\\', '/');
    }
    return FolderForm(Path);
}

// The folder of kesterly.exe.
AnsiString ProgramFolder()
{
    const std::wstring Path = ThisProgramFile();
    return AsFolder(AnsiText(Path.c_str(), Path.rfind(L'\\') + 1));
}

AnsiString CurrentFolder()
{
    return AsFolder(CurrentFolderText());
}

// Whether Folder holds every one of Files.
bool HoldsAll(const AnsiString& Folder, const std::vector<const char*>& Files)
{
    return !Folder.empty() &&
           std::all_of(Files.begin(), Files.end(), [&](const char* File) { return FileExists(Folder + File); });
}

// Whether Folder holds every file of one of the sets.
bool HoldsOneSet(const AnsiString& Folder, const std::vector<std::vector<const char*>>& Sets)
{
    return std::any_of(Sets.begin(), Sets.end(), [&](const std::vector<const char*>& Set) { return HoldsAll(Folder, Set); });
}

// The full path of the first of the place's programs that stands in Folder, with the place's
// companion files; empty when none does. Kesterly itself, copied in under the name of one of them, is
// passed over: started, it would start Kesterly again.
AnsiString ProgramIn(const AnsiString& Folder, const TInstallPlace& Place)
{
    if (HoldsAll(Folder, Place.Companions))
        for (const char* Program : Place.ProgramNames)
            if (FileExists(Folder + Program) && !IsThisProgram(Folder + Program))
                return Folder + Program;
    return AnsiString();
}

// The full path of the program that a registry place gives in one view: empty when the key is
// missing, a value is missing or empty, or no program stands in the folder. The places that record
// the full path, or the folder and the file name, are taken without looking for the program. A value
// of the wrong type raises ERegistryException.
AnsiString ReadRegistryView(const TInstallPlace& Place, REGSAM View)
{
    TRegistry Registry(KEY_READ, View);
    Registry.RootKey = Place.Kind == TPlaceKind::UserKey ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    const TRegistryValues& Values = Place.Registry;
    if (!Registry.OpenKey(Values.Key, false))
        return AnsiString();
    const AnsiString Path = Registry.ReadString(Values.Value);
    if (!Place.ProgramNames.empty())
        return ProgramIn(FolderForm(Path), Place);
    if (!Values.FileNameValue)
        return PathForm(Path);
    const AnsiString FileName = Registry.ReadString(Values.FileNameValue);
    const AnsiString Folder = AsFolder(PathForm(Path));
    return Folder.empty() || FileName.empty() ? AnsiString() : Folder + FileName;
}

// The same in the first of the place's views that gives a program.
AnsiString ReadRegistryPlace(const TInstallPlace& Place)
{
    for (const REGSAM View : Place.Registry.Views) {
        AnsiString Path;
        try {
            Path = ReadRegistryView(Place, View);
        } catch (const ERegistryException&) {
            // Another program's key (CnCNet's client rewrites it at each start): unreadable, it is
            // passed over as a missing one is.
            if (Place.Kind == TPlaceKind::MachineKey)
                throw;
        }
        if (!Path.empty())
            return Path;
    }
    return AnsiString();
}

// The Steam folders to start from: Steam's own folder on Windows (Proton writes a libraryfolders.vdf
// there in every prefix); under Wine the library that holds the prefix
// (\??\Z:\home\deck\.local\share\Steam\steamapps\compatdata\2229880\pfx) and the Steam folders of the
// home that the prefix's path names, as Steam, its link and its Flatpak keep them; then the folder
// that Steam records as its own ("c:/program files (x86)/steam"), and the Steam folders of the home
// of Wine's user.
std::vector<AnsiString> SteamFolders()
{
    std::vector<AnsiString> Folders = {"C:\\Program Files (x86)\\Steam\\"};
    const auto AddHome = [&](const AnsiString& Home) {
        if (!Home.empty())
            for (const char* Steam : {".local\\share\\Steam\\", ".steam\\root\\",
                                      ".var\\app\\com.valvesoftware.Steam\\.local\\share\\Steam\\"})
                Folders.push_back(Home + Steam);
    };
    const AnsiString Prefix = WineFolder("WINECONFIGDIR");
    const size_t Library = FindText(Prefix, "\\steamapps\\compatdata\\");
    if (Library != AnsiString::npos)
        Folders.push_back(Prefix.substr(0, Library + 1));
    size_t Home = AnsiString::npos;
    for (const char* Steam : {"\\.local\\share\\Steam\\", "\\.steam\\", "\\.var\\app\\com.valvesoftware.Steam\\"})
        Home = std::min(Home, FindText(Prefix, Steam));
    if (Home != AnsiString::npos)
        AddHome(Prefix.substr(0, Home + 1));
    static const TInstallPlace SteamPath = {TPlaceKind::UserKey, {"\\Software\\Valve\\Steam", "SteamPath"}};
    const AnsiString Own = FolderForm(ReadRegistryPlace(SteamPath));
    if (!Own.empty())
        Folders.push_back(Own);
    AddHome(WineFolder("WINEHOMEDIR"));
    return Folders;
}

// Steam's libraries: each Steam folder to start from, and each library its libraryfolders.vdf lists,
// once each, in this order, each entry's path in the one form. A Steam folder is usually the first
// library of its own list: where that entry lists apps, they decide for the folder too.
std::vector<TSteamLibraryEntry> ReadSteamLibraries()
{
    std::vector<TSteamLibraryEntry> Libraries;
    const auto Add = [&](const TSteamLibraryEntry& Library) {
        const auto Same = [&](const TSteamLibraryEntry& Known) { return SameFileName(Known.Path, Library.Path); };
        if (!Library.Path.empty() && std::none_of(Libraries.begin(), Libraries.end(), Same))
            Libraries.push_back(Library);
    };
    for (const AnsiString& Steam : SteamFolders()) {
        TVdfNode File;
        ReadVdfFile(Steam + "steamapps\\libraryfolders.vdf", File);
        std::vector<TSteamLibraryEntry> Listed = SteamLibraryEntries(File);
        for (TSteamLibraryEntry& Entry : Listed)
            Entry.Path = FolderForm(SteamText(Entry.Path));
        const auto Own = std::find_if(Listed.begin(), Listed.end(),
                                      [&](const TSteamLibraryEntry& Entry) { return SameFileName(Entry.Path, Steam); });
        Add(Own != Listed.end() ? *Own : TSteamLibraryEntry{Steam, false, {}});
        for (const TSteamLibraryEntry& Entry : Listed)
            Add(Entry);
    }
    return Libraries;
}

// The program in the game's folder in the first of Steam's libraries that may hold the app (no file
// is opened in one whose list names other apps only) and whose manifest of the app says it is fully
// installed (StateFlags 4) and names a folder holding one of the place's programs.
AnsiString SteamGamePath(const std::vector<TSteamLibraryEntry>& Libraries, const char* AppId,
                         const TInstallPlace& Place)
{
    for (const TSteamLibraryEntry& Library : Libraries) {
        if (!Library.MayHold(AppId))
            continue;
        TVdfNode Manifest;
        ReadVdfFile(Library.Path + "steamapps\\appmanifest_" + AppId + ".acf", Manifest);
        const TVdfNode* App = Manifest.Find("AppState");
        if (!App)
            continue;
        const std::optional<std::uint32_t> State = App->Number("StateFlags");
        const AnsiString InstallDir = SteamText(App->Text("installdir"));
        // The folder's own name, never a path leading elsewhere.
        if (!State || !(*State & 4) || InstallDir.empty() || InstallDir == "." || InstallDir == ".." ||
            InstallDir.find_first_of("\\/:") != AnsiString::npos)
            continue;
        const AnsiString Path = ProgramIn(Library.Path + "steamapps\\common\\" + InstallDir + "\\", Place);
        if (!Path.empty())
            return Path;
    }
    return AnsiString();
}

// A folder of one's own (kesterly.exe's, the current one) counts only when it holds the game.
AnsiString GameFolderProgram(const AnsiString& Folder, const std::vector<std::vector<const char*>>& Markers,
                             const TInstallPlace& Place)
{
    return HoldsOneSet(Folder, Markers) ? ProgramIn(Folder, Place) : AnsiString();
}

}  // namespace

// The full path of the program that Place gives for Game; empty when it gives none. A registry value
// of the wrong type in HKEY_LOCAL_MACHINE raises.
AnsiString TRulesForm::FindProgram(const TGameProfile& Game, const TInstallPlace& Place)
{
    switch (Place.Kind) {
    case TPlaceKind::MachineKey:
    case TPlaceKind::UserKey:
        return ReadRegistryPlace(Place);
    case TPlaceKind::SteamVariables:
        if (EnvironmentText(Place.Variables.AppIdName) != Game.SteamAppId)
            return AnsiString();
        return ProgramIn(FolderForm(EnvironmentText(Place.Variables.FolderName)), Place);
    case TPlaceKind::SteamLibraries:
        if (!SteamLibraries)
            SteamLibraries = ReadSteamLibraries();
        return SteamGamePath(*SteamLibraries, Game.SteamAppId, Place);
    case TPlaceKind::ProgramFolder:
        return GameFolderProgram(ProgramFolder(), Game.FolderMarkers, Place);
    case TPlaceKind::CurrentFolder:
        return GameFolderProgram(CurrentFolder(), Game.FolderMarkers, Place);
    }
    return AnsiString();
}

void TRulesForm::DetectGame(const TGameProfile& Game)
{
    AnsiString& InstallDir = this->*Game.GameDir;
    InstallDir = "";
    try {
        for (const TInstallPlace& Place : Game.InstallPlaces) {
            InstallDir = FindProgram(Game, Place);
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
    GameTab.Tabs.AddObject(Game.TabCaption, &Game);
}

// The game on the selected tab, known by the tab's own data; null when no tab is selected.
const TRulesForm::TGameProfile* TRulesForm::SelectedGame()
{
    return static_cast<const TGameProfile*>(GameTab.Tabs.Objects(GameTab.TabIndex()));
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
        ShowMessage(LoadStr(IDS_SAVEFAILED));
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
