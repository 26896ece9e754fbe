#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// Whether the desktop wants accessibility, as its session bus says, asked at no cost: a D-Bus
// connection of its own spoken directly over the socket, so that no D-Bus or GLib library loads
// into the program to ask.
namespace dravix::atspi {

// The socket of a bus address as DBUS_SESSION_BUS_ADDRESS gives it ("unix:path=/run/user/1000/bus"
// or "unix:abstract=/tmp/dbus-x,guid=..."; the first unix address that names a socket counts);
// abstract names begin with a NUL byte. Nothing when no address names a socket.
std::optional<std::string> busSocketOf(std::string_view address);

// Asks org.a11y.Bus for org.a11y.Status's IsEnabled and ScreenReaderEnabled without starting it,
// and watches both and the owner of org.a11y.Bus afterwards, so that a screen reader started
// later is seen. Everything is sent at once; the answers come on descriptor() whenever they do.
class AccessibilityWatch {
public:
    // Nothing when the bus cannot be reached.
    static std::unique_ptr<AccessibilityWatch> connect(std::string_view address);
    ~AccessibilityWatch();
    AccessibilityWatch(const AccessibilityWatch&) = delete;
    AccessibilityWatch& operator=(const AccessibilityWatch&) = delete;

    int descriptor() const { return socket_; }

    // Reads what the bus sent. Returns whether accessibility is wanted when an answer or a
    // change came; closed() is true once the bus went away or refused the connection.
    std::optional<bool> read();
    bool closed() const { return socket_ < 0; }

private:
    explicit AccessibilityWatch(int socket) : socket_(socket) {}
    void close();
    bool send(const std::string& bytes);
    void askAgain();
    std::optional<bool> handleMessage(std::string_view message);

    int socket_ = -1;
    std::string input_;
    bool authenticated_ = false;
    std::uint32_t nextSerial_ = 1;
    std::uint32_t question_ = 0; // the serial of the GetAll whose answer counts
    bool isEnabled_ = false;
    bool screenReaderEnabled_ = false;
};

} // namespace dravix::atspi
