// What the main window relies on from the toolkit, on the real controls; the window's caption,
// keyboard and About box.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "AppFixture.h"
#include "Classes.h"
#include "TestSupport.h"
#include "resource.h"
#include "version.h"

using namespace TestSupport;

namespace {

// The next dialog shown gets a click on one of its buttons; Shown tells which dialog it was.
void ClickInNextDialog(MessageBoxWatcher& Boxes, int ButtonId, HWND& Shown)
{
    OnNextDialog(Boxes, [ButtonId, &Shown](HWND Dialog) {
        Shown = Dialog;
        PostMessageA(GetDlgItem(Dialog, ButtonId), BM_CLICK, 0, 0);
    });
}

// The main window's controls without its handlers: the toolkit alone.
class BareWindow : public testing::Test {
protected:
    MessageBoxWatcher Boxes;
    KesterlyApp App;
    TRulesForm& Form = App.Form();

    void SetUp() override
    {
        Form.OnActivate = nullptr;
        Form.GameTab.OnChange = nullptr;
        Form.GameTab.OnChanging = nullptr;
        Form.RulesDir.OnChange = nullptr;
        App.Start();
    }
};

TEST_F(BareWindow, TabsAreSelectedFromCodeSilentlyAndChangedByTheUserWithNotice)
{
    TTabControl& Tabs = Form.GameTab;
    std::vector<std::string> Events;
    Tabs.OnChanging = [&](TObject*, bool&) { Events.push_back("changing " + std::to_string(Tabs.TabIndex())); };
    Tabs.OnChange = [&](TObject*) { Events.push_back("change " + std::to_string(Tabs.TabIndex())); };

    EXPECT_EQ(Tabs.TabIndex(), -1);
    Tabs.SetTabIndex(0);
    EXPECT_EQ(Tabs.TabIndex(), -1);
    Tabs.Tabs.Add("One");
    EXPECT_EQ(Tabs.TabIndex(), 0);
    Tabs.Tabs.Add("Two");
    Tabs.Tabs.Add("Three");
    EXPECT_EQ(Tabs.TabIndex(), 0);
    Tabs.SetTabIndex(2);
    EXPECT_EQ(Tabs.TabIndex(), 2);
    for (int Outside : {3, 100, -1, -2}) {
        Tabs.SetTabIndex(Outside);
        EXPECT_EQ(Tabs.TabIndex(), 2) << Outside;
    }
    App.Pump();
    EXPECT_TRUE(Events.empty());

    App.ClickTab(1);
    EXPECT_EQ(Events, (std::vector<std::string>{"changing 2", "change 1"}));
    Events.clear();
    PressOn(App, Tabs, VK_RIGHT);
    EXPECT_EQ(Events, (std::vector<std::string>{"changing 1", "change 2"}));
    // Ctrl+Tab is refused as a click is (its turn of the tabs is proved end to end).
    BYTE Keys[256] = {};
    Keys[VK_CONTROL] = 0x80;
    SetKeyboardState(Keys);
    Tabs.OnChanging = [](TObject*, bool& AllowChange) { AllowChange = false; };
    PressOn(App, Form.RulesList, VK_TAB);
    SetKeyboardState(std::vector<BYTE>(256).data());
    EXPECT_EQ(Tabs.TabIndex(), 2);
    EXPECT_EQ(Tabs.Tabs.IndexOf("Two"), 1);
    EXPECT_EQ(Tabs.Tabs.IndexOf("two"), -1);
}

TEST_F(BareWindow, EditTextFromCodeRaisesChangeAtOnceUnmodified)
{
    TEdit& Edit = Form.RulesDir;
    bool InsideSetText = false;
    std::vector<std::tuple<bool, bool, std::string>> Changes;  // inside SetText, modified, text
    Edit.OnChange = [&](TObject*) { Changes.emplace_back(InsideSetText, Edit.Modified(), Edit.Text()); };

    InsideSetText = true;
    Edit.SetText("C:\\One\\");
    Edit.SetText("C:\\One\\");  // the same text again
    InsideSetText = false;
    using Change = std::tuple<bool, bool, std::string>;
    EXPECT_EQ(Changes, (std::vector<Change>{{true, false, "C:\\One\\"}, {true, false, "C:\\One\\"}}));

    Changes.clear();
    SendMessageA(Edit.Handle, EM_SETSEL, 0, -1);
    TypeInto(App, Edit, "D:");
    EXPECT_EQ(Changes, (std::vector<Change>{{false, true, "D"}, {false, true, "D:"}}));
    EXPECT_TRUE(Edit.Modified());
    Edit.SetText("E:\\");
    EXPECT_FALSE(Edit.Modified());
}

struct TFailingHandler {
    const char* Name;
    std::function<void(TRulesForm&, std::function<void()>)> Bind;  // binds the throwing action
    std::function<void(KesterlyApp&)> Raise;                          // raises the event
    std::function<void()> Throw;
    const char* Message;
};
void PrintTo(const TFailingHandler& Case, std::ostream* Out) { *Out << Case.Name; }

class HandlerException : public testing::TestWithParam<TFailingHandler> {};

TEST_P(HandlerException, IsShownAndTheLoopGoesOn)
{
    const TFailingHandler& Case = GetParam();
    MessageBoxWatcher Boxes;
    KesterlyApp App;
    TRulesForm& Form = App.Form();
    Form.OnActivate = nullptr;
    App.Start();
    Form.GameTab.Tabs.Add("One");
    Form.GameTab.Tabs.Add("Two");
    Case.Bind(Form, Case.Throw);
    int AboutClicks = 0;
    Form.AboutButton.OnClick = [&](TObject*) { ++AboutClicks; };

    Case.Raise(App);
    App.Click(Form.AboutButton);
    ASSERT_EQ(Boxes.Boxes().size(), 1u);
    EXPECT_EQ(Boxes.Boxes()[0].Caption, "Kesterly");
    EXPECT_EQ(Boxes.Boxes()[0].Text, Case.Message);
    EXPECT_EQ(AboutClicks, 1);
    EXPECT_FALSE(App.Terminated());
}

INSTANTIATE_TEST_SUITE_P(
    EventLoop, HandlerException,
    testing::Values(
        TFailingHandler{"ButtonClick",
                        [](TRulesForm& Form, std::function<void()> Throw) {
                            Form.QuitButton.OnClick = [Throw](TObject*) { Throw(); };
                        },
                        [](KesterlyApp& App) { App.Click(App.Form().QuitButton); },
                        [] { throw Exception("The handler failed."); }, "The handler failed."},
        TFailingHandler{"TabChange",
                        [](TRulesForm& Form, std::function<void()> Throw) {
                            Form.GameTab.OnChange = [Throw](TObject*) { Throw(); };
                        },
                        [](KesterlyApp& App) { App.ClickTab(1); },
                        [] { throw std::runtime_error("Out of order."); }, "Out of order."}),
    [](const testing::TestParamInfo<TFailingHandler>& Info) { return std::string(Info.param.Name); });

TEST_F(BareWindow, ShowMessageIsCaptionedWithTheTitleAndHasOneOkButton)
{
    SetActiveWindow(Form.Handle);  // as it is when a handler of the window runs
    ShowMessage("Hello there.");
    ASSERT_EQ(Boxes.Boxes().size(), 1u);
    const TMessageBoxRecord& Box = Boxes.Boxes()[0];
    EXPECT_EQ(Box.Caption, "Kesterly");
    EXPECT_EQ(Box.Text, "Hello there.");
    EXPECT_EQ(Box.Buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(Box.Icon, 0u);
    EXPECT_EQ(Box.Owner, Form.Handle);
}

// Both games installed, each with real folders; rules for Tiberian Sun.
class Installed : public testing::Test {
protected:
    RegistrySandbox Registry;
    MessageBoxWatcher Boxes;
    TempDir Dir;
    std::string TSInstall = Dir.Folder("TS"), RAInstall = Dir.Folder("RA"), Rules = Dir.Folder("Rules");

    void SetUp() override
    {
        Registry.SetString(TSKey, "InstallPath", TSInstall + "Sun.exe");
        Registry.SetString(RAKey, "InstallPath", RAInstall + "RA95.exe");
        Registry.SetString(SettingsKey, "TSRulesDir", Rules);
        Registry.SetString(SettingsKey, "RARulesDir", Rules);
        Registry.SetDword(SettingsKey, "GameTab", 0);
        Dir.Write("Rules\\Alpha.ini", "[General]\r\nName=Tiberian Sun Alpha\r\n");
        Dir.Write("Rules\\Bravo.ini", "[General]\r\nName=Red Alert Bravo\r\n");
    }
};

TEST_F(Installed, ActivationSequenceRunsOnlyOnce)
{
    KesterlyApp App;
    App.Start();
    TRulesForm& Form = App.Form();
    SendMessageA(Form.RulesDir.Handle, EM_SETSEL, 0, -1);
    TypeInto(App, Form.RulesDir, RAInstall);
    App.ClickTab(1);
    ASSERT_EQ(App.Probe().TSRulesFolder(), RAInstall);
    // Settings changed behind the program's back must not be loaded again.
    Registry.SetString(SettingsKey, "TSRulesDir", TSInstall);
    Registry.SetDword(SettingsKey, "GameTab", 0);

    HWND About = nullptr, Chooser = nullptr;
    ClickInNextDialog(Boxes, IDC_OKBUTTON, About);
    App.Click(Form.AboutButton);
    ClickInNextDialog(Boxes, IDC_CANCELBTN, Chooser);
    App.Click(Form.BrowseButton);
    ShowMessage("Between.");
    HWND Other = CreateWindowExA(0, "STATIC", "Another program", WS_POPUP | WS_CAPTION | WS_VISIBLE, 10, 10, 200,
                                 100, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(Other);
    App.Pump();
    SetForegroundWindow(Form.Handle);
    App.Pump();
    DestroyWindow(Other);

    EXPECT_EQ(About, AboutForm->Handle);
    EXPECT_EQ(Chooser, RulesDirForm->Handle);
    EXPECT_EQ(Form.GameTab.Tabs.Count(), 2);
    EXPECT_EQ(Form.GameTab.TabIndex(), 1);
    EXPECT_EQ(App.Probe().TSRulesFolder(), RAInstall);
    EXPECT_EQ(Form.RulesDir.Text(), Rules);
    EXPECT_EQ(Boxes.Boxes().size(), 1u);
}

struct TCaptionCase {
    const char* Name;
    const char* Version;  // the About box's label, as designed when null
    const char* Caption;
};
void PrintTo(const TCaptionCase& Case, std::ostream* Out) { *Out << Case.Name; }

class Caption : public testing::TestWithParam<TCaptionCase> {};

TEST_P(Caption, CarriesTheAboutBoxVersion)
{
    RegistrySandbox Registry;
    MessageBoxWatcher Boxes;
    KesterlyApp App;
    if (GetParam().Version)
        AboutForm->Version.SetCaption(GetParam().Version);
    App.Start();
    EXPECT_EQ(App.Form().Caption(), GetParam().Caption);
}

INSTANTIATE_TEST_SUITE_P(MainWindow, Caption,
                         testing::Values(TCaptionCase{"AsDesigned", nullptr, "Kesterly (" KESTERLY_VERSION_LABEL ")"},
                                         TCaptionCase{"Changed", "Version 3.0 beta", "Kesterly (Version 3.0 beta)"}),
                         [](const testing::TestParamInfo<TCaptionCase>& Info) { return std::string(Info.param.Name); });

// Enter clicks Run when it is enabled, else Run no Rules: seen in what the started game finds.
struct TEnterCase {
    const char* Name;
    TWinControl& (*Focus)(TRulesForm&);
    bool SelectRules;
};
void PrintTo(const TEnterCase& Case, std::ostream* Out) { *Out << Case.Name; }

TWinControl& RulesDirOf(TRulesForm& Form) { return Form.RulesDir; }
TWinControl& RulesListOf(TRulesForm& Form) { return Form.RulesList; }
TWinControl& GameTabOf(TRulesForm& Form) { return Form.GameTab; }

class EnterKey : public testing::TestWithParam<TEnterCase> {};

TEST_P(EnterKey, ClicksTheFirstEnabledRunCommand)
{
    const TEnterCase& Case = GetParam();
    RegistrySandbox Registry;
    MessageBoxWatcher Boxes;
    TempDir Dir;
    StubGame Game(Dir.Folder("TS"), "Sun.exe");
    Dir.Write("TS\\Rules.ini", "old rules\r\n");
    Dir.Write("Rules\\Alpha.ini", "[General]\r\nName=Tiberian Sun Alpha\r\n");
    Registry.SetString(TSKey, "InstallPath", Game.Path());
    Registry.SetString(SettingsKey, "TSRulesDir", Dir / "Rules\\");
    Registry.SetDword(SettingsKey, "GameTab", 0);
    KesterlyApp App;
    App.Start();
    TRulesForm& Form = App.Form();
    if (Case.SelectRules)
        App.ClickRule(0);
    ASSERT_EQ(Form.RunButton.Enabled(), Case.SelectRules);
    PressOn(App, Case.Focus(Form), VK_RETURN);

    EXPECT_TRUE(App.Terminated());
    const std::vector<TStubRecord> Starts = Game.WaitForRecords(1);
    ASSERT_EQ(Starts.size(), 1u);
    EXPECT_EQ(Starts[0].RulesExists, Case.SelectRules);
    EXPECT_EQ(Starts[0].RulesFirstLine, Case.SelectRules ? "[General]" : "");
    EXPECT_TRUE(Boxes.Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, EnterKey,
    testing::Values(TEnterCase{"RulesDirRun", RulesDirOf, true}, TEnterCase{"RulesDirNoRules", RulesDirOf, false},
                    TEnterCase{"RulesListRun", RulesListOf, true}, TEnterCase{"RulesListNoRules", RulesListOf, false},
                    TEnterCase{"TabStripRun", GameTabOf, true}, TEnterCase{"TabStripNoRules", GameTabOf, false}),
    [](const testing::TestParamInfo<TEnterCase>& Info) { return std::string(Info.param.Name); });

TEST_F(Installed, EscapeOpensTheAboutBox)
{
    KesterlyApp App;
    App.Start();
    TRulesForm& Form = App.Form();
    for (TWinControl* Focus : std::vector<TWinControl*>{&Form.RulesDir, &Form.RulesList, &Form.GameTab}) {
        MessageBoxWatcher Watcher;  // a dialog is handed to an action on its first showing to a watcher
        HWND Shown = nullptr;
        ClickInNextDialog(Watcher, IDC_OKBUTTON, Shown);
        PressOn(App, *Focus, VK_ESCAPE);
        EXPECT_EQ(Shown, AboutForm->Handle) << Focus->Id;
        EXPECT_FALSE(AboutForm->Visible());
    }
    EXPECT_FALSE(App.Terminated());
    EXPECT_TRUE(Boxes.Boxes().empty());
}

TEST_F(Installed, AcceleratorsOpenTheirDialogs)
{
    KesterlyApp App;
    App.Start();
    TRulesForm& Form = App.Form();
    HWND Chooser = nullptr, About = nullptr;
    ClickInNextDialog(Boxes, IDC_CANCELBTN, Chooser);
    PressAltOn(App, Form.GameTab, 'b');
    EXPECT_EQ(Chooser, RulesDirForm->Handle);
    EXPECT_EQ(Form.RulesDir.Text(), Rules);
    EXPECT_EQ(App.Probe().CurrentRulesFolder(), Rules);
    ClickInNextDialog(Boxes, IDC_OKBUTTON, About);
    PressAltOn(App, Form.RulesDir, 'A');
    EXPECT_EQ(About, AboutForm->Handle);
    EXPECT_FALSE(App.Terminated());
    PressAltOn(App, Form.RulesList, 'q');
    EXPECT_TRUE(App.Terminated());
    EXPECT_TRUE(Boxes.Boxes().empty());
}

// A control of the main window that outlives it, and records each notification handed to it once
// the window's destruction has begun (~TRulesForm clears RulesForm): such a notification would run
// on a destroyed control.
struct TLateWatcher : TWinControl {
    std::vector<WORD> Late;
    void Command(WORD Code) override
    {
        if (!RulesForm)
            Late.push_back(Code);
    }
};

// The main window with one more control, a child window made here and bound to Watcher.
class TWatchedRulesForm : public TRulesForm {
public:
    static inline TLateWatcher* Watcher = nullptr;
    static inline bool WindowLeftAtDestruction = false;  // whether its window outlived the form's start of destruction

    void AddWatched(const char* ClassName, DWORD Style)
    {
        CreateWindowExA(WS_EX_CLIENTEDGE, ClassName, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | Style, 24, 250, 200, 40,
                        Handle, reinterpret_cast<HMENU>(static_cast<INT_PTR>(WatchedId)), nullptr, nullptr);
        Bind(*Watcher, WatchedId);
    }
    ~TWatchedRulesForm() override { WindowLeftAtDestruction = IsWindow(Watcher->Handle) != FALSE; }

private:
    static const int WatchedId = 4000;
};

struct TQuitCase {
    const char* Name;
    const char* FocusClass;  // the control left with the focus: a folder box or a list
    DWORD Style;
    bool CloseBox;  // else Alt+Q, which leaves the focus where it is
};
void PrintTo(const TQuitCase& Case, std::ostream* Out) { *Out << Case.Name; }

class QuitWithFocus : public Installed, public testing::WithParamInterface<TQuitCase> {};

TEST_P(QuitWithFocus, HandsNothingToTheControlsOfADestroyedWindow)
{
    TLateWatcher Watcher;
    TWatchedRulesForm::Watcher = &Watcher;
    TWatchedRulesForm::WindowLeftAtDestruction = true;
    {
        KesterlyApp App(KesterlyApp::MainForm<TWatchedRulesForm>);
        static_cast<TWatchedRulesForm&>(App.Form()).AddWatched(GetParam().FocusClass, GetParam().Style);
        App.Start();
        App.Focus(Watcher);
        ASSERT_EQ(GetFocus(), Watcher.Handle);
        if (GetParam().CloseBox)
            PostMessageA(App.Form().Handle, WM_SYSCOMMAND, SC_CLOSE, 0);
        else
            PostMessageA(Watcher.Handle, WM_SYSCHAR, 'q', 1 | (1u << 29));
        App.Pump();
        ASSERT_TRUE(App.Terminated());
    }
    EXPECT_EQ(Watcher.Late, std::vector<WORD>{});
    // Gone before the form's members, the fonts and glyphs that the controls use among them.
    EXPECT_FALSE(TWatchedRulesForm::WindowLeftAtDestruction);
}

INSTANTIATE_TEST_SUITE_P(MainWindow, QuitWithFocus,
                         testing::Values(TQuitCase{"FolderBoxAltQ", "EDIT", ES_AUTOHSCROLL, false},
                                         TQuitCase{"FolderBoxCloseBox", "EDIT", ES_AUTOHSCROLL, true},
                                         TQuitCase{"ListAltQ", "LISTBOX", LBS_NOTIFY, false},
                                         TQuitCase{"ListCloseBox", "LISTBOX", LBS_NOTIFY, true}),
                         [](const testing::TestParamInfo<TQuitCase>& Info) { return std::string(Info.param.Name); });

// A control whose colours cannot be had once Failing is set: its CtlColor throws.
struct TFailingColours : TLateWatcher {
    bool Failing = false;
    HBRUSH CtlColor(HDC Dc) override
    {
        if (Failing)
            throw Exception("No colours today.");
        return TLateWatcher::CtlColor(Dc);
    }
};

// The colour messages' answer is the brush itself: after an exception it is the system's default brush.
TEST_F(Installed, AFailingColourHandlerIsShownAndPaintsWithTheDefaultBrush)
{
    TFailingColours Failing;
    TWatchedRulesForm::Watcher = &Failing;
    KesterlyApp App(KesterlyApp::MainForm<TWatchedRulesForm>);
    static_cast<TWatchedRulesForm&>(App.Form()).AddWatched("EDIT", 0);
    App.Start();
    Failing.Failing = true;
    HDC Dc = GetDC(Failing.Handle);
    const LRESULT Brush = SendMessageA(App.Form().Handle, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(Dc),
                                       reinterpret_cast<LPARAM>(Failing.Handle));
    ReleaseDC(Failing.Handle, Dc);
    EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(Brush)), static_cast<DWORD>(OBJ_BRUSH)) << Brush;
    ASSERT_EQ(Boxes.Boxes().size(), 1u);
    EXPECT_EQ(Boxes.Boxes()[0].Text, "No colours today.");
}

// How the About box is closed, and the result it ends with.
struct TAboutClose {
    const char* Name;
    std::vector<std::pair<UINT, WPARAM>> Messages;  // posted to its OK button (WM_SYSCOMMAND: to the box)
    int Result;
};
void PrintTo(const TAboutClose& Case, std::ostream* Out) { *Out << Case.Name; }

class AboutBox : public testing::TestWithParam<TAboutClose> {};

TEST_P(AboutBox, Closes)
{
    MessageBoxWatcher Boxes;
    KesterlyApp App;
    App.Form().OnActivate = nullptr;
    App.Start();
    OnNextDialog(Boxes, [Messages = GetParam().Messages](HWND Dialog) {
        for (const auto& [Message, Param] : Messages)
            PostMessageA(Message == WM_SYSCOMMAND ? Dialog : GetDlgItem(Dialog, IDC_OKBUTTON), Message, Param, 1);
    });
    EXPECT_EQ(AboutForm->ShowModal(), GetParam().Result);
    EXPECT_FALSE(AboutForm->Visible());
    EXPECT_TRUE(IsWindowEnabled(App.Form().Handle));
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, AboutBox,
    testing::Values(TAboutClose{"OkButton", {{BM_CLICK, 0}}, mrOk},
                    TAboutClose{"Enter", {{WM_KEYDOWN, VK_RETURN}, {WM_KEYUP, VK_RETURN}}, mrOk},
                    TAboutClose{"EscapeIsNotBound", {{WM_KEYDOWN, VK_ESCAPE}, {WM_KEYUP, VK_ESCAPE}, {BM_CLICK, 0}}, mrOk},
                    TAboutClose{"CloseBox", {{WM_SYSCOMMAND, SC_CLOSE}}, mrCancel}),
    [](const testing::TestParamInfo<TAboutClose>& Info) { return std::string(Info.param.Name); });

TEST_F(Installed, AboutChangesNothingInTheMainWindow)
{
    KesterlyApp App;
    App.Start();
    TRulesForm& Form = App.Form();
    App.ClickTab(1);
    App.ClickRule(0);
    auto State = [&] {
        RulesFormProbe Probe = App.Probe();
        return std::make_tuple(Form.GameTab.TabIndex(), Form.RulesDir.Text(), Items(Form.RulesList),
                               Probe.SelectedRulesIndex(), Form.RunButton.Enabled(), Form.NoRulesButton.Enabled(),
                               Probe.CurrentRulesFolder(), Probe.TSRulesFolder(), Probe.RARulesFolder(), Form.Caption());
    };
    const auto Before = State();
    ASSERT_EQ(std::get<3>(Before), 0);
    ASSERT_TRUE(std::get<4>(Before));
    HWND About = nullptr;
    ClickInNextDialog(Boxes, IDC_OKBUTTON, About);
    App.Click(Form.AboutButton);
    EXPECT_EQ(About, AboutForm->Handle);
    EXPECT_EQ(State(), Before);
    EXPECT_FALSE(App.Terminated());
}

// The file layer's pieces for keeping a copy of a file: comparison, identity and the time stamp.
TEST(FileLayer, SameContentTellsEqualBytesFromADifferenceAnywhere)
{
    TempDir Dir;
    const std::string Bytes(200000, 'r');  // several chunks of the comparison
    const std::string A = Dir.Write("a.ini", Bytes), Equal = Dir.Write("equal.ini", Bytes),
                      Longer = Dir.Write("longer.ini", Bytes + "r"), Empty1 = Dir.Write("empty1.ini", ""),
                      Empty2 = Dir.Write("empty2.ini", "");
    auto Same = [](const std::string& Name1, const std::string& Name2) {
        TFileStream File1(Name1, fmOpenRead), File2(Name2, fmOpenRead);
        File1.Seek(10);  // compared from the start all the same
        return SameContent(File1, File2);
    };
    EXPECT_TRUE(Same(A, Equal));
    EXPECT_FALSE(Same(A, Longer));
    EXPECT_TRUE(Same(Empty1, Empty2));
    for (size_t At : {size_t(0), size_t(65536), Bytes.size() - 4097, Bytes.size() - 4096, Bytes.size() - 1}) {
        std::string Differs = Bytes;
        Differs[At] = 's';
        EXPECT_FALSE(Same(A, Dir.Write("differs.ini", Differs))) << At;
    }
}

TEST(FileLayer, SameFileSeesThroughSpellingsButNotThroughCopies)
{
    TempDir Dir;
    const std::string File = Dir.Write("Sub\\Rules.ini", "x");
    Dir.Write("Sub\\Copy.ini", "x");
    EXPECT_TRUE(SameFile(File, Dir.Path() + "SUB\\\\.\\rules.INI"));
    EXPECT_FALSE(SameFile(File, Dir / "Sub\\Copy.ini"));
}

TEST(FileLayer, TheTimeStampSortsAndFitsAFileName)
{
    EXPECT_EQ(DateTimeStamp({2026, 12, 8, 9, 41, 7}), "2026-12-08 09.41.07");
}

// Texts from files. The test programs run in UTF-8, as Kesterly does, on a Western system.
TEST(TextLayer, FileTextIsUtf8OrElseTheSystemsLegacyCodePage)
{
    ASSERT_EQ(GetACP(), 65001u);
    EXPECT_EQ(LegacyCodePage(), 1252u);
    EXPECT_EQ(TextFromFile("Plain: rules"), "Plain: rules");
    EXPECT_EQ(TextFromFile("R\xC3\xA8gles \xCE\x9A \xE8\xA6\x8F"), "R\xC3\xA8gles \xCE\x9A \xE8\xA6\x8F");
    EXPECT_EQ(TextFromFile("R\xE8gles \x80"), "R\xC3\xA8gles \xE2\x82\xAC");
    // One invalid sequence makes the whole text legacy: UTF-8 bytes beside it read as two characters.
    EXPECT_EQ(TextFromFile("\xC3\xA8\xE8"), "\xC3\x83\xC2\xA8\xC3\xA8");
}

// The game's arguments: what follows the name on Kesterly's command line, as it stands.
TEST(TextLayer, CommandLineArgumentsFollowTheProgramsNameAsWindowsReadsIt)
{
    EXPECT_EQ(CommandLineArguments("\"Z:\\Red Alert\\kesterly.exe\"  -CD \"two words\" "), "-CD \"two words\" ");
    // Unquoted, the name ends at the first blank or tab: a quotation mark within it ends nothing.
    EXPECT_EQ(CommandLineArguments("C:\\R\"A\\k.exe\t\t-CD\t\"a \"\"b\""), "-CD\t\"a \"\"b\"");
    for (const char* alone : {"kesterly.exe", "\"C:\\Red Alert\\kesterly.exe\" \t", "\"C:\\R A\\k.exe -x"})
        EXPECT_EQ(CommandLineArguments(alone), "");
}

// A path beyond MAX_PATH is searched and found through the wide calls.
TEST(TextLayer, SearchTakesLongPaths)
{
    TempDir Dir;
    Dir.Write("short.ini", "x");
    const std::string Deep = Dir.Folder(std::string(150, 'd') + "\\" + std::string(150, 'e'));
    ASSERT_GT(Deep.size(), 300u);
    Dir.Write(std::string(150, 'd') + "\\" + std::string(150, 'e') + "\\deep.ini", "y");
    std::vector<std::string> Names;
    for (const std::string& Pattern : {Dir / "*.ini", Deep + "*.ini"})
        ForEachPlainFile(Pattern, [&Names](const TFoundFile& Found) {
            Names.push_back(Found.Name);
            return true;
        });
    EXPECT_EQ(Names, (std::vector<std::string>{"short.ini", "deep.ini"}));
    EXPECT_TRUE(FileExists(Deep + "deep.ini"));
}

}  // namespace
