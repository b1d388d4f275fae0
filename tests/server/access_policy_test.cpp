// Who may use the studio: the Host check on loopback, the token off it, and
// the Origin check on requests that change runs.
#include "server/access_policy.h"

#include <gtest/gtest.h>

namespace veltaro::server {
namespace {

TEST(AccessPolicy, HostOriginAndToken) {
    const access_settings loopback{"127.0.0.1", 8080, std::nullopt};
    const access_settings anywhere{"0.0.0.0", 8080, "s3cret-token"};
    const std::optional<std::string> none;
    // clang-format off
    const struct {
        const char* name;
        const access_settings& settings;
        request_facts request;
        bool allowed;
        bool set_cookie;
    } rows[] = {
        {"own address", loopback, {"GET", "127.0.0.1:8080", none, none, none, none}, true, false},
        {"localhost", loopback, {"GET", "localhost:8080", none, none, none, none}, true, false},
        {"IPv6 loopback", loopback, {"GET", "[::1]:8080", none, none, none, none}, true, false},
        {"no Host", loopback, {"GET", none, none, none, none, none}, false, false},
        {"rebound name", loopback, {"GET", "evil.example:8080", none, none, none, none}, false, false},
        {"other port", loopback, {"GET", "127.0.0.1:8081", none, none, none, none}, false, false},
        {"no port", loopback, {"GET", "127.0.0.1", none, none, none, none}, false, false},
        {"own origin posts", loopback,
         {"POST", "localhost:8080", "http://localhost:8080", none, none, none}, true, false},
        {"no origin posts", loopback, {"POST", "localhost:8080", none, none, none, none}, true, false},
        {"foreign origin posts", loopback,
         {"POST", "127.0.0.1:8080", "http://evil.example", none, none, none}, false, false},
        {"foreign origin deletes", loopback,
         {"DELETE", "127.0.0.1:8080", "null", none, none, none}, false, false},
        {"foreign origin reads", loopback,
         {"GET", "127.0.0.1:8080", "http://evil.example", none, none, none}, true, false},
        {"https is another origin", loopback,
         {"POST", "127.0.0.1:8080", "https://127.0.0.1:8080", none, none, none}, false, false},
        {"no token", anywhere, {"GET", "studio.lan:8080", none, none, none, none}, false, false},
        {"token on the address", anywhere,
         {"GET", "studio.lan:8080", none, "s3cret-token", none, none}, true, true},
        {"token cut short", anywhere,
         {"GET", "studio.lan:8080", none, "s3cret-toke", none, none}, false, false},
        {"token too long", anywhere,
         {"GET", "studio.lan:8080", none, "s3cret-token!", none, none}, false, false},
        {"token in a cookie", anywhere,
         {"GET", "x:1", none, none, "a=1; veltaro_token=s3cret-token; b=2", none}, true, false},
        {"another cookie's value", anywhere,
         {"GET", "x:1", none, none, "other_token=s3cret-token", none}, false, false},
        {"token in the header", anywhere,
         {"GET", "x:1", none, none, none, "token s3cret-token"}, true, false},
        {"token with a foreign origin", anywhere,
         {"POST", "x:1", "http://evil.example", none, none, "token s3cret-token"}, false, false},
    };
    // clang-format on
    for (const auto& row : rows) {
        const access_verdict verdict = judge_access(row.settings, row.request);
        EXPECT_EQ(verdict.allowed, row.allowed) << row.name;
        EXPECT_EQ(verdict.set_cookie, row.set_cookie) << row.name;
        EXPECT_EQ(verdict.refusal.empty(), row.allowed) << row.name;
    }
}

}  // namespace
}  // namespace veltaro::server
