#include "FileCtrls.h"

#include <algorithm>
#include <cwchar>
#include <functional>
#include <initializer_list>

#include "Consts.h"
#include "Forms.h"

#include <commctrl.h>

namespace {

bool IsDriveLetter(char Letter)
{
    const char Upper = AsciiUpper(Letter);
    return Upper >= 'A' && Upper <= 'Z';
}

// While it lives, a drive without a medium answers this thread's calls with an error code
// instead of the system's "insert a disk" box.
class TQuietDriveErrors {
public:
    TQuietDriveErrors() { SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &Previous); }
    ~TQuietDriveErrors() { SetThreadErrorMode(Previous, nullptr); }
    TQuietDriveErrors(const TQuietDriveErrors&) = delete;
    TQuietDriveErrors& operator=(const TQuietDriveErrors&) = delete;

private:
    DWORD Previous = 0;
};

// The full path the system makes of a text; empty when it makes none.
AnsiString FullPathName(const AnsiString& Path)
{
    const std::wstring Wide = WideText(Path);
    const DWORD Size = GetFullPathNameW(Wide.c_str(), 0, nullptr, nullptr);
    if (Size == 0)
        return AnsiString();
    std::wstring Full(Size, L'\0');
    const DWORD Length = GetFullPathNameW(Wide.c_str(), Size, &Full[0], nullptr);
    return Length < Size ? AnsiText(Full.data(), Length) : AnsiString();
}

// "X:\..."
bool OnDrive(const AnsiString& Path)
{
    return Path.size() >= 3 && IsDriveLetter(Path[0]) && Path[1] == ':' && Path[2] == '\\';
}

bool IsFolder(const AnsiString& Path)
{
    const DWORD Attributes = GetFileAttributesW(WideText(Path).c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

AnsiString AppendName(const AnsiString& Folder, const AnsiString& Name)
{
    return EndsWithBackslash(Folder) ? Folder + Name : Folder + "\\" + Name;
}

// The folder above a path of the form "X:\..." ; a drive's root has none and stays.
AnsiString ParentOf(const AnsiString& Path)
{
    const size_t Separator = LastDelimiter("\\", Path);
    return Path.substr(0, Separator <= 2 ? 3 : Separator);
}

// The name of the entry that Path names as the file system stores it: Path's last name may differ
// from it in letter case, in any script, or be its short (8.3) alias. Name, the last name as given,
// when the entry cannot be found or its stored name has no spelling of its own in the code page.
AnsiString StoredName(const AnsiString& Path, const AnsiString& Name)
{
    WIN32_FIND_DATAW Found;
    const HANDLE Search = FindFirstFileW(WideText(Path).c_str(), &Found);
    if (Search == INVALID_HANDLE_VALUE)
        return Name;
    FindClose(Search);
    return AnsiName(Found.cFileName, wcslen(Found.cFileName)).value_or(Name);
}

// The path of an existing folder with each name spelled as the file system spells it.
AnsiString SpelledAsStored(const AnsiString& Path)
{
    AnsiString Spelled = Path.substr(0, 3);
    for (size_t Start = 3; Start < Path.size();) {
        size_t End = FindDelimiter("\\", Path, Start);
        if (End == AnsiString::npos)
            End = Path.size();
        const AnsiString Name = Path.substr(Start, End - Start);
        Start = End + 1;
        if (!Name.empty())
            Spelled = AppendName(Spelled, StoredName(AppendName(Spelled, Name), Name));
    }
    return Spelled;
}

// The visible subfolders of a folder, by name, sorted without regard to letter case.
std::vector<AnsiString> SubfoldersOf(const AnsiString& Folder)
{
    std::vector<AnsiString> Names;
    ForEachFile(AppendName(Folder, "*"), [&Names](const TFoundFile& Found) {
        const DWORD Attributes = Found.Attributes;
        const bool Hidden = (Attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
        if ((Attributes & FILE_ATTRIBUTE_DIRECTORY) && !Hidden && Found.Name != "." && Found.Name != "..")
            Names.push_back(Found.Name);
        return true;
    });
    std::sort(Names.begin(), Names.end(),
              [](const AnsiString& A, const AnsiString& B) { return AnsiCompareText(A, B) < 0; });
    return Names;
}

// A small picture on a grid of 16 x 16 cells at 96 DPI, scaled to the screen: filled shapes with
// a dark outline.
class TPicture {
public:
    TPicture(HDC Dc, int Left, int Top, COLORREF Outline)
        : Dc(Dc), Left(Left), Top(Top), Size(ScaleToScreen(16)), Pen(CreatePen(PS_SOLID, 1, Outline))
    {
        OldPen = SelectObject(Dc, Pen);
    }
    ~TPicture()
    {
        SelectObject(Dc, OldPen);
        DeleteObject(Pen);
    }
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    void Shape(COLORREF Fill, std::initializer_list<POINT> Corners)
    {
        std::vector<POINT> Points;
        for (const POINT& Corner : Corners)
            Points.push_back(At(Corner.x, Corner.y));
        Filled(Fill, [&] { Polygon(Dc, Points.data(), static_cast<int>(Points.size())); });
    }
    void Box(COLORREF Fill, int X1, int Y1, int X2, int Y2)
    {
        const POINT A = At(X1, Y1), B = At(X2, Y2);
        Filled(Fill, [&] { Rectangle(Dc, A.x, A.y, B.x, B.y); });
    }
    void Disc(COLORREF Fill, int X1, int Y1, int X2, int Y2)
    {
        const POINT A = At(X1, Y1), B = At(X2, Y2);
        Filled(Fill, [&] { Ellipse(Dc, A.x, A.y, B.x, B.y); });
    }

private:
    POINT At(int X, int Y) const { return {Left + X * Size / 16, Top + Y * Size / 16}; }
    void Filled(COLORREF Fill, const std::function<void()>& Draw)
    {
        HBRUSH Brush = CreateSolidBrush(Fill);
        HGDIOBJ OldBrush = SelectObject(Dc, Brush);
        Draw();
        SelectObject(Dc, OldBrush);
        DeleteObject(Brush);
    }

    HDC Dc;
    int Left, Top, Size;
    HPEN Pen;
    HGDIOBJ OldPen;
};

void DrawFolder(HDC Dc, int Left, int Top, bool Open)
{
    TPicture Picture(Dc, Left, Top, RGB(128, 96, 0));
    Picture.Shape(RGB(224, 176, 48), {{1, 2}, {6, 2}, {7, 4}, {14, 4}, {14, 13}, {1, 13}});
    if (Open)
        Picture.Shape(RGB(255, 232, 140), {{4, 7}, {16, 7}, {13, 13}, {1, 13}});
    else
        Picture.Box(RGB(255, 216, 96), 1, 5, 15, 14);
}

void DrawDrive(HDC Dc, int Left, int Top, UINT Type)
{
    const COLORREF Case = RGB(192, 192, 192), Dark = RGB(64, 64, 64);
    TPicture Picture(Dc, Left, Top, Dark);
    switch (Type) {
    case DRIVE_CDROM:
        Picture.Disc(RGB(216, 216, 232), 1, 1, 16, 16);
        Picture.Disc(RGB(255, 255, 255), 6, 6, 11, 11);
        break;
    case DRIVE_REMOTE:
        Picture.Box(Case, 2, 1, 15, 9);
        Picture.Box(Dark, 8, 9, 9, 13);
        Picture.Box(Dark, 1, 13, 16, 14);
        break;
    case DRIVE_RAMDISK:
        Picture.Box(RGB(0, 128, 64), 1, 4, 16, 11);
        for (int X = 3; X < 15; X += 3)
            Picture.Box(Dark, X, 11, X + 1, 14);
        break;
    case DRIVE_REMOVABLE:
        Picture.Box(Case, 1, 4, 16, 13);
        Picture.Box(Dark, 3, 7, 14, 8);
        break;
    default:
        Picture.Box(Case, 1, 5, 16, 12);
        Picture.Box(RGB(0, 192, 0), 11, 8, 14, 10);
        break;
    }
}

AnsiString KindName(UINT Type)
{
    switch (Type) {
    case DRIVE_REMOVABLE:
        return LoadStr(IDS_REMOVABLEDISK);
    case DRIVE_CDROM:
        return LoadStr(IDS_CDDRIVE);
    case DRIVE_REMOTE:
        return LoadStr(IDS_NETWORKDRIVE);
    case DRIVE_RAMDISK:
        return LoadStr(IDS_RAMDISK);
    default:
        return LoadStr(IDS_LOCALDISK);
    }
}

// Paints one item of an owner-drawn list or combo box: its background, its picture at Indent
// pixels, its text beside the picture, and the focus frame. Item -1 is an empty selection field.
// The text is drawn through the wide call: GDI's -A calls read the system's code page, not the
// process's.
void DrawPictureItem(const DRAWITEMSTRUCT& Item, int Indent, const std::wstring& Text,
                     const std::function<void(HDC Dc, int Left, int Top)>& Picture)
{
    const bool Selected = (Item.itemState & ODS_SELECTED) != 0;
    RECT Area = Item.rcItem;
    FillRect(Item.hDC, &Area, GetSysColorBrush(Selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (Item.itemID != static_cast<UINT>(-1)) {
        const int PictureSize = ScaleToScreen(16);
        const int Left = Area.left + ScaleToScreen(2) + Indent;
        Picture(Item.hDC, Left, Area.top + (Area.bottom - Area.top - PictureSize) / 2);
        RECT TextArea = Area;
        TextArea.left = Left + PictureSize + ScaleToScreen(4);
        const int TextColour = (Item.itemState & ODS_DISABLED) ? COLOR_GRAYTEXT
                               : Selected                       ? COLOR_HIGHLIGHTTEXT
                                                                : COLOR_WINDOWTEXT;
        SetTextColor(Item.hDC, GetSysColor(TextColour));
        SetBkMode(Item.hDC, TRANSPARENT);
        DrawTextW(Item.hDC, Text.c_str(), static_cast<int>(Text.size()), &TextArea,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    if (Item.itemState & ODS_FOCUS)
        DrawFocusRect(Item.hDC, &Area);
}

// Read through the wide call, as drawn (and Wine's ANSI LB_GETTEXT fails on long items).
std::wstring ItemText(HWND Control, UINT LengthMessage, UINT TextMessage, UINT Index)
{
    const LRESULT Length = SendMessageW(Control, LengthMessage, Index, 0);
    if (Length <= 0)
        return std::wstring();
    std::wstring Text(static_cast<size_t>(Length) + 1, L'\0');
    const LRESULT Count = SendMessageW(Control, TextMessage, Index, reinterpret_cast<LPARAM>(&Text[0]));
    Text.resize(Count > 0 ? static_cast<size_t>(Count) : 0);
    return Text;
}

}  // namespace

// TDriveComboBox

void TDriveComboBox::Attached()
{
    ReadDrives();
}

void TDriveComboBox::ReadDrives()
{
    const char Selected = Drive();
    SendMessageA(Handle, CB_RESETCONTENT, 0, 0);
    TQuietDriveErrors Quiet;
    const DWORD Drives = GetLogicalDrives();
    for (char Letter = 'A'; Letter <= 'Z'; ++Letter) {
        if (!(Drives & (1u << (Letter - 'A'))))
            continue;
        const char Root[] = {Letter, ':', '\\', '\0'};
        const UINT Type = GetDriveTypeA(Root);
        char Label[MAX_PATH + 1] = "";
        // Only drives that always have their medium are asked: a floppy or CD drive may be empty
        // or slow to spin up, a network drive may hang until it times out.
        if ((Type == DRIVE_FIXED || Type == DRIVE_RAMDISK) &&
            !GetVolumeInformationA(Root, Label, sizeof(Label), nullptr, nullptr, nullptr, nullptr, 0))
            Label[0] = '\0';
        AnsiString Text = AnsiString(Root, 2) + " [" + (Label[0] ? Label : KindName(Type)) + "]";
        CharUpperBuffA(&Text[0], static_cast<DWORD>(Text.size()));
        const LRESULT Index = SendMessageA(Handle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Text.c_str()));
        SendMessageA(Handle, CB_SETITEMDATA, static_cast<WPARAM>(Index), MAKELPARAM(Type, Letter));
    }
    SendMessageA(Handle, CB_SETCURSEL, static_cast<WPARAM>(IndexOf(Selected)), 0);
}

int TDriveComboBox::IndexOf(char Letter) const
{
    const int Count = static_cast<int>(SendMessageA(Handle, CB_GETCOUNT, 0, 0));
    for (int Index = 0; Index < Count; ++Index)
        if (Letter && HIWORD(SendMessageA(Handle, CB_GETITEMDATA, static_cast<WPARAM>(Index), 0)) == Letter)
            return Index;
    return -1;
}

char TDriveComboBox::Drive() const
{
    const LRESULT Index = SendMessageA(Handle, CB_GETCURSEL, 0, 0);
    if (Index == CB_ERR)
        return '\0';
    return static_cast<char>(HIWORD(SendMessageA(Handle, CB_GETITEMDATA, static_cast<WPARAM>(Index), 0)));
}

void TDriveComboBox::SetDrive(char Value)
{
    const char Letter = IsDriveLetter(Value) ? AsciiUpper(Value) : '\0';
    int Index = IndexOf(Letter);
    if (Index == -1 && Letter) {
        ReadDrives();  // a drive that came after the list was read
        Index = IndexOf(Letter);
    }
    SendMessageA(Handle, CB_SETCURSEL, static_cast<WPARAM>(Index), 0);
    Changed();
}

void TDriveComboBox::Changed()
{
    const char Now = Drive();
    if (Now == Reported)
        return;
    Reported = Now;
    if (OnChange)
        OnChange(this);
}

void TDriveComboBox::SetItemHeight(int Pixels)
{
    SendMessageA(Handle, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), ScaleToScreen(Pixels));
    SendMessageA(Handle, CB_SETITEMHEIGHT, 0, ScaleToScreen(Pixels));
}

void TDriveComboBox::Command(WORD Code)
{
    if (Code == CBN_DROPDOWN) {
        ReadDrives();
        Changed();
    } else if (Code == CBN_SELCHANGE) {
        Changed();
    }
}

void TDriveComboBox::DrawItem(const DRAWITEMSTRUCT& Item)
{
    const UINT Type = LOWORD(Item.itemData);
    DrawPictureItem(Item, 0, ItemText(Handle, CB_GETLBTEXTLEN, CB_GETLBTEXT, Item.itemID),
                    [Type](HDC Dc, int Left, int Top) { DrawDrive(Dc, Left, Top, Type); });
}

// TDirectoryListBox

TDirectoryListBox::~TDirectoryListBox()
{
    if (IsWindow(Handle))
        RemoveWindowSubclass(Handle, ListProc, 0);
}

void TDirectoryListBox::Attached()
{
    // The common controls' own subclassing: the list stays a Unicode window, as the system made it.
    SetWindowSubclass(Handle, ListProc, 0, reinterpret_cast<DWORD_PTR>(this));
    SetDirectory("");
}

void TDirectoryListBox::SetDirectory(const AnsiString& Value)
{
    TQuietDriveErrors Quiet;
    AnsiString Path = FullPathName(Value.empty() ? "." : Value);
    if (!OnDrive(Path))
        Path = FullPathName(".");
    if (!OnDrive(Path)) {
        char Windows[MAX_PATH] = "";
        GetWindowsDirectoryA(Windows, MAX_PATH);
        Path = AnsiString(Windows).substr(0, 3);
    }
    Path[0] = AsciiUpper(Path[0]);
    while (Path.size() > 3 && EndsWithBackslash(Path))
        Path.pop_back();
    while (Path.size() > 3 && !IsFolder(Path))
        Path = ParentOf(Path);
    Current = SpelledAsStored(Path);
    Fill();
}

void TDirectoryListBox::SetDrive(char Value)
{
    if (!IsDriveLetter(Value) || AsciiUpper(Value) == Current[0])
        return;
    const char DriveAlone[] = {AsciiUpper(Value), ':', '\0'};  // the system resolves it to that drive's folder
    SetDirectory(DriveAlone);
}

void TDirectoryListBox::Fill()
{
    Paths.assign(1, Current.substr(0, 3));
    for (size_t Start = 3; Start < Current.size();) {
        size_t End = FindDelimiter("\\", Current, Start);
        if (End == AnsiString::npos)
            End = Current.size();
        Paths.push_back(Current.substr(0, End));
        Start = End + 1;
    }
    PathLevels = static_cast<int>(Paths.size());
    {
        TQuietDriveErrors Quiet;
        for (const AnsiString& Name : SubfoldersOf(Current))
            Paths.push_back(AppendName(Current, Name));
    }
    SendMessageA(Handle, WM_SETREDRAW, FALSE, 0);
    SendMessageA(Handle, LB_RESETCONTENT, 0, 0);
    for (size_t Index = 0; Index < Paths.size(); ++Index) {
        const AnsiString Text = Index == 0 ? Paths[0] : Paths[Index].substr(LastDelimiter("\\", Paths[Index]) + 1);
        SendMessageA(Handle, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Text.c_str()));
    }
    SendMessageA(Handle, LB_SETCURSEL, static_cast<WPARAM>(PathLevels - 1), 0);
    SendMessageA(Handle, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(Handle, nullptr, TRUE);
}

void TDirectoryListBox::SetItemHeight(int Pixels)
{
    SendMessageA(Handle, LB_SETITEMHEIGHT, 0, ScaleToScreen(Pixels));
}

int TDirectoryListBox::SelectedIndex() const
{
    return static_cast<int>(SendMessageA(Handle, LB_GETCURSEL, 0, 0));
}

bool TDirectoryListBox::CanOpenSelected() const
{
    const int Index = SelectedIndex();
    return Index >= 0 && Index != PathLevels - 1;
}

void TDirectoryListBox::Open(int Index)
{
    if (Index < 0 || Index >= static_cast<int>(Paths.size()))
        return;
    const AnsiString Path = Paths[static_cast<size_t>(Index)];
    SetDirectory(Path);
}

void TDirectoryListBox::Command(WORD Code)
{
    if (Code == LBN_DBLCLK)
        Open(SelectedIndex());
}

void TDirectoryListBox::DrawItem(const DRAWITEMSTRUCT& Item)
{
    const int Index = static_cast<int>(Item.itemID);
    const bool OnPath = Index < PathLevels;
    const int Level = OnPath ? Index : PathLevels;
    DrawPictureItem(Item, Level * ScaleToScreen(8), ItemText(Handle, LB_GETTEXTLEN, LB_GETTEXT, Item.itemID),
                    [OnPath](HDC Dc, int Left, int Top) { DrawFolder(Dc, Left, Top, OnPath); });
}

LRESULT CALLBACK TDirectoryListBox::ListProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam, UINT_PTR,
                                             DWORD_PTR Data)
{
    if (Message == WM_NCDESTROY)
        RemoveWindowSubclass(Window, ListProc, 0);
    TDirectoryListBox* List = reinterpret_cast<TDirectoryListBox*>(Data);
    // No exception may unwind through the system's frames between here and the message loop.
    try {
        return List->HandleListMessage(Message, WParam, LParam);
    } catch (const Exception& E) {
        Application->ShowException(E);
    } catch (const std::exception& E) {
        Application->ShowException(Exception(E.what()));
    }
    return 0;
}

LRESULT TDirectoryListBox::HandleListMessage(UINT Message, WPARAM WParam, LPARAM LParam)
{
    switch (Message) {
    case WM_GETDLGCODE: {
        // The dialog manager asks before it takes Enter for the default button.
        LRESULT Code = DefSubclassProc(Handle, Message, WParam, LParam);
        const MSG* Key = reinterpret_cast<const MSG*>(LParam);
        if (Key && Key->message == WM_KEYDOWN && Key->wParam == VK_RETURN && CanOpenSelected())
            Code |= DLGC_WANTMESSAGE;
        return Code;
    }
    case WM_KEYDOWN:
        if (WParam == VK_RETURN) {
            Open(SelectedIndex());
            return 0;
        }
        if (WParam == VK_BACK) {
            Open(PathLevels - 2);
            return 0;
        }
        break;
    case WM_CHAR:
        // The characters of Enter and Backspace are no search for a name.
        if (WParam == '\r' || WParam == '\b')
            return 0;
        break;
    }
    return DefSubclassProc(Handle, Message, WParam, LParam);
}
