#include "platform/atspi/session_bus.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <functional>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace dravix::atspi {
namespace {

constexpr std::string_view a11yBus = "org.a11y.Bus";
constexpr std::string_view a11yPath = "/org/a11y/bus";
constexpr std::string_view statusInterface = "org.a11y.Status";
constexpr std::string_view propertiesInterface = "org.freedesktop.DBus.Properties";
constexpr std::string_view busName = "org.freedesktop.DBus";

// Message types, flags and header fields of the D-Bus wire format.
enum : std::uint8_t { methodCall = 1, methodReturn = 2, errorReply = 3, signal = 4 };
constexpr std::uint8_t noReplyExpected = 0x1, noAutoStart = 0x2;
enum : std::uint8_t {
    fieldPath = 1,
    fieldInterface,
    fieldMember,
    fieldError,
    fieldReplySerial,
    fieldDestination,
    fieldSender,
    fieldSignature
};
constexpr std::size_t messageLimit = 1 << 20; // far more than any answer asked for here

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// An address value with its %xx escapes undone; nothing when one is broken.
std::optional<std::string> unescaped(std::string_view value) {
    std::string text;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '%') {
            text += value[i];
            continue;
        }
        const int high = i + 2 < value.size() ? hexDigit(value[i + 1]) : -1;
        const int low = i + 2 < value.size() ? hexDigit(value[i + 2]) : -1;
        if (high < 0 || low < 0)
            return std::nullopt;
        text += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return text;
}

// Little-endian marshalling, with alignment counted from the message's start.
class Writer {
public:
    std::string bytes;
    void align(std::size_t to) { bytes.resize((bytes.size() + to - 1) / to * to, '\0'); }
    void byte(std::uint8_t value) { bytes += static_cast<char>(value); }
    void u32(std::uint32_t value) {
        align(4);
        for (int shift = 0; shift < 32; shift += 8)
            byte(static_cast<std::uint8_t>(value >> shift));
    }
    void string(std::string_view text) {
        u32(static_cast<std::uint32_t>(text.size()));
        bytes += text;
        byte(0);
    }
    void signature(std::string_view text) {
        byte(static_cast<std::uint8_t>(text.size()));
        bytes += text;
        byte(0);
    }
    void field(std::uint8_t code, char type, std::string_view value) {
        align(8);
        byte(code);
        signature(std::string_view(&type, 1));
        if (type == 'g')
            signature(value);
        else
            string(value);
    }
};

struct Call {
    std::string_view destination, path, interface, member;
    std::vector<std::string_view> arguments; // all strings
    std::uint8_t flags = 0;
};

std::string marshal(const Call& call, std::uint32_t serial) {
    Writer body;
    for (std::string_view argument : call.arguments)
        body.string(argument);
    Writer message;
    message.byte('l');
    message.byte(methodCall);
    message.byte(call.flags);
    message.byte(1);
    message.u32(static_cast<std::uint32_t>(body.bytes.size()));
    message.u32(serial);
    message.u32(0); // the fields' length, filled in below
    const std::size_t fieldsStart = message.bytes.size();
    message.field(fieldPath, 'o', call.path);
    message.field(fieldInterface, 's', call.interface);
    message.field(fieldMember, 's', call.member);
    message.field(fieldDestination, 's', call.destination);
    if (!call.arguments.empty())
        message.field(fieldSignature, 'g', std::string(call.arguments.size(), 's'));
    const auto fieldsLength = static_cast<std::uint32_t>(message.bytes.size() - fieldsStart);
    for (int i = 0; i < 4; ++i)
        message.bytes[12 + i] = static_cast<char>(fieldsLength >> (8 * i));
    message.align(8);
    return message.bytes + body.bytes;
}

// Reads values of a message in either byte order; any overrun makes it fail for good.
class Reader {
public:
    Reader(std::string_view message, std::size_t at, bool little)
        : message_(message), at_(at), little_(little) {}
    bool failed() const { return failed_; }
    std::size_t at() const { return at_; }

    bool align(std::size_t to) {
        const std::size_t next = (at_ + to - 1) / to * to;
        return need(next - at_) && (at_ = next, true);
    }
    std::uint32_t u32() {
        if (!align(4) || !need(4))
            return 0;
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const auto byte = static_cast<std::uint8_t>(message_[at_ + (little_ ? i : 3 - i)]);
            value |= static_cast<std::uint32_t>(byte) << (8 * i);
        }
        at_ += 4;
        return value;
    }
    std::uint8_t byte() {
        if (!need(1))
            return 0;
        return static_cast<std::uint8_t>(message_[at_++]);
    }
    std::string_view string() {
        const std::uint32_t length = u32();
        return text(length);
    }
    std::string_view signature() { return text(byte()); }

    // Skips one complete value of the type that starts the signature, and the type with it.
    void skip(std::string_view& type) {
        if (type.empty() || failed_)
            return fail();
        const char code = type.front();
        type.remove_prefix(1);
        switch (code) {
        case 'y':
        case 'g':
            code == 'y' ? void(byte()) : void(signature());
            return;
        case 'n':
        case 'q':
            align(2) && need(2) && (at_ += 2);
            return;
        case 'b':
        case 'i':
        case 'u':
        case 'h':
            u32();
            return;
        case 'x':
        case 't':
        case 'd':
            align(8) && need(8) && (at_ += 8);
            return;
        case 's':
        case 'o':
            string();
            return;
        case 'v': {
            std::string_view inner = signature();
            skip(inner);
            return;
        }
        case 'a':
            return skipArray(type);
        case '(':
        case '{':
            align(8);
            while (!type.empty() && type.front() != ')' && type.front() != '}' && !failed_)
                skip(type);
            if (type.empty())
                return fail();
            type.remove_prefix(1);
            return;
        default:
            return fail();
        }
    }

    // Skips an array's length and elements; type starts with the element's type.
    void skipArray(std::string_view& type) {
        const std::uint32_t length = u32();
        const std::string_view element = type;
        skipType(type);
        if (element.empty() || failed_ || !align(alignmentOf(element.front())) || !need(length))
            return;
        const std::size_t end = at_ + length;
        while (at_ < end && !failed_) {
            std::string_view again = element;
            skip(again);
        }
    }

    // Goes over an a{sv}, handing each key and, when its value is a boolean, the value.
    void properties(const std::function<void(std::string_view, std::optional<bool>)>& each) {
        const std::uint32_t length = u32();
        if (!align(8) || !need(length))
            return;
        const std::size_t end = at_ + length;
        while (at_ < end && !failed_) {
            align(8);
            const std::string_view key = string();
            std::string_view type = signature();
            if (type == "b") {
                const std::uint32_t value = u32();
                if (!failed_)
                    each(key, value != 0);
                continue;
            }
            skip(type);
            if (!failed_)
                each(key, std::nullopt);
        }
    }

private:
    static std::size_t alignmentOf(char code) {
        switch (code) {
        case 'n':
        case 'q':
            return 2;
        case 'b':
        case 'i':
        case 'u':
        case 'h':
        case 's':
        case 'o':
        case 'a':
            return 4;
        case 'x':
        case 't':
        case 'd':
        case '(':
        case '{':
            return 8;
        default:
            return 1;
        }
    }
    // Removes one complete type from the front of a signature.
    void skipType(std::string_view& type) {
        if (type.empty())
            return fail();
        const char code = type.front();
        type.remove_prefix(1);
        if (code == 'a')
            return skipType(type);
        if (code != '(' && code != '{')
            return;
        while (!type.empty() && type.front() != ')' && type.front() != '}')
            skipType(type);
        if (type.empty())
            return fail();
        type.remove_prefix(1);
    }
    std::string_view text(std::size_t length) {
        if (!need(length + 1))
            return {};
        const std::string_view value = message_.substr(at_, length);
        at_ += length + 1;
        return value;
    }
    bool need(std::size_t count) {
        if (failed_ || count > message_.size() - at_) {
            fail();
            return false;
        }
        return true;
    }
    void fail() { failed_ = true; }

    std::string_view message_;
    std::size_t at_;
    bool little_;
    bool failed_ = false;
};

} // namespace

std::optional<std::string> busSocketOf(std::string_view address) {
    while (!address.empty()) {
        const std::size_t end = std::min(address.find(';'), address.size());
        std::string_view entry = address.substr(0, end);
        address.remove_prefix(std::min(end + 1, address.size()));
        if (!entry.starts_with("unix:"))
            continue;
        entry.remove_prefix(5);
        while (!entry.empty()) {
            const std::size_t comma = std::min(entry.find(','), entry.size());
            const std::string_view pair = entry.substr(0, comma);
            entry.remove_prefix(std::min(comma + 1, entry.size()));
            const std::size_t equals = pair.find('=');
            if (equals == std::string_view::npos)
                continue;
            const std::string_view key = pair.substr(0, equals);
            const std::optional<std::string> value = unescaped(pair.substr(equals + 1));
            if (!value || value->empty())
                continue;
            if (key == "path")
                return *value;
            if (key == "abstract")
                return std::string(1, '\0') + *value;
        }
    }
    return std::nullopt;
}

std::unique_ptr<AccessibilityWatch> AccessibilityWatch::connect(std::string_view address) {
    const std::optional<std::string> socketName = busSocketOf(address);
    sockaddr_un where{};
    if (!socketName || socketName->size() >= sizeof(where.sun_path))
        return nullptr;
    where.sun_family = AF_UNIX;
    std::memcpy(where.sun_path, socketName->data(), socketName->size());
    const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (descriptor < 0)
        return nullptr;
    // A path name ends at its NUL; an abstract name is exactly as long as it is.
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) +
                                               socketName->size() + (socketName->front() != '\0'));
    if (::connect(descriptor, reinterpret_cast<const sockaddr*>(&where), length) != 0) {
        ::close(descriptor);
        return nullptr;
    }
    std::unique_ptr<AccessibilityWatch> watch(new AccessibilityWatch(descriptor));

    // The whole conversation at once: the bus reads the lines of the authentication, then the
    // messages behind BEGIN, without a round trip in between.
    std::string uid;
    for (const char digit : std::to_string(::getuid())) {
        constexpr char hex[] = "0123456789abcdef";
        uid += hex[static_cast<unsigned char>(digit) >> 4];
        uid += hex[static_cast<unsigned char>(digit) & 0xF];
    }
    std::string opening = std::string(1, '\0') + "AUTH EXTERNAL " + uid + "\r\nBEGIN\r\n";
    opening +=
        marshal({busName, "/org/freedesktop/DBus", busName, "Hello", {}}, watch->nextSerial_++);
    const std::string changes =
        "type='signal',interface='org.freedesktop.DBus.Properties',member='PropertiesChanged',"
        "path='/org/a11y/bus',arg0='org.a11y.Status'";
    const std::string owner =
        "type='signal',sender='org.freedesktop.DBus',member='NameOwnerChanged',"
        "arg0='org.a11y.Bus'";
    for (const std::string& rule : {changes, owner})
        opening += marshal(
            {busName, "/org/freedesktop/DBus", busName, "AddMatch", {rule}, noReplyExpected},
            watch->nextSerial_++);
    if (!watch->send(opening))
        return nullptr;
    watch->askAgain();
    if (watch->closed())
        return nullptr;
    return watch;
}

AccessibilityWatch::~AccessibilityWatch() {
    close();
}

void AccessibilityWatch::close() {
    if (socket_ >= 0)
        ::close(socket_);
    socket_ = -1;
}

// A few hundred bytes to a fresh local socket: the socket's buffer takes them at once.
bool AccessibilityWatch::send(const std::string& bytes) {
    if (socket_ < 0)
        return false;
    const ssize_t sent = ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent != static_cast<ssize_t>(bytes.size())) {
        close();
        return false;
    }
    return true;
}

// Without starting org.a11y.Bus: a desktop that runs none wants no accessibility, and a screen
// reader that starts it later is seen by its new owner.
void AccessibilityWatch::askAgain() {
    question_ = nextSerial_++;
    send(marshal({a11yBus, a11yPath, propertiesInterface, "GetAll", {statusInterface}, noAutoStart},
                 question_));
}

std::optional<bool> AccessibilityWatch::read() {
    char buffer[4096];
    for (;;) {
        const ssize_t got = socket_ < 0 ? 0 : ::recv(socket_, buffer, sizeof buffer, 0);
        if (got > 0) {
            input_.append(buffer, static_cast<std::size_t>(got));
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            close();
        break;
    }
    std::optional<bool> wanted;
    if (!authenticated_) {
        const std::size_t lineEnd = input_.find("\r\n");
        if (lineEnd == std::string::npos)
            return wanted;
        if (!input_.starts_with("OK ")) {
            close();
            return wanted;
        }
        authenticated_ = true;
        input_.erase(0, lineEnd + 2);
    }
    while (input_.size() >= 16) {
        const bool little = input_[0] == 'l';
        Reader header(input_, 4, little);
        const std::uint32_t bodyLength = header.u32();
        header.u32();
        const std::uint32_t fieldsLength = header.u32();
        const std::size_t total =
            (16 + static_cast<std::size_t>(fieldsLength) + 7) / 8 * 8 + bodyLength;
        if ((input_[0] != 'l' && input_[0] != 'B') || total > messageLimit) {
            close();
            break;
        }
        if (input_.size() < total)
            break;
        if (const std::optional<bool> answer =
                handleMessage(std::string_view(input_).substr(0, total)))
            wanted = answer;
        input_.erase(0, total);
    }
    return wanted;
}

std::optional<bool> AccessibilityWatch::handleMessage(std::string_view message) {
    const bool little = message[0] == 'l';
    const auto type = static_cast<std::uint8_t>(message[1]);
    Reader reader(message, 12, little);
    const std::uint32_t fieldsLength = reader.u32();
    const std::size_t fieldsEnd = 16 + fieldsLength;
    std::string_view interface, member, signature;
    std::uint32_t replySerial = 0;
    while (reader.align(8) && reader.at() < fieldsEnd) {
        const std::uint8_t code = reader.byte();
        std::string_view valueType = reader.signature();
        if (valueType == "s" && (code == fieldInterface || code == fieldMember)) {
            (code == fieldInterface ? interface : member) = reader.string();
        } else if (valueType == "g" && code == fieldSignature) {
            signature = reader.signature();
        } else if (valueType == "u" && code == fieldReplySerial) {
            replySerial = reader.u32();
        } else {
            reader.skip(valueType);
        }
        if (reader.failed())
            return std::nullopt;
    }
    Reader body(message, (fieldsEnd + 7) / 8 * 8, little);
    const auto update = [this](std::string_view key, std::optional<bool> value) {
        if (value && key == "IsEnabled")
            isEnabled_ = *value;
        if (value && key == "ScreenReaderEnabled")
            screenReaderEnabled_ = *value;
    };
    if (replySerial == question_ && question_ != 0) {
        if (type == errorReply)
            return false; // nobody owns org.a11y.Bus
        if (type != methodReturn || signature != "a{sv}")
            return std::nullopt;
        body.properties(update);
        return body.failed() ? std::nullopt
                             : std::optional<bool>(isEnabled_ || screenReaderEnabled_);
    }
    if (type != signal)
        return std::nullopt;
    if (interface == propertiesInterface && member == "PropertiesChanged" &&
        signature == "sa{sv}as") {
        if (body.string() != statusInterface)
            return std::nullopt;
        body.properties(update);
        return body.failed() ? std::nullopt
                             : std::optional<bool>(isEnabled_ || screenReaderEnabled_);
    }
    if (member == "NameOwnerChanged" && signature == "sss" && body.string() == a11yBus) {
        body.string();
        if (!body.string().empty() && !body.failed())
            askAgain();
    }
    return std::nullopt;
}

} // namespace dravix::atspi
