#include "AppFixture.h"

#include <commctrl.h>

KesterlyApp::KesterlyApp(TRulesForm* (*CreateMain)())
{
    new TApplication();
    Application->Initialize();
    Application->Title = "Kesterly";
    RulesForm = CreateMain();
    Application->CreateForm(RulesDirForm);
    Application->CreateForm(AboutForm);
}

KesterlyApp::~KesterlyApp()
{
    delete Application;
}

void KesterlyApp::Start()
{
    RulesForm->Show();
    Pump();
}

void KesterlyApp::Pump()
{
    MSG Message;
    while (PeekMessageW(&Message, nullptr, 0, 0, PM_REMOVE))
        Application->DispatchOne(Message);
}

void KesterlyApp::ClickAt(HWND Window, POINT Point)
{
    const LPARAM Where = MAKELPARAM(Point.x, Point.y);
    PostMessageA(Window, WM_LBUTTONDOWN, MK_LBUTTON, Where);
    PostMessageA(Window, WM_LBUTTONUP, 0, Where);
    Pump();
}

void KesterlyApp::Click(const TWinControl& Control)
{
    RECT Client;
    GetClientRect(Control.Handle, &Client);
    ClickAt(Control.Handle, {Client.right / 2, Client.bottom / 2});
}

void KesterlyApp::ClickTab(int Index)
{
    RECT Item;
    SendMessageA(RulesForm->GameTab.Handle, TCM_GETITEMRECT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&Item));
    ClickAt(RulesForm->GameTab.Handle, {(Item.left + Item.right) / 2, (Item.top + Item.bottom) / 2});
}

void KesterlyApp::ClickRule(int Index)
{
    RECT Item;
    SendMessageA(RulesForm->RulesList.Handle, LB_GETITEMRECT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&Item));
    ClickAt(RulesForm->RulesList.Handle, {(Item.left + Item.right) / 2, (Item.top + Item.bottom) / 2});
}

void KesterlyApp::Focus(const TWinControl& Control)
{
    SendMessageA(GetAncestor(Control.Handle, GA_ROOT), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Control.Handle), TRUE);
    Pump();
}

void KesterlyApp::Type(const std::string& Text)
{
    for (wchar_t Unit : WideText(Text)) {
        PostMessageW(GetFocus(), WM_CHAR, Unit, 1);
        Pump();
    }
}

void KesterlyApp::Press(UINT VirtualKey)
{
    HWND Target = GetFocus();
    const UINT Scan = MapVirtualKeyA(VirtualKey, MAPVK_VK_TO_VSC);
    PostMessageA(Target, WM_KEYDOWN, VirtualKey, 1 | (Scan << 16));
    PostMessageA(Target, WM_KEYUP, VirtualKey, 1 | (Scan << 16) | (3u << 30));
    Pump();
}

void KesterlyApp::PressAlt(char Letter)
{
    HWND Target = GetFocus();
    PostMessageA(Target, WM_SYSCHAR, static_cast<unsigned char>(Letter), 1 | (1u << 29));
    Pump();
}

void TypeInto(KesterlyApp& App, const TWinControl& Control, const std::string& Text)
{
    // As the keyboard delivers them: characters in UTF-16, whatever the code page of the text.
    for (wchar_t Unit : WideText(Text)) {
        PostMessageW(Control.Handle, WM_CHAR, Unit, 1);
        App.Pump();
    }
}

void PressOn(KesterlyApp& App, const TWinControl& Control, UINT VirtualKey)
{
    const UINT Scan = MapVirtualKeyA(VirtualKey, MAPVK_VK_TO_VSC);
    PostMessageA(Control.Handle, WM_KEYDOWN, VirtualKey, 1 | (Scan << 16));
    PostMessageA(Control.Handle, WM_KEYUP, VirtualKey, 1 | (Scan << 16) | (3u << 30));
    App.Pump();
}

void PressAltOn(KesterlyApp& App, const TWinControl& Control, char Letter)
{
    PostMessageA(Control.Handle, WM_SYSCHAR, static_cast<unsigned char>(Letter), 1 | (1u << 29));
    App.Pump();
}

#include "TestSupport.h"

void OnNextDialog(TestSupport::MessageBoxWatcher& Boxes, std::function<void(HWND)> Action)
{
    Boxes.OnDialog([&Boxes, Action](HWND Dialog) {
        if (RulesForm && Dialog == RulesForm->Handle)
            OnNextDialog(Boxes, Action);
        else
            Action(Dialog);
    });
}
