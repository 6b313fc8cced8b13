// The About box. Its Version label is where the program's version is written.
#pragma once
#include "Forms.h"

class TAboutForm : public TForm {
public:
    TPanel Panel1;
    TImage ProgramIcon;
    TLabel ProductName;
    TLabel Version;
    TLabel Copyright;
    TLabel Label1;
    TLabel Comments;
    TButton OKButton;

    TAboutForm();
    ~TAboutForm() override;
};

extern TAboutForm* AboutForm;
