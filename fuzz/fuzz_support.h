// What the fuzz targets share: a stream that swallows the prompts and
// messages a run prints, and the check that turns a broken promise of the
// code under test into a crash libFuzzer reports and keeps.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <streambuf>

namespace veltaro::fuzz {

class null_buffer : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

inline std::ostream& null_stream() {
    static null_buffer buffer;
    static std::ostream stream(&buffer);
    return stream;
}

// Input that was accepted must give what the rest of the run relies on.
inline void require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "accepted input broke a promise: %s\n", what);
        std::abort();
    }
}

}  // namespace veltaro::fuzz
