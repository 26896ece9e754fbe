#include "platform/fltk/fltk_accessibility.h"

#include <FL/Fl.H>

#include <dlfcn.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>

namespace dravix::fltk {
namespace {

constexpr const char* moduleName = "dravix-atspi.so";
constexpr int watchRoom = 32;

// The module beside the program (the build folder, a portable copy) or in its library folder
// (an install under a prefix: bin/dravix and lib/dravix/modules/dravix-atspi.so).
std::string findModule() {
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return {};
    std::string folder(self, static_cast<std::size_t>(length));
    folder.erase(folder.rfind('/') + 1);
    for (const std::string& candidate :
         {folder + moduleName, folder + "../lib/dravix/modules/" + moduleName}) {
        if (::access(candidate.c_str(), R_OK) == 0)
            return candidate;
    }
    return {};
}

bool bridgeTurnedOff() {
    const char* off = std::getenv("NO_AT_BRIDGE");
    return off != nullptr && std::string_view(off) == "1";
}

} // namespace

ScreenReaderBridge::ScreenReaderBridge(std::string title, std::function<ScreenRect()> frameOnScreen)
    : title_(std::move(title)), frameOnScreen_(std::move(frameOnScreen)) {}

ScreenReaderBridge::~ScreenReaderBridge() {
    if (watch_ && !watch_->closed())
        Fl::remove_fd(watch_->descriptor());
    forgetModuleWatches();
    Fl::remove_timeout(onPress, this);
    // The module stays mapped: GLib's types cannot be unregistered.
}

void ScreenReaderBridge::start(AccessibleSource& source) {
    source_ = &source;
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (bridgeTurnedOff() || address == nullptr || *address == '\0')
        return;
    watch_ = atspi::AccessibilityWatch::connect(address);
    if (watch_)
        Fl::add_fd(watch_->descriptor(), FL_READ, onBusAnswer, this);
}

void ScreenReaderBridge::onBusAnswer(int descriptor, void* data) {
    auto& self = *static_cast<ScreenReaderBridge*>(data);
    const std::optional<bool> wanted = self.watch_->read();
    if (self.watch_->closed()) {
        Fl::remove_fd(descriptor);
        self.watch_.reset();
    }
    if (wanted.value_or(false) && self.module_ == nullptr)
        self.loadModule();
}

// Once loaded the module stays: a screen reader turned off again finds nothing to read, as
// nothing calls.
void ScreenReaderBridge::loadModule() {
    const std::string path = findModule();
    if (path.empty())
        return;
    library_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    const auto entry =
        library_ != nullptr
            ? reinterpret_cast<DravixAtspiEntry>(::dlsym(library_, DRAVIX_ATSPI_ENTRY))
            : nullptr;
    if (entry == nullptr)
        return;
    host_ = {this, title_.c_str(), hostNodes, hostFrame, hostPress};
    const DravixAtspiModule* module = entry();
    if (module->start(&host_) == 0)
        return;
    module_ = module;
    watchModule();
}

void ScreenReaderBridge::changed(const AccessibleEvent& event) {
    if (module_ == nullptr)
        return;
    module_->changed(static_cast<int>(event.change), event.node);
    // What the bridge queued goes out at the next turn of the loop.
    if (!std::exchange(turnScheduled_, true))
        Fl::add_timeout(0, onModuleTimeout, this);
}

void ScreenReaderBridge::forgetModuleWatches() {
    for (const DravixAtspiWatch& watch : watches_)
        Fl::remove_fd(watch.fd);
    watches_.clear();
    Fl::remove_timeout(onModuleTimeout, this);
    turnScheduled_ = false;
}

// The module's GLib loop, turned by FLTK's: its descriptors and its next timeout.
void ScreenReaderBridge::watchModule() {
    forgetModuleWatches();
    watches_.resize(watchRoom);
    int timeoutMs = -1;
    const int count = module_->prepare(watches_.data(), watchRoom, &timeoutMs);
    watches_.resize(static_cast<std::size_t>(std::min(count, watchRoom)));
    for (const DravixAtspiWatch& watch : watches_) {
        const int when = ((watch.events & POLLIN) != 0 ? FL_READ : 0) |
                         ((watch.events & POLLOUT) != 0 ? FL_WRITE : 0) |
                         ((watch.events & POLLPRI) != 0 ? FL_EXCEPT : 0);
        Fl::add_fd(watch.fd, when, onModuleReady, this);
    }
    if (timeoutMs >= 0) {
        turnScheduled_ = true;
        Fl::add_timeout(timeoutMs / 1000.0, onModuleTimeout, this);
    }
}

void ScreenReaderBridge::turn() {
    std::vector<pollfd> ready(watches_.size());
    for (std::size_t i = 0; i < watches_.size(); ++i)
        ready[i] = {watches_[i].fd, watches_[i].events, 0};
    ::poll(ready.data(), ready.size(), 0);
    for (std::size_t i = 0; i < watches_.size(); ++i)
        watches_[i].revents = ready[i].revents;
    module_->dispatch(watches_.data(), static_cast<int>(watches_.size()));
    watchModule();
}

void ScreenReaderBridge::onModuleReady(int, void* bridge) {
    static_cast<ScreenReaderBridge*>(bridge)->turn();
}

void ScreenReaderBridge::onModuleTimeout(void* bridge) {
    auto& self = *static_cast<ScreenReaderBridge*>(bridge);
    self.turnScheduled_ = false;
    self.turn();
}

int ScreenReaderBridge::hostNodes(void* data, const DravixAtspiNode** nodes) {
    auto& self = *static_cast<ScreenReaderBridge*>(data);
    self.nodes_ = self.source_->accessibleNodes();
    self.nodeView_.clear();
    for (const AccessibleNode& node : self.nodes_) {
        self.nodeView_.push_back({node.id, node.name.c_str(), node.description.c_str(),
                                  node.shortcut.c_str(), node.extents.left, node.extents.top,
                                  node.extents.width, node.extents.height, node.expandable,
                                  node.expanded, node.focused});
    }
    *nodes = self.nodeView_.data();
    return static_cast<int>(self.nodeView_.size());
}

void ScreenReaderBridge::hostFrame(void* data, int* x, int* y, int* width, int* height) {
    const ScreenRect frame = static_cast<ScreenReaderBridge*>(data)->frameOnScreen_();
    *x = frame.left;
    *y = frame.top;
    *width = frame.width;
    *height = frame.height;
}

// The press runs after the module's dispatch has returned: the core's handler may open a box
// whose loop turns FLTK's, and with it the module's, again.
void ScreenReaderBridge::hostPress(void* data, int node) {
    auto& self = *static_cast<ScreenReaderBridge*>(data);
    self.pressed_.push_back(node);
    Fl::add_timeout(0, onPress, data);
}

void ScreenReaderBridge::onPress(void* data) {
    auto& self = *static_cast<ScreenReaderBridge*>(data);
    const std::vector<int> pressed = std::exchange(self.pressed_, {});
    for (const int node : pressed)
        self.source_->accessiblePress(node);
}

} // namespace dravix::fltk
