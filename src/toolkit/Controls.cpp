#include "Controls.h"

#include <commctrl.h>

#include <vector>

#include "Forms.h"

int ScaleToScreen(int Pixels)
{
    HDC Screen = GetDC(nullptr);
    const int Dpi = GetDeviceCaps(Screen, LOGPIXELSY);
    ReleaseDC(nullptr, Screen);
    return MulDiv(Pixels, Dpi, 96);
}

bool HighContrast()
{
    HIGHCONTRASTA Contrast = {sizeof(Contrast), 0, nullptr};
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof(Contrast), &Contrast, 0) &&
           (Contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

TFont::TFont(const char* Name, int PixelHeight)
{
    Handle = CreateFontA(-ScaleToScreen(PixelHeight), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, Name);
}

TFont::~TFont()
{
    DeleteObject(Handle);
}

// TWinControl

bool TWinControl::Enabled() const
{
    return IsWindowEnabled(Handle) != FALSE;
}

void TWinControl::SetEnabled(bool Value)
{
    // A disabled control cannot keep the focus: hand it on first, as the dialog manager would.
    if (!Value && GetFocus() == Handle)
        SendMessageA(GetParent(Handle), WM_NEXTDLGCTL, 0, FALSE);
    EnableWindow(Handle, Value);
    Form->UpdateDefaultButton();
}

bool TWinControl::Visible() const
{
    return (GetWindowLongA(Handle, GWL_STYLE) & WS_VISIBLE) != 0;
}

void TWinControl::SetVisible(bool Value)
{
    ShowWindow(Handle, Value ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::SetFocus()
{
    SendMessageA(GetParent(Handle), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Handle), TRUE);
}

void TWinControl::SetFont(const TFont& Font)
{
    SendMessageA(Handle, WM_SETFONT, reinterpret_cast<WPARAM>(Font.Handle), TRUE);
}

void TWinControl::SetFontColor(COLORREF Value)
{
    Color = Value;
    InvalidateRect(Handle, nullptr, TRUE);
}

HBRUSH TWinControl::CtlColor(HDC Dc)
{
    if (!OwnColor())
        return nullptr;
    SetTextColor(Dc, Color);
    SetBkColor(Dc, GetSysColor(COLOR_BTNFACE));
    return GetSysColorBrush(COLOR_BTNFACE);
}

void TWinControl::SystemChanged(UINT Message, WPARAM WParam, LPARAM LParam)
{
    // Only top-level windows hear of new colours: the common controls keep copies until told.
    if (Message == WM_SYSCOLORCHANGE)
        SendMessageA(Handle, Message, WParam, LParam);
}

AnsiString TWinControl::WindowText() const
{
    AnsiString Text(static_cast<size_t>(GetWindowTextLengthA(Handle)) + 1, '\0');
    Text.resize(static_cast<size_t>(GetWindowTextA(Handle, &Text[0], static_cast<int>(Text.size()))));
    return Text;
}

void TWinControl::SetWindowText(const AnsiString& Value)
{
    SendMessageA(Handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Value.c_str()));
}

// TEdit

bool TEdit::Modified() const
{
    return SendMessageA(Handle, EM_GETMODIFY, 0, 0) != 0;
}

void TEdit::Command(WORD Code)
{
    if (Code == EN_CHANGE && OnChange)
        OnChange(this);
}

// TListBox

void TListBox::TItems::Clear()
{
    SendMessageA(Owner.Handle, LB_RESETCONTENT, 0, 0);
}

void TListBox::TItems::Add(const AnsiString& Item)
{
    SendMessageA(Owner.Handle, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Item.c_str()));
}

int TListBox::TItems::Count() const
{
    return static_cast<int>(SendMessageA(Owner.Handle, LB_GETCOUNT, 0, 0));
}

AnsiString TListBox::TItems::operator[](int Index) const
{
    // Read through the wide call: Wine converts an ANSI LB_GETTEXT through a fixed stack buffer
    // and crashes on an item of 512 characters or more.
    const LRESULT Length = SendMessageW(Owner.Handle, LB_GETTEXTLEN, static_cast<WPARAM>(Index), 0);
    if (Length == LB_ERR)
        return AnsiString();
    std::vector<wchar_t> Wide(static_cast<size_t>(Length) + 1);
    const int Count = static_cast<int>(
        SendMessageW(Owner.Handle, LB_GETTEXT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(Wide.data())));
    if (Count <= 0)
        return AnsiString();
    return AnsiText(Wide.data(), static_cast<size_t>(Count));
}

TListBox::TUpdate::TUpdate(const TListBox& Owner) : List(Owner), Shown(Owner.Visible())
{
    // Turning painting off clears the visible style and turning it on sets it: leave a hidden list alone.
    if (Shown)
        SendMessageA(List.Handle, WM_SETREDRAW, FALSE, 0);
}

TListBox::TUpdate::~TUpdate()
{
    if (!Shown)
        return;
    SendMessageA(List.Handle, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(List.Handle, nullptr, TRUE);
}

bool TListBox::Selected(int Index) const
{
    return SendMessageA(Handle, LB_GETSEL, static_cast<WPARAM>(Index), 0) > 0;
}

void TListBox::SetItemHeight(int Pixels)
{
    SendMessageA(Handle, LB_SETITEMHEIGHT, 0, ScaleToScreen(Pixels));
}

void TListBox::Command(WORD Code)
{
    // Wine also reports navigation keys that change nothing; a repeated click is harmless.
    if (Code == LBN_SELCHANGE && OnClick)
        OnClick(this);
}

// TTabControl

void TTabControl::TTabs::AddObject(const AnsiString& Caption, const void* Object)
{
    TCITEMA Item = {};
    Item.mask = TCIF_TEXT | TCIF_PARAM;
    Item.pszText = const_cast<char*>(Caption.c_str());
    Item.lParam = reinterpret_cast<LPARAM>(Object);
    SendMessageA(Owner.Handle, TCM_INSERTITEMA, static_cast<WPARAM>(Count()), reinterpret_cast<LPARAM>(&Item));
}

const void* TTabControl::TTabs::Objects(int Index) const
{
    TCITEMA Item = {};
    Item.mask = TCIF_PARAM;
    if (!SendMessageA(Owner.Handle, TCM_GETITEMA, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&Item)))
        return nullptr;
    return reinterpret_cast<const void*>(Item.lParam);
}

int TTabControl::TTabs::Count() const
{
    return static_cast<int>(SendMessageA(Owner.Handle, TCM_GETITEMCOUNT, 0, 0));
}

int TTabControl::TTabs::IndexOf(const AnsiString& Caption) const
{
    for (int Index = 0; Index < Count(); ++Index)
        if ((*this)[Index] == Caption)
            return Index;
    return -1;
}

AnsiString TTabControl::TTabs::operator[](int Index) const
{
    char Text[256] = "";
    TCITEMA Item = {};
    Item.mask = TCIF_TEXT;
    Item.pszText = Text;
    Item.cchTextMax = sizeof(Text);
    SendMessageA(Owner.Handle, TCM_GETITEMA, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&Item));
    return AnsiString(Item.pszText);
}

int TTabControl::TabIndex() const
{
    return static_cast<int>(SendMessageA(Handle, TCM_GETCURSEL, 0, 0));
}

void TTabControl::SetTabIndex(int Index)
{
    // TCM_SETCURSEL clears the selection for a negative index: refuse it, and any index past the end.
    if (Index >= 0 && Index < Tabs.Count())
        SendMessageA(Handle, TCM_SETCURSEL, static_cast<WPARAM>(Index), 0);
}

void TTabControl::Attached()
{
    // The controls of its page are the tab control's siblings. At the bottom of the z-order, and
    // clipped against them, it paints beneath them. The tab order is a cycle and stays the same.
    SetWindowPos(Handle, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

TTabControl::~TTabControl()
{
    if (Page)
        DeleteObject(Page);
}

HBRUSH TTabControl::PageBrush(HDC Dc, HWND Control)
{
    // Windows turns visual styles off under high contrast: the page is the face colour then.
    if (HighContrast())
        return GetSysColorBrush(COLOR_BTNFACE);
    // The page looks different with and without visual styles: take a picture of it once, and
    // paint with that picture, aligned to the control.
    if (!Page) {
        RECT Client;
        GetClientRect(Handle, &Client);
        HDC Screen = GetDC(Handle);
        HDC Memory = CreateCompatibleDC(Screen);
        HBITMAP Picture = CreateCompatibleBitmap(Screen, Client.right, Client.bottom);
        HGDIOBJ Old = SelectObject(Memory, Picture);
        // Where the control paints nothing (Wine's page without visual styles), the dialog's face shows.
        FillRect(Memory, &Client, GetSysColorBrush(COLOR_BTNFACE));
        SendMessageA(Handle, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(Memory), PRF_CLIENT | PRF_ERASEBKGND);
        SelectObject(Memory, Old);
        DeleteDC(Memory);
        ReleaseDC(Handle, Screen);
        Page = CreatePatternBrush(Picture);
        DeleteObject(Picture);
    }
    POINT Origin = {0, 0};
    MapWindowPoints(Control, Handle, &Origin, 1);
    SetBrushOrgEx(Dc, -Origin.x, -Origin.y, nullptr);
    return Page;
}

void TTabControl::SystemChanged(UINT Message, WPARAM WParam, LPARAM LParam)
{
    TWinControl::SystemChanged(Message, WParam, LParam);
    // The next paint takes a new picture, of the page in its new colours.
    if (Page)
        DeleteObject(Page);
    Page = nullptr;
}

bool TTabControl::DialogKey(const MSG& Message)
{
    // The dialog manager would take Ctrl+Tab for Tab, and move the focus.
    const WPARAM Key = Message.wParam;
    if (Message.message != WM_KEYDOWN || (Key != VK_TAB && Key != VK_NEXT && Key != VK_PRIOR) ||
        GetKeyState(VK_CONTROL) >= 0)
        return false;
    const int Count = Tabs.Count();
    if (Count > 1 && !SendNotify(TCN_SELCHANGING)) {
        const bool Back = Key == VK_PRIOR || (Key == VK_TAB && GetKeyState(VK_SHIFT) < 0);
        const int Index = (TabIndex() + (Back ? Count - 1 : 1)) % Count;
        SendMessageA(Handle, TCM_SETCURSEL, static_cast<WPARAM>(Index), 0);
        // A screen reader, wherever the focus is, names the tab now selected: the tab control itself
        // says so only for a click. Its items are the children 1, 2... of its client object.
        NotifyWinEvent(EVENT_OBJECT_SELECTION, Handle, OBJID_CLIENT, Index + 1);
        SendNotify(TCN_SELCHANGE);
    }
    return true;
}

// As the control notifies its parent of a click: through the form's dialog procedure, which
// answers with the handler's reply.
LRESULT TTabControl::SendNotify(int Code)
{
    NMHDR Header = {Handle, static_cast<UINT_PTR>(Id), static_cast<UINT>(Code)};
    return SendMessageA(GetParent(Handle), WM_NOTIFY, Header.idFrom, reinterpret_cast<LPARAM>(&Header));
}

bool TTabControl::Notify(const NMHDR& Header, LRESULT& Result)
{
    if (Header.code == static_cast<UINT>(TCN_SELCHANGING)) {
        bool AllowChange = true;
        if (OnChanging)
            OnChanging(this, AllowChange);
        Result = AllowChange ? FALSE : TRUE;  // nonzero vetoes the change
        return true;
    }
    if (Header.code == static_cast<UINT>(TCN_SELCHANGE)) {
        if (OnChange)
            OnChange(this);
        return true;
    }
    return false;
}

// TButton

void TButton::Click()
{
    if (ModalResult != mrNone && Form->Modal())
        Form->ModalResult = ModalResult;
    if (OnClick)
        OnClick(this);
}

void TButton::Command(WORD Code)
{
    if (Code == BN_CLICKED)
        Click();
}

// TBitBtn

TBitBtn::~TBitBtn()
{
    if (Glyph)
        DestroyIcon(Glyph);
}

void TBitBtn::SetKind(TBitBtnKind Kind)
{
    Default = Kind == bkOK;
    Cancel = Kind == bkCancel;
    ModalResult = Kind == bkOK ? mrOk : Kind == bkCancel ? mrCancel : mrNone;
}

void TBitBtn::SetGlyph(int IconId)
{
    if (Glyph)
        DestroyIcon(Glyph);
    Glyph = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IconId), IMAGE_ICON,
                                          ScaleToScreen(16), ScaleToScreen(16), LR_DEFAULTCOLOR));
    // With common controls 6 a text button shows the image beside its caption.
    SendMessageA(Handle, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(Glyph));
}

// TLabel

HBRUSH TLabel::CtlColor(HDC Dc)
{
    SetTextColor(Dc, OwnColor() ? Color : GetSysColor(COLOR_WINDOWTEXT));
    SetBkMode(Dc, TRANSPARENT);
    return Page ? Page->PageBrush(Dc, Handle) : GetSysColorBrush(COLOR_BTNFACE);
}

// TPanel

void TPanel::DrawItem(const DRAWITEMSTRUCT& Item)
{
    RECT Frame = Item.rcItem;
    DrawEdge(Item.hDC, &Frame, Bevel, BF_RECT);
}

// TImage

TImage::~TImage()
{
    if (Bitmap)
        DeleteObject(Bitmap);
}

void TImage::LoadBitmap(int BitmapId)
{
    if (Bitmap)
        DeleteObject(Bitmap);
    Bitmap = static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(BitmapId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    InvalidateRect(Handle, nullptr, TRUE);
}

void TImage::DrawItem(const DRAWITEMSTRUCT& Item)
{
    FillRect(Item.hDC, &Item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    if (!Bitmap)
        return;
    BITMAP Info = {};
    GetObjectA(Bitmap, sizeof(Info), &Info);
    HDC Source = CreateCompatibleDC(Item.hDC);
    HGDIOBJ Old = SelectObject(Source, Bitmap);
    const COLORREF Background = GetPixel(Source, 0, 0);
    // gdi32's own export, which msimg32's TransparentBlt forwards to: msimg32 is no KnownDLL, so the
    // loader would take a copy lying beside kesterly.exe.
    GdiTransparentBlt(Item.hDC, Item.rcItem.left, Item.rcItem.top, Item.rcItem.right - Item.rcItem.left,
                      Item.rcItem.bottom - Item.rcItem.top, Source, 0, 0, Info.bmWidth, Info.bmHeight, Background);
    SelectObject(Source, Old);
    DeleteDC(Source);
}
