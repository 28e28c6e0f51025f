// The string table and version data of the tool.
#pragma once

#include <string_view>

namespace zk4 {

// String 101: the window-menu item that opens the About box.
inline constexpr std::string_view kIdsAboutBox = "&About ZK4 Toolset...";

}  // namespace zk4
