// run_request: a posted run's form checked field by field, and the answers
// file that the child reads on standard input, exactly as a user types it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/run_record.h"

namespace veltaro::server {

// The largest picture the server stores.
inline constexpr std::size_t picture_limit = 20u << 20;

struct run_request {
    text_fields answers;  // the dialogue's answers, in its order
    text_fields options;  // command-line options given
    std::string sweep;
    // A drawn airfoil's "naca" digits and "angle" of attack in degrees, as
    // the page tells them, for the runs list and the polar; else empty.
    text_fields airfoil;
};

// A form field's text, or nothing when the form lacks it.
using form_lookup = std::function<std::optional<std::string>(const std::string& name)>;

// The request, or the sentence that refuses it (a 400 naming the field).
struct request_check {
    std::optional<run_request> request;
    std::string refusal;
};
request_check check_run_request(const form_lookup& field);

// The sentence that refuses an upload whose first bytes are neither a
// JPEG's nor a PNG's, naming the file as it was uploaded; empty otherwise.
std::string upload_refusal(const std::string& file_name, std::string_view bytes);

// "picture.png" for a PNG by its first bytes, else "picture.jpg": the
// program judges whatever else was sent, as it would on the command line.
std::string picture_name_for(std::string_view bytes);

// The answers file: the picture's name and the answers, one line.
std::string answers_text(const std::string& picture, const text_fields& answers);

// The child's command-line arguments for the options, "--solid-nodes=covered".
std::vector<std::string> option_arguments(const text_fields& options);

}  // namespace veltaro::server
