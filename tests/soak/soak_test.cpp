// A long randomized run of the whole core through the fake desktop: presses, moves and releases
// of every button anywhere in and outside the window, keys, ticks, dialogs, dropped files, lost
// captures and failing disks, with the invariants checked after every event. DRAVIX_SOAK_EVENTS
// sets the length of the run and DRAVIX_SOAK_SEED its seed.

#include "app/core_fixture.h"
#include "platform/window_port.h"
#include "scene/scene.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>

namespace dravix {
namespace {

using testing::CoreFixture;
using testing::Point;

// The open strip of a toggle resting at `resting`, at one screen pixel to the program's: it grows
// upward from the toggle, which ends at its bottom, and widens to the right.
ScreenRect openStripAt(Place resting) {
    return {resting.left, saturatingAdd(resting.top, -shape::rise), shape::openWidth,
            shape::openHeight};
}

long environmentNumber(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text ? std::strtol(text, nullptr, 10) : fallback;
}

std::string serialized(const SlotRecords& records) {
    std::string text;
    for (const SlotRecord& record : records)
        text += record.path + "\r\n" + record.name + "\r\n";
    return text;
}

// Splits at CR LF; false when the text is not made of whole CR LF lines without stray breaks.
bool wellFormedLines(const std::string& text, std::size_t expectedLines) {
    std::size_t lines = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos)
            return false;
        const std::string_view line(text.data() + start, end - start);
        if (line.find_first_of("\r\n") != std::string_view::npos)
            return false;
        ++lines;
        start = end + 2;
    }
    return lines == expectedLines;
}

class Soak : public CoreFixture {
protected:
    std::mt19937 random{
        static_cast<std::mt19937::result_type>(environmentNumber("DRAVIX_SOAK_SEED", 20261207))};
    std::array<bool, 3> held{};
    int failuresToInject = 0;
    bool failedDuringEvent = false;
    bool draggedDuringEvent = false; // a middle-button drag may move the strip any distance
    std::map<std::string, std::string> diskBefore;
    WindowGeometry geometryBefore;
    std::vector<std::pair<int, int>> elementSizes;
    const std::string slotListPath = "/opt/dravix/dravix.dat";
    const std::string positionPath = "/opt/dravix/dravix.ini";
    long restarts = 0;

    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); }
    bool chance(int percent) { return pick(100) < percent; }

    void startRun() {
        form = std::make_unique<TForm1>(desktop, desktop);
        form->activate();
        held = {};
        elementSizes.clear();
        for (ElementIndex index = 0; index < form->scene().elementCount(); ++index) {
            const Element& element = form->scene().element(index);
            elementSizes.emplace_back(element.width, element.height);
        }
    }

    std::string oddPath() {
        static const std::array<std::string, 11> paths = {
            "/usr/bin/env",
            "/home/me/My Documents/report.final.pdf",
            "-rf",
            "/tmp/quote\"d 'name'; $(rm -rf x) `y`",
            "/tmp/line\nbreak",
            "/tmp/cr\rhere",
            "/tmp/eof\x1a.txt",
            std::string("/tmp/nul\0.txt", 13),
            "",
            "/opt/caf\xc3\xa9/\xff\xfe.bin",
            "/" + std::string(5000, 'p') + "/long.name.sh",
        };
        return paths[pick(static_cast<int>(paths.size()))];
    }

    Point randomPoint() {
        const WindowGeometry window = desktop.geometry();
        if (chance(60)) {
            static const std::array<const char*, 14> targets = {
                "ProcBMP", "kn0", "kn1", "kn2", "kn3", "kn4",     "kn5",
                "kn6",     "kn7", "kn8", "kn9", "w1",  "authBmp", "backBMP"};
            return centreOf(targets[pick(static_cast<int>(targets.size()))]);
        }
        return {pick(window.width + 60) - 30, pick(window.height + 60) - 30};
    }

    void randomEvent() {
        const int kind = pick(100);
        if (kind < 30) {
            tick();
        } else if (kind < 35) {
            form->tick(); // the same millisecond as the last tick
        } else if (kind < 55) {
            const Point point = randomPoint();
            form->mouseMove(point.x, point.y);
        } else if (kind < 75) {
            const int button = pick(3);
            const Point point = randomPoint();
            if (held[button]) {
                held[button] = false;
                if (button == 1)
                    queueDialogAnswer();
                form->mouseUp(point.x, point.y, static_cast<MouseButton>(button));
            } else {
                held[button] = true;
                form->mouseDown(point.x, point.y, static_cast<MouseButton>(button));
            }
        } else if (kind < 90) {
            static const std::array<int, 8> keys = {37, 38, 39, 40, 65, 13, 27, 0};
            form->keyDown(keys[pick(static_cast<int>(keys.size()))]);
        } else if (kind < 91) {
            form->activate();
        } else if (kind < 92) {
            const Point point = randomPoint();
            const int which = pick(3);
            if (which == 0)
                form->fileDropped(point.x, point.y, oddPath());
            else if (which == 1)
                form->captureLost();
            else
                form->pointerLeft();
        } else if (kind < 97) {
            failuresToInject = 1 + pick(3);
        } else {
            // A right click on the toggle: the exit, unless a slide runs or the disk fails.
            const Point toggle = centreOf("ProcBMP");
            if (!held[1]) {
                form->mouseDown(toggle.x, toggle.y, MouseButton::right);
                held[1] = true;
            }
        }
    }

    void queueDialogAnswer() {
        if (chance(30))
            desktop.queueDialogAnswer(std::nullopt);
        else
            desktop.queueDialogAnswer(oddPath());
    }

    void checkInvariants(long event) {
        SCOPED_TRACE("event " + std::to_string(event));
        const Strip& strip = form->strip();
        ASSERT_TRUE(strip.panelOpen() == PanelOpen::closed || strip.panelOpen() == PanelOpen::open);
        ASSERT_TRUE(static_cast<int>(strip.verticalPhase()) >= 0 &&
                    static_cast<int>(strip.verticalPhase()) <= 2);
        ASSERT_TRUE(static_cast<int>(strip.widthPhase()) >= 0 &&
                    static_cast<int>(strip.widthPhase()) <= 2);
        ASSERT_TRUE(strip.animating() == Animating::idle ||
                    strip.animating() == Animating::sliding);
        ASSERT_TRUE(form->glyphs().shownSlot() >= 0 && form->glyphs().shownSlot() <= 10);

        const Scene& scene = form->scene();
        for (ElementIndex index = 0; index < scene.elementCount(); ++index) {
            ASSERT_EQ(scene.element(index).width, elementSizes[index].first);
            ASSERT_EQ(scene.element(index).height, elementSizes[index].second);
        }

        const WindowGeometry window = desktop.geometry();
        const int backTop = scene.element(scene.find("back")).top;
        const int procTop = scene.element(scene.find("proc")).top;
        static const std::set<int> widths = {26, 82, 107, 163, 188, 244};
        static const std::set<int> backTops = {-68, 0, 32, 100, 132, 200, 232, 300, 332};
        ASSERT_TRUE(widths.contains(window.width)) << window.width;
        ASSERT_TRUE(backTops.contains(backTop)) << backTop;
        if (window.height == 23) {
            ASSERT_EQ(window.width, 26);
            ASSERT_EQ(procTop, 0);
            ASSERT_TRUE(backTop == 32 || backTop == 300) << backTop;
        } else {
            ASSERT_EQ(window.height, 323);
            ASSERT_EQ(procTop, 300);
        }
        const ScreenRect open = openStripAt(strip.restingPlace());
        ASSERT_TRUE(open.left >= 0 && open.top >= 0 && open.right() <= 1280 &&
                    open.bottom() <= 1024)
            << "the open strip is whole on the screen";
        if (const auto& tip = desktop.tip()) {
            const PixelSize size = desktop.tipSize(tip->text);
            ASSERT_TRUE(tip->at.left >= 0 && tip->at.top >= 0 &&
                        tip->at.left + size.width <= 1280 && tip->at.top + size.height <= 1024)
                << "the tip is whole on the screen";
            ASSERT_EQ(tip->text.find('\0'), std::string::npos);
        }
        if (draggedDuringEvent)
            return checkDisk();
        ASSERT_LE(std::abs(window.left - geometryBefore.left), 1) << "Left moves a pixel at most";
        const int topMove = window.top - geometryBefore.top;
        if (geometryBefore.height == 23 && window.height == 323)
            ASSERT_EQ(topMove, -300) << "the window grows upward";
        else if (geometryBefore.height == 323 && window.height == 23)
            ASSERT_EQ(topMove, 300) << "the window shrinks back down";
        else if (window.height == 323)
            ASSERT_TRUE(std::abs(topMove) <= 1 || topMove == -300) << topMove;
        else
            ASSERT_LE(std::abs(topMove), 1) << ::testing::PrintToString(geometryBefore) << " to "
                                            << ::testing::PrintToString(window);

        const Frame& frame = desktop.lastFrame();
        ASSERT_EQ(frame.width, window.width);
        ASSERT_EQ(frame.height, window.height);
        const bool settled = strip.animating() == Animating::idle &&
                             strip.widthPhase() == WidthPhase::idle &&
                             strip.verticalPhase() == VerticalPhase::idle;
        if (settled && event % 10 == 0)
            checkSettledFrame(window);

        checkDisk();
    }

    // Every pixel belongs to a panel or its picture, never to the black surface or the store,
    // and the presented frame is what the scene composes now.
    void checkSettledFrame(const WindowGeometry& window) {
        const Scene& scene = form->scene();
        for (int y = 0; y < window.height; y += 3) {
            for (int x = 0; x < window.width; x += 3) {
                const ElementIndex hit = scene.hitTest(x, y, window.width, window.height);
                ASSERT_NE(hit, noElement) << x << ", " << y;
                const Element& element = scene.element(hit);
                ASSERT_TRUE(element.kind == ElementKind::panel || element.parent != noElement)
                    << element.name << " at " << x << ", " << y;
            }
        }
        Frame expected;
        scene.compose(expected, window.width, window.height);
        ASSERT_TRUE(expected.rgb == desktop.lastFrame().rgb) << "stale frame";
    }

    void checkDisk() {
        const auto& files = desktop.files();
        auto contentOf = [&](const std::map<std::string, std::string>& disk,
                             const std::string& path) -> std::optional<std::string> {
            auto found = disk.find(path);
            if (found == disk.end())
                return std::nullopt;
            return found->second;
        };
        const auto slotList = contentOf(files, slotListPath);
        const auto position = contentOf(files, positionPath);
        ASSERT_TRUE(slotList);
        ASSERT_TRUE(wellFormedLines(*slotList, 20)) << "slot list file";
        ASSERT_TRUE(position);
        ASSERT_TRUE(wellFormedLines(*position, 2)) << "position file";
        if (failedDuringEvent) {
            ASSERT_EQ(slotList, contentOf(diskBefore, slotListPath)) << "kept after a failure";
            ASSERT_EQ(position, contentOf(diskBefore, positionPath)) << "kept after a failure";
        } else if (slotList != contentOf(diskBefore, slotListPath)) {
            ASSERT_EQ(*slotList, serialized(form->slotRecords()));
        }
    }
};

TEST_F(Soak, RandomUseKeepsEveryInvariant) {
    const long events = environmentNumber("DRAVIX_SOAK_EVENTS", 20000);
    desktop.setFaultInjector([this](FileOperation, const std::string&) {
        if (failuresToInject > 0 && chance(50)) {
            --failuresToInject;
            failedDuringEvent = true;
            static const std::array<FileStatus, 4> failures = {
                FileStatus{FileFailure::accessDenied, 13}, FileStatus{FileFailure::other, 28},
                FileStatus{FileFailure::tooManyOpenFiles, 24},
                FileStatus{FileFailure::pathNotFound, 2}};
            return failures[pick(static_cast<int>(failures.size()))];
        }
        return FileStatus{};
    });
    desktop.putFileInExecutableFolder("dravix.dat",
                                      testing::slotListWith(3, existing("/bin/true"), "true"));
    desktop.putFileInExecutableFolder("dravix.ini", "532\r\n196\r\n");
    startRun();
    geometryBefore = desktop.geometry();

    for (long event = 0; event < events; ++event) {
        diskBefore = desktop.files();
        geometryBefore = desktop.geometry();
        failedDuringEvent = false;
        draggedDuringEvent = form->strip().dragging();
        randomEvent();
        if (desktop.exitStatus()) {
            // The program ended; the next run starts from what it left on the disk.
            ASSERT_EQ(*desktop.exitStatus(), 0);
            const std::string saved = desktop.fileInExecutableFolder("dravix.ini");
            const std::size_t lineEnd = saved.find("\r\n");
            const Position expected{convertNumber(saved.substr(0, lineEnd)),
                                    convertNumber(saved.substr(lineEnd + 2))};
            form.reset();
            desktop.startNewProcess();
            failuresToInject = 0;
            startRun();
            ASSERT_EQ(desktop.geometry(), (WindowGeometry{expected.left, expected.top, 26, 23}));
            ++restarts;
            continue;
        }
        ASSERT_NO_FATAL_FAILURE(checkInvariants(event));
    }
    RecordProperty("restarts", static_cast<int>(restarts));
}

} // namespace
} // namespace dravix
