#pragma once

// The C interface between the program and its screen-reader module (dravix-atspi.so), which
// brings ATK, its AT-SPI bridge and GLib and is loaded with dlopen only when the desktop wants
// accessibility. Plain C types only: the module and the program may each have a C++ runtime of
// their own.

#ifdef __cplusplus
extern "C" {
#endif

// One node of the window as the program derives it (platform/accessible.h); strings are UTF-8
// and stay valid until the next call of `nodes`.
struct DravixAtspiNode {
    int id;
    const char* name;
    const char* description;
    const char* shortcut;
    int x, y, width, height; // screen pixels
    int expandable, expanded, focused;
};

// What the program offers the module. Called only from the program's own thread.
struct DravixAtspiHost {
    void* self;
    const char* title;
    // The current nodes, the toggle first; returns how many.
    int (*nodes)(void* self, const struct DravixAtspiNode** nodes);
    // The window's place and size on the screen.
    void (*frame)(void* self, int* x, int* y, int* width, int* height);
    // A screen reader pressed the node. The program acts on it after the module returns.
    void (*press)(void* self, int node);
};

// A descriptor the program's loop watches for the module; events as for poll(2).
struct DravixAtspiWatch {
    int fd;
    short events;
    short revents;
};

// Change codes, as AccessibleChange: 0 the nodes, 1 a node's name, 2 its state, 3 the focus.
struct DravixAtspiModule {
    // Joins the accessibility bus through the bridge; 0 when that failed (no bridge installed,
    // no bus). The host must outlive the module.
    int (*start)(const struct DravixAtspiHost* host);
    void (*changed)(int change, int node);
    // One turn of the module's GLib loop, split for a foreign loop: prepare fills up to `room`
    // watches and a timeout in milliseconds (-1 none) and returns how many it needs (more than
    // room: call again with more room); dispatch takes the watches back with their revents.
    int (*prepare)(struct DravixAtspiWatch* watches, int room, int* timeoutMs);
    void (*dispatch)(struct DravixAtspiWatch* watches, int count);
};

// The module's one exported symbol.
#define DRAVIX_ATSPI_ENTRY "dravix_atspi_module"
typedef const struct DravixAtspiModule* (*DravixAtspiEntry)(void);

#ifdef __cplusplus
}
#endif
