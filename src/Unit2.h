// The folder chooser: picks the rules folder by drive and directory.
#pragma once
#include "FileCtrls.h"
#include "Forms.h"

class TRulesDirForm : public TForm {
public:
    TPanel RulesPanelBorder;
    TDriveComboBox DriveListBox;
    TDirectoryListBox DirListBox;
    TBitBtn OKBtn;
    TBitBtn CancelBtn;

    TRulesDirForm();
    ~TRulesDirForm() override;

    void FormActivate(TObject* Sender);
    void DriveListBoxChange(TObject* Sender);

private:
    TFont ListFont;
};

extern TRulesDirForm* RulesDirForm;
