#include "tests/e2e/harness.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <thread>

namespace dravix::e2e {

Settings& settings() {
    static Settings value;
    return value;
}

std::filesystem::path testArtifactFolder() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = test != nullptr
                                 ? std::string(test->test_suite_name()) + "." + test->name()
                                 : std::string("outside-tests");
    std::filesystem::path folder = settings().artifacts / name;
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return folder;
}

bool waitUntil(const std::function<bool()>& condition, Milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(pollInterval);
    }
}

void PrintTo(const Geometry& geometry, std::ostream* out) {
    *out << describe(geometry);
}

std::string describe(const Geometry& geometry) {
    std::ostringstream text;
    text << geometry.width << " x " << geometry.height << " at Left " << geometry.left << ", Top "
         << geometry.top;
    return text.str();
}

// ---------------------------------------------------------------------------------------------
// XServer

namespace {

// Windows may vanish between listing and asking about them (a closing error box, the previous
// test's program going away): such errors only make that query fail, they must not end the run.
int ignoreXError(Display*, XErrorEvent*) {
    return 0;
}

std::optional<std::string> textProperty(Display* display, Window window, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 1024, False, AnyPropertyType, &type,
                           &format, &count, &remaining, &data) != Success) {
        return std::nullopt;
    }
    std::optional<std::string> text;
    if (data != nullptr && type != None && format == 8) {
        text = std::string(reinterpret_cast<const char*>(data), count);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return text;
}

std::optional<long> cardinalProperty(Display* display, Window window, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &remaining, &data) != Success) {
        return std::nullopt;
    }
    std::optional<long> value;
    if (data != nullptr && format == 32 && count == 1) {
        value = *reinterpret_cast<long*>(data);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return value;
}

std::vector<Window> childrenOf(Display* display, Window window) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    std::vector<Window> result;
    if (XQueryTree(display, window, &root, &parent, &children, &count) != 0) {
        result.assign(children, children + count);
    }
    if (children != nullptr) {
        XFree(children);
    }
    return result;
}

// Converts one channel of a TrueColor pixel to 8 bits.
std::uint8_t channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) {
        return 0;
    }
    int shift = 0;
    while (((mask >> shift) & 1) == 0) {
        ++shift;
    }
    const unsigned long maximum = mask >> shift;
    const unsigned long value = (pixel & mask) >> shift;
    return static_cast<std::uint8_t>(value * 255 / maximum);
}

} // namespace

XServer& XServer::instance() {
    static XServer server;
    return server;
}

XServer::XServer() {
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) {
        throw std::runtime_error("cannot open the X display named by DISPLAY");
    }
    XSetErrorHandler(ignoreXError);
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(display_, &eventBase, &errorBase, &major, &minor)) {
        throw std::runtime_error("the X server has no XTEST extension");
    }
    // Make sure no earlier grab or focus change of ours lingers: keys follow the pointer.
    XSetInputFocus(display_, PointerRoot, RevertToPointerRoot, CurrentTime);
    XSync(display_, False);
}

XServer::~XServer() {
    if (display_ != nullptr) {
        XCloseDisplay(display_);
    }
}

int XServer::screenWidth() const {
    return DisplayWidth(display_, DefaultScreen(display_));
}
int XServer::screenHeight() const {
    return DisplayHeight(display_, DefaultScreen(display_));
}

std::vector<Window> XServer::clientWindows(const std::function<bool(Window)>& isClient,
                                           const std::function<bool(Window)>& accept) {
    auto viewable = [&](Window window) {
        XWindowAttributes attributes;
        return XGetWindowAttributes(display_, window, &attributes) != 0 &&
               attributes.map_state == IsViewable;
    };

    std::vector<Window> found;
    // Without a window manager the program's windows are children of the root; with one, they
    // sit inside its frames, a level or two further down.
    std::function<void(Window, int)> search = [&](Window window, int depth) {
        if (isClient(window)) {
            if (viewable(window) && accept(window)) {
                found.push_back(window);
            }
            return;
        }
        if (depth < 3) {
            for (Window child : childrenOf(display_, window)) {
                search(child, depth + 1);
            }
        }
    };
    for (Window topLevel : childrenOf(display_, DefaultRootWindow(display_))) {
        if (viewable(topLevel)) {
            search(topLevel, 1);
        }
    }
    return found;
}

std::vector<Window> XServer::windowsTitled(const std::string& title, std::optional<pid_t> pid) {
    const Atom wmName = XA_WM_NAME;
    const Atom netWmName = XInternAtom(display_, "_NET_WM_NAME", False);
    const Atom netWmPid = XInternAtom(display_, "_NET_WM_PID", False);

    auto titled = [&](Window window) {
        return textProperty(display_, window, wmName) == title ||
               textProperty(display_, window, netWmName) == title;
    };
    auto ours = [&](Window window) {
        if (!pid) {
            return true;
        }
        const std::optional<long> owner = cardinalProperty(display_, window, netWmPid);
        return !owner || *owner == *pid;
    };
    return clientWindows(titled, ours);
}

std::vector<Window> XServer::windowsOfProcess(pid_t pid) {
    const Atom netWmPid = XInternAtom(display_, "_NET_WM_PID", False);
    auto hasOwner = [&](Window window) {
        return cardinalProperty(display_, window, netWmPid).has_value();
    };
    auto ours = [&](Window window) { return cardinalProperty(display_, window, netWmPid) == pid; };
    return clientWindows(hasOwner, ours);
}

std::optional<Geometry> XServer::geometry(Window window) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display_, window, &attributes) == 0) {
        return std::nullopt;
    }
    int rootX = 0;
    int rootY = 0;
    Window child = 0;
    if (!XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &rootX, &rootY,
                               &child)) {
        return std::nullopt;
    }
    return Geometry{rootX, rootY, attributes.width, attributes.height};
}

Screenshot XServer::capture(const Geometry& area) {
    Screenshot shot;
    shot.image = Image(area.width, area.height);
    const int x0 = std::max(area.left, 0);
    const int y0 = std::max(area.top, 0);
    const int x1 = std::min(area.left + area.width, screenWidth());
    const int y1 = std::min(area.top + area.height, screenHeight());
    if (x0 >= x1 || y0 >= y1) {
        return shot;
    }
    XSync(display_, False);
    XImage* image =
        XGetImage(display_, DefaultRootWindow(display_), x0, y0, static_cast<unsigned>(x1 - x0),
                  static_cast<unsigned>(y1 - y0), AllPlanes, ZPixmap);
    if (image == nullptr) {
        return shot;
    }
    const Visual* visual = DefaultVisual(display_, DefaultScreen(display_));
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const unsigned long pixel = XGetPixel(image, x - x0, y - y0);
            shot.image.set(x - area.left, y - area.top,
                           Rgb{channel(pixel, visual->red_mask), channel(pixel, visual->green_mask),
                               channel(pixel, visual->blue_mask)});
        }
    }
    XDestroyImage(image);
    shot.visibleX0 = x0 - area.left;
    shot.visibleY0 = y0 - area.top;
    shot.visibleX1 = x1 - area.left;
    shot.visibleY1 = y1 - area.top;
    return shot;
}

std::optional<Screenshot> XServer::captureWhenStill(const Geometry& area, Milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    Screenshot last = capture(area);
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(100ms);
        Screenshot next = capture(area);
        if (!compare(next, last.image)) {
            return next;
        }
        last = std::move(next);
    }
    return std::nullopt;
}

void XServer::movePointer(int x, int y) {
    XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
    XSync(display_, False);
}

void XServer::pressButton(Button button) {
    XTestFakeButtonEvent(display_, static_cast<unsigned>(button), True, CurrentTime);
    XSync(display_, False);
}

void XServer::releaseButton(Button button) {
    XTestFakeButtonEvent(display_, static_cast<unsigned>(button), False, CurrentTime);
    XSync(display_, False);
}

void XServer::click(int x, int y, Button button) {
    movePointer(x, y);
    pressButton(button);
    releaseButton(button);
}

void XServer::pressKey(unsigned long keysym) {
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    if (code == 0) {
        throw std::runtime_error("the keyboard map has no key for keysym " +
                                 std::to_string(keysym));
    }
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XSync(display_, False);
}

void XServer::releaseKey(unsigned long keysym) {
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    if (code == 0) {
        throw std::runtime_error("the keyboard map has no key for keysym " +
                                 std::to_string(keysym));
    }
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    XSync(display_, False);
}

void XServer::tapKey(unsigned long keysym) {
    pressKey(keysym);
    releaseKey(keysym);
}

void XServer::tapKeyWith(unsigned long modifier, unsigned long keysym) {
    pressKey(modifier);
    tapKey(keysym);
    releaseKey(modifier);
}

void XServer::focus(Window window) {
    XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
    XSync(display_, False);
}

Window XServer::selectionOwner(const std::string& selection) {
    return XGetSelectionOwner(display_, XInternAtom(display_, selection.c_str(), False));
}

// ---------------------------------------------------------------------------------------------
// DravixProcess

std::string describeWaitStatus(int status) {
    std::ostringstream text;
    if (WIFEXITED(status)) {
        text << "exited with status " << WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        text << "killed by signal " << WTERMSIG(status) << " (" << strsignal(WTERMSIG(status))
             << ")";
    } else {
        text << "wait status " << status;
    }
    return text.str();
}

DravixProcess::DravixProcess() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/dravix-e2e-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed: " + std::string(std::strerror(errno)));
    }
    folder_ = pattern;
    std::filesystem::create_directory(elsewhere());
    std::filesystem::copy_file(settings().binary, folder_ / "dravix");
    std::filesystem::permissions(folder_ / "dravix", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add);
}

DravixProcess::~DravixProcess() {
    stop();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void DravixProcess::stop() {
    if (pid_ <= 0) {
        return;
    }
    if (!exitStatus_) {
        // A polite end first, so that a wrapping tool can write its report.
        kill(pid_, SIGTERM);
        if (!waitForExit(2000ms)) {
            kill(pid_, SIGKILL);
            int status = 0;
            while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
            exitStatus_ = status;
        }
    }
    // The server drops a dead client's windows a moment after its connection closes; the next
    // test must not find them.
    waitUntil([this] { return XServer::instance().windowsTitled("Dravix", pid_).empty(); },
              windowTimeout);
}

void DravixProcess::writeFile(const std::string& name, const std::string& bytes) {
    std::ofstream file(folder_ / name, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + (folder_ / name).string());
    }
}

std::optional<std::string> DravixProcess::readFile(const std::string& name) const {
    std::ifstream file(folder_ / name, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void DravixProcess::setEnvironment(const std::string& name, const std::string& value) {
    environment_[name] = value;
}

void DravixProcess::start() {
    if (pid_ > 0) {
        // A second run in the same folder, after the first one ended.
        if (running()) {
            throw std::logic_error("dravix still runs; it cannot be started twice at once");
        }
        stop();
        pid_ = -1;
        exitStatus_.reset();
    }
    const std::string program = (folder_ / "dravix").string();
    const std::string errorsPath = (folder_ / "stderr.txt").string();
    const std::string outputPath = (folder_ / "stdout.txt").string();
    const std::string workingFolder = elsewhere().string();
    const std::string home = "HOME=" + workingFolder;

    // Everything the child needs is prepared before fork; after it, only async-signal-safe calls.
    auto replaced = [this](std::string_view variable) {
        const std::string_view name = variable.substr(0, variable.find('='));
        return name == "HOME" || environment_.contains(std::string(name));
    };
    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        if (!replaced(*variable)) {
            environment.emplace_back(*variable);
        }
    }
    for (const auto& [name, value] : environment_) {
        if (name != "HOME") {
            environment.push_back(name + "=" + value);
        }
    }
    environment.push_back(home);
    std::vector<char*> envp;
    for (std::string& variable : environment) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);
    // DRAVIX_E2E_WRAPPER runs the program under a tool such as valgrind: its words come first.
    std::vector<std::string> words;
    if (const char* wrapper = std::getenv("DRAVIX_E2E_WRAPPER")) {
        std::istringstream split(wrapper);
        for (std::string word; split >> word;) {
            words.push_back(word);
        }
    }
    const std::string executable = words.empty() ? program : words.front();
    words.push_back(words.empty() ? "dravix" : program);
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0) {
        throw std::runtime_error("fork failed: " + std::string(std::strerror(errno)));
    }
    if (child == 0) {
        const int errors = open(errorsPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int output = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int input = open("/dev/null", O_RDONLY);
        if (errors < 0 || output < 0 || input < 0 || dup2(errors, 2) < 0 || dup2(output, 1) < 0 ||
            dup2(input, 0) < 0 || chdir(workingFolder.c_str()) != 0) {
            _exit(126);
        }
        // The X connection and other descriptors of the test stay with the test.
        for (int fd = 3; fd < 1024; ++fd) {
            close(fd);
        }
        if (executable.find('/') == std::string::npos) {
            execvpe(executable.c_str(), argv.data(), envp.data());
        } else {
            execve(executable.c_str(), argv.data(), envp.data());
        }
        _exit(127);
    }
    pid_ = child;
}

bool DravixProcess::running() {
    if (pid_ <= 0) {
        return false;
    }
    if (exitStatus_) {
        return false;
    }
    int status = 0;
    const pid_t result = waitpid(pid_, &status, WNOHANG);
    if (result == pid_) {
        exitStatus_ = status;
        return false;
    }
    return true;
}

std::optional<int> DravixProcess::waitForExit(Milliseconds timeout) {
    waitUntil([this] { return !running(); }, timeout);
    return exitStatus_;
}

std::string DravixProcess::errorOutput() const {
    return readFile("stderr.txt").value_or("");
}

std::vector<Window> DravixProcess::windows() {
    if (pid_ <= 0) {
        return {};
    }
    return XServer::instance().windowsTitled("Dravix", pid_);
}

std::vector<Window> DravixProcess::allWindows() {
    if (pid_ <= 0) {
        return {};
    }
    return XServer::instance().windowsOfProcess(pid_);
}

std::optional<Window>
DravixProcess::waitForWindow(const std::function<bool(const Geometry&)>& accept,
                             Milliseconds timeout) {
    std::optional<Window> match;
    waitUntil(
        [&] {
            for (Window window : windows()) {
                const std::optional<Geometry> geometry = XServer::instance().geometry(window);
                if (geometry && accept(*geometry)) {
                    match = window;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return match;
}

std::string DravixProcess::describeWindows() {
    std::ostringstream text;
    const std::vector<Window> list = windows();
    text << list.size() << " window(s) titled \"Dravix\"";
    for (Window window : list) {
        const std::optional<Geometry> geometry = XServer::instance().geometry(window);
        text << "; 0x" << std::hex << window << std::dec << ": "
             << (geometry ? describe(*geometry) : std::string("gone"));
    }
    if (pid_ > 0 && !running()) {
        text << "; the process " << describeWaitStatus(*exitStatus_);
    }
    return text.str();
}

void DravixProcess::saveArtifacts() {
    const std::filesystem::path target = testArtifactFolder();
    std::error_code ignored;
    for (const char* name : {"dravix.ini", "dravix.dat", "stderr.txt", "stdout.txt"}) {
        if (std::filesystem::exists(folder_ / name)) {
            std::filesystem::copy_file(folder_ / name, target / name,
                                       std::filesystem::copy_options::overwrite_existing, ignored);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// ClipboardText

ClipboardText::ClipboardText(const std::string& text) {
    XServer& server = XServer::instance();
    const Window previousOwner = server.selectionOwner("CLIPBOARD");

    int input[2];
    if (pipe(input) != 0) {
        throw std::runtime_error("pipe failed: " + std::string(std::strerror(errno)));
    }
    char program[] = "xclip";
    char selectionOption[] = "-selection";
    char selection[] = "clipboard";
    // -quiet keeps xclip in the foreground, so that it is this pid that serves the selection.
    char quiet[] = "-quiet";
    char* argv[] = {program, selectionOption, selection, quiet, nullptr};
    const pid_t child = fork();
    if (child < 0) {
        close(input[0]);
        close(input[1]);
        throw std::runtime_error("fork failed: " + std::string(std::strerror(errno)));
    }
    if (child == 0) {
        // xclip talks about every request it serves on stderr; failures show as its early end.
        const int output = open("/dev/null", O_WRONLY);
        if (output < 0 || dup2(input[0], 0) < 0 || dup2(output, 1) < 0 || dup2(output, 2) < 0) {
            _exit(126);
        }
        for (int fd = 3; fd < 1024; ++fd) {
            close(fd);
        }
        execvp(program, argv);
        _exit(127);
    }
    pid_ = child;
    close(input[0]);
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t result = write(input[1], text.data() + written, text.size() - written);
        if (result < 0 && errno == EINTR) {
            continue;
        }
        if (result <= 0) {
            break;
        }
        written += static_cast<std::size_t>(result);
    }
    close(input[1]);

    // xclip reads its input to the end and only then takes the selection.
    bool exited = false;
    const bool owns = waitUntil(
        [&] {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited = true;
                pid_ = -1;
                return true;
            }
            const Window owner = server.selectionOwner("CLIPBOARD");
            return owner != None && owner != previousOwner;
        },
        windowTimeout);
    if (exited || !owns || written != text.size()) {
        stop();
        throw std::runtime_error(exited ? "xclip ended at once (is it installed?)"
                                        : "xclip did not take the clipboard");
    }
}

ClipboardText::~ClipboardText() {
    stop();
}

void ClipboardText::stop() {
    if (pid_ <= 0) {
        return;
    }
    kill(pid_, SIGTERM);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

// ---------------------------------------------------------------------------------------------
// DravixTest

void DravixTest::TearDown() {
    if (HasFailure()) {
        app.saveArtifacts();
        const std::string errors = app.errorOutput();
        std::cerr << "dravix " << app.describeWindows() << "\n"
                  << "artifacts: " << testArtifactFolder().string() << "\n";
        if (!errors.empty()) {
            std::cerr << "dravix stderr:\n" << errors << "\n";
        }
    }
}

void DravixTest::startWith(const std::optional<std::string>& positionFile,
                           const std::optional<std::string>& slotListFile) {
    if (positionFile) {
        app.writeFile("dravix.ini", *positionFile);
    }
    if (slotListFile) {
        app.writeFile("dravix.dat", *slotListFile);
    }
    app.start();
}

::testing::AssertionResult DravixTest::waitForMainWindow(const Geometry& expected,
                                                         Milliseconds timeout) {
    const std::optional<Window> window =
        app.waitForWindow([&](const Geometry& geometry) { return geometry == expected; }, timeout);
    if (!window) {
        return ::testing::AssertionFailure()
               << "no window titled \"Dravix\" at " << describe(expected) << " within "
               << timeout.count() << " ms; seen: " << app.describeWindows();
    }
    main = *window;
    return ::testing::AssertionSuccess();
}

std::optional<Geometry> DravixTest::waitForMainWindowSized(int width, int height,
                                                           Milliseconds timeout) {
    const std::optional<Window> window = app.waitForWindow(
        [&](const Geometry& geometry) {
            return geometry.width == width && geometry.height == height;
        },
        timeout);
    if (!window) {
        ADD_FAILURE() << "no window titled \"Dravix\" sized " << width << " x " << height
                      << " within " << timeout.count() << " ms; seen: " << app.describeWindows();
        return std::nullopt;
    }
    main = *window;
    return x().geometry(main);
}

::testing::AssertionResult DravixTest::waitForGeometry(const Geometry& expected,
                                                       Milliseconds timeout) {
    std::optional<Geometry> last;
    if (waitUntil(
            [&] {
                last = x().geometry(main);
                return last == expected;
            },
            timeout)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "the window did not reach " << describe(expected) << " within " << timeout.count()
           << " ms; it is " << (last ? describe(*last) : std::string("gone")) << "; "
           << app.describeWindows();
}

std::optional<Geometry> DravixTest::mainGeometry() {
    return x().geometry(main);
}

Screenshot DravixTest::screenshot() {
    const std::optional<Geometry> geometry = mainGeometry();
    if (!geometry) {
        return {};
    }
    return x().capture(*geometry);
}

::testing::AssertionResult DravixTest::waitForImage(const Image& expected, const std::string& label,
                                                    Milliseconds timeout) {
    Screenshot last;
    if (waitUntil(
            [&] {
                last = screenshot();
                return !compare(last, expected);
            },
            timeout)) {
        return ::testing::AssertionSuccess();
    }
    return sameImage(last, expected, label);
}

void DravixTest::clickAt(int xInWindow, int yInWindow, Button button) {
    const std::optional<Geometry> geometry = mainGeometry();
    ASSERT_TRUE(geometry) << "the main window is gone";
    x().click(geometry->left + xInWindow, geometry->top + yInWindow, button);
}

void DravixTest::hoverAt(int xInWindow, int yInWindow) {
    const std::optional<Geometry> geometry = mainGeometry();
    ASSERT_TRUE(geometry) << "the main window is gone";
    x().movePointer(geometry->left + xInWindow, geometry->top + yInWindow);
}

// Key events go to the window that has the keyboard focus. Under Xvfb without a window manager
// the focus stays PointerRoot: X then sends keys to the window under the pointer, but FLTK sees
// no focus change and offers them only as shortcuts, not as keyboard events. Naming the window
// with XSetInputFocus, as a window manager does when a window is clicked, makes FLTK deliver them
// as keyboard events wherever the pointer is.
void DravixTest::tapKey(unsigned long keysym) {
    x().focus(main);
    x().tapKey(keysym);
}

// Without a window manager nobody gives the box the keyboard focus, so the harness does, as a
// window manager would: the pointer goes over the box and XSetInputFocus names it. Return then
// presses its default button. Should the box not take keys, its one button, at the bottom right
// of the box, is clicked instead.
void DravixTest::dismissErrorBox(Window box) {
    const std::optional<Geometry> geometry = x().geometry(box);
    ASSERT_TRUE(geometry) << "the error box is gone";
    x().movePointer(geometry->left + geometry->width / 2, geometry->top + geometry->height / 2);
    x().focus(box);
    x().tapKey(XK_Return);
    auto closed = [&] { return !x().geometry(box) || app.windows().size() < 2; };
    if (!waitUntil(closed, 1000ms)) {
        std::cerr << "note: the error box did not close on Return; clicking its button\n";
        x().click(geometry->left + geometry->width - 40, geometry->top + geometry->height - 23,
                  Button::left);
    }
}

std::string positionFile(int top, int left) {
    return std::to_string(top) + "\r\n" + std::to_string(left) + "\r\n";
}

std::string emptySlotList() {
    std::string bytes;
    for (int line = 0; line < 20; ++line) {
        bytes += "\r\n";
    }
    return bytes;
}

std::string slotList(const std::map<int, SlotEntry>& slots) {
    std::string bytes;
    for (int slot = 0; slot < 10; ++slot) {
        const auto entry = slots.find(slot);
        if (entry != slots.end()) {
            bytes += entry->second.path + "\r\n" + entry->second.name + "\r\n";
        } else {
            bytes += "\r\n\r\n";
        }
    }
    return bytes;
}

void writeTextFile(const std::filesystem::path& path, const std::string& text, bool executable) {
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(text.data(), static_cast<std::streamsize>(text.size()));
        if (!file) {
            throw std::runtime_error("cannot write " + path.string());
        }
    }
    using std::filesystem::perms;
    std::filesystem::permissions(
        path, executable ? perms::owner_all : perms::owner_read | perms::owner_write,
        std::filesystem::perm_options::replace);
}

std::optional<std::string> readTextFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

} // namespace dravix::e2e
