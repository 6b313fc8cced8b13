#include "Unit1.h"

#include "Unit2.h"
#include "Unit3.h"
#include "resource.h"

TRulesForm* RulesForm = nullptr;

// The TrueType twin of the dialog font: it has the Greek and Cyrillic letters, and Windows links it to
// fonts of the other scripts. The bitmap font of that name has only those of one code page.
TRulesForm::TRulesForm() : TForm(IDD_RULESFORM), LargeFont("Microsoft Sans Serif", 13)
{
    Bind(GameTab, IDC_GAMETAB);
    Bind(RuleDirLabel, IDC_RULEDIRLABEL);
    Bind(RulesDir, IDC_RULESDIR);
    Bind(BrowseButton, IDC_BROWSEBUTTON);
    Bind(Information, IDC_INFORMATION);
    Bind(RunButton, IDC_RUNBUTTON);
    Bind(NoRulesButton, IDC_NORULESBUTTON);
    Bind(AboutButton, IDC_ABOUTBUTTON);
    Bind(QuitButton, IDC_QUITBUTTON);
    Bind(NameList, IDC_NAMELIST);
    Bind(RulesList, IDC_RULESLIST);
    Bind(DirText, IDC_DIRTEXT);
    Bind(NotFound, IDC_NOTFOUND);

    SetIcon(IDI_KESTERLY);
    for (TWinControl* Control : {static_cast<TWinControl*>(&RuleDirLabel), static_cast<TWinControl*>(&Information),
                                 static_cast<TWinControl*>(&RulesList), static_cast<TWinControl*>(&DirText),
                                 static_cast<TWinControl*>(&NotFound)})
        Control->SetFont(LargeFont);
    for (TLabel* Label : {&RuleDirLabel, &Information, static_cast<TLabel*>(&DirText), &NotFound})
        Label->Page = &GameTab;
    DirText.SetFontColor(clMaroon);
    NameList.SetItemHeight(13);
    RulesList.SetItemHeight(16);
    RunButton.SetKind(bkOK);
    RunButton.SetGlyph(IDI_GLYPH_OK);
    NoRulesButton.SetKind(bkOK);
    NoRulesButton.SetGlyph(IDI_GLYPH_OK);
    AboutButton.Cancel = true;
    AboutButton.ModalResult = mrCancel;
    AboutButton.SetGlyph(IDI_GLYPH_ABOUT);
    QuitButton.SetKind(bkCancel);
    QuitButton.SetGlyph(IDI_GLYPH_CANCEL);
    ActiveControl = &GameTab;

    OnActivate = [this](TObject* Sender) { FormActivate(Sender); };
    OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
    GameTab.OnChange = [this](TObject* Sender) { GameTabChange(Sender); };
    GameTab.OnChanging = [this](TObject* Sender, bool& AllowChange) { GameTabChanging(Sender, AllowChange); };
    RulesDir.OnChange = [this](TObject* Sender) { RulesDirChange(Sender); };
    BrowseButton.OnClick = [this](TObject* Sender) { BrowseButtonClick(Sender); };
    RunButton.OnClick = [this](TObject* Sender) { RunButtonClick(Sender); };
    NoRulesButton.OnClick = [this](TObject* Sender) { NoRulesButtonClick(Sender); };
    AboutButton.OnClick = [this](TObject* Sender) { AboutButtonClick(Sender); };
    QuitButton.OnClick = [this](TObject* Sender) { QuitButtonClick(Sender); };
    RulesList.OnClick = [this](TObject* Sender) { RulesListClick(Sender); };
}

TRulesForm::~TRulesForm()
{
    if (RulesForm == this)
        RulesForm = nullptr;
}

void TRulesForm::FormActivate(TObject*)
{
    if (ActivationDone)
        return;
    ActivationDone = true;
    SetCaption("Kesterly (" + AboutForm->Version.Caption() + ")");
    DetectTiberianSun();
    DetectRedAlert();
    LoadSettings();
    if (GameTab.TabIndex() >= GameTab.Tabs.Count())
        GameTab.SetTabIndex(0);
    Activated = 1;
    ApplyGameProfile();
}

void TRulesForm::QuitButtonClick(TObject*)
{
    if (Launching)
        return;
    SaveSettings();
    Application->Terminate();
}

void TRulesForm::FormClose(TObject*, TCloseAction& Action)
{
    if (Launching) {
        Action = caNone;  // the run command under way ends the program itself
        return;
    }
    SaveSettings();
    Application->Terminate();
}

void TRulesForm::AboutButtonClick(TObject*)
{
    if (Launching)
        return;
    AboutForm->ShowModal();
}
