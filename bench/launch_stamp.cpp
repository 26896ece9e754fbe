// The program a slot starts when the launch latency is measured. Linked statically so that no
// dynamic loader runs before main; its first act is to read the real-time clock, which it then
// appends, as "seconds.nanoseconds", to launch-stamps.txt in its working folder (the folder of
// the slot's file, where Dravix starts it). C library calls only: no C++ runtime to start.

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

int main() {
    timespec started{};
    ::clock_gettime(CLOCK_REALTIME, &started);

    char line[64];
    const int length = std::snprintf(line, sizeof line, "%lld.%09ld\n",
                                     static_cast<long long>(started.tv_sec), started.tv_nsec);
    const int file = ::open("launch-stamps.txt", O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (file < 0)
        return 1;
    const bool written = ::write(file, line, static_cast<size_t>(length)) == length;
    ::close(file);
    return written ? 0 : 1;
}
