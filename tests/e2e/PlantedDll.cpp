// A msimg32.dll left beside a program, as in a Downloads folder: loaded into a process, it leaves the
// file "planted-dll-ran" beside itself. Its exports forward to gdi32 (PlantedDll.def), so a program
// that imports them still starts and draws.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID)
{
    if (Reason == DLL_PROCESS_ATTACH) {
        char Marker[MAX_PATH + 16] = "";
        char* Name = Marker + GetModuleFileNameA(Instance, Marker, MAX_PATH);
        while (Name > Marker && Name[-1] != '\\')
            --Name;
        lstrcpyA(Name, "planted-dll-ran");
        CloseHandle(CreateFileA(Marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    return TRUE;
}
