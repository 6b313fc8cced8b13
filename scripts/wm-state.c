/* The one duty of a window manager that Wine waits for, on a bare Xvfb display:
 * keeping the ICCCM WM_STATE property of top-level windows (Normal once mapped,
 * Withdrawn once unmapped).  Without it Wine waits 2 s for a window manager
 * every time it hides a window (each dialog, each message box).  Placement,
 * focus and activation stay Wine's, as they are without a window manager.
 * Exits when the display goes away.   Build: clang -O2 -o wm-state wm-state.c -lX11 */
#include <X11/Xlib.h>
#include <X11/Xutil.h>

static int IgnoreError(Display* display, XErrorEvent* error)
{
    (void)display;
    (void)error;
    return 0;  /* the window may be gone already */
}

int main(void)
{
    Display* display = XOpenDisplay(NULL);
    if (!display)
        return 1;
    XSetErrorHandler(IgnoreError);
    Atom wmState = XInternAtom(display, "WM_STATE", False);
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        long state[2] = {WithdrawnState, None};
        Window window;
        if (event.type == MapNotify && !event.xmap.override_redirect) {
            window = event.xmap.window;
            state[0] = NormalState;
        } else if (event.type == UnmapNotify) {
            window = event.xunmap.window;
        } else {
            continue;
        }
        XChangeProperty(display, window, wmState, wmState, 32, PropModeReplace, (unsigned char*)state, 2);
        XFlush(display);
    }
}
