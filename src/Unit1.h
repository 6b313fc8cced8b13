// The main window: games on tabs, the rules folder and its rules files, and the run commands.
#pragma once
#include <vector>

#include "Forms.h"

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

    // The kinds of place a game is looked up in.
    enum class TPlaceKind {
        MachineKey,      // a key under HKEY_LOCAL_MACHINE, as below
        UserKey,         // the same under HKEY_CURRENT_USER; a value that cannot be read is skipped
        Environment,     // Key: the variable holding a Steam app id; PathValue: the one holding the folder
        SteamLibraries,  // steamapps\common\<installdir> of the game's app id, in Steam's libraries
        ProgramFolder,   // the folder kesterly.exe stands in, when it is the game's folder
        CurrentFolder,   // the current folder, when it is the game's folder
    };

    // A place where a game may be installed. In a registry key, in one of three ways: with neither
    // FileNameValue nor ProgramNames, PathValue holds the full path of the executable; otherwise
    // PathValue holds the install folder, and the executable is the file that FileNameValue names,
    // or else the first of ProgramNames that stands in that folder. Every other kind of place names
    // a folder, in which the executable is the first of ProgramNames that stands there.
    struct TInstallPlace {
        TPlaceKind Kind;
        const char* Key;
        const char* PathValue;
        const char* FileNameValue;
        std::vector<const char*> ProgramNames{};
        std::vector<REGSAM> Views{KEY_WOW64_32KEY};  // the registry views looked in, in this order
    };

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
    static AnsiString ReadInstallPath(const TGameProfile& Game, const TInstallPlace& Place);
    static AnsiString ReadInstallPath(const TInstallPlace& Place, REGSAM View);
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
