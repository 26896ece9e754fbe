// A screen reader's view of dravix.exe through MSAA and UI Automation, run as a process of its own
// as a reader is:
//
//   msaa_reader.exe <slot> <name> <path>
//
// Finds the strip's window and reads its buttons through both views (the toggle alone), presses
// the toggle through MSAA and waits for the ten slot buttons, reads every button's name,
// description, shortcut and kind through both views (the given slot holds the name and path, the
// others are empty), and presses the given slot; the strip closes after the launch. Says what
// differed and exits non-zero.

#include <windows.h>

#include <oleacc.h>
#include <uiautomationclient.h>
#include <uiautomationcore.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// UI Automation's client functions over nodes, as uiautomationcore.dll exports them; mingw-w64
// has neither their declarations nor an import library, and Wine 8 has no IUIAutomation.
DECLARE_HANDLE(HUIANODE);
struct UiaCondition {
    int type; // ConditionType_True: 0
};
struct UiaCacheRequest {
    UiaCondition* viewCondition;
    int scope; // TreeScope_Element: 1
    PROPERTYID* properties;
    int propertyCount;
    PATTERNID* patterns;
    int patternCount;
    int elementMode; // AutomationElementMode_Full: 1
};

namespace {

struct UiaClient {
    HRESULT(WINAPI* nodeFromHandle)(HWND, HUIANODE*) = nullptr;
    HRESULT(WINAPI* getPropertyValue)(HUIANODE, PROPERTYID, VARIANT*) = nullptr;
    HRESULT(WINAPI* navigate)
    (HUIANODE, NavigateDirection, UiaCondition*, UiaCacheRequest*, SAFEARRAY**, BSTR*) = nullptr;
    HRESULT(WINAPI* nodeFromVariant)(VARIANT*, HUIANODE*) = nullptr;
    BOOL(WINAPI* nodeRelease)(HUIANODE) = nullptr;
};

template <typename Function> void load(HMODULE library, Function& function, const char* name) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

UiaClient loadUiaClient() {
    const HMODULE library = LoadLibraryW(L"uiautomationcore.dll");
    UiaClient client;
    if (library == nullptr)
        return client;
    load(library, client.nodeFromHandle, "UiaNodeFromHandle");
    load(library, client.getPropertyValue, "UiaGetPropertyValue");
    load(library, client.navigate, "UiaNavigate");
    load(library, client.nodeFromVariant, "UiaHUiaNodeFromVariant");
    load(library, client.nodeRelease, "UiaNodeRelease");
    return client;
}

constexpr long buttonControlType = 50000;

int failures = 0;

void check(bool ok, const std::string& what, const std::string& seen) {
    if (ok)
        return;
    std::printf("FAILED: %s (saw %s)\n", what.c_str(), seen.c_str());
    ++failures;
}

std::string utf8(BSTR text) {
    if (text == nullptr)
        return {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), length, nullptr, nullptr);
    bytes.resize(bytes.size() - 1);
    SysFreeString(text);
    return bytes;
}

// A button as a view shows it.
struct Button {
    std::string name, description, shortcut;
    bool pushButton = false;
};

VARIANT child(long id) {
    VARIANT which;
    VariantInit(&which);
    which.vt = VT_I4;
    which.lVal = id;
    return which;
}

long childCount(IAccessible* client) {
    long count = -1;
    client->get_accChildCount(&count);
    return count;
}

bool waitForChildren(IAccessible* client, long count) {
    for (int i = 0; i < 100; ++i) {
        if (childCount(client) == count)
            return true;
        Sleep(50);
    }
    return false;
}

std::vector<Button> msaaButtons(IAccessible* client) {
    std::vector<Button> buttons;
    for (long id = 1; id <= childCount(client); ++id) {
        Button button;
        BSTR text = nullptr;
        client->get_accName(child(id), &text);
        button.name = utf8(text);
        text = nullptr;
        client->get_accDescription(child(id), &text);
        button.description = utf8(text);
        text = nullptr;
        client->get_accKeyboardShortcut(child(id), &text);
        button.shortcut = utf8(text);
        VARIANT role;
        VariantInit(&role);
        client->get_accRole(child(id), &role);
        button.pushButton = role.vt == VT_I4 && role.lVal == ROLE_SYSTEM_PUSHBUTTON;
        buttons.push_back(button);
    }
    return buttons;
}

std::string uiaText(const UiaClient& uia, HUIANODE node, PROPERTYID property) {
    VARIANT value;
    VariantInit(&value);
    uia.getPropertyValue(node, property, &value);
    std::string text;
    if (value.vt == VT_BSTR)
        text = utf8(value.bstrVal);
    else
        VariantClear(&value);
    return text;
}

// The node next to a node in UI Automation's raw view, or null.
HUIANODE uiaNext(const UiaClient& uia, HUIANODE node, NavigateDirection direction) {
    UiaCondition everything{0};
    UiaCacheRequest request{&everything, 1, nullptr, 0, nullptr, 0, 1};
    SAFEARRAY* found = nullptr;
    BSTR structure = nullptr;
    HUIANODE next = nullptr;
    if (FAILED(uia.navigate(node, direction, &everything, &request, &found, &structure)) ||
        found == nullptr)
        return nullptr;
    LONG first[2] = {0, 0};
    VARIANT nodeValue;
    VariantInit(&nodeValue);
    if (SUCCEEDED(SafeArrayGetElement(found, first, &nodeValue)))
        uia.nodeFromVariant(&nodeValue, &next);
    SafeArrayDestroy(found);
    SysFreeString(structure);
    return next;
}

// The window's first children in UI Automation's raw view, as many as MSAA counts, and then the
// window's last child, which should be the last of them. Never a step past the last child: there
// Wine's UiaNavigate climbs on to the windows after this one.
std::vector<Button> uiaButtons(const UiaClient& uia, HWND window, long count) {
    std::vector<Button> buttons;
    HUIANODE root = nullptr;
    if (FAILED(uia.nodeFromHandle(window, &root)) || root == nullptr) {
        check(false, "UI Automation's node of the window", "none");
        return buttons;
    }
    HUIANODE node = uiaNext(uia, root, NavigateDirection_FirstChild);
    while (node != nullptr) {
        Button button{uiaText(uia, node, UIA_NamePropertyId),
                      uiaText(uia, node, UIA_HelpTextPropertyId),
                      uiaText(uia, node, UIA_AccessKeyPropertyId)};
        VARIANT type;
        VariantInit(&type);
        uia.getPropertyValue(node, UIA_ControlTypePropertyId, &type);
        button.pushButton = type.vt == VT_I4 && type.lVal == buttonControlType;
        VariantClear(&type);
        buttons.push_back(button);
        const bool more = static_cast<long>(buttons.size()) < count;
        const HUIANODE next = more ? uiaNext(uia, node, NavigateDirection_NextSibling) : nullptr;
        uia.nodeRelease(node);
        node = next;
    }
    if (const HUIANODE last = uiaNext(uia, root, NavigateDirection_LastChild)) {
        const std::string lastName = uiaText(uia, last, UIA_NamePropertyId);
        check(!buttons.empty() && lastName == buttons.back().name,
              "UI Automation: the window's last child is the last button", lastName);
        uia.nodeRelease(last);
    }
    uia.nodeRelease(root);
    return buttons;
}

// The toggle, then while the strip is open the ten slots, the given one holding the name and
// path.
void checkButtons(const char* view, const std::vector<Button>& seen, bool open, long slot,
                  const std::string& name, const std::string& path) {
    std::vector<Button> expected{{"Dravix", "", "", true}};
    for (long each = 0; open && each < 10; ++each) {
        expected.push_back({each == slot ? name : "Empty slot " + std::to_string(each),
                            each == slot ? path : "", std::to_string(each), true});
    }
    const std::string prefix = std::string(view) + ": ";
    check(seen.size() == expected.size(), prefix + "the number of buttons",
          std::to_string(seen.size()));
    for (std::size_t i = 0; i < seen.size() && i < expected.size(); ++i) {
        check(seen[i].name == expected[i].name, prefix + "a button's name", seen[i].name);
        check(seen[i].description == expected[i].description, prefix + "a button's description",
              seen[i].description);
        check(seen[i].shortcut == expected[i].shortcut, prefix + "a button's shortcut",
              seen[i].shortcut);
        check(seen[i].pushButton, prefix + "a push button", seen[i].name);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4)
        return 2;
    const long slot = std::atol(argv[1]);
    const std::string name = argv[2], path = argv[3];
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    HWND window = nullptr;
    for (int i = 0; i < 200 && window == nullptr; ++i) {
        window = FindWindowA("TForm1", "Dravix");
        Sleep(50);
    }
    if (window == nullptr) {
        std::printf("FAILED: no strip window\n");
        return 1;
    }
    IAccessible* client = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT),
                                          __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&client))) ||
        client == nullptr) {
        std::printf("FAILED: no IAccessible for the client area\n");
        return 1;
    }
    const UiaClient uia = loadUiaClient();
    if (uia.nodeFromHandle == nullptr || uia.getPropertyValue == nullptr ||
        uia.navigate == nullptr || uia.nodeFromVariant == nullptr || uia.nodeRelease == nullptr) {
        std::printf("FAILED: no UI Automation client functions\n");
        return 1;
    }

    checkButtons("MSAA", msaaButtons(client), false, slot, name, path);
    checkButtons("UI Automation", uiaButtons(uia, window, childCount(client)), false, slot, name,
                 path);
    VARIANT state;
    VariantInit(&state);
    client->get_accState(child(1), &state);
    check((state.lVal & STATE_SYSTEM_COLLAPSED) != 0, "the closed toggle is collapsed",
          std::to_string(state.lVal));

    check(client->accDoDefaultAction(child(1)) == S_OK, "the toggle's press", "");
    check(waitForChildren(client, 11), "ten slot buttons after the press",
          std::to_string(childCount(client)));
    checkButtons("MSAA", msaaButtons(client), true, slot, name, path);
    checkButtons("UI Automation", uiaButtons(uia, window, childCount(client)), true, slot, name,
                 path);

    check(client->accDoDefaultAction(child(slot + 2)) == S_OK, "the slot's press", "");
    check(waitForChildren(client, 1), "the strip closes after the launch",
          std::to_string(childCount(client)));
    client->Release();
    if (failures == 0)
        std::printf("read the toggle and ten slots through MSAA and UI Automation, pressed slot "
                    "%ld\n",
                    slot);
    return failures == 0 ? 0 : 1;
}
