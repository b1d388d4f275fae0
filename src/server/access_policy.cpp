#include "server/access_policy.h"

#include <algorithm>

namespace veltaro::server {
namespace {

// The same whatever the position of the first difference, so the time of a
// refusal says nothing about how much of a guessed token was right.
bool same_secret(const std::string& given, const std::string& secret) {
    unsigned char difference = given.size() == secret.size() ? 0 : 1;
    for (std::size_t n = 0; n < secret.size(); ++n) {
        difference |= static_cast<unsigned char>(secret[n] ^ (n < given.size() ? given[n] : 0));
    }
    return difference == 0;
}

// The value of one cookie in a Cookie header ("a=1; veltaro_token=T").
std::optional<std::string> cookie_value(const std::string& header, const std::string& name) {
    std::size_t at = 0;
    while (at < header.size()) {
        const std::size_t end = std::min(header.find(';', at), header.size());
        std::string pair = header.substr(at, end - at);
        pair.erase(0, pair.find_first_not_of(' '));
        if (pair.rfind(name + "=", 0) == 0) return pair.substr(name.size() + 1);
        at = end + 1;
    }
    return std::nullopt;
}

bool token_given(const std::string& token, const request_facts& request, bool& on_address) {
    on_address = request.query_token && same_secret(*request.query_token, token);
    if (on_address) return true;
    if (request.cookie) {
        const std::optional<std::string> value = cookie_value(*request.cookie, token_cookie);
        if (value && same_secret(*value, token)) return true;
    }
    const std::string scheme = "token ";
    return request.authorization && request.authorization->rfind(scheme, 0) == 0 &&
           same_secret(request.authorization->substr(scheme.size()), token);
}

bool changes_state(const std::string& method) {
    return method != "GET" && method != "HEAD" && method != "OPTIONS";
}

}  // namespace

std::vector<std::string> loopback_hosts(const access_settings& settings) {
    std::string port = std::to_string(settings.port);
    port.insert(port.begin(), ':');
    std::vector<std::string> hosts;
    for (const char* name : {"127.0.0.1", "localhost", "[::1]"}) {
        hosts.emplace_back(name).append(port);
    }
    std::string own = settings.host;
    if (own.find(':') != std::string::npos) own.insert(0, 1, '[').push_back(']');
    hosts.push_back(own.append(port));
    if (settings.port == 80) {
        for (const char* name : {"127.0.0.1", "localhost", "[::1]"}) hosts.emplace_back(name);
    }
    return hosts;
}

access_verdict judge_access(const access_settings& settings, const request_facts& request) {
    access_verdict verdict;
    if (settings.token) {
        if (!token_given(*settings.token, request, verdict.set_cookie)) {
            return {false,
                    "This server needs its token: open the address it printed, with "
                    "?token=... at the end.",
                    false};
        }
    } else {
        const std::vector<std::string> hosts = loopback_hosts(settings);
        if (!request.host || std::find(hosts.begin(), hosts.end(), *request.host) == hosts.end()) {
            return {false,
                    "The Host header does not name this server; open the address it "
                    "printed.",
                    false};
        }
    }
    if (changes_state(request.method) && request.origin &&
        (!request.host || *request.origin != "http://" + *request.host)) {
        return {false, "Requests from another site's page may not change runs.", false};
    }
    return verdict;
}

}  // namespace veltaro::server
