// The settings remembered in the registry, across runs of the program and on every way out.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "AppFixture.h"
#include "Registry.h"
#include "TestSupport.h"

using namespace TestSupport;

namespace {

const char TSDir[] = "C:\\Games\\TS\\";
const char RADir[] = "C:\\Games\\RA\\";
const char SaveError[] = "Registry Key Creation Error. Could not save status.";

void InstallBoth(RegistrySandbox& Registry)
{
    Registry.SetString(TSKey, "InstallPath", std::string(TSDir) + "Sun.exe");
    Registry.SetString(RAKey, "InstallPath", std::string(RADir) + "RA95.exe");
}

void Retype(KesterlyApp& App, const std::string& Text)
{
    SendMessageA(App.Form().RulesDir.Handle, EM_SETSEL, 0, -1);
    TypeInto(App, App.Form().RulesDir, Text);
}

// What the registry layer says when the settings key's value Name is read as the program reads it.
std::string ReadError(const std::string& Name)
{
    TRegistry Registry(KEY_READ);
    Registry.RootKey = HKEY_LOCAL_MACHINE;
    if (!Registry.OpenKey(SettingsKey, false))
        return "(key missing)";
    try {
        if (Name == "GameTab")
            Registry.ReadInteger(Name);
        else
            Registry.ReadString(Name);
    } catch (const ERegistryException& E) {
        return E.Message;
    }
    return "(no error)";
}

TEST(Settings, FirstRunTakesTheInstallFoldersAndQuitWritesThem)
{
    RegistrySandbox Registry;
    MessageBoxWatcher Boxes;
    InstallBoth(Registry);
    {
        KesterlyApp App;
        App.Start();
        EXPECT_EQ(App.Probe().TSRulesFolder(), TSDir);
        EXPECT_EQ(App.Probe().RARulesFolder(), RADir);
        EXPECT_EQ(App.Form().GameTab.TabIndex(), 0);
        EXPECT_EQ(App.Form().RulesDir.Text(), TSDir);
        App.Click(App.Form().QuitButton);
        EXPECT_TRUE(App.Terminated());
    }
    EXPECT_TRUE(Boxes.Boxes().empty());
    EXPECT_EQ(Registry.GetType(SettingsKey, "TSRulesDir"), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(Registry.GetType(SettingsKey, "RARulesDir"), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(Registry.GetType(SettingsKey, "GameTab"), static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(Registry.GetString(SettingsKey, "TSRulesDir"), TSDir);
    EXPECT_EQ(Registry.GetString(SettingsKey, "RARulesDir"), RADir);
    EXPECT_EQ(Registry.GetDword(SettingsKey, "GameTab"), 0u);
}

TEST(Settings, FoldersLeftByTabChangesAndTheTabComeBackExactly)
{
    RegistrySandbox Registry;
    MessageBoxWatcher Boxes;
    InstallBoth(Registry);
    {
        KesterlyApp App;
        App.Start();
        Retype(App, "D:\\TS Rules\\");
        App.ClickTab(1);
        Retype(App, "E:\\RA Rules\\");
        App.ClickTab(0);
        App.ClickTab(1);
        App.Click(App.Form().QuitButton);
    }
    EXPECT_EQ(Registry.GetDword(SettingsKey, "GameTab"), 1u);
    {
        KesterlyApp App;
        App.Start();
        EXPECT_EQ(App.Probe().TSRulesFolder(), "D:\\TS Rules\\");
        EXPECT_EQ(App.Probe().RARulesFolder(), "E:\\RA Rules\\");
        EXPECT_EQ(App.Form().GameTab.TabIndex(), 1);
        EXPECT_EQ(App.Form().RulesDir.Text(), "E:\\RA Rules\\");
        EXPECT_EQ(App.Form().DirText.Caption(), RADir);
    }
    EXPECT_TRUE(Boxes.Boxes().empty());
}

TEST(Settings, StoredTabBeyondTheInstalledGamesShowsTheFirstTab)
{
    RegistrySandbox Registry;
    MessageBoxWatcher Boxes;
    InstallBoth(Registry);
    {
        KesterlyApp App;
        App.Start();
        App.ClickTab(1);
        App.Click(App.Form().QuitButton);
    }
    Registry.DeleteKey(TSKey);
    {
        KesterlyApp App;
        App.Start();
        EXPECT_EQ(App.Form().GameTab.Tabs.Count(), 1);
        EXPECT_EQ(App.Form().GameTab.TabIndex(), 0);
        EXPECT_EQ(App.Form().DirText.Caption(), RADir);
        EXPECT_EQ(App.Probe().GameDir(), RADir);
        EXPECT_EQ(App.Form().RulesDir.Text(), RADir);
    }
    EXPECT_TRUE(Boxes.Boxes().empty());
}

TEST(Settings, RunWithoutGamesWritesNoTabAndTheNextRunStartsOnTheFirstTab)
{
    RegistrySandbox Registry;
    MessageBoxWatcher Boxes;
    {
        KesterlyApp App;
        App.Start();
        App.Click(App.Form().QuitButton);
    }
    EXPECT_EQ(Registry.GetDword(SettingsKey, "GameTab"), 0xFFFFFFFFu);
    EXPECT_EQ(Registry.GetString(SettingsKey, "TSRulesDir"), "");
    EXPECT_EQ(Registry.GetString(SettingsKey, "RARulesDir"), "");
    Registry.SetString(RAKey, "InstallPath", std::string(RADir) + "RA95.exe");
    {
        KesterlyApp App;
        App.Start();
        EXPECT_EQ(App.Form().GameTab.TabIndex(), 0);
        EXPECT_EQ(App.Probe().RARulesFolder(), RADir);
        EXPECT_EQ(App.Form().DirText.Caption(), RADir);
    }
    EXPECT_TRUE(Boxes.Boxes().empty());
}

TEST(Settings, FoldersMissingFromTheKeyFallBackToTheInstallFolders)
{
    RegistrySandbox Registry;
    MessageBoxWatcher Boxes;
    InstallBoth(Registry);
    Registry.SetDword(SettingsKey, "GameTab", 1);
    KesterlyApp App;
    App.Start();
    EXPECT_EQ(App.Probe().TSRulesFolder(), TSDir);
    EXPECT_EQ(App.Probe().RARulesFolder(), RADir);
    EXPECT_EQ(App.Form().GameTab.TabIndex(), 1);
    EXPECT_TRUE(Boxes.Boxes().empty());
}

TEST(Settings, FolderTypedAndLeftByQuittingIsNotRemembered)
{
    RegistrySandbox Registry;
    MessageBoxWatcher Boxes;
    InstallBoth(Registry);
    Registry.SetString(SettingsKey, "TSRulesDir", "C:\\Kept\\");
    Registry.SetString(SettingsKey, "RARulesDir", "C:\\Kept RA\\");
    Registry.SetDword(SettingsKey, "GameTab", 0);
    {
        KesterlyApp App;
        App.Start();
        Retype(App, "C:\\Typed\\");
        App.Click(App.Form().QuitButton);
    }
    EXPECT_EQ(Registry.GetString(SettingsKey, "TSRulesDir"), "C:\\Kept\\");
    {
        KesterlyApp App;
        App.Start();
        EXPECT_EQ(App.Form().RulesDir.Text(), "C:\\Kept\\");
    }
    EXPECT_TRUE(Boxes.Boxes().empty());
}

struct TWayOut {
    const char* Name;
    std::function<void(KesterlyApp&)> Leave;
};
void PrintTo(const TWayOut& Case, std::ostream* Out) { *Out << Case.Name; }

class WaysOut : public testing::TestWithParam<TWayOut> {};

// Each way out saves once and ends the program, also when the settings cannot be saved.
TEST_P(WaysOut, SaveOnceAndTerminate)
{
    for (bool Writable : {true, false}) {
        SCOPED_TRACE(Writable ? "writable" : "unwritable");
        RegistrySandbox Registry;
        MessageBoxWatcher Boxes;
        if (!Writable)
            Registry.MakeUnwritable();
        InstallBoth(Registry);
        KesterlyApp App;
        App.Start();
        App.ClickTab(1);
        GetParam().Leave(App);
        EXPECT_TRUE(App.Terminated());
        if (Writable) {
            EXPECT_TRUE(Boxes.Boxes().empty());
            EXPECT_EQ(Registry.GetDword(SettingsKey, "GameTab"), 1u);
            EXPECT_EQ(Registry.GetString(SettingsKey, "TSRulesDir"), TSDir);
        } else {
            ASSERT_EQ(Boxes.Boxes().size(), 1u);
            EXPECT_EQ(Boxes.Boxes()[0].Text, SaveError);
            EXPECT_EQ(Boxes.Boxes()[0].Caption, "Kesterly");
            EXPECT_FALSE(Registry.HasKey(SettingsKey));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, WaysOut,
    testing::Values(
        TWayOut{"QuitButton", [](KesterlyApp& App) { App.Click(App.Form().QuitButton); }},
        TWayOut{"AltQ", [](KesterlyApp& App) { PressAltOn(App, App.Form().GameTab, 'q'); }},
        TWayOut{"CloseMessage",
                [](KesterlyApp& App) {
                    PostMessageA(App.Form().Handle, WM_CLOSE, 0, 0);
                    App.Pump();
                }},
        TWayOut{"CloseBox",
                [](KesterlyApp& App) {
                    PostMessageA(App.Form().Handle, WM_SYSCOMMAND, SC_CLOSE, 0);
                    App.Pump();
                }},
        TWayOut{"AltF4",
                [](KesterlyApp& App) {
                    PostMessageA(App.Form().GameTab.Handle, WM_SYSKEYDOWN, VK_F4, 1 | (1u << 29));
                    App.Pump();
                }}),
    [](const testing::TestParamInfo<TWayOut>& Info) { return std::string(Info.param.Name); });

// A value as it stands in the settings key.
struct TValue {
    const char* Name;
    DWORD Type;
    std::string Bytes;
};

TValue Text(const char* Name, const char* Value)
{
    return {Name, REG_SZ, std::string(Value, strlen(Value) + 1)};
}

TValue Number(const char* Name, DWORD Value)
{
    return {Name, REG_DWORD, std::string(reinterpret_cast<const char*>(&Value), sizeof Value)};
}

struct TLoadFailure {
    const char* Name;
    std::vector<TValue> Stored;
    const char* Failing;  // the value whose read fails
    std::string TSFolder, RAFolder;
};
void PrintTo(const TLoadFailure& Case, std::ostream* Out) { *Out << Case.Name; }

class LoadFailure : public testing::TestWithParam<TLoadFailure> {};

// One message; what was read before the failure stays, the install folders are not filled in,
// and the tab is the one detection selected.
TEST_P(LoadFailure, ShowsTheRegistryMessageAndKeepsWhatWasRead)
{
    const TLoadFailure& Case = GetParam();
    RegistrySandbox Registry;
    MessageBoxWatcher Boxes;
    InstallBoth(Registry);
    for (const TValue& Value : Case.Stored)
        Registry.SetValue(SettingsKey, Value.Name, Value.Type, Value.Bytes);
    const std::string Expected = ReadError(Case.Failing);
    KesterlyApp App;
    App.Start();

    ASSERT_EQ(Boxes.Boxes().size(), 1u);
    EXPECT_EQ(Boxes.Boxes()[0].Text, Expected);
    EXPECT_EQ(Boxes.Boxes()[0].Caption, "Kesterly");
    EXPECT_EQ(App.Probe().TSRulesFolder(), Case.TSFolder);
    EXPECT_EQ(App.Probe().RARulesFolder(), Case.RAFolder);
    EXPECT_EQ(App.Form().GameTab.TabIndex(), 0);
    EXPECT_EQ(App.Form().RulesDir.Text(), Case.TSFolder);
    EXPECT_EQ(App.Form().GameTab.Tabs.Count(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Registry, LoadFailure,
    testing::Values(
        TLoadFailure{"GameTabMissing", {Text("TSRulesDir", "C:\\Stored\\"), Text("RARulesDir", "")}, "GameTab",
                     "C:\\Stored\\", ""},
        TLoadFailure{"GameTabText",
                     {Text("TSRulesDir", ""), Text("RARulesDir", "C:\\RA\\"), Text("GameTab", "1")},
                     "GameTab", "", "C:\\RA\\"},
        TLoadFailure{"GameTabBinary",
                     {Text("TSRulesDir", "C:\\TS\\"), Text("RARulesDir", "C:\\RA\\"),
                      {"GameTab", REG_BINARY, std::string("\x01\x00\x00\x00", 4)}},
                     "GameTab", "C:\\TS\\", "C:\\RA\\"},
        TLoadFailure{"TSFolderNumber",
                     {Number("TSRulesDir", 5), Text("RARulesDir", "C:\\RA\\"), Number("GameTab", 1)}, "TSRulesDir",
                     "", ""},
        TLoadFailure{"RAFolderBinary",
                     {Text("TSRulesDir", "C:\\TS\\"), {"RARulesDir", REG_BINARY, "C:\\RA\\"}, Number("GameTab", 1)},
                     "RARulesDir", "C:\\TS\\", ""}),
    [](const testing::TestParamInfo<TLoadFailure>& Info) { return std::string(Info.param.Name); });

// Quit and the close box wait for a run command under way: it saves once and ends the program.
TEST(Settings, WaysOutDuringARunCommandDoNothing)
{
    RegistrySandbox Registry;
    MessageBoxWatcher Boxes;
    Registry.MakeUnwritable();  // each save then shows a message
    TempDir Dir;
    StubGame Game(Dir.Folder("TS"), "Sun.exe");
    Registry.SetString(TSKey, "InstallPath", Game.Path());
    Dir.Write("TS\\Alpha.ini", "[General]\r\nName=Tiberian Sun Alpha\r\n");
    KesterlyApp App;
    App.Start();
    App.ClickRule(0);
    ASSERT_TRUE(App.Form().RunButton.Enabled());

    // Clicks and a close queued behind the click on Run, as from a hasty user.
    for (HWND Button : {App.Form().RunButton.Handle, App.Form().QuitButton.Handle}) {
        PostMessageA(Button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        PostMessageA(Button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        PostMessageA(App.Form().Handle, WM_CLOSE, 0, 0);
    }
    App.Pump();
    EXPECT_TRUE(App.Terminated());
    EXPECT_EQ(Game.WaitForRecords(1).size(), 1u);
    ASSERT_EQ(Boxes.Boxes().size(), 1u);
    EXPECT_EQ(Boxes.Boxes()[0].Text, SaveError);
}

}  // namespace
