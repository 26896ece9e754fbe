#pragma once

#include "platform/accessible.h"
#include "platform/win32/win32_accessible_view.h"

// Not uiautomation.h: the API header of mingw-w64 10 does not compile as C++ (a parameter named
// new); its functions are loaded at run time, declared where they are loaded.
#include <uiautomationclient.h>
#include <uiautomationcore.h>

#include <memory>

// The strip for UI Automation clients (Narrator): the window's fragment root, whose host is the
// window itself, and one fragment per node: a Button with its name, its path as help text, its
// digit as access key and its focus, pressed through the Invoke pattern; the toggle also through
// the ExpandCollapse pattern, whose state is the strip's. uiautomationcore.dll is loaded at the
// first client's question, and events are raised only from then on, while clients listen.
namespace dravix::win32 {

// The object id of WM_GETOBJECT with which UI Automation asks for a window's provider.
inline constexpr LONG uiaRootObjectId = -25;

class UiaProvider {
public:
    explicit UiaProvider(std::shared_ptr<const AccessibleView> view);
    ~UiaProvider();
    UiaProvider(const UiaProvider&) = delete;
    UiaProvider& operator=(const UiaProvider&) = delete;

    // WM_GETOBJECT for UiaRootObjectId: the fragment root, or nothing without UI Automation.
    bool answer(WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Raises the UI Automation events of a change: the children invalidated, the toggle's
    // expand-collapse state, a slot's name and help text, the focus.
    void changed(const AccessibleEvent& event);
    // Lets UI Automation release the providers it holds for the window, which is being destroyed.
    void windowDestroyed();

    struct Root;

private:
    Root* root_;
    bool asked_ = false;
};

} // namespace dravix::win32
