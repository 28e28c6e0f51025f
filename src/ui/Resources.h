// The string table and version data of the tool.
#pragma once

#include <string_view>

namespace zk4 {

// String 101: the window-menu item that opens the About box.
inline constexpr std::string_view kIdsAboutBox = "&About ZK4 Toolset...";

inline constexpr std::string_view kMsgCannotOpenPort = "Cannot Open the selected Serial Port!";

inline constexpr std::string_view kNotFoundYet = "Not Found Yet!";
inline constexpr std::string_view kNotAvailable = "Not available";
inline constexpr std::string_view kFactoryCylinders = "4";
inline constexpr double kFactoryHzPerMph = 1.7881;

}  // namespace zk4
