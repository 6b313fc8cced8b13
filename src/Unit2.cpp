#include "Unit2.h"

#include "Unit1.h"
#include "resource.h"

TRulesDirForm* RulesDirForm = nullptr;

TRulesDirForm::TRulesDirForm() : TForm(IDD_RULESDIRFORM), ListFont("Microsoft Sans Serif", 13)
{
    Bind(RulesPanelBorder, IDC_RULESPANELBORDER);
    Bind(DriveListBox, IDC_DRIVELISTBOX);
    Bind(DirListBox, IDC_DIRLISTBOX);
    Bind(OKBtn, IDC_OKBTN);
    Bind(CancelBtn, IDC_CANCELBTN);

    SetIcon(IDI_KESTERLY);
    DriveListBox.SetFont(ListFont);
    DriveListBox.SetItemHeight(16);
    DirListBox.SetFont(ListFont);
    DirListBox.SetItemHeight(16);
    OKBtn.SetKind(bkOK);
    OKBtn.SetGlyph(IDI_GLYPH_OK);
    CancelBtn.SetKind(bkCancel);
    CancelBtn.SetGlyph(IDI_GLYPH_CANCEL);
    ActiveControl = &DirListBox;

    OnActivate = [this](TObject* Sender) { FormActivate(Sender); };
    DriveListBox.OnChange = [this](TObject* Sender) { DriveListBoxChange(Sender); };
}

TRulesDirForm::~TRulesDirForm()
{
    if (RulesDirForm == this)
        RulesDirForm = nullptr;
}

void TRulesDirForm::FormActivate(TObject*)
{
    const AnsiString& Folder = RulesForm->CurrentRulesFolder;
    DirListBox.SetDirectory(Folder);
    DriveListBox.SetDrive(Folder.empty() ? '\0' : Folder[0]);
}

void TRulesDirForm::DriveListBoxChange(TObject*)
{
    DirListBox.SetDrive(DriveListBox.Drive());
}
