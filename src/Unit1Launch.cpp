// Launching: install the chosen rules file or remove the installed one, then start the game.
#include <memory>
#include <vector>

#include "Classes.h"
#include "Unit1.h"
#include "resource.h"

#include <objbase.h>
#include <shellapi.h>

#ifndef ERROR_ELEVATION_REQUIRED
#define ERROR_ELEVATION_REQUIRED 740L  // MSVC's winerror.h has it; MinGW-w64's lacks it
#endif

namespace {

const char InstalledRules[] = "Rules.ini";

// Copies kept of a Rules.ini that would otherwise be lost: "Rules (kept 2026-12-08 09.41.07).ini",
// and for a name already taken "Rules (kept 2026-12-08 09.41.07) (2).ini", " (3)" and so on.
const char KeptRulesPattern[] = "Rules (kept *).ini";

AnsiString KeptRulesName(const AnsiString& Stamp, int Variant)
{
    return "Rules (kept " + Stamp + ")" + (Variant > 1 ? " (" + IntToStr(Variant) + ")" : AnsiString()) + ".ini";
}

// Whether a plain file of Folder that matches Pattern, other than the installed file itself, holds
// its bytes. Only files of its size are opened; one that cannot be opened does not count.
bool FolderHoldsCopy(const AnsiString& Folder, const AnsiString& Pattern, TFileStream& Installed)
{
    const long long Size = Installed.Size();
    bool Found = false;
    ForEachPlainFile(Folder + Pattern, [&](const TFoundFile& File) {
        if (File.Size != Size)
            return true;
        const AnsiString Path = Folder + File.Name;
        try {
            TFileStream Candidate(Path, fmOpenRead | fmShareCompat);
            Found = SameContent(Candidate, Installed) && !SameFile(Path, Installed.FileName);
        } catch (const EFOpenError&) {
            // Held open by another program: it cannot vouch for the bytes, nor stop the command.
        }
        return !Found;
    });
    return Found;
}

// Clears a flag when the scope ends, however it ends.
class TFlagScope {
public:
    explicit TFlagScope(bool& Flag) : Flag(Flag) { Flag = true; }
    ~TFlagScope() { Flag = false; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

private:
    bool& Flag;
};

// COM on this thread, apartment-threaded, while it lives: ShellExecuteEx may hand the start to shell
// extensions, which need it. A thread already in COM stays as it was.
class TComApartment {
public:
    TComApartment()
    {
        using CoInitializeExFunction = HRESULT(WINAPI*)(void*, DWORD);
        const auto Initialize = SystemFunction<CoInitializeExFunction>("ole32.dll", "CoInitializeEx");
        Uninitialize = SystemFunction<CoUninitializeFunction>("ole32.dll", "CoUninitialize");
        // S_FALSE: already initialised the same way, which also takes a CoUninitialize.
        if (!Initialize || !Uninitialize ||
            FAILED(Initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)))
            Uninitialize = nullptr;
    }
    ~TComApartment()
    {
        if (Uninitialize)
            Uninitialize();
    }
    TComApartment(const TComApartment&) = delete;
    TComApartment& operator=(const TComApartment&) = delete;

private:
    using CoUninitializeFunction = void(WINAPI*)();
    CoUninitializeFunction Uninitialize = nullptr;
};

// The error code for a failed ShellExecuteEx that left none: its older SE_ERR_ value. 2, 3, 5, 8
// and 11 are the system's codes of the same meaning.
DWORD ShellErrorCode(INT_PTR Result)
{
    switch (Result) {
    case 0: return ERROR_OUTOFMEMORY;
    case SE_ERR_SHARE: return ERROR_SHARING_VIOLATION;
    case SE_ERR_ASSOCINCOMPLETE:
    case SE_ERR_NOASSOC: return ERROR_NO_ASSOCIATION;
    case SE_ERR_DDETIMEOUT:
    case SE_ERR_DDEFAIL:
    case SE_ERR_DDEBUSY: return ERROR_DDE_FAIL;
    case SE_ERR_DLLNOTFOUND: return ERROR_DLL_NOT_FOUND;
    default: return static_cast<DWORD>(Result);
    }
}

// Starts Program with Arguments in Folder as Explorer does on a double-click, through the consent
// prompt for a program that must run as administrator; the prompt comes in front of Owner. Returns 0,
// or the code of the failure: 1223 (ERROR_CANCELLED) when the player declines the prompt.
DWORD StartAsTheShellDoes(const AnsiString& Program, const AnsiString& Arguments, const AnsiString& Folder,
                          HWND Owner)
{
    using ShellExecuteExFunction = BOOL(WINAPI*)(SHELLEXECUTEINFOA*);
    const auto Execute = SystemFunction<ShellExecuteExFunction>("shell32.dll", "ShellExecuteExA");
    if (!Execute)
        return GetLastError();
    const TComApartment Com;
    SHELLEXECUTEINFOA Info = {};
    Info.cbSize = sizeof(Info);
    Info.hwnd = Owner;
    // No box of the shell's own: the failure is shown as every other failure to start is.
    Info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    Info.lpFile = Program.c_str();
    Info.lpParameters = Arguments.empty() ? nullptr : Arguments.c_str();
    Info.lpDirectory = Folder.c_str();
    Info.nShow = SW_SHOWNORMAL;
    SetLastError(ERROR_SUCCESS);
    if (!Execute(&Info)) {
        const DWORD Code = GetLastError();
        return Code != ERROR_SUCCESS ? Code : ShellErrorCode(reinterpret_cast<INT_PTR>(Info.hInstApp));
    }
    if (Info.hProcess)
        CloseHandle(Info.hProcess);
    return ERROR_SUCCESS;
}

}  // namespace

void TRulesForm::RunButtonClick(TObject*)
{
    // Message boxes and StartGame dispatch messages: a second click must not start a second launch.
    if (Launching)
        return;
    TFlagScope Launch(Launching);
    const int Index = SelectedRulesIndex();
    if (Index == -1 || !GameDirUsable())
        return;
    const AnsiString Source = CurrentRulesFolder + NameList.Items[Index];
    AnsiString Kept;
    try {
        TFileStream Input(Source, fmOpenRead | fmShareCompat);
        // The copy goes to a new file beside Rules.ini, which it replaces only once complete.
        TReplacementFile Output(GameDir + InstalledRules);
        Output.CopyFrom(Input);
        Input.Close();
        Kept = KeepInstalledRules(Source);
        Output.Commit();
    } catch (const EStreamError& E) {
        if (!Kept.empty())
            DeleteFileA(Kept.c_str());
        ShowMessage(E.Message);
        return;
    }
    StartGame();
    SaveSettings();
    Application->Terminate();
}

void TRulesForm::NoRulesButtonClick(TObject*)
{
    if (Launching)
        return;
    TFlagScope Launch(Launching);
    if (!GameDirUsable())
        return;
    AnsiString Kept;
    try {
        Kept = KeepInstalledRules("");
    } catch (const EStreamError& E) {
        ShowMessage(E.Message);
        return;
    }
    const AnsiString Installed = GameDir + InstalledRules;
    if (!DeleteFileA(Installed.c_str())) {
        const DWORD Code = GetLastError();
        if (Code != ERROR_FILE_NOT_FOUND) {
            if (!Kept.empty())
                DeleteFileA(Kept.c_str());
            ShowSystemError(Code);
            return;
        }
    }
    StartGame();
    SaveSettings();
    Application->Terminate();
}

// Before Rules.ini is replaced by Replacement, or removed when Replacement is empty: keeps a copy of
// it in the game folder unless its bytes stand elsewhere, in Replacement, in a file of the rules
// folder or in a copy kept earlier. Returns the copy's path, empty when none was needed. A copy that
// cannot be written raises the file layer's error and leaves nothing behind.
AnsiString TRulesForm::KeepInstalledRules(const AnsiString& Replacement)
{
    const AnsiString Installed = GameDir + InstalledRules;
    // A folder of that name is no rules file: removing or replacing it fails as it always did.
    if (!FileExists(Installed))
        return "";
    TFileStream Old(Installed, fmOpenRead | fmShareCompat);
    if (!Replacement.empty()) {
        TFileStream New(Replacement, fmOpenRead | fmShareCompat);
        if (SameContent(Old, New))
            return "";
    }
    // Before any folder has been read there is no rules folder to look in.
    if ((!CurrentRulesFolder.empty() && FolderHoldsCopy(CurrentRulesFolder, "*.ini", Old)) ||
        FolderHoldsCopy(GameDir, KeptRulesPattern, Old))
        return "";
    Old.Seek(0);
    const AnsiString Stamp = DateTimeStamp(Now());
    for (int Variant = 1;; ++Variant) {
        const AnsiString Kept = GameDir + KeptRulesName(Stamp, Variant);
        std::unique_ptr<TFileStream> Copy;
        try {
            Copy = std::make_unique<TFileStream>(Kept, fmCreateNew);
        } catch (const EFCreateError& E) {
            if (E.ErrorCode == ERROR_FILE_EXISTS || E.ErrorCode == ERROR_ALREADY_EXISTS)
                continue;
            throw;
        }
        try {
            Copy->CopyFrom(Old);
            Copy->FlushBuffers();
        } catch (...) {
            Copy->Close();
            DeleteFileA(Kept.c_str());  // no part of a copy stays behind
            throw;
        }
        return Kept;
    }
}

void TRulesForm::StartGame()
{
    Application->ProcessMessages();
    STARTUPINFOA StartupInfo = {};
    StartupInfo.cb = sizeof(StartupInfo);
    // Quoted, so that a path with blanks cannot start a program named by a shorter prefix of it.
    const AnsiString CommandLine =
        "\"" + GameDir + GameExe + "\"" + (GameArguments.empty() ? AnsiString() : " " + GameArguments);
    std::vector<char> Writable(CommandLine.begin(), CommandLine.end());
    Writable.push_back('\0');
    PROCESS_INFORMATION Process = {};
    // The default error mode, not Kesterly's quiet one: the game shows the system's boxes as when
    // started from Explorer.
    if (!CreateProcessA(nullptr, Writable.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS | CREATE_DEFAULT_ERROR_MODE,
                        nullptr, GameDir.c_str(), &StartupInfo, &Process)) {
        DWORD Code = GetLastError();
        // A program set to run as administrator, or whose manifest asks for it: Kesterly, not
        // elevated itself, may not create it, and starts it as a double-click would.
        if (Code == ERROR_ELEVATION_REQUIRED)
            Code = StartAsTheShellDoes(GameDir + GameExe, GameArguments, GameDir, Handle);
        if (Code != ERROR_SUCCESS)
            ShowSystemError(Code);
        return;
    }
    CloseHandle(Process.hThread);
    CloseHandle(Process.hProcess);
}

void TRulesForm::ShowSystemError(unsigned long Code)
{
    char* Text = nullptr;  // left unset when the system has no text
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, Code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&Text), 0,
                   nullptr);
    const AnsiString Number = IntToStr(static_cast<int>(Code));
    const AnsiString Caption = FmtLoadStr(IDS_ERRORRUNNING, {GameTab.Tabs[GameTab.TabIndex()], Number});
    const AnsiString Fallback = FmtLoadStr(IDS_NODESCRIPTION, {Number});
    MessageBoxA(nullptr, Text ? Text : Fallback.c_str(), Caption.c_str(), MB_OK | MB_ICONINFORMATION);
    if (Text)
        LocalFree(Text);
}

// Rules.ini is only ever written or removed in an absolute folder: "C:\..." or "\\server\share\...".
bool TRulesForm::GameDirUsable()
{
    if (IsFullPath(GameDir) && EndsWithBackslash(GameDir))
        return true;
    ShowMessage(FmtLoadStr(IDS_NOTFULLPATH, {GameTab.Tabs[GameTab.TabIndex()], GameDir}));
    return false;
}
