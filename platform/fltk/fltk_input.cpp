#include "platform/fltk/fltk_input.h"

#include <FL/Enumerations.H>

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstddef>

namespace dravix::fltk {

namespace {

// The Windows virtual-key codes of the keys the window tells apart.
constexpr int tab = 9, enter = 13, escape = 27, space = 32;
constexpr int arrowLeft = 37, arrowUp = 38, arrowRight = 39, arrowDown = 40;
constexpr int shiftTab = 0x100 | tab;
constexpr int isoLeftTab = 0xfe20; // the X keysym of Shift+Tab in many keymaps
constexpr int digit0 = 0x30, numpad0 = 0x60;

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (lowerAscii(text[i]) != prefix[i])
            return false;
    }
    return true;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = lowerAscii(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The path of a file: URI on this machine: file:///path, file://localhost/path or file:/path.
std::optional<std::string> localPathOf(std::string_view uri) {
    constexpr std::string_view scheme = "file:";
    if (!startsWithNoCase(uri, scheme))
        return std::nullopt;
    uri.remove_prefix(scheme.size());
    if (uri.starts_with("//")) {
        uri.remove_prefix(2);
        const std::size_t pathStart = uri.find('/');
        if (pathStart == std::string_view::npos)
            return std::nullopt;
        const std::string_view host = uri.substr(0, pathStart);
        if (!host.empty() && !(host.size() == 9 && startsWithNoCase(host, "localhost")))
            return std::nullopt; // a file on another machine is no path here
        uri.remove_prefix(pathStart);
    }
    if (!uri.starts_with('/'))
        return std::nullopt;
    std::string path;
    // A NUL byte, raw or as %00, can be in no path.
    if (uri.find('\0') != std::string_view::npos)
        return std::nullopt;
    for (std::size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] != '%') {
            path += uri[i];
            continue;
        }
        const int high = i + 2 < uri.size() ? hexDigit(uri[i + 1]) : -1;
        const int low = i + 2 < uri.size() ? hexDigit(uri[i + 2]) : -1;
        // A broken escape says the sender meant something else.
        if (high < 0 || low < 0 || (high == 0 && low == 0))
            return std::nullopt;
        path += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return path;
}

} // namespace

int keyCodeFromFltk(int fltkKey, bool shift) {
    assert(fltkKey >= 0 && fltkKey <= INT_MAX - fltkKeyCodeBase && "not an FLTK key number");
    if (fltkKey >= '0' && fltkKey <= '9')
        return digit0 + fltkKey - '0';
    if (fltkKey >= FL_KP + '0' && fltkKey <= FL_KP + '9')
        return numpad0 + fltkKey - (FL_KP + '0');
    switch (fltkKey) {
    case FL_Tab:
        return shift ? shiftTab : tab;
    case isoLeftTab:
        return shiftTab;
    case FL_Enter:
    case FL_KP_Enter:
        return enter;
    case ' ':
        return space;
    case FL_Escape:
        return escape;
    case FL_Left:
        return arrowLeft;
    case FL_Up:
        return arrowUp;
    case FL_Right:
        return arrowRight;
    case FL_Down:
        return arrowDown;
    default:
        return fltkKeyCodeBase + fltkKey;
    }
}

std::optional<MouseButton> mouseButtonFromFltk(int fltkButton) {
    switch (fltkButton) {
    case FL_LEFT_MOUSE:
        return MouseButton::left;
    case FL_MIDDLE_MOUSE:
        return MouseButton::middle;
    case FL_RIGHT_MOUSE:
        return MouseButton::right;
    default:
        return std::nullopt;
    }
}

std::optional<std::string> firstDroppedFile(std::string_view uriList) {
    while (!uriList.empty()) {
        const std::size_t end = std::min(uriList.find('\n'), uriList.size());
        std::string_view line = uriList.substr(0, end);
        uriList.remove_prefix(std::min(end + 1, uriList.size()));
        while (!line.empty() && (line.back() == '\r' || line.back() == '\0'))
            line.remove_suffix(1);
        if (line.starts_with('#'))
            continue;
        if (std::optional<std::string> path = localPathOf(line))
            return path;
    }
    return std::nullopt;
}

} // namespace dravix::fltk
