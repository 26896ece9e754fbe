#pragma once

// For the POSIX tests: a step that may block or must drop its rights runs in a forked child,
// which hands its FileStatus back through a pipe.

#include "platform/system_port.h"

#include <grp.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace dravix::testing {

// Root writes anything, so a child that must meet permission bits drops to this user (nobody).
inline constexpr uid_t ordinaryUser = 65534;

inline bool becomeOrdinaryUser() {
    return ::geteuid() != 0 || (::setgroups(0, nullptr) == 0 && ::setgid(ordinaryUser) == 0 &&
                                ::setuid(ordinaryUser) == 0);
}

// Runs step in a forked child and hands its FileStatus back. A child that dies (a blocked read
// ended by its alarm, say) gives {other, -2}; a pipe that cannot be made, {other, -1}.
template <typename Step> FileStatus statusFromChild(Step step) {
    int channel[2];
    if (::pipe(channel) != 0)
        return {FileFailure::other, -1};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const FileStatus status = step();
        const bool sent = ::write(channel[1], &status, sizeof status) == sizeof status;
        ::_exit(sent ? 0 : 1);
    }
    ::close(channel[1]);
    FileStatus status{FileFailure::other, -1};
    const bool received = ::read(channel[0], &status, sizeof status) == sizeof status;
    ::close(channel[0]);
    int exitStatus = 0;
    ::waitpid(child, &exitStatus, 0);
    if (!received || !WIFEXITED(exitStatus) || WEXITSTATUS(exitStatus) != 0)
        return {FileFailure::other, -2};
    return status;
}

} // namespace dravix::testing
