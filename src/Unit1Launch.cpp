// Launching: install the chosen rules file or remove the installed one, then start the game.
#include <cctype>
#include <vector>

#include "Classes.h"
#include "Unit1.h"

namespace {

const char InstalledRules[] = "Rules.ini";

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
    char Buffer[2048];
    try {
        TFileStream Input(Source, fmOpenRead | fmShareCompat);
        // The copy goes to a new file beside Rules.ini, which it replaces only once complete.
        TReplacementFile Output(GameDir + InstalledRules);
        for (int Count; (Count = Input.Read(Buffer, sizeof(Buffer))) > 0;)
            Output.WriteBuffer(Buffer, Count);
        Input.Close();
        Output.Commit();
    } catch (const EStreamError& E) {
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
    const AnsiString Installed = GameDir + InstalledRules;
    if (!DeleteFileA(Installed.c_str())) {
        const DWORD Code = GetLastError();
        if (Code != ERROR_FILE_NOT_FOUND) {
            ShowSystemError(Code);
            return;
        }
    }
    StartGame();
    SaveSettings();
    Application->Terminate();
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
