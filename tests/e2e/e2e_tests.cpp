// The whole program as a user meets it: kesterly.exe runs as its own process on the prefix's real
// registry, the games are stand-in executables in install folders with blanks in their paths, and
// every action is a mouse click or a key press sent to its windows.
#include "Driver.h"
#include "SysUtils.h"
#include "TestSupport.h"
#include "resource.h"
#include "version.h"

#include <gtest/gtest.h>
#include <oleacc.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>

using namespace E2E;
using namespace TestSupport;

namespace {

using Strings = std::vector<std::string>;

Strings Sorted(Strings items)
{
    std::sort(items.begin(), items.end());
    return items;
}

std::string WithoutClosingBackslash(const std::string& folder)
{
    return folder.substr(0, folder.size() - 1);
}

// A rules file of exactly `size` bytes: its [General] section, then comment lines.
std::string RulesText(const std::string& general, size_t size)
{
    std::string text = "; rules file\r\n[General]\r\n" + general + "\r\n\r\n[Comments]\r\n";
    for (size_t i = 0; text.size() < size; ++i)
        text += i % 70 == 69 ? std::string("\r\n;") : std::string(1, static_cast<char>('A' + i * 11 % 26));
    text.resize(size);
    return text;
}

// The focusable controls of a window in tab order, each by the name Windows' screen-reader support
// gives it: a button its caption; any other control the first static before it in z-order, hidden
// or not, passing other hidden controls and stopping at a visible tab stop or group start. Edit
// boxes and buttons, the only controls Wine's accessibility layer names, are also checked by
// get_accName, from this other process as a screen reader asks.
Strings ControlNames(HWND window)
{
    Strings names;
    for (HWND control = GetWindow(window, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        if ((GetWindowLongA(control, GWL_STYLE) & (WS_VISIBLE | WS_TABSTOP)) != (WS_VISIBLE | WS_TABSTOP))
            continue;
        const bool button = SendMessageW(control, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON);
        HWND label = button ? control : nullptr;
        for (HWND before = control; !label && (before = GetWindow(before, GW_HWNDPREV)) != nullptr;) {
            const LONG style = GetWindowLongA(before, GWL_STYLE);
            if (SendMessageW(before, WM_GETDLGCODE, 0, 0) & DLGC_STATIC)
                label = before;
            else if ((style & WS_VISIBLE) && (style & (WS_TABSTOP | WS_GROUP)))
                break;
        }
        std::string name = label ? KesterlyProcess::Text(label) : "";
        name.erase(std::min(name.find('&'), name.size()), 1);  // an accelerator's mark
        IAccessible* object = nullptr;
        BSTR read = nullptr;
        VARIANT self = {};
        self.vt = VT_I4;  // CHILDID_SELF; __uuidof, as MinGW's IID_IAccessible would need dllimport
        if (button || (SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)) {  // an edit box
            if (SUCCEEDED(AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&object))))
                object->get_accName(self, &read), object->Release();
            EXPECT_EQ(read ? AnsiText(read, SysStringLen(read)) : "", name);
            SysFreeString(read);
        }
        names.push_back(name);
    }
    return names;
}

class EndToEnd : public testing::Test {
protected:
    void SetUp() override
    {
        // The stand-in game shows a window only for the demo sandbox.
        SetEnvironmentVariableA("KESTERLY_STUB_WINDOW", nullptr);
        RulesFolder = Root.Folder("My Rules");
        Root.Write("My Rules\\RA Classic.ini", RulesText("Name=Red Alert\r\nCrateMinimum=1", 300));
        Veteran = Root.Write("My Rules\\Veteran.ini", RulesText("Name=Red Alert: Veteran Units", 5000));
        Root.Write("My Rules\\OLD.INI", RulesText("CrateMinimum=3", 120));
        Root.Write("My Rules\\TS Fast.ini", RulesText("Name=Tiberian Sun (fast build)", 200));
        Root.Write("My Rules\\mix.ini", RulesText("Name=red alert mix", 100));
        Root.Write("My Rules\\notes.ini", "Notes on these rules\r\n[Todo]\r\nName=Red Alert\r\n");
        const std::string hidden = Root.Write("My Rules\\hidden.ini", RulesText("Name=Red Alert hidden", 100));
        SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
        Root.Folder("My Rules\\folder.ini");
    }

    void InstallTiberianSun()
    {
        TSFolder = Root.Folder("Westwood Games\\Tiberian Sun");
        TS = std::make_unique<StubGame>(TSFolder, "Sun.exe");
        RegistryKeys::SetString(TSKey, "InstallPath", TS->Path());
    }

    void InstallRedAlert()
    {
        RAFolder = Root.Folder("Westwood Games\\Red Alert");
        RA = std::make_unique<StubGame>(RAFolder, "RA95.exe");
        RegistryKeys::SetString(RAKey, "InstallPath", RA->Path());
    }

    // Both games, the Red Alert tab remembered with the rules folder.
    void InstallBothRedAlertRemembered()
    {
        InstallTiberianSun();
        InstallRedAlert();
        RegistryKeys::SetDword(SettingsKey, "GameTab", 1);
        RegistryKeys::SetString(SettingsKey, "RARulesDir", RulesFolder);
    }

    // This build's kesterly.exe.
    static std::string Program()
    {
        char full[MAX_PATH];
        GetFullPathNameA((ExeFolder() + "..\\kesterly.exe").c_str(), MAX_PATH, full, nullptr);
        return full;
    }

    std::unique_ptr<KesterlyProcess> Start() { return std::make_unique<KesterlyProcess>(Program()); }

    static const Strings& RedAlertEntries()
    {
        static const Strings entries = {"OLD", "RA Classic", "Veteran: Veteran Units"};
        return entries;
    }

    // Kesterly's registry keys come first, so they are put back after everything else is gone.
    RegistryKeys Keys;
    TempDir Root;
    std::string RulesFolder, TSFolder, RAFolder, Veteran;
    std::unique_ptr<StubGame> TS, RA;
};

TEST_F(EndToEnd, TypicalRoadInstallsChosenRulesStartsRedAlertAndRemembers)
{
    InstallBothRedAlertRemembered();
    Root.Write("Westwood Games\\Red Alert\\Rules.ini", RulesText("Name=Red Alert old", 7000));
    auto app = Start();
    HWND list = app->Control(IDC_RULESLIST);
    HWND run = app->Control(IDC_RUNBUTTON);

    EXPECT_EQ(app->TabCaptions(), (Strings{"Tiberian SUN", "Red Alert"}));
    EXPECT_EQ(app->TabSelection(), 1);
    EXPECT_EQ(KesterlyProcess::Text(app->Control(IDC_DIRTEXT)), RAFolder);
    EXPECT_EQ(KesterlyProcess::Text(app->Control(IDC_RULESDIR)), RulesFolder);
    const Strings items = KesterlyProcess::ListItems(list);
    ASSERT_EQ(Sorted(items), RedAlertEntries());
    EXPECT_FALSE(IsWindowEnabled(run));

    const auto veteran = std::find(items.begin(), items.end(), "Veteran: Veteran Units");
    const int chosen = static_cast<int>(veteran - items.begin());
    app->ClickListItem(list, chosen);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(run) != FALSE; }));
    EXPECT_EQ(KesterlyProcess::ListSelection(list), chosen);
    app->Click(run);

    EXPECT_EQ(app->WaitForExit(), std::optional<DWORD>(0));
    const std::string installed = Root.Read("Westwood Games\\Red Alert\\Rules.ini");
    EXPECT_EQ(installed.size(), 5000u);
    EXPECT_TRUE(installed == ReadWholeFile(Veteran)) << "Rules.ini is not a copy of Veteran.ini";
    const std::vector<TStubRecord> starts = RA->WaitForRecords(1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].CommandLine, "\"" + RA->Path() + "\"");
    EXPECT_EQ(starts[0].CurrentFolder, WithoutClosingBackslash(RAFolder));
    EXPECT_EQ(starts[0].RulesSize, 5000);
    EXPECT_TRUE(TS->Records().empty());
    EXPECT_EQ(RegistryKeys::GetString(SettingsKey, "RARulesDir"), RulesFolder);
    EXPECT_EQ(RegistryKeys::GetString(SettingsKey, "TSRulesDir"), TSFolder);
    EXPECT_EQ(RegistryKeys::GetDword(SettingsKey, "GameTab"), std::optional<DWORD>(1));
}

TEST_F(EndToEnd, RunNoRulesRemovesInstalledRulesAndStartsTheGame)
{
    InstallTiberianSun();
    InstallRedAlert();
    Root.Write("Westwood Games\\Tiberian Sun\\Rules.ini", RulesText("Name=Tiberian Sun old", 400));
    auto app = Start();
    ASSERT_EQ(app->TabSelection(), 0);
    // No settings yet: the rules folder is the install folder.
    EXPECT_EQ(KesterlyProcess::Text(app->Control(IDC_RULESDIR)), TSFolder);

    app->Click(app->Control(IDC_NORULESBUTTON));

    EXPECT_EQ(app->WaitForExit(), std::optional<DWORD>(0));
    EXPECT_FALSE(Root.Exists("Westwood Games\\Tiberian Sun\\Rules.ini"));
    const std::vector<TStubRecord> starts = TS->WaitForRecords(1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].CommandLine, "\"" + TS->Path() + "\"");
    EXPECT_EQ(starts[0].CurrentFolder, WithoutClosingBackslash(TSFolder));
    EXPECT_FALSE(starts[0].RulesExists);
    EXPECT_EQ(RegistryKeys::GetString(SettingsKey, "TSRulesDir"), TSFolder);
    EXPECT_EQ(RegistryKeys::GetString(SettingsKey, "RARulesDir"), RAFolder);
    EXPECT_EQ(RegistryKeys::GetDword(SettingsKey, "GameTab"), std::optional<DWORD>(0));
}

TEST_F(EndToEnd, AMissingGameProgramIsReportedInABoxAndKesterlyStillEnds)
{
    InstallBothRedAlertRemembered();
    DeleteFileA(RA->Path().c_str());
    auto app = Start();
    HWND list = app->Control(IDC_RULESLIST);
    HWND run = app->Control(IDC_RUNBUTTON);
    app->ClickListItem(list, 0);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(run) != FALSE; }));
    app->Click(run);

    HWND box = app->WaitForDialog("Error running Red Alert: #2");
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(KesterlyProcess::Text(GetDlgItem(box, 0xFFFF)).empty());  // the system's text for the code
    EXPECT_TRUE(Root.Exists("Westwood Games\\Red Alert\\Rules.ini"));       // installed before the start
    EXPECT_FALSE(app->WaitForExit(0));                                       // waits for the box
    app->Click(GetDlgItem(box, IDOK));

    EXPECT_EQ(app->WaitForExit(), std::optional<DWORD>(0));
    EXPECT_EQ(RegistryKeys::GetDword(SettingsKey, "GameTab"), std::optional<DWORD>(1));
}

TEST_F(EndToEnd, QuitSavesTheRememberedSettingsButNotAFolderJustTyped)
{
    InstallBothRedAlertRemembered();
    auto app = Start();
    HWND edit = app->Control(IDC_RULESDIR);
    HWND list = app->Control(IDC_RULESLIST);
    ASSERT_EQ(Sorted(KesterlyProcess::ListItems(list)), RedAlertEntries());

    app->PressOn(edit, VK_END);
    app->Type(edit, "Other\\");
    ASSERT_TRUE(WaitUntil([&] { return KesterlyProcess::Text(edit) == RulesFolder + "Other\\"; }));
    EXPECT_TRUE(WaitUntil([&] { return KesterlyProcess::ListItems(list).empty(); }));
    app->Click(app->Control(IDC_QUITBUTTON));

    EXPECT_EQ(app->WaitForExit(), std::optional<DWORD>(0));
    EXPECT_EQ(RegistryKeys::GetString(SettingsKey, "RARulesDir"), RulesFolder);
    EXPECT_EQ(RegistryKeys::GetDword(SettingsKey, "GameTab"), std::optional<DWORD>(1));
    EXPECT_TRUE(TS->Records().empty());
    EXPECT_TRUE(RA->Records().empty());
}

TEST_F(EndToEnd, CloseBoxAfterATabChangeSavesBothFoldersAndTheNewTab)
{
    InstallBothRedAlertRemembered();
    auto app = Start();

    app->ClickTab(0);
    ASSERT_TRUE(WaitUntil([&] { return app->TabSelection() == 0; }));
    ASSERT_TRUE(WaitUntil([&] { return KesterlyProcess::Text(app->Control(IDC_DIRTEXT)) == TSFolder; }));
    EXPECT_EQ(KesterlyProcess::Text(app->Control(IDC_RULESDIR)), TSFolder);
    PostMessageW(app->MainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);

    EXPECT_EQ(app->WaitForExit(), std::optional<DWORD>(0));
    EXPECT_EQ(RegistryKeys::GetString(SettingsKey, "RARulesDir"), RulesFolder);
    EXPECT_EQ(RegistryKeys::GetString(SettingsKey, "TSRulesDir"), TSFolder);
    EXPECT_EQ(RegistryKeys::GetDword(SettingsKey, "GameTab"), std::optional<DWORD>(0));
    EXPECT_TRUE(TS->Records().empty());
    EXPECT_TRUE(RA->Records().empty());
}

TEST_F(EndToEnd, EscapeOpensTheAboutBoxAndOkReturnsToAnUnchangedWindow)
{
    InstallBothRedAlertRemembered();
    auto app = Start();
    HWND list = app->Control(IDC_RULESLIST);
    HWND run = app->Control(IDC_RUNBUTTON);
    app->ClickListItem(list, 1);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(run) != FALSE; }));
    const Strings items = KesterlyProcess::ListItems(list);
    // Screen readers name every control of the windows by the label beside it.
    EXPECT_EQ(ControlNames(app->MainWindow()), (Strings{"Rules Directory:", "Browse...", "Run", "Run no Rules", "About",
                                                        "Quit", "Please select the game rules bias to use:", "Game:"}));

    app->Press(VK_ESCAPE);
    HWND about = app->WaitForDialog("About...");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(ControlNames(about), Strings{"OK"});
    EXPECT_EQ(KesterlyProcess::Text(app->Control(IDC_VERSION, about)), KESTERLY_VERSION_LABEL);
    EXPECT_EQ(KesterlyProcess::Text(app->Control(IDC_PRODUCTNAME, about)), "Kesterly");
    EXPECT_FALSE(IsWindowEnabled(app->MainWindow()));  // modal
    app->Click(app->Control(IDC_OKBUTTON, about));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(about); }));

    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(app->MainWindow()) != FALSE; }));
    EXPECT_EQ(app->TabCaptions(), (Strings{"Tiberian SUN", "Red Alert"}));
    EXPECT_EQ(app->TabSelection(), 1);
    EXPECT_EQ(KesterlyProcess::Text(app->Control(IDC_RULESDIR)), RulesFolder);
    EXPECT_EQ(KesterlyProcess::ListItems(list), items);
    EXPECT_EQ(KesterlyProcess::ListSelection(list), 1);
    EXPECT_TRUE(IsWindowEnabled(run));
    app->Click(app->Control(IDC_QUITBUTTON));
    EXPECT_EQ(app->WaitForExit(), std::optional<DWORD>(0));
}

TEST_F(EndToEnd, BrowseOpensOnTheCurrentFolderAndOkRescansIt)
{
    InstallBothRedAlertRemembered();
    auto app = Start();
    HWND list = app->Control(IDC_RULESLIST);

    app->Click(app->Control(IDC_BROWSEBUTTON));
    HWND chooser = app->WaitForDialog("Select Rules Directory");
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(ControlNames(chooser), (Strings{"Folders:", "OK", "Cancel", "Drive:"}));
    HWND folders = app->Control(IDC_DIRLISTBOX, chooser);
    ASSERT_TRUE(WaitUntil([&] { return KesterlyProcess::ListSelection(folders) >= 0; }));
    const Strings shown = KesterlyProcess::ListItems(folders);
    const int current = KesterlyProcess::ListSelection(folders);
    ASSERT_LT(current, static_cast<int>(shown.size()));
    EXPECT_EQ(shown[current], "My Rules");
    EXPECT_EQ(shown[0].substr(0, 2), RulesFolder.substr(0, 2));  // the drive's root comes first

    // A rules file that arrives while the chooser is open is found by the rescan after OK.
    Root.Write("My Rules\\New.ini", RulesText("Name=Red Alert (new)", 150));
    app->Click(app->Control(IDC_OKBTN, chooser));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(chooser); }));
    ASSERT_TRUE(WaitUntil([&] { return KesterlyProcess::ListItems(list).size() == 4; }));
    Strings expected = RedAlertEntries();
    expected.push_back("New (new)");
    EXPECT_EQ(Sorted(KesterlyProcess::ListItems(list)), Sorted(expected));
    // The chooser spells the folder as the file system does.
    EXPECT_EQ(lstrcmpiA(KesterlyProcess::Text(app->Control(IDC_RULESDIR)).c_str(), RulesFolder.c_str()), 0);

    app->Click(app->Control(IDC_QUITBUTTON));
    EXPECT_EQ(app->WaitForExit(), std::optional<DWORD>(0));
}

// The tab items that accessibility clients were told were selected, as (window, child id).
std::vector<std::pair<HWND, LONG>> Announced;
void CALLBACK Announce(HWINEVENTHOOK, DWORD, HWND window, LONG, LONG child, DWORD, DWORD)
{
    Announced.emplace_back(window, child);
}

// Ctrl+Tab and Ctrl+Shift+Tab, Ctrl+PageDown and Ctrl+PageUp, with the focus in the rules list: the
// next and the previous tab, round the end, and the folder typed on the tab left is kept for it, as
// when the tab is clicked. Each new tab is announced to a screen reader, as it hears of events.
TEST_F(EndToEnd, CtrlTabTurnsTheTabsFromAnywhereAsAClickDoes)
{
    InstallBothRedAlertRemembered();
    auto app = Start();
    HWND list = app->Control(IDC_RULESLIST), edit = app->Control(IDC_RULESDIR), tabs = app->Control(IDC_GAMETAB);
    app->ClickListItem(list, 0);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    app->Type(edit, "Other\\");
    ASSERT_TRUE(WaitUntil([&] { return app->Focus() == list && KesterlyProcess::Text(edit) == "Other\\"; }));
    Announced.clear();
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_SELECTION, EVENT_OBJECT_SELECTION, nullptr, Announce, app->Id(),
                                         0, WINEVENT_OUTOFCONTEXT);

    using Keys = std::vector<WORD>;
    for (const auto& [next, previous] : {std::make_pair(Keys{VK_CONTROL, VK_TAB}, Keys{VK_CONTROL, VK_SHIFT, VK_TAB}),
                                         std::make_pair(Keys{VK_CONTROL, VK_NEXT}, Keys{VK_CONTROL, VK_PRIOR})}) {
        app->PressKeys(next);
        ASSERT_TRUE(WaitUntil([&] { return KesterlyProcess::Text(app->Control(IDC_DIRTEXT)) == TSFolder; }));
        EXPECT_EQ(app->TabSelection(), 0);
        app->PressKeys(previous);
        ASSERT_TRUE(WaitUntil([&] { return KesterlyProcess::Text(edit) == "Other\\"; }));
        EXPECT_EQ(app->TabSelection(), 1);
        EXPECT_EQ(app->Focus(), list);
    }
    EXPECT_TRUE(WaitUntil([] { return Announced.size() >= 4; }));
    UnhookWinEvent(hook);
    using Item = std::pair<HWND, LONG>;
    EXPECT_EQ(Announced, (std::vector<Item>{{tabs, 1}, {tabs, 2}, {tabs, 1}, {tabs, 2}}));
}

// The caption (at 0) and the controls' texts (at their IDs) of a window.
std::map<int, std::string> Texts(HWND window)
{
    std::map<int, std::string> texts = {{0, KesterlyProcess::Text(window)}};
    for (HWND control = GetWindow(window, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT))
        texts[GetDlgCtrlID(control)] = KesterlyProcess::Text(control);
    return texts;
}

// The same of a window as a language's resources make it, before the program fills it.
std::map<int, std::string> TemplateTexts(int id, WORD language)
{
    ResourceLanguage = language;
    const auto* made = static_cast<const DLGTEMPLATE*>(FindResourceData(5 /* RT_DIALOG */, id));
    HWND window = CreateDialogIndirectParamW(nullptr, made, nullptr, nullptr, 0);
    ResourceLanguage = 0;
    std::map<int, std::string> texts = Texts(window);
    DestroyWindow(window);
    return texts;
}

// Every text of a window that the program did not fill in itself is as the language's resources have it.
void ExpectTexts(HWND window, int id, WORD language)
{
    std::map<int, std::string> shown = Texts(window);
    for (const auto& [control, text] : TemplateTexts(id, language))
        if (!text.empty() && (control != 0 || id != IDD_RULESFORM)) {
            EXPECT_EQ(shown[control], text) << "window " << id << ", control " << control;
        }
}

// Under a German locale every window and message is in German. Wine takes a program's display
// language from its Unix locale, which a Windows parent cannot change: ctest runs this case alone,
// under LC_ALL=de_DE.UTF-8.
TEST_F(EndToEnd, UnderAGermanLocaleTheWindowsAndMessagesAreGerman)
{
    if (PRIMARYLANGID(GetUserDefaultUILanguage()) != LANG_GERMAN)
        GTEST_SKIP() << "the display language is not German: run under LC_ALL=de_DE.UTF-8";
    const WORD german = MAKELANGID(LANG_GERMAN, SUBLANG_NEUTRAL);
    const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    ASSERT_NE(TemplateTexts(IDD_ABOUTFORM, german)[0], TemplateTexts(IDD_ABOUTFORM, english)[0]);
    InstallBothRedAlertRemembered();
    DeleteFileA(RA->Path().c_str());
    auto app = Start();

    ExpectTexts(app->MainWindow(), IDD_RULESFORM, german);
    const std::string version = TemplateTexts(IDD_ABOUTFORM, german)[IDC_VERSION];
    EXPECT_EQ(KesterlyProcess::Text(app->MainWindow()), "Kesterly (" + version + ")");
    app->Click(app->Control(IDC_BROWSEBUTTON));
    HWND chooser = app->WaitForDialog(TemplateTexts(IDD_RULESDIRFORM, german)[0]);
    ASSERT_NE(chooser, nullptr);
    ExpectTexts(chooser, IDD_RULESDIRFORM, german);
    app->Click(app->Control(IDC_CANCELBTN, chooser));
    // The key goes where the focus is: wait until it is back in the main window.
    ASSERT_TRUE(WaitUntil([&] { return IsChild(app->MainWindow(), app->Focus()) != FALSE; }));
    app->Press(VK_ESCAPE);
    HWND about = app->WaitForDialog(TemplateTexts(IDD_ABOUTFORM, german)[0]);
    ASSERT_NE(about, nullptr);
    ExpectTexts(about, IDD_ABOUTFORM, german);
    app->Click(app->Control(IDC_OKBUTTON, about));

    ResourceLanguage = german;
    const std::string title = FmtLoadStr(IDS_ERRORRUNNING, {"Red Alert", "2"});
    ResourceLanguage = 0;
    app->ClickListItem(app->Control(IDC_RULESLIST), 0);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(app->Control(IDC_RUNBUTTON)) != FALSE; }));
    app->Click(app->Control(IDC_RUNBUTTON));
    HWND box = app->WaitForDialog(title);
    ASSERT_NE(box, nullptr) << title;
    app->Click(GetDlgItem(box, IDOK));
    EXPECT_EQ(app->WaitForExit(), std::optional<DWORD>(0));
}

TEST_F(EndToEnd, WithoutGamesTheWindowSaysSoAndOnlyAboutAndQuitWork)
{
    auto app = Start();
    EXPECT_EQ(ControlNames(app->MainWindow()), (Strings{"Run", "Run no Rules", "About", "Quit", "Game:"}));
    // Ctrl+Tab does nothing, nor moves the focus as Tab does: Shift+Tab then goes back from the tab strip.
    app->PressKeys({VK_CONTROL, VK_TAB});
    app->PressKeys({VK_SHIFT, VK_TAB});
    EXPECT_TRUE(WaitUntil([&] { return app->Focus() == app->Control(IDC_QUITBUTTON); }));

    EXPECT_TRUE(app->TabCaptions().empty());
    HWND notFound = app->Control(IDC_NOTFOUND);
    EXPECT_TRUE(IsWindowVisible(notFound));
    EXPECT_EQ(KesterlyProcess::Text(notFound), "No Supported Games Found");
    EXPECT_FALSE(IsWindowEnabled(app->Control(IDC_RUNBUTTON)));
    EXPECT_FALSE(IsWindowEnabled(app->Control(IDC_NORULESBUTTON)));
    EXPECT_FALSE(IsWindowVisible(app->Control(IDC_RULESLIST)));
    EXPECT_FALSE(IsWindowVisible(app->Control(IDC_RULESDIR)));
    EXPECT_FALSE(IsWindowVisible(app->Control(IDC_BROWSEBUTTON)));
    EXPECT_TRUE(IsWindowVisible(app->Control(IDC_ABOUTBUTTON)));

    app->Click(app->Control(IDC_QUITBUTTON));
    EXPECT_EQ(app->WaitForExit(), std::optional<DWORD>(0));
    EXPECT_EQ(RegistryKeys::GetDword(SettingsKey, "GameTab"), std::optional<DWORD>(0xFFFFFFFF));
}

// Each build's suites prove that build's program: the i686 run drives the 32-bit kesterly.exe,
// which a 64-bit system runs under WoW64, the x86_64 run the 64-bit one. The two builds rightly
// differ there, and nowhere in what they save: both keep their settings in the 32-bit view, which
// the 64-bit registry holds under Software\Wow6432Node.
TEST_F(EndToEnd, EachBuildRunsItsOwnProgramAndBothSaveWhereTheOtherFindsTheSettings)
{
#ifdef _WIN64
    const WORD expectedMachine = IMAGE_FILE_MACHINE_AMD64;
    const BOOL expectedWow64 = FALSE;
#else
    const WORD expectedMachine = IMAGE_FILE_MACHINE_I386;
    const BOOL expectedWow64 = TRUE;
#endif
    const std::string image = ReadWholeFile(Program());
    ASSERT_GT(image.size(), 0x40u);
    const DWORD header = *reinterpret_cast<const DWORD*>(image.data() + 0x3c);
    ASSERT_LT(header + 6, image.size());
    EXPECT_EQ(image.compare(header, 4, std::string("PE\0\0", 4)), 0);
    EXPECT_EQ(*reinterpret_cast<const WORD*>(image.data() + header + 4), expectedMachine);

    InstallBothRedAlertRemembered();
    auto app = Start();
    BOOL wow64 = !expectedWow64;
    ASSERT_TRUE(IsWow64Process(app->Process(), &wow64));
    EXPECT_EQ(wow64, expectedWow64);
    app->Click(app->Control(IDC_QUITBUTTON));
    ASSERT_EQ(app->WaitForExit(), std::optional<DWORD>(0));

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\Halvek\\Kesterly", 0,
                            KEY_READ | KEY_WOW64_64KEY, &key),
              ERROR_SUCCESS);
    char folder[MAX_PATH] = {};
    DWORD size = sizeof folder - 1;
    EXPECT_EQ(RegQueryValueExA(key, "RARulesDir", nullptr, nullptr, reinterpret_cast<BYTE*>(folder), &size),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(std::string(folder), RulesFolder);
}

// A game that today's digital editions recorded in the 64-bit view only (a 64-bit installer or
// client wrote it there): each build finds it, installs the rules into its folder and starts the
// program found there, from that folder.
TEST_F(EndToEnd, GameRecordedOnlyInThe64BitViewIsFoundAndRunFromItsFolder)
{
    RAFolder = Root.Folder("Library\\steamapps\\common\\Red Alert");
    RA = std::make_unique<StubGame>(RAFolder, "RA95Launcher.exe");
    RegistryKeys::SetString(RAStoreKey, "Install Dir", WithoutClosingBackslash(RAFolder), KEY_WOW64_64KEY);
    TSFolder = Root.Folder("Library\\steamapps\\common\\Tiberian Sun");
    TS = std::make_unique<StubGame>(TSFolder, "Game.exe");
    RegistryKeys::SetString(TSSteamKey, "InstallLocation", TSFolder, KEY_WOW64_64KEY);
    RegistryKeys::SetDword(SettingsKey, "GameTab", 1);
    RegistryKeys::SetString(SettingsKey, "RARulesDir", RulesFolder);
    ASSERT_FALSE(RegistryKeys::GetString(RAStoreKey, "Install Dir"));
    auto app = Start();

    EXPECT_EQ(app->TabCaptions(), (Strings{"Tiberian SUN", "Red Alert"}));
    EXPECT_EQ(KesterlyProcess::Text(app->Control(IDC_DIRTEXT)), RAFolder);
    HWND list = app->Control(IDC_RULESLIST);
    const Strings items = KesterlyProcess::ListItems(list);
    const auto veteran = std::find(items.begin(), items.end(), "Veteran: Veteran Units");
    ASSERT_NE(veteran, items.end());
    app->ClickListItem(list, static_cast<int>(veteran - items.begin()));
    HWND run = app->Control(IDC_RUNBUTTON);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(run) != FALSE; }));
    app->Click(run);

    EXPECT_EQ(app->WaitForExit(), std::optional<DWORD>(0));
    EXPECT_TRUE(ReadWholeFile(RAFolder + "Rules.ini") == ReadWholeFile(Veteran));
    const std::vector<TStubRecord> starts = RA->WaitForRecords(1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].CommandLine, "\"" + RA->Path() + "\"");
    EXPECT_EQ(starts[0].CurrentFolder, WithoutClosingBackslash(RAFolder));
    EXPECT_TRUE(TS->Records().empty());
}

// A text value of HKEY_CURRENT_USER, set while the object lives and put back afterwards.
class UserSetting {
public:
    UserSetting(const char* key, const char* name, const char* value) : Key(key), Name(name)
    {
        Had = RegGetValueA(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, Old, &Size) == ERROR_SUCCESS;
        RegSetKeyValueA(HKEY_CURRENT_USER, key, name, REG_SZ, value, static_cast<DWORD>(strlen(value) + 1));
    }
    ~UserSetting()
    {
        if (Had)
            RegSetKeyValueA(HKEY_CURRENT_USER, Key, Name, REG_SZ, Old, Size);
        else
            RegDeleteKeyValueA(HKEY_CURRENT_USER, Key, Name);
    }
    UserSetting(const UserSetting&) = delete;
    UserSetting& operator=(const UserSetting&) = delete;

private:
    const char* Key;
    const char* Name;
    char Old[256] = "";
    DWORD Size = sizeof Old;
    bool Had = false;
};

// A DLL that lies beside the downloaded kesterly.exe never runs in it. Windows prefers a DLL in the
// program's folder to its own, unless it is a KnownDLL; Wine does so for the DLLs that its
// per-program overrides name "native,builtin". The stand-in msimg32.dll (e2e/PlantedDll.cpp) leaves
// a file beside itself when it runs.
TEST_F(EndToEnd, ADllBesideTheDownloadedProgramNeverRunsInIt)
{
    TempDir downloads;
    const std::string program = downloads / "kesterly.exe";
    const std::string planted = ExeFolder() + "planted\\msimg32.dll";
    ASSERT_TRUE(CopyFileA(Program().c_str(), program.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(planted.c_str(), (downloads / "msimg32.dll").c_str(), FALSE));
    InstallBothRedAlertRemembered();
    {
        UserSetting nativeFirst("Software\\Wine\\AppDefaults\\kesterly.exe\\DllOverrides", "msimg32", "native,builtin");
        // Wine's own uxtheme.dll draws themed controls with msimg32, which it delay-loads through the
        // search path the process started with, the program's folder first, whatever
        // SetDefaultDllDirectories said since. That load is Wine's, not Kesterly's: no visual style.
        UserSetting noTheme("Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager", "ThemeActive", "0");
        KesterlyProcess app(program);
        ASSERT_EQ(KesterlyProcess::ListItems(app.Control(IDC_RULESLIST)).size(), RedAlertEntries().size());
        app.Click(app.Control(IDC_QUITBUTTON));
        ASSERT_EQ(app.WaitForExit(), std::optional<DWORD>(0));
    }
    EXPECT_FALSE(downloads.Exists("planted-dll-ran"));

    // Loaded, the stand-in does leave its file, so the check above can fail.
    ASSERT_TRUE(CopyFileA(planted.c_str(), (downloads / "standin.dll").c_str(), FALSE));
    HMODULE standIn = LoadLibraryA((downloads / "standin.dll").c_str());
    ASSERT_NE(standIn, nullptr);
    FreeLibrary(standIn);
    EXPECT_TRUE(downloads.Exists("planted-dll-ran"));
}

// --- Names in any script ------------------------------------------------------------------------
// Kesterly runs in UTF-8 (its manifest's code page), and so does this driver: names are UTF-8 here.

// The index of an item, or -1.
int IndexOf(const Strings& items, const std::string& item)
{
    const auto found = std::find(items.begin(), items.end(), item);
    return found == items.end() ? -1 : static_cast<int>(found - items.begin());
}

// The chooser's selected folder, as its list shows it.
std::string CurrentFolderShown(HWND folders)
{
    const Strings shown = KesterlyProcess::ListItems(folders);
    const int current = KesterlyProcess::ListSelection(folders);
    return current >= 0 && current < static_cast<int>(shown.size()) ? shown[current] : std::string();
}

// Selects the entry, runs it, and checks that the game started with that file as its Rules.ini.
void RunEntry(const std::string& exe, const std::string& entry, const std::string& file, const StubGame& game,
              size_t starts, const std::string& folder = "", const std::string& arguments = "")
{
    KesterlyProcess app(exe, KesterlyProcess::WaitForActivation, folder, arguments);
    HWND list = app.Control(IDC_RULESLIST);
    const int index = IndexOf(KesterlyProcess::ListItems(list), entry);
    ASSERT_GE(index, 0) << entry;
    app.ClickListItem(list, index);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(app.Control(IDC_RUNBUTTON)) != FALSE; })) << entry;
    app.Click(app.Control(IDC_RUNBUTTON));
    EXPECT_EQ(app.WaitForExit(), std::optional<DWORD>(0)) << entry;
    EXPECT_EQ(game.WaitForRecords(starts).size(), starts) << entry;
    const std::string installed = ReadWholeFile(game.Path().substr(0, game.Path().rfind('\\') + 1) + "Rules.ini");
    EXPECT_TRUE(installed == ReadWholeFile(file)) << "Rules.ini is not a copy of " << file;
}

TEST_F(EndToEnd, FileNamesInEveryScriptAreListedUnderTheirOwnNamesAndEachIsRun)
{
    InstallBothRedAlertRemembered();
    const std::string folder = Root.Folder("Scripts");
    RegistryKeys::SetString(SettingsKey, "RARulesDir", folder);
    const Strings names = {"Plain", u8"Règles", u8"Κανόνες", u8"Правила", u8"規則"};
    for (size_t i = 0; i < names.size(); ++i)
        Root.Write("Scripts\\" + names[i] + ".ini", RulesText("Name=Red Alert", 200 + i * 10));
    // A display name from an editor that saved in Windows-1252, and one saved in UTF-8.
    Root.Write("Scripts\\Latin.ini", RulesText("Name=Red Alert: R\xE8gles", 100));
    Root.Write("Scripts\\Utf8.ini", RulesText(u8"Name=Red Alert: Règles", 100));

    {
        auto app = Start();
        EXPECT_EQ(KesterlyProcess::Text(app->Control(IDC_RULESDIR)), folder);
        Strings expected = names;
        expected.push_back(u8"Latin: Règles");
        expected.push_back(u8"Utf8: Règles");
        EXPECT_EQ(Sorted(KesterlyProcess::ListItems(app->Control(IDC_RULESLIST))), Sorted(expected));
        app->Click(app->Control(IDC_QUITBUTTON));
        EXPECT_EQ(app->WaitForExit(), std::optional<DWORD>(0));
    }
    for (size_t i = 0; i < names.size(); ++i)
        RunEntry(Program(), names[i], folder + names[i] + ".ini", *RA, i + 1);
}

TEST_F(EndToEnd, GreekFolderIsTypedEnteredInTheChooserRememberedAndListed)
{
    InstallBothRedAlertRemembered();
    const std::string greek = u8"Ελληνικά";
    const std::string folder = Root.Folder("My Rules\\" + greek);
    Root.Write("My Rules\\" + greek + u8"\\Κανόνες.ini", RulesText("Name=Red Alert: 1", 100));
    const Strings entries = {u8"Κανόνες: 1"};
    {
        auto app = Start();
        HWND edit = app->Control(IDC_RULESDIR);
        HWND list = app->Control(IDC_RULESLIST);
        app->PressOn(edit, VK_END);
        app->Type(edit, greek + "\\");
        ASSERT_TRUE(WaitUntil([&] { return KesterlyProcess::Text(edit) == folder; }));
        EXPECT_TRUE(WaitUntil([&] { return KesterlyProcess::ListItems(list) == entries; }));

        // The chooser opens on it; one level up, and back in by its name.
        app->Click(app->Control(IDC_BROWSEBUTTON));
        HWND chooser = app->WaitForDialog("Select Rules Directory");
        ASSERT_NE(chooser, nullptr);
        HWND folders = app->Control(IDC_DIRLISTBOX, chooser);
        ASSERT_TRUE(WaitUntil([&] { return CurrentFolderShown(folders) == greek; }));
        app->PressOn(folders, VK_BACK);
        ASSERT_TRUE(WaitUntil([&] { return CurrentFolderShown(folders) == "My Rules"; }));
        const int entry = IndexOf(KesterlyProcess::ListItems(folders), greek);
        ASSERT_GT(entry, KesterlyProcess::ListSelection(folders));
        app->ClickListItem(folders, entry);
        app->PressOn(folders, VK_RETURN);
        ASSERT_TRUE(WaitUntil([&] { return CurrentFolderShown(folders) == greek; }));
        app->Click(app->Control(IDC_OKBTN, chooser));
        ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(chooser); }));
        EXPECT_EQ(KesterlyProcess::Text(edit), folder);
        EXPECT_TRUE(WaitUntil([&] { return KesterlyProcess::ListItems(list) == entries; }));

        // A tab change stores the folder, and Quit saves it.
        app->ClickTab(0);
        ASSERT_TRUE(WaitUntil([&] { return app->TabSelection() == 0; }));
        app->Click(app->Control(IDC_QUITBUTTON));
        EXPECT_EQ(app->WaitForExit(), std::optional<DWORD>(0));
    }
    EXPECT_EQ(RegistryKeys::GetString(SettingsKey, "RARulesDir"), folder);
    RegistryKeys::SetDword(SettingsKey, "GameTab", 1);
    auto app = Start();
    EXPECT_EQ(KesterlyProcess::Text(app->Control(IDC_RULESDIR)), folder);
    EXPECT_EQ(KesterlyProcess::ListItems(app->Control(IDC_RULESLIST)), entries);
    app->Click(app->Control(IDC_QUITBUTTON));
    EXPECT_EQ(app->WaitForExit(), std::optional<DWORD>(0));
}

TEST_F(EndToEnd, GameInACyrillicFolderIsFoundAndStartedThere)
{
    RAFolder = Root.Folder(u8"Игры\\Red Alert");
    RA = std::make_unique<StubGame>(RAFolder, "RA95.exe");
    RegistryKeys::SetString(RAKey, "InstallPath", RA->Path());
    RegistryKeys::SetString(SettingsKey, "RARulesDir", RulesFolder);
    RegistryKeys::SetDword(SettingsKey, "GameTab", 0);
    {
        auto app = Start();
        EXPECT_EQ(app->TabCaptions(), Strings{"Red Alert"});
        EXPECT_EQ(KesterlyProcess::Text(app->Control(IDC_DIRTEXT)), RAFolder);
        app->Click(app->Control(IDC_QUITBUTTON));
        EXPECT_EQ(app->WaitForExit(), std::optional<DWORD>(0));
    }
    RunEntry(Program(), "Veteran: Veteran Units", Veteran, *RA, 1);
    const std::vector<TStubRecord> starts = RA->Records();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].CommandLine, "\"" + RA->Path() + "\"");
    EXPECT_EQ(starts[0].CurrentFolder, WithoutClosingBackslash(RAFolder));
}

// Remembered, listed and run from: a folder of more than 260 characters (UTF-16), each name 80
// characters of three UTF-8 bytes.
TEST_F(EndToEnd, RulesFolderBeyond260CharactersIsListedAndRunFrom)
{
    InstallBothRedAlertRemembered();
    std::string name;
    for (int i = 0; i < 80; ++i)
        name += u8"規";
    const std::string relative = "Long\\" + name + "\\" + name + "\\" + name;
    const std::string folder = Root.Folder(relative);
    ASSERT_GT(MultiByteToWideChar(CP_UTF8, 0, folder.c_str(), -1, nullptr, 0), 260);
    const std::string file = Root.Write(relative + u8"\\規則.ini", RulesText("Name=Red Alert: far", 300));
    RegistryKeys::SetString(SettingsKey, "RARulesDir", folder);
    RunEntry(Program(), u8"規則: far", file, *RA, 1);
    EXPECT_EQ(RegistryKeys::GetString(SettingsKey, "RARulesDir"), folder);
}

// --- Places beyond the registry of the installers ------------------------------------------------

// Shows the tabs, and both games' folders, then starts the game of the second tab without rules.
void ExpectBothFoldersAndStartTheSecond(KesterlyProcess& app, const std::string& first, const StubGame& second)
{
    const std::string folder = second.Path().substr(0, second.Path().rfind('\\') + 1);
    EXPECT_EQ(app.TabCaptions(), (Strings{"Tiberian SUN", "Red Alert"}));
    EXPECT_EQ(KesterlyProcess::Text(app.Control(IDC_DIRTEXT)), first);
    app.ClickTab(1);
    ASSERT_TRUE(WaitUntil([&] { return KesterlyProcess::Text(app.Control(IDC_DIRTEXT)) == folder; }));
    app.Click(app.Control(IDC_NORULESBUTTON));
    EXPECT_EQ(app.WaitForExit(), std::optional<DWORD>(0));
    EXPECT_EQ(second.WaitForRecords(1).size(), 1u);
}

// CnCNet's free Tiberian Sun: its client records the folder under HKEY_CURRENT_USER; Rules.ini goes
// into that folder's root and the client is started. The Westwood key, where there is one, still wins.
TEST_F(EndToEnd, CnCNetsTiberianSunIsFoundByItsClientsKeyAfterTheWestwoodKey)
{
    const std::string folder = Root.Folder("CnCNet\\Tiberian Sun");
    StubGame client(folder, "TiberianSun.exe");
    Root.Write("CnCNet\\Tiberian Sun\\Game.exe", "");
    UserSetting cncnet(CnCNetKey, "InstallPath", folder.c_str());
    RegistryKeys::SetString(SettingsKey, "TSRulesDir", RulesFolder);
    RegistryKeys::SetDword(SettingsKey, "GameTab", 0);
    RunEntry(Program(), "TS Fast (fast build)", RulesFolder + "TS Fast.ini", client, 1);
    std::string slashes = folder;  // as its clients of 2020 to 2022 wrote it
    std::replace(slashes.begin(), slashes.end(), '\\', '/');
    UserSetting cncnet2020(CnCNetKey, "InstallPath", slashes.c_str());
    RunEntry(Program(), "TS Fast (fast build)", RulesFolder + "TS Fast.ini", client, 2);

    InstallTiberianSun();
    KesterlyProcess app(Program());
    EXPECT_EQ(app.TabCaptions(), Strings{"Tiberian SUN"});
    EXPECT_EQ(KesterlyProcess::Text(app.Control(IDC_DIRTEXT)), TSFolder);
}

// CnCNet's Red Alert, found by its client's key alone, then by its installer's entry alone: Rules.ini
// goes into its root, its own RULES.INI kept, and the client RedAlert.exe is started.
TEST_F(EndToEnd, CnCNetsRedAlertIsFoundByItsClientsKeyOrByItsInstallersEntry)
{
    const std::string folder = Root.Folder("CnCNet\\Red Alert");
    StubGame client(folder, "RedAlert.exe");
    Root.Write("CnCNet\\Red Alert\\ra95.dat", "");
    Root.Write("CnCNet\\Red Alert\\RULES.INI", "[General]\r\n; CnCNet's\r\n");
    RegistryKeys::SetString(SettingsKey, "RARulesDir", RulesFolder);
    RegistryKeys::SetDword(SettingsKey, "GameTab", 0);
    {
        UserSetting cncnet(CnCNetKey, "InstallPath", folder.c_str());
        RunEntry(Program(), "Veteran: Veteran Units", Veteran, client, 1);
    }
    RegistryKeys::SetString(RACnCNetKey, "InstallLocation", folder, KEY_WOW64_64KEY);
    RunEntry(Program(), "RA Classic", RulesFolder + "RA Classic.ini", client, 2);
    int kept = 0;
    ForEachFile(folder + "Rules (kept *).ini", [&kept](const TFoundFile&) { return ++kept, true; });
    EXPECT_EQ(kept, 1);
}

// The Linux side: a folder reached through drive Z:, and its Linux path ("/tmp/kesterly-1-2/...").
struct LinuxFolder : TempDir {
    LinuxFolder() : TempDir("Z:\\tmp\\") {}
    std::string Linux(std::string name) const
    {
        name = (*this / name).substr(2);
        std::replace(name.begin(), name.end(), '\\', '/');
        return name;
    }
};

// Started by protontricks-launch or by Steam, Kesterly finds the game its variables name: here
// Tiberian Sun by Steam's and Red Alert by protontricks'.
TEST_F(EndToEnd, SteamsVariablesNameTheGamesFolders)
{
    LinuxFolder linux;
    TS = std::make_unique<StubGame>(linux.Folder("Tiberian Sun"), "Game.exe");
    RA = std::make_unique<StubGame>(linux.Folder("Red Alert"), "RA95.exe");
    const std::vector<std::pair<const char*, std::string>> variables = {
        {"STEAM_COMPAT_INSTALL_PATH", linux.Linux("Tiberian Sun")}, {"SteamAppId", "2229880"},
        {"STEAM_APP_PATH", linux.Linux("Red Alert")}, {"STEAM_APPID", "2229840"}};
    for (const auto& [name, value] : variables)
        SetEnvironmentVariableA(name, value.c_str());
    KesterlyProcess app(Program());
    for (const auto& [name, value] : variables)
        SetEnvironmentVariableA(name, nullptr);
    ExpectBothFoldersAndStartTheSecond(app, linux / "Tiberian Sun\\", *RA);
}

// Kesterly put into one game's folder and started from another's finds both, with no key anywhere.
TEST_F(EndToEnd, KesterlyInTheGamesFolderOrStartedFromItFindsTheGame)
{
    TSFolder = Root.Folder("Copied\\Tiberian Sun");
    Root.Write("Copied\\Tiberian Sun\\TIBSUN.MIX", "");
    TS = std::make_unique<StubGame>(TSFolder, "Game.exe");
    ASSERT_TRUE(CopyFileA(Program().c_str(), (TSFolder + "kesterly.exe").c_str(), FALSE));
    RA = std::make_unique<StubGame>(Root.Folder("Unpacked\\Red Alert"), "RA95.exe");
    Root.Write("Unpacked\\Red Alert\\REDALERT.MIX", "");
    KesterlyProcess app(TSFolder + "kesterly.exe", KesterlyProcess::WaitForActivation,
                        Root / "Unpacked\\Red Alert");
    ExpectBothFoldersAndStartTheSecond(app, TSFolder, *RA);
}

// Kesterly copied into Red Alert's folder under its launcher's name is passed over: Run starts RA95.exe.
// Started there as Steam starts the game (its variables, the game's folder, the game's arguments), it
// passes the arguments on as they stand.
TEST_F(EndToEnd, KesterlyNamedAsTheGamesLauncherStartsTheGameNotItself)
{
    LinuxFolder linux;
    RAFolder = linux.Folder("Steam Play\\Red Alert");
    RA = std::make_unique<StubGame>(RAFolder, "RA95.exe");
    linux.Write("Steam Play\\Red Alert\\REDALERT.MIX", "");
    const std::string launcher = RAFolder + "RA95Launcher.exe";
    ASSERT_TRUE(CopyFileA(Program().c_str(), launcher.c_str(), FALSE));
    RegistryKeys::SetString(SettingsKey, "RARulesDir", RulesFolder);
    RegistryKeys::SetDword(SettingsKey, "GameTab", 0);
    const std::pair<const char*, std::string> steam[] = {
        {"SteamAppId", "2229840"}, {"STEAM_COMPAT_APP_ID", "2229840"},
        {"STEAM_COMPAT_INSTALL_PATH", linux.Linux("Steam Play\\Red Alert")},
        {"STEAM_COMPAT_DATA_PATH", linux.Linux("compatdata\\2229840")}};
    for (const auto& [name, value] : steam)
        SetEnvironmentVariableA(name, value.c_str());
    RunEntry(launcher, "Veteran: Veteran Units", Veteran, *RA, 1, RAFolder, "-CD \"two words\"");
    for (const auto& [name, value] : steam)
        SetEnvironmentVariableA(name, nullptr);
    EXPECT_EQ(RA->Records().at(0).CommandLine, "\"" + RA->Path() + "\" -CD \"two words\"");
    EXPECT_EQ(RA->Records().at(0).CurrentFolder, WithoutClosingBackslash(RAFolder));
}

// A game of a Steam library (in dir), as Steam installs it: its manifest, and its folder, returned.
std::string SteamGame(TempDir& dir, const std::string& library, const char* id, const char* folder)
{
    dir.Write(library + "\\steamapps\\appmanifest_" + id + ".acf",
              std::string("\"AppState\"\n{\n\t\"StateFlags\"\t\t\"4\"\n\t\"installdir\"\t\t\"") + folder + "\"\n}\n");
    return dir.Folder(library + "\\steamapps\\common\\" + folder);
}

// Steam's library files are the only trace of the games. The prefix lies in a Steam library, at
// <home>\.local\share\Steam\steamapps\compatdata\2229840\pfx (tests/steam-prefix.sh). That library's
// libraryfolders.vdf is broken; the home's ~/.steam/root one lists two libraries, the first by an
// escaped Windows path with Tiberian Sun, the other by a Linux path.
TEST_F(EndToEnd, SteamsLibraryFilesAloneLeadToTheGames)
{
    char prefix[MAX_PATH] = "";
    GetEnvironmentVariableA("WINECONFIGDIR", prefix, MAX_PATH);
    const std::string path = prefix, steam = "\\.local\\share\\Steam\\steamapps\\compatdata\\2229840\\pfx";
    if (path.size() < steam.size() + 4 || path.compare(path.size() - steam.size(), steam.size(), steam) != 0)
        GTEST_SKIP() << "WINECONFIGDIR is " << path << ": run through tests/steam-prefix.sh";
    const std::string home = path.substr(4, path.size() - steam.size() - 4);
    LinuxFolder libraries;
    std::string first = libraries / "First";
    for (size_t at = 0; (at = first.find('\\', at)) != std::string::npos; at += 2)
        first.insert(at, "\\");
    const std::pair<std::string, std::string> files[] = {
        {"\\.local\\share\\Steam", "\"libraryfolders\" { \"0\" { \"path\" \"/home\n"},
        {"\\.steam\\root", "\"libraryfolders\"\n{\n\t\"0\"\t{ \"path\"\t\"" + first + "\" }\n\t\"1\"\t{ \"path\"\t\"" +
                                 libraries.Linux("Second") + "\" }\n}\n"}};
    for (const auto& [root, text] : files) {  // left in the build's home, rewritten by each run
        MakeFolders(home + root + "\\steamapps");
        std::ofstream(home + root + "\\steamapps\\libraryfolders.vdf", std::ios::binary) << text;
    }
    TSFolder = SteamGame(libraries, "First", "2229880", "Tiberian Sun");
    TS = std::make_unique<StubGame>(TSFolder, "SUN.exe");
    RA = std::make_unique<StubGame>(SteamGame(libraries, "Second", "2229840", "Command & Conquer Red Alert"), "RA95.exe");
    KesterlyProcess app(Program());
    ExpectBothFoldersAndStartTheSecond(app, TSFolder, *RA);
}

// Steam found where it records its own folder (SteamPath, as Steam writes it), and in the home of a
// plain prefix (WINEHOMEDIR: this case runs with a HOME of its own). That home's list names first a
// library that lists other apps only, with a stale manifest of Red Alert: the game comes from the
// library that lists it.
TEST_F(EndToEnd, SteamsOwnFolderAndTheHomesLibrariesAsSteamListsThem)
{
    char variable[MAX_PATH] = "";
    GetEnvironmentVariableA("WINEHOMEDIR", variable, MAX_PATH);
    const std::string home = variable + 4, suffix = "\\tests\\wine-home";
    if (home.size() < suffix.size() || home.compare(home.size() - suffix.size(), suffix.size(), suffix) != 0)
        GTEST_SKIP() << "WINEHOMEDIR is " << variable << ": run with HOME at build/<preset>/tests/wine-home";
    TS = std::make_unique<StubGame>(SteamGame(Root, "Steam Elsewhere", "2229880", "Tiberian Sun"), "Game.exe");
    std::string steam = Root / "Steam Elsewhere";  // as Steam writes it: "c:/program files (x86)/steam"
    std::transform(steam.begin(), steam.end(), steam.begin(), [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    const std::string shown = steam + "\\steamapps\\common\\Tiberian Sun\\";
    std::replace(steam.begin(), steam.end(), '\\', '/');
    UserSetting steamPath("Software\\Valve\\Steam", "SteamPath", steam.c_str());
    LinuxFolder libraries;
    StubGame stale(SteamGame(libraries, "Other", "2229840", "Red Alert"), "RA95.exe");
    RA = std::make_unique<StubGame>(SteamGame(libraries, "Listed", "2229840", "Red Alert"), "RA95.exe");
    MakeFolders(home + "\\.local\\share\\Steam\\steamapps");
    std::ofstream(home + "\\.local\\share\\Steam\\steamapps\\libraryfolders.vdf", std::ios::binary)
        << "\"libraryfolders\" { \"0\" { \"path\" \"" << libraries.Linux("Other") << "\" \"apps\" { \"228980\" \"1\" } }\n"
        << "\"1\" { \"path\" \"" << libraries.Linux("Listed") << "\" \"apps\" { \"2229840\" \"1\" } } }\n";
    KesterlyProcess app(Program());
    ExpectBothFoldersAndStartTheSecond(app, shown, *RA);
    EXPECT_TRUE(stale.Records().empty());
}

}  // namespace
