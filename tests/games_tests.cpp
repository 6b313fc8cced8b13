// Game detection from the registry, the game tabs, and the window without any game.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AppFixture.h"
#include "Registry.h"
#include "TestSupport.h"
#include "VdfFiles.h"
#include "resource.h"

#include <commctrl.h>
#include <uxtheme.h>

using namespace TestSupport;

namespace {

// The colour the dialog paints a static control's text with.
COLORREF PaintedTextColor(const TWinControl& Control)
{
    HDC Dc = GetDC(Control.Handle);
    SendMessageA(GetParent(Control.Handle), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(Dc),
                 reinterpret_cast<LPARAM>(Control.Handle));
    const COLORREF Color = GetTextColor(Dc);
    ReleaseDC(Control.Handle, Dc);
    return Color;
}

// How many pixels of a window, as shown, have this colour: in a part of it, else in all of it.
int PixelsOf(HWND Window, COLORREF Color, RECT Part = {})
{
    if (IsRectEmpty(&Part))
        GetClientRect(Window, &Part);
    HDC Dc = GetDC(Window);
    int Count = 0;
    for (int Y = Part.top; Y < Part.bottom; ++Y)
        for (int X = Part.left; X < Part.right; ++X)
            Count += GetPixel(Dc, X, Y) == Color;
    ReleaseDC(Window, Dc);
    return Count;
}

// Wine always reports high contrast off: here the program hears it is on.
BOOL WINAPI HighContrastOn(UINT Action, UINT, void* Data, UINT)
{
    static_cast<HIGHCONTRASTA*>(Data)->dwFlags = HCF_HIGHCONTRASTON;
    return Action == SPI_GETHIGHCONTRAST;  // the only setting the program asks for
}

// What the registry layer says when "InstallPath" of Key is read as text.
std::string ReadStringError(const char* Key)
{
    TRegistry Registry(KEY_READ);
    Registry.RootKey = HKEY_LOCAL_MACHINE;
    if (!Registry.OpenKey(Key, false))
        return "(key missing)";
    try {
        Registry.ReadString("InstallPath");
    } catch (const ERegistryException& E) {
        return E.Message;
    }
    return "(no error)";
}

// How a game's "InstallPath" stands in the registry.
struct TInstall {
    enum { Absent, KeyOnly, Text, Dword, Binary } Kind;
    const char* Path;
};
const TInstall Absent{TInstall::Absent, ""};

void Put(RegistrySandbox& Registry, const char* Key, const TInstall& Install)
{
    switch (Install.Kind) {
    case TInstall::Absent: break;
    case TInstall::KeyOnly: Registry.CreateKey(Key); break;
    case TInstall::Text: Registry.SetString(Key, "InstallPath", Install.Path); break;
    case TInstall::Dword: Registry.SetDword(Key, "InstallPath", 7); break;
    case TInstall::Binary: Registry.SetValue(Key, "InstallPath", REG_BINARY, "C:\\x"); break;
    }
}

bool Broken(const TInstall& Install)
{
    return Install.Kind == TInstall::Dword || Install.Kind == TInstall::Binary;
}

struct TDetectionCase {
    const char* Name;
    TInstall TS, RA;
    std::vector<std::string> Tabs;
    std::string TSDir, TSExe, RADir, RAExe;
};
void PrintTo(const TDetectionCase& Case, std::ostream* Out) { *Out << Case.Name; }

class Detection : public testing::TestWithParam<TDetectionCase> {};

TEST_P(Detection, TabsFoldersAndMessages)
{
    const TDetectionCase& Case = GetParam();
    RegistrySandbox Registry;
    MessageBoxWatcher Boxes;
    Put(Registry, TSKey, Case.TS);
    Put(Registry, RAKey, Case.RA);
    std::vector<std::string> Expected;
    for (const auto& [Key, Install] : {std::make_pair(TSKey, Case.TS), std::make_pair(RAKey, Case.RA)})
        if (Broken(Install))
            Expected.push_back(ReadStringError(Key));
    KesterlyApp App;
    App.Start();

    EXPECT_EQ(TabCaptions(App.Form().GameTab), Case.Tabs);
    EXPECT_EQ(App.Form().GameTab.TabIndex(), Case.Tabs.empty() ? -1 : 0);
    RulesFormProbe Probe = App.Probe();
    EXPECT_EQ(Probe.TSGameDir(), Case.TSDir);
    EXPECT_EQ(Probe.TSGameExe(), Case.TSExe);
    EXPECT_EQ(Probe.RAGameDir(), Case.RADir);
    EXPECT_EQ(Probe.RAGameExe(), Case.RAExe);
    ASSERT_EQ(Boxes.Boxes().size(), Expected.size());
    for (size_t Index = 0; Index < Expected.size(); ++Index) {
        EXPECT_EQ(Boxes.Boxes()[Index].Text, Expected[Index]);
        EXPECT_EQ(Boxes.Boxes()[Index].Caption, "Kesterly");
        EXPECT_EQ(Boxes.Boxes()[Index].Buttons.size(), 1u);
    }
}

const char TSPath[] = "C:\\Westwood\\Tiberian Sun\\Sun.exe";
const char RAPath[] = "C:\\Westwood\\Red Alert\\RA95.exe";
const char TSDir[] = "C:\\Westwood\\Tiberian Sun\\";
const char RADir[] = "C:\\Westwood\\Red Alert\\";

INSTANTIATE_TEST_SUITE_P(
    Registry, Detection,
    testing::Values(
        TDetectionCase{"Both", {TInstall::Text, TSPath}, {TInstall::Text, RAPath}, {"Tiberian SUN", "Red Alert"},
                       TSDir, "Sun.exe", RADir, "RA95.exe"},
        TDetectionCase{"TiberianSunAlone", {TInstall::Text, TSPath}, Absent, {"Tiberian SUN"}, TSDir, "Sun.exe", "", ""},
        TDetectionCase{"RedAlertAlone", Absent, {TInstall::Text, RAPath}, {"Red Alert"}, "", "", RADir, "RA95.exe"},
        TDetectionCase{"Neither", Absent, Absent, {}, "", "", "", ""},
        TDetectionCase{"KeysWithoutValue", {TInstall::KeyOnly, ""}, {TInstall::KeyOnly, ""}, {}, "", "", "", ""},
        TDetectionCase{"EmptyInstallPath", {TInstall::Text, ""}, {TInstall::Text, RAPath}, {"Red Alert"}, "", "",
                       RADir, "RA95.exe"},
        TDetectionCase{"NoBackslash", {TInstall::Text, "Sun.exe"}, {TInstall::Text, "RA95.exe"},
                       {"Tiberian SUN", "Red Alert"}, "", "Sun.exe", "", "RA95.exe"},
        // The folder ends at the last backslash, whatever the length of the executable's name.
        TDetectionCase{"LongNameUnderTiberianSun", {TInstall::Text, "C:\\Games\\TS\\ABCD.exe"},
                       {TInstall::Text, "C:\\Games\\RA\\Game.exe"}, {"Tiberian SUN", "Red Alert"}, "C:\\Games\\TS\\",
                       "ABCD.exe", "C:\\Games\\RA\\", "Game.exe"},
        TDetectionCase{"TiberianSunNotText", {TInstall::Dword, ""}, {TInstall::Text, RAPath}, {"Red Alert"}, "", "",
                       RADir, "RA95.exe"},
        TDetectionCase{"RedAlertNotText", {TInstall::Text, TSPath}, {TInstall::Binary, ""}, {"Tiberian SUN"}, TSDir,
                       "Sun.exe", "", ""},
        TDetectionCase{"NeitherIsText", {TInstall::Binary, ""}, {TInstall::Dword, ""}, {}, "", "", "", ""}),
    [](const testing::TestParamInfo<TDetectionCase>& Info) { return std::string(Info.param.Name); });

// Red Alert's German and French editions, the 2006 compilation and today's digital editions record
// the games elsewhere.
struct TPlaceCase {
    const char* Name;
    const char* Key;
    const char* PathValue;
    const char* FileNameValue;  // null: PathValue holds the full path of the executable, or a folder
    const char* Tab;
    const char* Exe;
    enum { FullPath, Folder, FolderWithBackslash } Value = FullPath;  // without FileNameValue
};
void PrintTo(const TPlaceCase& Case, std::ostream* Out) { *Out << Case.Name; }

class OtherPlace : public testing::TestWithParam<TPlaceCase> {};

TEST_P(OtherPlace, AloneGivesTheTabAndTheGameStarts)
{
    const TPlaceCase& Case = GetParam();
    RegistrySandbox Registry;
    MessageBoxWatcher Boxes;
    TempDir Dir;
    const std::string Folder = Dir.Folder("Games\\Installed Here");
    const std::string FolderNoBackslash = Folder.substr(0, Folder.size() - 1);
    StubGame Game(Folder, Case.Exe);
    if (Case.FileNameValue) {
        Registry.SetString(Case.Key, Case.PathValue, FolderNoBackslash);
        Registry.SetString(Case.Key, Case.FileNameValue, Case.Exe);
    } else {
        Registry.SetString(Case.Key, Case.PathValue,
                           Case.Value == TPlaceCase::FullPath ? Game.Path()
                           : Case.Value == TPlaceCase::Folder ? FolderNoBackslash
                                                              : Folder);
    }
    KesterlyApp App;
    App.Start();

    EXPECT_EQ(TabCaptions(App.Form().GameTab), std::vector<std::string>{Case.Tab});
    EXPECT_EQ(App.Form().DirText.Caption(), Folder);
    EXPECT_EQ(App.Probe().GameExe(), Case.Exe);
    App.Click(App.Form().NoRulesButton);
    const std::vector<TStubRecord> Starts = Game.WaitForRecords();
    ASSERT_EQ(Starts.size(), 1u);
    EXPECT_EQ(Starts[0].CurrentFolder, FolderNoBackslash);
    EXPECT_TRUE(App.Terminated());
    EXPECT_TRUE(Boxes.Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Registry, OtherPlace,
    testing::Values(TPlaceCase{"RedAlertGerman", RAGermanKey, "InstallPath", nullptr, "Red Alert", "RA95.EXE"},
                    TPlaceCase{"RedAlertFrench", RAFrenchKey, "InstallPath", nullptr, "Red Alert", "RA95.EXE"},
                    TPlaceCase{"RedAlertCompilation", FirstDecadeKey, "ra_folder", "ra_executable", "Red Alert",
                               "RA95.exe"},
                    TPlaceCase{"TiberianSunCompilation", FirstDecadeKey, "ts_folder", "ts_executable",
                               "Tiberian SUN", "Game.exe"},
                    TPlaceCase{"RedAlertStore", RAStoreKey, "Install Dir", nullptr, "Red Alert", "RA95Launcher.exe",
                               TPlaceCase::Folder},
                    TPlaceCase{"TiberianSunStore", TSStoreKey, "Install Dir", nullptr, "Tiberian SUN",
                               "TSLauncher.exe", TPlaceCase::FolderWithBackslash},
                    TPlaceCase{"RedAlertSteam", RASteamKey, "InstallLocation", nullptr, "Red Alert", "RA95.exe",
                               TPlaceCase::FolderWithBackslash},
                    TPlaceCase{"TiberianSunSteam", TSSteamKey, "InstallLocation", nullptr, "Tiberian SUN", "SUN.exe",
                               TPlaceCase::Folder},
                    TPlaceCase{"TiberianSunCnCNet", TSCnCNetKey, "InstallLocation", nullptr, "Tiberian SUN",
                               "TiberianSun.exe", TPlaceCase::FolderWithBackslash}),
    [](const testing::TestParamInfo<TPlaceCase>& Info) { return std::string(Info.param.Name); });

// One registry value as an installer left it: text, or, with Text null, a number.
struct TValue {
    const char* Key;
    const char* Name;
    const char* Text;
};

// A value's text, or an expected path, starting with "~" names a place in the test's folder.
struct TPlacesCase {
    const char* Name;
    std::vector<TValue> Values;
    std::vector<std::string> Tabs;
    std::string TSPath, RAPath;  // install folder and executable as found, joined
    std::vector<std::string> Messages;
    std::vector<std::string> Files = {};  // made in the test's folder; a name ending in a backslash is a folder
};
void PrintTo(const TPlacesCase& Case, std::ostream* Out) { *Out << Case.Name; }

class Places : public testing::TestWithParam<TPlacesCase> {};

TEST_P(Places, FirstPlaceWithAPathDecides)
{
    const TPlacesCase& Case = GetParam();
    RegistrySandbox Registry;
    MessageBoxWatcher Boxes;
    TempDir Dir;
    const auto Placed = [&](const std::string& Text) {
        return Text.compare(0, 1, "~") == 0 ? Dir.Path() + Text.substr(1) : Text;
    };
    for (const std::string& File : Case.Files) {
        if (File.back() == '\\')
            Dir.Folder(File);
        else
            Dir.Write(File, "");
    }
    for (const TValue& Value : Case.Values) {
        if (Value.Text)
            Registry.SetString(Value.Key, Value.Name, Placed(Value.Text));
        else
            Registry.SetDword(Value.Key, Value.Name, 7);
    }
    KesterlyApp App;
    App.Start();

    RulesFormProbe Probe = App.Probe();
    EXPECT_EQ(TabCaptions(App.Form().GameTab), Case.Tabs);
    EXPECT_EQ(Probe.TSGameDir() + Probe.TSGameExe(), Placed(Case.TSPath));
    EXPECT_EQ(Probe.RAGameDir() + Probe.RAGameExe(), Placed(Case.RAPath));
    std::vector<std::string> Shown;
    for (const TMessageBoxRecord& Box : Boxes.Boxes())
        Shown.push_back(Box.Text);
    EXPECT_EQ(Shown, Case.Messages);
}

const TValue English{RAKey, "InstallPath", "C:\\EN\\RA95.exe"};
const TValue German{RAGermanKey, "InstallPath", "C:\\DE\\RA95.exe"};
const TValue French{RAFrenchKey, "InstallPath", "C:\\FR\\RA95.exe"};
const TValue RAFolder{FirstDecadeKey, "ra_folder", "C:\\FD\\RA"};
const TValue RAExecutable{FirstDecadeKey, "ra_executable", "RA95.exe"};
const TValue TSFolder{FirstDecadeKey, "ts_folder", "C:\\FD\\TS"};
const TValue TSExecutable{FirstDecadeKey, "ts_executable", "Game.exe"};
const char NotText[] = "Registry value \"InstallPath\" is not text.";

INSTANTIATE_TEST_SUITE_P(
    Registry, Places,
    testing::Values(
        TPlacesCase{"EnglishKeysWin",
                    {English, German, French, RAFolder, RAExecutable, {TSKey, "InstallPath", "C:\\TS\\Sun.exe"},
                     TSFolder, TSExecutable},
                    {"Tiberian SUN", "Red Alert"}, "C:\\TS\\Sun.exe", "C:\\EN\\RA95.exe", {}},
        TPlacesCase{"GermanBeforeFrench", {German, French, RAFolder, RAExecutable}, {"Red Alert"}, "",
                    "C:\\DE\\RA95.exe", {}},
        TPlacesCase{"FrenchBeforeCompilation", {French, RAFolder, RAExecutable}, {"Red Alert"}, "",
                    "C:\\FR\\RA95.exe", {}},
        TPlacesCase{"EmptyEnglishPathFallsThrough", {{RAKey, "InstallPath", ""}, German}, {"Red Alert"}, "",
                    "C:\\DE\\RA95.exe", {}},
        TPlacesCase{"CompilationFolders",
                    {RAFolder, RAExecutable, {FirstDecadeKey, "ts_folder", "C:\\FD\\TS\\"},
                     {FirstDecadeKey, "ts_executable", "SUN.exe"}},
                    {"Tiberian SUN", "Red Alert"}, "C:\\FD\\TS\\SUN.exe", "C:\\FD\\RA\\RA95.exe", {}},
        TPlacesCase{"CompilationWithOneValueEach", {TSFolder, RAExecutable}, {}, "", "", {}},
        TPlacesCase{"CompilationWithEmptyFolder", {{FirstDecadeKey, "ra_folder", ""}, RAExecutable}, {}, "", "", {}},
        TPlacesCase{"GermanNotTextHidesTheCompilation",
                    {{RAGermanKey, "InstallPath", nullptr}, RAFolder, RAExecutable}, {}, "", "", {NotText}},
        TPlacesCase{"CompilationExecutableNotText",
                    {TSFolder, {FirstDecadeKey, "ts_executable", nullptr}, English}, {"Red Alert"}, "",
                    "C:\\EN\\RA95.exe", {"Registry value \"ts_executable\" is not text."}},
        TPlacesCase{"BrokenPlaceAfterTheFoundOne", {English, {RAFrenchKey, "InstallPath", nullptr}}, {"Red Alert"},
                    "", "C:\\EN\\RA95.exe", {}}),
    [](const testing::TestParamInfo<TPlacesCase>& Info) { return std::string(Info.param.Name); });

// The EA app's and Steam's places record a folder, in which the program is looked for.
const std::vector<std::string> BothTabs = {"Tiberian SUN", "Red Alert"};
const std::vector<std::string> RedAlertTab = {"Red Alert"};

INSTANTIATE_TEST_SUITE_P(
    DigitalEditions, Places,
    testing::Values(
        TPlacesCase{"LauncherFirst",
                    {{RAStoreKey, "Install Dir", "~RA"}, {TSStoreKey, "Install Dir", "~TS\\"}},
                    BothTabs, "~TS\\TSLauncher.exe", "~RA\\RA95Launcher.exe", {},
                    {"RA\\RA95.exe", "RA\\RA95Launcher.exe", "TS\\Game.exe", "TS\\SUN.exe", "TS\\TSLauncher.exe"}},
        TPlacesCase{"OnlyFilesAreProgramsAndOneBackslashEndsTheFolder",
                    {{RASteamKey, "InstallLocation", "~RA\\\\"}, {TSSteamKey, "InstallLocation", "~TS"}},
                    BothTabs, "~TS\\SUN.exe", "~RA\\RA95.exe", {},
                    {"RA\\RA95Launcher.exe\\", "RA\\RA95.exe", "TS\\Game.exe", "TS\\SUN.exe"}},
        TPlacesCase{"EmptyValueMissingFolderOrNoProgramFallThrough",
                    {{RAStoreKey, "Install Dir", ""}, {RASteamKey, "InstallLocation", "~RA"},
                     {TSStoreKey, "Install Dir", "~Gone"}, {TSSteamKey, "InstallLocation", "~Bare"}},
                    RedAlertTab, "", "~RA\\RA95.exe", {}, {"RA\\RA95.exe", "Bare\\Rules.ini", "Bare\\Sun.ini"}},
        TPlacesCase{"StoreBeforeSteam", {{RAStoreKey, "Install Dir", "~A"}, {RASteamKey, "InstallLocation", "~B"}},
                    RedAlertTab, "", "~A\\RA95.exe", {}, {"A\\RA95.exe", "B\\RA95.exe"}},
        TPlacesCase{"ClassicKeysAndCompilationFirst",
                    {English, {RAStoreKey, "Install Dir", "~RA"}, TSFolder, TSExecutable,
                     {TSSteamKey, "InstallLocation", "~TS"}},
                    BothTabs, "C:\\FD\\TS\\Game.exe", "C:\\EN\\RA95.exe", {}, {"RA\\RA95.exe", "TS\\Game.exe"}},
        TPlacesCase{"NotTextStopsTheSearch",
                    {{RAStoreKey, "Install Dir", nullptr}, {RASteamKey, "InstallLocation", "~RA"},
                     {TSSteamKey, "InstallLocation", nullptr}},
                    {}, "", "",
                    {"Registry value \"InstallLocation\" is not text.", "Registry value \"Install Dir\" is not text."},
                    {"RA\\RA95.exe"}}),
    [](const testing::TestParamInfo<TPlacesCase>& Info) { return std::string(Info.param.Name); });

// Steam's text files: a whole text is read, in either form of libraryfolders.vdf; a text cut
// anywhere, garbage or a file too large gives nothing at all.
TEST(SteamFiles, WholeTextsAreReadAndBrokenOnesGiveNothing)
{
    const std::string Text = "// Steam\n\"LibraryFolders\"\n{\n"
                             "\t\"0\" { \"path\"\t\"C:\\\\Program Files (x86)\\\\Steam\" }\n"
                             "\t\"1\"\t\"D:\\\\Say \\\"Hi\\\"\\n\"\n}\n";
    TVdfNode Root;
    ASSERT_TRUE(ParseVdf(Text.data(), Text.size(), Root));
    const TVdfNode* List = Root.Find("libraryfolders");
    ASSERT_TRUE(List && List->Children.size() == 2);
    EXPECT_EQ(List->Children[0].Text("PATH"), "C:\\Program Files (x86)\\Steam");
    EXPECT_EQ(List->Children[1].Value, "D:\\Say \"Hi\"\\n");
    for (size_t Size = 0; Size < Text.rfind('}'); ++Size) {
        // Only a cut before the first key leaves a whole text (of no keys), a lone "/" excepted.
        EXPECT_EQ(ParseVdf(Text.data(), Size, Root), Size != 1 && Size <= Text.find('"')) << Size;
        EXPECT_TRUE(Root.Children.empty()) << Size;
    }
    std::string Deep;  // well formed, but nested beyond the limit
    for (size_t Level = 0; Level < MaxVdfDepth; ++Level)
        Deep = "\"a\" {" + Deep + "}";
    for (const std::string& Garbage : std::vector<std::string>{"\"a\" b", "\"a\" \"b\" }", "\"a\" {} {", Deep})
        EXPECT_FALSE(ParseVdf(Garbage.data(), Garbage.size(), Root) || !Root.Children.empty()) << Garbage;
    TempDir Dir;
    EXPECT_FALSE(ReadVdfFile(Dir / "missing.vdf", Root));
    const std::string Largest = "\"k\" \"" + std::string(MaxVdfFileSize - 6, 'x') + "\"";
    EXPECT_TRUE(ReadVdfFile(Dir.Write("largest.vdf", Largest), Root));
    EXPECT_FALSE(ReadVdfFile(Dir.Write("larger.vdf", Largest + " "), Root) || !Root.Children.empty());
}

// Files Steam wrote, seeds of the reader's fuzzer (fuzz/vdf_corpus): Steam for Windows' list of three
// libraries, each with its apps, and a manifest. Only a library that lists the app, or lists none (the
// older form), may hold it; StateFlags is a number of 32 bits, or none.
TEST(SteamFiles, RealFilesSayWhichLibraryHoldsWhichAppAndStateFlagsIsBounded)
{
    TVdfNode Root;
    const std::string Corpus = ExeFolder() + "vdf_corpus\\";
    ASSERT_TRUE(ReadVdfFile(Corpus + "windows_libraryfolders.vdf", Root));
    std::vector<TSteamLibraryEntry> Libraries = SteamLibraryEntries(Root);
    ASSERT_EQ(Libraries.size(), 3u);
    EXPECT_EQ(Libraries[2].Path, "F:\\SteamLibrary");
    EXPECT_TRUE(Libraries[2].MayHold("440") && !Libraries[1].MayHold("440") && !Libraries[2].MayHold("2229840"));
    ASSERT_TRUE(ReadVdfFile(Corpus + "old_form.vdf", Root));
    Libraries = SteamLibraryEntries(Root);
    EXPECT_TRUE(Libraries.size() == 2 && Libraries[1].MayHold("2229840"));
    ASSERT_TRUE(ReadVdfFile(Corpus + "appmanifest_440.acf", Root));
    EXPECT_EQ(Root.Find("AppState")->Number("StateFlags"), 4u);
    const std::string Flags = "\"a\" \"4294967295\" \"b\" \"4294967300\" \"c\" \"-4\"";
    ASSERT_TRUE(ParseVdf(Flags.data(), Flags.size(), Root));
    EXPECT_TRUE(Root.Number("a") == 4294967295u && !Root.Number("b") && !Root.Number("c"));
}

struct TProfileCase {
    const char* Name;
    const char* Key;
    const char* Tab;
    COLORREF Color;
    const char* NamePrefix;
    const char* MarkerKey;
};
void PrintTo(const TProfileCase& Case, std::ostream* Out) { *Out << Case.Name; }

class Profile : public testing::TestWithParam<TProfileCase> {};

TEST_P(Profile, OnlyGameInstalledIsShownOnTabZero)
{
    const TProfileCase& Case = GetParam();
    RegistrySandbox Registry;
    MessageBoxWatcher Boxes;
    Registry.SetString(Case.Key, "InstallPath", "C:\\Games\\Here\\Play.exe");
    KesterlyApp App;
    App.Start();

    TRulesForm& Form = App.Form();
    RulesFormProbe Probe = App.Probe();
    EXPECT_EQ(TabCaptions(Form.GameTab), std::vector<std::string>{Case.Tab});
    EXPECT_EQ(Form.GameTab.TabIndex(), 0);
    EXPECT_EQ(Form.DirText.Caption(), "C:\\Games\\Here\\");
    EXPECT_EQ(PaintedTextColor(Form.DirText), Case.Color);
    EXPECT_EQ(Probe.GameDir(), "C:\\Games\\Here\\");
    EXPECT_EQ(Probe.GameExe(), "Play.exe");
    EXPECT_EQ(Probe.IniSection(), "General");
    EXPECT_EQ(Probe.NameKey(), "Name");
    EXPECT_EQ(Probe.NamePrefix(), Case.NamePrefix);
    EXPECT_EQ(Probe.MarkerKey(), Case.MarkerKey);
    EXPECT_EQ(Form.RulesDir.Text(), "C:\\Games\\Here\\");
    EXPECT_TRUE(Form.NoRulesButton.Enabled());
    EXPECT_FALSE(Form.RunButton.Enabled());
    EXPECT_FALSE(Form.NotFound.Visible());
    EXPECT_TRUE(Boxes.Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Games, Profile,
                         testing::Values(TProfileCase{"TiberianSun", TSKey, "Tiberian SUN", RGB(0, 0, 128), "Tiberian Sun", "Name"},
                                         TProfileCase{"RedAlert", RAKey, "Red Alert", RGB(128, 0, 0), "Red Alert", "CrateMinimum"}),
                         [](const testing::TestParamInfo<TProfileCase>& Info) { return std::string(Info.param.Name); });

// New system colours show at once, on the tab page too; the folder text keeps its navy until high
// contrast is turned on, and then takes the system's text colour.
TEST(Colours, NewSystemColoursAndHighContrastShowWithoutARestart)
{
    RegistrySandbox Registry;
    MessageBoxWatcher Boxes;
    Registry.SetString(TSKey, "InstallPath", "C:\\Games\\Here\\Play.exe");
    KesterlyApp App;
    TRulesForm& Form = App.Form();
    // Without visual styles, as Windows draws in high contrast: the page is the face colour. (Wine
    // takes a blank theme name for the default theme; a name that matches no part drops it.)
    SetWindowTheme(Form.GameTab.Handle, L" ", L" ");
    App.Start();
    const COLORREF Black = RGB(0, 0, 0), White = RGB(255, 255, 255), Navy = RGB(0, 0, 128);
    RECT Tab, Label;
    SendMessageA(Form.GameTab.Handle, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&Tab));
    GetClientRect(Form.RuleDirLabel.Handle, &Label);
    // 3 when a pixel of the page, one inside a tab beside its caption and one beneath a label beside
    // its text all show the colour.
    auto PageShows = [&](COLORREF Color) {
        return PixelsOf(Form.GameTab.Handle, Color, {4, 40, 5, 41}) +
               PixelsOf(Form.GameTab.Handle, Color, {Tab.left + 3, Tab.bottom - 4, Tab.left + 4, Tab.bottom - 3}) +
               PixelsOf(Form.RuleDirLabel.Handle, Color, {Label.right - 1, Label.bottom - 1, Label.right, Label.bottom});
    };
    ASSERT_EQ(PageShows(GetSysColor(COLOR_BTNFACE)), 3);

    // A black scheme, set for the whole session as the Control Panel sets it, and put back afterwards.
    int Elements[] = {COLOR_BTNFACE, COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_BTNTEXT};
    COLORREF Scheme[] = {Black, Black, White, White};
    COLORREF Saved[] = {GetSysColor(Elements[0]), GetSysColor(Elements[1]), GetSysColor(Elements[2]), GetSysColor(Elements[3])};
    struct TRestore { int* E; COLORREF* C; ~TRestore() { SetSysColors(4, E, C); } } Restore{Elements, Saved};
    SetSysColors(4, Elements, Scheme);
    App.Pump();
    EXPECT_EQ(PageShows(Black), 3);
    EXPECT_GT(PixelsOf(Form.DirText.Handle, Navy), 0);

    ImportPatch Contrast("user32.dll", "SystemParametersInfoA", reinterpret_cast<const void*>(&HighContrastOn));
    SendMessageA(Form.Handle, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);  // as Windows says it
    App.Pump();
    EXPECT_EQ(PixelsOf(Form.DirText.Handle, Navy), 0);
    EXPECT_GT(PixelsOf(Form.DirText.Handle, White), 0);  // COLOR_WINDOWTEXT
}

// Both games installed, each with a rules folder of its own; Red Alert was shown last.
class TabSwitching : public testing::Test {
protected:
    RegistrySandbox Registry;
    MessageBoxWatcher Boxes;
    TempDir Dir;
    std::string TSInstall = Dir.Folder("TS"), RAInstall = Dir.Folder("RA");
    std::string TSRules = Dir.Folder("TSRules"), RARules = Dir.Folder("RARules");

    void SetUp() override
    {
        Registry.SetString(TSKey, "InstallPath", TSInstall + "Sun.exe");
        Registry.SetString(RAKey, "InstallPath", RAInstall + "RA95.exe");
        Registry.SetString(SettingsKey, "TSRulesDir", TSRules);
        Registry.SetString(SettingsKey, "RARulesDir", RARules);
        Registry.SetDword(SettingsKey, "GameTab", 1);
        Dir.Write("TSRules\\Alpha.ini", "[General]\r\nName=Tiberian Sun Alpha\r\n");
        Dir.Write("RARules\\Bravo.ini", "[General]\r\nCrateMinimum=3\r\n");
    }

    static void Retype(KesterlyApp& App, const std::string& Text)
    {
        SendMessageA(App.Form().RulesDir.Handle, EM_SETSEL, 0, -1);
        TypeInto(App, App.Form().RulesDir, Text);
    }
};

TEST_F(TabSwitching, LeavingStoresTheFolderAndEnteringAppliesTheOtherGame)
{
    KesterlyApp App;
    App.Start();
    TRulesForm& Form = App.Form();
    RulesFormProbe Probe = App.Probe();
    ASSERT_EQ(Form.GameTab.TabIndex(), 1);
    EXPECT_EQ(Items(Form.NameList), std::vector<std::string>{"Bravo.ini"});
    App.ClickRule(0);
    ASSERT_TRUE(Form.RunButton.Enabled());

    const std::string Edited = RARules + "..\\RARules\\";
    Retype(App, Edited);
    App.ClickTab(0);
    EXPECT_EQ(Form.GameTab.TabIndex(), 0);
    EXPECT_EQ(Probe.RARulesFolder(), Edited);
    EXPECT_FALSE(Form.RunButton.Enabled());
    EXPECT_TRUE(Form.NoRulesButton.Enabled());
    EXPECT_EQ(Form.RulesDir.Text(), TSRules);
    EXPECT_EQ(Form.DirText.Caption(), TSInstall);
    EXPECT_EQ(PaintedTextColor(Form.DirText), RGB(0, 0, 128));
    EXPECT_EQ(Probe.GameDir(), TSInstall);
    EXPECT_EQ(Probe.GameExe(), "Sun.exe");
    EXPECT_EQ(Probe.MarkerKey(), "Name");
    EXPECT_EQ(Items(Form.NameList), std::vector<std::string>{"Alpha.ini"});

    // Coming back shows the folder as typed, and scans it afresh.
    Dir.Write("RARules\\Charlie.ini", "[General]\r\nName=Red Alert Charlie\r\n");
    App.ClickTab(1);
    EXPECT_EQ(Form.RulesDir.Text(), Edited);
    EXPECT_EQ(Probe.CurrentRulesFolder(), Edited);
    EXPECT_EQ(Items(Form.NameList), (std::vector<std::string>{"Bravo.ini", "Charlie.ini"}));
    EXPECT_EQ(Probe.TSRulesFolder(), TSRules);
    EXPECT_EQ(Probe.MarkerKey(), "CrateMinimum");
    EXPECT_TRUE(Boxes.Boxes().empty());
}

TEST_F(TabSwitching, FolderWithoutBackslashIsStoredAsTypedAndListsNothing)
{
    KesterlyApp App;
    App.Start();
    TRulesForm& Form = App.Form();
    App.ClickTab(0);
    const std::string Typed = TSRules.substr(0, TSRules.size() - 1);
    Retype(App, Typed);
    EXPECT_EQ(Form.RulesDir.Text(), Typed);
    EXPECT_EQ(Form.RulesList.Items.Count(), 0);

    App.ClickTab(1);
    EXPECT_EQ(App.Probe().TSRulesFolder(), Typed);
    EXPECT_EQ(Items(Form.NameList), std::vector<std::string>{"Bravo.ini"});
    App.ClickTab(0);
    EXPECT_EQ(Form.RulesDir.Text(), Typed);
    EXPECT_EQ(Form.RulesList.Items.Count(), 0);
    EXPECT_EQ(Form.NameList.Items.Count(), 0);
    EXPECT_TRUE(Form.NoRulesButton.Enabled());
}

TEST(NoGames, WindowShowsOnlyTheNotice)
{
    RegistrySandbox Registry;
    MessageBoxWatcher Boxes;
    KesterlyApp App;
    App.Start();
    TRulesForm& Form = App.Form();
    RulesFormProbe Probe = App.Probe();

    EXPECT_EQ(Form.GameTab.Tabs.Count(), 0);
    EXPECT_EQ(Form.GameTab.TabIndex(), -1);
    EXPECT_TRUE(Form.NotFound.Visible());
    EXPECT_EQ(Form.NotFound.Caption(), "No Supported Games Found");
    for (const TWinControl* Hidden : std::vector<const TWinControl*>{&Form.RuleDirLabel, &Form.DirText,
                                                                      &Form.Information, &Form.RulesList,
                                                                      &Form.NameList, &Form.BrowseButton, &Form.RulesDir})
        EXPECT_FALSE(Hidden->Visible()) << GetDlgCtrlID(Hidden->Handle);
    EXPECT_FALSE(Form.RunButton.Enabled());
    EXPECT_FALSE(Form.NoRulesButton.Enabled());
    EXPECT_TRUE(Form.AboutButton.Enabled());
    EXPECT_TRUE(Form.QuitButton.Enabled());
    EXPECT_EQ(Form.RulesDir.Text(), "Urk!");
    EXPECT_EQ(Form.RulesList.Items.Count(), 0);
    EXPECT_EQ(Form.NameList.Items.Count(), 0);
    for (const AnsiString* Field : {&Probe.GameDir(), &Probe.GameExe(), &Probe.IniSection(), &Probe.NameKey(),
                                    &Probe.NamePrefix(), &Probe.MarkerKey(), &Probe.CurrentRulesFolder()})
        EXPECT_EQ(*Field, "");
    EXPECT_TRUE(Boxes.Boxes().empty());
}

TEST(NoGames, EnterDoesNothingWhileAboutAndQuitWork)
{
    RegistrySandbox Registry;
    MessageBoxWatcher Boxes;
    KesterlyApp App;
    App.Start();
    TRulesForm& Form = App.Form();

    PressOn(App, Form.GameTab, VK_RETURN);
    EXPECT_FALSE(App.Terminated());
    EXPECT_TRUE(Boxes.Boxes().empty());

    HWND Shown = nullptr;
    OnNextDialog(Boxes, [&](HWND Dialog) {
        Shown = Dialog;
        PostMessageA(GetDlgItem(Dialog, IDC_OKBUTTON), BM_CLICK, 0, 0);
    });
    App.Click(Form.AboutButton);
    EXPECT_EQ(Shown, AboutForm->Handle);
    EXPECT_FALSE(AboutForm->Visible());
    EXPECT_TRUE(Form.NotFound.Visible());

    App.Click(Form.QuitButton);
    EXPECT_TRUE(App.Terminated());
    EXPECT_TRUE(Boxes.Boxes().empty());
}

}  // namespace
