#include "platform/posix/posix_services.h"

#include <ctime>
#include <unistd.h>
#include <vector>

namespace dravix::posix {

std::string linkTarget(const char* link) {
    // readlink does not say how long the target is, so the buffer grows until the whole path
    // fits with room to spare.
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = ::readlink(link, buffer.data(), buffer.size());
        if (length < 0)
            return {};
        if (static_cast<std::size_t>(length) < buffer.size())
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        buffer.resize(buffer.size() * 2);
    }
}

// An empty result leaves the stored files in the working folder.
std::string executablePath() {
    return linkTarget("/proc/self/exe");
}

int millisecondOfDay() {
    // Time zones shift the clock by whole minutes, so the millisecond part of the local time of
    // day equals that of the real-time clock.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<int>(now.tv_nsec / 1'000'000);
}

} // namespace dravix::posix
