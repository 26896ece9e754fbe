#include "tests/e2e/harness.h"

#include <X11/keysym.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace dravix::e2e {

Settings& settings() {
    static Settings value;
    return value;
}

std::filesystem::path testArtifactFolder() {
    return x11test::currentTestFolder(settings().artifacts);
}

XConnection& xServer() {
    static XConnection connection;
    return connection;
}

::testing::AssertionResult sameImage(const Screenshot& actual, const Image& expected,
                                     const std::string& label) {
    return x11test::sameImage(actual, expected, label, testArtifactFolder());
}

// ---------------------------------------------------------------------------------------------
// DravixProcess

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
    if (!process_) {
        return;
    }
    process_->stop();
    // The server drops a dead client's windows a moment after its connection closes; the next
    // test must not find them.
    const pid_t ended = process_->pid();
    waitUntil([ended] { return xServer().windowsTitled("Dravix", ended).empty(); }, windowTimeout);
}

void DravixProcess::writeFile(const std::string& name, const std::string& bytes) {
    std::ofstream file(folder_ / name, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + (folder_ / name).string());
    }
}

std::optional<std::string> DravixProcess::readFile(const std::string& name) const {
    return readTextFile(folder_ / name);
}

void DravixProcess::setEnvironment(const std::string& name, const std::string& value) {
    environment_[name] = value;
    unsetEnvironment_.erase(name);
}

void DravixProcess::unsetEnvironment(const std::string& name) {
    environment_.erase(name);
    unsetEnvironment_.insert(name);
}

void DravixProcess::runAsOrdinaryUser() {
    constexpr uid_t nobody = 65534;
    ordinaryUser_ = true;
    std::filesystem::permissions(
        folder_, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                     std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                     std::filesystem::perms::others_exec);
    if (::chown(elsewhere().c_str(), nobody, nobody) != 0) {
        throw std::runtime_error("cannot give the home folder to nobody: " +
                                 std::string(std::strerror(errno)));
    }
    // The X server's cookie, readable for that user too.
    if (const char* cookie = std::getenv("XAUTHORITY"); cookie != nullptr && *cookie != '\0') {
        const std::filesystem::path copy = folder_ / "xauthority";
        std::filesystem::copy_file(cookie, copy, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::permissions(copy, std::filesystem::perms::others_read,
                                     std::filesystem::perm_options::add);
        environment_["XAUTHORITY"] = copy.string();
    }
}

std::filesystem::path DravixProcess::executable() const {
    return ordinaryUser_ && settings().installed ? settings().binary : folder_ / "dravix";
}

void DravixProcess::start() {
    if (running()) {
        throw std::logic_error("dravix still runs; it cannot be started twice at once");
    }
    // A second run in the same folder, after the first one ended.
    stop();
    process_.reset();

    x11test::ProcessOptions options;
    const std::string program = executable().string();
    if (ordinaryUser_) {
        options.argv = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    // DRAVIX_E2E_WRAPPER runs the program under a tool such as valgrind: its words come first.
    if (const char* wrapper = std::getenv("DRAVIX_E2E_WRAPPER"); wrapper && !ordinaryUser_) {
        std::istringstream split(wrapper);
        for (std::string word; split >> word;) {
            options.argv.push_back(word);
        }
    }
    if (options.argv.empty()) {
        options.executable = program;
        options.argv.push_back("dravix");
    } else {
        options.argv.push_back(program);
    }
    std::map<std::string, std::string> changes = environment_;
    changes["HOME"] = elsewhere().string();
    options.environment = x11test::environmentWith(changes);
    std::erase_if(*options.environment, [this](const std::string& entry) {
        return unsetEnvironment_.contains(entry.substr(0, entry.find('=')));
    });
    options.folder = elsewhere();
    options.output.path = (folder_ / "stdout.txt").string();
    options.errors.path = (folder_ / "stderr.txt").string();
    process_.emplace(options);
}

std::optional<int> DravixProcess::waitForExit(Milliseconds timeout) {
    return process_ ? process_->waitForExit(timeout) : std::nullopt;
}

std::string DravixProcess::errorOutput() const {
    return readFile("stderr.txt").value_or("");
}

std::vector<Window> DravixProcess::windows() {
    if (!process_) {
        return {};
    }
    return xServer().windowsTitled("Dravix", pid());
}

std::vector<Window> DravixProcess::allWindows() {
    if (!process_) {
        return {};
    }
    return xServer().windowsOfProcess(pid());
}

std::optional<Window>
DravixProcess::waitForWindow(const std::function<bool(const Geometry&)>& accept,
                             Milliseconds timeout) {
    std::optional<Window> match;
    waitUntil(
        [&] {
            for (Window window : windows()) {
                const std::optional<Geometry> geometry = xServer().geometry(window);
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
        const std::optional<Geometry> geometry = xServer().geometry(window);
        text << "; 0x" << std::hex << window << std::dec << ": "
             << (geometry ? describe(*geometry) : std::string("gone"));
    }
    if (process_ && !running()) {
        text << "; the process " << describeWaitStatus(*process_->exitStatus());
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
    const Window previousOwner = xServer().selectionOwner("CLIPBOARD");
    // xclip reads its input to the end and only then takes the selection, so a file serves.
    const std::filesystem::path source = std::filesystem::temp_directory_path() /
                                         ("dravix-e2e-clipboard-" + std::to_string(getpid()));
    writeTextFile(source, text);
    x11test::ProcessOptions options;
    // -quiet keeps xclip in the foreground, so that it is this pid that serves the selection.
    // xclip talks about every request it serves on stderr; failures show as its early end.
    options.argv = {"xclip", "-selection", "clipboard", "-quiet"};
    options.input.path = source.string();
    xclip_.emplace(options);
    bool exited = false;
    const bool owns = waitUntil(
        [&] {
            if (!xclip_->running()) {
                exited = true;
                return true;
            }
            const Window owner = xServer().selectionOwner("CLIPBOARD");
            return owner != None && owner != previousOwner;
        },
        windowTimeout);
    std::filesystem::remove(source);
    if (exited || !owns) {
        xclip_.reset();
        throw std::runtime_error(exited ? "xclip ended at once"
                                        : "xclip did not take the clipboard");
    }
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

void DravixTest::exitThroughTheToggle(int toggleTop) {
    clickAt(toggleX, toggleTop + toggleY, Button::right);
    const std::optional<int> status = app.waitForExit(changeTimeout);
    ASSERT_TRUE(status) << "dravix still runs after the right press on the toggle";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << describeWaitStatus(*status);
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

// No window manager gives the dialog the focus, so the harness does. The paste lands later than
// the key, once the program has fetched the clipboard; the text showing up in the dialog tells it
// has. Return goes once the dialog has finished redrawing.
::testing::AssertionResult DravixTest::enterIntoDialog(Window dialog, const std::string& text) {
    const std::optional<Geometry> place = x().geometry(dialog);
    if (!place)
        return ::testing::AssertionFailure() << "the dialog window vanished";
    ClipboardText clipboard(text);
    x().focus(dialog);
    x().tapKeyWith(XK_Control_L, XK_a);
    const std::optional<Screenshot> beforePaste = x().captureWhenStill(*place);
    if (!beforePaste)
        return ::testing::AssertionFailure() << "the dialog kept changing";
    x().tapKeyWith(XK_Control_L, XK_v);
    if (!waitUntil([&] { return compare(x().capture(*place), beforePaste->image).has_value(); },
                   changeTimeout))
        return ::testing::AssertionFailure() << "the paste did not change the dialog";
    if (!x().captureWhenStill(*place))
        return ::testing::AssertionFailure() << "the dialog kept changing";
    x().tapKey(XK_Return);
    if (!waitUntil([&] { return !x().geometry(dialog); }, changeTimeout))
        return ::testing::AssertionFailure() << "the dialog did not close on Return";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult DravixTest::enterIntoTheNextDialog(const std::string& text) {
    std::optional<Window> dialog;
    const bool opened = waitUntil(
        [&] {
            for (Window window : app.allWindows()) {
                if (window != main)
                    dialog = window;
            }
            return dialog.has_value();
        },
        windowTimeout);
    if (!opened)
        return ::testing::AssertionFailure() << "no dialog opened; " << app.describeWindows();
    // The dialog may be mapped before it has its final place and contents; its own focus is on
    // its file name field.
    std::this_thread::sleep_for(100ms);
    return enterIntoDialog(*dialog, text);
}

std::optional<Window> DravixTest::waitForErrorBox(Milliseconds timeout) {
    std::optional<Window> box;
    waitUntil(
        [&] {
            for (Window window : app.windows()) {
                if (window != main)
                    box = window;
            }
            return box.has_value();
        },
        timeout);
    return box;
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
    // The box's window goes before its modal loop returns, and until then the strip takes no
    // input; on a loaded machine that moment stretches, so a click sent at once could be lost.
    std::this_thread::sleep_for(300ms);
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
