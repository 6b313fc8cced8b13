// The main window: games on tabs, the rules folder and its rules files, and the run commands.
#pragma once
#include <optional>
#include <vector>

#include "Forms.h"
#include "VdfFiles.h"

// The kinds of place a game is looked up in.
enum class TPlaceKind {
    MachineKey,      // a key under HKEY_LOCAL_MACHINE
    UserKey,         // the same under HKEY_CURRENT_USER; a value that cannot be read is passed over
    SteamVariables,  // a pair of Steam's variables: the app id it started, and that app's folder
    SteamLibraries,  // steamapps\common\<installdir> of the game's app id, in Steam's libraries
    ProgramFolder,   // the folder kesterly.exe stands in, when it is the game's folder
    CurrentFolder,   // the current folder, when it is the game's folder
};

// Where a registry key keeps a game, in one of three ways: Value holds the full path of the program;
// or Value holds the folder and FileNameValue the program's file name; or, for a place that lists
// programs to look for, Value holds the folder they are looked for in.
struct TRegistryValues {
    TRegistryValues(const char* Key = nullptr, const char* Value = nullptr, const char* FileNameValue = nullptr,
                    std::vector<REGSAM> Views = {KEY_WOW64_32KEY})
        : Key(Key), Value(Value), FileNameValue(FileNameValue), Views(std::move(Views))
    {
    }
    const char* Key;
    const char* Value;
    const char* FileNameValue;
    std::vector<REGSAM> Views;  // looked in, in this order
};

// Steam's variables: the one holding the app id of the game it started, the one holding its folder.
struct TSteamVariables {
    const char* AppIdName = nullptr;
    const char* FolderName = nullptr;
};

// A place where a game may be installed. Every place that names a folder (all but the registry's
// full-path and folder-and-file-name ones) lists the programs looked for in it, in order, and the
// files that must stand beside the program for the folder to count.
struct TInstallPlace {
    TPlaceKind Kind;
    TRegistryValues Registry{};   // MachineKey and UserKey
    TSteamVariables Variables{};  // SteamVariables
    std::vector<const char*> ProgramNames{};
    std::vector<const char*> Companions{};
};

class TRulesForm : public TForm {
public:
    TTabControl GameTab;
    TLabel RuleDirLabel;
    TEdit RulesDir;
    TButton BrowseButton;
    TLabel Information;
    TBitBtn RunButton;
    TBitBtn NoRulesButton;
    TBitBtn AboutButton;
    TBitBtn QuitButton;
    TListBox NameList;
    TListBox RulesList;
    TStaticText DirText;
    TLabel NotFound;

    // Passed to the game after its path, as they stand: what followed Kesterly's own name on its
    // command line (Steam's and the player's arguments for the game). Empty on a double-click.
    AnsiString GameArguments;

    TRulesForm();
    ~TRulesForm() override;

    void QuitButtonClick(TObject* Sender);
    void FormActivate(TObject* Sender);
    void BrowseButtonClick(TObject* Sender);
    void RulesDirChange(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void RulesListClick(TObject* Sender);
    void RunButtonClick(TObject* Sender);
    void AboutButtonClick(TObject* Sender);
    void NoRulesButtonClick(TObject* Sender);
    void GameTabChange(TObject* Sender);
    void GameTabChanging(TObject* Sender, bool& AllowChange);

private:
    AnsiString TSRulesFolder;
    AnsiString RARulesFolder;
    AnsiString CurrentRulesFolder;
    AnsiString TSGameDir;
    AnsiString RAGameDir;
    AnsiString GameDir;
    AnsiString TSGameExe;
    AnsiString RAGameExe;
    AnsiString GameExe;
    AnsiString IniSection;
    AnsiString NameKey;
    AnsiString NamePrefix;
    AnsiString MarkerKey;
    int Activated = 0;

    bool ActivationDone = false;  // the activation sequence runs on the first activation only
    bool Launching = false;       // a run command is under way: no tab change, Browse, About or way out
    TFont LargeFont;
    std::optional<std::vector<TSteamLibraryEntry>> SteamLibraries;  // read on first need, for both games

    // One row per supported game.
    struct TGameProfile {
        const char* TabCaption;
        std::vector<TInstallPlace> InstallPlaces;  // looked up in this order; the first with a path wins
        const char* SteamAppId;
        // A folder is the game's when it holds every file of one of these sets.
        std::vector<std::vector<const char*>> FolderMarkers;
        AnsiString TRulesForm::*GameDir;
        AnsiString TRulesForm::*GameExe;
        AnsiString TRulesForm::*RulesFolder;
        COLORREF DirColor;
        const char* IniSection;
        const char* NameKey;
        const char* NamePrefix;
        const char* MarkerKey;
    };
    static const TGameProfile TiberianSun;
    static const TGameProfile RedAlert;

    void DetectTiberianSun();
    void DetectRedAlert();
    void DetectGame(const TGameProfile& Game);
    AnsiString FindProgram(const TGameProfile& Game, const TInstallPlace& Place);
    const TGameProfile* SelectedGame();
    void ApplyGameProfile();
    void StoreRulesFolder();
    void LoadSettings();
    void SaveSettings();
    void ScanRulesFolder();
    int SelectedRulesIndex();
    void StartGame();
    AnsiString KeepInstalledRules(const AnsiString& Replacement);
    bool GameDirUsable();
    void ShowSystemError(unsigned long Code);

    friend class TRulesDirForm;    // opens on CurrentRulesFolder
    friend struct RulesFormProbe;  // lets the tests read the window's state
};

extern TRulesForm* RulesForm;
