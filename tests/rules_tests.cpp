// The rules catalogue on the real platform: rules files in temporary folders, the games in a private
// registry, the folder typed, pasted and chosen through real window messages.
#include "AppFixture.h"
#include "IniFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <ostream>

using namespace TestSupport;

namespace {

struct Entry {
    std::string Display, File;
    bool operator==(const Entry& Other) const { return Display == Other.Display && File == Other.File; }
};
std::ostream& operator<<(std::ostream& Out, const Entry& E)
{
    return Out << '{' << E.Display << " | " << E.File << '}';
}
using Entries = std::vector<Entry>;

std::string Ini(const std::string& GeneralLines)
{
    return "; rules\r\n[General]\r\n" + GeneralLines + "[Infantry]\r\n1=E1\r\n";
}

// Names of the plain *.ini files of a folder, in the order the system lists them.
std::vector<std::string> SystemListing(const std::string& Folder)
{
    std::vector<std::string> Names;
    WIN32_FIND_DATAA Found;
    HANDLE Search = FindFirstFileA((Folder + "*.ini").c_str(), &Found);
    if (Search == INVALID_HANDLE_VALUE)
        return Names;
    do
        if (!(Found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
            Names.push_back(Found.cFileName);
    while (FindNextFileA(Search, &Found));
    FindClose(Search);
    return Names;
}

// An item's text read through the wide call and given back in the ANSI code page. Wine maps an ANSI
// LB_GETTEXT for the common controls' list box through a fixed 512-character buffer, which a long
// display name overruns.
std::string ItemText(const TListBox& List, int Index)
{
    std::wstring Wide(static_cast<size_t>(SendMessageW(List.Handle, LB_GETTEXTLEN, Index, 0)) + 1, L'\0');
    Wide.resize(static_cast<size_t>(SendMessageW(List.Handle, LB_GETTEXT, Index, reinterpret_cast<LPARAM>(&Wide[0]))));
    std::string Text(Wide.size() * 2, '\0');
    Text.resize(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, Wide.data(), static_cast<int>(Wide.size()), &Text[0],
                                                         static_cast<int>(Text.size()), nullptr, nullptr)));
    return Text;
}

// Both lists as the user would find them; they must always be the same length.
Entries Catalogue(TRulesForm& Form)
{
    const int Count = Form.RulesList.Items.Count();
    EXPECT_EQ(Count, Form.NameList.Items.Count()) << "the two lists differ in length";
    Entries Result;
    for (int I = 0; I < Count && I < Form.NameList.Items.Count(); ++I)
        Result.push_back({ItemText(Form.RulesList, I), Form.NameList.Items[I]});
    return Result;
}

// Replaces a list box's window procedure while it lives; Hook runs before each message.
class ListBoxSpy {
public:
    ListBoxSpy(HWND Window, std::function<void(UINT)> Hook) : Window(Window)
    {
        Current = this;
        this->Hook = std::move(Hook);
        Old = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(Window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
    }
    ~ListBoxSpy()
    {
        SetWindowLongPtrA(Window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Old));
        Current = nullptr;
    }

private:
    static LRESULT CALLBACK Proc(HWND Window, UINT Message, WPARAM W, LPARAM L)
    {
        Current->Hook(Message);
        return CallWindowProcA(Current->Old, Window, Message, W, L);
    }
    static inline ListBoxSpy* Current = nullptr;
    HWND Window;
    WNDPROC Old = nullptr;
    std::function<void(UINT)> Hook;
};

class RulesTest : public testing::Test {
protected:
    RegistrySandbox Registry;
    MessageBoxWatcher Boxes;
    TempDir Temp;
    std::string TSGameFolder = Temp.Folder("Games\\Tiberian Sun");
    std::string RAGameFolder = Temp.Folder("Games\\Red Alert");
    std::unique_ptr<KesterlyApp> App;

    // Both games installed; the window opens on Tab with Folder remembered for both games.
    void Start(int Tab, const std::string& Folder)
    {
        Registry.SetString(TSKey, "InstallPath", TSGameFolder + "Game.exe");
        Registry.SetString(RAKey, "InstallPath", RAGameFolder + "Ra95.exe");
        Registry.SetString(SettingsKey, "TSRulesDir", Folder);
        Registry.SetString(SettingsKey, "RARulesDir", Folder);
        Registry.SetDword(SettingsKey, "GameTab", static_cast<DWORD>(Tab));
        App = std::make_unique<KesterlyApp>();
        App->Start();
        ASSERT_EQ(Form().GameTab.TabIndex(), Tab);
    }

    void TearDown() override
    {
        for (const TMessageBoxRecord& Box : Boxes.Boxes())
            ADD_FAILURE() << "unexpected message box: " << Box.Text;
    }

    TRulesForm& Form() { return App->Form(); }
    Entries Lists() { return Catalogue(Form()); }
    AnsiString& CurrentFolder() { return App->Probe().CurrentRulesFolder(); }

    // The user pastes Text over the whole folder box (Ctrl+V).
    void Paste(const std::string& Text)
    {
        ASSERT_TRUE(OpenClipboard(Form().Handle));
        EmptyClipboard();
        const std::wstring Wide = WideText(Text);  // CF_TEXT would be read in the keyboard's code page
        HGLOBAL Memory = GlobalAlloc(GMEM_MOVEABLE, (Wide.size() + 1) * sizeof(wchar_t));
        memcpy(GlobalLock(Memory), Wide.c_str(), (Wide.size() + 1) * sizeof(wchar_t));
        GlobalUnlock(Memory);
        SetClipboardData(CF_UNICODETEXT, Memory);
        CloseClipboard();
        TypeOver("\x16");
        ASSERT_EQ(Form().RulesDir.Text(), Text);
    }
    // Keys and characters go straight to the folder box, so that a test running beside others on the
    // same display works without the focus.
    void Type(const std::string& Text) { TypeInto(*App, Form().RulesDir, Text); }
    void Press(UINT Key) { PressOn(*App, Form().RulesDir, Key); }
    // The whole text selected, as tabbing into the box leaves it, and typed over.
    void TypeOver(const std::string& Text)
    {
        SendMessageA(Form().RulesDir.Handle, EM_SETSEL, 0, -1);
        Type(Text);
    }
    void TypeAtEnd(const std::string& Text)
    {
        Press(VK_END);
        Type(Text);
    }

    // Every change of the folder box's text, with what it left behind.
    struct Change {
        std::string Text, Current;
        Entries Lists;
    };
    std::vector<Change> Changes;
    void RecordChanges()
    {
        TNotifyEvent Handler = Form().RulesDir.OnChange;
        Form().RulesDir.OnChange = [this, Handler](TObject* Sender) {
            Handler(Sender);
            Changes.push_back({Form().RulesDir.Text(), CurrentFolder(), Lists()});
        };
    }
};

// --- The two rules -------------------------------------------------------------------------------

struct RuleCase {
    const char* File;
    std::string Content;
    const char* OnRedAlert;    // display name, or nullptr when not listed
    const char* OnTiberianSun;
};

const RuleCase RuleCases[] = {
    {"Veteran.ini", Ini("Name=Red Alert: Veteran Units\r\n"), "Veteran: Veteran Units", "Veteran"},
    {"Classic.ini", Ini("Name=Red Alert\r\n"), "Classic", "Classic"},
    {"OLD.INI", Ini("CrateMinimum=3\r\n"), "OLD", nullptr},
    {"mix.ini", Ini("Name=red alert mix\r\n"), nullptr, "mix"},
    {"mixed.ini", Ini("Name=red alert mix\r\nCrateMinimum=3\r\n"), "mixed", "mixed"},
    {"Fast.ini", Ini("Name=Tiberian Sun (fast build)\r\n"), nullptr, "Fast (fast build)"},
    {"blank.ini", Ini("Name=\r\n"), nullptr, "blank"},
    {"empty.ini", Ini("Name=\r\nCrateMinimum=\r\n"), "empty", "empty"},
    {"notes.ini", Ini("Author=me\r\n"), nullptr, nullptr},
    {"Both.ini", Ini("CrateMinimum=1\r\nName=Red Alert-Both\r\n"), "Both-Both", "Both"},
    {"Case.ini", Ini("Name=tiberian sun case\r\n"), nullptr, "Case"},
    {"TS.ini", Ini("Name=Tiberian Sun\r\n"), nullptr, "TS"},
    {"Spaced.ini", "[ general ]\r\n  name  =  Tiberian Sun: spaced  \r\n", nullptr, "Spaced: spaced"},
    {"Marker elsewhere.ini", "[Crates]\r\nCrateMinimum=3\r\n[General]\r\nName=Other\r\n", nullptr,
     "Marker elsewhere"},
    {"a.b.ini", Ini("Name=Red Alert.x\r\n"), "a.b.x", "a.b"},
};

Entries Expected(const std::string& Folder, bool RedAlert)
{
    std::map<std::string, const char*> Display;
    for (const RuleCase& Case : RuleCases)
        Display[Case.File] = RedAlert ? Case.OnRedAlert : Case.OnTiberianSun;
    Entries Result;
    for (const std::string& Name : SystemListing(Folder))
        if (Display.at(Name))
            Result.push_back({Display.at(Name), Name});
    return Result;
}

TEST_F(RulesTest, BothRulesOnBothTabsListFilesInDirectoryOrder)
{
    const std::string Folder = Temp.Folder("Rules");
    for (const RuleCase& Case : RuleCases)
        Temp.Write(std::string("Rules\\") + Case.File, Case.Content);
    Start(RATab, Folder);
    EXPECT_EQ(CurrentFolder(), Folder);
    EXPECT_EQ(Lists(), Expected(Folder, true));

    App->ClickTab(TSTab);
    EXPECT_EQ(Lists(), Expected(Folder, false));
    App->ClickTab(RATab);
    EXPECT_EQ(Lists(), Expected(Folder, true));
}

TEST_F(RulesTest, EmptyPrefixOrMarkerKeyDisablesItsRule)
{
    const std::string Folder = Temp.Folder("Rules");
    Temp.Write("Rules\\Named.ini", Ini("Name=Red Alert: x\r\n"));
    Temp.Write("Rules\\Marked.ini", Ini("CrateMinimum=2\r\n"));
    Temp.Write("Rules\\Other.ini", Ini("Name=Something\r\n"));
    Start(RATab, Folder);
    RulesFormProbe Probe = App->Probe();

    Probe.NamePrefix() = "";
    Probe.ScanRulesFolder();
    EXPECT_EQ(Lists(), (Entries{{"Marked", "Marked.ini"}}));
    Probe.NamePrefix() = "Red Alert";
    Probe.MarkerKey() = "";
    Probe.ScanRulesFolder();
    EXPECT_EQ(Lists(), (Entries{{"Named: x", "Named.ini"}}));
    Probe.NamePrefix() = "";
    Probe.ScanRulesFolder();
    EXPECT_EQ(Lists(), Entries{});
    EXPECT_EQ(CurrentFolder(), Folder);
}

TEST_F(RulesTest, SameDisplayNameTwiceAndRepeatedScansGiveNoDuplicates)
{
    const std::string Folder = Temp.Folder("Rules");
    Temp.Write("Rules\\Veteran.ini", Ini("Name=Red Alert\r\n"));
    Temp.Write("Rules\\Vet.ini", Ini("Name=Red Alerteran\r\n"));
    Start(RATab, Folder);
    Entries Want;
    for (const std::string& Name : SystemListing(Folder))
        Want.push_back({"Veteran", Name});
    ASSERT_EQ(Want.size(), 2u);
    EXPECT_EQ(Lists(), Want);
    App->Probe().ScanRulesFolder();
    App->Probe().ScanRulesFolder();
    EXPECT_EQ(Lists(), Want);
}

TEST_F(RulesTest, FoldersHiddenAndSystemFilesAreNotListed)
{
    const std::string Folder = Temp.Folder("Rules");
    const std::string Rules = Ini("CrateMinimum=1\r\n");
    Temp.Write("Rules\\Plain.ini", Rules);
    Temp.Write("Rules\\ReadOnly.ini", Rules);
    const std::pair<const char*, DWORD> Special[] = {{"Rules\\Hidden.ini", FILE_ATTRIBUTE_HIDDEN},
                                                     {"Rules\\System.ini", FILE_ATTRIBUTE_SYSTEM},
                                                     {"Rules\\ReadOnly.ini", FILE_ATTRIBUTE_READONLY}};
    for (const auto& File : Special) {
        Temp.Write(File.first, Rules);
        ASSERT_TRUE(SetFileAttributesA((Temp / File.first).c_str(), File.second));
        ASSERT_TRUE(GetFileAttributesA((Temp / File.first).c_str()) & File.second) << File.first;
    }
    Temp.Folder("Rules\\Folder.ini");
    Temp.Write("Rules\\Folder.ini\\Inner.ini", Rules);
    Temp.Write("Rules\\NotIni.txt", Rules);
    Temp.Write("Rules\\Rules.ini.bak", Rules);
    Start(RATab, Folder);
    Entries Want;
    for (const std::string& Name : SystemListing(Folder))
        Want.push_back({Name.substr(0, Name.size() - 4), Name});
    ASSERT_EQ(Want.size(), 2u);  // Plain and ReadOnly
    EXPECT_EQ(Lists(), Want);
}

// The system's search matches "*.ini" against the names' short aliases too ("VETERA~1.INI").
TEST_F(RulesTest, OnlyNamesEndingInIniAreListedNotBackupsFoundThroughTheirAliases)
{
    const std::string Folder = Temp.Folder("Rules");
    const std::string Rules = Ini("Name=Tiberian Sun\r\nCrateMinimum=1\r\n");
    for (const char* Name : {"real.ini", "Veteran.ini", "UPPER.INI", "Veteran.ini~", "old.ini_old", "foo.inix"})
        Temp.Write(std::string("Rules\\") + Name, Rules);
    Start(RATab, Folder);
    Entries Want;
    for (const std::string& Name : SystemListing(Folder))
        if (Name == "real.ini" || Name == "Veteran.ini" || Name == "UPPER.INI")
            Want.push_back({Name.substr(0, Name.size() - 4), Name});
    ASSERT_EQ(Want.size(), 3u);
    EXPECT_EQ(Lists(), Want);
    App->ClickTab(TSTab);
    EXPECT_EQ(Lists(), Want);
}

TEST_F(RulesTest, FolderWithoutRulesOrMissingGivesEmptyListsAndNoMessage)
{
    const std::string Empty = Temp.Folder("Empty");
    Temp.Write("Empty\\readme.txt", "[General]\r\nName=Red Alert\r\n");
    const std::string Full = Temp.Folder("Full");
    Temp.Write("Full\\a.ini", Ini("CrateMinimum=1\r\n"));
    Start(RATab, Full);
    ASSERT_EQ(Lists().size(), 1u);
    for (const std::string& Folder : {Empty, Temp / "Missing\\", Temp / "Full\\a.ini\\", std::string("Q:\\No\\"),
                                      std::string("\\\\\\"), std::string("C:\\<>|\\")}) {
        Paste(Full);
        Paste(Folder);
        EXPECT_EQ(Lists(), Entries{}) << Folder;
        EXPECT_EQ(CurrentFolder(), Folder);
    }
}

TEST_F(RulesTest, ScanLeavesTheListShownOrHiddenAsItWas)
{
    const std::string Folder = Temp.Folder("Rules");
    Temp.Write("Rules\\a.ini", Ini("CrateMinimum=1\r\n"));
    Start(RATab, Folder);
    EXPECT_TRUE(Form().RulesList.Visible());
    EXPECT_TRUE(IsWindowVisible(Form().RulesList.Handle));
    Form().RulesList.SetVisible(false);
    App->Probe().ScanRulesFolder();
    EXPECT_FALSE(Form().RulesList.Visible());
    EXPECT_EQ(Lists(), (Entries{{"a", "a.ini"}}));
}

// --- The folder box --------------------------------------------------------------------------------

TEST_F(RulesTest, TypingAFolderScansAtEachBackslashAndEmptiesOtherwise)
{
    const std::string Initial = Temp.Folder("Start");
    Temp.Write("Start\\s.ini", Ini("CrateMinimum=1\r\n"));
    Temp.Folder("Rules\\Sub");
    Temp.Write("Rules\\a.ini", Ini("Name=Red Alert: A\r\n"));
    Temp.Write("Rules\\Sub\\b.ini", Ini("Name=Red Alert: B\r\n"));
    Start(RATab, Initial);
    ASSERT_EQ(Lists(), (Entries{{"s", "s.ini"}}));
    RecordChanges();

    const std::string Target = Temp / "Rules\\Sub\\";
    TypeOver(Target);  // the first character replaces the whole text
    ASSERT_EQ(Changes.size(), Target.size());
    std::string LastFolder = Initial;
    for (size_t I = 0; I < Target.size(); ++I) {
        const Change& Step = Changes[I];
        ASSERT_EQ(Step.Text, Target.substr(0, I + 1));
        if (Step.Text.back() == '\\') {
            LastFolder = Step.Text;
        } else {
            EXPECT_EQ(Step.Lists, Entries{}) << Step.Text;
        }
        EXPECT_EQ(Step.Current, LastFolder) << Step.Text;
        if (Step.Text == Temp / "Rules\\") {
            EXPECT_EQ(Step.Lists, (Entries{{"a: A", "a.ini"}}));
        }
        if (Step.Text == Target) {
            EXPECT_EQ(Step.Lists, (Entries{{"b: B", "b.ini"}}));
        }
    }
    EXPECT_EQ(Form().RulesDir.Text(), Target);
}

TEST_F(RulesTest, ForwardSlashDeletionAndMiddleEditsAreJudgedByTheLastCharacter)
{
    const std::string Folder = Temp.Folder("Rules");
    Temp.Write("Rules\\a.ini", Ini("CrateMinimum=1\r\n"));
    Temp.Folder("Rulez");
    Temp.Write("Rulez\\z.ini", Ini("CrateMinimum=1\r\n"));
    Start(RATab, Folder);
    RecordChanges();

    TypeAtEnd("/");
    EXPECT_EQ(Lists(), Entries{});
    EXPECT_EQ(CurrentFolder(), Folder);
    Type("\b");  // back to the folder
    EXPECT_EQ(Lists(), (Entries{{"a", "a.ini"}}));

    // An edit in the middle of a text ending in a backslash rescans the edited folder.
    Press(VK_END);
    Press(VK_LEFT);
    Type("\bz");
    EXPECT_EQ(Form().RulesDir.Text(), Temp / "Rulez\\");
    EXPECT_EQ(CurrentFolder(), Temp / "Rulez\\");
    EXPECT_EQ(Lists(), (Entries{{"z", "z.ini"}}));

    SendMessageA(Form().RulesDir.Handle, EM_SETSEL, 0, -1);
    Press(VK_DELETE);
    EXPECT_EQ(Form().RulesDir.Text(), "");
    EXPECT_EQ(Lists(), Entries{});
    EXPECT_EQ(CurrentFolder(), Temp / "Rulez\\");
    EXPECT_EQ(Changes.size(), 5u);
}

TEST_F(RulesTest, PastingAFolderScansItOnce)
{
    const std::string Folder = Temp.Folder("Pasted");
    Temp.Write("Pasted\\p.ini", Ini("Name=Red Alert: P\r\n"));
    Start(RATab, RAGameFolder);
    RecordChanges();
    Paste(Folder);
    ASSERT_EQ(Changes.size(), 1u);
    EXPECT_EQ(Changes[0].Current, Folder);
    EXPECT_EQ(Changes[0].Lists, (Entries{{"p: P", "p.ini"}}));
}

TEST_F(RulesTest, ProgramTextIsIgnoredUnlessActivatedAndOnlyOnce)
{
    const std::string First = Temp.Folder("First");
    Temp.Write("First\\f.ini", Ini("CrateMinimum=1\r\n"));
    const std::string Second = Temp.Folder("Second");
    Temp.Write("Second\\s.ini", Ini("CrateMinimum=1\r\n"));
    Start(RATab, First);
    RulesFormProbe Probe = App->Probe();
    EXPECT_EQ(Probe.Activated(), 0);

    Form().RulesDir.SetText(Second);
    EXPECT_EQ(CurrentFolder(), First);
    EXPECT_EQ(Lists(), (Entries{{"f", "f.ini"}}));
    Form().RulesDir.SetText("");
    EXPECT_EQ(Lists(), (Entries{{"f", "f.ini"}}));

    Probe.Activated() = 1;
    Form().RulesDir.SetText(Second);
    EXPECT_EQ(Probe.Activated(), 0);
    EXPECT_EQ(CurrentFolder(), Second);
    EXPECT_EQ(Lists(), (Entries{{"s", "s.ini"}}));
    Form().RulesDir.SetText(First);
    EXPECT_EQ(CurrentFolder(), Second);
    EXPECT_EQ(Lists(), (Entries{{"s", "s.ini"}}));
}

TEST_F(RulesTest, FolderWithSpacesAndAccentsIsTypedAndScanned)
{
    const std::string Name = "R\xC3\xA8gles \xC3\xBC", File = "V\xC3\xA9t\xC3\xA9.ini";  // UTF-8, as Kesterly's texts
    const std::string Folder = Temp.Folder(Name);
    Temp.Write(Name + "\\" + File, Ini("Name=Red Alert \xA9\r\n"));
    Start(RATab, RAGameFolder);
    TypeOver(Folder);
    EXPECT_EQ(Form().RulesDir.Text(), Folder);
    EXPECT_EQ(CurrentFolder(), Folder);
    // The name's byte \xA9 is no UTF-8: it is read in the system's code page 1252, as the copyright sign.
    EXPECT_EQ(Lists(), (Entries{{"V\xC3\xA9t\xC3\xA9 \xC2\xA9", File}}));
}

// --- Selection and the Run button ---------------------------------------------------------------

// Letter case is ignored in every script, and nothing else is: read as code page 1252, e grave and
// E grave (C3 A8, C3 88) differ, and Cyrillic IO and I grave (D0 81, D0 8D) may not.
TEST_F(RulesTest, InstalledRulesFileDisablesRunWhateverTheLetterCase)
{
    const std::string Rules = Ini("CrateMinimum=1\r\n");
    RAGameFolder = Temp.Folder("R\xC3\xA8gles \xD0\x81");
    Temp.Write("R\xC3\xA8gles \xD0\x81\\RULES.INI", Rules);
    Temp.Write("R\xC3\xA8gles \xD0\x81\\Other.ini", Rules);
    const std::string Elsewhere = Temp.Folder("R\xC3\xA8gles \xD0\x8D");
    Temp.Write("R\xC3\xA8gles \xD0\x8D\\Rules.ini", Rules);
    Start(RATab, Temp.Path() + "R\xC3\x88GLES \xD0\x81\\");
    EXPECT_FALSE(Form().RunButton.Enabled());
    const Entries Found = Lists();
    ASSERT_EQ(Found.size(), 2u);
    const int Installed = Found[0].File == "RULES.INI" ? 0 : 1;

    App->ClickRule(Installed);
    EXPECT_EQ(App->Probe().SelectedRulesIndex(), Installed);
    EXPECT_FALSE(Form().RunButton.Enabled());
    App->ClickRule(1 - Installed);
    EXPECT_TRUE(Form().RunButton.Enabled());
    App->ClickRule(Installed);
    EXPECT_FALSE(Form().RunButton.Enabled());

    // A rescan leaves the button as it was, with nothing selected.
    Paste(Elsewhere);
    EXPECT_FALSE(Form().RunButton.Enabled());
    EXPECT_EQ(App->Probe().SelectedRulesIndex(), -1);
    App->ClickRule(0);
    EXPECT_TRUE(Form().RunButton.Enabled()) << "a Rules.ini of another folder may be installed";
    Paste(Elsewhere);
    EXPECT_TRUE(Form().RunButton.Enabled());
    EXPECT_EQ(App->Probe().SelectedRulesIndex(), -1);
    TypeAtEnd("x");
    EXPECT_TRUE(Form().RunButton.Enabled());

    // The list reports a selection that selects nothing.
    Form().RulesListClick(&Form().RulesList);
    EXPECT_FALSE(Form().RunButton.Enabled());
}

TEST_F(RulesTest, TabChangeDisablesRunAndStoresTheTypedFolder)
{
    const std::string Folder = Temp.Folder("Rules");
    Temp.Write("Rules\\a.ini", Ini("Name=Tiberian Sun\r\nCrateMinimum=1\r\n"));
    Start(RATab, Folder);
    App->ClickRule(0);
    ASSERT_TRUE(Form().RunButton.Enabled());
    App->ClickTab(TSTab);
    EXPECT_FALSE(Form().RunButton.Enabled());
    EXPECT_EQ(App->Probe().Activated(), 0);
    EXPECT_EQ(Lists(), (Entries{{"a", "a.ini"}}));
}

// --- Files that are not what they seem ------------------------------------------------------------

std::string Utf16(const std::wstring& Text)
{
    std::string Bytes = "\xFF\xFE";
    for (wchar_t C : Text) {
        Bytes += static_cast<char>(C & 0xFF);
        Bytes += static_cast<char>(C >> 8);
    }
    return Bytes;
}

std::string Binary(size_t Size)
{
    std::string Bytes(Size, '\0');
    unsigned Seed = 12345;
    for (char& B : Bytes) {
        Seed = Seed * 1103515245 + 12345;
        B = static_cast<char>(Seed >> 16);
    }
    return Bytes;
}

TEST_F(RulesTest, MalformedFilesAreSkippedOrListedAndTheScanGoesOn)
{
    using namespace std::string_literals;
    const std::string Folder = Temp.Folder("Bad");
    const std::string LongLine(10 << 20, 'x');
    const std::string Capped = std::string("Red Alert: ") + std::string(TIniReader::MaxValueLength - 11, 'x');
    const std::pair<std::string, std::string> Files[] = {
        {"binary.ini", Binary(64 << 10)},
        {"zero.ini", "[General]\r\nName=Red Alert: cut\0here\r\n"s},
        {"tail.ini", Ini("CrateMinimum=7\r\n") + Binary(8 << 10)},
        {"head.ini", "\0\0\0\r\n[General]\r\nCrateMinimum=7\r\n"s},
        {"wide.ini", Utf16(L"[General]\r\nName=Red Alert: Wide\r\n[Other]\r\nx=1\r\n")},
        {"wideodd.ini", Utf16(L"[General]\r\nCrateMinimum=1") + "\x41"},
        {"utf8bom.ini", "\xEF\xBB\xBF[General]\r\nName=Red Alert: BOM\r\n"},
        {"oneline.ini", "Name=Red Alert " + LongLine},
        {"after.ini", Ini("Name=Red Alert: after\r\n") + "junk=" + LongLine},
        {"capped.ini", "[General]\r\nName=" + Capped + "yyyy\r\n"},
        {"nogeneral.ini", "[Generals]\r\nName=Red Alert\r\nCrateMinimum=1\r\n"},
        {"dupkeys.ini", Ini("Name=Red Alert: first\r\nName=Red Alert: second\r\n")},
        {"dupsections.ini", "[General]\r\nName=x\r\n[Other]\r\n[GENERAL]\r\nCrateMinimum=1\r\nName=Red Alert\r\n"},
        {"notfound.ini", Ini("CrateMinimum=<not found>\r\n")},
        {"empty.ini", ""},
        {"crlf.ini", "[General]\rName=Red Alert:\tcr\rCrateMinimum=1"},
    };
    const std::map<std::string, std::string> Listed = {
        {"zero.ini", "zero: cut"},
        {"tail.ini", "tail"},
        {"head.ini", "head"},
        {"wide.ini", "wide: Wide"},
        {"wideodd.ini", "wideodd"},
        {"after.ini", "after: after"},
        {"capped.ini", "capped" + Capped.substr(9)},
        {"dupkeys.ini", "dupkeys: first"},
        {"crlf.ini", "crlf:\tcr"},
    };
    for (const auto& File : Files)
        Temp.Write("Bad\\" + File.first, File.second);
    Start(RATab, Folder);
    Entries Want;
    for (const std::string& Name : SystemListing(Folder))
        if (Listed.count(Name))
            Want.push_back({Listed.at(Name), Name});
    ASSERT_EQ(Want.size(), Listed.size()) << testing::PrintToString(SystemListing(Folder));
    EXPECT_EQ(Lists(), Want);
}

TEST_F(RulesTest, UnicodeFileIsReadAsText)
{
    const std::string Folder = Temp.Folder("Wide");
    Temp.Write("Wide\\w.ini", Utf16(L"[General]\r\nName=Tiberian Sun: caf\u00e9 \u039a\u03b1\u03bd\r\n"));
    Start(TSTab, Folder);
    EXPECT_EQ(Lists(), (Entries{{"w: caf\xC3\xA9 \xCE\x9A\xCE\xB1\xCE\xBD", "w.ini"}}));
}

TEST_F(RulesTest, LockedFileIsSkippedSilentlyAndListedOnceFree)
{
    const std::string Folder = Temp.Folder("Rules");
    Temp.Write("Rules\\free.ini", Ini("CrateMinimum=1\r\n"));
    const std::string Locked = Temp.Write("Rules\\locked.ini", Ini("CrateMinimum=1\r\n"));
    HANDLE Lock = CreateFileA(Locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(Lock, INVALID_HANDLE_VALUE);
    Start(RATab, Folder);
    EXPECT_EQ(Lists(), (Entries{{"free", "free.ini"}}));
    CloseHandle(Lock);
    App->Probe().ScanRulesFolder();
    EXPECT_EQ(Lists().size(), 2u);
}

TEST_F(RulesTest, FileThatVanishesDuringTheScanIsSkipped)
{
    TIniFile Missing(Temp / "gone.ini");
    EXPECT_EQ(Missing.ReadString("General", "Name", "<not found>"), "<not found>");

    const std::string Folder = Temp.Folder("Rules");
    for (const char* Name : {"a.ini", "b.ini", "c.ini", "d.ini"})
        Temp.Write(std::string("Rules\\") + Name, Ini("CrateMinimum=1\r\n"));
    const std::vector<std::string> Order = SystemListing(Folder);
    Start(RATab, Temp.Folder("Elsewhere"));
    // The first entry added deletes the next file of the listing, which the search has already seen.
    bool Deleted = false;
    ListBoxSpy Spy(Form().RulesList.Handle, [&](UINT Message) {
        if (Message == LB_ADDSTRING && !Deleted)
            Deleted = DeleteFileA((Folder + Order[1]).c_str()) != 0;
    });
    Paste(Folder);
    ASSERT_TRUE(Deleted);
    Entries Want;
    for (const std::string& Name : Order)
        if (Name != Order[1])
            Want.push_back({Name.substr(0, 1), Name});
    EXPECT_EQ(Lists(), Want);
}

// Paths of any length, through the \\?\ form, which has no MAX_PATH limit (ASCII paths only).
std::wstring LongPath(const std::string& Path)
{
    return L"\\\\?\\" + std::wstring(Path.begin(), Path.end());
}

TEST_F(RulesTest, FolderOfAnyLengthIsListed)
{
    const std::string Content = Ini("CrateMinimum=1\r\n");
    Start(RATab, RAGameFolder);
    for (size_t Length : {200u, 240u, 250u, 254u, 255u, 259u, 260u, 270u, 300u, 400u}) {
        // <temp>\L<length>\ddd...\ddd\ with components of at most 100 letters
        std::vector<std::string> Levels = {Temp / ("L" + std::to_string(Length) + "\\")};
        while (Levels.back().size() < Length) {
            const size_t Letters = std::min<size_t>(100, std::max<size_t>(Length - Levels.back().size(), 2) - 1);
            Levels.push_back(Levels.back() + std::string(Letters, 'd') + "\\");
        }
        const std::string& Folder = Levels.back();
        ASSERT_EQ(Folder.size(), Length);
        for (const std::string& Level : Levels)
            ASSERT_TRUE(CreateDirectoryW(LongPath(Level).c_str(), nullptr)) << Level.size();
        const std::wstring File = LongPath(Folder + "r.ini");
        HANDLE Handle = CreateFileW(File.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(Handle, INVALID_HANDLE_VALUE) << Length;
        DWORD Written;
        WriteFile(Handle, Content.data(), static_cast<DWORD>(Content.size()), &Written, nullptr);
        CloseHandle(Handle);

        App->Probe().Activated() = 1;
        Form().RulesDir.SetText(Folder);
        EXPECT_EQ(CurrentFolder(), Folder);
        EXPECT_EQ(Lists(), (Entries{{"r", "r.ini"}})) << Length;
    }
}

}  // namespace
