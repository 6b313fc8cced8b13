// Rules catalogue: the rules files of the current folder, the folder box and the choice of a file.
#include "IniFiles.h"
#include "Unit1.h"
#include "Unit2.h"

namespace {

const char NotFoundValue[] = "<not found>";

}  // namespace

void TRulesForm::ScanRulesFolder()
{
    const AnsiString Pattern = CurrentRulesFolder + "*.ini";
    const TListBox::TUpdate Refill(RulesList);
    RulesList.Items.Clear();
    NameList.Items.Clear();
    ForEachPlainFile(Pattern, [this](const TFoundFile& Found) {
        const AnsiString& FileName = Found.Name;
        AnsiString NameValue, MarkerValue;
        {
            TIniFile Ini(CurrentRulesFolder + FileName);
            NameValue = Ini.ReadString(IniSection, NameKey, NotFoundValue);
            MarkerValue = Ini.ReadString(IniSection, MarkerKey, NotFoundValue);
        }
        // The pattern matched, so the last four characters are the extension, in any letter case.
        const AnsiString ShortName = FileName.substr(0, FileName.size() < 4 ? 0 : FileName.size() - 4);
        if (!NamePrefix.empty() && NameValue.compare(0, NamePrefix.size(), NamePrefix) == 0) {
            // The prefix is ASCII: the rest of the value is cut at a character, and read as text.
            RulesList.Items.Add(ShortName + TextFromFile(NameValue.substr(NamePrefix.size())));
            NameList.Items.Add(FileName);
        } else if (!MarkerKey.empty() && MarkerValue != NotFoundValue) {
            RulesList.Items.Add(ShortName);
            NameList.Items.Add(FileName);
        }
        return true;
    });
}

void TRulesForm::RulesDirChange(TObject*)
{
    if (!RulesDir.Modified() && Activated == 0)
        return;
    Activated = 0;
    const AnsiString Text = RulesDir.Text();
    if (EndsWithBackslash(Text)) {
        CurrentRulesFolder = Text;
        ScanRulesFolder();
    } else {
        RulesList.Items.Clear();
        NameList.Items.Clear();
    }
}

int TRulesForm::SelectedRulesIndex()
{
    for (int Index = 0; Index < RulesList.Items.Count(); ++Index)
        if (RulesList.Selected(Index))
            return Index;
    return -1;
}

void TRulesForm::RulesListClick(TObject*)
{
    const int Index = SelectedRulesIndex();
    if (Index == -1) {
        RunButton.SetEnabled(false);
        return;
    }
    const AnsiString Chosen = CurrentRulesFolder + NameList.Items[Index];
    const AnsiString Installed = GameDir + "Rules.ini";
    RunButton.SetEnabled(!SameFileName(Chosen, Installed));
}

void TRulesForm::BrowseButtonClick(TObject*)
{
    if (Launching)
        return;
    if (RulesDirForm->ShowModal() != mrOk)
        return;
    CurrentRulesFolder = RulesDirForm->DirListBox.Directory() + "\\";
    RulesDir.SetText(CurrentRulesFolder);
    ScanRulesFolder();
}
