#include "platform/fltk/fltk_display.h"

#include "platform/fltk/fltk_internals.h"
#include "platform/fltk/x11_work_area.h"

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
#include <string_view>
#include <vector>

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
    // the backend's own: the strip's window, the claim on the folder (its fixed names) and the
    // work area
    "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_NORMAL", "_NET_WM_DESKTOP",
    "_NET_WM_STATE_STICKY", "_DRAVIX_TO_FRONT", "_DRAVIX_CLAIM", "_NET_CLIENT_LIST",
    "_NET_CURRENT_DESKTOP", "_NET_WM_STRUT_PARTIAL", "_NET_WM_STRUT", "_NET_WM_WINDOW_TYPE_DOCK",
};
// clang-format on

bool inputMethodWanted = false;
// While FLTK opens the display it loads libXrandr only to hear of screen changes; the work area
// hears of them from the root window itself (see MonitorReader), so the library is not loaded
// then. FLTK loads it again when a dialog first asks for the screens.
bool refuseScreenLibrary = false;

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

void openDisplayWithoutInputMethod(std::span<const std::string> moreAtoms) {
    if (fl_display != nullptr)
        return;
    XSetIOErrorHandler(endOnLostConnection);
    XSetErrorHandler(reportXError);
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        reportNoDisplay();
        std::exit(1);
    }

    // The screens' extension is asked for first: its answer comes in before the atoms', so the
    // work area's first reading finds it without a round trip of its own.
    prefetchScreenExtension(display);
    std::vector<char*> names;
    for (const char* const name : knownAtoms)
        names.push_back(const_cast<char*>(name));
    for (const std::string& name : moreAtoms)
        names.push_back(const_cast<char*>(name.c_str()));
    std::vector<Atom> atoms(names.size());
    XInternAtoms(display, names.data(), static_cast<int>(names.size()), False, atoms.data());

    // FLTK warns that it found no input method; here that is the intent.
    auto* const warning = Fl::warning;
    Fl::warning = ignoreWarning;
    refuseScreenLibrary = true;
    fl_open_display(display);
    refuseScreenLibrary = false;
    Fl::warning = warning;
}

void openInputMethod() {
    if (inputMethodWanted || fl_display == nullptr)
        return;
    inputMethodWanted = true;
    // The locale's character type, which the input method follows; nothing before needs it (the
    // text the program draws is UTF-8 to FLTK in any locale), and setting it reads five files.
    std::setlocale(LC_CTYPE, "");
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

DRAVIX_FLTK_INTERNALS_CHECKED(
    "asks XFixes only for clipboard changes, through XFixesQueryExtension in fl_open_display and "
    "XFixesSelectSelectionInput once that said yes, and loads libXrandr in fl_open_display with "
    "dlopen(\"libXrandr.so.2\"), going on without it when that fails");

// The program asks for no clipboard changes, so XFixes is never needed: these definitions take
// the place of libXfixes' for the whole program (which is then not loaded at all), and its query
// (two round trips at the start) answers at once that there is none.
extern "C" Bool XFixesQueryExtension(Display*, int*, int*) {
    return False;
}

extern "C" void XFixesSelectSelectionInput(Display*, Window, Atom, unsigned long) {}

// libXcursor names the cursors it loads for screen magnifiers; the strip shows FLTK's default
// cursor only, which needs no name.
extern "C" void XFixesSetCursorName(Display*, Cursor, const char*) {}

// Takes the place of the C library's dlopen for the whole program and hands every call on, but
// for libXrandr while FLTK opens the display.
extern "C" void* dlopen(const char* file, int mode) {
    if (dravix::fltk::refuseScreenLibrary && file != nullptr &&
        std::string_view(file).starts_with("libXrandr"))
        return nullptr;
    using OpenFunction = void* (*)(const char*, int);
    static const auto libraryOpen = reinterpret_cast<OpenFunction>(::dlsym(RTLD_NEXT, "dlopen"));
    return libraryOpen != nullptr ? libraryOpen(file, mode) : nullptr;
}

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
