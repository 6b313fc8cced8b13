#include "Driver.h"

#include <commctrl.h>

#include "SysUtils.h"
#include "TestSupport.h"
#include "resource.h"

#include <stdexcept>

namespace E2E {

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (MSG message;; Sleep(20)) {
        // What this thread is sent meanwhile (accessibility events among them) is handled.
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        if (done() || GetTickCount() - start >= timeoutMs)
            return done();
    }
}

// RegistryKeys

namespace {

HKEY OpenKey(const std::string& key, REGSAM access, REGSAM view = KEY_WOW64_32KEY)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, access | view, &handle) != ERROR_SUCCESS)
        return nullptr;
    return handle;
}

HKEY CreateKey(const std::string& key, REGSAM view)
{
    HKEY handle = nullptr;
    LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS | view, nullptr, &handle, nullptr);
    if (status != ERROR_SUCCESS)
        throw std::runtime_error("cannot create HKLM\\" + key + ": error " + std::to_string(status));
    return handle;
}

void SetValue(const std::string& key, const std::string& name, DWORD type, const void* data, DWORD size,
              REGSAM view = KEY_WOW64_32KEY)
{
    HKEY handle = CreateKey(key, view);
    LONG status = RegSetValueExA(handle, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(handle);
    if (status != ERROR_SUCCESS)
        throw std::runtime_error("cannot write " + name + ": error " + std::to_string(status));
}

// Value bytes and type, or nothing when the key or value is missing.
std::optional<std::pair<DWORD, std::string>> GetValue(const std::string& key, const std::string& name)
{
    HKEY handle = OpenKey(key, KEY_READ);
    if (!handle)
        return std::nullopt;
    DWORD type = 0, size = 0;
    std::optional<std::pair<DWORD, std::string>> result;
    if (RegQueryValueExA(handle, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        std::string bytes(size, '\0');
        if (RegQueryValueExA(handle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&bytes[0]), &size) ==
            ERROR_SUCCESS)
            result = std::make_pair(type, bytes.substr(0, size));
    }
    RegCloseKey(handle);
    return result;
}

}  // namespace

RegistryKeys::RegistryKeys()
{
    using namespace TestSupport;
    std::vector<std::pair<const char*, REGSAM>> keys;
    for (const char* key : {TSKey, RAKey, RAGermanKey, RAFrenchKey, FirstDecadeKey, SettingsKey})
        keys.emplace_back(key, KEY_WOW64_32KEY);
    for (const char* key : {TSStoreKey, RAStoreKey, TSSteamKey, RASteamKey, TSCnCNetKey, RACnCNetKey})
        for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
            keys.emplace_back(key, view);
    for (const auto& [key, view] : keys) {
        Saved saved{key, view, false, {}};
        if (HKEY handle = OpenKey(key, KEY_READ, view)) {
            saved.Existed = true;
            char name[16384];
            BYTE data[65536];
            for (DWORD index = 0;; ++index) {
                DWORD nameSize = sizeof(name), dataSize = sizeof(data), type = 0;
                if (RegEnumValueA(handle, index, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS)
                    break;
                saved.Values.push_back({std::string(name, nameSize), type,
                                        std::string(reinterpret_cast<char*>(data), dataSize)});
            }
            RegCloseKey(handle);
        }
        FSaved.push_back(saved);
        Delete(key, view);
    }
}

RegistryKeys::~RegistryKeys()
{
    for (const Saved& saved : FSaved) {
        Delete(saved.Key, saved.View);
        if (!saved.Existed)
            continue;
        RegCloseKey(CreateKey(saved.Key, saved.View));
        for (const Value& value : saved.Values)
            SetValue(saved.Key, value.Name, value.Type, value.Bytes.data(), static_cast<DWORD>(value.Bytes.size()),
                     saved.View);
    }
}

void RegistryKeys::SetString(const std::string& key, const std::string& name, const std::string& value,
                             REGSAM view)
{
    SetValue(key, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1), view);
}

void RegistryKeys::SetDword(const std::string& key, const std::string& name, DWORD value)
{
    SetValue(key, name, REG_DWORD, &value, sizeof(value));
}

std::optional<std::string> RegistryKeys::GetString(const std::string& key, const std::string& name)
{
    auto value = GetValue(key, name);
    if (!value || value->first != REG_SZ)
        return std::nullopt;
    std::string text = value->second;
    return text.substr(0, text.find('\0'));
}

std::optional<DWORD> RegistryKeys::GetDword(const std::string& key, const std::string& name)
{
    auto value = GetValue(key, name);
    if (!value || value->first != REG_DWORD || value->second.size() != sizeof(DWORD))
        return std::nullopt;
    DWORD number = 0;
    memcpy(&number, value->second.data(), sizeof(number));
    return number;
}

void RegistryKeys::Delete(const std::string& key, REGSAM view)
{
    if (HKEY handle = OpenKey(key, KEY_ALL_ACCESS, view)) {
        RegDeleteTreeA(handle, nullptr);
        RegCloseKey(handle);
    }
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), view, 0);
}

// KesterlyProcess

namespace {

struct DialogSearch {
    DWORD ProcessId;
    std::function<bool(HWND)> Wanted;
    HWND Found;
};

BOOL CALLBACK FindDialogWindow(HWND window, LPARAM parameter)
{
    DialogSearch& search = *reinterpret_cast<DialogSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = "";
    GetClassNameA(window, className, sizeof(className));
    if (owner != search.ProcessId || std::string(className) != "#32770" || !IsWindowVisible(window))
        return TRUE;
    if (!search.Wanted(window))
        return TRUE;
    search.Found = window;
    return FALSE;
}

// The rectangle of a list box item (LB_GETITEMRECT's RECT is carried across processes by the system).
RECT ListItemRect(HWND list, int index)
{
    RECT item = {};
    SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return item;
}

}  // namespace

KesterlyProcess::KesterlyProcess(const std::string& exePath, StartMode mode, const std::string& currentFolder,
                                 const std::string& arguments)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    std::string commandLine = "\"" + exePath + "\"" + (arguments.empty() ? "" : " " + arguments);
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        currentFolder.empty() ? nullptr : currentFolder.c_str(), &startup, &info))
        throw std::runtime_error("cannot start " + exePath + ": error " + std::to_string(GetLastError()));
    FProcess = info.hProcess;
    FId = info.dwProcessId;
    CloseHandle(info.hThread);
    if (mode == NoWait)
        return;

    if (!WaitUntil([&] { return FindMainWindow() != nullptr; }, 15000))
        throw std::runtime_error("the main window of kesterly.exe did not appear");
    // The window's thread answers a sent message only once the activation has returned to the
    // message loop.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(FMain, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
}

HWND KesterlyProcess::FindMainWindow()
{
    DialogSearch search{FId, [](HWND window) {
                            HWND tabs = GetDlgItem(window, IDC_GAMETAB);
                            return tabs && (SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0) > 0 ||
                                            IsWindowVisible(GetDlgItem(window, IDC_NOTFOUND)));
                        },
                        nullptr};
    if (!FMain) {
        EnumWindows(FindDialogWindow, reinterpret_cast<LPARAM>(&search));
        if ((FMain = search.Found) != nullptr)
            FThread = GetWindowThreadProcessId(FMain, nullptr);
    }
    return FMain;
}

KesterlyProcess::~KesterlyProcess()
{
    if (WaitForSingleObject(FProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(FProcess, 99);
        WaitForSingleObject(FProcess, 5000);
    }
    CloseHandle(FProcess);
}

HWND KesterlyProcess::FindDialog(const std::string& caption) const
{
    DialogSearch search{FId, [&caption](HWND window) { return KesterlyProcess::Text(window) == caption; }, nullptr};
    EnumWindows(FindDialogWindow, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

HWND KesterlyProcess::WaitForDialog(const std::string& caption, DWORD timeoutMs) const
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindDialog(caption)) != nullptr; }, timeoutMs);
    return found;
}

HWND KesterlyProcess::Control(int id, HWND dialog) const
{
    return GetDlgItem(dialog ? dialog : FMain, id);
}

std::optional<DWORD> KesterlyProcess::WaitForExit(DWORD timeoutMs) const
{
    if (WaitForSingleObject(FProcess, timeoutMs) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(FProcess, &code);
    return code;
}

void KesterlyProcess::ClickAt(HWND window, POINT point) const
{
    const LPARAM where = MAKELPARAM(point.x, point.y);
    PostMessageW(window, WM_MOUSEMOVE, 0, where);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageW(window, WM_LBUTTONUP, 0, where);
}

void KesterlyProcess::Click(HWND control) const
{
    RECT client;
    GetClientRect(control, &client);
    ClickAt(control, {client.right / 2, client.bottom / 2});
}

void KesterlyProcess::ClickTab(int index) const
{
    RECT item = TabRect(index);
    ClickAt(Control(IDC_GAMETAB), {(item.left + item.right) / 2, (item.top + item.bottom) / 2});
}

void KesterlyProcess::ClickListItem(HWND list, int index) const
{
    RECT item = ListItemRect(list, index);
    ClickAt(list, {(item.left + item.right) / 2, (item.top + item.bottom) / 2});
}

void KesterlyProcess::Type(HWND edit, const std::string& text) const
{
    // As the keyboard delivers them: UTF-16 code units, whatever the code page of the text.
    for (wchar_t unit : WideText(text))
        PostMessageW(edit, WM_CHAR, unit, 1);
}

void KesterlyProcess::PressOn(HWND window, UINT virtualKey) const
{
    const UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    PostMessageW(window, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageW(window, WM_KEYUP, virtualKey, 1 | (scan << 16) | (3u << 30));
}

void KesterlyProcess::PressKeys(const std::vector<WORD>& keys) const
{
    SetForegroundWindow(FMain);
    std::vector<INPUT> inputs(keys.size() * 2, INPUT{INPUT_KEYBOARD, {}});
    for (size_t i = 0, last = inputs.size() - 1; i < keys.size(); ++i) {
        inputs[i].ki.wVk = inputs[last - i].ki.wVk = keys[i];
        inputs[last - i].ki.dwFlags = KEYEVENTF_KEYUP;
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void KesterlyProcess::Press(UINT virtualKey) const
{
    HWND target = Focus();
    PressOn(target ? target : FMain, virtualKey);
}

HWND KesterlyProcess::Focus() const
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(FThread, &info))
        return nullptr;
    return info.hwndFocus;
}

std::string KesterlyProcess::Text(HWND window)
{
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(&text[0]));
    return AnsiText(text.c_str(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

std::vector<std::string> KesterlyProcess::ListItems(HWND list)
{
    std::vector<std::string> items;
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int index = 0; index < count; ++index) {
        const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
        std::wstring text(static_cast<size_t>(length < 0 ? 0 : length) + 1, L'\0');
        const LRESULT copied =
            SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
        items.push_back(AnsiText(text.c_str(), copied > 0 ? static_cast<size_t>(copied) : 0));
    }
    return items;
}

int KesterlyProcess::ListSelection(HWND list)
{
    return static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
}

std::vector<std::string> KesterlyProcess::TabCaptions() const
{
    HWND tab = Control(IDC_GAMETAB);
    const int count = static_cast<int>(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0));
    std::vector<std::string> captions;
    const size_t textChars = 256;
    RemoteBuffer remote(FProcess, sizeof(TCITEMW) + textChars * sizeof(wchar_t));
    for (int index = 0; index < count; ++index) {
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(remote.Address()) + sizeof(TCITEMW));
        item.cchTextMax = static_cast<int>(textChars);
        remote.Write(&item, sizeof(item));
        wchar_t empty = L'\0';
        remote.Write(&empty, sizeof(empty), sizeof(TCITEMW));
        SendMessageW(tab, TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote.Address()));
        std::wstring text(textChars, L'\0');
        remote.Read(&text[0], textChars * sizeof(wchar_t), sizeof(TCITEMW));
        text.resize(text.find(L'\0'));
        captions.push_back(AnsiText(text.c_str(), text.size()));
    }
    return captions;
}

int KesterlyProcess::TabSelection() const
{
    return static_cast<int>(SendMessageW(Control(IDC_GAMETAB), TCM_GETCURSEL, 0, 0));
}

RECT KesterlyProcess::TabRect(int index) const
{
    RemoteBuffer remote(FProcess, sizeof(RECT));
    SendMessageW(Control(IDC_GAMETAB), TCM_GETITEMRECT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(remote.Address()));
    RECT item = {};
    remote.Read(&item, sizeof(item));
    return item;
}

// RemoteBuffer

KesterlyProcess::RemoteBuffer::RemoteBuffer(HANDLE process, size_t size)
    : FProcess(process), FAddress(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))
{
    if (!FAddress)
        throw std::runtime_error("VirtualAllocEx failed: error " + std::to_string(GetLastError()));
}

KesterlyProcess::RemoteBuffer::~RemoteBuffer()
{
    VirtualFreeEx(FProcess, FAddress, 0, MEM_RELEASE);
}

void KesterlyProcess::RemoteBuffer::Write(const void* data, size_t size, size_t offset) const
{
    SIZE_T written = 0;
    if (!WriteProcessMemory(FProcess, static_cast<char*>(FAddress) + offset, data, size, &written))
        throw std::runtime_error("WriteProcessMemory failed: error " + std::to_string(GetLastError()));
}

void KesterlyProcess::RemoteBuffer::Read(void* data, size_t size, size_t offset) const
{
    SIZE_T read = 0;
    if (!ReadProcessMemory(FProcess, static_cast<char*>(FAddress) + offset, data, size, &read))
        throw std::runtime_error("ReadProcessMemory failed: error " + std::to_string(GetLastError()));
}

}  // namespace E2E
