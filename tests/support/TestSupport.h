// Helpers for tests that run against the real platform (Windows or Wine):
// a private registry, temporary folders, message boxes that answer themselves,
// and the stub game that records how it was started.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace TestSupport {

// The keys the program reads and writes below HKLM.
constexpr char TSKey[] = "Software\\Westwood\\Tiberian Sun";
constexpr char RAKey[] = "Software\\Westwood\\Red Alert Windows 95 Edition";
// Where else the games may be installed: Red Alert's German and French editions ("InstallPath"),
// and the 2006 compilation (ts_folder/ts_executable, ra_folder/ra_executable).
constexpr char RAGermanKey[] = "Software\\Westwood\\Alarmstufe Rot Windows 95 Edition";
constexpr char RAFrenchKey[] = "Software\\Westwood\\Alerte Rouge version Windows 95";
constexpr char FirstDecadeKey[] = "Software\\Electronic Arts\\EA Games\\Command and Conquer The First Decade";
// Today's digital editions record the game's folder only ("Install Dir", "InstallLocation"), in
// either registry view.
constexpr char TSStoreKey[] = "Software\\EA Games\\Command and Conquer Tiberian Sun";
constexpr char RAStoreKey[] = "Software\\EA Games\\Command and Conquer Red Alert";
constexpr char TSSteamKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Steam App 2229880";
constexpr char RASteamKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Steam App 2229840";
constexpr char SettingsKey[] = "Software\\Halvek\\Kesterly";
// CnCNet's client records its game's folder ("InstallPath") under HKEY_CURRENT_USER; its installers
// in their uninstall entries ("InstallLocation").
constexpr char CnCNetKey[] = "Software\\TiberianSun";
constexpr char TSCnCNetKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{D22A250A-085F-415E-959E-8DB49F4E4CCA}_is1";
constexpr char RACnCNetKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{73F3D3B5-4AC4-4D01-A65C-0A4B4D8723B5}_is1";
// Tab order when both games are installed.
constexpr int TSTab = 0;
constexpr int RATab = 1;

// Folder of the running test program, with a trailing backslash.
std::string ExeFolder();
// Forward slashes become backslashes.
std::string WindowsPath(std::string path);
// Creates a folder and its missing parents; throws on failure.
void MakeFolders(const std::string& path);
std::string ReadWholeFile(const std::string& path);
// Text of a Win32 error code, for failure messages.
std::string ErrorText(DWORD code);

// A fresh key HKCU\Software\KesterlyTests\<pid>-<n> that stands in for
// HKEY_LOCAL_MACHINE in this process (all threads) while the object lives
// (RegOverridePredefKey).  Paths are relative to that root, e.g.
// "Software\\Westwood\\Tiberian Sun".
//
// Registry views: the redirected HKLM is an ordinary key under HKCU\Software,
// which has no 32-bit view.  A 64-bit program opening
// HKLM\Software\Westwood\... with KEY_WOW64_32KEY finds <root>\Software\Westwood\...
// (no Wow6432Node), under Wine as on Windows, so the paths used here are
// exactly the paths the program uses.
class RegistrySandbox {
public:
    RegistrySandbox();
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    // Starts over with an empty *volatile* root.  Keys this object creates
    // afterwards are volatile too, so tests can still set up values; the
    // program's own attempt to create a missing key (e.g.
    // "Software\\Halvek\\Kesterly") then fails with ERROR_CHILD_MUST_BE_VOLATILE
    // (1021), because a volatile key cannot get a non-volatile child.  That holds
    // on Windows and under Wine.  (A root opened with KEY_READ does not work:
    // creating a subkey needs no rights on the parent handle.)
    void MakeUnwritable();

    void CreateKey(const std::string& path);
    void SetString(const std::string& path, const std::string& name, const std::string& value);
    void SetDword(const std::string& path, const std::string& name, DWORD value);
    // Any type with raw bytes, e.g. REG_BINARY or a REG_DWORD of the wrong size.
    void SetValue(const std::string& path, const std::string& name, DWORD type, const std::string& bytes);

    // Empty when the key or value is missing or has another type.
    std::optional<std::string> GetString(const std::string& path, const std::string& name) const;
    std::optional<DWORD> GetDword(const std::string& path, const std::string& name) const;
    // REG_NONE when missing.
    DWORD GetType(const std::string& path, const std::string& name) const;
    bool HasValue(const std::string& path, const std::string& name) const;
    bool HasKey(const std::string& path) const;
    void DeleteValue(const std::string& path, const std::string& name);
    void DeleteKey(const std::string& path);

    // The root, relative to HKEY_CURRENT_USER.
    const std::string& RootPath() const { return FRootPath; }

private:
    void Open(DWORD options);
    void Close();
    HKEY OpenKey(const std::string& path, REGSAM access) const;  // nullptr if missing
    HKEY CreateKeyHandle(const std::string& path);

    std::string FRootPath;
    HKEY FRoot = nullptr;
    DWORD FOptions = REG_OPTION_NON_VOLATILE;
};

// A temporary folder, removed with everything in it (read-only files too).
class TempDir {
public:
    TempDir();
    // In `parent` (a path with a trailing backslash) instead of the system's temporary folder.
    explicit TempDir(const std::string& parent);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Full path with a trailing backslash.
    const std::string& Path() const { return FPath; }
    // Path of a name inside the folder ("a\\b.ini" allowed).
    std::string operator/(const std::string& name) const { return FPath + name; }
    // Writes a file (missing folders are created) and returns its full path.
    std::string Write(const std::string& name, const std::string& bytes) const;
    std::string Read(const std::string& name) const;
    bool Exists(const std::string& name) const;
    // Creates a subfolder and returns its path with a trailing backslash.
    std::string Folder(const std::string& name) const;

private:
    std::string FPath;
};

// The small volume of its own that KESTERLY_FULL_VOLUME names ("E:"), which scripts/test.sh mounts
// where it can: a real disk that fills up, for writes that fail as only a full disk makes them fail.
class FullVolume {
public:
    FullVolume();
    ~FullVolume();  // the filler goes, and the space with it
    FullVolume(const FullVolume&) = delete;
    FullVolume& operator=(const FullVolume&) = delete;

    // "E:\\", or empty where there is no such volume, Missing() saying why.
    const std::string& Root() const { return FRoot; }
    static std::string Missing();
    // Fills the volume with a file of its own, then frees exactly `clusters` clusters of it.
    // Throws when the volume is not small, or the system does not report it full.
    void LeaveFree(DWORD clusters);

private:
    std::string FRoot;
    HANDLE FFiller = INVALID_HANDLE_VALUE;
};

// One message box as a MessageBoxWatcher saw it.
struct TMessageBoxRecord {
    std::string Caption;
    std::string Text;
    HWND Owner = nullptr;
    UINT Icon = 0;                   // MB_ICONINFORMATION, MB_ICONWARNING, MB_ICONERROR, MB_ICONQUESTION or 0
    std::vector<std::string> Buttons;  // captions in order, e.g. "&Yes", "&No"
    int Clicked = 0;                 // command id sent to close it (IDOK, IDNO, ...)
};

// Watches the current thread (WH_CBT hook) while it lives.  Every message box
// the thread shows is recorded and closed by clicking its first button, or the
// button queued with Answer().  A window counts as a message box when it is a
// #32770 dialog with the message static (id 0xFFFF) and the system's dialog
// procedure; the program's own dialogs, whose procedure lives in this
// executable, are left alone unless an OnDialog action was queued for them.
class MessageBoxWatcher {
public:
    MessageBoxWatcher();
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    // The next unanswered message box is closed with this command id (IDYES, IDCANCEL, ...).
    void Answer(int commandId);
    // The next #32770 dialog activated for the first time (message box or the
    // program's own) whose caption is `caption` (any caption when empty) is
    // handed to this action instead.  It runs inside the activation, after
    // WM_INITDIALOG; post messages, or run a nested modal loop from there.
    void OnDialog(std::function<void(HWND)> action, const std::string& caption = "");

    const std::vector<TMessageBoxRecord>& Boxes() const { return FBoxes; }
    void Clear() { FBoxes.clear(); }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    void Activated(HWND window);

    HHOOK FHook = nullptr;
    MessageBoxWatcher* FPrevious = nullptr;
    std::vector<int> FAnswers;
    struct TAction {
        std::string Caption;
        std::function<void(HWND)> Run;
    };
    std::vector<TAction> FActions;
    std::vector<TMessageBoxRecord> FBoxes;
    std::set<HWND> FSeen;
};

// What the stub game recorded for one start.
struct TStubRecord {
    std::string CommandLine;
    std::string CurrentFolder;
    bool RulesExists = false;
    long long RulesSize = -1;
    std::string RulesFirstLine;
};

// stubgame.exe (built beside the test programs) installed under another name,
// e.g. StubGame game(dir.Folder("Westwood Games\\Tiberian Sun"), "Game.exe").
class StubGame {
public:
    StubGame(const std::string& folder, const std::string& exeName);

    // Full path of the installed executable.
    const std::string& Path() const { return FPath; }
    // "<folder>\<exe base name>.log"
    std::string LogPath() const;
    // Records written so far.
    std::vector<TStubRecord> Records() const;
    // Waits (up to timeoutMs) until at least `count` records are there; the game runs detached.
    std::vector<TStubRecord> WaitForRecords(size_t count = 1, DWORD timeoutMs = 5000) const;

    static std::string SourcePath() { return ExeFolder() + "stubgame.exe"; }

private:
    std::string FPath;
};

// While the object lives, this test program's calls of dll!function go to `replacement`: the import
// address table entries of the program itself are rewritten, and restored afterwards. The program's
// code, linked statically into it, calls through them; the system's DLLs do not.
class ImportPatch {
public:
    ImportPatch(const std::string& dll, const std::string& function, const void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

private:
    static void Write(void** address, void* value);
    struct TSlot {
        void** Address;
        void* Original;
    };
    std::vector<TSlot> FSlots;
};

}  // namespace TestSupport
