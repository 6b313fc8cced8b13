// Drive box and directory list: the two halves of a folder chooser.
#pragma once
#include <vector>

#include "Controls.h"

// A drop-down list of the machine's drives (an owner-drawn CBS_DROPDOWNLIST | CBS_HASSTRINGS combo
// box), each with a small picture of its kind and, in upper case, its letter and volume label:
// "C: [SYSTEM]". A fixed or RAM drive without a label shows its kind, "C: [LOCAL DISK]"; drives
// that may have no medium or may be slow to answer are never asked for a label and always show
// their kind: "A: [REMOVABLE DISK]", "D: [CD DRIVE]", "N: [NETWORK DRIVE]". No probe lets the
// system show its "insert a disk" box. The drives are read again each time the user opens the
// list, so that a drive added since start-up appears.
class TDriveComboBox : public TWinControl {
public:
    void Attached() override;
    // The selected drive letter, upper case; '\0' when no drive is selected.
    char Drive() const;
    // Selects the drive of that letter, in either case; a character that names no drive here
    // ('\0' included) selects none. Raises OnChange when Drive() changes.
    void SetDrive(char Value);
    // Raised when the selected drive changes, by the user's choice or by SetDrive.
    TNotifyEvent OnChange;
    // Height of the selection field and of each item of the list, in pixels at 96 DPI.
    void SetItemHeight(int Pixels);
    void Command(WORD Code) override;
    void DrawItem(const DRAWITEMSTRUCT& Item) override;

private:
    void ReadDrives();
    int IndexOf(char Letter) const;
    void Changed();
    char Reported = '\0';  // the drive OnChange last reported
};

// One drive's folders as far as the current folder (an owner-drawn LBS_OWNERDRAWFIXED |
// LBS_HASSTRINGS | LBS_NOTIFY list box): the drive's root, then each folder down to the current
// one, each level indented a little further, with open-folder pictures; then the current folder's
// subfolders with closed-folder pictures, sorted by name without regard to letter case. Hidden and
// system folders are left out. The current folder is selected after each move.
//
// Keyboard and mouse: a double-click or Enter opens the selected item, Backspace opens the parent.
// Enter belongs to the list only while the selected item is a folder other than the current one;
// on the current folder it goes on to the dialog's default button. So a user who walks the tree
// with the arrows and Enter accepts the folder reached with one more Enter, as in the system's
// older file dialogs.
class TDirectoryListBox : public TWinControl {
public:
    ~TDirectoryListBox() override;
    // Opens on the process's current folder.
    void Attached() override;
    // The current folder as a full path: names as the file system spells them, the drive letter in
    // upper case, no closing backslash except at a drive's root ("C:\" or "C:\Rules").
    AnsiString Directory() const { return Current; }
    // Opens a folder. Any text is taken, and the list shows no error of its own:
    // - empty text: the process's current folder;
    // - a relative path ("Rules", "..\Rules"), a path without a drive letter ("\Rules") or a
    //   drive-relative one ("D:Rules"): resolved as the system resolves it, against the current
    //   folder, the current drive or that drive's current folder;
    // - forward slashes, doubled or closing backslashes, "." and "..", a lower-case drive letter:
    //   normalised, the same folder;
    // - a folder that does not exist, or a file: the nearest existing folder above it;
    // - a drive without a medium, or a letter that names no drive: that drive's root alone, with
    //   no subfolders;
    // - a network path (\\server\share) or other text without a drive: the process's current folder.
    void SetDirectory(const AnsiString& Value);
    // Moves to another drive: to the process's current folder on that drive, else its root. The
    // drive the directory already lies on, and a character that is no drive letter, change nothing.
    void SetDrive(char Value);
    // Height of each item, in pixels at 96 DPI.
    void SetItemHeight(int Pixels);
    void Command(WORD Code) override;
    void DrawItem(const DRAWITEMSTRUCT& Item) override;

private:
    static LRESULT CALLBACK ListProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam, UINT_PTR Id,
                                     DWORD_PTR Data);
    LRESULT HandleListMessage(UINT Message, WPARAM WParam, LPARAM LParam);
    int SelectedIndex() const;
    bool CanOpenSelected() const;
    void Open(int Index);
    void Fill();

    AnsiString Current;
    std::vector<AnsiString> Paths;  // the full path of each item
    int PathLevels = 0;             // items below this index are the path down to Current
};
