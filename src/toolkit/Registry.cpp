#include "Registry.h"

#include <vector>

#include "Consts.h"

TRegistry::TRegistry(REGSAM DesiredAccess, REGSAM View) : Access(DesiredAccess | View) {}

TRegistry::~TRegistry()
{
    CloseKey();
}

bool TRegistry::OpenKey(const AnsiString& Key, bool CanCreate)
{
    CloseKey();
    const char* Path = Key.c_str();
    if (*Path == '\\')
        ++Path;
    HKEY Opened = nullptr;
    const LONG Status = CanCreate ? RegCreateKeyExA(RootKey, Path, 0, nullptr, REG_OPTION_NON_VOLATILE, Access,
                                                    nullptr, &Opened, nullptr)
                                  : RegOpenKeyExA(RootKey, Path, 0, Access, &Opened);
    if (Status != ERROR_SUCCESS)
        return false;
    CurrentKey = Opened;
    return true;
}

void TRegistry::CloseKey()
{
    if (CurrentKey)
        RegCloseKey(CurrentKey);
    CurrentKey = nullptr;
}

AnsiString TRegistry::ReadString(const AnsiString& Name)
{
    DWORD Type = 0, Size = 0;
    LONG Status = RegQueryValueExA(CurrentKey, Name.c_str(), nullptr, &Type, nullptr, &Size);
    if (Status == ERROR_FILE_NOT_FOUND)
        return AnsiString();
    if (Status != ERROR_SUCCESS)
        throw ERegistryException(FmtLoadStr(IDS_REGREADFAILED, {Name, SysErrorMessage(Status)}));
    if (Type != REG_SZ && Type != REG_EXPAND_SZ)
        throw ERegistryException(FmtLoadStr(IDS_REGNOTTEXT, {Name}));
    // The value may change between the two calls, and stored text need not end in a NUL.
    std::vector<char> Data(Size + 1);
    Status = RegQueryValueExA(CurrentKey, Name.c_str(), nullptr, &Type, reinterpret_cast<BYTE*>(Data.data()), &Size);
    if (Status != ERROR_SUCCESS)
        throw ERegistryException(FmtLoadStr(IDS_REGREADFAILED, {Name, SysErrorMessage(Status)}));
    Data[Size] = '\0';
    return AnsiString(Data.data());
}

int TRegistry::ReadInteger(const AnsiString& Name)
{
    DWORD Type = 0, Value = 0, Size = sizeof(Value);
    const LONG Status =
        RegQueryValueExA(CurrentKey, Name.c_str(), nullptr, &Type, reinterpret_cast<BYTE*>(&Value), &Size);
    if (Status == ERROR_FILE_NOT_FOUND)
        throw ERegistryException(FmtLoadStr(IDS_REGMISSING, {Name}));
    if ((Status == ERROR_SUCCESS || Status == ERROR_MORE_DATA) && (Type != REG_DWORD || Size != sizeof(Value)))
        throw ERegistryException(FmtLoadStr(IDS_REGNOTNUMBER, {Name}));
    if (Status != ERROR_SUCCESS)
        throw ERegistryException(FmtLoadStr(IDS_REGREADFAILED, {Name, SysErrorMessage(Status)}));
    return static_cast<int>(Value);
}

void TRegistry::Write(const AnsiString& Name, DWORD Type, const void* Data, DWORD Size)
{
    const LONG Status = RegSetValueExA(CurrentKey, Name.c_str(), 0, Type, static_cast<const BYTE*>(Data), Size);
    if (Status != ERROR_SUCCESS)
        throw ERegistryException(FmtLoadStr(IDS_REGWRITEFAILED, {Name, SysErrorMessage(Status)}));
}

void TRegistry::WriteString(const AnsiString& Name, const AnsiString& Value)
{
    Write(Name, REG_SZ, Value.c_str(), static_cast<DWORD>(Value.size() + 1));
}

void TRegistry::WriteInteger(const AnsiString& Name, int Value)
{
    const DWORD Data = static_cast<DWORD>(Value);
    Write(Name, REG_DWORD, &Data, sizeof(Data));
}
