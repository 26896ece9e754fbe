#include "platform/fake/fake_desktop.h"

#include "platform/tick_grid.h"

namespace dravix {

void FakeDesktop::startNewProcess() {
    FakeWindow::startNewProcess();
    FakeSystem::startNewProcess();
    elapsed_ = 0;
    lastTickAt_ = -1;
}

void FakeDesktop::passTime(WindowEvents& events, long long milliseconds, bool tickAlways) {
    const long long end = elapsed_ + milliseconds;
    while (ticking() || tickAlways) {
        long long next = elapsed_ + millisecondsToNextTick(elapsed_);
        if (next == lastTickAt_)
            next += tickMilliseconds;
        if (next > end)
            break;
        elapsed_ = lastTickAt_ = next;
        setMillisecond(static_cast<int>(elapsed_ % 1000));
        events.tick();
    }
    elapsed_ = end;
    setMillisecond(static_cast<int>(elapsed_ % 1000));
}

} // namespace dravix
