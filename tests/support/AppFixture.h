// The program's three windows, created as start-up creates them, and a user at the keyboard
// and mouse: input goes in as real window messages through the dialog manager.
#pragma once
#include <string>
#include <vector>

#include "Unit1.h"
#include "Unit2.h"
#include "Unit3.h"

// The lines of a list box and the captions of a tab control, in order.
inline std::vector<std::string> Items(const TListBox& List)
{
    std::vector<std::string> Result;
    for (int Index = 0; Index < List.Items.Count(); ++Index)
        Result.push_back(List.Items[Index]);
    return Result;
}

inline std::vector<std::string> TabCaptions(const TTabControl& Tabs)
{
    std::vector<std::string> Result;
    for (int Index = 0; Index < Tabs.Tabs.Count(); ++Index)
        Result.push_back(Tabs.Tabs[Index]);
    return Result;
}

// Reads and sets the main window's private state.
struct RulesFormProbe {
    explicit RulesFormProbe(TRulesForm& Form) : F(Form) {}
    TRulesForm& F;

    AnsiString& TSRulesFolder() { return F.TSRulesFolder; }
    AnsiString& RARulesFolder() { return F.RARulesFolder; }
    AnsiString& CurrentRulesFolder() { return F.CurrentRulesFolder; }
    AnsiString& TSGameDir() { return F.TSGameDir; }
    AnsiString& RAGameDir() { return F.RAGameDir; }
    AnsiString& GameDir() { return F.GameDir; }
    AnsiString& TSGameExe() { return F.TSGameExe; }
    AnsiString& RAGameExe() { return F.RAGameExe; }
    AnsiString& GameExe() { return F.GameExe; }
    AnsiString& IniSection() { return F.IniSection; }
    AnsiString& NameKey() { return F.NameKey; }
    AnsiString& NamePrefix() { return F.NamePrefix; }
    AnsiString& MarkerKey() { return F.MarkerKey; }
    int& Activated() { return F.Activated; }

    void ScanRulesFolder() { F.ScanRulesFolder(); }
    int SelectedRulesIndex() { return F.SelectedRulesIndex(); }
    void ApplyGameProfile() { F.ApplyGameProfile(); }
    void SaveSettings() { F.SaveSettings(); }
    void LoadSettings() { F.LoadSettings(); }
    void StartGame() { F.StartGame(); }
    AnsiString KeepInstalledRules(const AnsiString& Replacement) { return F.KeepInstalledRules(Replacement); }
    void ShowSystemError(unsigned long Code) { F.ShowSystemError(Code); }
};

class KesterlyApp {
public:
    KesterlyApp() : KesterlyApp(MainForm<TRulesForm>) {}  // Initialize, title, the three windows in start-up order; no message loop
    // The same with a main window made by CreateMain, e.g. MainForm<T> for a class T derived from TRulesForm.
    explicit KesterlyApp(TRulesForm* (*CreateMain)());
    template <class T>
    static TRulesForm* MainForm()
    {
        T* Form = nullptr;
        Application->CreateForm(Form);
        return Form;
    }
    ~KesterlyApp();  // destroys the windows and the application object
    KesterlyApp(const KesterlyApp&) = delete;
    KesterlyApp& operator=(const KesterlyApp&) = delete;

    // Shows the main window; its first activation runs the activation sequence. Then pumps.
    void Start();
    // Handles the waiting messages through the dialog manager, as the message loop does.
    void Pump();

    TRulesForm& Form() { return *RulesForm; }
    RulesFormProbe Probe() { return RulesFormProbe(*RulesForm); }

    // A left click at the centre of a control's client area (or at a point in it).
    void Click(const TWinControl& Control);
    void ClickAt(HWND Window, POINT Point);
    void ClickTab(int Index);
    void ClickRule(int Index);
    // Gives a control the keyboard focus, as the dialog manager does.
    void Focus(const TWinControl& Control);
    // Characters typed into the control that has the focus.
    void Type(const std::string& Text);
    // A key pressed and released on the control that has the focus (Enter, Escape, arrows...).
    void Press(UINT VirtualKey);
    // Alt plus a letter, for accelerators.
    void PressAlt(char Letter);

    bool Terminated() const { return Application->Terminated; }
};

// Input aimed at a given control, as if it had the focus. Unlike Type, Press and PressAlt, these
// do not depend on the window being active: a test program running beside others on the same
// display may lose the foreground, and with it the focus, at any moment.
void TypeInto(KesterlyApp& App, const TWinControl& Control, const std::string& Text);
void PressOn(KesterlyApp& App, const TWinControl& Control, UINT VirtualKey);
void PressAltOn(KesterlyApp& App, const TWinControl& Control, char Letter);

namespace TestSupport {
class MessageBoxWatcher;
}
// Hands the next of the program's dialogs to be shown to Action (Boxes.OnDialog), passing over the
// main window, which a watcher also sees when it comes back to the front.
void OnNextDialog(TestSupport::MessageBoxWatcher& Boxes, std::function<void(HWND)> Action);
