// The least any program can do for this job, as the floor the figures are compared with: one
// borderless 26 x 23 window drawn with Xlib alone (a two-colour image put on every exposure) and a
// 100 ms timer that wakes the process and does nothing. Plain C library and Xlib calls; linked
// with --as-needed, so that no C++ runtime is loaded.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <sys/select.h>

#include <cstdint>
#include <cstdlib>

namespace {

constexpr int width = 26;
constexpr int height = 23;
constexpr long tickMicroseconds = 100000;

} // namespace

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return 1;
    const int screen = DefaultScreen(display);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = False;
    attributes.event_mask = ExposureMask;
    const Window window =
        XCreateWindow(display, RootWindow(display, screen), 400, 600, width, height, 0,
                      CopyFromParent, InputOutput, CopyFromParent, CWEventMask, &attributes);
    XStoreName(display, window, "floor");

    // A toggle-like picture: a light square with a dark frame, in the server's pixel format.
    const int depth = DefaultDepth(display, screen);
    static std::uint32_t pixels[width * height];
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool frame = x < 2 || y < 2 || x >= width - 2 || y >= height - 2;
            pixels[y * width + x] = frame ? 0x202020 : 0xd0d0d0;
        }
    }
    XImage* image = XCreateImage(display, DefaultVisual(display, screen), depth, ZPixmap, 0,
                                 reinterpret_cast<char*>(pixels), width, height, 32, 0);
    const GC gc = XCreateGC(display, window, 0, nullptr);
    XMapWindow(display, window);
    XFlush(display);

    const int connection = ConnectionNumber(display);
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == Expose && event.xexpose.count == 0) {
                XPutImage(display, window, gc, image, 0, 0, 0, 0, width, height);
                XFlush(display);
            }
        }
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(connection, &readable);
        timeval timeout{0, tickMicroseconds};
        select(connection + 1, &readable, nullptr, nullptr, &timeout);
    }
}
