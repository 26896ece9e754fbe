// Measures a real program from the outside, the way the desktop sees it, on the X server named
// by DISPLAY (a private Xvfb with no window manager). Four modes:
//
//   probe startup [options] -- PROGRAM [ARGUMENTS...]
//       Starts the program again and again and times each run from just before the exec to its
//       first frame: the first moment one of its top-level windows is mapped, has the wanted
//       size and holds the wanted pixels.
//   probe rest [options] -- PROGRAM [ARGUMENTS...]
//       Starts the program once, waits for its first frame, and reads its resident memory after
//       the settle time and the CPU time it uses over the idle period that follows.
//   probe replies [options] -- PROGRAM [ARGUMENTS...]
//       Starts the program run after run with the reply-wait counter
//       (tests/support/x11/reply_waits.cpp) loaded into it and counts the replies it waited for
//       from the X server before its first frame (its first image request).
//   probe launch [options] -- DRAVIX
//       Starts Dravix (its slot 0 must hold the stamp program), then, run after run, opens the
//       strip, presses and releases the left button on slot 0 through XTest, and times the
//       release against the moment the started program wrote into its stamp file.
//
// How the first frame is seen: the probe selects SubstructureNotify on the root window, so it
// hears of every top-level window the program creates, maps and resizes, and puts an XDamage
// monitor on each. The X server reports damage once it has drawn into the window. After each
// batch of reports the probe reads the window back with XGetImage and accepts the frame when
// the pixels pass the check: exactly the closed strip as the core composes it (for Dravix), or
// at least two different colours (for other programs, whose exact picture is not known; a
// window the server has only cleared to its background is one colour). The time taken is the
// arrival of the batch of events that led to the accepted read.
//
// Output, in milliseconds: one "sample VALUE" line per run and a "summary n=.. median=.. p25=..
// p75=.. min=.. max=.." line; start-up adds the time to the first map of a window on each sample
// line and in a "mapped ..." line of the same form. The rest mode prints "rest rss_kib=..
// pss_kib=.. cpu_ticks=.. cpu_percent=.. cpu_ns=.. cpu_ns_percent=.. wakeups_per_s=.. idle_s=..",
// for Dravix followed by "slides wakeups_per_s=.." (see slideWakeups). The replies mode prints a
// "replies n=.. median=.. min=.. max=.." line. With --windows N, N other applications' windows,
// each a mapped top-level window with a mapped child as toolkits make them, stay open on the
// server while the program is measured. A failure prints
// "failed REASON" and ends with a non-zero status.

#include "platform/window_port.h"
#include "scene/scene.h"
#include "tests/support/x11/x_connection.h"

#include <X11/extensions/Xdamage.h>

#include <poll.h>
#include <sys/inotify.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using dravix::x11test::Button;
using dravix::x11test::ChildProcess;
using dravix::x11test::Image;
using dravix::x11test::XConnection;

double millisecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double realTimeSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// ---------------------------------------------------------------------------------------------
// Options

struct Options {
    std::string mode;
    int runs = 20;
    std::optional<std::pair<int, int>> size; // the first frame's window size, when known
    bool expectDravixFrame = false;          // the exact closed strip rather than any content
    std::string folder;                      // the program's working folder
    std::string standardInput = "/dev/null";
    std::string log = "/dev/null"; // where the program's stdout and stderr go
    int timeoutMs = 10000;         // for one first frame
    double settleSeconds = 5;
    double idleSeconds = 60;
    std::string stamps; // launch: the stamp file the started program appends to
    int windows = 0;    // other applications' windows open meanwhile
    std::vector<std::string> command;
};

[[noreturn]] void usage(const std::string& problem) {
    std::fprintf(stderr,
                 "probe: %s\n"
                 "usage: probe startup|rest|replies|launch [--runs N] [--size WxH]\n"
                 "             [--dravix-frame] [--cwd DIR] [--stdin FILE] [--log FILE]\n"
                 "             [--timeout-ms N] [--settle S] [--idle S] [--stamps FILE]\n"
                 "             [--windows N] -- PROGRAM [ARGS...]\n",
                 problem.c_str());
    std::exit(2);
}

Options parseOptions(int argc, char** argv) {
    if (argc < 2)
        usage("no mode");
    Options options;
    options.mode = argv[1];
    if (options.mode != "startup" && options.mode != "rest" && options.mode != "replies" &&
        options.mode != "launch")
        usage("unknown mode " + options.mode);
    int index = 2;
    auto value = [&](const char* name) -> std::string {
        if (index + 1 >= argc)
            usage(std::string(name) + " needs a value");
        return argv[++index];
    };
    for (; index < argc; ++index) {
        const std::string argument = argv[index];
        if (argument == "--") {
            ++index;
            break;
        }
        if (argument == "--runs") {
            options.runs = std::stoi(value("--runs"));
        } else if (argument == "--size") {
            const std::string size = value("--size");
            const auto x = size.find('x');
            if (x == std::string::npos)
                usage("--size wants WxH");
            options.size = {std::stoi(size.substr(0, x)), std::stoi(size.substr(x + 1))};
        } else if (argument == "--dravix-frame") {
            options.expectDravixFrame = true;
        } else if (argument == "--cwd") {
            options.folder = value("--cwd");
        } else if (argument == "--stdin") {
            options.standardInput = value("--stdin");
        } else if (argument == "--log") {
            options.log = value("--log");
        } else if (argument == "--timeout-ms") {
            options.timeoutMs = std::stoi(value("--timeout-ms"));
        } else if (argument == "--settle") {
            options.settleSeconds = std::stod(value("--settle"));
        } else if (argument == "--idle") {
            options.idleSeconds = std::stod(value("--idle"));
        } else if (argument == "--stamps") {
            options.stamps = value("--stamps");
        } else if (argument == "--windows") {
            options.windows = std::stoi(value("--windows"));
        } else {
            usage("unknown option " + argument);
        }
    }
    for (; index < argc; ++index)
        options.command.emplace_back(argv[index]);
    if (options.command.empty())
        usage("no program to run");
    if (options.runs < 1)
        usage("--runs must be at least 1");
    return options;
}

// ---------------------------------------------------------------------------------------------
// The program under measurement

// The program's start: in its folder, with its output in the log, in a process group of its own
// so that helpers it starts go with it.
dravix::x11test::ProcessOptions
programStart(const Options& options, const std::map<std::string, std::string>& environment = {}) {
    dravix::x11test::ProcessOptions start;
    if (!environment.empty())
        start.environment = dravix::x11test::environmentWith(environment);
    start.argv = options.command;
    start.folder = options.folder;
    start.input.path = options.standardInput;
    start.output = {options.log, -1, true};
    start.errors.descriptor = 1;
    start.ownProcessGroup = true;
    return start;
}

// Why the program ended, once it has.
std::optional<std::string> endOf(ChildProcess& program) {
    const std::optional<int> status = program.exitStatus();
    if (!status)
        return std::nullopt;
    return dravix::x11test::describeWaitStatus(*status);
}

// ---------------------------------------------------------------------------------------------
// The X side

// What the first frame must show.
class FrameCheck {
public:
    explicit FrameCheck(const Options& options) : size_(options.size) {
        if (!options.expectDravixFrame)
            return;
        if (!size_)
            size_ = {dravix::shape::closedWidth, dravix::shape::closedHeight};
        dravix::Scene scene;
        dravix::Frame frame;
        scene.compose(frame, size_->first, size_->second);
        expected_ = Image(frame.width, frame.height, std::move(frame.rgb));
    }

    bool sizeFits(int width, int height) const {
        if (size_)
            return width == size_->first && height == size_->second;
        return width > 1 && height > 1;
    }

    bool passes(const Image& image) const {
        if (expected_)
            return image == *expected_;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.at(x, y) != image.at(0, 0))
                    return true;
            }
        }
        return false;
    }

private:
    std::optional<std::pair<int, int>> size_;
    std::optional<Image> expected_; // the exact closed strip, when that is the check
};

// A top-level window of the program under measurement.
struct TrackedWindow {
    Damage damage = 0;
    bool mapped = false;
    bool damaged = false; // something was drawn since the last check
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

class Screen {
public:
    Screen() : display_(x_.display()) {
        int errorBase = 0;
        if (!XDamageQueryExtension(display_, &damageEventBase_, &errorBase))
            throw std::runtime_error("the X server has no DAMAGE extension");
        root_ = DefaultRootWindow(display_);
        XSelectInput(display_, root_, SubstructureNotifyMask);
        XSync(display_, False);
    }

    // Real input through XTest, as a person's mouse gives it.
    XConnection& x() { return x_; }
    // When the first window of this run was seen mapped, if it was.
    std::optional<Clock::time_point> firstMapped() const { return firstMapped_; }

    // Forgets the windows of an earlier run and drops its events.
    void reset() {
        for (auto& [window, tracked] : windows_) {
            if (tracked.damage != 0)
                XDamageDestroy(display_, tracked.damage);
        }
        windows_.clear();
        firstMapped_.reset();
        XSync(display_, True);
    }

    // Waits for the first frame and returns the window and when its events arrived; nothing
    // when the deadline passes or the program ends first.
    std::optional<std::pair<Window, Clock::time_point>>
    waitForFirstFrame(const FrameCheck& check, ChildProcess& program, Clock::time_point deadline,
                      std::string& failure) {
        while (true) {
            const std::optional<Clock::time_point> arrival = waitForEvents(deadline);
            if (!arrival) {
                failure = "no first frame before the timeout";
                return std::nullopt;
            }
            drainEvents(*arrival);
            for (auto& [window, tracked] : windows_) {
                if (!tracked.damaged || !tracked.mapped ||
                    !check.sizeFits(tracked.width, tracked.height))
                    continue;
                tracked.damaged = false;
                if (shows(window, tracked, check))
                    return std::pair{window, *arrival};
            }
            if (const std::optional<std::string> reason = endOf(program)) {
                failure = "the program " + *reason + " before its first frame";
                return std::nullopt;
            }
        }
    }

    // Handles events until the window has this size (and, when given, this position).
    bool waitForGeometry(Window window, int width, int height, std::optional<int> top,
                         Clock::time_point deadline) {
        while (true) {
            drainEvents();
            const auto found = windows_.find(window);
            if (found != windows_.end() && found->second.width == width &&
                found->second.height == height && (!top || found->second.top == *top))
                return true;
            if (!waitForEvents(deadline))
                return false;
        }
    }

    const TrackedWindow* tracked(Window window) const {
        const auto found = windows_.find(window);
        return found == windows_.end() ? nullptr : &found->second;
    }

private:
    std::optional<Clock::time_point> waitForEvents(Clock::time_point deadline) {
        while (XPending(display_) == 0) {
            const double left = millisecondsBetween(Clock::now(), deadline);
            if (left <= 0)
                return std::nullopt;
            pollfd connection{ConnectionNumber(display_), POLLIN, 0};
            ::poll(&connection, 1, static_cast<int>(std::min(left, 50.0)) + 1);
        }
        return Clock::now();
    }

    void drainEvents(Clock::time_point arrival = Clock::now()) {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            handle(event, arrival);
        }
    }

    void handle(const XEvent& event, Clock::time_point arrival) {
        switch (event.type) {
        case CreateNotify: {
            const XCreateWindowEvent& created = event.xcreatewindow;
            if (created.parent != root_)
                return;
            TrackedWindow& tracked = windows_[created.window];
            tracked.left = created.x;
            tracked.top = created.y;
            tracked.width = created.width;
            tracked.height = created.height;
            // Fails harmlessly for input-only windows.
            tracked.damage = XDamageCreate(display_, created.window, XDamageReportNonEmpty);
            return;
        }
        case MapNotify:
            if (auto found = windows_.find(event.xmap.window); found != windows_.end()) {
                found->second.mapped = true;
                found->second.damaged = true;
                if (!firstMapped_)
                    firstMapped_ = arrival;
            }
            return;
        case UnmapNotify:
            if (auto found = windows_.find(event.xunmap.window); found != windows_.end())
                found->second.mapped = false;
            return;
        case ConfigureNotify:
            if (auto found = windows_.find(event.xconfigure.window); found != windows_.end()) {
                found->second.left = event.xconfigure.x;
                found->second.top = event.xconfigure.y;
                found->second.width = event.xconfigure.width;
                found->second.height = event.xconfigure.height;
                found->second.damaged = true;
            }
            return;
        case DestroyNotify:
            windows_.erase(event.xdestroywindow.window);
            return;
        default:
            break;
        }
        if (event.type == damageEventBase_ + XDamageNotify) {
            const auto& damage = reinterpret_cast<const XDamageNotifyEvent&>(event);
            if (auto found = windows_.find(damage.drawable); found != windows_.end()) {
                found->second.damaged = true;
                XDamageSubtract(display_, damage.damage, None, None);
            }
        }
    }

    bool shows(Window window, const TrackedWindow& tracked, const FrameCheck& check) {
        const std::optional<Image> image = x_.windowImage(window, tracked.width, tracked.height);
        return image && check.passes(*image);
    }

    XConnection x_;
    Display* display_ = nullptr;
    Window root_ = 0;
    int damageEventBase_ = 0;
    std::map<Window, TrackedWindow> windows_;
    std::optional<Clock::time_point> firstMapped_;
};

// Other applications' windows, open on a connection of their own for as long as this lives: each
// a mapped top-level window with a mapped child, as toolkits make them, in a grid clear of where
// the programs measured put theirs.
class OtherApplications {
public:
    explicit OtherApplications(int count) {
        if (count <= 0)
            return;
        display_ = XOpenDisplay(nullptr);
        if (display_ == nullptr)
            throw std::runtime_error("cannot open the display for the other windows");
        const Window root = DefaultRootWindow(display_);
        for (int i = 0; i < count; ++i) {
            const Window window = XCreateSimpleWindow(display_, root, (i % 10) * 40, (i / 10) * 40,
                                                      120, 90, 0, 0, 0xd0d0d0);
            XMapWindow(display_, XCreateSimpleWindow(display_, window, 0, 0, 120, 90, 0, 0, 0));
            XMapWindow(display_, window);
        }
        XSync(display_, False);
    }
    ~OtherApplications() {
        if (display_ != nullptr)
            XCloseDisplay(display_);
    }
    OtherApplications(const OtherApplications&) = delete;
    OtherApplications& operator=(const OtherApplications&) = delete;

private:
    Display* display_ = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Results

void printSummary(const char* label, std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    auto quantile = [&](double q) {
        const double position = q * static_cast<double>(samples.size() - 1);
        const auto below = static_cast<std::size_t>(std::floor(position));
        const auto above = std::min(below + 1, samples.size() - 1);
        return samples[below] + (samples[above] - samples[below]) * (position - below);
    };
    std::printf("%s n=%zu median=%.3f p25=%.3f p75=%.3f min=%.3f max=%.3f\n", label, samples.size(),
                quantile(0.5), quantile(0.25), quantile(0.75), samples.front(), samples.back());
}

[[noreturn]] void fail(const std::string& reason) {
    std::printf("failed %s\n", reason.c_str());
    std::fflush(stdout);
    std::exit(1);
}

// ---------------------------------------------------------------------------------------------
// The modes

int measureStartup(const Options& options) {
    const OtherApplications others(options.windows);
    Screen screen;
    const FrameCheck check(options);
    std::vector<double> samples;
    std::vector<double> mapSamples;
    for (int run = 0; run < options.runs; ++run) {
        screen.reset();
        ChildProcess program(programStart(options));
        std::string failure;
        const auto frame = screen.waitForFirstFrame(
            check, program, program.started() + std::chrono::milliseconds(options.timeoutMs),
            failure);
        if (!frame)
            fail(failure);
        const double milliseconds = millisecondsBetween(program.started(), frame->second);
        samples.push_back(milliseconds);
        const double mapped =
            millisecondsBetween(program.started(), screen.firstMapped().value_or(frame->second));
        mapSamples.push_back(mapped);
        std::printf("sample %.3f mapped %.3f\n", milliseconds, mapped);
        std::fflush(stdout);
        program.stop();
        // Let the server finish with the last run's windows before the next one starts.
        screen.reset();
        std::this_thread::sleep_for(150ms);
    }
    printSummary("summary", samples);
    printSummary("mapped", mapSamples);
    return 0;
}

struct Footprint {
    long rssKib = 0;
    long pssKib = 0;
};

Footprint readFootprint(pid_t pid) {
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    Footprint footprint;
    std::string key;
    long value = 0;
    std::string unit;
    while (rollup >> key) {
        if (key == "Rss:" && rollup >> value >> unit)
            footprint.rssKib = value;
        else if (key == "Pss:" && rollup >> value >> unit)
            footprint.pssKib = value;
        else
            rollup.ignore(1 << 16, '\n');
    }
    if (footprint.rssKib == 0)
        fail("cannot read /proc/" + std::to_string(pid) + "/smaps_rollup");
    return footprint;
}

// utime + stime in clock ticks, from /proc/PID/stat (fields 14 and 15, counted after the
// parenthesised command name, which may itself hold spaces).
long cpuTicks(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const auto close = stat.rfind(')');
    if (close == std::string::npos)
        fail("cannot read /proc/" + std::to_string(pid) + "/stat");
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    long utime = 0;
    long stime = 0;
    for (int number = 3; fields >> field; ++number) {
        if (number == 14)
            utime = std::stol(field);
        if (number == 15) {
            stime = std::stol(field);
            break;
        }
    }
    return utime + stime;
}

// The scheduler's own count of time on the CPU, in nanoseconds: finer than the clock ticks.
long long cpuNanoseconds(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/schedstat");
    long long nanoseconds = -1;
    file >> nanoseconds;
    return nanoseconds;
}

// How often the process has gone to sleep of its own accord: voluntary_ctxt_switches from the
// status of each of its threads, summed. Each is a wakeup for the CPU when the sleep ends.
long long voluntarySwitches(pid_t pid) {
    long long total = 0;
    std::error_code error;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream status(task.path() / "status");
        std::string key;
        while (status >> key) {
            long long count = 0;
            if (key == "voluntary_ctxt_switches:" && status >> count)
                total += count;
            status.ignore(1 << 16, '\n');
        }
    }
    if (error)
        fail("cannot read " + tasks.string());
    return total;
}

// Wakeups per second while the strip slides: a few openings and closings, each counted from the
// press on the toggle to the frame where the window settles. The press and the release wake the
// program too, so a little more than the ten ticks a second.
double slideWakeups(Screen& screen, Window window, pid_t pid) {
    const TrackedWindow closed = *screen.tracked(window);
    const int openTop = closed.top - dravix::shape::rise;
    struct Slide {
        int top;
        int width;
        int height;
    };
    constexpr int cycles = 3;
    long long switches = 0;
    double seconds = 0;
    for (int slide = 0; slide < 2 * cycles; ++slide) {
        const bool opening = slide % 2 == 0;
        const Slide to =
            opening ? Slide{openTop, dravix::shape::openWidth, dravix::shape::openHeight}
                    : Slide{closed.top, dravix::shape::closedWidth, dravix::shape::closedHeight};
        const int toggleTop = opening ? closed.top : openTop + dravix::shape::rise;
        screen.x().movePointer(closed.left + dravix::shape::closedWidth / 2,
                               toggleTop + dravix::shape::closedHeight / 2);
        std::this_thread::sleep_for(300ms);
        const long long before = voluntarySwitches(pid);
        const auto pressed = Clock::now();
        screen.x().click(closed.left + dravix::shape::closedWidth / 2,
                         toggleTop + dravix::shape::closedHeight / 2, Button::left);
        if (!screen.waitForGeometry(window, to.width, to.height, to.top, Clock::now() + 5s))
            fail("the strip did not slide");
        switches += voluntarySwitches(pid) - before;
        seconds += millisecondsBetween(pressed, Clock::now()) / 1000;
    }
    return static_cast<double>(switches) / seconds;
}

// The replies waited for before the first frame, counted inside the program by the reply-wait
// counter (tests/support/x11/reply_waits.cpp, loaded with LD_PRELOAD), which writes its count at
// the program's first image request; the frame is still waited for on the server, so that the run
// ends as a start-up run does.
int measureReplies(const Options& options) {
    const OtherApplications others(options.windows);
    Screen screen;
    const FrameCheck check(options);
    const std::filesystem::path counter = DRAVIX_REPLY_WAITS;
    if (!std::filesystem::exists(counter))
        fail("no reply-wait counter at " + counter.string());
    const std::filesystem::path countFile = std::filesystem::temp_directory_path() /
                                            ("dravix-reply-waits-" + std::to_string(::getpid()));
    const std::map<std::string, std::string> environment{
        {"LD_PRELOAD", counter.string()}, {"DRAVIX_REPLY_WAITS_FILE", countFile.string()}};
    std::vector<double> samples;
    for (int run = 0; run < options.runs; ++run) {
        screen.reset();
        std::filesystem::remove(countFile);
        ChildProcess program(programStart(options, environment));
        std::string failure;
        const auto frame = screen.waitForFirstFrame(
            check, program, program.started() + std::chrono::milliseconds(options.timeoutMs),
            failure);
        if (!frame)
            fail(failure);
        int waits = -1;
        std::ifstream(countFile) >> waits;
        std::filesystem::remove(countFile);
        if (waits < 0)
            fail("the first frame came without an image request seen by the counter");
        samples.push_back(waits);
        std::printf("sample %d\n", waits);
        std::fflush(stdout);
        program.stop();
        screen.reset();
        std::this_thread::sleep_for(150ms);
    }
    printSummary("replies", samples);
    return 0;
}

int measureRest(const Options& options) {
    Screen screen;
    const FrameCheck check(options);
    ChildProcess program(programStart(options));
    std::string failure;
    const auto frame = screen.waitForFirstFrame(
        check, program, program.started() + std::chrono::milliseconds(options.timeoutMs), failure);
    if (!frame)
        fail(failure);
    std::this_thread::sleep_until(program.started() +
                                  std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(options.settleSeconds)));
    if (const auto reason = endOf(program))
        fail("the program " + *reason + " before the memory was read");
    const Footprint footprint = readFootprint(program.pid());

    const long ticksBefore = cpuTicks(program.pid());
    const long long nanosecondsBefore = cpuNanoseconds(program.pid());
    const long long switchesBefore = voluntarySwitches(program.pid());
    const auto idleStart = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(options.idleSeconds));
    if (const auto reason = endOf(program))
        fail("the program " + *reason + " while at rest");
    const long ticks = cpuTicks(program.pid()) - ticksBefore;
    const long long nanoseconds = cpuNanoseconds(program.pid()) - nanosecondsBefore;
    const long long switches = voluntarySwitches(program.pid()) - switchesBefore;
    const double idleSeconds = millisecondsBetween(idleStart, Clock::now()) / 1000;
    const double ticksPerSecond = static_cast<double>(::sysconf(_SC_CLK_TCK));

    std::printf("rest rss_kib=%ld pss_kib=%ld cpu_ticks=%ld cpu_percent=%.4f cpu_ns=%lld "
                "cpu_ns_percent=%.4f wakeups_per_s=%.3f idle_s=%.1f\n",
                footprint.rssKib, footprint.pssKib, ticks,
                100.0 * static_cast<double>(ticks) / ticksPerSecond / idleSeconds, nanoseconds,
                nanosecondsBefore < 0
                    ? -1.0
                    : 100.0 * static_cast<double>(nanoseconds) * 1e-9 / idleSeconds,
                static_cast<double>(switches) / idleSeconds, idleSeconds);
    if (options.expectDravixFrame)
        std::printf("slides wakeups_per_s=%.2f\n",
                    slideWakeups(screen, frame->first, program.pid()));
    return 0;
}

// The stamp file's last line as seconds, once it has more lines than `known`.
std::optional<double> newStamp(const std::string& path, std::size_t known) {
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty())
            lines.push_back(line);
    }
    if (lines.size() <= known)
        return std::nullopt;
    return std::stod(lines.back());
}

std::size_t stampCount(const std::string& path) {
    std::ifstream file(path);
    std::size_t count = 0;
    for (std::string line; std::getline(file, line);)
        count += line.empty() ? 0 : 1;
    return count;
}

// Sleeps until a file in the stamp file's folder is written and closed, so that the probe takes
// no CPU from the launch it is timing.
class FolderWatch {
public:
    explicit FolderWatch(const std::string& file) {
        const auto slash = file.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash);
        descriptor_ = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        if (descriptor_ < 0 || ::inotify_add_watch(descriptor_, folder.c_str(), IN_CLOSE_WRITE) < 0)
            throw std::runtime_error("cannot watch " + folder + ": " + std::strerror(errno));
    }
    ~FolderWatch() { ::close(descriptor_); }
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    void wait(Clock::time_point deadline) {
        const double left = millisecondsBetween(Clock::now(), deadline);
        if (left <= 0)
            return;
        pollfd watch{descriptor_, POLLIN, 0};
        ::poll(&watch, 1, static_cast<int>(left) + 1);
        char events[4096];
        while (::read(descriptor_, events, sizeof events) > 0) {
        }
    }

private:
    int descriptor_ = -1;
};

int measureLaunch(Options options) {
    if (options.stamps.empty())
        usage("launch needs --stamps");
    options.expectDravixFrame = true;
    Screen screen;
    const FrameCheck check(options);
    ChildProcess program(programStart(options));
    std::string failure;
    const auto frame = screen.waitForFirstFrame(
        check, program, program.started() + std::chrono::milliseconds(options.timeoutMs), failure);
    if (!frame)
        fail(failure);
    const Window window = frame->first;
    const TrackedWindow closed = *screen.tracked(window);

    // The strip grows upward and to the right of the toggle, which stays where it is; slot 0
    // sits near the top of the slot column.
    dravix::Scene scene;
    const dravix::Element& slot = scene.element(scene.find("kn0"));
    const int openTop = closed.top - dravix::shape::rise;
    const int slotX = closed.left + scene.element(slot.parent).left + slot.left + slot.width / 2;
    const int slotY = openTop + slot.top + slot.height / 2;

    FolderWatch stampWatch(options.stamps);
    std::vector<double> samples;
    for (int run = 0; run < options.runs; ++run) {
        screen.x().movePointer(closed.left + dravix::shape::closedWidth / 2,
                               closed.top + dravix::shape::closedHeight / 2);
        screen.x().pressButton(Button::left);
        screen.x().releaseButton(Button::left);
        if (!screen.waitForGeometry(window, dravix::shape::openWidth, dravix::shape::openHeight,
                                    openTop, Clock::now() + 5s))
            fail("the strip did not open");
        std::this_thread::sleep_for(150ms);

        const std::size_t known = stampCount(options.stamps);
        screen.x().movePointer(slotX, slotY);
        screen.x().pressButton(Button::left);
        std::this_thread::sleep_for(30ms);
        const double released = realTimeSeconds();
        screen.x().releaseButton(Button::left);

        std::optional<double> stamp;
        const auto deadline = Clock::now() + 3s;
        while (!(stamp = newStamp(options.stamps, known)) && Clock::now() < deadline)
            stampWatch.wait(deadline);
        if (!stamp)
            fail("the slot's program left no stamp");
        const double milliseconds = (*stamp - released) * 1000;
        samples.push_back(milliseconds);
        std::printf("sample %.3f\n", milliseconds);
        std::fflush(stdout);

        // The launch closes the strip by itself.
        if (!screen.waitForGeometry(window, dravix::shape::closedWidth, dravix::shape::closedHeight,
                                    closed.top, Clock::now() + 5s))
            fail("the strip did not close after the launch");
        std::this_thread::sleep_for(150ms);
    }
    printSummary("summary", samples);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    try {
        if (options.mode == "startup")
            return measureStartup(options);
        if (options.mode == "rest")
            return measureRest(options);
        if (options.mode == "replies")
            return measureReplies(options);
        return measureLaunch(options);
    } catch (const std::exception& error) {
        fail(error.what());
    }
}
