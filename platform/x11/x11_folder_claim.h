#pragma once

// One strip per stored files on a display: the folder that holds the stored files belongs to one
// running copy. The copy that runs for a folder owns an X selection named after the folder; the
// server gives a selection to one client at a time and frees it when that client goes, however it
// goes, so no file marks the claim and none is left behind by a crash. A later start for the same
// folder finds the owner, asks it to come to the front and ends. The owner's window carries the
// folder in a property of its own, by which a later start tells a strip from another client that
// happens to own the selection.

#include <X11/Xlib.h>

#include <optional>
#include <string>

namespace dravix::x11 {

class FolderClaim {
public:
    enum class Outcome {
        held,    // this process holds the folder
        gaveWay, // a running strip holds it and was asked to come to the front
        foreign, // something that is no strip for this folder owns the selection
    };

    // The name of the selection that stands for the folder: an atom the caller may have asked
    // for ahead, together with others, so that the claim finds it in Xlib's cache.
    static std::string selectionNameFor(const std::string& folder);

    // Claims the folder for this process, or, when another copy holds it, asks that copy to come
    // to the front (it gets the message even when it is busy: it reads it when it is next idle).
    FolderClaim(Display* display, const std::string& folder);
    // Gives the folder up.
    ~FolderClaim();
    FolderClaim(const FolderClaim&) = delete;
    FolderClaim& operator=(const FolderClaim&) = delete;

    Outcome outcome() const { return outcome_; }
    bool held() const { return outcome_ == Outcome::held; }
    // The window that owned the selection when this process did not get it.
    Window holder() const { return holder_; }
    // The name of the selection, for messages.
    const std::string& selectionName() const { return selectionName_; }
    // The window that owns the selection and gets the requests; every event on it is the claim's.
    Window window() const { return owner_; }
    // The X server time of the later start when the event is its request to come to the front.
    std::optional<Time> frontRequest(const XEvent& event) const;

private:
    Display* display_;
    std::string selectionName_;
    Window owner_ = None;
    Window holder_ = None;
    Atom frontMessage_ = None;
    Outcome outcome_ = Outcome::foreign;
};

} // namespace dravix::x11
