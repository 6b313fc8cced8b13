// Launching: Run installs the chosen rules file as Rules.ini and starts the game; Run no Rules
// removes Rules.ini and starts the game. Both then save the settings and end the program,
// unless the file step failed, which leaves everything as it was and the window open.
#include "AppFixture.h"
#include "Classes.h"
#include "SysUtils.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

using namespace TestSupport;

namespace {

// A rules file of exactly `size` bytes: the header the scan looks for, then comment lines of varied bytes.
std::string RulesText(const std::string& name, size_t size)
{
    std::string text = "[General]\r\nName=" + name + "\r\n";
    for (size_t i = 0; text.size() < size; ++i)
        text += i % 60 == 0 ? std::string("\r\n;") : std::string(1, static_cast<char>('!' + i * 7 % 90));
    text.resize(size);
    return text;
}

std::string Trimmed(std::string text)
{
    return text.erase(text.find_last_not_of("\r\n ") + 1);
}

// The system's text for a code as it stands, inserts such as %1 left in.
std::string SystemText(DWORD code)
{
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0,
                   nullptr);
    std::string result = text ? text : "";
    LocalFree(text);
    return Trimmed(result);
}

std::string Unquoted(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), '"'), text.end());
    return Trimmed(text);
}

// Plain files of a folder, sorted.
std::vector<std::string> FileNames(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(found.cFileName);
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    std::sort(names.begin(), names.end());
    return names;
}

using Names = std::vector<std::string>;

void PostClick(HWND button)
{
    PostMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

// Runs an action when the scope ends.
struct Finally {
    std::function<void()> Action;
    ~Finally() { Action(); }
};

class Launch : public ::testing::Test {
protected:
    RegistrySandbox registry;
    MessageBoxWatcher boxes;
    TempDir dir;
    std::string gameFolder = dir.Folder("Westwood\\Tiberian Sun");
    std::string rulesFolder = dir.Folder("Rules");
    StubGame game{gameFolder, "Game.exe"};
    FullVolume volume;
    std::unique_ptr<TempDir> onVolume;
    std::unique_ptr<KesterlyApp> app;

    Launch() { registry.SetString(TSKey, "InstallPath", game.Path()); }

    // The game installed in a folder of the small volume instead; skips the test where there is none.
    void InstallOnTheSmallVolume()
    {
        if (volume.Root().empty())
            GTEST_SKIP() << FullVolume::Missing();
        onVolume = std::make_unique<TempDir>(volume.Root());
        gameFolder = onVolume->Folder("Tiberian Sun");
        game = StubGame(gameFolder, "Game.exe");
        registry.SetString(TSKey, "InstallPath", game.Path());
    }

    // Starts the program with both rules folders at rulesFolder and the given tab shown. The
    // settings key is removed afterwards, so that it exists again only if the program saved.
    void Open(DWORD tab = 0)
    {
        registry.SetString(SettingsKey, "TSRulesDir", rulesFolder);
        registry.SetString(SettingsKey, "RARulesDir", rulesFolder);
        registry.SetDword(SettingsKey, "GameTab", tab);
        app.reset();  // one program at a time
        app = std::make_unique<KesterlyApp>();
        app->Start();
        registry.DeleteKey("Software\\Halvek");
    }
    TRulesForm& Form() { return app->Form(); }
    void Run(int rule = 0)
    {
        app->ClickRule(rule);
        ASSERT_TRUE(Form().RunButton.Enabled());
        app->Click(Form().RunButton);
    }
    void RunNoRules() { app->Click(Form().NoRulesButton); }

    // The window stays open, nothing saved, no game started.
    void ExpectNothingLaunched(const StubGame& stub)
    {
        EXPECT_FALSE(app->Terminated());
        EXPECT_TRUE(Form().Visible());
        EXPECT_FALSE(registry.HasKey(SettingsKey));
        EXPECT_TRUE(stub.WaitForRecords(1, 700).empty());
    }
    void ExpectNothingLaunched() { ExpectNothingLaunched(game); }
    void ExpectSavedAndEnded(DWORD tab = 0)
    {
        EXPECT_TRUE(app->Terminated());
        EXPECT_EQ(registry.GetString(SettingsKey, "TSRulesDir"), rulesFolder);
        EXPECT_EQ(registry.GetString(SettingsKey, "RARulesDir"), rulesFolder);
        EXPECT_EQ(registry.GetDword(SettingsKey, "GameTab"), tab);
    }
    // Exactly one start, by its own full path, in its own folder.
    TStubRecord OneStart(const StubGame& stub)
    {
        std::vector<TStubRecord> starts = stub.WaitForRecords(1);
        Sleep(300);
        EXPECT_EQ(stub.Records().size(), 1u);
        if (starts.empty())
            return {};
        const std::string folder = stub.Path().substr(0, stub.Path().rfind('\\'));
        EXPECT_EQ(Unquoted(starts[0].CommandLine), stub.Path());
        EXPECT_EQ(starts[0].CurrentFolder, folder);
        return starts[0];
    }
    TStubRecord OneStart() { return OneStart(game); }
    // The one box shown, a ShowMessage of the file layer's text.
    void ExpectOneFileMessage(const std::string& naming, const std::string& reason = "")
    {
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].Caption, "Kesterly");
        EXPECT_NE(boxes.Boxes()[0].Text.find(naming), std::string::npos) << boxes.Boxes()[0].Text;
        EXPECT_NE(boxes.Boxes()[0].Text.find(reason), std::string::npos) << boxes.Boxes()[0].Text;
    }
    // The one box shown, the system-error box of a failed start or removal.
    void ExpectOneSystemError(const std::string& tab, DWORD code)
    {
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        const TMessageBoxRecord& box = boxes.Boxes()[0];
        EXPECT_EQ(box.Caption, "Error running " + tab + ": #" + std::to_string(code));
        EXPECT_EQ(Trimmed(box.Text), SystemText(code));
        EXPECT_FALSE(box.Text.empty());
        EXPECT_EQ(box.Icon, static_cast<UINT>(MB_ICONINFORMATION));
        EXPECT_EQ(box.Owner, nullptr);
        EXPECT_EQ(box.Buttons.size(), 1u);
    }
};

TEST_F(Launch, RunReplacesALongerRulesIniWithAnExactCopyThatTheGameSeesComplete)
{
    const std::string rules = RulesText("Tiberian Sun Veteran", 5000);  // 2048 + 2048 + 904
    dir.Write("Rules\\Veteran.ini", rules);
    dir.Write("Westwood\\Tiberian Sun\\Rules.ini", std::string(8000, 'x'));
    dir.Write("Rules\\Earlier.ini", std::string(8000, 'x'));  // where the old Rules.ini came from: nothing to keep
    Open();
    Run();
    EXPECT_EQ(ReadWholeFile(gameFolder + "Rules.ini"), rules);
    TStubRecord start = OneStart();
    EXPECT_TRUE(start.RulesExists);
    EXPECT_EQ(start.RulesSize, 5000);
    EXPECT_EQ(start.RulesFirstLine, "[General]");
    EXPECT_TRUE(boxes.Boxes().empty());
    ExpectSavedAndEnded();
    EXPECT_EQ(FileNames(gameFolder), (Names{"Game.exe", "Game.log", "Rules.ini"}));  // no temporary file left
}

TEST_F(Launch, AnEmptyRulesFileGivesAnEmptyRulesIniAndTheGameStarts)
{
    dir.Write("Rules\\Veteran.ini", RulesText("Tiberian Sun Veteran", 100));
    dir.Write("Westwood\\Tiberian Sun\\Rules.ini", "old\r\n");
    Open();
    app->ClickRule(0);
    dir.Write("Rules\\Veteran.ini", "");
    app->Click(Form().RunButton);
    EXPECT_EQ(ReadWholeFile(gameFolder + "Rules.ini"), "");
    TStubRecord start = OneStart();
    EXPECT_TRUE(start.RulesExists);
    EXPECT_EQ(start.RulesSize, 0);
    ExpectSavedAndEnded();
}

TEST_F(Launch, RunWithNothingSelectedDoesNothingAtAll)
{
    dir.Write("Rules\\Veteran.ini", RulesText("Tiberian Sun Veteran", 100));
    Open();
    app->ClickRule(0);
    app->Probe().ScanRulesFolder();  // refilled: nothing selected, Run still enabled
    ASSERT_TRUE(Form().RunButton.Enabled());
    app->Click(Form().RunButton);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(FileNames(gameFolder), Names{"Game.exe"});
    ExpectNothingLaunched();
}

TEST_F(Launch, ASourceDeletedAfterTheScanIsReportedAndRunWorksOnceItIsBack)
{
    const std::string rules = RulesText("Tiberian Sun Veteran", 3000);
    const std::string source = dir.Write("Rules\\Veteran.ini", rules);
    Open();
    DeleteFileA(source.c_str());
    Run();
    ExpectOneFileMessage("Veteran.ini");
    EXPECT_EQ(FileNames(gameFolder), Names{"Game.exe"});
    ExpectNothingLaunched();
    EXPECT_EQ(app->Probe().SelectedRulesIndex(), 0);

    dir.Write("Rules\\Veteran.ini", rules);
    app->Click(Form().RunButton);
    EXPECT_EQ(ReadWholeFile(gameFolder + "Rules.ini"), rules);
    EXPECT_EQ(OneStart().RulesSize, 3000);
    EXPECT_EQ(boxes.Boxes().size(), 1u);
    ExpectSavedAndEnded();
}

TEST_F(Launch, ReadOnlyRulesIniRefusesRunWithOneMessageAndReleasesTheSource)
{
    const std::string rules = RulesText("Tiberian Sun Veteran", 3000);
    const std::string source = dir.Write("Rules\\Veteran.ini", rules);
    const std::string installed = dir.Write("Westwood\\Tiberian Sun\\Rules.ini", "old\r\n");
    SetFileAttributesA(installed.c_str(), FILE_ATTRIBUTE_READONLY);
    Open();
    Run();
    ExpectOneFileMessage("Rules.ini");
    EXPECT_EQ(ReadWholeFile(installed), "old\r\n");
    EXPECT_EQ(GetFileAttributesA(installed.c_str()) & FILE_ATTRIBUTE_READONLY, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(FileNames(gameFolder), (Names{"Game.exe", "Rules.ini"}));
    HANDLE exclusive = CreateFileA(source.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(exclusive, INVALID_HANDLE_VALUE) << "the chosen file is still open";
    CloseHandle(exclusive);
    ExpectNothingLaunched();

    SetFileAttributesA(installed.c_str(), FILE_ATTRIBUTE_NORMAL);
    app->Click(Form().RunButton);
    EXPECT_EQ(ReadWholeFile(installed), rules);
    OneStart();
    ExpectSavedAndEnded();
}

TEST_F(Launch, ReadOnlyRulesIniRefusesRunNoRulesWithTheSystemErrorBox)
{
    const std::string installed = dir.Write("Westwood\\Tiberian Sun\\Rules.ini", "old\r\n");
    SetFileAttributesA(installed.c_str(), FILE_ATTRIBUTE_READONLY);
    Open();
    RunNoRules();
    ExpectOneSystemError("Tiberian SUN", ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadWholeFile(installed), "old\r\n");
    ExpectNothingLaunched();
}

TEST_F(Launch, RunNoRulesReportsAMissingInstallFolder)
{
    registry.SetString(TSKey, "InstallPath", dir / "Gone\\Game.exe");
    Open();
    RunNoRules();
    ExpectOneSystemError("Tiberian SUN", ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(dir.Exists("Gone"));
    ExpectNothingLaunched();
}

// Both games installed without their executables; the tab shown is `tab`.
class MissingExecutable : public Launch {
protected:
    std::string raFolder = dir.Folder("Westwood\\Red Alert");

    void RunAndExpectReport(DWORD tab, const std::string& caption, const std::string& folder)
    {
        registry.SetString(TSKey, "InstallPath", gameFolder + "Missing.exe");
        registry.SetString(RAKey, "InstallPath", raFolder + "Missing.exe");
        // One file only: the Tiberian Sun tab also lists Red Alert files, which carry a Name too.
        dir.Write("Rules\\Chosen.ini", RulesText(tab == 0 ? "Tiberian Sun Veteran" : "Red Alert Classic", 300));
        Open(tab);
        Run();
        ExpectOneSystemError(caption, ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(ReadWholeFile(folder + "Rules.ini").size(), 300u);
        ExpectSavedAndEnded(tab);
    }
};

TEST_F(MissingExecutable, OnTheTiberianSunTab) { RunAndExpectReport(0, "Tiberian SUN", gameFolder); }
TEST_F(MissingExecutable, OnTheRedAlertTab) { RunAndExpectReport(1, "Red Alert", raFolder); }

// A game that must run as administrator: Wine starts one without asking, so the program's own
// CreateProcessA is made to fail with the code Windows gives a program that is not elevated.
class FailingCreateProcess {
public:
    explicit FailingCreateProcess(DWORD code) { Code = code, Calls = 0; }
    static inline DWORD Code = 0;
    static inline int Calls = 0;

private:
    static BOOL WINAPI Fail(LPCSTR, LPSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID, LPCSTR,
                            LPSTARTUPINFOA, LPPROCESS_INFORMATION)
    {
        ++Calls;
        SetLastError(Code);
        return FALSE;
    }
    ImportPatch patch{"kernel32.dll", "CreateProcessA", reinterpret_cast<const void*>(&Fail)};
};

constexpr DWORD ElevationRequired = 740;

// Run and Run no Rules alike: the shell starts the game by its path, from its folder; no box.
TEST_F(Launch, AGameThatMustRunAsAdministratorIsStartedAsADoubleClickStartsIt)
{
    dir.Write("Rules\\Veteran.ini", RulesText("Tiberian Sun Veteran", 300));
    for (const bool withRules : {true, false}) {
        SCOPED_TRACE(withRules);
        Open();
        Form().GameArguments = withRules ? "-CD \"two words\"" : "";
        {
            FailingCreateProcess elevationRequired(ElevationRequired);
            withRules ? Run() : RunNoRules();
            EXPECT_EQ(FailingCreateProcess::Calls, 1);
        }
        const std::vector<TStubRecord> starts = game.WaitForRecords(withRules ? 1 : 2);
        ASSERT_EQ(starts.size(), withRules ? 1u : 2u);
        EXPECT_EQ(starts.back().CommandLine, "\"" + game.Path() + (withRules ? "\" -CD \"two words\"" : "\""));
        EXPECT_EQ(starts.back().CurrentFolder + "\\", gameFolder);
        EXPECT_EQ(starts.back().RulesExists, withRules);
        EXPECT_TRUE(boxes.Boxes().empty());
        ExpectSavedAndEnded();
    }
    Sleep(300);
    EXPECT_EQ(game.Records().size(), 2u);
}

TEST_F(Launch, WhenTheShellCannotStartTheGameEitherItsCodeIsShownOnce)
{
    registry.SetString(TSKey, "InstallPath", gameFolder + "Missing.exe");
    dir.Write("Rules\\Veteran.ini", RulesText("Tiberian Sun Veteran", 300));
    Open();
    {
        FailingCreateProcess elevationRequired(ElevationRequired);
        Run();
    }
    ExpectOneSystemError("Tiberian SUN", ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadWholeFile(gameFolder + "Rules.ini").size(), 300u);
    ExpectSavedAndEnded();
}

TEST_F(Launch, AnyOtherFailureToCreateTheProcessIsShownAtOnceWithoutTheShell)
{
    for (const DWORD code : {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_BAD_EXE_FORMAT}) {
        SCOPED_TRACE(code);
        boxes.Clear();
        Open();
        {
            FailingCreateProcess failing(code);
            RunNoRules();
        }
        ExpectOneSystemError("Tiberian SUN", code);
        ExpectSavedAndEnded();
    }
    EXPECT_TRUE(game.WaitForRecords(1, 700).empty());  // the game was there to be started
}

TEST_F(Launch, RunNoRulesRemovesRulesIniAndStartsTheGame)
{
    dir.Write("Westwood\\Tiberian Sun\\Rules.ini", "old\r\n");
    Open();
    RunNoRules();
    EXPECT_FALSE(OneStart().RulesExists);
    EXPECT_FALSE(dir.Exists("Westwood\\Tiberian Sun\\Rules.ini"));
    EXPECT_TRUE(boxes.Boxes().empty());
    ExpectSavedAndEnded();
}

TEST_F(Launch, RunNoRulesWithoutRulesIniStartsTheGame)
{
    Open();
    RunNoRules();
    EXPECT_FALSE(OneStart().RulesExists);
    EXPECT_TRUE(boxes.Boxes().empty());
    ExpectSavedAndEnded();
}

TEST_F(Launch, CopyingTheInstalledFileOntoItselfKeepsItsContent)
{
    const std::string rules = RulesText("Tiberian Sun Installed", 3000);
    dir.Write("Westwood\\Tiberian Sun\\Rules.ini", rules);
    rulesFolder = dir.Path() + "Westwood\\\\Tiberian Sun\\";  // the game folder, spelt another way
    Open();
    Run();
    EXPECT_EQ(ReadWholeFile(gameFolder + "Rules.ini"), rules);
    EXPECT_EQ(OneStart().RulesSize, 3000);
    ExpectSavedAndEnded();
}

// The game's folder on the small volume, which each test fills up.
class LaunchOnAFullDisk : public Launch {
    void SetUp() override { InstallOnTheSmallVolume(); }
};

TEST_F(LaunchOnAFullDisk, ACopyThatFailsPartWayLeavesTheOldRulesIniIntact)
{
    dir.Write("Rules\\Veteran.ini", RulesText("Tiberian Sun Veteran", 5000));
    onVolume->Write("Tiberian Sun\\Rules.ini", "old\r\n");
    Open();
    volume.LeaveFree(1);  // room for a part of the 5000 bytes
    Run();
    ExpectOneFileMessage("Rules.ini", SystemText(ERROR_DISK_FULL));
    EXPECT_EQ(ReadWholeFile(gameFolder + "Rules.ini"), "old\r\n");
    EXPECT_EQ(FileNames(gameFolder), (Names{"Game.exe", "Rules.ini"}));
    ExpectNothingLaunched();
}

TEST_F(Launch, TheGameIsStartedByItsQuotedPathNotByAProgramNamedByAPrefixOfIt)
{
    const std::string folder = dir.Folder("My Games\\Red Alert");
    StubGame ra(folder, "RA95.exe");
    StubGame decoy(dir.Path(), "My.exe");  // "<tmp>\My Games\..." unquoted would start "<tmp>\My.exe"
    registry.SetString(RAKey, "InstallPath", ra.Path());
    rulesFolder = dir.Folder("My Rules");
    const std::string rules = RulesText("Red Alert Classic", 2500);
    dir.Write("My Rules\\Classic.ini", rules);
    Open(1);
    Run();
    EXPECT_EQ(ReadWholeFile(folder + "Rules.ini"), rules);
    EXPECT_EQ(OneStart(ra).RulesSize, 2500);
    EXPECT_TRUE(decoy.Records().empty());
    ExpectSavedAndEnded(1);
}

TEST_F(Launch, AFileThatIsNoProgramIsReportedWithTheSystemsTextAsItStands)
{
    dir.Write("Westwood\\Tiberian Sun\\Game.exe", "This is not a program.\r\n");
    dir.Write("Rules\\Veteran.ini", RulesText("Tiberian Sun Veteran", 300));
    Open();
    Run();
    ExpectOneSystemError("Tiberian SUN", ERROR_BAD_EXE_FORMAT);
    EXPECT_EQ(ReadWholeFile(gameFolder + "Rules.ini").size(), 300u);
    ExpectSavedAndEnded();
}

TEST_F(Launch, ACodeWithoutSystemTextStillShowsTheCode)
{
    const DWORD code = 0x20001234;  // the customer bit: never a system code
    ASSERT_EQ(SystemText(code), "");
    Open();
    app->Probe().ShowSystemError(code);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].Caption, "Error running Tiberian SUN: #" + std::to_string(code));
    EXPECT_NE(boxes.Boxes()[0].Text.find(std::to_string(code)), std::string::npos) << boxes.Boxes()[0].Text;
}

// An InstallPath that gives no absolute install folder, with a Rules.ini and the stub game placed
// where a path relative to the program's current folder would find them.
class RelativeInstallPath : public Launch, public ::testing::WithParamInterface<const char*> {};

TEST_P(RelativeInstallPath, RunAndRunNoRulesRefuseWithOneMessageEach)
{
    const std::string installPath = GetParam();
    const std::string work = dir.Folder("Work");
    const std::string relativeFolder = installPath.substr(0, installPath.rfind('\\') + 1);
    StubGame stub(work + relativeFolder, installPath.substr(relativeFolder.size()));
    const std::string installed = dir.Write("Work\\" + relativeFolder + "Rules.ini", "old\r\n");
    dir.Write("Rules\\Veteran.ini", RulesText("Tiberian Sun Veteran", 300));
    registry.SetString(TSKey, "InstallPath", installPath);
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(work.c_str()));
    Finally restore{[&] { SetCurrentDirectoryA(previous); }};
    Open();
    Run();
    EXPECT_EQ(boxes.Boxes().size(), 1u);
    RunNoRules();
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    for (const TMessageBoxRecord& box : boxes.Boxes())
        EXPECT_EQ(box.Caption, "Kesterly");
    EXPECT_EQ(ReadWholeFile(installed), "old\r\n");
    EXPECT_EQ(FileNames(work + relativeFolder).size(), 2u);  // the stub and Rules.ini, nothing added
    ExpectNothingLaunched(stub);
}

INSTANTIATE_TEST_SUITE_P(Launch, RelativeInstallPath, ::testing::Values("Game.exe", "Games\\RA\\RA95.exe"));

TEST_F(Launch, TwoClicksQueuedOnRunLaunchOnce)
{
    dir.Write("Rules\\Veteran.ini", RulesText("Tiberian Sun Veteran", 300));
    Open();
    app->ClickRule(0);
    PostClick(Form().RunButton.Handle);
    PostClick(Form().RunButton.Handle);
    app->Pump();
    OneStart();
    EXPECT_TRUE(boxes.Boxes().empty());
    ExpectSavedAndEnded();
}

TEST_F(Launch, AClickOnRunWhileTheErrorBoxIsOpenDoesNothing)
{
    registry.SetString(TSKey, "InstallPath", gameFolder + "Missing.exe");
    dir.Write("Rules\\Veteran.ini", RulesText("Tiberian Sun Veteran", 300));
    Open();
    std::string caption;
    boxes.OnDialog([&](HWND box) {
        char text[256] = "";
        GetWindowTextA(box, text, sizeof text);
        caption = text;
        PostClick(Form().RunButton.Handle);
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    });
    Run();
    EXPECT_EQ(caption, "Error running Tiberian SUN: #2");
    EXPECT_TRUE(boxes.Boxes().empty());  // no second launch, so no second box
    ExpectSavedAndEnded();
}

// Clicks on the other game's tab, on Browse and on About, queued behind a run command: the game
// whose Rules.ini was written starts, its tab is saved, and no dialog opens.
TEST_F(Launch, ClicksQueuedBehindARunCommandChangeNeitherTheGameNorTheWindow)
{
    StubGame ra(dir.Folder("Westwood\\Red Alert"), "RA95.exe");
    registry.SetString(RAKey, "InstallPath", ra.Path());
    dir.Write("Rules\\Classic.ini", RulesText("Red Alert Classic", 300));
    for (int shown = 0; shown < 4; ++shown)  // closed, should Browse or About open
        OnNextDialog(boxes, [](HWND dialog) { ADD_FAILURE(), PostMessageA(dialog, WM_CLOSE, 0, 0); });
    for (const bool withRules : {true, false}) {
        SCOPED_TRACE(withRules);
        Open(RATab);
        if (withRules)
            app->ClickRule(0);
        // (5, 5) lies on the first tab, Tiberian SUN's.
        for (HWND target : {(withRules ? Form().RunButton : Form().NoRulesButton).Handle, Form().GameTab.Handle,
                            Form().BrowseButton.Handle, Form().AboutButton.Handle})
            PostClick(target);
        app->Pump();
        const std::vector<TStubRecord> starts = ra.WaitForRecords(withRules ? 1 : 2);
        EXPECT_EQ(starts.size(), withRules ? 1u : 2u);
        EXPECT_EQ(starts.empty() ? 0 : starts.back().RulesSize, withRules ? 300 : -1);
        ExpectSavedAndEnded(RATab);
    }
    EXPECT_TRUE(game.WaitForRecords(1, 700).empty());
}

// Before Run replaces Rules.ini or Run no Rules removes it, a Rules.ini whose bytes stand nowhere
// else is kept as "Rules (kept <local time>).ini" in the game folder.
class KeptCopy : public Launch {
protected:
    const std::string installed = gameFolder + "Rules.ini";
    const std::string tuned = RulesText("Tiberian Sun Tuned", 5000);  // tuned by hand: stands nowhere else
    const std::string veteran = RulesText("Tiberian Sun Veteran", 1000);
    const std::string before = DateTimeStamp(Now());

    KeptCopy() { dir.Write("Rules\\Veteran.ini", veteran); }

    Names Kept()
    {
        Names kept;
        for (const std::string& name : FileNames(gameFolder))
            if (name.rfind("Rules (kept ", 0) == 0 && name.compare(name.size() - 4, 4, ".ini") == 0)
                kept.push_back(name);
        return kept;
    }
    // Exactly one copy, of `bytes`, named with a time of this test and ending in `ending`.
    void ExpectOneKept(const std::string& bytes, const std::string& ending = ").ini")
    {
        const Names kept = Kept();
        ASSERT_EQ(kept.size(), 1u);
        const std::string stamp = kept[0].substr(12, 19);
        EXPECT_EQ(kept[0], "Rules (kept " + stamp + ending);
        EXPECT_GE(stamp, before);
        EXPECT_LE(stamp, DateTimeStamp(Now()));
        EXPECT_EQ(ReadWholeFile(gameFolder + kept[0]), bytes);
    }
    // The stamp of the local time `seconds` from now.
    static std::string StampIn(int seconds)
    {
        SYSTEMTIME time;
        GetLocalTime(&time);
        ULARGE_INTEGER ticks;
        SystemTimeToFileTime(&time, reinterpret_cast<FILETIME*>(&ticks));
        ticks.QuadPart += seconds * 10000000ULL;
        FileTimeToSystemTime(reinterpret_cast<FILETIME*>(&ticks), &time);
        return DateTimeStamp({time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond});
    }
};

TEST_F(KeptCopy, OneOnRunThenTheChosenFileIsInstalled)
{
    dir.Write("Westwood\\Tiberian Sun\\Rules.ini", tuned);
    Open();
    Run();
    ExpectOneKept(tuned);
    EXPECT_EQ(ReadWholeFile(installed), veteran);
    OneStart();
    EXPECT_TRUE(boxes.Boxes().empty());
    ExpectSavedAndEnded();
}

TEST_F(KeptCopy, OneOnRunNoRulesAndNoSecondOfTheSameBytesLater)
{
    dir.Write("Westwood\\Tiberian Sun\\Rules.ini", tuned);
    Open();
    RunNoRules();
    ExpectOneKept(tuned);
    EXPECT_FALSE(OneStart().RulesExists);
    ExpectSavedAndEnded();

    dir.Write("Westwood\\Tiberian Sun\\Rules.ini", tuned);  // the player put it back
    Open();
    RunNoRules();
    EXPECT_EQ(game.WaitForRecords(2).size(), 2u);
    ExpectOneKept(tuned);
    EXPECT_TRUE(boxes.Boxes().empty());
}

// Each reason why a Rules.ini can be had back, leaving the game folder as Run made it.
TEST_F(KeptCopy, NoneWhenRulesIniStandsElsewhereOrIsMissing)
{
    const std::function<void()> reasons[] = {
        [] {},  // no Rules.ini
        [&] { dir.Write("Westwood\\Tiberian Sun\\Rules.ini", veteran); },  // the file about to be installed
        [&] {  // a file of the rules folder that is not listed
            dir.Write("Westwood\\Tiberian Sun\\Rules.ini", "; notes\r\n");
            dir.Write("Rules\\Notes.ini", "; notes\r\n");
        },
        [&] {  // a copy kept earlier
            dir.Write("Westwood\\Tiberian Sun\\Rules.ini", tuned);
            dir.Write("Westwood\\Tiberian Sun\\Rules (kept 2020-01-01 10.00.00) (2).ini", tuned);
        },
    };

    for (size_t reason = 0; reason < std::size(reasons); ++reason) {
        SCOPED_TRACE(reason);
        reasons[reason]();
        const size_t earlier = Kept().size();
        Open();
        Run();
        EXPECT_EQ(ReadWholeFile(installed), veteran);
        EXPECT_EQ(game.WaitForRecords(reason + 1).size(), reason + 1);
        EXPECT_EQ(Kept().size(), earlier);
        EXPECT_TRUE(boxes.Boxes().empty());
    }
}

// The system's search also matches a pattern against short aliases, through which "*.ini" finds
// "Tuned.ini~": an editor's backup or a renamed copy is no rules file and vouches for nothing.
TEST_F(KeptCopy, OneWhenTheBytesStandOnlyInFilesNotEndingInIni)
{
    dir.Write("Westwood\\Tiberian Sun\\Rules.ini", tuned);
    for (const char* name : {"Tuned.ini~", "Tuned.ini_old", "Tuned.inix"})
        dir.Write(std::string("Rules\\") + name, tuned);
    dir.Write("Westwood\\Tiberian Sun\\Rules (kept 2020-01-01 10.00.00).ini~", tuned);
    Open();
    RunNoRules();
    ExpectOneKept(tuned);
    EXPECT_FALSE(OneStart().RulesExists);
}

TEST_F(KeptCopy, ATakenNameGetsTheNextFreeVariant)
{
    dir.Write("Westwood\\Tiberian Sun\\Rules.ini", tuned);
    Open();
    Names taken;
    for (int second = 0; second < 5; ++second) {
        const std::string stamp = StampIn(second);
        taken.push_back(dir.Write("Westwood\\Tiberian Sun\\Rules (kept " + stamp + ").ini", "other"));
        dir.Folder("Westwood\\Tiberian Sun\\Rules (kept " + stamp + ") (2).ini");
    }
    Run();
    for (const std::string& name : taken) {
        EXPECT_EQ(ReadWholeFile(name), "other");
        DeleteFileA(name.c_str());
    }
    ExpectOneKept(tuned, ") (3).ini");
    OneStart();
}

TEST_F(KeptCopy, TheRulesFolderBeingTheGameFolderDoesNotCountRulesIniItself)
{
    dir.Write("Westwood\\Tiberian Sun\\Rules.ini", tuned);
    rulesFolder = dir.Path() + "Westwood\\\\Tiberian Sun\\";  // spelt another way
    Open();
    RunNoRules();
    ExpectOneKept(tuned);
    OneStart();
    app->Probe().ScanRulesFolder();  // listed, so that Run can put it back
    EXPECT_EQ(Items(Form().RulesList), Names{Kept()[0].substr(0, 32) + " Tuned"});
}

class KeptCopyOnAFullDisk : public KeptCopy {
    void SetUp() override { InstallOnTheSmallVolume(); }
};

TEST_F(KeptCopyOnAFullDisk, ACopyThatCannotBeWrittenChangesNothing)
{
    onVolume->Write("Tiberian Sun\\Rules.ini", tuned);
    Open();
    volume.LeaveFree(2);  // the chosen file's 1000 bytes fit, and a part of the kept copy's 5000
    Run();
    ExpectOneFileMessage("Rules (kept ", SystemText(ERROR_DISK_FULL));
    boxes.Clear();
    volume.LeaveFree(1);  // a part of it again
    RunNoRules();
    ExpectOneFileMessage("Rules (kept ", SystemText(ERROR_DISK_FULL));
    EXPECT_EQ(ReadWholeFile(gameFolder + "Rules.ini"), tuned);
    EXPECT_EQ(FileNames(gameFolder), (Names{"Game.exe", "Rules.ini"}));
    ExpectNothingLaunched();
}

TEST_F(KeptCopy, IsRemovedAgainWhenRulesIniCannotBeReplacedOrRemoved)
{
    const std::string old = dir.Write("Westwood\\Tiberian Sun\\Rules.ini", tuned);
    Open();
    // Open without leave to delete: Rules.ini can be read and copied, but not replaced.
    HANDLE held = CreateFileA(old.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Run();
    CloseHandle(held);
    ExpectOneFileMessage("Could not replace");
    SetFileAttributesA(old.c_str(), FILE_ATTRIBUTE_READONLY);
    boxes.Clear();
    RunNoRules();
    ExpectOneSystemError("Tiberian SUN", ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadWholeFile(installed), tuned);
    EXPECT_EQ(FileNames(gameFolder), (Names{"Game.exe", "Rules.ini"}));
    ExpectNothingLaunched();
}

// Before any rules folder has been read, the process's current folder does not stand in for it;
// and a folder named Rules.ini is no file to keep.
TEST_F(KeptCopy, NeitherTheCurrentFolderNorAFolderNamedRulesIniCounts)
{
    dir.Write("Westwood\\Tiberian Sun\\Rules.ini", tuned);
    dir.Write("Elsewhere\\Tuned.ini", tuned);
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA((dir.Path() + "Elsewhere").c_str()));
    Finally restore{[&] { SetCurrentDirectoryA(previous); }};
    rulesFolder = dir.Path() + "Rules";  // no backslash: never read
    Open();
    RunNoRules();
    ExpectOneKept(tuned);
    EXPECT_FALSE(OneStart().RulesExists);

    for (const std::string& name : Kept())
        DeleteFileA((gameFolder + name).c_str());
    dir.Folder("Westwood\\Tiberian Sun\\Rules.ini");
    boxes.Clear();
    Open();
    RunNoRules();
    ExpectOneSystemError("Tiberian SUN", ERROR_ACCESS_DENIED);
    EXPECT_TRUE(Kept().empty());
}

// A file of the rules folder that another program holds open cannot vouch for the bytes, and must
// not stop the command either.
TEST_F(KeptCopy, ARulesFileHeldOpenElsewhereIsNoCopyAndDoesNotStopTheCommand)
{
    dir.Write("Westwood\\Tiberian Sun\\Rules.ini", tuned);
    const std::string held = dir.Write("Rules\\Tuned.ini", tuned);
    Open();
    HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);  // unshared
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    RunNoRules();
    CloseHandle(file);
    EXPECT_TRUE(boxes.Boxes().empty());
    ExpectOneKept(tuned);
    EXPECT_FALSE(OneStart().RulesExists);
}

}  // namespace
