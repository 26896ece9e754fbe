#include "tests/support/x11/xdnd_source.h"

#include "platform/x11/x11_properties.h"

#include <X11/Xatom.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace dravix::x11test {

namespace {

constexpr long protocolVersion = 5;

class DropSource {
public:
    DropSource(Display* display, Window target) : display_(display), target_(target) {
        source_ = XCreateWindow(display_, DefaultRootWindow(display_), -10, -10, 1, 1, 0,
                                CopyFromParent, InputOnly, CopyFromParent, 0, nullptr);
    }
    ~DropSource() {
        XDestroyWindow(display_, source_);
        XSync(display_, False);
    }
    DropSource(const DropSource&) = delete;
    DropSource& operator=(const DropSource&) = delete;

    // The version the target announces in XdndAware; 0 when it has none.
    long targetVersion() {
        const std::vector<long> version =
            x11::cardinals(display_, target_, atom("XdndAware"), 1, XA_ATOM);
        return version.size() == 1 ? version[0] : 0;
    }

    void send(const char* message, long d1, long d2, long d3, long d4) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = target_;
        event.xclient.message_type = atom(message);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(source_);
        event.xclient.data.l[1] = d1;
        event.xclient.data.l[2] = d2;
        event.xclient.data.l[3] = d3;
        event.xclient.data.l[4] = d4;
        XSendEvent(display_, target_, False, NoEventMask, &event);
        XFlush(display_);
    }

    // Handles the events for the source window until `until` holds or the time is up; data
    // requests are answered with the data on the way.
    bool serve(const std::function<bool(const XEvent&)>& until, const std::string& type,
               const std::string& data, bool& fetched, Milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            while (XPending(display_) > 0) {
                XEvent event;
                XNextEvent(display_, &event);
                if (event.type == SelectionRequest && event.xselectionrequest.owner == source_) {
                    fetched = fetched || answer(event.xselectionrequest, type, data);
                    continue;
                }
                if (until(event))
                    return true;
            }
            std::this_thread::sleep_for(Milliseconds(5));
        }
        return false;
    }

    bool isMessage(const XEvent& event, const char* message) {
        return event.type == ClientMessage && event.xclient.window == source_ &&
               event.xclient.message_type == atom(message);
    }

    Window source() const { return source_; }
    Atom atom(const char* name) { return XInternAtom(display_, name, False); }

private:
    // Puts the data on the requestor's property when it asks for the offered type, refuses
    // anything else; true when the data went out.
    bool answer(const XSelectionRequestEvent& request, const std::string& type,
                const std::string& data) {
        XEvent reply{};
        reply.xselection.type = SelectionNotify;
        reply.xselection.requestor = request.requestor;
        reply.xselection.selection = request.selection;
        reply.xselection.target = request.target;
        reply.xselection.time = request.time;
        reply.xselection.property = None;
        const Atom property = request.property != None ? request.property : request.target;
        const bool served = request.target == atom(type.c_str());
        if (served) {
            XChangeProperty(display_, request.requestor, property, request.target, 8,
                            PropModeReplace, reinterpret_cast<const unsigned char*>(data.data()),
                            static_cast<int>(data.size()));
            reply.xselection.property = property;
        }
        XSendEvent(display_, request.requestor, False, NoEventMask, &reply);
        XFlush(display_);
        return served;
    }

    Display* display_;
    Window target_;
    Window source_ = None;
};

} // namespace

DropOutcome dropOn(XConnection& x, Window target, int rootX, int rootY, const std::string& type,
                   const std::string& data, Milliseconds timeout) {
    DropOutcome outcome;
    DropSource source(x.display(), target);
    const long version = std::min(source.targetVersion(), protocolVersion);
    outcome.aware = version > 0;
    if (!outcome.aware)
        return outcome;
    XSetSelectionOwner(x.display(), source.atom("XdndSelection"), source.source(), CurrentTime);

    source.send("XdndEnter", version << 24, static_cast<long>(source.atom(type.c_str())), None,
                None);
    source.send("XdndPosition", 0, (static_cast<long>(rootX) << 16) | (rootY & 0xffff), CurrentTime,
                static_cast<long>(source.atom("XdndActionCopy")));
    bool fetched = false;
    source.serve(
        [&](const XEvent& event) {
            if (!source.isMessage(event, "XdndStatus"))
                return false;
            outcome.accepted = (event.xclient.data.l[1] & 1) != 0;
            return true;
        },
        type, data, fetched, timeout);
    if (!outcome.accepted) {
        source.send("XdndLeave", 0, 0, 0, 0);
        return outcome;
    }

    source.send("XdndDrop", 0, CurrentTime, 0, 0);
    outcome.finished =
        source.serve([&](const XEvent& event) { return source.isMessage(event, "XdndFinished"); },
                     type, data, fetched, timeout);
    outcome.fetched = fetched;
    return outcome;
}

} // namespace dravix::x11test
