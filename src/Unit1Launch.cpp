// Launching: install the chosen rules file or remove the installed one, then start the game.
#include <cctype>
#include <memory>
#include <vector>

#include "Classes.h"
#include "Unit1.h"

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
    const AnsiString CommandLine = "\"" + GameDir + GameExe + "\"";
    std::vector<char> Writable(CommandLine.begin(), CommandLine.end());
    Writable.push_back('\0');
    PROCESS_INFORMATION Process = {};
    if (!CreateProcessA(nullptr, Writable.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr, GameDir.c_str(),
                        &StartupInfo, &Process)) {
        ShowSystemError(GetLastError());
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
    const AnsiString Caption =
        "Error running " + GameTab.Tabs[GameTab.TabIndex()] + ": #" + IntToStr(static_cast<int>(Code));
    const AnsiString Fallback = "The system has no description of error " + IntToStr(static_cast<int>(Code)) + ".";
    MessageBoxA(nullptr, Text ? Text : Fallback.c_str(), Caption.c_str(), MB_OK | MB_ICONINFORMATION);
    if (Text)
        LocalFree(Text);
}

// Rules.ini is only ever written or removed in an absolute folder: "C:\..." or "\\server\share\...".
bool TRulesForm::GameDirUsable()
{
    const bool DriveRoot = GameDir.size() >= 3 && std::isalpha(static_cast<unsigned char>(GameDir[0])) &&
                           GameDir[1] == ':' && GameDir[2] == '\\';
    const bool Network = GameDir.size() > 2 && GameDir[0] == '\\' && GameDir[1] == '\\';
    if ((DriveRoot || Network) && GameDir.back() == '\\')
        return true;
    ShowMessage("The install folder of " + GameTab.Tabs[GameTab.TabIndex()] + " is not a full path: \"" + GameDir +
                "\".\nCorrect the game's InstallPath in the registry, or reinstall the game.");
    return false;
}
