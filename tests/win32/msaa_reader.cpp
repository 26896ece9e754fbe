// A screen reader's view of dravix.exe through MSAA, run as a process of its own as a reader is:
//
//   msaa_reader.exe <slot> <name> <path>
//
// Finds the strip's window, reads its client object (the toggle alone), presses the toggle and
// waits for the ten slot buttons, checks every slot's name, description, shortcut and role (the
// given slot holds the name and path, the others are empty), and presses the given slot; the
// strip closes after the launch. Says what differed and exits non-zero.

#include <windows.h>

#include <oleacc.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int failures = 0;

void check(bool ok, const char* what, const std::string& seen) {
    if (ok)
        return;
    std::printf("FAILED: %s (saw %s)\n", what, seen.c_str());
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
    BSTR text = nullptr;
    VARIANT role;
    VariantInit(&role);

    check(childCount(client) == 1, "the closed strip has the toggle alone",
          std::to_string(childCount(client)));
    client->get_accName(child(1), &text);
    const std::string toggleName = utf8(text);
    check(toggleName == "Dravix", "the toggle's name", toggleName);
    client->get_accRole(child(1), &role);
    check(role.lVal == ROLE_SYSTEM_PUSHBUTTON, "the toggle is a push button",
          std::to_string(role.lVal));
    VARIANT state;
    VariantInit(&state);
    client->get_accState(child(1), &state);
    check((state.lVal & STATE_SYSTEM_COLLAPSED) != 0, "the closed toggle is collapsed",
          std::to_string(state.lVal));

    check(client->accDoDefaultAction(child(1)) == S_OK, "the toggle's press", "");
    check(waitForChildren(client, 11), "ten slot buttons after the press",
          std::to_string(childCount(client)));
    for (long each = 0; each < 10 && failures == 0; ++each) {
        const std::string expectedName = each == slot ? name : "Empty slot " + std::to_string(each);
        client->get_accName(child(each + 2), &text);
        const std::string seenName = utf8(text);
        check(seenName == expectedName, "a slot's name", seenName);
        text = nullptr;
        client->get_accDescription(child(each + 2), &text);
        const std::string seenPath = utf8(text);
        check(seenPath == (each == slot ? path : ""), "a slot's description", seenPath);
        text = nullptr;
        client->get_accKeyboardShortcut(child(each + 2), &text);
        const std::string shortcut = utf8(text);
        check(shortcut == std::to_string(each), "a slot's shortcut", shortcut);
        client->get_accRole(child(each + 2), &role);
        check(role.lVal == ROLE_SYSTEM_PUSHBUTTON, "a slot is a push button",
              std::to_string(role.lVal));
    }

    check(client->accDoDefaultAction(child(slot + 2)) == S_OK, "the slot's press", "");
    check(waitForChildren(client, 1), "the strip closes after the launch",
          std::to_string(childCount(client)));
    client->Release();
    if (failures == 0)
        std::printf("read the toggle and ten slots, pressed slot %ld\n", slot);
    return failures == 0 ? 0 : 1;
}
