// Controls of the toolkit: thin wrappers over the Win32 controls of a dialog template.
//
// Event conventions
// - Every control is a member of its form and is bound to the template's control ID by
//   TForm::Bind. The form's dialog procedure hands WM_COMMAND, WM_NOTIFY, WM_CTLCOLOR* and
//   WM_DRAWITEM to the control with that ID, and the control decodes its own notification
//   into an event member (OnClick, OnChange, OnChanging).
// - Events are raised for the user's actions. A change made from code raises an event only
//   where the control's comment says so (TEdit::SetText does; TTabControl::SetTabIndex does not).
// - Handlers take the sending control as their first argument.
// - An exception thrown by a handler stops at the dialog procedure, which shows it with
//   TApplication::ShowException; the message loop goes on.
//
// Colours
// - Under high contrast every text and background takes the system's colours: a colour set with
//   SetFontColor is kept, and drawn again once high contrast is off.
// - Whatever a control makes from the system's colours or theme is made again when they change
//   (SystemChanged); the form then repaints.
#pragma once
#include <windows.h>

#include <functional>

#include "SysUtils.h"

class TForm;

class TObject {
public:
    virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

const COLORREF clWindowText = 0xFF000000;  // the system's window-text colour, looked up when drawn
const COLORREF clNavy = RGB(0, 0, 128);
const COLORREF clMaroon = RGB(128, 0, 0);

// A font of the given face and character height in pixels at 96 DPI, scaled to the screen's DPI.
class TFont {
public:
    TFont(const char* Name, int PixelHeight);
    ~TFont();
    TFont(const TFont&) = delete;
    TFont& operator=(const TFont&) = delete;
    HFONT Handle;
};

// Pixels at 96 DPI on the screen's DPI.
int ScaleToScreen(int Pixels);

// Whether the player has a high-contrast theme on (SPI_GETHIGHCONTRAST).
bool HighContrast();

class TWinControl : public TObject {
public:
    HWND Handle = nullptr;
    int Id = 0;
    TForm* Form = nullptr;

    bool Enabled() const;
    void SetEnabled(bool Value);
    bool Visible() const;
    void SetVisible(bool Value);
    void SetFocus();
    void SetFont(const TFont& Font);
    COLORREF FontColor() const { return Color; }
    void SetFontColor(COLORREF Value);

    // Called by the form's dialog procedure.
    virtual void Attached() {}
    virtual void Command(WORD /*Code*/) {}
    virtual bool Notify(const NMHDR& /*Header*/, LRESULT& /*Result*/) { return false; }
    virtual HBRUSH CtlColor(HDC Dc);
    virtual void DrawItem(const DRAWITEMSTRUCT& /*Item*/) {}
    // The system's colours, theme or settings changed: the message that said so.
    virtual void SystemChanged(UINT Message, WPARAM WParam, LPARAM LParam);
    // Offered each key pressed in the form before the dialog manager sees it; true takes it. Only
    // TTabControl takes keys so: Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PageDown and Ctrl+PageUp, wherever
    // the focus is. A multi-line edit on a form with a tab control would lose Ctrl+Tab, which it
    // takes for a tab character, to the tab strip.
    virtual bool DialogKey(const MSG& /*Message*/) { return false; }

protected:
    AnsiString WindowText() const;
    void SetWindowText(const AnsiString& Value);
    // The colour set with SetFontColor, when it is to be drawn: neither clWindowText nor high contrast.
    bool OwnColor() const { return Color != clWindowText && !HighContrast(); }
    COLORREF Color = clWindowText;
};

// Single-line edit box.
class TEdit : public TWinControl {
public:
    AnsiString Text() const { return WindowText(); }
    // WM_SETTEXT raises EN_CHANGE inside the call, even for the text already shown,
    // and clears the modified flag: OnChange runs before SetText returns, with Modified() false.
    void SetText(const AnsiString& Value) { SetWindowText(Value); }
    bool Modified() const;
    TNotifyEvent OnChange;
    void Command(WORD Code) override;
};

class TListBox : public TWinControl {
public:
    struct TItems {
        TListBox& Owner;
        void Clear();
        void Add(const AnsiString& Item);
        int Count() const;
        AnsiString operator[](int Index) const;
    } Items{*this};

    // While it lives, a shown list is refilled unseen and then painted once: a list that paints
    // itself for every item added is slow to fill.
    class TUpdate {
    public:
        explicit TUpdate(const TListBox& List);
        ~TUpdate();
        TUpdate(const TUpdate&) = delete;
        TUpdate& operator=(const TUpdate&) = delete;

    private:
        const TListBox& List;
        const bool Shown;
    };

    bool Selected(int Index) const;
    void SetItemHeight(int Pixels);
    // Raised for each selection by mouse or keyboard (LBN_SELCHANGE), never for LB_SETCURSEL.
    TNotifyEvent OnClick;
    void Command(WORD Code) override;
};

class TTabControl : public TWinControl {
public:
    struct TTabs {
        TTabControl& Owner;
        // The first tab added to an empty control becomes the selected tab.
        void Add(const AnsiString& Caption) { AddObject(Caption, nullptr); }
        // The same with data of the caller's own, which the tab keeps (its lParam).
        void AddObject(const AnsiString& Caption, const void* Object);
        // A tab's data; null for an index that names no tab.
        const void* Objects(int Index) const;
        int Count() const;
        // Index of the first tab whose caption equals Caption, or -1.
        int IndexOf(const AnsiString& Caption) const;
        AnsiString operator[](int Index) const;
    } Tabs{*this};

    // -1 only while there are no tabs.
    int TabIndex() const;
    // Selects a tab without raising OnChanging or OnChange; an index that names no tab changes nothing.
    void SetTabIndex(int Index);
    // Raised only by the user's change of tab: OnChanging before (old tab still selected), OnChange after.
    TTabChangingEvent OnChanging;
    TNotifyEvent OnChange;
    bool Notify(const NMHDR& Header, LRESULT& Result) override;
    void Attached() override;
    ~TTabControl() override;
    // Paints what the tab control shows beneath a control that lies on its page.
    HBRUSH PageBrush(HDC Dc, HWND Control);
    void SystemChanged(UINT Message, WPARAM WParam, LPARAM LParam) override;
    // Ctrl+Tab and Ctrl+PageDown, Ctrl+Shift+Tab and Ctrl+PageUp, wherever the focus is in the form,
    // select the next and the previous tab, round the end, as the user's click does: OnChanging may
    // refuse, then OnChange; accessibility clients hear of the new selection, as of a click.
    bool DialogKey(const MSG& Message) override;

private:
    LRESULT SendNotify(int Code);
    HBRUSH Page = nullptr;
};

enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2 };
enum TBitBtnKind { bkCustom, bkOK, bkCancel };

class TButton : public TWinControl {
public:
    AnsiString Caption() const { return WindowText(); }
    bool Default = false;  // Enter clicks the first enabled default button in tab order
    bool Cancel = false;   // Escape clicks the first enabled cancel button in tab order
    int ModalResult = mrNone;  // closes a modal form with this result
    TNotifyEvent OnClick;
    void Click();
    void Command(WORD Code) override;
};

// A button with a picture beside its caption.
class TBitBtn : public TButton {
public:
    ~TBitBtn() override;
    // The OK kind is a default button with result mrOk, the Cancel kind a cancel button with
    // mrCancel; each brings its standard glyph.
    void SetKind(TBitBtnKind Kind);
    void SetGlyph(int IconId);

private:
    HICON Glyph = nullptr;
};

// A label lies on the form, or on a tab control's page when Page is set.
class TLabel : public TWinControl {
public:
    TTabControl* Page = nullptr;
    AnsiString Caption() const { return WindowText(); }
    void SetCaption(const AnsiString& Value) { SetWindowText(Value); }
    HBRUSH CtlColor(HDC Dc) override;
};

// Static text with its own window, here with a sunken border.
class TStaticText : public TLabel {};

// A bevelled frame; drawn by the form (an owner-drawn static in the template).
class TPanel : public TWinControl {
public:
    UINT Bevel = BDR_RAISEDOUTER;  // edge flags for DrawEdge
    void DrawItem(const DRAWITEMSTRUCT& Item) override;
};

// A bitmap stretched to the control, its top-left pixel's colour drawn transparent.
class TImage : public TWinControl {
public:
    ~TImage() override;
    void LoadBitmap(int BitmapId);
    void DrawItem(const DRAWITEMSTRUCT& Item) override;

private:
    HBITMAP Bitmap = nullptr;
};
