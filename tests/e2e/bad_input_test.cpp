// The bad-input matrix: the built program run on every input it must refuse
// and on the odd inputs it must get through, each in a folder holding the
// results of an earlier run. Per row: the exit status; a part of standard
// error and of standard output (a refusal is exactly one line on standard
// error); no "nan" or "inf" on the console or in a text result; and each
// result file of result_files() afterwards either the earlier one untouched
// or a complete new one, as the row says, with nothing else added.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <cctype>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/text_format.h"
#include "support/pictures.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace veltaro::test {
namespace {

namespace fs = std::filesystem;

// What a row requires of a result file.
enum class result { by_status, new_file, old_file, new_or_old };

struct sizes {
    int nx = 100, ny = 25;         // the mesh, for the tables
    int width = 200, height = 50;  // the picture, for the result pictures
};

struct bad_input {
    const char* name;
    std::string answers;
    int status;  // 1 after a complete run, 2 otherwise
    std::string err = "", out = "";
    std::function<void()> prepare = nullptr;  // puts the picture and more into the folder
    sizes size = {};
    surroundings around = surroundings::plain;
    // Every result file, but for the exceptions; by_status is new after
    // status 1, old otherwise.
    result results = result::by_status;
    std::map<std::string, result> except = {};
    std::string arguments = "";
};

void PrintTo(const bad_input& row, std::ostream* out) { *out << row.name; }

// Tunnel 4 x 1 on the coarse mesh, 100 x 25 nodes, and five iterations.
const std::string good = "tunnel.jpg 20 0.01 1 1 4 0 5";

void write_tunnel(const picture& pixels) { write_jpeg("tunnel.jpg", pixels); }

// More pixels than nodes each way: every node takes its class from the picture.
void tunnel_picture() { write_tunnel(disc_picture(200, 50, 60.0, 25.0, 12.0)); }

// Dark where c % period < dark, every sample the same.
std::function<void()> columns(int width, int height, int components, int period, int dark) {
    return [=] {
        write_tunnel(draw_picture(width, height, components, [=](int c, int, int) {
            return static_cast<unsigned char>(c % period < dark ? 0 : 200);
        }));
    };
}

// The tunnel picture with its bytes changed.
std::function<void()> edited(const std::function<void(std::string&)>& edit) {
    return [=] {
        tunnel_picture();
        std::string bytes = read_file("tunnel.jpg");
        edit(bytes);
        write_file("tunnel.jpg", bytes);
    };
}

std::function<void()> folders_for(std::vector<std::string> names) {
    return [=] {
        tunnel_picture();
        for (const std::string& name : names) fs::remove(name), fs::create_directory(name);
    };
}

std::vector<bad_input> matrix() {
    const std::string not_whole = "\" is not a whole number";
    const auto too_large = [](const char* name) {
        return "Could not write \"" + std::string(name) + "\": File too large\n";
    };
    // clang-format off
    return {
        // The command line: answered or refused before any question.
        {.name = "Help", .answers = "", .status = 0, .out = "Usage: veltaro [--help | --version]\n", .arguments = "--help"},
        {.name = "Version", .answers = "", .status = 0, .out = "veltaro 3.0\n", .arguments = "--version"},
        {.name = "UnknownArgument", .answers = good, .status = 2, .err = "Unknown argument \"-v\"",
         .arguments = "--version -v"},
        // The answers.
        {"NoInputAtAll", "", 2, "No answer to \"Input JPG image\""},
        {"EndOfInput", "tunnel.jpg 20 0.01 1", 2, "No answer to \"Wind tunnel height [m]\""},
        {"TextForReynolds", "tunnel.jpg 20abc 0.01 1 1 4 0 5", 2,
         "\"20abc\" to \"Reynold's No.\" is not a number"},
        {"FractionForMesh", "tunnel.jpg 20 0.01 1 1 4 1.5 5", 2,
         "\"1.5\" to \"Mesh spacing (0=coarse, 1=standard, 2=fine)" + not_whole},
        {"IterationsOverflow", "tunnel.jpg 20 0.01 1 1 4 0 99999999999", 2,
         "\"99999999999\" to \"Maximum number of iterations\" is out of range"},
        {"NanReynolds", "tunnel.jpg nan 0.01 1 1 4 0 5", 2, "Reynolds number must be a finite"},
        {"NegativeReynolds", "tunnel.jpg -20 0.01 1 1 4 0 5", 2, "inlet velocity must be a pos"},
        {"NanTypedInletVelocity", "tunnel.jpg 20 0 1 1 4 0 5 NaN", 2, "inlet velocity must be a"},
        {"MinusInfiniteViscosity", "tunnel.jpg 20 -inf 1 1 4 0 5", 2, "viscosity must be zero or"},
        {"InfiniteDensity", "tunnel.jpg 20 0.01 INF 1 4 0 5", 2, "density must be a positive"},
        {"ZeroHeight", "tunnel.jpg 20 0.01 1 0 4 0 5", 2, "tunnel height must be a positive"},
        {"NegativeLength", "tunnel.jpg 20 0.01 1 1 -4 0 5", 2, "tunnel length must be a positive"},
        // The mesh: three nodes along the tunnel are the fewest that work.
        {"TwoNodesAlong", "tunnel.jpg 20 0.01 1 1 0.1 0 5", 2, "too short for its height"},
        {"ThreeNodesAlong", "tunnel.jpg 20 0.01 1 1 0.12 0 5", 1, "", "count = 5, ", nullptr, {3}},
        {"MeshTooLong", "tunnel.jpg 20 0.01 1 1 1e30 2 5", 2, "too long for its height"},
        {"MeshTooManyNodes", "tunnel.jpg 20 0.01 1 1 30000 0 5", 2, "is too large"},
        {"MissingPicture", "nothing.jpg 20 0.01 1 1 4 0 5", 2, "Can't open input jpg file\n"},
        {"FolderAsPicture", good, 2, "Can't open input jpg file\n", "",
         [] { fs::create_directory("tunnel.jpg"); }},
        {"EmptyPicture", good, 2, "Empty input file", "", [] { write_file("tunnel.jpg", ""); }},
        {"NotAJpeg", good, 2, "Not a JPEG file: starts with 0x50 0x35", "",
         [] { write_file("tunnel.jpg", "P5 4 4 255 not a jpeg\n"); }},
        // Read on, the decoder would fill the missing rows with grey, and
        // the obstacle would lose part of its shape without a word.
        {"TruncatedPicture", good, 2, "Premature end of JPEG file\n", "",
         edited([](std::string& b) { b.resize(b.size() * 2 / 3); })},
        {"NoEndMarker", good, 2, "Premature end of JPEG file\n", "",
         edited([](std::string& bytes) { bytes.resize(bytes.size() - 2); })},
        // Damage the decoder can read past stays a warning.
        {"JunkBeforeTheEndMarker", good, 1, "Corrupt JPEG data", "", edited([](std::string& b) {
             b.insert(b.size() - 2, std::string("\xFF\x00\xFF\x00\xFF\x00xyz", 9)); })},
        // Judged from the header alone, before any memory is set aside.
        {"HeaderOf400MillionPixels", good, 2,
         "The picture is 20000 x 20000 pixels; at most 50000000 pixels can be used", "",
         edited([](std::string& b) { b.replace(b.find("\xFF\xC0") + 5, 4, "\x4E\x20\x4E\x20"); })},
        {"CmykPicture", good, 2, "4 colour components",
         "Number of color components in JPG image not recognized\n", columns(200, 50, 4, 1, 0)},
        {"PictureOf1x1Pixels", good, 1, "", "", columns(1, 1, 1, 1, 1), {100, 25, 1, 1}},
        {"PictureOf20000x1Pixels", good, 1, "", "", columns(20000, 1, 1, 97, 5),
         {100, 25, 20000, 1}},
        {"AllBlackColourPicture", "tunnel.jpg 20 0.01 1 1 4 0 20", 1, "",
         "The flow is at rest (every speed is zero)", columns(200, 50, 3, 1, 1)},
        // Every inlet node is held still (a short tunnel, so few iterations):
        // what the first iteration set moving dies away.
        {"ObstacleAcrossTheInlet", "tunnel.jpg 20 0.01 1 1 1 0 30000", 1, "",
         "no time step exists, so the iteration stops here.\ndone.\n",
         columns(200, 50, 1, 200, 20), {25}},
        // The run, and the files it writes. Without an iteration the drag
        // is the inlet's momentum flux, density 0.2^2 (ny - 1) dy.
        // C_D divides it by 1/2 density 0.2^2 D, D = 25 of 50 pixel rows x 1 m.
        {"NoIteration", "tunnel.jpg 20 0.01 1 1 4 0 0", 1, "",
         "iterations: \ndone.\n\nLift = 0.000000e+00 [N/m]\nDrag = 3.878787e-02 [N/m]\n\n"
         "D = 5.000000e-01 [m] (frontal height)   Re_D = 1.000000e+01\n"
         "C_L = 0.000000e+00\nC_D = 3.878788e+00\n"},
        // JSON escapes the quote and the backslash, and cannot hold the byte
        // that is not UTF-8: the summary must parse all the same.
        {"PictureNameNeedingEscapes", "t\"\\\xff.jpg 20 0.01 1 1 4 0 5", 1, "", "", [] {
             write_jpeg("t\"\\\xff.jpg", disc_picture(200, 50, 60.0, 25.0, 12.0)); }},
        {"NoObstacle", good, 1, "", "[N/m]\nNo obstacle in the picture: no coefficients.\n",
         columns(200, 50, 1, 1, 0)},
        {"ZeroViscosityGivesNoReD", "tunnel.jpg 20 0 1 1 4 0 5 0.2", 1, "", "(frontal height)\nC_L"},
        {"DivergingFlow", "tunnel.jpg 1e30 0.01 1 1 4 0 20", 2,
         "The flow diverged at iteration 1 (the velocity or pressure is no longer a finite "
         "number); try a finer mesh or a lower Reynolds number.\n", "", tunnel_picture, {},
         surroundings::plain, result::old_file, {{"convergence.txt", result::new_file}}},
        {"ConvergenceFileNotWritable", good, 2, "Could not write \"convergence.txt\"", "",
         folders_for({"convergence.txt"})},
        // A result that cannot be written does not stop the others.
        {"ResultsNotWritable", good, 2,
         "Could not write \"U.dat\": Is a directory\nCould not write \"pressure.jpg\": Is a "
         "directory\nCould not write \"flow.vtk\": Is a directory\nCould not write \"summary.json",
         "Drag = ", folders_for({"U.dat", "pressure.jpg", "flow.vtk", "summary.json"}), {},
         surroundings::plain, result::new_file, {{"U.dat", result::old_file},
         {"pressure.jpg", result::old_file}, {"flow.vtk", result::old_file},
         {"summary.json", result::old_file}}},
        {"ReadOnlyEmptyFolder", good, 2, "Could not create files in the current folder: Perm", "",
         [] { tunnel_picture(); for (const auto& name : result_files()) fs::remove(name); }, {},
         surroundings::read_only_folder},
        // Refused before the iteration: "convergence.txt" is kept too.
        {"ReadOnlyFolder", good, 2, "Could not create files in the current folder: Perm", "",
         tunnel_picture, {}, surroundings::read_only_folder},
        {"FullDisk", good, 2, too_large("U.dat") + too_large("V.dat") + too_large("P.dat"), "",
         tunnel_picture, {}, surroundings::full_disk, result::new_or_old,
         {{"convergence.txt", result::new_file}, {"U.dat", result::old_file},
          {"V.dat", result::old_file}, {"P.dat", result::old_file}}},
    };
    // clang-format on
}

bool mentions_nan_or_inf(const std::string& text) {
    std::string word;  // letters only, in lower case
    for (const char c : text + ' ') {
        if (std::isalpha(static_cast<unsigned char>(c))) {
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            continue;
        }
        if (word == "nan" || word == "inf" || word == "infinity") return true;
        word.clear();
    }
    return false;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// The summary has its keys in order and says what the console says.
void expect_summary_as_console(const nlohmann::ordered_json& summary, const std::string& out) {
    std::string keys;
    for (const auto& item : summary.items()) keys += item.key() + ' ';
    EXPECT_EQ(keys,
              "picture picture_width picture_height reynolds_number kinematic_viscosity density "
              "tunnel_height tunnel_length mesh_choice max_iterations inlet_velocity nx ny dx "
              "iterations stop change_u change_v change_p lift drag frontal_height chord "
              "reynolds_frontal lift_coefficient drag_coefficient seconds solid_nodes advection ");
    const auto line = [&](const char* label, const char* key) {
        if (summary[key].is_null()) return out.find(label) == std::string::npos;
        const std::string text = format_text("%e", summary[key].get<double>());
        return out.find(std::string(label) + " = " + text) != std::string::npos;
    };
    EXPECT_TRUE(line("Lift", "lift") && line("Drag", "drag") && line("C_L", "lift_coefficient") &&
                line("C_D", "drag_coefficient") && line("Re_D", "reynolds_frontal"));
    const int iterations = summary["iterations"];
    EXPECT_EQ(occurrences(out, "count = "), static_cast<std::size_t>(iterations));
    const bool at_rest = out.find("The flow is at rest") != std::string::npos;
    EXPECT_EQ(summary["stop"], at_rest ? "at rest"
                               : iterations < summary["max_iterations"].get<int>()
                                   ? "settled"
                                   : "iteration limit");
}

// A new result file, written to its end.
void expect_complete(const std::string& name, const bad_input& row, const program_run& run) {
    const std::string bytes = read_file(name);
    ASSERT_FALSE(bytes.empty());
    if (std::none_of(bytes.begin(), bytes.end(), [](char c) { return c >= 0 && c < '\t'; })) {
        EXPECT_EQ(bytes.back(), '\n');
        EXPECT_FALSE(mentions_nan_or_inf(bytes));
    }
    if (name.ends_with(".jpg")) {
        const picture decoded = decode_jpeg(name);  // refuses a picture that ends early
        EXPECT_EQ(decoded.width, row.size.width);
        EXPECT_EQ(decoded.height, row.size.height);
    } else if (name.ends_with(".dat")) {
        // A line per node row, "%e " per node.
        EXPECT_EQ(occurrences(bytes, "\n"), static_cast<std::size_t>(row.size.ny));
        EXPECT_EQ(occurrences(bytes, " "), static_cast<std::size_t>(row.size.nx * row.size.ny));
    } else if (name == "summary.json") {
        expect_summary_as_console(nlohmann::ordered_json::parse(bytes), run.out);
    } else if (name == "convergence.txt") {
        EXPECT_TRUE(bytes.starts_with("0.0 0.0 0.0\n"));
        EXPECT_EQ(occurrences(bytes, "\n"), occurrences(run.out, "count = ") + 1);
    }
}

class BadInput : public ::testing::TestWithParam<bad_input> {};

TEST_P(BadInput, StatusMessagesAndEveryResultOldOrCompleteNew) {
    const bad_input& row = GetParam();
    const scratch_dir folder;
    for (const std::string& name : result_files()) write_file(name, name + " of an earlier run\n");
    row.prepare ? row.prepare() : tunnel_picture();
    std::map<std::string, std::string> before;
    for (const std::string& name : directory_entries()) {
        before[name] = fs::is_regular_file(name) ? read_file(name) : "(a folder)";
    }

    const program_run run = run_program(row.answers, row.around, row.arguments);

    EXPECT_EQ(run.status, row.status) << run.err;
    EXPECT_NE(run.err.find(row.err), std::string::npos) << run.err;
    EXPECT_NE(run.out.find(row.out), std::string::npos) << run.out;
    if (row.status == 2 && row.results == result::by_status) {
        EXPECT_EQ(occurrences(run.err, "\n"), 1u) << run.err;
    }
    EXPECT_FALSE(mentions_nan_or_inf(run.out)) << run.out;
    // A refusal may quote the "nan" or "inf" that was typed, and nothing else.
    EXPECT_TRUE(!mentions_nan_or_inf(run.err) || mentions_nan_or_inf(row.answers)) << run.err;

    const auto& results = result_files();
    for (const std::string& name : directory_entries()) {
        const bool is_result = std::ranges::find(results, name) != results.end();
        EXPECT_TRUE(before.contains(name) || is_result) << name << " was added";
        if (!is_result && fs::is_regular_file(name)) {
            EXPECT_EQ(read_file(name), before[name]);
        }
    }
    for (const std::string& name : results) {
        SCOPED_TRACE(name);
        result expected = row.except.contains(name) ? row.except.at(name) : row.results;
        if (expected == result::by_status) {
            expected = row.status == 1 ? result::new_file : result::old_file;
        }
        const bool unchanged = before.contains(name) == fs::exists(name) &&
                               (!fs::is_regular_file(name) || read_file(name) == before[name]);
        if (expected == result::old_file || (expected == result::new_or_old && unchanged)) {
            EXPECT_TRUE(unchanged) << "was changed";
        } else {
            EXPECT_FALSE(unchanged) << "was not written";
            expect_complete(name, row, run);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Matrix, BadInput, ::testing::ValuesIn(matrix()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace veltaro::test
