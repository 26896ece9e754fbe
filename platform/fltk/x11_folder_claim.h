#pragma once

// One strip per folder on a display: the stored files beside the executable belong to one running
// copy. The copy that runs from a folder owns an X selection named after the folder; the server
// gives a selection to one client at a time and frees it when that client goes, however it goes,
// so no file marks the claim and none is left behind by a crash. A later start from the same
// folder finds the owner, asks it to come to the front and ends.

#include <X11/Xlib.h>

#include <optional>
#include <string>

namespace dravix::fltk {

class FolderClaim {
public:
    // Claims the folder for this process, or, when another copy holds it, asks that copy to come
    // to the front (it gets the message even when it is busy: it reads it when it is next idle).
    FolderClaim(Display* display, const std::string& folder);
    // Gives the folder up.
    ~FolderClaim();
    FolderClaim(const FolderClaim&) = delete;
    FolderClaim& operator=(const FolderClaim&) = delete;

    // Whether this process holds the folder.
    bool held() const { return held_; }
    // The window that owns the selection and gets the requests; every event on it is the claim's.
    Window window() const { return owner_; }
    // The X server time of the later start when the event is its request to come to the front.
    std::optional<Time> frontRequest(const XEvent& event) const;

private:
    Display* display_;
    Window owner_ = None;
    Atom frontMessage_ = None;
    bool held_ = false;
};

} // namespace dravix::fltk
