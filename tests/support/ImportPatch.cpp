#include "TestSupport.h"

#include <stdexcept>

namespace TestSupport {

namespace {

template <typename T>
T* At(HMODULE module, DWORD offset)
{
    return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(module) + offset);
}

}  // namespace

ImportPatch::ImportPatch(const std::string& dll, const std::string& function, const void* replacement)
{
    HMODULE module = GetModuleHandleA(nullptr);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    const auto* nt = At<const IMAGE_NT_HEADERS>(module, dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* entry = At<const IMAGE_IMPORT_DESCRIPTOR>(module, imports.VirtualAddress); entry->Name; ++entry) {
        if (lstrcmpiA(At<const char>(module, entry->Name), dll.c_str()) != 0 || !entry->OriginalFirstThunk)
            continue;
        auto* names = At<const IMAGE_THUNK_DATA>(module, entry->OriginalFirstThunk);
        auto* slots = At<IMAGE_THUNK_DATA>(module, entry->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) ||
                function != At<const IMAGE_IMPORT_BY_NAME>(module, static_cast<DWORD>(names->u1.AddressOfData))->Name)
                continue;
            FSlots.push_back({reinterpret_cast<void**>(&slots->u1.Function), reinterpret_cast<void*>(slots->u1.Function)});
            Write(FSlots.back().Address, const_cast<void*>(replacement));
        }
    }
    if (FSlots.empty())
        throw std::runtime_error("this program does not import " + dll + "!" + function);
}

ImportPatch::~ImportPatch()
{
    for (const TSlot& slot : FSlots)
        Write(slot.Address, slot.Original);
}

void ImportPatch::Write(void** address, void* value)
{
    DWORD previous;
    VirtualProtect(address, sizeof(void*), PAGE_READWRITE, &previous);
    *address = value;
    VirtualProtect(address, sizeof(void*), previous, &previous);
}

}  // namespace TestSupport
