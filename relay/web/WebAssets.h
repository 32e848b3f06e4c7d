// The web page's static files (script, style sheet), embedded at build time from
// relay/web/assets by Embed.cmake.
#pragma once

#include <string_view>
#include <vector>

namespace velmora::relay::web {

struct Asset {
    std::string_view name;  // file name, e.g. "app.js"
    std::string_view content;
};

const std::vector<Asset>& Assets();

}  // namespace velmora::relay::web
