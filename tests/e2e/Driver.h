// Drives the real kesterly.exe from outside, as a person (or an automation tool) does: it starts
// the program as its own process, finds its windows by class and caption, clicks and types with
// posted window messages, and reads texts across the process boundary with the wide-character
// calls (the ANSI ones return only the first character of another process's list items under Wine).
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace E2E {

// Polls `done` every 20 ms, handling the messages sent to this thread, until it holds or `timeoutMs`
// have passed; returns its last answer.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);

// Every key of HKLM that Kesterly reads (the games' and its own), in the 32-bit view, as a 32-bit
// Kesterly and the games' installers see them, and the digital editions' keys in the 64-bit view
// too: saved when the object is made, deleted for the test, and put back as they were afterwards.
// A key is written and read in the 32-bit view unless a view is given (KEY_WOW64_64KEY).
class RegistryKeys {
public:
    RegistryKeys();
    ~RegistryKeys();
    RegistryKeys(const RegistryKeys&) = delete;
    RegistryKeys& operator=(const RegistryKeys&) = delete;

    static void SetString(const std::string& key, const std::string& name, const std::string& value,
                          REGSAM view = KEY_WOW64_32KEY);
    static void SetDword(const std::string& key, const std::string& name, DWORD value);
    static std::optional<std::string> GetString(const std::string& key, const std::string& name);
    static std::optional<DWORD> GetDword(const std::string& key, const std::string& name);
    static void Delete(const std::string& key, REGSAM view = KEY_WOW64_32KEY);

private:
    struct Value {
        std::string Name;
        DWORD Type;
        std::string Bytes;
    };
    struct Saved {
        std::string Key;
        REGSAM View;
        bool Existed;
        std::vector<Value> Values;
    };
    std::vector<Saved> FSaved;
};

// One run of kesterly.exe. The process is ended by force if it is still running when the object goes.
class KesterlyProcess {
public:
    enum StartMode { WaitForActivation, NoWait };
    // Starts the program (full path), with arguments after its quoted path and in currentFolder if
    // given, and, unless told otherwise, waits until its main window has run its activation.
    explicit KesterlyProcess(const std::string& exePath, StartMode mode = WaitForActivation,
                             const std::string& currentFolder = "", const std::string& arguments = "");
    ~KesterlyProcess();
    KesterlyProcess(const KesterlyProcess&) = delete;
    KesterlyProcess& operator=(const KesterlyProcess&) = delete;

    HANDLE Process() const { return FProcess; }
    DWORD Id() const { return FId; }
    HWND MainWindow() const { return FMain; }
    // Looks for the main window once its activation has shown the games found: its tab control
    // holds their tabs, or it says that none was found. Null until then.
    HWND FindMainWindow();
    // A visible top-level dialog (#32770) of this process with that caption, or null.
    HWND FindDialog(const std::string& caption) const;
    HWND WaitForDialog(const std::string& caption, DWORD timeoutMs = 5000) const;
    // A control of the main window, or of `dialog`, by its ID from src/resource.h.
    HWND Control(int id, HWND dialog = nullptr) const;

    // Exit code once the process has ended within the time, or nothing.
    std::optional<DWORD> WaitForExit(DWORD timeoutMs = 10000) const;

    // Input, as real mouse and keyboard messages.
    void Click(HWND control) const;
    void ClickAt(HWND window, POINT point) const;
    void ClickTab(int index) const;
    void ClickListItem(HWND list, int index) const;
    void Type(HWND edit, const std::string& text) const;  // characters into that control
    void Press(UINT virtualKey) const;                     // on the control that has the focus
    void PressOn(HWND window, UINT virtualKey) const;
    // Keys held together, as the keyboard sends them to the main window brought to the front:
    // pressed in this order and released in reverse ({VK_CONTROL, VK_SHIFT, VK_TAB}).
    void PressKeys(const std::vector<WORD>& keys) const;

    // Reading.
    static std::string Text(HWND window);  // WM_GETTEXT
    static std::vector<std::string> ListItems(HWND list);
    static int ListSelection(HWND list);
    std::vector<std::string> TabCaptions() const;
    int TabSelection() const;
    RECT TabRect(int index) const;
    HWND Focus() const;

private:
    // A block of memory inside the Kesterly process, for messages whose pointers the system does
    // not carry across processes (the tab control's).
    class RemoteBuffer {
    public:
        RemoteBuffer(HANDLE process, size_t size);
        ~RemoteBuffer();
        void* Address() const { return FAddress; }
        void Write(const void* data, size_t size, size_t offset = 0) const;
        void Read(void* data, size_t size, size_t offset = 0) const;

    private:
        HANDLE FProcess;
        void* FAddress;
    };

    HANDLE FProcess = nullptr;
    DWORD FId = 0;
    DWORD FThread = 0;
    HWND FMain = nullptr;
};

}  // namespace E2E
