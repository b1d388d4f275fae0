// The options that choose the methods, through the built program: each
// value a user may mistype is refused before any question with one line
// naming the allowed values, exit status 2 and nothing written; each
// accepted choice reaches summary.json under its own name; --unsteady takes
// a positive number of seconds and no stop rule but limit, and the
// animation's options are taken only with it.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <tuple>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/pictures.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace veltaro::test {
namespace {

// Tunnel 4 x 1 on the coarse mesh, five iterations.
const std::string answers = "tunnel.jpg 20 0.01 1 1 4 0 5";

// What each option's refusals say it takes.
const std::map<std::string, std::string> takes = {
    {"--solid-nodes",
     "--solid-nodes=sampled (the default), --solid-nodes=covered or "
     "--solid-nodes=outline.\n"},
    {"--advection", "--advection=first-order (the default) or --advection=second-order.\n"},
    {"--stop-rule", "--stop-rule=quiet (the default), --stop-rule=steady or --stop-rule=limit.\n"},
    {"--pressure-solver", "--pressure-solver=lu (the default) or --pressure-solver=fft.\n"},
    {"--projection", "--projection=nodes (the default) or --projection=faces.\n"},
    {"--unsteady", "the flow time in seconds, a positive number such as --unsteady=8.\n"},
    {"--courant",
     "the time step's Courant number, above 0 and at most 1, such as "
     "--courant=0.4.\n"},
};

std::string unknown_value(const std::string& option, const std::string& value) {
    return "Unknown value \"" + value + "\" for " + option + ": the allowed values are " +
           takes.at(option);
}
std::string needs_value(const std::string& option) {
    return "The option " + option + " needs a value: " + takes.at(option);
}
// The refusal of an argument that is not the option, whatever it is.
std::string unknown_argument(const std::string& argument) {
    return "Unknown argument \"" + argument +
           "\": veltaro takes --help (-h) or --version alone, or the options "
           "--solid-nodes=sampled|covered|outline, --stop-rule=quiet|steady|limit, "
           "--pressure-solver=lu|fft, --advection=first-order|second-order, "
           "--projection=nodes|faces, --courant=C, --nodes-across=N, --threads=N, --grid-study, "
           "--unsteady=T, --frames=N and --frames-vtk, and asks its questions on standard input "
           "(veltaro < answers.txt).\n";
}
std::string not_a_flow_time(const std::string& value) {
    return "The flow time \"" + value + "\" of --unsteady is not a positive number of seconds; "
           "give one such as --unsteady=8.\n";
}
std::string not_a_courant_number(const std::string& value) {
    return "The Courant number \"" + value +
           "\" of --courant is not a number above 0 and at "
           "most 1; give one such as --courant=0.4.\n";
}
std::string no_stop_rule(const std::string& rule) {
    return "The option --unsteady=T runs to the flow time T and takes no stop rule: leave out "
           "--stop-rule=" + rule + ".\n";
}
std::string needs_unsteady(const std::string& option) {
    return "The option " + option +
           " makes the animation of a time-accurate run and needs --unsteady=T as well.\n";
}

// The tunnel picture written into the current folder, then the run.
program_run run_with(const std::string& arguments) {
    write_jpeg("tunnel.jpg", disc_picture(200, 50, 60.0, 25.0, 12.0));
    return run_program(answers, surroundings::plain, arguments);
}

TEST(Options, UnknownValuesAndArgumentsAreRefusedWithTheAllowedOnesAndNothingWritten) {
    // The arguments, and the whole of standard error. Every option of named
    // values is read by one function: its case and its missing value are
    // shown on some of them.
    std::vector<std::pair<std::string, std::string>> rows = {
        {"--solid-nodes", needs_value("--solid-nodes")},
        {"--solid-nodes=covered --solid", unknown_argument("--solid")},
        {"--solid-nodes=covered --help", unknown_argument("--help")},
        {"--advection=corrected", unknown_value("--advection", "corrected")},
        {"--advection --stop-rule=steady", needs_value("--advection")},
        {"--stop-rule=converged", unknown_value("--stop-rule", "converged")},
        {"--pressure-solver=FFT", unknown_value("--pressure-solver", "FFT")},
        {"--projection=staggered", unknown_value("--projection", "staggered")},
        {"--unsteady", needs_value("--unsteady")},
        {"--unsteady=8 --stop-rule=quiet", no_stop_rule("quiet")},
        {"--stop-rule=steady --unsteady=8", no_stop_rule("steady")},
        {"--unsteadyx=8", unknown_argument("--unsteadyx=8")},
        // The animation's options belong to a time-accurate run.
        {"--frames=12", needs_unsteady("--frames")},
        {"--frames-vtk", needs_unsteady("--frames-vtk")},
        {"--frames=12 --stop-rule=steady", needs_unsteady("--frames")},
        {"--unsteady=1 --frames=0",
         "The frame count \"0\" of --frames is not a whole number from "
         "1 to 10000; give one such as --frames=120.\n"},
    };
    for (const std::string value : {"sampledx", "Covered", "", "Outline"})
        rows.push_back({"--solid-nodes=" + value, unknown_value("--solid-nodes", value)});
    for (const std::string value : {"0", "2", "-4", "", "abc", "40.5", "99999999999"}) {
        rows.push_back({"--nodes-across=" + value,
                        "The node count \"" + value + "\" of --nodes-across is not a whole number "
                        "of at least 3; give one such as --nodes-across=200.\n"});
    }
    for (const std::string value : {"0", "-1", "abc", "2.5", "1025"}) {
        rows.push_back({"--threads=" + value,
                        "The thread count \"" + value + "\" of --threads is not a whole number from "
                        "1 to 1024; give one such as --threads=2.\n"});
    }
    for (const std::string value : {"0", "-2", "", "8s", "inf", "nan", "1e999"})
        rows.push_back({"--unsteady=" + value, not_a_flow_time(value)});
    rows.push_back({"'--unsteady= 8'", not_a_flow_time(" 8")});  // strtod would skip the space
    rows.push_back({"--courant", needs_value("--courant")});
    for (const std::string value : {"0", "-0.2", "1.0001", "2", "", "fast", "0.2x", "nan", "inf"})
        rows.push_back({"--courant=" + value, not_a_courant_number(value)});
    rows.push_back({"'--courant= 0.2'", not_a_courant_number(" 0.2")});
    for (const auto& [arguments, err] : rows) {
        SCOPED_TRACE(arguments);
        const scratch_dir folder;
        const program_run run = run_with(arguments);
        EXPECT_EQ(std::tie(run.status, run.err, run.out), std::tuple(2, err, ""));
        EXPECT_EQ(directory_entries(), std::set<std::string>{"tunnel.jpg"});
    }
}

TEST(Options, TheChoiceReachesTheSummary) {
    // 5 iterations are too few to settle by any rule.
    // The arguments; the solid nodes, stop rule, pressure solve, advection, stop, Courant
    // number and projection chosen.
    const std::pair<const char*, const char*> rows[] = {
        {"", "sampled quiet lu first-order iteration limit 0.1 nodes"},
        {"--solid-nodes=covered", "covered quiet lu first-order iteration limit 0.1 nodes"},
        {"--solid-nodes=sampled --stop-rule=steady",
         "sampled steady lu first-order iteration limit 0.1 nodes"},
        {"--pressure-solver=fft --stop-rule=limit --solid-nodes=covered",
         "covered limit fft first-order iteration limit 0.1 nodes"},
        {"--solid-nodes=outline --advection=second-order",
         "outline quiet lu second-order iteration limit 0.1 nodes"},
        {"--unsteady=100", "sampled limit lu first-order iteration limit 0.1 nodes"},
        {"--stop-rule=limit --unsteady=0.01", "sampled limit lu first-order flow time 0.1 nodes"},
        {"--courant=0.45 --advection=second-order",
         "sampled quiet lu second-order iteration limit 0.45 nodes"},
        {"--courant=1", "sampled quiet lu first-order iteration limit 1.0 nodes"},
        {"--projection=faces --unsteady=0.01 --solid-nodes=outline",
         "outline limit lu first-order flow time 0.1 faces"},
        // A steady run with the faces and the second-order advection takes the larger step.
        {"--projection=faces --advection=second-order",
         "sampled quiet lu second-order iteration limit 0.5 faces"},
        {"--projection=faces --advection=second-order --unsteady=100",
         "sampled limit lu second-order iteration limit 0.1 faces"},
        {"--projection=faces --advection=second-order --courant=0.1",
         "sampled quiet lu second-order iteration limit 0.1 faces"},
        {"--nodes-across=12", "sampled quiet lu first-order iteration limit 48 x 12, 12 0.1 nodes"},
    };
    for (const auto& [arguments, expected] : rows) {
        SCOPED_TRACE(arguments);
        const scratch_dir folder;
        ASSERT_EQ(run_with(arguments).status, 1);
        const auto summary = nlohmann::json::parse(read_file("summary.json"));
        std::string chosen;
        for (const char* key : {"solid_nodes", "stop_rule", "pressure_solver", "advection", "stop"})
            chosen.append(chosen.empty() ? "" : " ").append(summary[key].get<std::string>());
        if (!summary["nodes_across"].is_null()) {
            chosen.append(" ").append(summary["nx"].dump()).append(" x ");
            chosen.append(summary["ny"].dump()).append(", ").append(summary["nodes_across"].dump());
        }
        EXPECT_EQ(chosen + " " + summary["courant"].dump() + " " +
                      summary["projection"].get<std::string>(),
                  expected);
    }
}

// The flow time after the first iteration of residual.txt, whose time step
// is C dx / U: the inlet's speed is the largest.
double first_time_step() {
    std::istringstream lines(read_file("residual.txt"));
    std::string header;
    std::getline(lines, header);
    int iteration = 0;
    double max = 0.0, rms = 0.0, time = 0.0;
    lines >> iteration >> max >> rms >> time;
    return time;
}

TEST(Options, TheCourantNumberScalesTheStepAndItsDefaultKeepsTheBytes) {
    std::map<std::string, std::string> default_files;
    double default_step = 0.0;
    {
        const scratch_dir folder;
        ASSERT_EQ(run_with("").status, 1);
        for (const char* name : {"U.dat", "P.dat", "residual.txt"})
            default_files[name] = read_file(name);
        default_step = first_time_step();
    }
    // The Courant number, and the step against the default one's. From about 0.16 on the
    // viscous cap 0.4 dx^2 / (2 nu) binds instead: 2 dx U / nu times the default step, with
    // dx = 4/99 m, U = 0.2 m/s and nu = 0.01 m^2/s.
    const std::pair<const char*, double> rows[] = {
        {"0.1", 1.0}, {"0.05", 0.5}, {"0.15", 1.5}, {"1", 2 * (4.0 / 99) * 0.2 / 0.01}};
    for (const auto& [courant, ratio] : rows) {
        SCOPED_TRACE(courant);
        const scratch_dir folder;
        ASSERT_EQ(run_with(std::string("--courant=") + courant).status, 1);
        EXPECT_NEAR(first_time_step() / default_step, ratio, 1e-6 * ratio);
        // The default's very number: the same bytes.
        for (const auto& [name, bytes] : default_files)
            EXPECT_EQ(read_file(name) == bytes, ratio == 1.0) << name;
    }
}

// A mesh beyond the machine's memory (the LU factors of 6 x 10^8 nodes, about
// 1,700 GB) is refused after the questions, before anything is made.
TEST(Options, AMeshTooLargeForMemoryIsRefusedAndNothingWritten) {
    const scratch_dir folder;
    const program_run run = run_with("--nodes-across=12500");
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.starts_with("--nodes-across=12500 (50000 x 12500 nodes) would need about "
                                    "1730 GB of memory, more than the ")) << run.err;
    EXPECT_TRUE(run.err.ends_with(" this machine has available; give fewer nodes across, or "
                                  "--pressure-solver=fft, which needs far less.\n")) << run.err;
    EXPECT_EQ(directory_entries(), std::set<std::string>{"tunnel.jpg"});
}

// Every file of a run is the same at 1 and 2 threads, under each node rule,
// advection, solve and projection, steady and in time (the summary's wall time aside).
TEST(Options, TwoThreadsGiveTheBytesOfOne) {
    const std::string answers = "tunnel.jpg 20 0.01 1 1 4 1 60";
    for (const std::string options :
         {"", "--solid-nodes=covered --pressure-solver=fft",
          "--solid-nodes=outline --advection=second-order --pressure-solver=fft --stop-rule=steady",
          "--unsteady=0.05 --solid-nodes=outline --advection=second-order --frames=3",
          "--projection=faces --advection=second-order --pressure-solver=fft --courant=0.5"}) {
        SCOPED_TRACE(options);
        std::map<std::string, std::string> files[2];
        for (int threads : {1, 2}) {
            const scratch_dir folder;
            write_jpeg("tunnel.jpg", disc_picture(400, 100, 100.0, 50.0, 12.0));
            const program_run run = run_program(answers, surroundings::plain,
                                                options + " --threads=" + std::to_string(threads));
            ASSERT_EQ(run.status, 1) << run.err;
            files[threads - 1]["console"] = run.out + run.err;
            for (const std::string& name : directory_entries()) files[threads - 1][name] = read_file(name);
            std::string& summary = files[threads - 1]["summary.json"];
            summary.erase(summary.find("\"seconds\""), summary.find(",", summary.find("\"seconds\"")) -
                                                           summary.find("\"seconds\""));
        }
        EXPECT_GE(files[0].size(), 12u);
        EXPECT_TRUE(files[0] == files[1]);
    }
}

// The one list of result files is what --help tells too.
TEST(Options, HelpExplainsEachOptionAndNamesEveryResultFile) {
    const scratch_dir folder;
    const program_run run = run_program("", surroundings::plain, "--help");
    EXPECT_EQ(run.status, 0);
    for (const char* part :
         {"Usage: veltaro [--help | -h | --version]\n", "--solid-nodes=RULE   sampled (default)",
          "covered: when dark pixels", "--stop-rule=RULE     quiet (default)",
          "steady: when the flow itself stops changing", "--pressure-solver=SOLVE  lu (default)",
          "fft: a cosine transform", "--advection=ORDER    first-order (default)",
          "second-order: limited upwind slopes", "--projection=SCHEME  nodes (default)",
          "faces:", "--courant=C          the time step's Courant number",
          "--unsteady=T         a time-accurate run", "--nodes-across=N     N nodes across the tunnel"}) {
        EXPECT_NE(run.out.find(part), std::string::npos) << part;
    }
    for (const std::string& name : result_files())
        EXPECT_NE(run.out.find(name), std::string::npos) << name;
}

}  // namespace
}  // namespace veltaro::test
