// The test harness itself, on the real platform: if these fail, other suites' results mean little.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace TestSupport;

namespace {

// Opens an HKLM key the way the program does: 32-bit view, read only.
LONG OpenAsProgram(const char* path, HKEY* key)
{
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | KEY_WOW64_32KEY, key);
}

TEST(RegistrySandbox, ProgramSeesSandboxKeysThroughTheThirtyTwoBitView)
{
    RegistrySandbox registry;
    registry.SetString(TSKey, "InstallPath", "C:\\Westwood Games\\Tiberian Sun\\Game.exe");

    HKEY key;
    ASSERT_EQ(OpenAsProgram(TSKey, &key), ERROR_SUCCESS);
    char value[MAX_PATH] = "";
    DWORD size = sizeof value;
    EXPECT_EQ(RegQueryValueExA(key, "InstallPath", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_STREQ(value, "C:\\Westwood Games\\Tiberian Sun\\Game.exe");

    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, SettingsKey, 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    DWORD one = 1;
    RegSetValueExA(key, "Flag", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    RegCloseKey(key);
    EXPECT_EQ(registry.GetDword(SettingsKey, "Flag"), 1u);
    EXPECT_FALSE(registry.HasKey("Software\\Wow6432Node"));
}

TEST(RegistrySandbox, ValuesOfEveryKindReadBack)
{
    RegistrySandbox registry;
    registry.SetDword(TSKey, "Number", 7);
    registry.SetValue(TSKey, "Odd", REG_BINARY, std::string("\x01\x02", 2));
    EXPECT_EQ(registry.GetDword(TSKey, "Number"), 7u);
    EXPECT_EQ(registry.GetString(TSKey, "Number"), std::nullopt);
    EXPECT_EQ(registry.GetType(TSKey, "Odd"), static_cast<DWORD>(REG_BINARY));
    registry.DeleteValue(TSKey, "Odd");
    EXPECT_FALSE(registry.HasValue(TSKey, "Odd"));
    registry.DeleteKey("Software\\Westwood");
    EXPECT_FALSE(registry.HasKey(TSKey));
}

TEST(RegistrySandbox, EndsWithoutTrace)
{
    std::string root;
    {
        RegistrySandbox registry;
        registry.SetString(TSKey, "InstallPath", "x");
        root = registry.RootPath();
    }
    HKEY key;
    EXPECT_EQ(OpenAsProgram(TSKey, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, root.c_str(), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST(RegistrySandbox, UnwritableRefusesNewKeysButServesExistingOnes)
{
    RegistrySandbox registry;
    registry.MakeUnwritable();
    registry.SetString(TSKey, "InstallPath", "x");

    HKEY key;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, SettingsKey, 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr),
              ERROR_CHILD_MUST_BE_VOLATILE);
    ASSERT_EQ(OpenAsProgram(TSKey, &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST(TempDir, WritesReadsAndRemovesEverything)
{
    std::string path;
    {
        TempDir dir;
        path = dir.Path();
        ASSERT_EQ(path.back(), '\\');
        std::string file = dir.Write("Rules\\Veteran.ini", "[General]\r\nName=x\r\n");
        EXPECT_EQ(dir.Read("Rules\\Veteran.ini"), "[General]\r\nName=x\r\n");
        SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
        EXPECT_TRUE(dir.Exists("Rules"));
        EXPECT_FALSE(dir.Exists("Missing.ini"));
    }
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(MessageBoxWatcher, RecordsAndAnswersMessageBoxes)
{
    MessageBoxWatcher watcher;
    watcher.Answer(IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "Replace the file?", "Kesterly", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "Done.", "Kesterly", MB_OK | MB_ICONINFORMATION), IDOK);

    ASSERT_EQ(watcher.Boxes().size(), 2u);
    const TMessageBoxRecord& question = watcher.Boxes()[0];
    EXPECT_EQ(question.Caption, "Kesterly");
    EXPECT_EQ(question.Text, "Replace the file?");
    EXPECT_EQ(question.Icon, static_cast<UINT>(MB_ICONQUESTION));
    EXPECT_EQ(question.Buttons.size(), 2u);
    EXPECT_EQ(question.Clicked, IDNO);
    EXPECT_EQ(question.Owner, nullptr);
    EXPECT_EQ(watcher.Boxes()[1].Icon, static_cast<UINT>(MB_ICONINFORMATION));
}

// A dialog like the program's forms: an unnamed label (id 0xFFFF) and an OK button.
struct TDialogTemplate {
    std::vector<WORD> Words;

    TDialogTemplate()
    {
        Add(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 2, 10, 10, 120, 60);
        Words.insert(Words.end(), {0, 0, 'O', 'p', 't', 'i', 'o', 'n', 's', 0});  // no menu, default class, title
        Control(WS_CHILD | WS_VISIBLE | SS_LEFT, 5, 5, 100, 10, 0xFFFF, 0x0082);
        Control(WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 5, 30, 50, 14, IDOK, 0x0080);
    }
    void Add(DWORD style, WORD count, short x, short y, short cx, short cy)
    {
        Words.insert(Words.end(), {LOWORD(style), HIWORD(style), 0, 0, count, WORD(x), WORD(y), WORD(cx), WORD(cy)});
    }
    void Control(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom)
    {
        if (Words.size() % 2)
            Words.push_back(0);  // items start on a DWORD boundary
        Words.insert(Words.end(), {LOWORD(style), HIWORD(style), 0, 0, WORD(x), WORD(y), WORD(cx), WORD(cy), id,
                                   0xFFFF, atom, 0, 0});
    }
};

INT_PTR CALLBACK FormProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

TEST(MessageBoxWatcher, LeavesTheProgramsDialogsToAnAction)
{
    MessageBoxWatcher watcher;
    HWND seen = nullptr;
    watcher.OnDialog([&](HWND dialog) {
        seen = dialog;
        MessageBoxA(dialog, "Inside", "Form", MB_OK);
        EndDialog(dialog, 42);
    }, "Options");
    TDialogTemplate form;
    auto* tmpl = reinterpret_cast<const DLGTEMPLATE*>(form.Words.data());
    EXPECT_EQ(DialogBoxIndirectParamA(GetModuleHandleA(nullptr), tmpl, nullptr, FormProc, 0), 42);
    ASSERT_NE(seen, nullptr);
    ASSERT_EQ(watcher.Boxes().size(), 1u);
    EXPECT_EQ(watcher.Boxes()[0].Text, "Inside");
    EXPECT_EQ(watcher.Boxes()[0].Owner, seen);
}

TEST(StubGame, RecordsEachStart)
{
    TempDir dir;
    StubGame game(dir.Folder("Westwood Games\\Tiberian Sun"), "Game.exe");
    std::string rules = dir.Write("Westwood Games\\Tiberian Sun\\Rules.ini", "[General]\tfast\r\nName=x\r\n");
    std::string folder = dir.Path() + "Westwood Games\\Tiberian Sun";

    for (int start = 0; start < 2; ++start) {
        std::string commandLine = "\"" + game.Path() + "\" -speed";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process;
        ASSERT_TRUE(CreateProcessA(game.Path().c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                   folder.c_str(), &startup, &process));
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        game.WaitForRecords(start + 1);
    }
    std::vector<TStubRecord> records = game.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].CommandLine, "\"" + game.Path() + "\" -speed");
    EXPECT_EQ(records[1].CurrentFolder, folder);
    EXPECT_TRUE(records[1].RulesExists);
    EXPECT_EQ(records[1].RulesSize, 24);
    EXPECT_EQ(records[1].RulesFirstLine, "[General]\tfast");
}

}  // namespace
