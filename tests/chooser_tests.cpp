// The folder chooser on the real platform: the modal dialog is driven with real window messages
// while it runs its own message loop, over folders in a temporary folder and the drives Wine offers.
#include "AppFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

using namespace TestSupport;

namespace {

std::string WithoutBackslash(std::string Folder)
{
    if (Folder.size() > 3 && Folder.back() == '\\')
        Folder.pop_back();
    return Folder;
}

std::string Lower(std::string Text)
{
    CharLowerBuffA(&Text[0], static_cast<DWORD>(Text.size()));
    return Text;
}

std::string Upper(std::string Text)
{
    CharUpperBuffA(&Text[0], static_cast<DWORD>(Text.size()));
    return Text;
}

std::vector<std::string> Items(const TWinControl& Control, UINT CountMessage, UINT LengthMessage, UINT TextMessage)
{
    std::vector<std::string> Result;
    const int Count = static_cast<int>(SendMessageA(Control.Handle, CountMessage, 0, 0));
    for (int Index = 0; Index < Count; ++Index) {
        std::string Text(SendMessageA(Control.Handle, LengthMessage, Index, 0) + 1, '\0');
        Text.resize(SendMessageA(Control.Handle, TextMessage, Index, reinterpret_cast<LPARAM>(&Text[0])));
        Result.push_back(Text);
    }
    return Result;
}

std::vector<std::string> ListItems()
{
    return Items(RulesDirForm->DirListBox, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
}

std::vector<std::string> DriveItems()
{
    return Items(RulesDirForm->DriveListBox, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
}

// The chooser as the user finds it on the screen.
HWND ShownChooser()
{
    HWND Window = FindWindowA("#32770", "Select Rules Directory");
    return Window && IsWindowVisible(Window) ? Window : nullptr;
}

// Steps run one at a time inside the chooser's modal loop, each once the input posted by the step
// before has been handled: a timer message comes only when the queue holds nothing else.
class ModalScript {
public:
    explicit ModalScript(std::vector<std::function<void()>> Steps) : Steps(std::move(Steps))
    {
        Running = this;
        Timer = SetTimer(nullptr, 0, 1, Tick);
    }
    ~ModalScript()
    {
        KillTimer(nullptr, Timer);
        Running = nullptr;
    }
    bool Finished() const { return Next == Steps.size(); }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        ModalScript& Script = *Running;
        if (!RulesDirForm->Modal())
            return;
        if (Script.Next < Script.Steps.size()) {
            Script.Steps[Script.Next++]();
        } else if (++Script.Idle > 500) {
            ADD_FAILURE() << "the chooser stayed open after the last step";
            RulesDirForm->ModalResult = mrCancel;
        }
    }

    static ModalScript* Running;
    std::vector<std::function<void()>> Steps;
    size_t Next = 0;
    int Idle = 0;
    UINT_PTR Timer = 0;
};
ModalScript* ModalScript::Running = nullptr;

// The user's input to the open chooser, posted as the system would post it.
void PostClick(HWND Window, POINT At, bool Double = false)
{
    const LPARAM Where = MAKELPARAM(At.x, At.y);
    PostMessageA(Window, WM_LBUTTONDOWN, MK_LBUTTON, Where);
    PostMessageA(Window, WM_LBUTTONUP, 0, Where);
    if (Double) {
        PostMessageA(Window, WM_LBUTTONDBLCLK, MK_LBUTTON, Where);
        PostMessageA(Window, WM_LBUTTONUP, 0, Where);
    }
}

void ClickButton(const TWinControl& Button)
{
    RECT Client;
    GetClientRect(Button.Handle, &Client);
    PostClick(Button.Handle, {Client.right / 2, Client.bottom / 2});
}

void DoubleClickFolder(const std::string& Name)
{
    const std::vector<std::string> Names = ListItems();
    const auto Found = std::find(Names.begin(), Names.end(), Name);
    ASSERT_NE(Found, Names.end()) << Name << " is not listed";
    RECT Item;
    HWND List = RulesDirForm->DirListBox.Handle;
    SendMessageA(List, LB_GETITEMRECT, Found - Names.begin(), reinterpret_cast<LPARAM>(&Item));
    PostClick(List, {(Item.left + Item.right) / 2, (Item.top + Item.bottom) / 2}, true);
}

// Keys go to the directory list, where the chooser puts the focus. They are not sent to GetFocus():
// a test program running beside this one on the same display may take the activation away.
void PressKey(UINT Key, HWND Target = nullptr)
{
    if (!Target)
        Target = RulesDirForm->DirListBox.Handle;
    const UINT Scan = MapVirtualKeyA(Key, MAPVK_VK_TO_VSC);
    PostMessageA(Target, WM_KEYDOWN, Key, 1 | (Scan << 16));
    PostMessageA(Target, WM_KEYUP, Key, 1 | (Scan << 16) | (3u << 30));
}

void TypeInto(const TWinControl& Control, char Character)
{
    PostMessageA(Control.Handle, WM_CHAR, static_cast<unsigned char>(Character), 1);
}

void CloseBox()
{
    PostMessageA(RulesDirForm->Handle, WM_SYSCOMMAND, SC_CLOSE, 0);
}

// Counts the scans of the rules folder: each begins by emptying the visible list.
class ScanCounter {
public:
    explicit ScanCounter(HWND List) : List(List)
    {
        Running = this;
        Old = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(List, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc)));
    }
    ~ScanCounter()
    {
        SetWindowLongPtrA(List, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Old));
        Running = nullptr;
    }
    int Scans = 0;

private:
    static LRESULT CALLBACK Proc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam)
    {
        if (Message == LB_RESETCONTENT)
            ++Running->Scans;
        return CallWindowProcA(Running->Old, Window, Message, WParam, LParam);
    }
    static ScanCounter* Running;
    HWND List;
    WNDPROC Old = nullptr;
};
ScanCounter* ScanCounter::Running = nullptr;

// Both games installed, the Red Alert tab remembered with a rules folder in a temporary folder.
class Chooser : public ::testing::Test {
protected:
    RegistrySandbox Registry;
    MessageBoxWatcher Boxes;
    TempDir Temp;
    std::string RulesFolder;  // as the program holds it, with a closing backslash
    std::string TSFolder;
    std::unique_ptr<KesterlyApp> App;

    void SetUp() override
    {
        RulesFolder = Temp.Folder("Rules");
        TSFolder = Temp.Folder("TSRules");
        Temp.Write("Rules\\Veteran.ini", "[General]\r\nName=Red Alert: Veteran\r\n");
        Registry.SetString(TSKey, "InstallPath", Temp / "TS\\Game.exe");
        Registry.SetString(RAKey, "InstallPath", Temp / "RA\\Ra95.exe");
        Registry.SetString(SettingsKey, "TSRulesDir", TSFolder);
        Registry.SetString(SettingsKey, "RARulesDir", RulesFolder);
        Registry.SetDword(SettingsKey, "GameTab", RATab);
        App = std::make_unique<KesterlyApp>();
        App->Start();
        ASSERT_EQ(App->Form().GameTab.TabIndex(), RATab);
        ASSERT_EQ(App->Probe().CurrentRulesFolder(), RulesFolder);
    }
    void TearDown() override
    {
        App.reset();
        EXPECT_TRUE(Boxes.Boxes().empty()) << "a message box appeared: " << Boxes.Boxes().front().Text;
    }

    // Browse, with the steps run in the open chooser; returns its modal result.
    int Browse(std::vector<std::function<void()>> Steps)
    {
        ModalScript Script(std::move(Steps));
        App->Click(App->Form().BrowseButton);
        EXPECT_TRUE(Script.Finished()) << "the chooser closed before its last step, or never opened";
        return RulesDirForm->ModalResult;
    }
    std::vector<std::string> Catalogue()
    {
        return Items(App->Form().RulesList, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
    }
};

TEST_F(Chooser, OpensOnTheCurrentFolderAndOkRescansItOnce)
{
    Temp.Write("Rules\\Classic.ini", "[General]\r\nName=Red Alert\r\n");
    ScanCounter Counter(App->Form().RulesList.Handle);
    const int Result = Browse({[&] {
        EXPECT_EQ(ShownChooser(), RulesDirForm->Handle);
        EXPECT_EQ(RulesDirForm->DirListBox.Directory(), WithoutBackslash(RulesFolder));
        EXPECT_EQ(RulesDirForm->DriveListBox.Drive(), RulesFolder[0]);
        ClickButton(RulesDirForm->OKBtn);
    }});
    EXPECT_EQ(Result, mrOk);
    EXPECT_EQ(Counter.Scans, 1);
    EXPECT_EQ(App->Probe().CurrentRulesFolder(), RulesFolder);
    EXPECT_EQ(App->Form().RulesDir.Text(), RulesFolder);
    EXPECT_EQ(Catalogue().size(), 2u) << "the file added since the last scan is listed";
    EXPECT_EQ(App->Probe().Activated(), 0);
}

TEST_F(Chooser, CancelEscapeAndTheCloseBoxChangeNothing)
{
    const std::vector<std::function<void()>> WaysOut = {[] { ClickButton(RulesDirForm->CancelBtn); },
                                                         [] { PressKey(VK_ESCAPE); }, CloseBox};
    Temp.Folder("Rules\\Sub");
    Temp.Write("Rules\\Classic.ini", "[General]\r\nName=Red Alert\r\n");
    const std::vector<std::string> Before = Catalogue();
    for (const auto& WayOut : WaysOut) {
        ScanCounter Counter(App->Form().RulesList.Handle);
        EXPECT_EQ(Browse({[] { DoubleClickFolder("Sub"); }, [] { TypeInto(RulesDirForm->DriveListBox, 'z'); }, WayOut}),
                  mrCancel);
        EXPECT_EQ(Counter.Scans, 0);
        EXPECT_EQ(App->Probe().CurrentRulesFolder(), RulesFolder);
        EXPECT_EQ(App->Form().RulesDir.Text(), RulesFolder);
        EXPECT_EQ(Catalogue(), Before);
    }
}

TEST_F(Chooser, EnterIsOkOnTheCurrentFolder)
{
    EXPECT_EQ(Browse({[] { PressKey(VK_RETURN); }}), mrOk);
    EXPECT_EQ(App->Probe().CurrentRulesFolder(), RulesFolder);
}

TEST_F(Chooser, AnotherDriveMovesTheListAndOkGivesAFolderOnIt)
{
    ASSERT_EQ(RulesFolder[0], 'C');
    std::string Shown;
    EXPECT_EQ(Browse({[] { TypeInto(RulesDirForm->DriveListBox, 'z'); },
                      [&] {
                          EXPECT_EQ(RulesDirForm->DriveListBox.Drive(), 'Z');
                          Shown = RulesDirForm->DirListBox.Directory();
                          EXPECT_EQ(ListItems().front(), "Z:\\");
                          ClickButton(RulesDirForm->OKBtn);
                      }}),
              mrOk);
    EXPECT_EQ(Shown.substr(0, 3), "Z:\\");
    EXPECT_EQ(App->Probe().CurrentRulesFolder(), WithoutBackslash(Shown) + "\\");
    EXPECT_EQ(App->Form().RulesDir.Text(), App->Probe().CurrentRulesFolder());
}

TEST_F(Chooser, DrivesAreListedInUpperCaseWithTheirKind)
{
    Browse({[] { ClickButton(RulesDirForm->CancelBtn); }});
    const std::vector<std::string> Drives = DriveItems();
    ASSERT_GE(Drives.size(), 2u);
    bool C = false, Z = false;
    for (const std::string& Drive : Drives) {
        EXPECT_EQ(Drive.substr(1, 3), ": [") << Drive;
        EXPECT_EQ(Drive.back(), ']') << Drive;
        EXPECT_EQ(Drive, Upper(Drive));
        C = C || Drive[0] == 'C';
        Z = Z || Drive[0] == 'Z';
    }
    EXPECT_TRUE(C && Z);
}

TEST_F(Chooser, ADrivesRootGetsOneMoreBackslash)
{
    EXPECT_EQ(Browse({[] { TypeInto(RulesDirForm->DriveListBox, 'z'); },
                      [] { DoubleClickFolder("Z:\\"); },
                      [] {
                          EXPECT_EQ(RulesDirForm->DirListBox.Directory(), "Z:\\");
                          ClickButton(RulesDirForm->OKBtn);
                      }}),
              mrOk);
    EXPECT_EQ(App->Probe().CurrentRulesFolder(), "Z:\\\\");
    EXPECT_EQ(App->Form().RulesDir.Text(), "Z:\\\\");
}

TEST_F(Chooser, TypedFolderWithoutClosingBackslashIsNotWhereItOpens)
{
    Temp.Folder("Rules\\Other");
    App->Focus(App->Form().RulesDir);
    SendMessageA(App->Form().RulesDir.Handle, EM_SETSEL, 0, -1);
    App->Type(RulesFolder + "Other");
    ASSERT_EQ(App->Probe().CurrentRulesFolder(), RulesFolder);
    Browse({[&] {
        EXPECT_EQ(RulesDirForm->DirListBox.Directory(), WithoutBackslash(RulesFolder));
        ClickButton(RulesDirForm->CancelBtn);
    }});
}

TEST_F(Chooser, SubfoldersAreSortedAndOpenedByDoubleClick)
{
    // The file system's own order puts "_" after the letters.
    for (const char* Name : {"gamma", "Alpha", "_Drafts", "beta", "Delta"})
        Temp.Folder(std::string("Rules\\") + Name);
    std::vector<std::string> Listed;
    EXPECT_EQ(Browse({[&] {
                          Listed = ListItems();
                          DoubleClickFolder("beta");
                      },
                      [] { ClickButton(RulesDirForm->OKBtn); }}),
              mrOk);
    ASSERT_GE(Listed.size(), 6u);
    EXPECT_EQ(Listed.front(), RulesFolder.substr(0, 3));
    EXPECT_EQ(std::vector<std::string>(Listed.end() - 5, Listed.end()),
              (std::vector<std::string>{"_Drafts", "Alpha", "beta", "Delta", "gamma"}));
    EXPECT_EQ(Listed[Listed.size() - 6], "Rules");
    EXPECT_EQ(App->Probe().CurrentRulesFolder(), RulesFolder + "beta\\");
}

TEST_F(Chooser, EnterOpensTheSelectedSubfolderThenAcceptsIt)
{
    Temp.Folder("Rules\\Alpha");
    Temp.Folder("Rules\\Beta");
    EXPECT_EQ(Browse({[] { PressKey(VK_DOWN); },
                      [] { PressKey(VK_RETURN); },
                      [&] {
                          EXPECT_EQ(RulesDirForm->DirListBox.Directory(), RulesFolder + "Alpha");
                          PressKey(VK_RETURN);
                      }}),
              mrOk);
    EXPECT_EQ(App->Probe().CurrentRulesFolder(), RulesFolder + "Alpha\\");
}

TEST_F(Chooser, BackspaceOpensTheParent)
{
    Browse({[] { PressKey(VK_BACK); },
            [&] {
                EXPECT_EQ(RulesDirForm->DirListBox.Directory(), WithoutBackslash(Temp.Path()));
                ClickButton(RulesDirForm->CancelBtn);
            }});
}

TEST_F(Chooser, ChosenFolderComesBackAfterATabRoundTrip)
{
    Temp.Folder("Rules\\Chosen");
    Browse({[] { DoubleClickFolder("Chosen"); }, [] { ClickButton(RulesDirForm->OKBtn); }});
    App->ClickTab(TSTab);
    EXPECT_EQ(App->Form().RulesDir.Text(), TSFolder);
    App->ClickTab(RATab);
    EXPECT_EQ(App->Form().RulesDir.Text(), RulesFolder + "Chosen\\");
    EXPECT_EQ(App->Probe().CurrentRulesFolder(), RulesFolder + "Chosen\\");
}

TEST_F(Chooser, QuitWithoutATabChangeSavesTheFolderStoredBefore)
{
    Temp.Folder("Rules\\Chosen");
    Browse({[] { DoubleClickFolder("Chosen"); }, [] { ClickButton(RulesDirForm->OKBtn); }});
    ASSERT_EQ(App->Probe().CurrentRulesFolder(), RulesFolder + "Chosen\\");
    App->Click(App->Form().QuitButton);
    EXPECT_TRUE(App->Terminated());
    EXPECT_EQ(Registry.GetString(SettingsKey, "RARulesDir"), RulesFolder);
}

TEST_F(Chooser, IsTheSameWindowAtEveryBrowseAndOpensOnTheCurrentFolderEachTime)
{
    Temp.Folder("Rules\\Sub");
    HWND First = nullptr, Second = nullptr;
    Browse({[&] { First = ShownChooser(); }, [] { DoubleClickFolder("Sub"); },
            [] { ClickButton(RulesDirForm->CancelBtn); }});
    Browse({[&] {
        Second = ShownChooser();
        EXPECT_EQ(RulesDirForm->DirListBox.Directory(), WithoutBackslash(RulesFolder));
        ClickButton(RulesDirForm->CancelBtn);
    }});
    EXPECT_EQ(First, RulesDirForm->Handle);
    EXPECT_EQ(Second, First);
    EXPECT_FALSE(RulesDirForm->Visible());
}

TEST_F(Chooser, TabOrderRunsListOkCancelDrive)
{
    const TRulesDirForm& F = *RulesDirForm;
    std::vector<HWND> Order = {GetNextDlgTabItem(F.Handle, nullptr, FALSE)};
    for (int Step = 0; Step < 4; ++Step)
        Order.push_back(GetNextDlgTabItem(F.Handle, Order.back(), FALSE));
    EXPECT_EQ(Order, (std::vector<HWND>{F.DirListBox.Handle, F.OKBtn.Handle, F.CancelBtn.Handle,
                                        F.DriveListBox.Handle, F.DirListBox.Handle}));
    EXPECT_EQ(F.ActiveControl, &F.DirListBox);
}

// Folders the main window may hold that are not plain full paths: the dialog still opens and stays usable.
class ChooserInput : public Chooser {
protected:
    // Opens the chooser on this folder text and returns what the two boxes show.
    void OpenOn(const std::string& Folder, std::string& Directory, char& Drive)
    {
        App->Probe().CurrentRulesFolder() = Folder;
        EXPECT_EQ(Browse({[&] {
                      Directory = RulesDirForm->DirListBox.Directory();
                      Drive = RulesDirForm->DriveListBox.Drive();
                      EXPECT_GE(ListItems().size(), 1u);
                      ClickButton(RulesDirForm->OKBtn);
                  }}),
                  mrOk);
        EXPECT_EQ(App->Probe().CurrentRulesFolder(), WithoutBackslash(Directory) + "\\");
    }
    std::string Directory;
    char Drive = '?';
};

TEST_F(ChooserInput, EmptyTextSelectsNoDriveAndListsTheCurrentFolder)
{
    OpenOn("", Directory, Drive);
    EXPECT_EQ(Drive, '\0');
    char Current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, Current);
    EXPECT_EQ(Lower(Directory), Lower(WithoutBackslash(Current)));
}

TEST_F(ChooserInput, MissingFolderOpensItsNearestExistingParent)
{
    OpenOn(RulesFolder + "Gone\\Deeper\\", Directory, Drive);
    EXPECT_EQ(Directory, WithoutBackslash(RulesFolder));
    EXPECT_EQ(Drive, 'C');
}

TEST_F(ChooserInput, PathWithoutDriveLetterIsOnTheCurrentDrive)
{
    char Previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, Previous);
    ASSERT_TRUE(SetCurrentDirectoryA(Temp.Path().c_str()));
    OpenOn(RulesFolder.substr(2), Directory, Drive);
    SetCurrentDirectoryA(Previous);
    EXPECT_EQ(Directory, WithoutBackslash(RulesFolder));
    EXPECT_EQ(Drive, '\0') << "the text's first character names no drive";
}

TEST_F(ChooserInput, RelativePathIsResolvedAgainstTheCurrentFolder)
{
    char Previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, Previous);
    ASSERT_TRUE(SetCurrentDirectoryA(Temp.Path().c_str()));
    OpenOn("Rules\\", Directory, Drive);
    SetCurrentDirectoryA(Previous);
    EXPECT_EQ(Directory, WithoutBackslash(RulesFolder));
}

TEST_F(ChooserInput, LowerCaseDriveLetterShowsTheDriveInUpperCaseAndStaysOnTheFolder)
{
    OpenOn(Lower(RulesFolder), Directory, Drive);
    EXPECT_EQ(Drive, 'C');
    EXPECT_EQ(Directory, WithoutBackslash(RulesFolder)) << "the names as the file system spells them";
    const std::vector<std::string> Drives = DriveItems();
    const LRESULT Selected = SendMessageA(RulesDirForm->DriveListBox.Handle, CB_GETCURSEL, 0, 0);
    ASSERT_GE(Selected, 0);
    EXPECT_EQ(Drives[Selected].substr(0, 2), "C:");
}

// A folder given in another letter case, in any script, or by its short alias is spelled as stored;
// its subfolders come in the order of the user's locale.
TEST_F(ChooserInput, AnyLetterCaseOrShortAliasIsSpelledAsStoredAndNamesSortInTheLocale)
{
    const std::string Stored = WithoutBackslash(Temp.Folder("R\xC3\xA8gles"));  // e grave
    const std::vector<std::string> Sorted = {"Ezra", "\xD0\x81\xD0\xBB\xD0\xBA\xD0\xB0", "\xD0\xAF\xD0\xB1"};
    for (const std::string& Name : Sorted)
        Temp.Folder("R\xC3\xA8gles\\" + Name);
    OpenOn(Temp.Path() + "R\xC3\x88GLES\\", Directory, Drive);  // E grave
    EXPECT_EQ(Directory, Stored);
    const std::vector<std::string> Listed = ListItems();
    EXPECT_EQ(std::vector<std::string>(Listed.end() - 3, Listed.end()), Sorted);
    wchar_t Alias[MAX_PATH];
    ASSERT_GT(GetShortPathNameW(WideText(Stored).c_str(), Alias, MAX_PATH), 0u);
    OpenOn(AnsiText(Alias, lstrlenW(Alias)), Directory, Drive);
    EXPECT_EQ(Directory, Stored);
}

TEST_F(ChooserInput, DriveThatDoesNotExistShowsItsRootAlone)
{
    const DWORD Drives = GetLogicalDrives();
    char Missing = 'Y';
    while (Missing > 'D' && (Drives & (1u << (Missing - 'A'))))
        --Missing;
    OpenOn(std::string(1, Missing) + ":\\Rules\\", Directory, Drive);
    EXPECT_EQ(Directory, std::string(1, Missing) + ":\\");
    EXPECT_EQ(Drive, '\0');
    EXPECT_EQ(ListItems(), std::vector<std::string>{Directory});
}

TEST_F(ChooserInput, DriveWithoutMediumShowsItsRootAlone)
{
    const DWORD Drives = GetLogicalDrives();
    char Empty = '\0';
    const UINT OldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    for (char Letter = 'A'; Letter <= 'Z' && !Empty; ++Letter) {
        const char Root[] = {Letter, ':', '\\', '\0'};
        const UINT Type = GetDriveTypeA(Root);
        if ((Drives & (1u << (Letter - 'A'))) && (Type == DRIVE_REMOVABLE || Type == DRIVE_CDROM) &&
            GetFileAttributesA(Root) == INVALID_FILE_ATTRIBUTES)
            Empty = Letter;
    }
    SetErrorMode(OldMode);
    if (!Empty)
        GTEST_SKIP() << "this machine offers no removable or CD drive without a medium";
    OpenOn(std::string(1, Empty) + ":\\Rules\\", Directory, Drive);
    EXPECT_EQ(Directory, std::string(1, Empty) + ":\\");
    EXPECT_EQ(Drive, Empty);
}

}  // namespace
