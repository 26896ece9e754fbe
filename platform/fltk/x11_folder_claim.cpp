#include "platform/fltk/x11_folder_claim.h"

#include <X11/Xatom.h>

namespace dravix::fltk {

namespace {

constexpr const char* selectionPrefix = "_DRAVIX_FOLDER_";
constexpr const char* frontMessageName = "_DRAVIX_TO_FRONT";

// The server's time now, which a selection owner should give instead of CurrentTime and which a
// window manager weighs a request to activate a window by: the time of a property change on our
// own window.
Time serverTime(Display* display, Window window, Atom property) {
    XChangeProperty(display, window, property, XA_STRING, 8, PropModeAppend, nullptr, 0);
    XEvent event;
    XWindowEvent(display, window, PropertyChangeMask, &event);
    return event.xproperty.time;
}

} // namespace

FolderClaim::FolderClaim(Display* display, const std::string& folder) : display_(display) {
    const std::string selectionName = selectionPrefix + folder;
    char* names[] = {const_cast<char*>(selectionName.c_str()), const_cast<char*>(frontMessageName)};
    Atom atoms[2];
    XInternAtoms(display, names, 2, False, atoms);
    const Atom selection = atoms[0];
    frontMessage_ = atoms[1];

    // An unmapped window that takes no input: it holds the selection and is the address for
    // requests; no event reaches it but those sent to it and its own property changes.
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    owner_ = XCreateWindow(display, DefaultRootWindow(display), -1, -1, 1, 1, 0, 0, InputOnly,
                           CopyFromParent, CWEventMask, &attributes);
    const Time now = serverTime(display, owner_, frontMessage_);

    // Under the grab no other copy can take the selection between the look and the claim, so two
    // copies started at once cannot both believe they hold the folder.
    XGrabServer(display);
    Window holder = XGetSelectionOwner(display, selection);
    if (holder == None) {
        XSetSelectionOwner(display, selection, owner_, now);
        holder = XGetSelectionOwner(display, selection);
    }
    XUngrabServer(display);
    held_ = holder == owner_;
    if (held_ || holder == None) {
        XFlush(display);
        return;
    }

    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = holder;
    request.xclient.message_type = frontMessage_;
    request.xclient.format = 32;
    request.xclient.data.l[0] = static_cast<long>(now);
    // With no event mask the message goes to the client that made the window, whatever it selects.
    XSendEvent(display, holder, False, NoEventMask, &request);
    XSync(display, False);
}

FolderClaim::~FolderClaim() {
    XDestroyWindow(display_, owner_);
    XFlush(display_);
}

std::optional<Time> FolderClaim::frontRequest(const XEvent& event) const {
    if (event.type != ClientMessage || event.xclient.window != owner_ ||
        event.xclient.message_type != frontMessage_ || event.xclient.format != 32)
        return std::nullopt;
    return static_cast<Time>(event.xclient.data.l[0]);
}

} // namespace dravix::fltk
