#pragma once

// A private Xvfb for tests that need a screen of their own, with no window manager.

#include "tests/support/x11/process.h"

#include <optional>
#include <string>

struct _XDisplay;

namespace dravix::x11test {

// Starts Xvfb (1280 x 1024, 24 bits, no TCP) on a free display number and points DISPLAY at it.
// The server ends with the destructor, and also when this process ends in any other way: it
// quits once its last client is gone, and this object holds a connection until then.
class PrivateXServer {
public:
    // Throws std::runtime_error when Xvfb does not come up within ten seconds.
    PrivateXServer();
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    const std::string& displayName() const { return displayName_; }

private:
    std::optional<ChildProcess> server_;
    _XDisplay* keepAlive_ = nullptr;
    std::string displayName_;
};

} // namespace dravix::x11test
