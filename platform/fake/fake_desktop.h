#pragma once

// The fake window and the fake system driven together, as the core meets them in one process:
// TForm1 form(desktop, desktop).
//   [X] tick grid, on request (passTime), with the clock following it

#include "platform/fake/fake_system.h"
#include "platform/fake/fake_window.h"

namespace dravix {

class FakeDesktop : public FakeWindow, public FakeSystem {
public:
    // Lets time pass on a clock that starts with the process, delivering a tick at each point
    // of the tick grid on the way while the program asks for the tick, or at every point when
    // tickAlways (a desktop that never lets the program sleep). The millisecond of the day
    // follows the clock.
    void passTime(WindowEvents& events, long long milliseconds, bool tickAlways = false);

    // The program ended and starts again: the disk and the test's settings stay, the window
    // and the records go.
    void startNewProcess();

private:
    long long elapsed_ = 0;     // milliseconds since the process started
    long long lastTickAt_ = -1; // on the same clock
};

} // namespace dravix
