#pragma once

// Test code: drives the whole core through the fake desktop, as the tests of every room need it.
// It lives with the program it drives; the shared test support in tests/support includes no part
// of the core.

#include "app/main_window.h"
#include "assets/picture_store.h"
#include "platform/fake/fake_desktop.h"
#include "tests/support/frame_shows.h"

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace dravix {

inline void PrintTo(const WindowGeometry& window, std::ostream* out) {
    *out << "{left " << window.left << ", top " << window.top << ", " << window.width << " x "
         << window.height << "}";
}

} // namespace dravix

namespace dravix::testing {

inline std::string emptySlotList() {
    std::string lines;
    for (int line = 0; line < 20; ++line)
        lines += "\r\n";
    return lines;
}

// A slot list with the given path and name in one slot and the others empty.
inline std::string slotListWith(int slot, const std::string& path, const std::string& name) {
    std::string lines;
    for (int other = 0; other < 10; ++other) {
        lines += (other == slot ? path : "") + "\r\n";
        lines += (other == slot ? name : "") + "\r\n";
    }
    return lines;
}

struct Point {
    int x;
    int y;
};

class CoreFixture : public ::testing::Test {
protected:
    FakeDesktop desktop;
    std::unique_ptr<TForm1> form;

    // A failed test leaves the last frame as a BMP, for a person to look at.
    void TearDown() override {
        if (!HasFailure() || desktop.frameCount() == 0)
            return;
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string path =
            ::testing::TempDir() + test->test_suite_name() + "." + test->name() + ".bmp";
        desktop.dumpLastFrame(path);
        std::cout << "last frame: " << path << "\n";
    }

    // Starts with both stored files: the toggle at Left 196, Top 532, ten empty slots.
    void start(std::optional<std::string> slotList = emptySlotList(),
               std::optional<std::string> position = std::string("532\r\n196\r\n")) {
        if (slotList)
            desktop.putFileInExecutableFolder("dravix.dat", *slotList);
        if (position)
            desktop.putFileInExecutableFolder("dravix.ini", *position);
        form = std::make_unique<TForm1>(desktop, desktop);
        form->activate();
    }

    // Puts an empty file at the path on the in-memory disk, so that a slot holding it launches.
    std::string existing(const std::string& path) {
        desktop.files()[path];
        return path;
    }

    // A tick with a fresh millisecond, so that it does its work.
    void tick() {
        millisecond_ = millisecond_ % 999 + 1;
        desktop.setMillisecond(millisecond_);
        form->tick();
    }
    void tickTimes(int count) {
        for (int i = 0; i < count; ++i)
            tick();
    }
    // Ticks until no slide runs, and returns how many ticks that took.
    int tickUntilSettled(int limit = 50) {
        int ticks = 0;
        while (ticks < limit && (form->strip().verticalPhase() != VerticalPhase::idle ||
                                 form->strip().widthPhase() != WidthPhase::idle ||
                                 form->strip().animating() != Animating::idle)) {
            tick();
            ++ticks;
        }
        return ticks;
    }

    // The centre of an element, in window coordinates.
    Point centreOf(const std::string& name) const {
        const Scene& scene = form->scene();
        const Element& element = scene.element(scene.find(name));
        int x = element.left + element.width / 2;
        int y = element.top + element.height / 2;
        if (element.parent != noElement) {
            x += scene.element(element.parent).left;
            y += scene.element(element.parent).top;
        }
        return {x, y};
    }

    void press(const std::string& name, MouseButton button = MouseButton::left) {
        const Point point = centreOf(name);
        form->mouseDown(point.x, point.y, button);
    }
    void release(const std::string& name, MouseButton button = MouseButton::left) {
        const Point point = centreOf(name);
        form->mouseUp(point.x, point.y, button);
    }
    void click(const std::string& name, MouseButton button = MouseButton::left) {
        press(name, button);
        release(name, button);
    }
    void hover(const std::string& name) {
        const Point point = centreOf(name);
        form->mouseMove(point.x, point.y);
    }

    void openStrip() {
        click("ProcBMP");
        tickUntilSettled();
    }

    const Picture& pictureShownBy(const std::string& name) const {
        const Scene& scene = form->scene();
        return *scene.element(scene.find(name)).picture;
    }

private:
    int millisecond_ = 1;
};

} // namespace dravix::testing
