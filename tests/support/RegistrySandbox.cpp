#include "TestSupport.h"

#include <cstring>
#include <stdexcept>

namespace TestSupport {

static void Check(LONG result, const std::string& what)
{
    if (result != ERROR_SUCCESS)
        throw std::runtime_error("registry sandbox: " + what + ": " + ErrorText(result));
}

RegistrySandbox::RegistrySandbox()
{
    static LONG counter = 0;
    FRootPath = "Software\\KesterlyTests\\" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(InterlockedIncrement(&counter));
    Open(REG_OPTION_NON_VOLATILE);
}

RegistrySandbox::~RegistrySandbox()
{
    Close();
}

void RegistrySandbox::Open(DWORD options)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, FRootPath.c_str());
    // The parent is shared by every sandbox of every test process: it stays, and never volatile.
    HKEY parent = nullptr;
    Check(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\KesterlyTests", 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, &parent, nullptr),
          "create HKCU\\Software\\KesterlyTests");
    RegCloseKey(parent);
    Check(RegCreateKeyExA(HKEY_CURRENT_USER, FRootPath.c_str(), 0, nullptr, options, KEY_ALL_ACCESS, nullptr,
                          &FRoot, nullptr),
          "create HKCU\\" + FRootPath);
    FOptions = options;
    Check(RegOverridePredefKey(HKEY_LOCAL_MACHINE, FRoot), "redirect HKEY_LOCAL_MACHINE");
}

void RegistrySandbox::Close()
{
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegCloseKey(FRoot);
    FRoot = nullptr;
    RegDeleteTreeA(HKEY_CURRENT_USER, FRootPath.c_str());
}

void RegistrySandbox::MakeUnwritable()
{
    Close();
    Open(REG_OPTION_VOLATILE);
}

HKEY RegistrySandbox::OpenKey(const std::string& path, REGSAM access) const
{
    HKEY key = nullptr;
    return RegOpenKeyExA(FRoot, path.c_str(), 0, access, &key) == ERROR_SUCCESS ? key : nullptr;
}

HKEY RegistrySandbox::CreateKeyHandle(const std::string& path)
{
    HKEY key = nullptr;
    Check(RegCreateKeyExA(FRoot, path.c_str(), 0, nullptr, FOptions, KEY_ALL_ACCESS, nullptr, &key, nullptr),
          "create " + path);
    return key;
}

void RegistrySandbox::CreateKey(const std::string& path)
{
    RegCloseKey(CreateKeyHandle(path));
}

void RegistrySandbox::SetValue(const std::string& path, const std::string& name, DWORD type, const std::string& bytes)
{
    HKEY key = CreateKeyHandle(path);
    LONG result = RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    Check(result, "set " + path + "\\" + name);
}

void RegistrySandbox::SetString(const std::string& path, const std::string& name, const std::string& value)
{
    SetValue(path, name, REG_SZ, std::string(value.c_str(), value.size() + 1));
}

void RegistrySandbox::SetDword(const std::string& path, const std::string& name, DWORD value)
{
    SetValue(path, name, REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof value));
}

// Type and raw bytes of a value; REG_NONE when the key or value is missing.
static DWORD Query(HKEY root, const std::string& path, const std::string& name, std::string* bytes)
{
    DWORD type = REG_NONE, size = 0;
    if (RegGetValueA(root, path.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size) !=
        ERROR_SUCCESS)
        return REG_NONE;
    bytes->assign(size, '\0');
    if (RegGetValueA(root, path.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, &(*bytes)[0], &size) !=
        ERROR_SUCCESS)
        return REG_NONE;
    bytes->resize(size);
    return type;
}

DWORD RegistrySandbox::GetType(const std::string& path, const std::string& name) const
{
    std::string bytes;
    return Query(FRoot, path, name, &bytes);
}

std::optional<std::string> RegistrySandbox::GetString(const std::string& path, const std::string& name) const
{
    std::string bytes;
    DWORD type = Query(FRoot, path, name, &bytes);
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return std::nullopt;
    return bytes.substr(0, bytes.find('\0'));
}

std::optional<DWORD> RegistrySandbox::GetDword(const std::string& path, const std::string& name) const
{
    std::string bytes;
    if (Query(FRoot, path, name, &bytes) != REG_DWORD || bytes.size() != sizeof(DWORD))
        return std::nullopt;
    DWORD value;
    memcpy(&value, bytes.data(), sizeof value);
    return value;
}

bool RegistrySandbox::HasValue(const std::string& path, const std::string& name) const
{
    return RegGetValueA(FRoot, path.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

bool RegistrySandbox::HasKey(const std::string& path) const
{
    HKEY key = OpenKey(path, KEY_READ);
    if (key)
        RegCloseKey(key);
    return key != nullptr;
}

void RegistrySandbox::DeleteValue(const std::string& path, const std::string& name)
{
    HKEY key = OpenKey(path, KEY_SET_VALUE);
    if (!key)
        throw std::runtime_error("registry sandbox: no key " + path);
    LONG result = RegDeleteValueA(key, name.c_str());
    RegCloseKey(key);
    Check(result, "delete " + path + "\\" + name);
}

void RegistrySandbox::DeleteKey(const std::string& path)
{
    Check(RegDeleteTreeA(FRoot, path.c_str()), "delete " + path);
}

}  // namespace TestSupport
