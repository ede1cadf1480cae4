#pragma once

#include <optional>
#include <string_view>

namespace highscored {

// A picture of the web page, built into the service from server/web/.
std::optional<std::string_view> WebPicture(std::string_view name);

}  // namespace highscored
