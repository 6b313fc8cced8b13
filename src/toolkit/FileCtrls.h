// Drive box and directory list.
#pragma once
#include "Controls.h"

// A drop-down list of the machine's drives, shown in upper case.
class TDriveComboBox : public TWinControl {
public:
    void Attached() override;
    // The selected drive letter, upper case; '\0' when none.
    char Drive() const;
    // Selects a drive (any letter case); raises OnChange when the drive changes. '\0' selects none.
    void SetDrive(char Value);
    TNotifyEvent OnChange;
    void Command(WORD Code) override;

private:
    char Current = '\0';
};

// The path from a drive's root down to the current folder, then that folder's subfolders.
class TDirectoryListBox : public TWinControl {
public:
    void Attached() override;
    // The current folder as a full path, without a closing backslash except at a drive's root.
    AnsiString Directory() const { return Current; }
    void SetDirectory(const AnsiString& Value);
    // Moves to another drive's current folder; the drive the directory lies on changes nothing.
    void SetDrive(char Value);
    void Command(WORD Code) override;

private:
    AnsiString Current;
    void Fill();
};
