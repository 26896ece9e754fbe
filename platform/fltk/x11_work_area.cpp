#include "platform/fltk/x11_work_area.h"

#include "platform/x11/x11_properties.h"

#include <FL/Fl.H>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <optional>
#include <utility>

namespace dravix::fltk {

namespace {

enum StrutField {
    leftWidth,
    rightWidth,
    topWidth,
    bottomWidth,
    leftStartY,
    leftEndY,
    rightStartY,
    rightEndY,
    topStartX,
    topEndX,
    bottomStartX,
    bottomEndX,
};

enum class Edge { left, right, top, bottom };

struct Band {
    Edge edge;
    ScreenRect area;
};

// A band of `width` pixels along an edge from `start` to `end` (inclusive), in root coordinates;
// nothing when it keeps no pixel.
std::optional<Band> bandOf(Edge edge, long width, long start, long end, int rootWidth,
                           int rootHeight) {
    if (width <= 0 || end < start)
        return std::nullopt;
    const int across = static_cast<int>(std::min<long>(width, 1L << 30));
    const int from = static_cast<int>(std::clamp<long>(start, -(1L << 30), 1L << 30));
    const int length = static_cast<int>(std::min<long>(end - start + 1, 1L << 30));
    switch (edge) {
    case Edge::left:
        return Band{edge, {0, from, across, length}};
    case Edge::right:
        return Band{edge, {rootWidth - across, from, across, length}};
    case Edge::top:
        return Band{edge, {from, 0, length, across}};
    case Edge::bottom:
        return Band{edge, {from, rootHeight - across, length, across}};
    }
    return std::nullopt;
}

bool overlaps(const ScreenRect& a, const ScreenRect& b) {
    return a.left < b.right() && b.left < a.right() && a.top < b.bottom() && b.top < a.bottom();
}

ScreenRect lessBands(const ScreenRect& monitor, std::span<const Band> bands) {
    long long left = monitor.left;
    long long top = monitor.top;
    long long right = monitor.right();
    long long bottom = monitor.bottom();
    for (const Band& band : bands) {
        if (!overlaps(band.area, monitor))
            continue;
        switch (band.edge) {
        case Edge::left:
            left = std::max(left, band.area.right());
            break;
        case Edge::right:
            right = std::min(right, static_cast<long long>(band.area.left));
            break;
        case Edge::top:
            top = std::max(top, band.area.bottom());
            break;
        case Edge::bottom:
            bottom = std::min(bottom, static_cast<long long>(band.area.top));
            break;
        }
    }
    // Bands that meet or cross leave an empty area at the edge they came from last.
    left = std::min(left, static_cast<long long>(monitor.right()));
    top = std::min(top, static_cast<long long>(monitor.bottom()));
    right = std::max(right, left);
    bottom = std::max(bottom, top);
    return {static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
            static_cast<int>(bottom - top)};
}

// The strut of a window, from the newer property when it has it.
std::optional<Strut> strutOf(Display* display, Window window, Atom partial, Atom plain,
                             int rootWidth, int rootHeight) {
    int count = 0;
    Atom* properties = XListProperties(display, window, &count);
    if (properties == nullptr)
        return std::nullopt;
    Atom* const end = properties + count;
    const bool hasPartial = std::find(properties, end, partial) != end;
    const bool hasPlain = std::find(properties, end, plain) != end;
    XFree(properties);
    if (hasPartial) {
        const std::vector<long> values = x11::cardinals(display, window, partial, 12);
        if (values.size() == 12) {
            Strut strut{};
            std::copy(values.begin(), values.end(), strut.begin());
            return strut;
        }
    }
    if (hasPlain) {
        const std::vector<long> values = x11::cardinals(display, window, plain, 4);
        if (values.size() == 4)
            return strutAlongWholeEdges({values[0], values[1], values[2], values[3]}, rootWidth,
                                        rootHeight);
    }
    return std::nullopt;
}

// Windows on the screen may be gone by the time they are asked about; that only means they keep
// nothing.
int ignoreXError(Display*, XErrorEvent*) {
    return 0;
}

std::vector<Window> childrenOf(Display* display, Window window) {
    Window root = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned count = 0;
    std::vector<Window> found;
    if (XQueryTree(display, window, &root, &parent, &children, &count) != 0 && children != nullptr)
        found.assign(children, children + count);
    if (children != nullptr)
        XFree(children);
    return found;
}

// The window and the windows up to `levels` levels inside it.
void addWithInnerWindows(Display* display, Window window, int levels, std::vector<Window>& into) {
    into.push_back(window);
    if (levels == 0)
        return;
    for (const Window inner : childrenOf(display, window))
        addWithInnerWindows(display, inner, levels - 1, into);
}

bool mapped(Display* display, Window window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) != 0 &&
           attributes.map_state != IsUnmapped;
}

// The struts of those of the windows that have one, each window once.
std::vector<Strut> strutsOf(Display* display, std::vector<Window> windows) {
    const int screen = DefaultScreen(display);
    const int rootWidth = DisplayWidth(display, screen);
    const int rootHeight = DisplayHeight(display, screen);
    const Atom partial = XInternAtom(display, "_NET_WM_STRUT_PARTIAL", False);
    const Atom plain = XInternAtom(display, "_NET_WM_STRUT", False);
    std::sort(windows.begin(), windows.end());
    windows.erase(std::unique(windows.begin(), windows.end()), windows.end());
    auto* const previousHandler = XSetErrorHandler(ignoreXError);
    std::vector<Strut> struts;
    for (const Window window : windows) {
        if (const auto strut = strutOf(display, window, partial, plain, rootWidth, rootHeight))
            struts.push_back(*strut);
    }
    XSetErrorHandler(previousHandler);
    return struts;
}

} // namespace

Strut strutAlongWholeEdges(const std::array<long, 4>& widths, int rootWidth, int rootHeight) {
    return {widths[0], widths[1],       widths[2], widths[3],      0, rootHeight - 1L,
            0,         rootHeight - 1L, 0,         rootWidth - 1L, 0, rootWidth - 1L};
}

std::vector<Monitor> monitorsLessStruts(std::span<const ScreenRect> bounds, int rootWidth,
                                        int rootHeight, std::span<const Strut> struts) {
    std::vector<Band> bands;
    for (const Strut& strut : struts) {
        const std::optional<Band> each[] = {
            bandOf(Edge::left, strut[leftWidth], strut[leftStartY], strut[leftEndY], rootWidth,
                   rootHeight),
            bandOf(Edge::right, strut[rightWidth], strut[rightStartY], strut[rightEndY], rootWidth,
                   rootHeight),
            bandOf(Edge::top, strut[topWidth], strut[topStartX], strut[topEndX], rootWidth,
                   rootHeight),
            bandOf(Edge::bottom, strut[bottomWidth], strut[bottomStartX], strut[bottomEndX],
                   rootWidth, rootHeight),
        };
        for (const std::optional<Band>& band : each) {
            if (band)
                bands.push_back(*band);
        }
    }
    std::vector<Monitor> monitors;
    for (const ScreenRect& monitor : bounds)
        monitors.push_back({monitor, lessBands(monitor, bands)});
    return monitors;
}

std::vector<Monitor> monitorsWithin(std::vector<Monitor> monitors, const ScreenRect& desktopArea) {
    for (Monitor& monitor : monitors) {
        const ScreenRect& area = monitor.workArea;
        const long long left = std::max<long long>(area.left, desktopArea.left);
        const long long top = std::max<long long>(area.top, desktopArea.top);
        const long long right = std::min(area.right(), desktopArea.right());
        const long long bottom = std::min(area.bottom(), desktopArea.bottom());
        if (right > left && bottom > top)
            monitor.workArea = {static_cast<int>(left), static_cast<int>(top),
                                static_cast<int>(right - left), static_cast<int>(bottom - top)};
    }
    return monitors;
}

std::optional<ScreenRect> readDesktopWorkArea(Display* display) {
    const Window root = DefaultRootWindow(display);
    // Desktops are few; a number past this is taken for a broken property.
    constexpr long desktopLimit = 1024;
    const std::vector<long> current =
        x11::cardinals(display, root, XInternAtom(display, "_NET_CURRENT_DESKTOP", False), 1);
    const long desktop =
        current.empty() || current[0] < 0 || current[0] >= desktopLimit ? 0 : current[0];
    const std::vector<long> areas = x11::cardinals(
        display, root, XInternAtom(display, "_NET_WORKAREA", False), 4 * (desktop + 1));
    const std::size_t at = areas.size() >= 4 * static_cast<std::size_t>(desktop + 1)
                               ? 4 * static_cast<std::size_t>(desktop)
                               : 0;
    if (areas.size() < at + 4 || areas[at + 2] <= 0 || areas[at + 3] <= 0)
        return std::nullopt;
    const auto coordinate = [](long value) {
        return static_cast<int>(std::clamp<long>(value, -(1L << 30), 1L << 30));
    };
    return ScreenRect{coordinate(areas[at]), coordinate(areas[at + 1]), coordinate(areas[at + 2]),
                      coordinate(areas[at + 3])};
}

std::vector<Strut> readListedStruts(Display* display) {
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    constexpr long clientLimit = 1 << 16;
    std::vector<Window> windows;
    for (const long client : x11::cardinals(
             display, root, XInternAtom(display, "_NET_CLIENT_LIST", False), clientLimit))
        windows.push_back(static_cast<Window>(client));
    return strutsOf(display, windows);
}

std::vector<Strut> readUnlistedStruts(Display* display) {
    const Window root = DefaultRootWindow(display);
    // Where a reparenting manager keeps the panels it manages (i3bar, inside its frame), and
    // where a manager keeps a panel of its own (icewm's taskbar, two levels down).
    constexpr int innerLevels = 2;
    auto* const previousHandler = XSetErrorHandler(ignoreXError);
    std::vector<Window> windows;
    for (const Window child : childrenOf(display, root)) {
        if (mapped(display, child))
            addWithInnerWindows(display, child, innerLevels, windows);
    }
    XSetErrorHandler(previousHandler);
    return strutsOf(display, windows);
}

std::vector<Monitor> MonitorReader::read(Display* display) {
    std::vector<ScreenRect> bounds;
    for (int screen = 0; screen < Fl::screen_count(); ++screen) {
        int x = 0, y = 0, width = 0, height = 0;
        Fl::screen_xywh(x, y, width, height, screen);
        bounds.push_back({x, y, width, height});
    }
    const int screen = DefaultScreen(display);
    const int rootWidth = DisplayWidth(display, screen);
    const int rootHeight = DisplayHeight(display, screen);
    if (bounds.empty())
        bounds.push_back({0, 0, rootWidth, rootHeight});
    const auto now = std::chrono::steady_clock::now();
    if (!unlistedReadAt_ || now - *unlistedReadAt_ > std::chrono::seconds(1)) {
        unlisted_ = readUnlistedStruts(display);
        unlistedReadAt_ = now;
    }
    std::vector<Strut> struts = readListedStruts(display);
    struts.insert(struts.end(), unlisted_.begin(), unlisted_.end());
    std::vector<Monitor> monitors = monitorsLessStruts(bounds, rootWidth, rootHeight, struts);
    if (const std::optional<ScreenRect> desktopArea = readDesktopWorkArea(display))
        return monitorsWithin(std::move(monitors), *desktopArea);
    return monitors;
}

} // namespace dravix::fltk
