#pragma once

// A go-between for the X server named by DISPLAY that counts how often its clients wait for the
// server. It listens under a display number of its own (an abstract socket, so no file is made),
// passes every byte on unchanged in both directions and reads just enough of the protocol to see
// the server's replies.
//
// A round trip is a reply (or an error, or the answer to the connection set-up) that reaches a
// client which has sent something since its last round trip: requests sent together and answered
// together count once, however many there are; two requests of which the second is sent only
// once the first is answered count twice. Seen from the wire, a reply that comes before the client
// sends more counts even when the client collects it later together with others, so the count is
// at most, never less than, the replies the client waited for (tests/support/x11/reply_waits.cpp
// counts those inside the client). The count is kept for every connection together.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace dravix::x11test {

class XProxy {
public:
    // Throws std::runtime_error when it cannot listen or DISPLAY names no local server.
    XProxy();
    ~XProxy();
    XProxy(const XProxy&) = delete;
    XProxy& operator=(const XProxy&) = delete;

    // The display name a client is given to connect through the proxy (":N").
    const std::string& displayName() const { return displayName_; }

    // Round trips of all connections so far.
    int roundTrips() const { return roundTrips_.load(); }
    // Replies of all connections so far: one for each request that has an answer.
    int replies() const { return replies_.load(); }
    // Starts the counts again (the connections that are open stay).
    void reset();

private:
    struct Connection;
    void serve();
    void noteRequests(Connection& connection, const std::uint8_t* data);
    void noteAnswers(Connection& connection, const std::uint8_t* data, std::size_t size);

    std::string serverDisplay_;
    std::string displayName_;
    int listener_ = -1;
    int wake_[2] = {-1, -1}; // the destructor's word to the thread
    std::thread thread_;
    std::atomic<int> roundTrips_{0};
    std::atomic<int> replies_{0};
    std::mutex mutex_;
};

} // namespace dravix::x11test
