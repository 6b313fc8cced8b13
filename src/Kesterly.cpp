// Program entry: creates the three windows and runs the message loop.
#include "Unit1.h"
#include "Unit2.h"
#include "Unit3.h"

namespace {

// DLLs that Windows or the program load by name from here on come from System32 only: never from the
// program's folder (a Downloads folder holds whatever else was downloaded) nor from the current one.
// Windows 7 without update KB2533623 lacks SetDefaultDllDirectories; there the current folder at least
// leaves the search.
void LoadDllsFromSystem32Only()
{
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const auto SetDefaultDllDirectories =
        SystemFunction<SetDefaultDllDirectoriesFunction>("kernel32.dll", "SetDefaultDllDirectories");
    if (!SetDefaultDllDirectories || !SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        SetDllDirectoryA("");
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    LoadDllsFromSystem32Only();
    // A drive without a medium (a card reader with no card, say, holding a Steam library) answers
    // with an error code rather than the system's "There is no disk in the drive" box, as Windows
    // advises for every program that looks at drives. The game started later gets the default mode.
    SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS);
    TApplication Kesterly;
    try {
        Application->Initialize();
        Application->Title = "Kesterly";
        Application->CreateForm(RulesForm);
        RulesForm->GameArguments = CommandLineArguments(GetCommandLineA());
        Application->CreateForm(RulesDirForm);
        Application->CreateForm(AboutForm);
        Application->Run();
    } catch (const Exception& E) {
        Application->ShowException(E);
    } catch (const std::exception& E) {
        Application->ShowException(Exception(E.what()));
    }
    return 0;
}
