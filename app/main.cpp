#include "app/start.h"
#include "platform/fltk/fltk_desktop.h"
#include "platform/posix/posix_services.h"

#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

namespace {

// The Linux program's calls for the start (app/start.h): the answers on the standard streams,
// and the display opened for the claim, which is an X selection.
class FltkStart {
public:
    using System = dravix::posix::PosixSystem;

    int tell(const dravix::CommandLineAnswer& answer) {
        return dravix::writeAnswer(answer, stdout, stderr);
    }
    dravix::ClaimOutcome claimFolder(const std::string& folder) {
        desktop_.emplace(dravix::applicationTitle, folder);
        return desktop_->claimFolder(folder);
    }
    dravix::posix::LaunchWatch launchWatch() { return desktop_->launchWatch(); }
    dravix::WindowPort& window() { return *desktop_; }
    int run(dravix::WindowEvents& events) { return desktop_->run(events); }

private:
    std::optional<dravix::fltk::FltkDesktop> desktop_;
};

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    FltkStart start;
    return dravix::startProgram(arguments, start);
}
