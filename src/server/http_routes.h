// http_routes: the API of README-api.md and the page's files, on a
// cpp-httplib server. Requests are checked by the access policy before any
// route sees them; every error is {"error": "one sentence"}.
#pragma once

#include "server/access_policy.h"
#include "server/studio.h"

namespace httplib {
class Server;
}

namespace veltaro::server {

void add_routes(httplib::Server& http, studio& runs, const access_settings& access);

}  // namespace veltaro::server
