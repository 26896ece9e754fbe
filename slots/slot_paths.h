#pragma once

#include <string>
#include <string_view>

namespace dravix {

// The folder a slot's file is started in: the path up to and including its last separator,
// or the empty text when the path has none.
std::string workingFolderOf(std::string_view path, char separator);

// A slot's display name: the path's last component, cut before that component's first ".".
std::string displayNameOf(std::string_view path, char separator);

} // namespace dravix
