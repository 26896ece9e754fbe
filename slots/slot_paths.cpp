#include "slots/slot_paths.h"

namespace dravix {

std::string workingFolderOf(std::string_view path, char separator) {
    const std::size_t last = path.rfind(separator);
    if (last == std::string_view::npos)
        return {};
    return std::string(path.substr(0, last + 1));
}

std::string displayNameOf(std::string_view path, char separator) {
    const std::size_t last = path.rfind(separator);
    std::string_view component = last == std::string_view::npos ? path : path.substr(last + 1);
    return std::string(component.substr(0, component.find('.')));
}

} // namespace dravix
