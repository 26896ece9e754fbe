#include "platform/fltk/fltk_display.h"

#include "platform/fltk/fltk_internals.h"

#include <FL/Fl.H>
#include <FL/x.H>

#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>

#include <dlfcn.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace dravix::fltk {

namespace {

// The modifiers FLTK sets: the input method XMODIFIERS names, else the locale's own.
constexpr const char* toolkitModifiers = "@im=";

// Every atom FLTK 1.3 interns while opening the display and showing a borderless window, and those
// the backend asks for itself. Xlib keeps interned atoms in a per-display cache that XInternAtom
// looks in first, so asking for all of them at once turns some forty round trips into one.
// clang-format off
const char* const knownAtoms[] = {
    "WM_DELETE_WINDOW", "WM_PROTOCOLS", "_MOTIF_WM_HINTS", "TARGETS", "CLIPBOARD", "TIMESTAMP",
    "PRIMARY_TIMESTAMP", "CLIPBOARD_TIMESTAMP", "XdndAware", "XdndSelection", "XdndEnter",
    "XdndTypeList", "XdndPosition", "XdndLeave", "XdndDrop", "XdndStatus", "XdndActionCopy",
    "XdndFinished", "text/uri-list", "text/plain;charset=UTF-8", "text/plain;charset=utf-8",
    "text/plain", "TEXT", "COMPOUND_TEXT", "UTF8_STRING", "image/bmp", "image/png", "INCR",
    "_NET_WM_PID", "_NET_WM_NAME", "_NET_WM_ICON_NAME", "_NET_SUPPORTING_WM_CHECK",
    "_NET_WM_STATE", "_NET_WM_STATE_FULLSCREEN", "_NET_WM_FULLSCREEN_MONITORS", "_NET_WORKAREA",
    "_NET_WM_ICON", "_NET_ACTIVE_WINDOW", "WM_LOCALE_NAME", "_NET_WM_STATE_SKIP_TASKBAR",
    "_NET_WM_STATE_MODAL",
    // the backend's own: the strip's window and the panels' struts
    "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_NORMAL", "_NET_CLIENT_LIST",
    "_NET_WM_STRUT_PARTIAL", "_NET_WM_STRUT",
};
// clang-format on

bool inputMethodWanted = false;

// The handlers FLTK installs when it opens the display itself: an X error is reported as a
// warning and the program goes on; a lost connection ends it.
int reportXError(Display* display, XErrorEvent* error) {
    char request[128];
    char requestName[128];
    std::snprintf(request, sizeof request, "XRequest.%d", error->request_code);
    XGetErrorDatabaseText(display, "", request, request, requestName, sizeof requestName);
    char description[128];
    XGetErrorText(display, error->error_code, description, sizeof description);
    Fl::warning("%s: %s 0x%lx", requestName, description, error->resourceid);
    return 0;
}

int endOnLostConnection(Display*) {
    Fl::fatal("X I/O error");
    return 0;
}

void ignoreWarning(const char*, ...) {}

// One line for someone who started the program where no desktop session runs (a text console, ssh
// without X forwarding): the display it tried, or that none is named, and what it needs.
void reportNoDisplay() {
    const char* const name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0')
        std::fputs("dravix: cannot open the X display: DISPLAY is not set. Dravix needs an X11 or "
                   "XWayland desktop session.\n",
                   stderr);
    else
        std::fprintf(stderr,
                     "dravix: cannot open the X display \"%s\". Dravix needs an X11 or XWayland "
                     "desktop session.\n",
                     name);
}

} // namespace

void openDisplayWithoutInputMethod() {
    if (fl_display != nullptr)
        return;
    std::setlocale(LC_CTYPE, "");
    XSetIOErrorHandler(endOnLostConnection);
    XSetErrorHandler(reportXError);
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        reportNoDisplay();
        std::exit(1);
    }

    Atom atoms[std::size(knownAtoms)];
    XInternAtoms(display, const_cast<char**>(knownAtoms), std::size(knownAtoms), False, atoms);

    // FLTK warns that it found no input method; here that is the intent.
    auto* const warning = Fl::warning;
    Fl::warning = ignoreWarning;
    fl_open_display(display);
    Fl::warning = warning;
}

void openInputMethod() {
    if (inputMethodWanted || fl_display == nullptr)
        return;
    inputMethodWanted = true;
    // FLTK 1.3 opens its input method only inside fl_open_display(Display*), and only when it
    // has none yet. Running it again on the same connection does that now. The rest repeats
    // harmlessly: the atoms come from Xlib's cache, the connection's callback is replaced, and
    // the new description of the default visual replaces an equal one, released here. FLTK also
    // makes a second unmapped 1 x 1 window for its selections; the first one stays unused.
    XSetLocaleModifiers(toolkitModifiers);
    XVisualInfo* const oldVisual = fl_visual;
    fl_open_display(fl_display);
    if (oldVisual != fl_visual)
        XFree(oldVisual);
}

} // namespace dravix::fltk

DRAVIX_FLTK_INTERNALS_CHECKED(
    "opens its input method only through XOpenIM in fl_init_xim, from fl_open_display(Display*) "
    "and on EnterNotify while it has none, and that fl_open_display(Display*) may run again on "
    "the same connection");

// FLTK 1.3 asks Xlib for an input method when it opens the display and again each time the pointer
// enters one of its windows while it has none. This definition takes the place of Xlib's for the
// whole program: until openInputMethod() it answers at once that there is none, so neither the
// locale's X settings nor its Compose table are read; from then on it hands each call to Xlib.
extern "C" XIM XOpenIM(Display* display, XrmDatabase database, char* resourceName,
                       char* resourceClass) {
    if (!dravix::fltk::inputMethodWanted)
        return nullptr;
    using OpenFunction = XIM (*)(Display*, XrmDatabase, char*, char*);
    static const auto xlibOpen = reinterpret_cast<OpenFunction>(::dlsym(RTLD_NEXT, "XOpenIM"));
    if (xlibOpen == nullptr)
        return nullptr;
    return xlibOpen(display, database, resourceName, resourceClass);
}
