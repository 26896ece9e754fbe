#include "tests/support/x11/private_x_server.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace dravix::x11test {

PrivateXServer::PrivateXServer() {
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe failed: ") + std::strerror(errno));
    // Xvfb writes its display number to its standard output once it accepts connections.
    // -terminate ends it at the reset that follows its last client's exit.
    ProcessOptions options;
    options.argv = {"Xvfb",         "-displayfd", "1",   "-screen",   "0",
                    "1280x1024x24", "-nolisten",  "tcp", "-terminate"};
    options.output.descriptor = ready[1];
    try {
        server_.emplace(options);
    } catch (...) {
        ::close(ready[0]);
        ::close(ready[1]);
        throw;
    }
    ::close(ready[1]);
    std::string number;
    pollfd readable{ready[0], POLLIN, 0};
    char digit = 0;
    while (::poll(&readable, 1, 10000) > 0 && ::read(ready[0], &digit, 1) == 1 && digit != '\n')
        number += digit;
    ::close(ready[0]);
    if (number.empty())
        throw std::runtime_error("Xvfb did not start");
    displayName_ = ":" + number;
    keepAlive_ = XOpenDisplay(displayName_.c_str());
    if (keepAlive_ == nullptr)
        throw std::runtime_error("cannot connect to Xvfb at " + displayName_);
    ::setenv("DISPLAY", displayName_.c_str(), 1);
}

PrivateXServer::~PrivateXServer() {
    if (keepAlive_ != nullptr)
        XCloseDisplay(keepAlive_);
}

} // namespace dravix::x11test
