#include "tests/support/x11/x_proxy.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

namespace dravix::x11test {

namespace {

constexpr std::uint8_t replyType = 1;
constexpr std::uint8_t errorType = 0;
constexpr std::uint8_t genericEventType = 35;

// The local socket of display `number`: the abstract name that Xlib tries first on Linux.
sockaddr_un abstractAddress(int number, socklen_t& length) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = "/tmp/.X11-unix/X" + std::to_string(number);
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return address;
}

int connectToDisplay(int number) {
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    socklen_t length = 0;
    sockaddr_un address = abstractAddress(number, length);
    if (::connect(socket, reinterpret_cast<sockaddr*>(&address), length) == 0)
        return socket;
    sockaddr_un path{};
    path.sun_family = AF_UNIX;
    const std::string name = "/tmp/.X11-unix/X" + std::to_string(number);
    std::memcpy(path.sun_path, name.c_str(), name.size() + 1);
    if (::connect(socket, reinterpret_cast<sockaddr*>(&path), sizeof path) == 0)
        return socket;
    ::close(socket);
    return -1;
}

bool writeAll(int descriptor, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::send(descriptor, data, size, MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// The server's side of the protocol, cut into its messages: a message's header is gathered
// until its length is known, and the rest of it is passed over.
class AnswerStream {
public:
    // Hands each message's header to `each`, with whether the set-up answer (the first message,
    // which has a form of its own) came before it.
    template <typename Each> void take(const std::uint8_t* data, std::size_t size, Each&& each) {
        while (size > 0) {
            if (skip_ > 0) {
                const std::size_t passed = std::min(skip_, size);
                skip_ -= passed;
                data += passed;
                size -= passed;
                continue;
            }
            const std::size_t wanted = setUpDone_ ? 32 : 8;
            const std::size_t taken = std::min(wanted - header_.size(), size);
            header_.insert(header_.end(), data, data + taken);
            data += taken;
            size -= taken;
            if (header_.size() < wanted)
                return;
            each(header_.data(), setUpDone_);
            skip_ = messageLength() - header_.size();
            header_.clear();
            setUpDone_ = true;
        }
    }

    bool littleEndian = true;

private:
    std::uint32_t number(std::size_t at, std::size_t bytes) const {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < bytes; ++i) {
            const std::uint32_t byte = header_[littleEndian ? at + i : at + bytes - 1 - i];
            value |= byte << (8 * i);
        }
        return value;
    }

    // The message's whole length in bytes.
    std::size_t messageLength() const {
        if (!setUpDone_)
            return 8 + 4 * static_cast<std::size_t>(number(6, 2));
        const std::uint8_t type = header_[0] & 0x7f;
        if (type == replyType || type == genericEventType)
            return 32 + 4 * static_cast<std::size_t>(number(4, 4));
        return 32;
    }

    std::vector<std::uint8_t> header_;
    std::size_t skip_ = 0;
    bool setUpDone_ = false;
};

} // namespace

struct XProxy::Connection {
    int client = -1;
    int server = -1;
    AnswerStream answers;
    bool sentSinceRoundTrip = false;
    bool started = false; // the client's first byte, its byte order, has come

    Connection() = default;
    ~Connection() {
        ::close(client);
        ::close(server);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
};

namespace {

int displayNumber(const std::string& name) {
    const auto colon = name.rfind(':');
    if (colon == std::string::npos || (colon != 0 && name.substr(0, colon) != "unix"))
        throw std::runtime_error("the proxy takes only a local display, not \"" + name + "\"");
    return std::atoi(name.c_str() + colon + 1);
}

} // namespace

XProxy::XProxy() {
    const char* const display = std::getenv("DISPLAY");
    if (display == nullptr)
        throw std::runtime_error("DISPLAY is not set");
    serverDisplay_ = display;
    displayNumber(serverDisplay_);
    listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // Display numbers far above the ones X servers pick, and none that a server has taken.
    for (int number = 700 + ::getpid() % 200; number < 1000; ++number) {
        struct stat existing {};
        const std::string digits = std::to_string(number);
        const std::string lock = "/tmp/.X" + digits + "-lock";
        const std::string path = "/tmp/.X11-unix/X" + digits;
        if (::stat(lock.c_str(), &existing) == 0 || ::stat(path.c_str(), &existing) == 0)
            continue;
        socklen_t length = 0;
        sockaddr_un address = abstractAddress(number, length);
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) == 0) {
            displayName_ = std::string(":").append(digits);
            break;
        }
    }
    if (displayName_.empty() || ::listen(listener_, 8) != 0 || ::pipe2(wake_, O_CLOEXEC) != 0) {
        ::close(listener_);
        throw std::runtime_error("the X proxy cannot listen: " + std::string(std::strerror(errno)));
    }
    thread_ = std::thread([this] { serve(); });
}

XProxy::~XProxy() {
    const char stop = 's';
    [[maybe_unused]] const ssize_t written = ::write(wake_[1], &stop, 1);
    thread_.join();
    ::close(listener_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

void XProxy::reset() {
    const std::lock_guard lock(mutex_);
    roundTrips_ = 0;
    replies_ = 0;
}

void XProxy::noteRequests(Connection& connection, const std::uint8_t* data) {
    const std::lock_guard lock(mutex_);
    if (!std::exchange(connection.started, true))
        connection.answers.littleEndian = data[0] == 'l';
    connection.sentSinceRoundTrip = true;
}

void XProxy::noteAnswers(Connection& connection, const std::uint8_t* data, std::size_t size) {
    const std::lock_guard lock(mutex_);
    connection.answers.take(data, size, [&](const std::uint8_t* answer, bool setUpDone) {
        const std::uint8_t type = answer[0] & 0x7f;
        const bool awaited = !setUpDone || type == replyType || type == errorType;
        if (setUpDone && type == replyType)
            ++replies_;
        if (awaited && connection.sentSinceRoundTrip) {
            connection.sentSinceRoundTrip = false;
            ++roundTrips_;
        }
    });
}

void XProxy::serve() {
    std::vector<std::unique_ptr<Connection>> connections;
    std::array<std::uint8_t, 1 << 16> buffer{};
    const int serverNumber = displayNumber(serverDisplay_);
    while (true) {
        std::vector<pollfd> watched{{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
        for (const auto& connection : connections) {
            watched.push_back({connection->client, POLLIN, 0});
            watched.push_back({connection->server, POLLIN, 0});
        }
        if (::poll(watched.data(), watched.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (watched[0].revents != 0)
            return;
        if (watched[1].revents & POLLIN) {
            auto connection = std::make_unique<Connection>();
            connection->client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            connection->server = connectToDisplay(serverNumber);
            if (connection->client >= 0 && connection->server >= 0)
                connections.push_back(std::move(connection));
        }
        std::vector<Connection*> closed;
        for (std::size_t i = 2; i < watched.size(); ++i) {
            if (watched[i].revents == 0)
                continue;
            Connection& connection = *connections[(i - 2) / 2];
            const bool fromClient = (i - 2) % 2 == 0;
            const int from = fromClient ? connection.client : connection.server;
            const int to = fromClient ? connection.server : connection.client;
            const ssize_t got = ::recv(from, buffer.data(), buffer.size(), 0);
            if (got <= 0) {
                closed.push_back(&connection);
                continue;
            }
            // Counted before it is passed on, so that a client that has its answer finds it
            // counted.
            const auto size = static_cast<std::size_t>(got);
            if (fromClient)
                noteRequests(connection, buffer.data());
            else
                noteAnswers(connection, buffer.data(), size);
            if (!writeAll(to, buffer.data(), size))
                closed.push_back(&connection);
        }
        for (Connection* gone : closed) {
            std::erase_if(connections, [&](const auto& each) { return each.get() == gone; });
        }
    }
}

} // namespace dravix::x11test
