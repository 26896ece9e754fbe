#include "platform/win32/win32_uia.h"

#include <cmath>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

// The two pattern interfaces, missing from mingw-w64's headers, as UIAutomationCore.idl declares
// them: the same methods in the same order, and their documented IIDs.
#ifndef __IInvokeProvider_INTERFACE_DEFINED__
#define __IInvokeProvider_INTERFACE_DEFINED__
struct IInvokeProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke() = 0;
};
__CRT_UUID_DECL(IInvokeProvider, 0x54fcb24b, 0xe18e, 0x47a2, 0xb4, 0xd3, 0xec, 0xcb, 0xe7, 0x75,
                0x99, 0xa2)
#endif
#ifndef __IExpandCollapseProvider_INTERFACE_DEFINED__
#define __IExpandCollapseProvider_INTERFACE_DEFINED__
enum ExpandCollapseState {
    ExpandCollapseState_Collapsed = 0,
    ExpandCollapseState_Expanded = 1,
    ExpandCollapseState_PartiallyExpanded = 2,
    ExpandCollapseState_LeafNode = 3
};
struct IExpandCollapseProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Expand() = 0;
    virtual HRESULT STDMETHODCALLTYPE Collapse() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ExpandCollapseState(ExpandCollapseState* state) = 0;
};
__CRT_UUID_DECL(IExpandCollapseProvider, 0xd847d3a5, 0xcab0, 0x4a98, 0x8c, 0x32, 0xec, 0xb4, 0x5c,
                0x59, 0xad, 0x24)
#endif

namespace dravix::win32 {
namespace {

// Identifiers of UIAutomationClient.idl and UIAutomationCoreApi.h that mingw-w64's headers lack
// or that cannot be included.
constexpr CONTROLTYPEID buttonControlType = 50000;
constexpr EVENTID focusChangedEvent = 20005;
constexpr EVENTID invokedEvent = 20009;
constexpr int childrenInvalidated = 2; // StructureChangeType_ChildrenInvalidated
constexpr int appendRuntimeId = 3;     // UiaAppendRuntimeId: the id continues the window's
constexpr HRESULT elementDisabled = static_cast<HRESULT>(0x80040200);
constexpr HRESULT elementGone = static_cast<HRESULT>(0x80040201);
constexpr HRESULT notSupported = static_cast<HRESULT>(0x80040204);

// uiautomationcore.dll, loaded at the first client's question; it has no import library in
// mingw-w64, and a desktop without a client never maps it.
struct UiaCore {
    LRESULT(WINAPI* returnRawElementProvider)
    (HWND, WPARAM, LPARAM, IRawElementProviderSimple*) = nullptr;
    HRESULT(WINAPI* hostProviderFromHwnd)(HWND, IRawElementProviderSimple**) = nullptr;
    HRESULT(WINAPI* raiseAutomationEvent)(IRawElementProviderSimple*, EVENTID) = nullptr;
    HRESULT(WINAPI* raisePropertyChangedEvent)
    (IRawElementProviderSimple*, PROPERTYID, VARIANT, VARIANT) = nullptr;
    HRESULT(WINAPI* raiseStructureChangedEvent)
    (IRawElementProviderSimple*, int, int*, int) = nullptr;
    BOOL(WINAPI* clientsAreListening)() = nullptr;
};

const UiaCore& uiaCore() {
    static const UiaCore functions = [] {
        const HMODULE library = LoadLibraryW(L"uiautomationcore.dll");
        UiaCore loaded;
        const auto load = [library](auto& function, const char* name) {
            function = libraryFunction<std::remove_reference_t<decltype(function)>>(library, name);
        };
        load(loaded.returnRawElementProvider, "UiaReturnRawElementProvider");
        load(loaded.hostProviderFromHwnd, "UiaHostProviderFromHwnd");
        load(loaded.raiseAutomationEvent, "UiaRaiseAutomationEvent");
        load(loaded.raisePropertyChangedEvent, "UiaRaiseAutomationPropertyChangedEvent");
        load(loaded.raiseStructureChangedEvent, "UiaRaiseStructureChangedEvent");
        load(loaded.clientsAreListening, "UiaClientsAreListening");
        return loaded;
    }();
    return functions;
}

// Server-side, called on any thread: the view takes its looks on the window's thread. Not
// UseComThreading: with it, Wine's UI Automation deadlocks handing a navigated element to a
// client in another process (its provider thread asks the element for its runtime id on the
// window's thread, which waits for the provider thread).
constexpr ProviderOptions providerOptions = ProviderOptions_ServerSideProvider;

void setFlag(VARIANT* value, bool flag) {
    value->vt = VT_BOOL;
    value->boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
}

void setText(VARIANT* value, std::string_view text) {
    value->vt = VT_BSTR;
    value->bstrVal = bstrOf(text);
}

// One node, a fragment of the window's root, made afresh whenever a client asks for it: UI
// Automation tells two apart by their runtime ids, the node's id appended to the window's.
struct Element final : CountedObject<IRawElementProviderSimple, IRawElementProviderFragment,
                                     IInvokeProvider, IExpandCollapseProvider> {
    std::shared_ptr<const AccessibleView> view;
    IRawElementProviderFragmentRoot* root;
    int id;

    Element(std::shared_ptr<const AccessibleView> shared, IRawElementProviderFragmentRoot* parent,
            int node)
        : view(std::move(shared)), root(parent), id(node) {
        root->AddRef();
    }
    ~Element() override { root->Release(); }

    bool expandable() const {
        const std::optional<AccessibleNode> node = view->node(id);
        return node && node->expandable;
    }
    // A press as a click: refused while a box or dialog disables the strip.
    HRESULT press() {
        const HWND window = view->window.load();
        if (window != nullptr && !IsWindowEnabled(window))
            return elementDisabled;
        return view->press(id) ? S_OK : elementGone;
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID wanted, void** out) override {
        if (out == nullptr)
            return E_POINTER;
        *out = nullptr;
        if (wanted == __uuidof(IUnknown) || wanted == __uuidof(IRawElementProviderSimple))
            return handOut(static_cast<IRawElementProviderSimple*>(this), out);
        if (wanted == __uuidof(IRawElementProviderFragment))
            return handOut(static_cast<IRawElementProviderFragment*>(this), out);
        if (wanted == __uuidof(IInvokeProvider))
            return handOut(static_cast<IInvokeProvider*>(this), out);
        if (wanted == __uuidof(IExpandCollapseProvider) && expandable())
            return handOut(static_cast<IExpandCollapseProvider*>(this), out);
        return E_NOINTERFACE;
    }

    // IRawElementProviderSimple
    HRESULT STDMETHODCALLTYPE get_ProviderOptions(ProviderOptions* options) override {
        *options = providerOptions;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPatternProvider(PATTERNID pattern, IUnknown** out) override {
        *out = nullptr;
        if (!view->node(id))
            return elementGone;
        if (pattern == UIA_InvokePatternId)
            return handOut(static_cast<IInvokeProvider*>(this), reinterpret_cast<void**>(out));
        if (pattern == UIA_ExpandCollapsePatternId && expandable())
            return handOut(static_cast<IExpandCollapseProvider*>(this),
                           reinterpret_cast<void**>(out));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPropertyValue(PROPERTYID property, VARIANT* value) override {
        VariantInit(value);
        const std::optional<AccessibleNode> node = view->node(id);
        if (!node)
            return elementGone;
        switch (property) {
        case UIA_ControlTypePropertyId:
            value->vt = VT_I4;
            value->lVal = buttonControlType;
            break;
        case UIA_NamePropertyId:
            setText(value, node->name);
            break;
        case UIA_HelpTextPropertyId:
            if (!node->description.empty())
                setText(value, node->description);
            break;
        case UIA_AccessKeyPropertyId:
            if (!node->shortcut.empty())
                setText(value, node->shortcut);
            break;
        case UIA_IsKeyboardFocusablePropertyId:
            setFlag(value, true);
            break;
        case UIA_HasKeyboardFocusPropertyId:
            setFlag(value, node->focused && view->hasFocus());
            break;
        case UIA_IsEnabledPropertyId:
            setFlag(value, IsWindowEnabled(view->window.load()) != FALSE);
            break;
        default:
            break;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE
    get_HostRawElementProvider(IRawElementProviderSimple** host) override {
        *host = nullptr;
        return S_OK;
    }

    // IRawElementProviderFragment
    HRESULT STDMETHODCALLTYPE Navigate(NavigateDirection direction,
                                       IRawElementProviderFragment** out) override;
    HRESULT STDMETHODCALLTYPE GetRuntimeId(SAFEARRAY** out) override {
        *out = SafeArrayCreateVector(VT_I4, 0, 2);
        if (*out == nullptr)
            return E_OUTOFMEMORY;
        const int parts[] = {appendRuntimeId, id};
        for (LONG index = 0; index < 2; ++index)
            SafeArrayPutElement(*out, &index, const_cast<int*>(&parts[index]));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_BoundingRectangle(UiaRect* rectangle) override {
        *rectangle = UiaRect{};
        const std::optional<AccessibleNode> node = view->node(id);
        if (!node)
            return elementGone;
        const ScreenRect& at = node->extents;
        *rectangle = UiaRect{static_cast<double>(at.left), static_cast<double>(at.top),
                             static_cast<double>(at.width), static_cast<double>(at.height)};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetEmbeddedFragmentRoots(SAFEARRAY** roots) override {
        *roots = nullptr;
        return S_OK;
    }
    // The focus moves among the slots by Tab alone; the node that has it may keep it.
    HRESULT STDMETHODCALLTYPE SetFocus() override {
        const std::optional<AccessibleNode> node = view->node(id);
        if (!node)
            return elementGone;
        return node->focused ? S_OK : notSupported;
    }
    HRESULT STDMETHODCALLTYPE get_FragmentRoot(IRawElementProviderFragmentRoot** out) override {
        return handOut(root, reinterpret_cast<void**>(out));
    }

    // IInvokeProvider
    HRESULT STDMETHODCALLTYPE Invoke() override {
        const HRESULT pressed = press();
        const UiaCore& core = uiaCore();
        if (pressed == S_OK && core.raiseAutomationEvent != nullptr &&
            core.clientsAreListening != nullptr && core.clientsAreListening())
            core.raiseAutomationEvent(static_cast<IRawElementProviderSimple*>(this), invokedEvent);
        return pressed;
    }

    // IExpandCollapseProvider: the toggle, pressed when the strip is not already as asked.
    HRESULT STDMETHODCALLTYPE Expand() override { return expandTo(true); }
    HRESULT STDMETHODCALLTYPE Collapse() override { return expandTo(false); }
    HRESULT STDMETHODCALLTYPE get_ExpandCollapseState(ExpandCollapseState* state) override {
        const std::optional<AccessibleNode> node = view->node(id);
        *state =
            node && node->expanded ? ExpandCollapseState_Expanded : ExpandCollapseState_Collapsed;
        return node ? S_OK : elementGone;
    }
    HRESULT expandTo(bool expanded) {
        const std::optional<AccessibleNode> node = view->node(id);
        if (!node || !node->expandable)
            return elementGone;
        return node->expanded == expanded ? S_OK : press();
    }
};

IRawElementProviderFragment* newElement(std::shared_ptr<const AccessibleView> view,
                                        IRawElementProviderFragmentRoot* root, int id) {
    return static_cast<IRawElementProviderFragment*>(new Element(std::move(view), root, id));
}

HRESULT Element::Navigate(NavigateDirection direction, IRawElementProviderFragment** out) {
    *out = nullptr;
    if (direction == NavigateDirection_Parent)
        return root->QueryInterface(__uuidof(IRawElementProviderFragment),
                                    reinterpret_cast<void**>(out));
    const std::vector<AccessibleNode> nodes = view->nodes();
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].id != id)
            continue;
        if (direction == NavigateDirection_NextSibling && i + 1 < nodes.size())
            *out = newElement(view, root, nodes[i + 1].id);
        if (direction == NavigateDirection_PreviousSibling && i > 0)
            *out = newElement(view, root, nodes[i - 1].id);
        return S_OK;
    }
    return elementGone;
}

} // namespace

// The window's root: its host (the window) gives its name, place and runtime id; its children
// are the nodes.
struct UiaProvider::Root final
    : CountedObject<IRawElementProviderSimple, IRawElementProviderFragment,
                    IRawElementProviderFragmentRoot> {
    std::shared_ptr<const AccessibleView> view;

    explicit Root(std::shared_ptr<const AccessibleView> shared) : view(std::move(shared)) {}

    IRawElementProviderFragmentRoot* self() { return this; }
    IRawElementProviderFragment* element(const std::optional<AccessibleNode>& node) {
        return node ? newElement(view, this, node->id) : nullptr;
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID wanted, void** out) override {
        if (out == nullptr)
            return E_POINTER;
        *out = nullptr;
        if (wanted == __uuidof(IUnknown) || wanted == __uuidof(IRawElementProviderSimple))
            return handOut(static_cast<IRawElementProviderSimple*>(this), out);
        if (wanted == __uuidof(IRawElementProviderFragment))
            return handOut(static_cast<IRawElementProviderFragment*>(this), out);
        if (wanted == __uuidof(IRawElementProviderFragmentRoot))
            return handOut(self(), out);
        return E_NOINTERFACE;
    }

    // IRawElementProviderSimple
    HRESULT STDMETHODCALLTYPE get_ProviderOptions(ProviderOptions* options) override {
        *options = providerOptions;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPatternProvider(PATTERNID, IUnknown** out) override {
        *out = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPropertyValue(PROPERTYID, VARIANT* value) override {
        VariantInit(value);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE
    get_HostRawElementProvider(IRawElementProviderSimple** host) override {
        *host = nullptr;
        const HWND window = view->window.load();
        if (window == nullptr || uiaCore().hostProviderFromHwnd == nullptr)
            return S_OK;
        return uiaCore().hostProviderFromHwnd(window, host);
    }

    // IRawElementProviderFragment
    HRESULT STDMETHODCALLTYPE Navigate(NavigateDirection direction,
                                       IRawElementProviderFragment** out) override {
        *out = nullptr;
        const std::vector<AccessibleNode> nodes = view->nodes();
        if (nodes.empty())
            return S_OK;
        if (direction == NavigateDirection_FirstChild)
            *out = element(nodes.front());
        if (direction == NavigateDirection_LastChild)
            *out = element(nodes.back());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetRuntimeId(SAFEARRAY** out) override {
        *out = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_BoundingRectangle(UiaRect* rectangle) override {
        *rectangle = UiaRect{};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetEmbeddedFragmentRoots(SAFEARRAY** roots) override {
        *roots = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetFocus() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE get_FragmentRoot(IRawElementProviderFragmentRoot** out) override {
        return handOut(self(), reinterpret_cast<void**>(out));
    }

    // IRawElementProviderFragmentRoot
    HRESULT STDMETHODCALLTYPE ElementProviderFromPoint(double x, double y,
                                                       IRawElementProviderFragment** out) override {
        *out = element(view->nodeAt(std::lround(x), std::lround(y)));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFocus(IRawElementProviderFragment** out) override {
        *out = element(view->focusedNode());
        return S_OK;
    }
};

UiaProvider::UiaProvider(std::shared_ptr<const AccessibleView> view)
    : root_(new Root(std::move(view))) {}

UiaProvider::~UiaProvider() {
    root_->Release();
}

bool UiaProvider::answer(WPARAM wParam, LPARAM lParam, LRESULT& result) {
    const UiaCore& core = uiaCore();
    if (core.returnRawElementProvider == nullptr)
        return false;
    asked_ = true;
    result = core.returnRawElementProvider(root_->view->window.load(), wParam, lParam,
                                           static_cast<IRawElementProviderSimple*>(root_));
    return true;
}

void UiaProvider::windowDestroyed() {
    const HWND window = root_->view->window.load();
    if (asked_ && window != nullptr)
        uiaCore().returnRawElementProvider(window, 0, 0, nullptr);
}

void UiaProvider::changed(const AccessibleEvent& event) {
    if (!asked_)
        return;
    const UiaCore& core = uiaCore();
    if (core.clientsAreListening == nullptr || !core.clientsAreListening())
        return;
    if (event.change == AccessibleChange::children) {
        if (core.raiseStructureChangedEvent != nullptr)
            core.raiseStructureChangedEvent(static_cast<IRawElementProviderSimple*>(root_),
                                            childrenInvalidated, nullptr, 0);
        return;
    }
    const std::optional<AccessibleNode> node = root_->view->node(event.node);
    if (!node)
        return;
    auto* element = static_cast<Element*>(root_->element(node));
    IRawElementProviderSimple* provider = element;
    VARIANT before, after;
    VariantInit(&before);
    VariantInit(&after);
    switch (event.change) {
    case AccessibleChange::name:
        if (core.raisePropertyChangedEvent == nullptr)
            break;
        setText(&after, node->name);
        core.raisePropertyChangedEvent(provider, UIA_NamePropertyId, before, after);
        VariantClear(&after);
        setText(&after, node->description);
        core.raisePropertyChangedEvent(provider, UIA_HelpTextPropertyId, before, after);
        break;
    case AccessibleChange::state:
        if (core.raisePropertyChangedEvent == nullptr)
            break;
        before.vt = after.vt = VT_I4;
        before.lVal = node->expanded ? ExpandCollapseState_Collapsed : ExpandCollapseState_Expanded;
        after.lVal = node->expanded ? ExpandCollapseState_Expanded : ExpandCollapseState_Collapsed;
        core.raisePropertyChangedEvent(provider, UIA_ExpandCollapseExpandCollapseStatePropertyId,
                                       before, after);
        break;
    case AccessibleChange::focus:
        if (core.raiseAutomationEvent != nullptr && root_->view->hasFocus())
            core.raiseAutomationEvent(provider, focusChangedEvent);
        break;
    case AccessibleChange::children:
        break;
    }
    VariantClear(&after);
    element->Release();
}

} // namespace dravix::win32
