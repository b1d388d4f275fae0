// The options that choose the methods, through the built program: each
// value a user may mistype is refused before any question with one line
// naming the allowed values, exit status 2 and nothing written; each
// accepted choice reaches summary.json under its own name.
#include <gtest/gtest.h>

#include <string>

#include <nlohmann/json.hpp>

#include "support/pictures.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace veltaro::test {
namespace {

// Tunnel 4 x 1 on the coarse mesh, five iterations.
const std::string answers = "tunnel.jpg 20 0.01 1 1 4 0 5";

const std::string solid_values =
    "the allowed values are --solid-nodes=sampled (the default) or --solid-nodes=covered.\n";
const std::string advection_values =
    "the allowed values are --advection=first-order (the default) or --advection=corrected.\n";

TEST(Options, UnknownValuesAreRefusedWithTheAllowedOnesAndNothingWritten) {
    // clang-format off
    const struct {
        const char* arguments;
        std::string err;  // the whole of standard error
    } rows[] = {
        {"--solid-nodes=sampledx", "Unknown value \"sampledx\" for --solid-nodes: " + solid_values},
        {"--solid-nodes=Covered", "Unknown value \"Covered\" for --solid-nodes: " + solid_values},
        {"--solid-nodes=", "Unknown value \"\" for --solid-nodes: " + solid_values},
        {"--solid-nodes", "The option --solid-nodes needs a value: --solid-nodes=sampled (the "
                          "default) or --solid-nodes=covered.\n"},
        {"--solid-nodes covered", "The option --solid-nodes needs a value: --solid-nodes=sampled "
                                  "(the default) or --solid-nodes=covered.\n"},
        {"--advection=second-order", "Unknown value \"second-order\" for --advection: " +
                                     advection_values},
        {"--advection=first_order", "Unknown value \"first_order\" for --advection: " +
                                    advection_values},
        {"--solid-nodes=covered --advection=maccormack", "Unknown value \"maccormack\" for "
                                                         "--advection: " + advection_values},
        {"--advection", "The option --advection needs a value: --advection=first-order (the "
                        "default) or --advection=corrected.\n"},
        {"--advection=corrected --solid", "Unknown argument \"--solid\": veltaro takes --help (-h) or "
         "--version alone, or the options --solid-nodes=sampled|covered and "
         "--advection=first-order|corrected, and asks its questions on standard input (veltaro < "
         "answers.txt).\n"},
        {"--solid-nodes=covered --help", "Unknown argument \"--help\": veltaro takes --help (-h) or "
         "--version alone, or the options --solid-nodes=sampled|covered and "
         "--advection=first-order|corrected, and asks its questions on standard input (veltaro < "
         "answers.txt).\n"},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments);
        const scratch_dir folder;
        write_jpeg("tunnel.jpg", disc_picture(200, 50, 60.0, 25.0, 12.0));
        const auto before = directory_entries();
        const program_run run = run_program(answers, surroundings::plain, row.arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, row.err);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(directory_entries(), before);
    }
}

TEST(Options, TheChoicesReachTheSummary) {
    const struct {
        const char* arguments;
        const char* solid_nodes;
        const char* advection;
    } rows[] = {
        {"", "sampled", "first-order"},
        {"--solid-nodes=covered", "covered", "first-order"},
        {"--advection=corrected", "sampled", "corrected"},
        {"--advection=corrected --solid-nodes=covered", "covered", "corrected"},
        {"--solid-nodes=sampled --advection=first-order", "sampled", "first-order"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments);
        const scratch_dir folder;
        write_jpeg("tunnel.jpg", disc_picture(200, 50, 60.0, 25.0, 12.0));
        const program_run run = run_program(answers, surroundings::plain, row.arguments);
        ASSERT_EQ(run.status, 1) << run.err;
        const auto summary = nlohmann::json::parse(read_file("summary.json"));
        EXPECT_EQ(summary["solid_nodes"], row.solid_nodes);
        EXPECT_EQ(summary["advection"], row.advection);
    }
}

TEST(Options, HelpExplainsBoth) {
    const scratch_dir folder;
    const program_run run = run_program("", surroundings::plain, "--help");
    EXPECT_EQ(run.status, 0);
    for (const char* part : {"--solid-nodes=RULE   sampled (default)", "covered: when dark pixels",
                             "--advection=SCHEME   first-order (default)", "corrected: limited"}) {
        EXPECT_NE(run.out.find(part), std::string::npos) << part;
    }
}

}  // namespace
}  // namespace veltaro::test
