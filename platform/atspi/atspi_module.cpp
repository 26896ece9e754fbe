// The screen-reader module: the window's accessible nodes as ATK objects, published on the
// AT-SPI bus by ATK's bridge. Built as dravix-atspi.so and loaded by the program only when the
// desktop wants accessibility, so that GLib, ATK and the bridge never load otherwise. The bridge
// itself is loaded here at run time too: a desktop without it installed gets no screen-reader
// support and nothing else changes.
//
//  [X] an application named after the program, one frame, a push button per node with name,
//      description (the path), keyboard shortcut (the digit), extents and a "press" action
//  [X] states: enabled, sensitive, visible, showing, focusable, focused; expandable and expanded
//      on the toggle
//  [X] events: children added and removed, name and description, expanded, focused
//  [X] the ATK utility's global event listeners, through which the bridge hears the events
//  [ ] key event listeners (a screen reader's own key snooping): the window gets its keys itself
//  [ ] window:activate and deactivate: the frame is no AtkWindow, so a reader that follows the
//      active window learns of the strip from its focus events only

#include "platform/atspi/atspi_module.h"

#include <atk/atk.h>
#include <dlfcn.h>

#include <cstring>
#include <vector>

namespace {

const DravixAtspiHost* host = nullptr;
AtkObject* application = nullptr;
AtkObject* frame = nullptr;
constexpr int nodeLimit = 11; // the toggle and ten slots
AtkObject* buttons[nodeLimit] = {};
std::vector<int> shownIds; // the frame's children as the reader last heard them
int focusedId = 0;

GMainContext* context = nullptr;
gint maxPriority = 0;
std::vector<GPollFD> pollFds;

// The nodes as the program has them now.
std::vector<DravixAtspiNode> currentNodes() {
    const DravixAtspiNode* nodes = nullptr;
    const int count = host->nodes(host->self, &nodes);
    return std::vector<DravixAtspiNode>(nodes, nodes + count);
}

bool findNode(int id, DravixAtspiNode& found) {
    for (const DravixAtspiNode& node : currentNodes()) {
        if (node.id == id) {
            found = node;
            return true;
        }
    }
    return false;
}

// --- The push buttons ---

struct DravixButton {
    AtkObject parent;
    int id;
};
struct DravixButtonClass {
    AtkObjectClass parent;
};

void dravixButtonActionInit(AtkActionIface* iface);
void dravixButtonComponentInit(AtkComponentIface* iface);

G_DEFINE_TYPE_WITH_CODE(DravixButton, dravix_button, ATK_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_ACTION, dravixButtonActionInit)
                            G_IMPLEMENT_INTERFACE(ATK_TYPE_COMPONENT, dravixButtonComponentInit))

int idOf(gpointer object) {
    return reinterpret_cast<DravixButton*>(object)->id;
}

// ATK keeps the strings it is given by getters only until the next call; these stay until the
// next look at the same node.
const gchar* keptText(AtkObject* object, const char* key, const char* text) {
    g_object_set_data_full(G_OBJECT(object), key, g_strdup(text), g_free);
    return static_cast<const gchar*>(g_object_get_data(G_OBJECT(object), key));
}

const gchar* buttonName(AtkObject* object) {
    DravixAtspiNode node{};
    return keptText(object, "dravix-name", findNode(idOf(object), node) ? node.name : "");
}

const gchar* buttonDescription(AtkObject* object) {
    DravixAtspiNode node{};
    return keptText(object, "dravix-description",
                    findNode(idOf(object), node) ? node.description : "");
}

AtkRole buttonRole(AtkObject*) {
    return ATK_ROLE_PUSH_BUTTON;
}

gint buttonIndex(AtkObject* object) {
    const std::vector<DravixAtspiNode> nodes = currentNodes();
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].id == idOf(object))
            return static_cast<gint>(i);
    }
    return -1;
}

AtkStateSet* buttonStates(AtkObject* object) {
    AtkStateSet* states = atk_state_set_new();
    DravixAtspiNode node{};
    if (!findNode(idOf(object), node)) {
        atk_state_set_add_state(states, ATK_STATE_DEFUNCT);
        return states;
    }
    for (const AtkStateType state : {ATK_STATE_ENABLED, ATK_STATE_SENSITIVE, ATK_STATE_VISIBLE,
                                     ATK_STATE_SHOWING, ATK_STATE_FOCUSABLE})
        atk_state_set_add_state(states, state);
    if (node.focused)
        atk_state_set_add_state(states, ATK_STATE_FOCUSED);
    if (node.expandable)
        atk_state_set_add_state(states, ATK_STATE_EXPANDABLE);
    if (node.expanded)
        atk_state_set_add_state(states, ATK_STATE_EXPANDED);
    return states;
}

void dravix_button_class_init(DravixButtonClass* klass) {
    AtkObjectClass* object = ATK_OBJECT_CLASS(klass);
    object->get_name = buttonName;
    object->get_description = buttonDescription;
    object->get_role = buttonRole;
    object->get_index_in_parent = buttonIndex;
    object->ref_state_set = buttonStates;
}

void dravix_button_init(DravixButton* button) {
    button->id = 0;
}

gboolean buttonPress(AtkAction* action, gint index) {
    DravixAtspiNode node{};
    if (index != 0 || !findNode(idOf(action), node))
        return FALSE;
    host->press(host->self, node.id);
    return TRUE;
}

gint buttonActionCount(AtkAction*) {
    return 1;
}

const gchar* buttonActionName(AtkAction* action, gint index) {
    return index == 0 ? keptText(ATK_OBJECT(action), "dravix-action", "press") : nullptr;
}

const gchar* buttonKeyBinding(AtkAction* action, gint index) {
    DravixAtspiNode node{};
    if (index != 0 || !findNode(idOf(action), node))
        return nullptr;
    return keptText(ATK_OBJECT(action), "dravix-key", node.shortcut);
}

void dravixButtonActionInit(AtkActionIface* iface) {
    iface->do_action = buttonPress;
    iface->get_n_actions = buttonActionCount;
    iface->get_name = buttonActionName;
    iface->get_keybinding = buttonKeyBinding;
}

// Screen coordinates, or against the window for the window and parent kinds (the frame is both).
void buttonExtents(AtkComponent* component, gint* x, gint* y, gint* width, gint* height,
                   AtkCoordType kind) {
    DravixAtspiNode node{};
    if (!findNode(idOf(component), node)) {
        *x = *y = *width = *height = -1;
        return;
    }
    int left = 0, top = 0, frameWidth = 0, frameHeight = 0;
    if (kind != ATK_XY_SCREEN)
        host->frame(host->self, &left, &top, &frameWidth, &frameHeight);
    *x = node.x - left;
    *y = node.y - top;
    *width = node.width;
    *height = node.height;
}

void dravixButtonComponentInit(AtkComponentIface* iface) {
    iface->get_extents = buttonExtents;
}

// --- The frame: the window, whose children are the nodes present ---

struct DravixFrame {
    AtkObject parent;
};
struct DravixFrameClass {
    AtkObjectClass parent;
};

void dravixFrameComponentInit(AtkComponentIface* iface);
G_DEFINE_TYPE_WITH_CODE(DravixFrame, dravix_frame, ATK_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_COMPONENT, dravixFrameComponentInit))

gint frameChildCount(AtkObject*) {
    return static_cast<gint>(currentNodes().size());
}

AtkObject* frameChild(AtkObject*, gint index) {
    const std::vector<DravixAtspiNode> nodes = currentNodes();
    if (index < 0 || static_cast<std::size_t>(index) >= nodes.size())
        return nullptr;
    const int id = nodes[static_cast<std::size_t>(index)].id;
    if (id < 0 || id >= nodeLimit)
        return nullptr;
    return ATK_OBJECT(g_object_ref(buttons[id]));
}

AtkStateSet* frameStates(AtkObject*) {
    AtkStateSet* states = atk_state_set_new();
    for (const AtkStateType state : {ATK_STATE_ENABLED, ATK_STATE_SENSITIVE, ATK_STATE_VISIBLE,
                                     ATK_STATE_SHOWING, ATK_STATE_ACTIVE})
        atk_state_set_add_state(states, state);
    return states;
}

gint frameIndex(AtkObject*) {
    return 0;
}

void dravix_frame_class_init(DravixFrameClass* klass) {
    AtkObjectClass* object = ATK_OBJECT_CLASS(klass);
    object->get_n_children = frameChildCount;
    object->ref_child = frameChild;
    object->ref_state_set = frameStates;
    object->get_index_in_parent = frameIndex;
}

void dravix_frame_init(DravixFrame*) {}

void frameExtents(AtkComponent*, gint* x, gint* y, gint* width, gint* height, AtkCoordType kind) {
    host->frame(host->self, x, y, width, height);
    if (kind != ATK_XY_SCREEN)
        *x = *y = 0;
}

void dravixFrameComponentInit(AtkComponentIface* iface) {
    iface->get_extents = frameExtents;
}

// --- The application: the root the bridge publishes ---

struct DravixApplication {
    AtkObject parent;
};
struct DravixApplicationClass {
    AtkObjectClass parent;
};
G_DEFINE_TYPE(DravixApplication, dravix_application, ATK_TYPE_OBJECT)

gint applicationChildCount(AtkObject*) {
    return 1;
}

AtkObject* applicationChild(AtkObject*, gint index) {
    return index == 0 ? ATK_OBJECT(g_object_ref(frame)) : nullptr;
}

void dravix_application_class_init(DravixApplicationClass* klass) {
    AtkObjectClass* object = ATK_OBJECT_CLASS(klass);
    object->get_n_children = applicationChildCount;
    object->ref_child = applicationChild;
}

void dravix_application_init(DravixApplication*) {}

// --- The ATK utility: the root, the toolkit's name, and the event listeners ---

// The bridge asks for "Atk:AtkObject:state-change" and the like: an emission hook on that
// signal of that type. The hook's number maps back to its signal for the removal.
struct Listener {
    guint hook;
    guint signal;
};
std::vector<Listener> listeners;

guint addGlobalListener(GSignalEmissionHook listener, const gchar* eventType) {
    gchar** parts = g_strsplit(eventType, ":", 3);
    guint hook = 0;
    if (g_strv_length(parts) == 3) {
        const GType type = g_type_from_name(parts[1]);
        const guint signal = type != 0 ? g_signal_lookup(parts[2], type) : 0;
        if (signal != 0) {
            hook = static_cast<guint>(
                g_signal_add_emission_hook(signal, 0, listener, g_strdup(eventType), g_free));
            listeners.push_back({hook, signal});
        }
    }
    g_strfreev(parts);
    return hook;
}

void removeGlobalListener(guint hook) {
    for (auto it = listeners.begin(); it != listeners.end(); ++it) {
        if (it->hook == hook) {
            g_signal_remove_emission_hook(it->signal, it->hook);
            listeners.erase(it);
            return;
        }
    }
}

AtkObject* utilityRoot() {
    return application;
}

const gchar* toolkitName() {
    return "Dravix";
}

const gchar* toolkitVersion() {
    return "1";
}

// --- The interface to the program ---

// The bridge is set up once; a later call gives the first one's outcome.
int start(const DravixAtspiHost* program) {
    static int started = 0;
    if (host != nullptr)
        return started;
    using BridgeInit = int (*)(int*, char***);
    void* bridge = dlopen("libatk-bridge-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
    const auto init = bridge != nullptr
                          ? reinterpret_cast<BridgeInit>(dlsym(bridge, "atk_bridge_adaptor_init"))
                          : nullptr;
    if (init == nullptr)
        return 0;
    host = program;

    auto* utility = ATK_UTIL_CLASS(g_type_class_ref(ATK_TYPE_UTIL));
    utility->get_root = utilityRoot;
    utility->get_toolkit_name = toolkitName;
    utility->get_toolkit_version = toolkitVersion;
    utility->add_global_event_listener = addGlobalListener;
    utility->remove_global_event_listener = removeGlobalListener;

    application = ATK_OBJECT(g_object_new(dravix_application_get_type(), nullptr));
    atk_object_set_role(application, ATK_ROLE_APPLICATION);
    atk_object_set_name(application, host->title);
    frame = ATK_OBJECT(g_object_new(dravix_frame_get_type(), nullptr));
    atk_object_set_role(frame, ATK_ROLE_FRAME);
    atk_object_set_name(frame, host->title);
    atk_object_set_parent(frame, application);
    for (int id = 0; id < nodeLimit; ++id) {
        auto* button = static_cast<DravixButton*>(g_object_new(dravix_button_get_type(), nullptr));
        button->id = id;
        buttons[id] = ATK_OBJECT(button);
        atk_object_set_parent(buttons[id], frame);
    }
    for (const DravixAtspiNode& node : currentNodes())
        shownIds.push_back(node.id);

    context = g_main_context_default();
    g_main_context_acquire(context);
    started = init(nullptr, nullptr) == 0 ? 1 : 0;
    return started;
}

AtkObject* buttonFor(int id) {
    return id >= 0 && id < nodeLimit ? buttons[id] : nullptr;
}

// The frame's children as they are now against what the reader heard: removals from the end
// first, so that every index told is right when it is told.
void childrenChanged() {
    std::vector<int> now;
    for (const DravixAtspiNode& node : currentNodes())
        now.push_back(node.id);
    for (std::size_t i = shownIds.size(); i-- > 0;) {
        if (i >= now.size() || now[i] != shownIds[i])
            g_signal_emit_by_name(frame, "children-changed::remove", static_cast<guint>(i),
                                  buttonFor(shownIds[i]));
        else
            break;
    }
    for (std::size_t i = 0; i < now.size(); ++i) {
        if (i >= shownIds.size() || shownIds[i] != now[i])
            g_signal_emit_by_name(frame, "children-changed::add", static_cast<guint>(i),
                                  buttonFor(now[i]));
    }
    shownIds = now;
}

void changed(int change, int id) {
    if (host == nullptr)
        return;
    AtkObject* button = buttonFor(id);
    DravixAtspiNode node{};
    switch (change) {
    case 0:
        childrenChanged();
        break;
    case 1:
        if (button != nullptr) {
            g_object_notify(G_OBJECT(button), "accessible-name");
            g_object_notify(G_OBJECT(button), "accessible-description");
        }
        break;
    case 2:
        if (button != nullptr && findNode(id, node))
            atk_object_notify_state_change(button, ATK_STATE_EXPANDED, node.expanded != 0);
        break;
    case 3:
        if (AtkObject* before = buttonFor(focusedId); before != nullptr && focusedId != id)
            atk_object_notify_state_change(before, ATK_STATE_FOCUSED, FALSE);
        if (button != nullptr)
            atk_object_notify_state_change(button, ATK_STATE_FOCUSED, TRUE);
        focusedId = id;
        break;
    default:
        break;
    }
}

int prepare(DravixAtspiWatch* watches, int room, int* timeoutMs) {
    if (context == nullptr)
        return 0;
    g_main_context_prepare(context, &maxPriority);
    if (pollFds.empty())
        pollFds.resize(8);
    gint count = 0;
    while ((count = g_main_context_query(context, maxPriority, timeoutMs, pollFds.data(),
                                         static_cast<gint>(pollFds.size()))) >
           static_cast<gint>(pollFds.size()))
        pollFds.resize(static_cast<std::size_t>(count));
    pollFds.resize(static_cast<std::size_t>(count));
    for (gint i = 0; i < count && i < room; ++i) {
        watches[i].fd = pollFds[static_cast<std::size_t>(i)].fd;
        watches[i].events = static_cast<short>(pollFds[static_cast<std::size_t>(i)].events);
        watches[i].revents = 0;
    }
    return count;
}

void dispatch(DravixAtspiWatch* watches, int count) {
    if (context == nullptr)
        return;
    for (std::size_t i = 0; i < pollFds.size(); ++i) {
        pollFds[i].revents = 0;
        if (static_cast<int>(i) < count && watches[i].fd == pollFds[i].fd)
            pollFds[i].revents = static_cast<gushort>(watches[i].revents);
    }
    if (g_main_context_check(context, maxPriority, pollFds.data(),
                             static_cast<gint>(pollFds.size())))
        g_main_context_dispatch(context);
}

const DravixAtspiModule module = {start, changed, prepare, dispatch};

} // namespace

extern "C" __attribute__((visibility("default"))) const DravixAtspiModule* dravix_atspi_module() {
    return &module;
}
