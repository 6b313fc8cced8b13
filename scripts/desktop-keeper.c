/* Keeps the prefix's desktop open for as long as a test run lasts.  wineserver closes a desktop one
   second after its last user process has ended (it unlinks it and sends WM_CLOSE to explorer.exe,
   its owner), and the next program that needs a window then starts a new explorer.exe /desktop.
   That explorer inherits the program's standard handles, so a test's output pipe stays open, and
   ctest waits for it, until the desktop closes again; and a program started while the old
   desktop is going away finds none.  Windows keeps its desktop for the whole session; so does a
   prefix while this program's message-only window is there.  scripts/wine-env.sh builds it for
   x86_64 and starts it after the wineserver; `wineserver -k` ends it. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    MSG message;
    int tries;
    (void)previous;
    (void)commandLine;
    (void)show;
    /* Retried: the first window of a prefix can meet a desktop that is still being made or closed. */
    for (tries = 0; !CreateWindowExA(0, "STATIC", "desktop keeper", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, instance, NULL);
         ++tries) {
        if (tries == 50)
            return 1;
        Sleep(100);
    }
    while (GetMessageA(&message, NULL, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
