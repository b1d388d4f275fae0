// access_policy: who may use the server, judged from a request's headers
// alone, the way local notebook servers protect themselves.
//   - On loopback, Host must name the server's own address and port: a page
//     from elsewhere that rebinds its DNS name to 127.0.0.1 still sends its
//     own name, and is refused.
//   - Off loopback, a token takes the place of that check: ?token=T on the
//     address, then the cookie the server sets, or "Authorization: token T".
//   - A request that changes something (POST, DELETE) and carries an Origin
//     must come from the server's own origin: other pages the user has open
//     cannot post runs or delete them.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace veltaro::server {

inline constexpr const char* token_cookie = "veltaro_token";

struct access_settings {
    std::string host;  // as listened on
    int port = 0;
    std::optional<std::string> token;  // set off loopback
};

struct request_facts {
    std::string method;
    std::optional<std::string> host;
    std::optional<std::string> origin;
    std::optional<std::string> query_token;
    std::optional<std::string> cookie;
    std::optional<std::string> authorization;
};

struct access_verdict {
    bool allowed = true;
    std::string refusal;      // the 403's sentence
    bool set_cookie = false;  // the token came on the address: keep it in a cookie
};

access_verdict judge_access(const access_settings& settings, const request_facts& request);

// The Host values a loopback server answers to: 127.0.0.1, localhost and
// [::1] (and the address listened on) with the port.
std::vector<std::string> loopback_hosts(const access_settings& settings);

}  // namespace veltaro::server
