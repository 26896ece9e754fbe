#include "platform/win32/win32_accessible.h"

#include "platform/win32/win32_text.h"

#include <windows.h>

#include <oleacc.h>

#include <string_view>
#include <vector>

namespace dravix::win32 {
namespace {

constexpr wchar_t pressVerb[] = L"Press";

// oleacc.dll, loaded at the first client's question.
struct Oleacc {
    decltype(&LresultFromObject) lresultFromObject = nullptr;
    decltype(&CreateStdAccessibleObject) createStdAccessibleObject = nullptr;
};

const Oleacc& oleacc() {
    static const Oleacc functions = [] {
        Oleacc loaded;
        if (HMODULE library = LoadLibraryW(L"oleacc.dll")) {
            loaded.lresultFromObject = reinterpret_cast<decltype(&LresultFromObject)>(
                reinterpret_cast<void*>(GetProcAddress(library, "LresultFromObject")));
            loaded.createStdAccessibleObject =
                reinterpret_cast<decltype(&CreateStdAccessibleObject)>(
                    reinterpret_cast<void*>(GetProcAddress(library, "CreateStdAccessibleObject")));
        }
        return loaded;
    }();
    return functions;
}

BSTR bstrOf(std::string_view utf8) {
    const std::wstring wide = wideFromUtf8(utf8);
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

} // namespace

struct MsaaClient::Object final : IAccessible {
    LONG references = 1;
    HWND window;
    std::string title;
    AccessibleSource* source = nullptr;

    Object(HWND owner, std::string name) : window(owner), title(std::move(name)) {}

    std::vector<AccessibleNode> nodes() const {
        return source != nullptr && window != nullptr ? source->accessibleNodes()
                                                      : std::vector<AccessibleNode>{};
    }
    // The node of a child id, or nothing for the object itself (and for a child that is gone).
    bool nodeOf(const VARIANT& child, AccessibleNode& node, bool& self) const {
        self = child.vt == VT_I4 && child.lVal == CHILDID_SELF;
        if (child.vt != VT_I4 || self)
            return self;
        for (const AccessibleNode& present : nodes()) {
            if (present.id + 1 == child.lVal) {
                node = present;
                return true;
            }
        }
        return false;
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        if (out == nullptr)
            return E_POINTER;
        if (id == __uuidof(IUnknown) || id == __uuidof(IDispatch) || id == __uuidof(IAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = --references;
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
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
        if (window == nullptr || oleacc().createStdAccessibleObject == nullptr)
            return S_FALSE;
        return oleacc().createStdAccessibleObject(window, OBJID_WINDOW, __uuidof(IDispatch),
                                                  reinterpret_cast<void**>(parent));
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        *count = static_cast<long>(nodes().size());
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
        *name = bstrOf(self ? title : node.name);
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
        if (node.focused && GetFocus() == window)
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
        if (GetFocus() != window)
            return S_FALSE;
        focus->vt = VT_I4;
        focus->lVal = CHILDID_SELF;
        for (const AccessibleNode& node : nodes()) {
            if (node.focused)
                focus->lVal = node.id + 1;
        }
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
            RECT area{};
            GetWindowRect(window, &area);
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
        const std::vector<AccessibleNode> present = nodes();
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
        RECT area{};
        if (window == nullptr || !GetWindowRect(window, &area) || x < area.left ||
            x >= area.right || y < area.top || y >= area.bottom)
            return S_FALSE;
        hit->vt = VT_I4;
        hit->lVal = CHILDID_SELF;
        for (const AccessibleNode& node : nodes()) {
            const ScreenRect& at = node.extents;
            if (x >= at.left && x < at.right() && y >= at.top && y < at.bottom())
                hit->lVal = node.id + 1;
        }
        return S_OK;
    }
    // The press goes through the window's queue: the core's handler may open a box, whose
    // modal loop must not run inside a client's call.
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        AccessibleNode node;
        bool self = false;
        if (!nodeOf(child, node, self) || self)
            return E_INVALIDARG;
        PostMessageW(window, pressMessage(), static_cast<WPARAM>(node.id), 0);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }
};

MsaaClient::MsaaClient(HWND window, std::string title)
    : window_(window), object_(new Object(window, std::move(title))) {}

// A client may still hold the object: it stays, reading no nodes and pressing nothing.
MsaaClient::~MsaaClient() {
    object_->source = nullptr;
    object_->window = nullptr;
    object_->Release();
}

void MsaaClient::attach(AccessibleSource* source) {
    object_->source = source;
}

unsigned MsaaClient::pressMessage() {
    static const UINT message = RegisterWindowMessageW(L"Dravix accessible press");
    return message;
}

bool MsaaClient::answer(std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result) {
    if (static_cast<LONG>(lParam) != OBJID_CLIENT || object_->source == nullptr ||
        oleacc().lresultFromObject == nullptr)
        return false;
    result = oleacc().lresultFromObject(__uuidof(IAccessible), wParam,
                                        static_cast<IAccessible*>(object_));
    return true;
}

void MsaaClient::changed(const AccessibleEvent& event) {
    const LONG child = event.change == AccessibleChange::children ? CHILDID_SELF : event.node + 1;
    switch (event.change) {
    case AccessibleChange::children:
        NotifyWinEvent(EVENT_OBJECT_REORDER, window_, OBJID_CLIENT, child);
        break;
    case AccessibleChange::name:
        NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window_, OBJID_CLIENT, child);
        NotifyWinEvent(EVENT_OBJECT_DESCRIPTIONCHANGE, window_, OBJID_CLIENT, child);
        break;
    case AccessibleChange::state:
        NotifyWinEvent(EVENT_OBJECT_STATECHANGE, window_, OBJID_CLIENT, child);
        break;
    case AccessibleChange::focus:
        if (GetFocus() == window_)
            NotifyWinEvent(EVENT_OBJECT_FOCUS, window_, OBJID_CLIENT, child);
        break;
    }
}

} // namespace dravix::win32
