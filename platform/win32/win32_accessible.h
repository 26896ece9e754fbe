#pragma once

#include "platform/accessible.h"

#include <cstdint>
#include <memory>
#include <string>

struct HWND__;

// The strip for screen readers, two views over the accessible model's nodes. WM_GETOBJECT answers
// the window's UI Automation root (UiaRootObjectId) with a provider fragment root, for Narrator
// (win32_uia.h), and the client area (OBJID_CLIENT) with an MSAA IAccessible whose simple children
// are the nodes, child id node + 1, for older readers. Presses from either go through the window's
// queue. oleacc.dll and uiautomationcore.dll are each loaded only when a client first asks for
// that view.
namespace dravix::win32 {

class ScreenReaders {
public:
    ScreenReaders(HWND__* window, std::string title);
    ~ScreenReaders();
    ScreenReaders(const ScreenReaders&) = delete;
    ScreenReaders& operator=(const ScreenReaders&) = delete;

    // What the views read and press; nothing is answered until then.
    void attach(AccessibleSource* source);
    // WM_GETOBJECT: the answer for OBJID_CLIENT or UiaRootObjectId, or nothing for the default
    // handler.
    bool answer(std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result);
    // Tells listening clients: win events, and UI Automation events once a client has asked.
    void changed(const AccessibleEvent& event);
    // WM_DESTROY: the views let go of the window, and UI Automation of the providers.
    void windowDestroyed();
    // The window's message that carries a client's press (wParam: the node), delivered after the
    // client's call has returned.
    static unsigned pressMessage();
    // The window's message that has its thread look at the model for a client's call on another
    // thread; answerLook answers it.
    static unsigned lookMessage();
    static std::intptr_t answerLook(std::intptr_t request);

    struct Views;

private:
    std::unique_ptr<Views> views_;
};

} // namespace dravix::win32
