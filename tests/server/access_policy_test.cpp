// Who may use the studio: the Host check on loopback, the token off it, and
// the Origin check on requests that change runs.
#include "server/access_policy.h"

#include <gtest/gtest.h>

namespace veltaro::server {
namespace {

// A null pointer stands for a header the request does not carry.
std::optional<std::string> given(const char* value) {
    return value ? std::optional<std::string>(value) : std::nullopt;
}

TEST(AccessPolicy, HostOriginAndToken) {
    const access_settings loopback{"127.0.0.1", 8080, std::nullopt};
    const access_settings anywhere{"0.0.0.0", 8080, "s3cret-token"};
    const char* const no = nullptr;
    // clang-format off
    const struct {
        const char* name;
        const access_settings& settings;
        const char *method, *host, *origin, *query_token, *cookie, *authorization;
        bool allowed;
        bool set_cookie;
    } rows[] = {
        {"own address", loopback, "GET", "127.0.0.1:8080", no, no, no, no, true, false},
        {"localhost", loopback, "GET", "localhost:8080", no, no, no, no, true, false},
        {"IPv6 loopback", loopback, "GET", "[::1]:8080", no, no, no, no, true, false},
        {"no Host", loopback, "GET", no, no, no, no, no, false, false},
        {"rebound name", loopback, "GET", "evil.example:8080", no, no, no, no, false, false},
        {"other port", loopback, "GET", "127.0.0.1:8081", no, no, no, no, false, false},
        {"no port", loopback, "GET", "127.0.0.1", no, no, no, no, false, false},
        {"own origin posts", loopback, "POST", "localhost:8080", "http://localhost:8080", no, no, no, true, false},
        {"no origin posts", loopback, "POST", "localhost:8080", no, no, no, no, true, false},
        {"foreign origin posts", loopback, "POST", "127.0.0.1:8080", "http://evil.example", no, no, no, false, false},
        {"foreign origin deletes", loopback, "DELETE", "127.0.0.1:8080", "null", no, no, no, false, false},
        {"foreign origin reads", loopback, "GET", "127.0.0.1:8080", "http://evil.example", no, no, no, true, false},
        {"https is another origin", loopback, "POST", "127.0.0.1:8080", "https://127.0.0.1:8080", no, no, no, false, false},
        {"no token", anywhere, "GET", "studio.lan:8080", no, no, no, no, false, false},
        {"token on the address", anywhere, "GET", "studio.lan:8080", no, "s3cret-token", no, no, true, true},
        {"token cut short", anywhere, "GET", "studio.lan:8080", no, "s3cret-toke", no, no, false, false},
        {"token too long", anywhere, "GET", "studio.lan:8080", no, "s3cret-token!", no, no, false, false},
        {"token in a cookie", anywhere, "GET", "x:1", no, no, "a=1; veltaro_token=s3cret-token; b=2", no, true, false},
        {"another cookie's value", anywhere, "GET", "x:1", no, no, "other_token=s3cret-token", no, false, false},
        {"token in the header", anywhere, "GET", "x:1", no, no, no, "token s3cret-token", true, false},
        {"token with a foreign origin", anywhere, "POST", "x:1", "http://evil.example", no, no, "token s3cret-token", false, false},
    };
    // clang-format on
    for (const auto& row : rows) {
        const access_verdict verdict = judge_access(row.settings, {row.method, given(row.host), given(row.origin),
            given(row.query_token), given(row.cookie), given(row.authorization)});
        EXPECT_EQ(verdict.allowed, row.allowed) << row.name;
        EXPECT_EQ(verdict.set_cookie, row.set_cookie) << row.name;
        EXPECT_EQ(verdict.refusal.empty(), row.allowed) << row.name;
    }
}

}  // namespace
}  // namespace veltaro::server
