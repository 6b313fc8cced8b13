// Forms, the application object and message boxes.
#pragma once
#include <windows.h>

#include <vector>

#include "Controls.h"

enum TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;

// A window built from a DIALOGEX template. Created hidden; lives until deleted.
// One dialog procedure serves every form: it keeps `this` from WM_INITDIALOG to WM_NCDESTROY
// and routes control messages by control ID to the control bound to that ID.
class TForm : public TObject {
public:
    explicit TForm(int TemplateId);
    ~TForm() override;  // destroys the window unless DestroyHandle did
    TForm(const TForm&) = delete;
    TForm& operator=(const TForm&) = delete;

    HWND Handle = nullptr;
    int ModalResult = mrNone;
    TWinControl* ActiveControl = nullptr;  // gets the focus when the form is shown

    AnsiString Caption() const;
    void SetCaption(const AnsiString& Value);
    void Show();
    void Hide();
    bool Visible() const;
    // Shows the form, disables its owner and runs a message loop until ModalResult is set.
    int ShowModal();
    bool Modal() const { return InModalLoop; }
    // As the close box does: a modal form ends with mrCancel; otherwise OnClose runs, then the
    // main form ends the application and any other form hides.
    void Close();

    // Raised when the form becomes the application's active form: not when activation comes back
    // from another program or from a message box.
    TNotifyEvent OnActivate;
    TCloseEvent OnClose;

    // Destroys the window and its controls' windows, dispatching nothing to the controls on the way.
    // The application calls it before it deletes a form, since the derived form's controls, fonts
    // and glyphs are destroyed before ~TForm runs.
    void DestroyHandle();

    TWinControl* FindControl(int Id) const;
    // Offers a key to the controls before the dialog manager sees it; true when one took it (see
    // TWinControl::DialogKey for the keys taken).
    bool DialogKey(const MSG& Message);
    // Marks the first enabled default button as the dialog's default (its thick border).
    void UpdateDefaultButton();

protected:
    void Bind(TWinControl& Control, int Id);
    void SetIcon(int IconId);

private:
    static INT_PTR CALLBACK DialogProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);
    INT_PTR HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam);
    TButton* FirstButton(bool TButton::*Kind, bool MustBeEnabled) const;
    // The form became the application's active form: raises OnActivate.
    void DoActivate();

    std::vector<TWinControl*> Controls;
    HICON BigIcon = nullptr;
    HICON SmallIcon = nullptr;
    bool InModalLoop = false;
};

class TApplication {
public:
    TApplication();
    ~TApplication();  // destroys the forms, last created first
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    void Initialize();
    AnsiString Title;

    // Creates a form and stores it in Reference; the first form created is the main form.
    template <class T>
    void CreateForm(T*& Reference)
    {
        Reference = new T();
        Adopt(Reference);
    }

    // Shows the main form and handles messages until Terminate.
    void Run();
    // Ends the message loop once the running handler has returned.
    void Terminate();
    bool Terminated = false;
    // Handles every message waiting in the queue, then returns.
    void ProcessMessages();
    void ShowException(const Exception& E);

    // The window that owns message boxes: the active form, else the main form, while shown.
    HWND DialogOwner() const;

    // Routes one message through the dialog manager of its form.
    void DispatchOne(MSG& Message);

    TForm* MainForm = nullptr;
    TForm* ActiveForm = nullptr;

private:
    void Adopt(TForm* Form);
    std::vector<TForm*> Forms;
    bool Running = false;
};

extern TApplication* Application;

// A modal box with the application's title as caption, the text and one OK button.
void ShowMessage(const AnsiString& Text);
