// Program entry: creates the three windows and runs the message loop.
#include "Unit1.h"
#include "Unit2.h"
#include "Unit3.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    TApplication Kesterly;
    try {
        Application->Initialize();
        Application->Title = "Kesterly";
        Application->CreateForm(RulesForm);
        Application->CreateForm(RulesDirForm);
        Application->CreateForm(AboutForm);
        Application->Run();
    } catch (const Exception& E) {
        Application->ShowException(E);
    } catch (const std::exception& E) {
        Application->ShowException(Exception(E.what()));
    }
    return 0;
}
