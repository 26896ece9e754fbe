// What the core costs inside the process: the 100 ms tick while the strip slides, a hover that
// spells another name, and the idle tick, each with the composition of the frame and its
// presentation through the fake desktop (which keeps a copy of every frame, as the real
// backend does). Run by hand: build/bench/dravix_core_bench.

#include "app/main_window.h"
#include "platform/fake/fake_desktop.h"
#include "strip/strip.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

namespace {

using dravix::Animating;
using dravix::Element;
using dravix::FakeDesktop;
using dravix::Frame;
using dravix::MouseButton;
using dravix::Scene;
using dravix::Strip;
using dravix::TForm1;
using dravix::VerticalPhase;
using dravix::WidthPhase;
using Clock = std::chrono::steady_clock;

// The slot list file with two named slots, so that hovering between them changes every cell.
std::string twoNamedSlots() {
    const char* const lines[20] = {
        "/usr/bin/firefox",
        "firefox",
        "/usr/bin/gimp",
        "gimp",
        "",
        "",
        "",
        "",
        "",
        "",
        "",
        "",
        "",
        "",
        "",
        "",
        "",
        "",
        "",
        "",
    };
    std::string file;
    for (const char* line : lines) {
        file += line;
        file += "\r\n";
    }
    return file;
}

// The whole core on the fake desktop, started with both stored files.
class Core {
public:
    Core() {
        desktop_.putFileInExecutableFolder("dravix.dat", twoNamedSlots());
        desktop_.putFileInExecutableFolder("dravix.ini", "132\r\n196\r\n");
        form_ = std::make_unique<TForm1>(desktop_, desktop_);
        form_->activate();
    }

    // A tick with a fresh millisecond, so that the strip does its step.
    void tick() {
        millisecond_ = millisecond_ % 999 + 1;
        desktop_.setMillisecond(millisecond_);
        form_->tick();
    }

    bool sliding() const {
        const Strip& strip = form_->strip();
        return strip.verticalPhase() != VerticalPhase::idle ||
               strip.widthPhase() != WidthPhase::idle || strip.animating() != Animating::idle;
    }
    void settle() {
        while (sliding())
            tick();
    }

    void click(const char* name) {
        const auto [x, y] = centreOf(name);
        form_->mouseDown(x, y, MouseButton::left);
        form_->mouseUp(x, y, MouseButton::left);
    }
    void hover(const char* name) {
        const auto [x, y] = centreOf(name);
        form_->mouseMove(x, y);
    }

    int windowWidth() const { return desktop_.geometry().width; }
    int frameCount() const { return desktop_.frameCount(); }
    const Scene& scene() const { return form_->scene(); }

private:
    std::pair<int, int> centreOf(const char* name) const {
        const Scene& scene = form_->scene();
        const Element& element = scene.element(scene.find(name));
        int x = element.left + element.width / 2;
        int y = element.top + element.height / 2;
        if (element.parent != dravix::noElement) {
            x += scene.element(element.parent).left;
            y += scene.element(element.parent).top;
        }
        return {x, y};
    }

    FakeDesktop desktop_;
    std::unique_ptr<TForm1> form_;
    int millisecond_ = 1;
};

double secondsOf(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

// Every tick of the slide, opening and closing in turn; the toggle presses between slides are
// not timed. Frames range from 26 x 323 to 244 x 323.
void BM_SlideTick(benchmark::State& state) {
    Core core;
    const int framesBefore = core.frameCount();
    for (auto _ : state) {
        if (!core.sliding())
            core.click("ProcBMP");
        const auto start = Clock::now();
        core.tick();
        state.SetIterationTime(secondsOf(Clock::now() - start));
    }
    state.counters["frames_per_tick"] =
        static_cast<double>(core.frameCount() - framesBefore) / state.iterations();
}
BENCHMARK(BM_SlideTick)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The last widening tick: the one that composes and presents the full 244 x 323 frame.
void BM_SlideTickFullFrame(benchmark::State& state) {
    Core core;
    for (auto _ : state) {
        core.click("ProcBMP");
        // Widths run 26, 107, 188 and 244: stop one step short of the open width.
        while (core.windowWidth() + Strip::widthStep < dravix::shape::openWidth)
            core.tick();
        const int frames = core.frameCount();
        const auto start = Clock::now();
        core.tick();
        state.SetIterationTime(secondsOf(Clock::now() - start));
        if (core.windowWidth() != dravix::shape::openWidth || core.frameCount() != frames + 1) {
            state.SkipWithError("the timed tick did not present the full frame");
            break;
        }
        core.click("ProcBMP");
        core.settle();
    }
}
BENCHMARK(BM_SlideTickFullFrame)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Pointing at one slot and then the other: each move spells the other name in the six cells
// and presents the open 244 x 323 frame.
void BM_HoverRedraw(benchmark::State& state) {
    Core core;
    core.click("ProcBMP");
    core.settle();
    const char* const slots[2] = {"kn0", "kn1"};
    int next = 0;
    const int framesBefore = core.frameCount();
    for (auto _ : state) {
        core.hover(slots[next]);
        next ^= 1;
    }
    state.counters["frames_per_hover"] =
        static_cast<double>(core.frameCount() - framesBefore) / state.iterations();
}
BENCHMARK(BM_HoverRedraw)->Unit(benchmark::kMicrosecond);

// A tick while nothing changes (a tip still on its way, say): nothing is composed.
void BM_IdleTick(benchmark::State& state) {
    Core core;
    const int framesBefore = core.frameCount();
    for (auto _ : state)
        core.tick();
    state.counters["frames_per_tick"] =
        static_cast<double>(core.frameCount() - framesBefore) / state.iterations();
}
BENCHMARK(BM_IdleTick);

// Composition alone, without the handler or the presentation, at the open size.
void BM_ComposeOpenFrame(benchmark::State& state) {
    Core core;
    core.click("ProcBMP");
    core.settle();
    Frame frame;
    for (auto _ : state) {
        core.scene().compose(frame, dravix::shape::openWidth, dravix::shape::openHeight);
        benchmark::DoNotOptimize(frame.rgb.data());
    }
}
BENCHMARK(BM_ComposeOpenFrame)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
