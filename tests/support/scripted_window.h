#pragma once

// Test plumbing for the FLTK backend's window tests: the main window's events, played as a script
// of steps, one per tick of the backend's own timer, with every event the backend delivers logged.

#include "platform/window_port.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace dravix::fltktest {

inline void closeAllWindows() {
    while (Fl_Window* window = Fl::first_window())
        window->hide();
}

// Plays a list of steps, one per tick, and records every event the backend delivers. A step
// returns false to be tried again at the next tick. Ticks that arrive while a step is still
// running (under a modal box the step opened) go to whileStepRuns. When the steps are done, the
// windows close and the backend's run returns.
class ScriptedWindow : public WindowEvents {
public:
    using Step = std::function<bool()>;
    static constexpr int tickLimit = 150;
    // A limit of its own for when the ticks stop altogether.
    static constexpr double wallClockLimitSeconds = 30;

    explicit ScriptedWindow(std::vector<Step> steps) : steps_(std::move(steps)) {
        Fl::add_timeout(wallClockLimitSeconds, onWatchdog, this);
    }
    ~ScriptedWindow() override { Fl::remove_timeout(onWatchdog, this); }
    ScriptedWindow(const ScriptedWindow&) = delete;
    ScriptedWindow& operator=(const ScriptedWindow&) = delete;

    std::function<void()> onActivate;
    std::function<void()> whileStepRuns;
    std::vector<std::string> log;
    std::vector<int> keys; // the codes of the key downs, in order
    int leaves = 0;        // pointerLeft events

    void activate() override {
        log.push_back("activate");
        if (onActivate)
            onActivate();
    }
    void mouseDown(int x, int y, MouseButton button) override {
        log.push_back(describe("down", x, y) + " " + std::to_string(static_cast<int>(button)));
    }
    void mouseMove(int x, int y) override { log.push_back(describe("move", x, y)); }
    void mouseUp(int x, int y, MouseButton button) override {
        log.push_back(describe("up", x, y) + " " + std::to_string(static_cast<int>(button)));
    }
    void keyDown(int virtualKey) override {
        log.push_back("key " + std::to_string(virtualKey));
        keys.push_back(virtualKey);
    }
    void fileDropped(int x, int y, const std::string& path) override {
        log.push_back(describe("drop", x, y) + " " + path);
    }
    void captureLost() override { log.push_back("capture lost"); }
    void launchStarted() override { log.push_back("started"); }
    // Counted apart from the log: a real pointer crosses the window's edge whenever it will.
    void pointerLeft() override { ++leaves; }
    void launchFailed(const std::string& reason) override { log.push_back("failed " + reason); }
    void anotherStart() override { log.push_back("another start"); }

    void tick() override {
        ++ticks_;
        if (ticks_ > tickLimit) {
            if (!timedOut_)
                ADD_FAILURE() << "script stuck at step " << next_;
            timedOut_ = true;
            closeAllWindows();
            return;
        }
        if (stepRunning_) {
            if (whileStepRuns)
                whileStepRuns();
            return;
        }
        if (next_ == steps_.size()) {
            closeAllWindows();
            return;
        }
        stepRunning_ = true;
        const bool done = steps_[next_]();
        stepRunning_ = false;
        if (done)
            ++next_;
    }

    bool finished() const { return next_ == steps_.size(); }
    bool timedOut() const { return timedOut_; }
    bool logged(const std::string& entry) const {
        return std::find(log.begin(), log.end(), entry) != log.end();
    }
    // Everything but the moves, whose number depends on how the server coalesces them.
    std::vector<std::string> withoutMoves() const {
        std::vector<std::string> kept;
        std::copy_if(log.begin(), log.end(), std::back_inserter(kept),
                     [](const std::string& entry) { return entry.rfind("move", 0) != 0; });
        return kept;
    }

private:
    static void onWatchdog(void* self) {
        ADD_FAILURE() << "no progress for " << wallClockLimitSeconds << " s; ticks stopped?";
        static_cast<ScriptedWindow*>(self)->timedOut_ = true;
        closeAllWindows();
    }

    static std::string describe(const char* what, int x, int y) {
        return std::string(what) + " " + std::to_string(x) + " " + std::to_string(y);
    }

    std::vector<Step> steps_;
    std::size_t next_ = 0;
    int ticks_ = 0;
    bool stepRunning_ = false;
    bool timedOut_ = false;
};

// Runs the backend until the script ends. The script moves on ticks, asked for a tenth of a second
// into the run, so that the window is on the screen before the first step gives it input.
template <class Backend> int play(Backend& desktop, ScriptedWindow& window) {
    Fl::add_timeout(
        0.1, [](void* backend) { static_cast<Backend*>(backend)->setTicking(true); }, &desktop);
    return desktop.run(window);
}

} // namespace dravix::fltktest
