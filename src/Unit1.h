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

    // A registry key under HKEY_LOCAL_MACHINE where an installer records a game, in one of three
    // ways. With neither FileNameValue nor ProgramNames, PathValue holds the full path of the
    // executable. Otherwise PathValue holds the install folder, and the executable is the file
    // that FileNameValue names, or else the first of ProgramNames that stands in that folder.
    struct TInstallPlace {
        const char* RegistryKey;
        const char* PathValue;
        const char* FileNameValue;
        std::vector<const char*> ProgramNames{};
        std::vector<REGSAM> Views{KEY_WOW64_32KEY};  // the registry views looked in, in this order
    };

    // One row per supported game.
    struct TGameProfile {
        const char* TabCaption;
        std::vector<TInstallPlace> InstallPlaces;  // looked up in this order; the first with a path wins
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
    static AnsiString ReadInstallPath(const TInstallPlace& Place);
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
