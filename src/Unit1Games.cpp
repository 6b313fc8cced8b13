// Games and settings: detection of the installed games, switching between their tabs, and the
// settings remembered in the registry.
#include "Registry.h"
#include "Unit1.h"

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

}  // namespace

const TRulesForm::TGameProfile TRulesForm::TiberianSun = {
    "Tiberian SUN",
    {{"\\Software\\Westwood\\Tiberian Sun", "InstallPath", nullptr},
     {FirstDecadeKey, "ts_folder", "ts_executable"},
     {"\\Software\\EA Games\\Command and Conquer Tiberian Sun", "Install Dir", nullptr, TiberianSunPrograms,
      BothViews},
     {"\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Steam App 2229880", "InstallLocation", nullptr,
      TiberianSunPrograms, BothViews}},
    &TRulesForm::TSGameDir, &TRulesForm::TSGameExe, &TRulesForm::TSRulesFolder, clNavy, "General", "Name",
    "Tiberian Sun", "Name"};

const TRulesForm::TGameProfile TRulesForm::RedAlert = {
    "Red Alert",
    {{"\\Software\\Westwood\\Red Alert Windows 95 Edition", "InstallPath", nullptr},
     {"\\Software\\Westwood\\Alarmstufe Rot Windows 95 Edition", "InstallPath", nullptr},
     {"\\Software\\Westwood\\Alerte Rouge version Windows 95", "InstallPath", nullptr},
     {FirstDecadeKey, "ra_folder", "ra_executable"},
     {"\\Software\\EA Games\\Command and Conquer Red Alert", "Install Dir", nullptr, RedAlertPrograms, BothViews},
     {"\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Steam App 2229840", "InstallLocation", nullptr,
      RedAlertPrograms, BothViews}},
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

// The full path of the executable that Place records, from the first of its views that gives
// one; empty when none does. A value of the wrong type raises.
AnsiString TRulesForm::ReadInstallPath(const TInstallPlace& Place)
{
    for (const REGSAM View : Place.Views) {
        const AnsiString Path = ReadInstallPath(Place, View);
        if (!Path.empty())
            return Path;
    }
    return AnsiString();
}

// The same in one registry view: empty when the key is missing, a value is missing or empty, or
// no program of ProgramNames stands in the folder.
AnsiString TRulesForm::ReadInstallPath(const TInstallPlace& Place, REGSAM View)
{
    TRegistry Registry(KEY_READ, View);
    Registry.RootKey = HKEY_LOCAL_MACHINE;
    if (!Registry.OpenKey(Place.RegistryKey, false))
        return AnsiString();
    const AnsiString Path = Registry.ReadString(Place.PathValue);
    if (!Place.FileNameValue && Place.ProgramNames.empty())
        return Path;
    const AnsiString FileName = Place.FileNameValue ? Registry.ReadString(Place.FileNameValue) : AnsiString();
    if (Path.empty())
        return AnsiString();
    // The folder ends in exactly one backslash, however the installer wrote it.
    AnsiString Folder = Path;
    while (EndsWithBackslash(Folder))
        Folder.pop_back();
    Folder += "\\";
    if (Place.FileNameValue)
        return FileName.empty() ? AnsiString() : Folder + FileName;
    for (const char* Program : Place.ProgramNames)
        if (FileExists(Folder + Program))
            return Folder + Program;
    return AnsiString();
}

void TRulesForm::DetectGame(const TGameProfile& Game)
{
    AnsiString& InstallDir = this->*Game.GameDir;
    InstallDir = "";
    try {
        for (const TInstallPlace& Place : Game.InstallPlaces) {
            InstallDir = ReadInstallPath(Place);
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
