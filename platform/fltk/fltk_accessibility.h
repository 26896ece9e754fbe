#pragma once

#include "platform/accessible.h"
#include "platform/atspi/atspi_module.h"
#include "platform/atspi/session_bus.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Screen readers on X11: the window's accessible nodes on the AT-SPI bus, through the module
// dravix-atspi.so (ATK and its bridge), loaded only once the session bus says that the desktop
// wants accessibility. With NO_AT_BRIDGE=1 or without a session bus nothing happens at all; with
// accessibility off the only cost is one question on the session bus after the first frame. The
// bus's and the module's descriptors are watched by FLTK's loop.
namespace dravix::fltk {

class ScreenReaderBridge {
public:
    // frameOnScreen gives the window's place and size in screen pixels.
    ScreenReaderBridge(std::string title, std::function<ScreenRect()> frameOnScreen);
    ~ScreenReaderBridge();
    ScreenReaderBridge(const ScreenReaderBridge&) = delete;
    ScreenReaderBridge& operator=(const ScreenReaderBridge&) = delete;

    // Asks the session bus, once the first frame is up; the source must outlive the bridge.
    void start(AccessibleSource& source);
    void changed(const AccessibleEvent& event);

private:
    static void onBusAnswer(int descriptor, void* bridge);
    static void onModuleReady(int descriptor, void* bridge);
    static void onModuleTimeout(void* bridge);
    static void onPress(void* bridge);
    void loadModule();
    void turn();
    void watchModule();
    void forgetModuleWatches();

    // The host side of the module's interface.
    static int hostNodes(void* self, const DravixAtspiNode** nodes);
    static void hostFrame(void* self, int* x, int* y, int* width, int* height);
    static void hostPress(void* self, int node);

    std::string title_;
    std::function<ScreenRect()> frameOnScreen_;
    AccessibleSource* source_ = nullptr;
    std::unique_ptr<atspi::AccessibilityWatch> watch_;
    void* library_ = nullptr;
    const DravixAtspiModule* module_ = nullptr;
    DravixAtspiHost host_{};
    std::vector<AccessibleNode> nodes_;
    std::vector<DravixAtspiNode> nodeView_;
    std::vector<DravixAtspiWatch> watches_;
    std::vector<int> pressed_;
    bool turnScheduled_ = false;
};

} // namespace dravix::fltk
