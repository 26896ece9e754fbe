#pragma once

#include "platform/accessible.h"

#include <cstdint>
#include <string>

struct HWND__;

// The strip for MSAA clients (older screen readers, and Narrator through its MSAA proxy): one
// IAccessible for the window's client area, whose simple children are the accessible model's
// nodes, child id node + 1. oleacc.dll is loaded only when a client first asks.
namespace dravix::win32 {

class MsaaClient {
public:
    MsaaClient(HWND__* window, std::string title);
    ~MsaaClient();
    MsaaClient(const MsaaClient&) = delete;
    MsaaClient& operator=(const MsaaClient&) = delete;

    // What the object reads and presses; nothing is answered until then.
    void attach(AccessibleSource* source);
    // WM_GETOBJECT: the answer for OBJID_CLIENT, or nothing for the default handler.
    bool answer(std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result);
    // Tells listening clients (NotifyWinEvent).
    void changed(const AccessibleEvent& event);
    // The window's message that carries a client's press (wParam: the node), delivered after the
    // client's call has returned.
    static unsigned pressMessage();

    struct Object; // the COM object, reference-counted: clients may hold it past the window

private:
    HWND__* window_;
    Object* object_ = nullptr;
};

} // namespace dravix::win32
