// embedded_files: the page's files (web/), built into the executable so an
// installed veltaro serves its page offline and from any folder. The table
// is generated at build time by embed_web.cmake.
#pragma once

#include <span>
#include <string_view>

namespace veltaro::server {

struct embedded_file {
    std::string_view path;  // relative to web/, "index.html", "js/api.js"
    std::string_view bytes;
};

std::span<const embedded_file> web_files();

}  // namespace veltaro::server
