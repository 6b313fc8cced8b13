#include "Unit3.h"

#include "resource.h"

TAboutForm* AboutForm = nullptr;

TAboutForm::TAboutForm() : TForm(IDD_ABOUTFORM)
{
    Bind(Panel1, IDC_PANEL1);
    Bind(ProgramIcon, IDC_PROGRAMICON);
    Bind(ProductName, IDC_PRODUCTNAME);
    Bind(Version, IDC_VERSION);
    Bind(Copyright, IDC_COPYRIGHT);
    Bind(Label1, IDC_LABEL1);
    Bind(Comments, IDC_COMMENTS);
    Bind(OKButton, IDC_OKBUTTON);

    Panel1.Bevel = EDGE_ETCHED;  // lowered outer and raised inner bevel
    ProgramIcon.LoadBitmap(IDB_ABOUT);
    OKButton.Default = true;
    OKButton.ModalResult = mrOk;
    ActiveControl = &OKButton;
}

TAboutForm::~TAboutForm()
{
    if (AboutForm == this)
        AboutForm = nullptr;
}
