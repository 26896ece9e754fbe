#include "platform/fltk/x11_work_area.h"

#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <xcb/xcb.h>
#include <xcb/xinerama.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <tuple>
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

} // namespace

Strut strutAlongWholeEdges(const std::array<long, 4>& widths, int rootWidth, int rootHeight) {
    return {widths[0], widths[1],       widths[2], widths[3],      0, rootHeight - 1L,
            0,         rootHeight - 1L, 0,         rootWidth - 1L, 0, rootWidth - 1L};
}

std::optional<Strut> panelStrut(std::span<const long> partial, std::span<const long> plain,
                                int rootWidth, int rootHeight) {
    if (partial.size() == 12) {
        Strut strut{};
        std::copy(partial.begin(), partial.end(), strut.begin());
        return strut;
    }
    if (plain.size() == 4)
        return strutAlongWholeEdges({plain[0], plain[1], plain[2], plain[3]}, rootWidth,
                                    rootHeight);
    return std::nullopt;
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

namespace {

// Desktops are few; a number past this is taken for a broken property.
constexpr long desktopLimit = 1024;
constexpr std::uint32_t clientLimit = 1 << 16;
// Where a reparenting manager keeps the panels it manages (i3bar, inside its frame), and where a
// manager keeps a panel of its own (icewm's taskbar, two levels down).
constexpr int innerLevels = 2;
// The events of a panel that may change what it keeps.
constexpr std::uint32_t panelEvents =
    XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
// The root window's: the toolkit's property changes, and its size.
constexpr std::uint32_t rootEvents =
    XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename Reply> using Answer = std::unique_ptr<Reply, FreeReply>;

// The reply to a request, or nothing when it failed: a window that went away meanwhile keeps
// nothing. The error is dropped here, so that it never reaches Xlib's error handler.
template <typename Reply, typename Cookie>
Answer<Reply> answerTo(xcb_connection_t* connection, Cookie cookie,
                       Reply* (*fetch)(xcb_connection_t*, Cookie, xcb_generic_error_t**)) {
    xcb_generic_error_t* error = nullptr;
    Answer<Reply> reply(fetch(connection, cookie, &error));
    std::free(error);
    return reply;
}

xcb_get_property_cookie_t askProperty(xcb_connection_t* connection, xcb_window_t window,
                                      Atom property, std::uint32_t longs) {
    return xcb_get_property(connection, 0, window, static_cast<xcb_atom_t>(property),
                            XCB_GET_PROPERTY_TYPE_ANY, 0, longs);
}

// The items of a 32-bit property, each widened with its sign, as Xlib hands them over.
std::vector<long> longsOf(const Answer<xcb_get_property_reply_t>& reply) {
    if (!reply || reply->format != 32)
        return {};
    const auto* items = static_cast<const std::int32_t*>(xcb_get_property_value(reply.get()));
    return {items, items + xcb_get_property_value_length(reply.get()) / 4};
}

std::vector<xcb_window_t> childrenIn(const Answer<xcb_query_tree_reply_t>& tree) {
    if (!tree)
        return {};
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    return {children, children + xcb_query_tree_children_length(tree.get())};
}

// The properties a reading looks at, in one batch of atoms (from Xlib's cache after the start).
enum PropertyAtom {
    clientListAtom,
    currentDesktopAtom,
    workAreaAtom,
    managerCheckAtom,
    strutPartialAtom,
    strutAtom,
    windowTypeAtom,
    dockTypeAtom,
    propertyAtomCount,
};
using PropertyAtoms = std::array<unsigned long, propertyAtomCount>;
const char* const propertyNames[propertyAtomCount] = {
    "_NET_CLIENT_LIST",         "_NET_CURRENT_DESKTOP",     "_NET_WORKAREA",
    "_NET_SUPPORTING_WM_CHECK", "_NET_WM_STRUT_PARTIAL",    "_NET_WM_STRUT",
    "_NET_WM_WINDOW_TYPE",      "_NET_WM_WINDOW_TYPE_DOCK",
};

// A window the reading has found, and what it asked about it without waiting: the names of its
// properties and, when the reading looks inside it, its children (and, at the top of the tree,
// whether it is mapped).
struct Sighting {
    xcb_window_t window;
    bool mustBeMapped; // a top-level window the manager does not list keeps nothing unmapped
    xcb_list_properties_cookie_t names;
    std::optional<xcb_query_tree_cookie_t> children;
    std::optional<xcb_get_window_attributes_cookie_t> attributes;
};

// What the answers about a sighted window said: which of the panel properties it holds, whether it
// is still to be seen mapped, and the windows inside it.
struct Heard {
    xcb_window_t window = 0;
    bool mustBeMapped = false;
    bool partial = false;
    bool plain = false;
    bool type = false;
    std::vector<xcb_window_t> inside;
};

// The panel properties a window holds, asked for in the step after it was sighted.
struct PanelQuestions {
    xcb_window_t window = 0;
    std::optional<xcb_get_property_cookie_t> partial;
    std::optional<xcb_get_property_cookie_t> plain;
    std::optional<xcb_get_property_cookie_t> type;
    std::optional<xcb_get_window_attributes_cookie_t> attributes;
};

// One reading of the desktop, a step at a time: each step sends every question it has before it
// waits for the first answer. A window is first asked only for the names of its properties, so
// that the many windows that are no panel cost one small request each.
class DesktopReading {
public:
    DesktopReading(Display* display, const PropertyAtoms& atoms)
        : connection_(XGetXCBConnection(display)), atoms_(atoms) {}

    xcb_connection_t* connection() const { return connection_; }

    Sighting sight(xcb_window_t window, bool mustBeMapped, bool looksInside) {
        Sighting sighting{window, mustBeMapped, xcb_list_properties(connection_, window),
                          std::nullopt, std::nullopt};
        if (looksInside) {
            sighting.children = xcb_query_tree(connection_, window);
            if (mustBeMapped)
                sighting.attributes = xcb_get_window_attributes(connection_, window);
        }
        return sighting;
    }

    // Every answer is collected, so that none is left with XCB, before what they say is used.
    Heard hear(const Sighting& sighting) {
        const auto names = answerTo(connection_, sighting.names, xcb_list_properties_reply);
        std::vector<xcb_window_t> inside;
        if (sighting.children)
            inside = childrenIn(answerTo(connection_, *sighting.children, xcb_query_tree_reply));
        if (sighting.attributes && !mapped(*sighting.attributes))
            return {};
        Heard heard;
        heard.window = sighting.window;
        heard.mustBeMapped = sighting.mustBeMapped && !sighting.attributes;
        heard.inside = std::move(inside);
        if (names) {
            const xcb_atom_t* const held = xcb_list_properties_atoms(names.get());
            const xcb_atom_t* const end = held + xcb_list_properties_atoms_length(names.get());
            const auto holds = [&](PropertyAtom property) {
                return std::find(held, end, static_cast<xcb_atom_t>(atoms_[property])) != end;
            };
            heard.partial = holds(strutPartialAtom);
            heard.plain = holds(strutAtom);
            heard.type = holds(windowTypeAtom);
        }
        return heard;
    }

    // The properties a window was heard to hold; nothing when it holds none of them.
    std::optional<PanelQuestions> askPanel(const Heard& heard) {
        if (!heard.partial && !heard.plain && !heard.type)
            return std::nullopt;
        PanelQuestions questions;
        questions.window = heard.window;
        if (heard.partial)
            questions.partial =
                askProperty(connection_, heard.window, atoms_[strutPartialAtom], 12);
        if (heard.plain)
            questions.plain = askProperty(connection_, heard.window, atoms_[strutAtom], 4);
        if (heard.type)
            questions.type = askProperty(connection_, heard.window, atoms_[windowTypeAtom], 32);
        if (heard.mustBeMapped)
            questions.attributes = xcb_get_window_attributes(connection_, heard.window);
        return questions;
    }

    // A window with a strut keeps its band; it and a window of the dock type are panels.
    void hearPanel(const PanelQuestions& questions) {
        const std::vector<long> partial = longsAnswering(questions.partial);
        const std::vector<long> plain = longsAnswering(questions.plain);
        const std::vector<long> types = longsAnswering(questions.type);
        if (questions.attributes && !mapped(*questions.attributes))
            return;
        const bool dock = std::find(types.begin(), types.end(),
                                    static_cast<long>(atoms_[dockTypeAtom])) != types.end();
        if (const std::optional<Strut> strut = panelStrut(partial, plain, rootWidth, rootHeight))
            struts.push_back(*strut);
        else if (!dock)
            return;
        panels.push_back(questions.window);
    }

    int rootWidth = 0;
    int rootHeight = 0;
    std::vector<Strut> struts;
    std::vector<xcb_window_t> panels; // the windows with a strut or of the dock type

private:
    bool mapped(xcb_get_window_attributes_cookie_t asked) {
        const auto attributes = answerTo(connection_, asked, xcb_get_window_attributes_reply);
        return attributes && attributes->map_state != XCB_MAP_STATE_UNMAPPED;
    }

    std::vector<long> longsAnswering(const std::optional<xcb_get_property_cookie_t>& asked) {
        if (!asked)
            return {};
        return longsOf(answerTo(connection_, *asked, xcb_get_property_reply));
    }

    xcb_connection_t* connection_;
    const PropertyAtoms& atoms_;
};

// The current desktop's area among the root window's four numbers a desktop; a desktop past the
// list, or a number that is none, takes the first desktop's.
std::optional<ScreenRect> desktopAreaIn(const std::vector<long>& current,
                                        const std::vector<long>& areas) {
    const std::size_t desktops = areas.size() / 4;
    if (desktops == 0)
        return std::nullopt;
    const long desktop = current.empty() ? 0 : current[0];
    const std::size_t at =
        desktop > 0 && static_cast<std::size_t>(desktop) < desktops ? 4 * desktop : 0;
    if (areas[at + 2] <= 0 || areas[at + 3] <= 0)
        return std::nullopt;
    const auto coordinate = [](long value) {
        return static_cast<int>(std::clamp<long>(value, -(1L << 30), 1L << 30));
    };
    return ScreenRect{coordinate(areas[at]), coordinate(areas[at + 1]), coordinate(areas[at + 2]),
                      coordinate(areas[at + 3])};
}

// Asks for a window's events, dropping the error of a window that has gone meanwhile.
void watch(xcb_connection_t* connection, xcb_window_t window, std::uint32_t events) {
    xcb_discard_reply(connection, xcb_change_window_attributes_checked(connection, window,
                                                                       XCB_CW_EVENT_MASK, &events)
                                      .sequence);
}

Bool noteQueuedEvent(Display*, XEvent* event, XPointer reader) {
    reinterpret_cast<MonitorReader*>(reader)->noteEvent(*event);
    return False;
}

struct ScreenQuestions {
    std::optional<xcb_xinerama_is_active_cookie_t> active;
    std::optional<xcb_xinerama_query_screens_cookie_t> screens;
};

// The Xinerama extension's number is known before the first step (XCB keeps it once asked, and
// the display's opening asks for it with the atoms; see prefetchScreenExtension), so that the
// screens come with the first step too.
ScreenQuestions askScreens(xcb_connection_t* connection) {
    const xcb_query_extension_reply_t* const xinerama =
        xcb_get_extension_data(connection, &xcb_xinerama_id);
    if (xinerama == nullptr || !xinerama->present)
        return {};
    return {xcb_xinerama_is_active(connection), xcb_xinerama_query_screens(connection)};
}

// The screens Xinerama reports, or the whole root when it is off or absent.
std::vector<ScreenRect> screensOf(xcb_connection_t* connection, const ScreenQuestions& asked,
                                  int rootWidth, int rootHeight) {
    std::vector<ScreenRect> bounds;
    if (asked.active && asked.screens) {
        const auto active = answerTo(connection, *asked.active, xcb_xinerama_is_active_reply);
        const auto screens = answerTo(connection, *asked.screens, xcb_xinerama_query_screens_reply);
        if (active && active->state != 0 && screens) {
            const xcb_xinerama_screen_info_t* each =
                xcb_xinerama_query_screens_screen_info(screens.get());
            for (int i = 0; i < xcb_xinerama_query_screens_screen_info_length(screens.get()); ++i)
                bounds.push_back({each[i].x_org, each[i].y_org, each[i].width, each[i].height});
        }
    }
    if (bounds.empty())
        bounds.push_back({0, 0, rootWidth, rootHeight});
    return bounds;
}

// The program's own windows keep nothing for a panel; on an empty desktop they are all there
// is, and the reading ends with its first step.
void dropOwnWindows(xcb_connection_t* connection, std::vector<xcb_window_t>& windows) {
    const xcb_setup_t* const setup = xcb_get_setup(connection);
    std::erase_if(windows, [&](xcb_window_t window) {
        return (window & ~setup->resource_id_mask) == setup->resource_id_base;
    });
}

// The manager's listed windows that are not top-level windows, each once.
std::vector<xcb_window_t> listedOnlyOf(std::vector<xcb_window_t> topLevel,
                                       const std::vector<xcb_window_t>& listed) {
    std::sort(topLevel.begin(), topLevel.end());
    std::vector<xcb_window_t> listedOnly;
    for (const xcb_window_t window : listed) {
        if (!std::binary_search(topLevel.begin(), topLevel.end(), window))
            listedOnly.push_back(window);
    }
    return listedOnly;
}

// Asks about every window at the top of the tree and every one the manager lists (listed holds
// them sorted, each once). Panels lie inside a window only where a manager put them, in its frames
// or in a window of its own: with no manager running, and in a window the manager lists (a
// client's own window), what lies inside is the application's and is not asked about.
std::vector<Sighting> sightTopLevel(DesktopReading& reading,
                                    const std::vector<xcb_window_t>& topLevel,
                                    const std::vector<xcb_window_t>& listed, bool managerRuns) {
    std::vector<Sighting> sightings;
    for (const xcb_window_t window : topLevel) {
        const bool isListed = std::binary_search(listed.begin(), listed.end(), window);
        sightings.push_back(
            reading.sight(window, !isListed, managerRuns && !isListed && innerLevels > 0));
    }
    for (const xcb_window_t window : listedOnlyOf(topLevel, listed))
        sightings.push_back(reading.sight(window, false, false));
    return sightings;
}

// The tree a level a step: the answers about one level ask for the panel properties its windows
// hold and about the level inside it, all sent before the next step waits; the last step hears
// only properties.
void readLevels(DesktopReading& reading, std::vector<Sighting> level,
                const std::vector<xcb_window_t>& listed) {
    std::vector<PanelQuestions> panelsAsked;
    for (int depth = 1; !level.empty() || !panelsAsked.empty(); ++depth) {
        std::vector<Heard> heard;
        for (const Sighting& sighting : level)
            heard.push_back(reading.hear(sighting));
        for (const PanelQuestions& questions : panelsAsked)
            reading.hearPanel(questions);
        level.clear();
        panelsAsked.clear();
        for (const Heard& window : heard) {
            if (std::optional<PanelQuestions> questions = reading.askPanel(window))
                panelsAsked.push_back(*questions);
            for (const xcb_window_t inner : window.inside) {
                // A listed window was asked about at the top already.
                if (!std::binary_search(listed.begin(), listed.end(), inner))
                    level.push_back(reading.sight(inner, false, depth < innerLevels));
            }
        }
    }
}

} // namespace

void prefetchScreenExtension(Display* display) {
    xcb_prefetch_extension_data(XGetXCBConnection(display), &xcb_xinerama_id);
}

std::vector<Monitor> MonitorReader::read(Display* display, bool mayRefresh) {
    // The events that have come but are not handled yet count too; none is taken from the queue.
    XEvent unused;
    XCheckIfEvent(display, &unused, noteQueuedEvent, reinterpret_cast<XPointer>(this));
    const auto now = std::chrono::steady_clock::now();
    if (monitors_ && mayRefresh && now - readAt_ > refreshAfter)
        monitors_.reset();
    if (!monitors_) {
        monitors_ = readFromServer(display);
        readAt_ = now;
    }
    return *monitors_;
}

namespace {

// From now on a panel's changes are heard of; watched holds, sorted, those already asked for.
void watchPanels(xcb_connection_t* connection, std::vector<xcb_window_t> panels,
                 std::vector<unsigned long>& watched) {
    std::sort(panels.begin(), panels.end());
    panels.erase(std::unique(panels.begin(), panels.end()), panels.end());
    for (const xcb_window_t panel : panels) {
        if (!std::binary_search(watched.begin(), watched.end(), panel))
            watch(connection, panel, panelEvents);
    }
    watched.assign(panels.begin(), panels.end());
    xcb_flush(connection);
}

} // namespace

std::vector<Monitor> MonitorReader::readFromServer(Display* display) {
    static_assert(std::tuple_size_v<decltype(atoms_)> == propertyAtomCount);
    if (atoms_[0] == None)
        XInternAtoms(display, const_cast<char**>(propertyNames), propertyAtomCount, False,
                     atoms_.data());
    // An event made by the server once it has begun answering is news to this reading.
    firstRequestOfRead_ = XNextRequest(display);
    DesktopReading reading(display, atoms_);
    xcb_connection_t* const connection = reading.connection();
    const xcb_window_t root = static_cast<xcb_window_t>(DefaultRootWindow(display));
    if (!rootWatched_ || root_ != root) {
        root_ = root;
        rootWatched_ = true;
        watch(connection, root, rootEvents);
    }

    // The root window: its size, its children, the manager's list and work areas, the screens.
    const ScreenQuestions screensAsked = askScreens(connection);
    const auto geometryAsked = xcb_get_geometry(connection, root);
    const auto treeAsked = xcb_query_tree(connection, root);
    const auto clientsAsked = askProperty(connection, root, atoms_[clientListAtom], clientLimit);
    const auto currentAsked = askProperty(connection, root, atoms_[currentDesktopAtom], 1);
    const auto areasAsked = askProperty(connection, root, atoms_[workAreaAtom],
                                        4 * static_cast<std::uint32_t>(desktopLimit));
    const auto managerAsked = askProperty(connection, root, atoms_[managerCheckAtom], 1);
    const auto geometry = answerTo(connection, geometryAsked, xcb_get_geometry_reply);
    reading.rootWidth = geometry ? geometry->width : DisplayWidth(display, DefaultScreen(display));
    reading.rootHeight =
        geometry ? geometry->height : DisplayHeight(display, DefaultScreen(display));
    std::vector<xcb_window_t> topLevel =
        childrenIn(answerTo(connection, treeAsked, xcb_query_tree_reply));
    const std::vector<long> clients =
        longsOf(answerTo(connection, clientsAsked, xcb_get_property_reply));
    std::vector<xcb_window_t> listed(clients.begin(), clients.end());
    std::sort(listed.begin(), listed.end());
    listed.erase(std::unique(listed.begin(), listed.end()), listed.end());
    const std::optional<ScreenRect> desktopArea =
        desktopAreaIn(longsOf(answerTo(connection, currentAsked, xcb_get_property_reply)),
                      longsOf(answerTo(connection, areasAsked, xcb_get_property_reply)));
    const bool managerRuns =
        !listed.empty() ||
        !longsOf(answerTo(connection, managerAsked, xcb_get_property_reply)).empty();

    // The windows, a level of the tree a step; the screens' answer came with the first step.
    dropOwnWindows(connection, topLevel);
    std::vector<Sighting> topSightings = sightTopLevel(reading, topLevel, listed, managerRuns);
    const std::vector<ScreenRect> bounds =
        screensOf(connection, screensAsked, reading.rootWidth, reading.rootHeight);
    readLevels(reading, std::move(topSightings), listed);
    watchPanels(connection, reading.panels, watched_);

    std::vector<Monitor> monitors =
        monitorsLessStruts(bounds, reading.rootWidth, reading.rootHeight, reading.struts);
    if (desktopArea)
        return monitorsWithin(std::move(monitors), *desktopArea);
    return monitors;
}

bool MonitorReader::changes(const XEvent& event) const {
    // The reading that began after the server made the event saw what it reports.
    if (event.xany.serial < firstRequestOfRead_)
        return false;
    const Window window = event.xany.window;
    if (rootWatched_ && window == root_) {
        const Atom property = event.xproperty.atom;
        if (event.type == PropertyNotify)
            return property == atoms_[clientListAtom] || property == atoms_[currentDesktopAtom] ||
                   property == atoms_[workAreaAtom] || property == atoms_[managerCheckAtom];
        return event.type == ConfigureNotify;
    }
    if (!std::binary_search(watched_.begin(), watched_.end(), window))
        return false;
    const Atom property = event.xproperty.atom;
    if (event.type == PropertyNotify)
        return property == atoms_[strutPartialAtom] || property == atoms_[strutAtom] ||
               property == atoms_[windowTypeAtom];
    return event.type == MapNotify || event.type == UnmapNotify || event.type == DestroyNotify ||
           event.type == ConfigureNotify || event.type == ReparentNotify;
}

bool MonitorReader::noteEvent(const XEvent& event) {
    if (monitors_ && changes(event))
        monitors_.reset();
    const Window window = event.xany.window;
    // The toolkit asks for the root window's property changes itself; its structure events come
    // only for the reader, as do all of a panel's.
    if (rootWatched_ && window == root_)
        return event.type == ConfigureNotify || event.type == GravityNotify ||
               event.type == CirculateNotify;
    return std::binary_search(watched_.begin(), watched_.end(), window);
}

void MonitorReader::forget() {
    rootWatched_ = false;
    monitors_.reset();
}

} // namespace dravix::fltk
