#include "platform/win32/win32_accessible.h"

#include "platform/win32/win32_accessible_view.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_uia.h"

#include <oleacc.h>

#include <string_view>
#include <utility>
#include <vector>

namespace dravix::win32 {

namespace {

struct LookRequest {
    const AccessibleView* view;
    AccessibleView::Look* seen;
};

} // namespace

AccessibleView::Look AccessibleView::look() const {
    Look seen;
    LookRequest request{this, &seen};
    // Fails at once, leaving the look empty, when the window is gone.
    if (const HWND owner = window.load())
        SendMessageW(owner, accessibleLookMessage(), 0, reinterpret_cast<LPARAM>(&request));
    return seen;
}

unsigned accessibleLookMessage() {
    static const UINT message = RegisterWindowMessageW(L"Dravix accessible look");
    return message;
}

LRESULT answerAccessibleLook(LPARAM lParam) {
    const auto* request = reinterpret_cast<const LookRequest*>(lParam);
    const AccessibleView& view = *request->view;
    const HWND window = view.window.load();
    if (view.source == nullptr || window == nullptr)
        return 0;
    request->seen->nodes = view.source->accessibleNodes();
    request->seen->focus = GetFocus() == window;
    return 0;
}

std::optional<AccessibleNode> AccessibleView::node(int id) const {
    for (const AccessibleNode& present : nodes()) {
        if (present.id == id)
            return present;
    }
    return std::nullopt;
}

std::optional<AccessibleNode> AccessibleView::focusedNode() const {
    const Look seen = look();
    if (!seen.focus)
        return std::nullopt;
    for (const AccessibleNode& present : seen.nodes) {
        if (present.focused)
            return present;
    }
    return std::nullopt;
}

RECT AccessibleView::area() const {
    RECT area{};
    if (const HWND owner = window.load())
        GetWindowRect(owner, &area);
    return area;
}

std::optional<AccessibleNode> AccessibleView::nodeAt(long x, long y) const {
    for (const AccessibleNode& present : nodes()) {
        const ScreenRect& at = present.extents;
        if (x >= at.left && x < at.right() && y >= at.top && y < at.bottom())
            return present;
    }
    return std::nullopt;
}

bool AccessibleView::press(int id) const {
    if (!node(id))
        return false;
    PostMessageW(window.load(), accessiblePressMessage(), static_cast<WPARAM>(id), 0);
    return true;
}

unsigned accessiblePressMessage() {
    static const UINT message = RegisterWindowMessageW(L"Dravix accessible press");
    return message;
}

BSTR bstrOf(std::string_view utf8) {
    const std::wstring wide = wideFromUtf8(utf8);
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

namespace {

constexpr wchar_t pressVerb[] = L"Press";

// oleacc.dll, loaded at the first client's question.
struct Oleacc {
    decltype(&LresultFromObject) lresultFromObject = nullptr;
    decltype(&CreateStdAccessibleObject) createStdAccessibleObject = nullptr;
};

const Oleacc& oleacc() {
    static const Oleacc functions = [] {
        const HMODULE library = LoadLibraryW(L"oleacc.dll");
        return Oleacc{libraryFunction<decltype(&LresultFromObject)>(library, "LresultFromObject"),
                      libraryFunction<decltype(&CreateStdAccessibleObject)>(
                          library, "CreateStdAccessibleObject")};
    }();
    return functions;
}

// The client area for MSAA clients: one IAccessible whose simple children are the nodes.
struct MsaaObject final : CountedObject<IAccessible> {
    std::shared_ptr<const AccessibleView> view;

    explicit MsaaObject(std::shared_ptr<const AccessibleView> shared) : view(std::move(shared)) {}

    // The node of a child id, or nothing for the object itself (and for a child that is gone).
    bool nodeOf(const VARIANT& child, AccessibleNode& node, bool& self) const {
        self = child.vt == VT_I4 && child.lVal == CHILDID_SELF;
        if (child.vt != VT_I4 || self || child.lVal < 1)
            return self;
        const std::optional<AccessibleNode> present = view->node(child.lVal - 1);
        if (present)
            node = *present;
        return present.has_value();
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        if (out == nullptr)
            return E_POINTER;
        *out = nullptr;
        if (id == __uuidof(IUnknown) || id == __uuidof(IDispatch) || id == __uuidof(IAccessible))
            return handOut(static_cast<IAccessible*>(this), out);
        return E_NOINTERFACE;
    }

    // IDispatch: clients use the vtable.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        *parent = nullptr;
        const HWND window = view->window.load();
        if (window == nullptr || oleacc().createStdAccessibleObject == nullptr)
            return S_FALSE;
        return oleacc().createStdAccessibleObject(window, OBJID_WINDOW, __uuidof(IDispatch),
                                                  reinterpret_cast<void**>(parent));
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        *count = static_cast<long>(view->nodes().size());
        return S_OK;
    }
    // The children are simple elements, with no object of their own.
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT, IDispatch** child) override {
        *child = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        AccessibleNode node;
        bool self = false;
        if (!nodeOf(child, node, self))
            return E_INVALIDARG;
        *name = bstrOf(self ? view->title : node.name);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT, BSTR* value) override {
        *value = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        AccessibleNode node;
        bool self = false;
        if (!nodeOf(child, node, self))
            return E_INVALIDARG;
        *description = nullptr;
        if (self || node.description.empty())
            return S_FALSE;
        *description = bstrOf(node.description);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        AccessibleNode node;
        bool self = false;
        if (!nodeOf(child, node, self))
            return E_INVALIDARG;
        role->vt = VT_I4;
        role->lVal = self ? ROLE_SYSTEM_CLIENT : ROLE_SYSTEM_PUSHBUTTON;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        AccessibleNode node;
        bool self = false;
        if (!nodeOf(child, node, self))
            return E_INVALIDARG;
        state->vt = VT_I4;
        state->lVal = STATE_SYSTEM_FOCUSABLE;
        if (self)
            return S_OK;
        if (node.focused && view->hasFocus())
            state->lVal |= STATE_SYSTEM_FOCUSED;
        if (node.expandable)
            state->lVal |= node.expanded ? STATE_SYSTEM_EXPANDED : STATE_SYSTEM_COLLAPSED;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* help) override {
        *help = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
        *file = nullptr;
        *topic = 0;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        AccessibleNode node;
        bool self = false;
        if (!nodeOf(child, node, self))
            return E_INVALIDARG;
        *shortcut = nullptr;
        if (self || node.shortcut.empty())
            return S_FALSE;
        *shortcut = bstrOf(node.shortcut);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        focus->vt = VT_EMPTY;
        if (!view->hasFocus())
            return S_FALSE;
        const std::optional<AccessibleNode> focused = view->focusedNode();
        focus->vt = VT_I4;
        focus->lVal = focused ? focused->id + 1 : CHILDID_SELF;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        selection->vt = VT_EMPTY;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        AccessibleNode node;
        bool self = false;
        if (!nodeOf(child, node, self))
            return E_INVALIDARG;
        *action = self ? nullptr : SysAllocString(pressVerb);
        return self ? S_FALSE : S_OK;
    }
    HRESULT STDMETHODCALLTYPE accSelect(long, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override {
        AccessibleNode node;
        bool self = false;
        if (!nodeOf(child, node, self))
            return E_INVALIDARG;
        if (self) {
            const RECT area = view->area();
            *left = area.left;
            *top = area.top;
            *width = area.right - area.left;
            *height = area.bottom - area.top;
            return S_OK;
        }
        *left = node.extents.left;
        *top = node.extents.top;
        *width = node.extents.width;
        *height = node.extents.height;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        end->vt = VT_EMPTY;
        const std::vector<AccessibleNode> present = view->nodes();
        if (present.empty() || start.vt != VT_I4)
            return S_FALSE;
        long to = -1;
        if (start.lVal == CHILDID_SELF && direction == NAVDIR_FIRSTCHILD)
            to = present.front().id + 1;
        else if (start.lVal == CHILDID_SELF && direction == NAVDIR_LASTCHILD)
            to = present.back().id + 1;
        for (std::size_t i = 0; i < present.size() && start.lVal != CHILDID_SELF; ++i) {
            if (present[i].id + 1 != start.lVal)
                continue;
            if ((direction == NAVDIR_NEXT || direction == NAVDIR_DOWN) && i + 1 < present.size())
                to = present[i + 1].id + 1;
            if ((direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP) && i > 0)
                to = present[i - 1].id + 1;
        }
        if (to < 0)
            return S_FALSE;
        end->vt = VT_I4;
        end->lVal = to;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* hit) override {
        hit->vt = VT_EMPTY;
        const RECT area = view->area();
        if (x < area.left || x >= area.right || y < area.top || y >= area.bottom)
            return S_FALSE;
        const std::optional<AccessibleNode> node = view->nodeAt(x, y);
        hit->vt = VT_I4;
        hit->lVal = node ? node->id + 1 : CHILDID_SELF;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        AccessibleNode node;
        bool self = false;
        if (!nodeOf(child, node, self) || self)
            return E_INVALIDARG;
        return view->press(node.id) ? S_OK : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }
};

} // namespace

struct ScreenReaders::Views {
    std::shared_ptr<AccessibleView> view;
    MsaaObject* msaa;
    UiaProvider uia;

    explicit Views(std::shared_ptr<AccessibleView> shared)
        : view(shared), msaa(new MsaaObject(shared)), uia(shared) {}
    ~Views() { msaa->Release(); }
};

ScreenReaders::ScreenReaders(HWND window, std::string title)
    : views_(std::make_unique<Views>(std::make_shared<AccessibleView>(window, std::move(title)))) {}

// A client may still hold an object: it stays, reading no nodes and pressing nothing.
ScreenReaders::~ScreenReaders() {
    views_->view->source = nullptr;
    views_->view->window = nullptr;
}

void ScreenReaders::attach(AccessibleSource* source) {
    views_->view->source = source;
}

unsigned ScreenReaders::pressMessage() {
    return accessiblePressMessage();
}

unsigned ScreenReaders::lookMessage() {
    return accessibleLookMessage();
}

std::intptr_t ScreenReaders::answerLook(std::intptr_t request) {
    return answerAccessibleLook(request);
}

bool ScreenReaders::answer(std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result) {
    if (views_->view->source == nullptr || views_->view->window == nullptr)
        return false;
    if (static_cast<LONG>(lParam) == uiaRootObjectId)
        return views_->uia.answer(wParam, lParam, result);
    if (static_cast<LONG>(lParam) != OBJID_CLIENT || oleacc().lresultFromObject == nullptr)
        return false;
    result = oleacc().lresultFromObject(__uuidof(IAccessible), wParam,
                                        static_cast<IAccessible*>(views_->msaa));
    return true;
}

void ScreenReaders::windowDestroyed() {
    views_->uia.windowDestroyed();
    views_->view->source = nullptr;
    views_->view->window = nullptr;
}

void ScreenReaders::changed(const AccessibleEvent& event) {
    const HWND window = views_->view->window.load();
    if (window == nullptr)
        return;
    views_->uia.changed(event);
    const LONG child = event.change == AccessibleChange::children ? CHILDID_SELF : event.node + 1;
    switch (event.change) {
    case AccessibleChange::children:
        NotifyWinEvent(EVENT_OBJECT_REORDER, window, OBJID_CLIENT, child);
        break;
    case AccessibleChange::name:
        NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window, OBJID_CLIENT, child);
        NotifyWinEvent(EVENT_OBJECT_DESCRIPTIONCHANGE, window, OBJID_CLIENT, child);
        break;
    case AccessibleChange::state:
        NotifyWinEvent(EVENT_OBJECT_STATECHANGE, window, OBJID_CLIENT, child);
        break;
    case AccessibleChange::focus:
        if (GetFocus() == window)
            NotifyWinEvent(EVENT_OBJECT_FOCUS, window, OBJID_CLIENT, child);
        break;
    }
}

} // namespace dravix::win32
