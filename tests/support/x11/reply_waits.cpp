// Loaded into a measured program with LD_PRELOAD: counts the replies the program waits for from
// the X server up to its first image request (its first frame), and writes the count into the
// file named by DRAVIX_REPLY_WAITS_FILE.
//
// Every reply a program waits for passes through XCB's reply waits (Xlib's own through
// xcb_wait_for_reply64). A wait counts when the request it waits for went out after the last
// counted wait had its answer: requests sent together and then collected one by one count once,
// however many there are; two requests of which the second is sent only once the first is
// answered count twice. The count follows from the order of the program's requests and waits
// alone, not from how fast the server answers. Which request went out when is read from the
// bytes written on the connection (the requests are numbered in the order they are written).
// The connection's set-up and Xlib's BIG-REQUESTS query, which every Xlib program makes while the
// display opens, are left out.

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

struct xcb_connection_t;
struct xcb_generic_error_t;
struct xcb_void_cookie_t {
    unsigned int sequence;
};
struct _XDisplay;
struct _XGC;
struct _XImage;

namespace {

// The requests written on the program's first X connection, cut from the byte stream: a
// request's first four (or, with BIG-REQUESTS, eight) bytes give its length; the first message
// is the set-up, which is no request.
class RequestStream {
public:
    void take(const std::uint8_t* data, std::size_t size) {
        while (size > 0) {
            if (skip_ > 0) {
                const std::size_t passed = skip_ < size ? skip_ : size;
                skip_ -= passed;
                data += passed;
                size -= passed;
                continue;
            }
            header_[have_++] = *data++;
            --size;
            if (have_ < wanted())
                continue;
            const std::size_t length = lengthOf();
            if (length == 0 && !big_ && setUpDone_) {
                big_ = true; // BIG-REQUESTS: the length is in the next four bytes
                continue;
            }
            skip_ = length > have_ ? length - have_ : 0;
            if (setUpDone_)
                ++written;
            setUpDone_ = true;
            have_ = 0;
            big_ = false;
        }
    }

    std::uint64_t written = 0; // the number of the last request written
    bool littleEndian = true;

private:
    std::size_t wanted() const { return !setUpDone_ ? 12 : big_ ? 8 : 4; }
    std::size_t number(std::size_t at, std::size_t bytes) const {
        std::size_t value = 0;
        for (std::size_t i = 0; i < bytes; ++i)
            value |= std::size_t{header_[littleEndian ? at + i : at + bytes - 1 - i]} << (8 * i);
        return value;
    }
    std::size_t lengthOf() const {
        const auto padded = [](std::size_t n) { return (n + 3) / 4 * 4; };
        if (!setUpDone_)
            return 12 + padded(number(6, 2)) + padded(number(8, 2));
        return 4 * (big_ ? number(4, 4) : number(2, 2));
    }

    std::uint8_t header_[12] = {};
    std::size_t have_ = 0;
    std::size_t skip_ = 0;
    bool setUpDone_ = false;
    bool big_ = false;
};

int xDescriptor = -1;   // the program's first X connection, once its set-up has been written
RequestStream requests; // what has been written on it
std::uint64_t answeredUpTo = 0; // the last request written when the last counted wait ended
int depth = 0;                  // nesting of the wrapped calls
int waits = 0;
bool frameSeen = false;

template <typename Function> Function next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// The bytes of a write on `descriptor`: the start of a connection set-up ("l" or "B", then
// protocol version 11) marks the X connection.
void noteWritten(int descriptor, const iovec* pieces, std::size_t count, std::size_t size) {
    if (xDescriptor < 0 && count > 0 && pieces[0].iov_len >= 4) {
        const auto* start = static_cast<const std::uint8_t*>(pieces[0].iov_base);
        const bool little = start[0] == 'l' && start[2] == 11 && start[3] == 0;
        const bool big = start[0] == 'B' && start[2] == 0 && start[3] == 11;
        if (little || big) {
            xDescriptor = descriptor;
            requests.littleEndian = little;
        }
    }
    if (descriptor != xDescriptor)
        return;
    for (std::size_t i = 0; i < count && size > 0; ++i) {
        const std::size_t taken = pieces[i].iov_len < size ? pieces[i].iov_len : size;
        requests.take(static_cast<const std::uint8_t*>(pieces[i].iov_base), taken);
        size -= taken;
    }
}

// Runs a wait for the reply to `request` (given by its low 32 bits) and counts it when the
// request went out after the last counted wait ended.
template <typename Call> auto counted(std::uint32_t request, Call&& call) {
    const bool outermost = depth++ == 0;
    auto result = call();
    --depth;
    const auto after =
        static_cast<std::int32_t>(request - static_cast<std::uint32_t>(answeredUpTo));
    if (outermost && after > 0 && !frameSeen) {
        ++waits;
        answeredUpTo = requests.written;
    }
    return result;
}

// Runs a call whose waits are not counted (the display's opening).
template <typename Call> auto uncounted(Call&& call) {
    ++depth;
    auto result = call();
    --depth;
    answeredUpTo = requests.written;
    return result;
}

void writeCount() {
    const char* const path = std::getenv("DRAVIX_REPLY_WAITS_FILE");
    if (path == nullptr)
        return;
    const int file = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (file < 0)
        return;
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%d\n", waits);
    [[maybe_unused]] const ssize_t written = ::write(file, text, static_cast<std::size_t>(length));
    ::close(file);
}

void noteFrame() {
    if (!frameSeen) {
        frameSeen = true;
        writeCount();
    }
}

} // namespace

extern "C" {

ssize_t writev(int descriptor, const iovec* pieces, int count) {
    static const auto real = next<ssize_t (*)(int, const iovec*, int)>("writev");
    const ssize_t written = real(descriptor, pieces, count);
    if (written > 0 && count > 0)
        noteWritten(descriptor, pieces, static_cast<std::size_t>(count),
                    static_cast<std::size_t>(written));
    return written;
}

ssize_t sendmsg(int descriptor, const msghdr* message, int flags) {
    static const auto real = next<ssize_t (*)(int, const msghdr*, int)>("sendmsg");
    const ssize_t written = real(descriptor, message, flags);
    if (written > 0)
        noteWritten(descriptor, message->msg_iov, message->msg_iovlen,
                    static_cast<std::size_t>(written));
    return written;
}

void* xcb_wait_for_reply(xcb_connection_t* connection, unsigned int request,
                         xcb_generic_error_t** error) {
    static const auto real =
        next<void* (*)(xcb_connection_t*, unsigned int, xcb_generic_error_t**)>(
            "xcb_wait_for_reply");
    return counted(request, [&] { return real(connection, request, error); });
}

void* xcb_wait_for_reply64(xcb_connection_t* connection, std::uint64_t request,
                           xcb_generic_error_t** error) {
    static const auto real =
        next<void* (*)(xcb_connection_t*, std::uint64_t, xcb_generic_error_t**)>(
            "xcb_wait_for_reply64");
    return counted(static_cast<std::uint32_t>(request),
                   [&] { return real(connection, request, error); });
}

xcb_generic_error_t* xcb_request_check(xcb_connection_t* connection, xcb_void_cookie_t cookie) {
    static const auto real =
        next<xcb_generic_error_t* (*)(xcb_connection_t*, xcb_void_cookie_t)>("xcb_request_check");
    return counted(cookie.sequence, [&] { return real(connection, cookie); });
}

std::uint32_t xcb_get_maximum_request_length(xcb_connection_t* connection) {
    static const auto real =
        next<std::uint32_t (*)(xcb_connection_t*)>("xcb_get_maximum_request_length");
    return uncounted([&] { return real(connection); });
}

// The first frame: the first image put into a window, through Xlib or XCB.
int XPutImage(_XDisplay* display, unsigned long drawable, _XGC* gc, _XImage* image, int sourceX,
              int sourceY, int x, int y, unsigned int width, unsigned int height) {
    static const auto real = next<int (*)(_XDisplay*, unsigned long, _XGC*, _XImage*, int, int, int,
                                          int, unsigned int, unsigned int)>("XPutImage");
    noteFrame();
    return real(display, drawable, gc, image, sourceX, sourceY, x, y, width, height);
}

xcb_void_cookie_t xcb_put_image(xcb_connection_t* connection, std::uint8_t format,
                                std::uint32_t drawable, std::uint32_t gc, std::uint16_t width,
                                std::uint16_t height, std::int16_t x, std::int16_t y,
                                std::uint8_t leftPad, std::uint8_t imageDepth,
                                std::uint32_t dataLength, const std::uint8_t* data) {
    static const auto real =
        next<xcb_void_cookie_t (*)(xcb_connection_t*, std::uint8_t, std::uint32_t, std::uint32_t,
                                   std::uint16_t, std::uint16_t, std::int16_t, std::int16_t,
                                   std::uint8_t, std::uint8_t, std::uint32_t, const std::uint8_t*)>(
            "xcb_put_image");
    noteFrame();
    return real(connection, format, drawable, gc, width, height, x, y, leftPad, imageDepth,
                dataLength, data);
}
}
