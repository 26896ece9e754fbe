#pragma once

// An in-memory window for driving the core in tests, treated as a real backend.
//   [X] window geometry, recorded on every change      [X] frames, kept and countable
//   [X] error boxes, recorded                          [X] open-file dialog, scripted answers
//   [X] monitors and panels, set by the test           [X] window-manager moves, on request
//   [X] tips, the one shown kept, a fixed-width font   [X] exit, recorded
//   [X] the tick asked for, recorded                   [ ] real timer: a test calls tick() itself
//   [X] accessible changes, recorded

#include "platform/accessible.h"
#include "platform/monitors.h"
#include "platform/window_port.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace dravix {

class FakeWindow : public WindowPort {
public:
    void setGeometry(const WindowGeometry& geometry) override;
    WindowGeometry geometry() const override { return geometry_; }
    void present(const Frame& frame) override;
    ScreenRect workAreaNear(const ScreenRect& area) const override;
    int scale() const override { return scale_; }

    void showError(const std::string& text) override;
    std::optional<std::string> chooseFile(const std::string& initialName) override;
    void showTip(const std::string& text, Place at) override { tip_ = Tip{text, at}; }
    void hideTip() override { tip_.reset(); }
    // tipCharacterWidth pixels a character (a UTF-8 code point) and tipPadding on each side.
    PixelSize tipSize(const std::string& text) override;
    static constexpr int tipCharacterWidth = 7;
    static constexpr int tipPadding = 4;
    static constexpr int tipHeight = 19;

    void setTicking(bool ticking) override { ticking_ = ticking; }
    void exitProcess(int status) override;
    void accessibleChanged(const AccessibleEvent& event) override {
        accessibleEvents_.push_back(event);
    }

    // Set up by the test.
    void setScale(int scale) { scale_ = scale; }
    // One 1280 x 1024 monitor without panels until a test says otherwise.
    void setMonitors(std::vector<Monitor> monitors) { monitors_ = std::move(monitors); }
    // The window manager moves the window on its own (a drag by the frame, say): no record.
    void moveByWindowManager(Place place);
    // Each call of chooseFile takes the next answer; nothing means the user cancels.
    void queueDialogAnswer(std::optional<std::string> answer);
    // Runs inside the error box or the dialog, standing in for the events that go on meanwhile.
    void setWhileModal(std::function<void()> whileModal) { whileModal_ = std::move(whileModal); }

    // The process ends: the window and its records go, the test's settings stay.
    void startNewProcess();

    // Records.
    const std::vector<WindowGeometry>& geometryChanges() const { return geometryChanges_; }
    const std::vector<std::string>& errors() const { return errors_; }
    const std::vector<std::string>& dialogInitialNames() const { return dialogInitialNames_; }
    struct Tip {
        std::string text;
        Place at;
    };
    const std::optional<Tip>& tip() const { return tip_; }
    const std::optional<int>& exitStatus() const { return exitStatus_; }
    bool ticking() const { return ticking_; } // what the program last asked for
    const Frame& lastFrame() const { return lastFrame_; }
    int frameCount() const { return frameCount_; }
    // What a screen reader bridge would have been told; a test takes them.
    std::vector<AccessibleEvent> takeAccessibleEvents() {
        return std::exchange(accessibleEvents_, {});
    }

    // Writes the last frame as a BMP, for a person to look at when a test fails.
    void dumpLastFrame(const std::string& path) const;

private:
    void runWhileModal();

    WindowGeometry geometry_;
    std::vector<Monitor> monitors_{{{0, 0, 1280, 1024}, {0, 0, 1280, 1024}}};
    std::vector<WindowGeometry> geometryChanges_;
    Frame lastFrame_;
    int frameCount_ = 0;
    std::vector<std::string> errors_;
    std::deque<std::optional<std::string>> dialogAnswers_;
    std::vector<std::string> dialogInitialNames_;
    std::optional<Tip> tip_;
    std::optional<int> exitStatus_;
    std::vector<AccessibleEvent> accessibleEvents_;
    std::function<void()> whileModal_;
    bool inModal_ = false;
    bool ticking_ = false;
    int scale_ = 1;
};

} // namespace dravix
