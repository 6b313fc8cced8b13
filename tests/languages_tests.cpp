// Every language's windows, made in turn as Windows makes them for a player of that language: each
// control's text fits the control, and within each window every underlined letter is used once.
#include "AppFixture.h"
#include "resource.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <set>

namespace {

std::wstring TextOf(HWND Window)
{
    std::wstring Text(static_cast<size_t>(GetWindowTextLengthW(Window)) + 1, L'\0');
    Text.resize(static_cast<size_t>(GetWindowTextW(Window, &Text[0], static_cast<int>(Text.size()))));
    return Text;
}

// Checks the texts of a form's controls; Where names the language and the form.
void ExpectTextsFit(const TForm& Form, const std::string& Where)
{
    std::set<wchar_t> Underlined;
    for (HWND Control = GetWindow(Form.Handle, GW_CHILD); Control; Control = GetWindow(Control, GW_HWNDNEXT)) {
        const std::wstring Text = TextOf(Control);
        if (Text.empty())
            continue;
        const std::string Name = Where + ", control " + std::to_string(GetDlgCtrlID(Control));
        RECT Client;
        GetClientRect(Control, &Client);
        const bool Button = (SendMessageW(Control, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON) != 0;
        if (Button) {
            SIZE Ideal = {};  // with the glyph, the margins and the focus frame
            SendMessageW(Control, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&Ideal));
            EXPECT_TRUE(Ideal.cx <= Client.right && Ideal.cy <= Client.bottom) << Name << " needs " << Ideal.cx;
        } else {  // a label, in its own font, wrapped where it wraps its text
            HDC Dc = GetDC(Control);
            const HGDIOBJ Old = SelectObject(Dc, reinterpret_cast<HFONT>(SendMessageW(Control, WM_GETFONT, 0, 0)));
            RECT Needed = {0, 0, Client.right, 0};
            DrawTextW(Dc, Text.c_str(), -1, &Needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
            SelectObject(Dc, Old);
            ReleaseDC(Control, Dc);
            // No wider, and in no more lines, than it has room for.
            EXPECT_TRUE(Needed.right <= Client.right && Needed.bottom <= Client.bottom) << Name;
        }
        const bool Marks = Button || !(GetWindowLongW(Control, GWL_STYLE) & SS_NOPREFIX);
        const size_t Mark = Marks ? Text.find(L'&') : std::wstring::npos;
        if (Mark != std::wstring::npos && Mark + 1 < Text.size()) {
            const auto Letter = reinterpret_cast<ULONG_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(Text[Mark + 1])));
            EXPECT_TRUE(Underlined.insert(static_cast<wchar_t>(Letter)).second) << Name << ": its letter is taken";
        }
    }
}

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD Language, LONG_PTR List)
{
    reinterpret_cast<std::vector<WORD>*>(List)->push_back(Language);
    return TRUE;
}

TEST(Languages, EveryWindowsTextsFitAndTheirUnderlinedLettersDiffer)
{
    std::vector<WORD> Languages;
    EnumResourceLanguagesW(nullptr, MAKEINTRESOURCEW(5) /* RT_DIALOG */, MAKEINTRESOURCEW(IDD_RULESFORM), AddLanguage,
                           reinterpret_cast<LONG_PTR>(&Languages));
    ASSERT_EQ(Languages.size(), 6u);  // English, German, French, Spanish, Russian, Polish
    std::set<std::wstring> Quits;
    for (WORD Language : Languages) {
        ResourceLanguage = Language;
        KesterlyApp App;
        const std::string Where = "language " + std::to_string(Language);
        ExpectTextsFit(App.Form(), Where + ", main window");
        ExpectTextsFit(*RulesDirForm, Where + ", folder chooser");
        ExpectTextsFit(*AboutForm, Where + ", About box");
        Quits.insert(TextOf(App.Form().QuitButton.Handle));
    }
    ResourceLanguage = 0;
    EXPECT_EQ(Quits.size(), Languages.size());  // each language's own windows were made
}

}  // namespace
