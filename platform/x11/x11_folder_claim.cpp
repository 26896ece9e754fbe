#include "platform/x11/x11_folder_claim.h"

#include <X11/Xatom.h>

namespace dravix::x11 {

namespace {

constexpr const char* selectionPrefix = "_DRAVIX_FOLDER_";
constexpr const char* frontMessageName = "_DRAVIX_TO_FRONT";
// On the owner's window: the folder it holds, as text.
constexpr const char* claimPropertyName = "_DRAVIX_CLAIM";

// The server's time now, which a selection owner should give instead of CurrentTime and which a
// window manager weighs a request to activate a window by: the time of a property change on our
// own window.
Time serverTime(Display* display, Window window, Atom property) {
    XChangeProperty(display, window, property, XA_STRING, 8, PropModeAppend, nullptr, 0);
    XEvent event;
    XWindowEvent(display, window, PropertyChangeMask, &event);
    return event.xproperty.time;
}

// Whether the window carries the claim on exactly this folder, as every strip's owner window does
// from before it takes the selection.
bool claimsFolder(Display* display, Window window, Atom property, const std::string& folder) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const long longs = static_cast<long>(folder.size() / 4 + 2);
    if (XGetWindowProperty(display, window, property, 0, longs, False, XA_STRING, &type, &format,
                           &count, &remaining, &data) != Success)
        return false;
    const bool same = type == XA_STRING && format == 8 && remaining == 0 && data != nullptr &&
                      std::string(reinterpret_cast<const char*>(data), count) == folder;
    if (data != nullptr)
        XFree(data);
    return same;
}

} // namespace

std::string FolderClaim::selectionNameFor(const std::string& folder) {
    return selectionPrefix + folder;
}

FolderClaim::FolderClaim(Display* display, const std::string& folder)
    : display_(display), selectionName_(selectionNameFor(folder)) {
    char* names[] = {const_cast<char*>(selectionName_.c_str()), const_cast<char*>(frontMessageName),
                     const_cast<char*>(claimPropertyName)};
    Atom atoms[3];
    XInternAtoms(display, names, 3, False, atoms);
    const Atom selection = atoms[0];
    frontMessage_ = atoms[1];
    const Atom claimProperty = atoms[2];

    // An unmapped window that takes no input: it holds the selection and is the address for
    // requests; no event reaches it but those sent to it and its own property changes.
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    owner_ = XCreateWindow(display, DefaultRootWindow(display), -1, -1, 1, 1, 0, 0, InputOnly,
                           CopyFromParent, CWEventMask, &attributes);
    XChangeProperty(display, owner_, claimProperty, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(folder.data()),
                    static_cast<int>(folder.size()));

    // Under the grab no other copy can take the selection between the look and the claim, so two
    // copies started at once cannot both believe they hold the folder; nor can the holder go
    // between the look and the reading of its property. A free folder is claimed in this one
    // round trip: the selection is taken at CurrentTime, which always succeeds (a time of the
    // server's own could lie before the last change of a selection whose owner has gone), and
    // nobody can have taken it under the grab.
    XGrabServer(display);
    holder_ = XGetSelectionOwner(display, selection);
    if (holder_ == None) {
        XSetSelectionOwner(display, selection, owner_, CurrentTime);
        XUngrabServer(display);
        holder_ = owner_;
        outcome_ = Outcome::held;
        XFlush(display);
        return;
    }
    const bool strip = holder_ != owner_ && claimsFolder(display, holder_, claimProperty, folder);
    XUngrabServer(display);
    if (!strip) {
        outcome_ = Outcome::foreign;
        XFlush(display);
        return;
    }
    // The running strip's window manager weighs the request to come forward by its time.
    const Time now = serverTime(display, owner_, frontMessage_);
    outcome_ = Outcome::gaveWay;

    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = holder_;
    request.xclient.message_type = frontMessage_;
    request.xclient.format = 32;
    request.xclient.data.l[0] = static_cast<long>(now);
    // With no event mask the message goes to the client that made the window, whatever it selects.
    XSendEvent(display, holder_, False, NoEventMask, &request);
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

} // namespace dravix::x11
