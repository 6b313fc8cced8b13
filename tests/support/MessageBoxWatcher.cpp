#include "TestSupport.h"

#include <stdexcept>

namespace TestSupport {

static thread_local MessageBoxWatcher* ActiveWatcher = nullptr;

static std::string ClassOf(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

static std::string TextOf(HWND window)
{
    std::string text(GetWindowTextLengthA(window) + 1, '\0');
    text.resize(GetWindowTextA(window, &text[0], static_cast<int>(text.size())));
    return text;
}

// A message box is a dialog run by the system's own dialog procedure (in user32)
// with the message text in static 0xFFFF.  The program's dialogs have that id too
// (unnamed labels), but their procedure lives in this executable.
static bool IsMessageBox(HWND window)
{
    HMODULE owner = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(GetWindowLongPtrW(window, DWLP_DLGPROC)), &owner);
    return GetDlgItem(window, 0xFFFF) && owner == GetModuleHandleA("user32.dll");
}

static UINT IconKind(HWND box)
{
    const struct { LPCSTR Id; UINT Kind; } kinds[] = {
        {IDI_ASTERISK, MB_ICONINFORMATION}, {IDI_EXCLAMATION, MB_ICONWARNING},
        {IDI_HAND, MB_ICONERROR},           {IDI_QUESTION, MB_ICONQUESTION}};
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON || ClassOf(child) != "Static")
            continue;
        HICON icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
        for (const auto& kind : kinds)
            if (icon && icon == LoadIconA(nullptr, kind.Id))
                return kind.Kind;
    }
    return 0;
}

MessageBoxWatcher::MessageBoxWatcher()
{
    FHook = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
    if (!FHook)
        throw std::runtime_error("cannot install the message box hook: " + ErrorText(GetLastError()));
    FPrevious = ActiveWatcher;
    ActiveWatcher = this;
}

MessageBoxWatcher::~MessageBoxWatcher()
{
    UnhookWindowsHookEx(FHook);
    ActiveWatcher = FPrevious;
}

void MessageBoxWatcher::Answer(int commandId)
{
    FAnswers.push_back(commandId);
}

void MessageBoxWatcher::OnDialog(std::function<void(HWND)> action, const std::string& caption)
{
    FActions.push_back({caption, std::move(action)});
}

LRESULT CALLBACK MessageBoxWatcher::Hook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && ActiveWatcher)
        ActiveWatcher->Activated(reinterpret_cast<HWND>(wParam));
    if (code == HCBT_DESTROYWND && ActiveWatcher)
        ActiveWatcher->FSeen.erase(reinterpret_cast<HWND>(wParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void MessageBoxWatcher::Activated(HWND window)
{
    if (ClassOf(window) != "#32770" || !FSeen.insert(window).second)
        return;
    std::string caption = TextOf(window);
    for (auto action = FActions.begin(); action != FActions.end(); ++action) {
        if (action->Caption.empty() || action->Caption == caption) {
            auto run = std::move(action->Run);
            FActions.erase(action);
            run(window);
            return;
        }
    }
    if (!IsMessageBox(window))
        return;

    TMessageBoxRecord box;
    box.Caption = caption;
    box.Text = TextOf(GetDlgItem(window, 0xFFFF));
    box.Owner = GetWindow(window, GW_OWNER);
    box.Icon = IconKind(window);
    HWND first = nullptr;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) != "Button")
            continue;
        box.Buttons.push_back(TextOf(child));
        if (!first)
            first = child;
    }
    box.Clicked = first ? GetDlgCtrlID(first) : IDCANCEL;
    if (!FAnswers.empty()) {
        box.Clicked = FAnswers.front();
        FAnswers.erase(FAnswers.begin());
    }
    FBoxes.push_back(box);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(box.Clicked, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, box.Clicked)));
}

}  // namespace TestSupport
