// The program's load configuration (IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG): it asks the loader to resolve
// the program's own imports from System32 only (DependentLoadFlags, read by Windows 10 1607 and later),
// so that no DLL lying beside kesterly.exe is taken for one of Windows' own.
//
// Linkers point the PE's load-configuration entry at the object named _load_config_used. GNU ld
// 2.40 does not, so the MinGW build points it here after linking (scripts/set-load-config.py).
#include <windows.h>

#include <cstddef>

// The leading part of IMAGE_LOAD_CONFIG_DIRECTORY32/64, up to and including SecurityCookie. Size
// says how much the loader reads: it ends before the 32-bit SafeSEH table (SEHandlerTable and
// SEHandlerCount), which this program does not have; a wrong one would break exception handling.
struct LoadConfiguration {
    DWORD Size;
    DWORD TimeDateStamp;
    WORD MajorVersion;
    WORD MinorVersion;
    DWORD GlobalFlagsClear;
    DWORD GlobalFlagsSet;
    DWORD CriticalSectionDefaultTimeout;
    ULONG_PTR DeCommitFreeBlockThreshold;
    ULONG_PTR DeCommitTotalFreeThreshold;
    ULONG_PTR LockPrefixTable;
    ULONG_PTR MaximumAllocationSize;
    ULONG_PTR VirtualMemoryThreshold;
#ifdef _WIN64
    ULONG_PTR ProcessAffinityMask;
    DWORD ProcessHeapFlags;
#else
    DWORD ProcessHeapFlags;
    ULONG_PTR ProcessAffinityMask;
#endif
    WORD CSDVersion;
    WORD DependentLoadFlags;
    ULONG_PTR EditList;
    ULONG_PTR SecurityCookie;
};

#ifdef _WIN64
static_assert(offsetof(LoadConfiguration, DependentLoadFlags) == 0x4E, "IMAGE_LOAD_CONFIG_DIRECTORY64 layout");
static_assert(sizeof(LoadConfiguration) == 0x60, "IMAGE_LOAD_CONFIG_DIRECTORY64 up to SEHandlerTable");
#else
static_assert(offsetof(LoadConfiguration, DependentLoadFlags) == 0x36, "IMAGE_LOAD_CONFIG_DIRECTORY32 layout");
// 64 bytes, also the directory size that Windows XP requires of a 32-bit program.
static_assert(sizeof(LoadConfiguration) == 0x40, "IMAGE_LOAD_CONFIG_DIRECTORY32 up to SEHandlerTable");
#endif

static constexpr LoadConfiguration SystemDllsFromSystem32()
{
    LoadConfiguration Configuration{};
    Configuration.Size = sizeof(LoadConfiguration);
    Configuration.DependentLoadFlags = LOAD_LIBRARY_SEARCH_SYSTEM32;
    return Configuration;
}

extern "C" const LoadConfiguration _load_config_used = SystemDllsFromSystem32();
