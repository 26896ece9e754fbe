#include "platform/x11/x11_scale.h"

#include "platform/scale.h"

#include <X11/Xlib.h>
#include <X11/Xresource.h>

#include <charconv>
#include <optional>
#include <string_view>

namespace dravix::x11 {

namespace {

// The resource's value as a number: surrounding blanks allowed, nothing else.
std::optional<double> numberIn(std::string_view text) {
    constexpr std::string_view blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(blanks) - first + 1);
    double number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return number;
}

} // namespace

int scaleFromResources(const char* resources) {
    if (resources == nullptr)
        return 1;
    XrmInitialize();
    XrmDatabase database = XrmGetStringDatabase(resources);
    if (database == nullptr)
        return 1;
    char* type = nullptr;
    XrmValue value{};
    std::optional<double> dpi;
    if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr != nullptr)
        dpi = numberIn(value.addr);
    XrmDestroyDatabase(database);
    return dpi ? scaleForDpi(*dpi) : 1;
}

} // namespace dravix::x11
