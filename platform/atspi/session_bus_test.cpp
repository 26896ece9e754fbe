#include "platform/atspi/session_bus.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace dravix::atspi {
namespace {

TEST(BusSocket, TakesTheFirstUnixAddressThatNamesASocket) {
    const struct {
        const char* address;
        const char* socket; // nullptr: none
    } rows[] = {
        {"unix:path=/run/user/1000/bus", "/run/user/1000/bus"},
        {"unix:path=/tmp/a%20b,guid=0123", "/tmp/a b"},
        {"unix:abstract=/tmp/dbus-x,guid=0123", "\0/tmp/dbus-x"},
        {"tcp:host=localhost,port=1;unix:path=/b", "/b"},
        {"unix:tmpdir=/tmp;unix:path=/c", "/c"},
        {"unix:guid=1,path=/d", "/d"},
        {"unix:path=/broken%2", nullptr},
        {"unix:path=", nullptr},
        {"tcp:host=localhost,port=1", nullptr},
        {"", nullptr},
    };
    for (const auto& row : rows) {
        const std::optional<std::string> socket = busSocketOf(row.address);
        if (row.socket == nullptr) {
            EXPECT_FALSE(socket) << row.address;
            continue;
        }
        const std::size_t length =
            row.socket[0] == '\0' ? 1 + std::strlen(row.socket + 1) : std::strlen(row.socket);
        EXPECT_EQ(socket, std::string(row.socket, length)) << row.address;
    }
}

// D-Bus messages as a bus sends them, in either byte order.
class Message {
public:
    Message(bool little, std::uint8_t type, std::uint32_t replySerial, std::string member,
            std::string interface, std::string signature)
        : little_(little) {
        header_ = {little ? 'l' : 'B', static_cast<char>(type), 0, 1};
        fields_.push_back({fieldCode(replySerial != 0 ? 5 : 0), replySerial, "", ""});
        if (!member.empty())
            fields_.push_back({3, 0, "s", member});
        if (!interface.empty())
            fields_.push_back({2, 0, "s", interface});
        fields_.push_back({8, 0, "g", signature});
    }
    Message& string(const std::string& text) {
        u32(body_, text.size());
        body_ += text + '\0';
        return *this;
    }
    // An a{sv} of booleans and, where the value is no boolean, strings, or the structs "(atu)" and
    // "(a(yy)u)", whose empty arrays take the same bytes.
    Message& properties(const std::vector<std::pair<std::string, std::string>>& entries) {
        align(body_, 4);
        const std::size_t lengthAt = body_.size();
        u32(body_, 0);
        align(body_, 8);
        const std::size_t start = body_.size();
        for (const auto& [key, value] : entries) {
            align(body_, 8);
            string(key);
            const bool boolean = value == "true" || value == "false";
            if (value == "(atu)" || value == "(a(yy)u)") {
                // A struct of an empty array of 64-bit numbers or of structs, padded to 8 all the
                // same, and 7.
                body_ += std::string(1, static_cast<char>(value.size())) + value + '\0';
                align(body_, 8);
                u32(body_, 0);
                align(body_, 8);
                u32(body_, 7);
                continue;
            }
            body_ += std::string(1, '\1') + (boolean ? "b" : "s") + '\0';
            if (boolean)
                u32(body_, value == "true");
            else
                string(value);
        }
        std::string length;
        u32(length, body_.size() - start);
        body_.replace(lengthAt, 4, length);
        return *this;
    }
    std::string bytes() const {
        std::string message = header_;
        u32(message, body_.size());
        u32(message, 77);
        u32(message, 0);
        const std::size_t start = message.size();
        for (const Field& field : fields_) {
            if (field.code == 0)
                continue;
            align(message, 8);
            message += static_cast<char>(field.code);
            if (field.code == 5) {
                message += std::string(1, '\1') + "u" + '\0';
                u32(message, field.number);
            } else {
                message += std::string(1, '\1') + field.type + '\0';
                if (field.type == "g") {
                    message += static_cast<char>(field.text.size()) + field.text + '\0';
                } else {
                    u32(message, field.text.size());
                    message += field.text + '\0';
                }
            }
        }
        std::string length;
        u32(length, message.size() - start);
        message.replace(12, 4, length);
        align(message, 8);
        return message + body_;
    }

private:
    struct Field {
        std::uint8_t code;
        std::uint32_t number;
        std::string type;
        std::string text;
    };
    static std::uint8_t fieldCode(std::uint8_t code) { return code; }
    static void align(std::string& bytes, std::size_t to) {
        bytes.resize((bytes.size() + to - 1) / to * to, '\0');
    }
    void u32(std::string& bytes, std::size_t value) const {
        align(bytes, 4);
        for (int i = 0; i < 4; ++i)
            bytes += static_cast<char>(value >> (8 * (little_ ? i : 3 - i)));
    }

    bool little_;
    std::string header_;
    std::vector<Field> fields_;
    std::string body_;
};

constexpr std::uint8_t methodReturn = 2, errorReply = 3, signal = 4;
constexpr std::uint32_t firstQuestion = 4; // after Hello and the two AddMatch calls

// A bus of the test's own on an abstract socket: it takes the watch's connection and says what
// the test gives it.
class PrivateBus : public ::testing::Test {
protected:
    void SetUp() override {
        name_ = "dravix-test-bus-" + std::to_string(std::random_device{}());
        listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un where{};
        where.sun_family = AF_UNIX;
        std::memcpy(where.sun_path + 1, name_.data(), name_.size());
        const auto length =
            static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name_.size());
        ASSERT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&where), length), 0);
        ASSERT_EQ(::listen(listener_, 1), 0);
        watch_ = AccessibilityWatch::connect("unix:abstract=" + name_ + ",guid=1");
        ASSERT_TRUE(watch_);
        bus_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        ASSERT_GE(bus_, 0);
    }
    void TearDown() override {
        watch_.reset();
        ::close(bus_);
        ::close(listener_);
    }

    // Everything the watch has sent so far.
    std::string sent() {
        std::string bytes;
        char buffer[4096];
        ssize_t got = 0;
        while ((got = ::recv(bus_, buffer, sizeof buffer, MSG_DONTWAIT)) > 0)
            bytes.append(buffer, static_cast<std::size_t>(got));
        return bytes;
    }
    std::optional<bool> say(const std::string& bytes) {
        EXPECT_EQ(::send(bus_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
        return watch_->read();
    }

    std::string name_;
    int listener_ = -1;
    int bus_ = -1;
    std::unique_ptr<AccessibilityWatch> watch_;
};

const std::string ok = "OK 0123456789abcdef0123456789abcdef\r\n";

// The little-endian messages after the authentication lines.
std::vector<std::string> messagesIn(const std::string& bytes) {
    std::vector<std::string> messages;
    std::size_t at = bytes.find("BEGIN\r\n");
    if (at == std::string::npos)
        return messages;
    at += 7;
    const auto u32 = [&](std::size_t i) {
        std::uint32_t value = 0;
        for (int b = 0; b < 4; ++b)
            value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + b]))
                     << (8 * b);
        return value;
    };
    while (at + 16 <= bytes.size()) {
        const std::size_t total = (16 + u32(at + 12) + 7) / 8 * 8 + u32(at + 4);
        messages.push_back(bytes.substr(at, total));
        at += total;
    }
    return messages;
}

TEST_F(PrivateBus, AsksOnceWithoutStartingTheLauncherAndWatchesItsOwner) {
    const std::string opening = sent();
    EXPECT_EQ(opening.substr(0, 15), std::string("\0AUTH EXTERNAL ", 15));
    const std::vector<std::string> messages = messagesIn(opening);
    ASSERT_EQ(messages.size(), 4u) << "Hello, two matches, one question";
    EXPECT_NE(messages[0].find("Hello"), std::string::npos);
    EXPECT_NE(messages[2].find("arg0='org.a11y.Bus'"), std::string::npos);
    EXPECT_NE(messages[3].find("GetAll"), std::string::npos);
    EXPECT_NE(messages[3].find("org.a11y.Status"), std::string::npos);
    EXPECT_EQ(messages[3][2] & 0x2, 0x2) << "NO_AUTO_START: the launcher is not started for it";
}

// A program started with its standard input closed gets its socket as descriptor 0.
TEST_F(PrivateBus, ASocketOnDescriptorZeroIsAWatchLikeAnyOther) {
    const int input = ::dup(0);
    ASSERT_GE(input, 0);
    ::close(0);
    std::unique_ptr<AccessibilityWatch> watch =
        AccessibilityWatch::connect("unix:abstract=" + name_ + ",guid=1");
    const bool onZero = watch && watch->descriptor() == 0 && !watch->closed();
    watch.reset();
    ASSERT_EQ(::dup2(input, 0), 0);
    ::close(input);
    EXPECT_TRUE(onZero);
}

TEST_F(PrivateBus, AnswersAndChangesSayWhetherAccessibilityIsWanted) {
    sent();
    const auto reply = [](bool little, std::vector<std::pair<std::string, std::string>> values) {
        return Message(little, methodReturn, firstQuestion, "", "", "a{sv}")
            .properties(values)
            .bytes();
    };
    const auto changed = [](std::string interface,
                            std::vector<std::pair<std::string, std::string>> values) {
        return Message(true, signal, 0, "PropertiesChanged", "org.freedesktop.DBus.Properties",
                       "sa{sv}as")
            .string(interface)
            .properties(values)
            .string("")
            .bytes();
    };
    EXPECT_EQ(say(ok + reply(true, {{"IsEnabled", "false"}, {"ScreenReaderEnabled", "false"}})),
              false);
    EXPECT_EQ(say(changed("org.a11y.Status", {{"ScreenReaderEnabled", "true"}})), true);
    EXPECT_EQ(say(changed("org.other", {{"IsEnabled", "false"}})), std::nullopt);
    EXPECT_EQ(say(changed("org.a11y.Status", {{"ScreenReaderEnabled", "false"}})), false);
    EXPECT_EQ(say(changed("org.a11y.Status", {{"Other", "text"}, {"IsEnabled", "true"}})), true);
    EXPECT_EQ(say(changed("org.a11y.Status", {{"Other", "(atu)"}, {"IsEnabled", "false"}})), false);
    EXPECT_EQ(say(changed("org.a11y.Status", {{"Other", "(a(yy)u)"}, {"IsEnabled", "true"}})),
              true);
    EXPECT_FALSE(watch_->closed());
}

TEST_F(PrivateBus, AMessageInPiecesCountsOnceWhole) {
    sent();
    const std::string reply = ok + Message(false, methodReturn, firstQuestion, "", "", "a{sv}")
                                       .properties({{"Version", "2"}, {"IsEnabled", "true"}})
                                       .bytes();
    EXPECT_EQ(say(reply.substr(0, ok.size() + 20)), std::nullopt);
    EXPECT_EQ(say(reply.substr(ok.size() + 20)), true) << "big-endian, after a string value";
}

TEST_F(PrivateBus, NoLauncherIsNoAccessibilityUntilOneAppears) {
    sent();
    EXPECT_EQ(say(ok + Message(true, errorReply, firstQuestion, "", "", "s")
                           .string("The name org.a11y.Bus was not provided")
                           .bytes()),
              false);
    EXPECT_EQ(say(Message(true, signal, 0, "NameOwnerChanged", "org.freedesktop.DBus", "sss")
                      .string("org.a11y.Bus")
                      .string("")
                      .string(":1.7")
                      .bytes()),
              std::nullopt);
    EXPECT_NE(sent().find("GetAll"), std::string::npos) << "asked again of the new owner";
    EXPECT_EQ(say(Message(true, methodReturn, firstQuestion, "", "", "a{sv}")
                      .properties({{"IsEnabled", "true"}})
                      .bytes()),
              std::nullopt)
        << "the old question's answer no longer counts";
    EXPECT_EQ(say(Message(true, methodReturn, firstQuestion + 1, "", "", "a{sv}")
                      .properties({{"IsEnabled", "true"}})
                      .bytes()),
              true);
}

TEST_F(PrivateBus, ARefusalOrBrokenBytesCloseTheWatchForGood) {
    const struct {
        const char* why;
        std::string bytes;
    } rows[] = {
        {"authentication refused", "REJECTED EXTERNAL\r\n"},
        {"no byte order", ok + std::string(16, 'x')},
        {"more than a megabyte", ok + std::string("l\2\0\1\0\0\x20\0\1\0\0\0\0\0\0\0", 16)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        TearDown();
        SetUp();
        EXPECT_EQ(say(row.bytes), std::nullopt);
        EXPECT_TRUE(watch_->closed());
    }
}

// A reply whose lengths point past its end is passed over, and the watch reads on.
TEST_F(PrivateBus, LengthsInsideAMessageThatOverrunItAreIgnored) {
    sent();
    std::string broken = Message(true, methodReturn, firstQuestion, "", "", "a{sv}")
                             .properties({{"IsEnabled", "true"}})
                             .bytes();
    const std::size_t fieldsLength = static_cast<unsigned char>(broken[12]);
    const std::size_t body = (16 + fieldsLength + 7) / 8 * 8;
    broken.replace(body, 4, std::string("\xff\xff\xff\x7f", 4)); // the array's length
    EXPECT_EQ(say(ok + broken), std::nullopt);
    EXPECT_FALSE(watch_->closed());
    EXPECT_EQ(say(Message(true, signal, 0, "PropertiesChanged", "org.freedesktop.DBus.Properties",
                          "sa{sv}as")
                      .string("org.a11y.Status")
                      .properties({{"IsEnabled", "true"}})
                      .string("")
                      .bytes()),
              true);
}

} // namespace
} // namespace dravix::atspi
