#include "FileCtrls.h"

#include <cctype>

namespace {

char UpperDrive(char Letter)
{
    return static_cast<char>(std::toupper(static_cast<unsigned char>(Letter)));
}

}  // namespace

void TDriveComboBox::Attached()
{
    const DWORD Drives = GetLogicalDrives();
    for (int Index = 0; Index < 26; ++Index)
        if (Drives & (1u << Index)) {
            const char Name[] = {static_cast<char>('A' + Index), ':', '\0'};
            SendMessageA(Handle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Name));
        }
}

char TDriveComboBox::Drive() const
{
    return Current;
}

void TDriveComboBox::SetDrive(char Value)
{
    Value = UpperDrive(Value);
    const char Name[] = {Value, ':', '\0'};
    const LRESULT Index =
        Value ? SendMessageA(Handle, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(Name)) : CB_ERR;
    SendMessageA(Handle, CB_SETCURSEL, static_cast<WPARAM>(Index), 0);
    if (Value == Current)
        return;
    Current = Value;
    if (OnChange)
        OnChange(this);
}

void TDriveComboBox::Command(WORD Code)
{
    if (Code != CBN_SELCHANGE)
        return;
    char Name[8] = "";
    const LRESULT Index = SendMessageA(Handle, CB_GETCURSEL, 0, 0);
    if (Index != CB_ERR)
        SendMessageA(Handle, CB_GETLBTEXT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(Name));
    SetDrive(Name[0]);
}

void TDirectoryListBox::Attached() {}

void TDirectoryListBox::SetDirectory(const AnsiString& Value)
{
    Current = Value;
    while (Current.size() > 3 && Current.back() == '\\')
        Current.pop_back();
    Fill();
}

void TDirectoryListBox::SetDrive(char Value)
{
    if (!Value || (!Current.empty() && UpperDrive(Current[0]) == UpperDrive(Value)))
        return;
    SetDirectory(AnsiString(1, UpperDrive(Value)) + ":\\");
}

void TDirectoryListBox::Command(WORD) {}

void TDirectoryListBox::Fill()
{
    SendMessageA(Handle, LB_RESETCONTENT, 0, 0);
    SendMessageA(Handle, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Current.c_str()));
}
