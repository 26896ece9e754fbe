#pragma once

#include "platform/accessible.h"

#include <windows.h>

#include <oleauto.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// What the MSAA object and the UI Automation providers share: one view of the accessible model
// for both kinds of client, and the small COM helpers both need.
namespace dravix::win32 {

// The window the views speak for and the source they read and press. UI Automation calls its
// providers from threads of its own, so every look at the model is taken on the window's thread:
// the caller sends the window a message and waits (look). The window is null once it is gone:
// clients may hold the COM objects longer, which then find nothing.
struct AccessibleView {
    // What one look sees: the nodes, and whether the window has the keyboard focus.
    struct Look {
        std::vector<AccessibleNode> nodes;
        bool focus = false;
    };

    AccessibleView(HWND owner, std::string name) : window(owner), title(std::move(name)) {}

    std::atomic<HWND> window;
    const std::string title;
    AccessibleSource* source = nullptr; // read on the window's thread alone

    Look look() const;
    std::vector<AccessibleNode> nodes() const { return look().nodes; }
    bool hasFocus() const { return look().focus; }
    // The node of that id, or nothing when it is gone (a slot while the strip is closed).
    std::optional<AccessibleNode> node(int id) const;
    // The node with the keyboard focus, while the window has it.
    std::optional<AccessibleNode> focusedNode() const;
    // The window's area on the screen; empty once the window is gone.
    RECT area() const;
    // The node at a screen point, or nothing (the window's own area, or outside it).
    std::optional<AccessibleNode> nodeAt(long x, long y) const;
    // Presses the node through the window's queue: the core's handler may open a box, whose modal
    // loop must not run inside a client's call. False when there is no such node.
    bool press(int id) const;
};

// The window's message that takes a look for another thread (lParam: the request), answered on
// the window's thread by answerAccessibleLook.
unsigned accessibleLookMessage();
LRESULT answerAccessibleLook(LPARAM request);

// The window's message that carries a client's press (wParam: the node).
unsigned accessiblePressMessage();

BSTR bstrOf(std::string_view utf8);

// A function of a library loaded at run time, or null when the library or the name is missing.
template <typename Function> Function libraryFunction(HMODULE library, const char* name) {
    if (library == nullptr)
        return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// The reference count of a COM object that implements the given interfaces; the object deletes
// itself at the last Release.
template <typename... Interfaces> struct CountedObject : Interfaces... {
    virtual ~CountedObject() = default;
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = --references_;
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

private:
    LONG references_ = 1;
};

// Hands out an interface of an object with one more reference.
template <typename Interface> HRESULT handOut(Interface* object, void** out) {
    object->AddRef();
    *out = object;
    return S_OK;
}

} // namespace dravix::win32
