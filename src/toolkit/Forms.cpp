#include "Forms.h"

#include <commctrl.h>

#include "Consts.h"

TApplication* Application = nullptr;

// TForm

TForm::TForm(int TemplateId)
{
    HWND Owner = Application && Application->MainForm ? Application->MainForm->Handle : nullptr;
    // The template of the language the program's texts are in (CreateDialogParam would take Windows'
    // choice of language, which is the same unless a test named one).
    if (const void* Template = FindResourceData(5 /* RT_DIALOG */, TemplateId))
        CreateDialogIndirectParamA(GetModuleHandleA(nullptr), static_cast<const DLGTEMPLATE*>(Template), Owner,
                                   DialogProc, reinterpret_cast<LPARAM>(this));
    const DWORD Error = GetLastError();  // before the texts below are made, which may change it
    if (!Handle)
        throw Exception(FmtLoadStr(IDS_WINDOWFAILED, {IntToStr(TemplateId), SysErrorMessage(Error)}));
}

TForm::~TForm()
{
    DestroyHandle();
    if (BigIcon)
        DestroyIcon(BigIcon);
    if (SmallIcon)
        DestroyIcon(SmallIcon);
}

void TForm::DestroyHandle()
{
    if (!Handle)
        return;
    // Destroying a window that holds the focus notifies the form (EN_KILLFOCUS, LBN_KILLFOCUS...): from
    // here on the dialog procedure hands nothing to the controls.
    SetWindowLongPtrA(Handle, DWLP_USER, 0);
    DestroyWindow(Handle);
    Handle = nullptr;
}

void TForm::Bind(TWinControl& Control, int Id)
{
    Control.Handle = GetDlgItem(Handle, Id);
    Control.Id = Id;
    Control.Form = this;
    Controls.push_back(&Control);
    Control.Attached();
}

TWinControl* TForm::FindControl(int Id) const
{
    for (TWinControl* Control : Controls)
        if (Control->Id == Id)
            return Control;
    return nullptr;
}

bool TForm::DialogKey(const MSG& Message)
{
    for (TWinControl* Control : Controls)
        if (Control->DialogKey(Message))
            return true;
    return false;
}

void TForm::SetIcon(int IconId)
{
    HINSTANCE Instance = GetModuleHandleA(nullptr);
    BigIcon = static_cast<HICON>(LoadImageA(Instance, MAKEINTRESOURCEA(IconId), IMAGE_ICON,
                                            GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    SmallIcon = static_cast<HICON>(LoadImageA(Instance, MAKEINTRESOURCEA(IconId), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    SendMessageA(Handle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(BigIcon));
    SendMessageA(Handle, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(SmallIcon));
}

AnsiString TForm::Caption() const
{
    char Text[512] = "";
    GetWindowTextA(Handle, Text, sizeof(Text));
    return Text;
}

void TForm::SetCaption(const AnsiString& Value)
{
    SetWindowTextA(Handle, Value.c_str());
}

void TForm::Show()
{
    ShowWindow(Handle, SW_SHOW);
    SetForegroundWindow(Handle);
    HWND Focus = ActiveControl ? ActiveControl->Handle : GetNextDlgTabItem(Handle, nullptr, FALSE);
    if (Focus)
        SendMessageA(Handle, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Focus), TRUE);
}

void TForm::Hide()
{
    ShowWindow(Handle, SW_HIDE);
}

bool TForm::Visible() const
{
    return IsWindowVisible(Handle) != FALSE;
}

int TForm::ShowModal()
{
    HWND Owner = GetWindow(Handle, GW_OWNER);
    const bool OwnerWasEnabled = Owner && IsWindowEnabled(Owner);
    if (OwnerWasEnabled)
        EnableWindow(Owner, FALSE);
    ModalResult = mrNone;
    InModalLoop = true;
    Show();
    MSG Message;
    while (ModalResult == mrNone && !Application->Terminated) {
        if (GetMessageW(&Message, nullptr, 0, 0) <= 0) {
            Application->Terminate();
            break;
        }
        Application->DispatchOne(Message);
    }
    // Enable the owner before hiding, so that activation returns to it and not to another program.
    if (OwnerWasEnabled)
        EnableWindow(Owner, TRUE);
    Hide();
    InModalLoop = false;
    return ModalResult;
}

void TForm::Close()
{
    if (InModalLoop) {
        ModalResult = mrCancel;
        return;
    }
    TCloseAction Action = caHide;
    if (OnClose)
        OnClose(this, Action);
    if (Action == caNone)
        return;
    if (this == Application->MainForm)
        Application->Terminate();
    else
        Hide();
}

TButton* TForm::FirstButton(bool TButton::*Kind, bool MustBeEnabled) const
{
    for (HWND Child = GetWindow(Handle, GW_CHILD); Child; Child = GetWindow(Child, GW_HWNDNEXT)) {
        TButton* Button = dynamic_cast<TButton*>(FindControl(GetDlgCtrlID(Child)));
        if (Button && Button->*Kind && (!MustBeEnabled || Button->Enabled()))
            return Button;
    }
    return nullptr;
}

void TForm::UpdateDefaultButton()
{
    TButton* Button = FirstButton(&TButton::Default, true);
    if (Button)
        SendMessageA(Handle, DM_SETDEFID, static_cast<WPARAM>(Button->Id), 0);
}

void TForm::DoActivate()
{
    if (Application->ActiveForm == this)
        return;
    Application->ActiveForm = this;
    if (OnActivate)
        OnActivate(this);
}

INT_PTR CALLBACK TForm::DialogProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam)
{
    if (Message == WM_INITDIALOG) {
        SetWindowLongPtrA(Window, DWLP_USER, LParam);
        reinterpret_cast<TForm*>(LParam)->Handle = Window;
        return FALSE;
    }
    TForm* Form = reinterpret_cast<TForm*>(GetWindowLongPtrA(Window, DWLP_USER));
    if (!Form)
        return FALSE;
    if (Message == WM_NCDESTROY) {
        SetWindowLongPtrA(Window, DWLP_USER, 0);
        Form->Handle = nullptr;
        return FALSE;
    }
    // No exception may unwind through the system's frames between here and the message loop.
    try {
        return Form->HandleMessage(Message, WParam, LParam);
    } catch (const Exception& E) {
        Application->ShowException(E);
    } catch (const std::exception& E) {
        Application->ShowException(Exception(E.what()));
    }
    // The colour messages take the brush itself as the answer, where FALSE leaves the default one;
    // every other message takes its result from DWLP_MSGRESULT.
    if (Message >= WM_CTLCOLORMSGBOX && Message <= WM_CTLCOLORSTATIC)
        return FALSE;
    SetWindowLongPtrA(Window, DWLP_MSGRESULT, 0);
    return TRUE;
}

INT_PTR TForm::HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam)
{
    switch (Message) {
    case WM_COMMAND:
        if (LParam == 0) {
            // Escape, from the dialog manager: the first enabled cancel button answers it.
            if (LOWORD(WParam) == IDCANCEL)
                if (TButton* Button = FirstButton(&TButton::Cancel, true))
                    Button->Click();
        } else if (TWinControl* Control = FindControl(LOWORD(WParam))) {
            Control->Command(HIWORD(WParam));
        }
        return TRUE;
    case WM_NOTIFY: {
        const NMHDR& Header = *reinterpret_cast<const NMHDR*>(LParam);
        TWinControl* Control = FindControl(static_cast<int>(Header.idFrom));
        LRESULT Result = 0;
        if (!Control || !Control->Notify(Header, Result))
            return FALSE;
        SetWindowLongPtrA(Handle, DWLP_MSGRESULT, Result);
        return TRUE;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        if (TWinControl* Control = FindControl(GetDlgCtrlID(reinterpret_cast<HWND>(LParam))))
            return reinterpret_cast<INT_PTR>(Control->CtlColor(reinterpret_cast<HDC>(WParam)));
        return FALSE;
    case WM_DRAWITEM:
        if (TWinControl* Control = FindControl(static_cast<int>(WParam)))
            Control->DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(LParam));
        return TRUE;
    case DM_GETDEFID: {
        // Enter clicks the first enabled default button in tab order. When every default button is
        // disabled, the answer names a disabled one, and the dialog manager then does nothing.
        TButton* Button = FirstButton(&TButton::Default, true);
        if (!Button)
            Button = FirstButton(&TButton::Default, false);
        if (!Button)
            return FALSE;
        SetWindowLongPtrA(Handle, DWLP_MSGRESULT, MAKELONG(Button->Id, DC_HASDEFID));
        return TRUE;
    }
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
    case WM_SETTINGCHANGE:  // high contrast turned on or off among them
        for (TWinControl* Control : Controls)
            Control->SystemChanged(Message, WParam, LParam);
        RedrawWindow(Handle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
        return FALSE;
    case WM_ACTIVATE:
        if (LOWORD(WParam) != WA_INACTIVE)
            DoActivate();
        return FALSE;
    case WM_CLOSE:
        Close();
        return TRUE;
    }
    return FALSE;
}

// TApplication

TApplication::TApplication()
{
    Application = this;
}

TApplication::~TApplication()
{
    // Each window goes before its form's destructors run, while the controls and the fonts and
    // glyphs they show still live.
    for (auto Form = Forms.rbegin(); Form != Forms.rend(); ++Form) {
        (*Form)->DestroyHandle();
        delete *Form;
    }
    if (Application == this)
        Application = nullptr;
}

void TApplication::Initialize()
{
    INITCOMMONCONTROLSEX Classes = {sizeof(Classes), ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&Classes);
}

void TApplication::Adopt(TForm* Form)
{
    Forms.push_back(Form);
    if (!MainForm)
        MainForm = Form;
}

// The loops take and dispatch messages through the wide calls: a character typed (WM_CHAR) then
// reaches the controls as UTF-16, whatever the code page. Through the -A calls, a character of
// another script than the code page's, or of more than two bytes in UTF-8, arrives as '?'.
void TApplication::DispatchOne(MSG& Message)
{
    HWND Root = GetAncestor(Message.hwnd, GA_ROOT);
    for (TForm* Form : Forms)
        if (Root && Form->Handle == Root && (Form->DialogKey(Message) || IsDialogMessageW(Root, &Message)))
            return;
    TranslateMessage(&Message);
    DispatchMessageW(&Message);
}

void TApplication::Run()
{
    Running = true;
    MainForm->Show();
    MSG Message;
    while (!Terminated && GetMessageW(&Message, nullptr, 0, 0) > 0)
        DispatchOne(Message);
    Running = false;
}

void TApplication::Terminate()
{
    if (!Terminated && Running)
        PostQuitMessage(0);
    Terminated = true;
}

void TApplication::ProcessMessages()
{
    MSG Message;
    while (PeekMessageW(&Message, nullptr, 0, 0, PM_REMOVE)) {
        if (Message.message == WM_QUIT) {
            Terminated = true;
            break;
        }
        DispatchOne(Message);
    }
}

HWND TApplication::DialogOwner() const
{
    // Not GetActiveWindow: while another program is in front it is null, and an unowned box
    // would leave the windows usable behind it.
    for (const TForm* Form : {ActiveForm, MainForm})
        if (Form && Form->Visible())
            return Form->Handle;
    return nullptr;
}

void TApplication::ShowException(const Exception& E)
{
    MessageBoxA(DialogOwner(), E.Message.c_str(), Title.c_str(), MB_OK | MB_ICONERROR);
}

void ShowMessage(const AnsiString& Text)
{
    MessageBoxA(Application->DialogOwner(), Text.c_str(), Application->Title.c_str(), MB_OK);
}
