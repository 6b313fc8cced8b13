// Registry accessor. Keys are opened in the 32-bit view unless told otherwise: the view the
// 32-bit program sees, so that the 64-bit build finds the same keys.
#pragma once
#include <windows.h>

#include "SysUtils.h"

class ERegistryException : public Exception { using Exception::Exception; };

class TRegistry {
public:
    // Access is what OpenKey asks for, in View: KEY_WOW64_32KEY or KEY_WOW64_64KEY. 32-bit
    // Windows has one view only, and ignores both.
    explicit TRegistry(REGSAM Access = KEY_READ, REGSAM View = KEY_WOW64_32KEY);
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    HKEY RootKey = HKEY_CURRENT_USER;

    // Opens Key (a leading backslash counts from RootKey), creating it when CanCreate.
    // Returns whether the key is open; the current key, if any, is closed first.
    bool OpenKey(const AnsiString& Key, bool CanCreate);
    void CloseKey();

    // A missing value reads as empty text; a value of another type raises.
    AnsiString ReadString(const AnsiString& Name);
    // A missing value, or one that is not a 32-bit integer, raises.
    int ReadInteger(const AnsiString& Name);
    void WriteString(const AnsiString& Name, const AnsiString& Value);
    void WriteInteger(const AnsiString& Name, int Value);

private:
    REGSAM Access;
    HKEY CurrentKey = nullptr;
    void Write(const AnsiString& Name, DWORD Type, const void* Data, DWORD Size);
};
