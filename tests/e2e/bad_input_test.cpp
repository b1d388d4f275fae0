// The bad-input matrix: the built program run on every input it must refuse
// and on the odd inputs it must get through. For each case: the exit status;
// for a refusal, one line on standard error that says what is wrong; never a
// "nan" or "inf" on the console or in a result file; and the results of an
// earlier run, left in the folder beforehand, are afterwards each either
// untouched or a complete new version, never a truncated mix. A refused run
// leaves the folder exactly as it found it.
//
// Tests run as root in CI, and root writes into a read-only folder all the
// same: there the program runs without the capability to override file
// permissions (setpriv), which holds it to the folder's mode like any user.
// A full disk is a file size limit that the program inherits.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "output/decode_jpeg.h"
#include "support/make_jpeg.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace veltaro::test {
namespace {

// What a case must end with.
enum class outcome {
    refused,         // status 2, one line on standard error, the folder as it was
    completed,       // status 1, every result file new and complete
    partly_written,  // status 2, each result file new and complete or the old one untouched
};

// How the program is run.
enum class surroundings {
    plain,
    read_only_folder,  // no file can be created in the working folder
    full_disk,         // no file can grow past a few kilobytes
};

struct picture_size {
    int width = 200;
    int height = 50;
};

struct mesh_nodes {
    int nx = 100;
    int ny = 25;
};

struct bad_input {
    const char* name;
    std::string answers;
    outcome expected;
    // For a refusal a part of its line on standard error; for a completed
    // run, when not empty, a part of standard output.
    std::string message;
    // Puts the picture (and anything else) into the folder; the default is
    // tunnel_picture.
    std::function<void(const work_folder&)> prepare = nullptr;
    surroundings around = surroundings::plain;
    picture_size picture = {};
    mesh_nodes mesh = {};
};

void PrintTo(const bad_input& c, std::ostream* out) { *out << c.name; }

// Tunnel 4 x 1 on the coarse mesh: 100 x 25 nodes, and a few iterations.
const std::string good = "tunnel.jpg 20 0.01 1 1 4 0 5";

// Pictures have more pixels than the grid has nodes each way, so that every
// node takes its class from the picture.
void tunnel_picture(const work_folder& folder) {
    write_jpeg(folder.file("tunnel.jpg"), disc_picture(200, 50, 60.0, 25.0, 12.0));
}

std::string earlier_result(const std::string& name) { return name + " of an earlier run\n"; }

void leave_earlier_results(const work_folder& folder) {
    for (const std::string& name : result_files()) folder.write(name, earlier_result(name));
}

// A picture cut off two thirds of the way through its data.
void truncated_picture(const work_folder& folder) {
    tunnel_picture(folder);
    const std::string whole = read_file(folder.file("tunnel.jpg"));
    folder.write("tunnel.jpg", whole.substr(0, whole.size() * 2 / 3));
}

// A real picture whose header claims 20000 x 20000 pixels.
void huge_header_picture(const work_folder& folder) {
    tunnel_picture(folder);
    std::string bytes = read_file(folder.file("tunnel.jpg"));
    const std::size_t frame = bytes.find("\xFF\xC0");
    ASSERT_NE(frame, std::string::npos);
    bytes.replace(frame + 5, 4, "\x4E\x20\x4E\x20");  // height, width: 20000 each
    folder.write("tunnel.jpg", bytes);
}

std::vector<bad_input> matrix() {
    const std::string long_name(1000, 'a');
    return {
        // The dialogue.
        {"NoInputAtAll", "", outcome::refused, "No answer to \"Input JPG image\""},
        {"EndOfInput", "tunnel.jpg 20 0.01 1", outcome::refused,
         "No answer to \"Wind tunnel height [m]\""},
        {"TextForReynolds", "tunnel.jpg 20abc 0.01 1 1 4 0 5", outcome::refused,
         "\"20abc\" to \"Reynold's No.\" is not a number"},
        {"FractionForMesh", "tunnel.jpg 20 0.01 1 1 4 1.5 5", outcome::refused,
         "\"1.5\" to \"Mesh spacing (0=coarse, 1=standard, 2=fine)\" is not a whole number"},
        {"ExponentForIterations", "tunnel.jpg 20 0.01 1 1 4 0 1e2", outcome::refused,
         "\"1e2\" to \"Maximum number of iterations\" is not a whole number"},
        {"IterationsOverflow", "tunnel.jpg 20 0.01 1 1 4 0 99999999999", outcome::refused,
         "\"99999999999\" to \"Maximum number of iterations\" is out of range"},
        {"WindowsLineEnds", "tunnel.jpg\r\n20\r\n0.01\r\n1\r\n1\r\n4\r\n0\r\n5\r\n",
         outcome::completed, "count = 5, "},
        {"ExponentsAndSigns", "tunnel.jpg 2e1 +1e-2 +1 1E0 4e0 -0 +5", outcome::completed,
         "count = 5, "},
        {"NegativeZeroViscosityAsksTheInletVelocity", "tunnel.jpg 20 -0 1 1 4 0 5 +2e-1",
         outcome::completed, "Inlet Velocity: "},
        // Numbers that are not numbers, and unusable values.
        {"NanReynolds", "tunnel.jpg nan 0.01 1 1 4 0 5", outcome::refused,
         "Reynolds number must be a finite"},
        {"InfiniteReynolds", "tunnel.jpg inf 0.01 1 1 4 0 5", outcome::refused,
         "Reynolds number must be a finite"},
        {"MinusInfiniteViscosity", "tunnel.jpg 20 -inf 1 1 4 0 5", outcome::refused,
         "kinematic viscosity must be zero or"},
        {"InfiniteDensity", "tunnel.jpg 20 0.01 INF 1 4 0 5", outcome::refused,
         "density must be a positive"},
        {"NanHeight", "tunnel.jpg 20 0.01 1 nan 4 0 5", outcome::refused,
         "tunnel height must be a positive"},
        {"InfinityLength", "tunnel.jpg 20 0.01 1 1 infinity 0 5", outcome::refused,
         "tunnel length must be a positive"},
        {"NanTypedInletVelocity", "tunnel.jpg 20 0 1 1 4 0 5 NaN", outcome::refused,
         "inlet velocity must be a positive"},
        {"InfiniteTypedInletVelocity", "tunnel.jpg 0 0.01 1 1 4 0 5 inf", outcome::refused,
         "inlet velocity must be a positive"},
        {"ZeroHeight", "tunnel.jpg 20 0.01 1 0 4 0 5", outcome::refused,
         "tunnel height must be a positive"},
        {"NegativeLength", "tunnel.jpg 20 0.01 1 1 -4 0 5", outcome::refused,
         "tunnel length must be a positive"},
        {"ZeroDensity", "tunnel.jpg 20 0.01 0 1 4 0 5", outcome::refused,
         "density must be a positive"},
        {"NegativeViscosity", "tunnel.jpg 20 -0.01 1 1 4 0 5", outcome::refused,
         "kinematic viscosity must be zero or"},
        {"NegativeReynolds", "tunnel.jpg -20 0.01 1 1 4 0 5", outcome::refused,
         "inlet velocity must be a positive"},
        {"ZeroTypedInletVelocity", "tunnel.jpg 0 0.01 1 1 4 0 5 0", outcome::refused,
         "inlet velocity must be a positive"},
        {"TunnelTooShort", "tunnel.jpg 20 0.01 1 1 0.05 0 5", outcome::refused,
         "too short for its height"},
        {"MeshTooLong", "tunnel.jpg 20 0.01 1 1 1e30 2 5", outcome::refused,
         "too long for its height"},
        {"MeshTooManyNodes", "tunnel.jpg 20 0.01 1 1 30000 0 5", outcome::refused, "is too large"},
        {"TunnelTooSmallForSinglePrecision", "tunnel.jpg 1 1e-44 1 1e-44 1e-44 0 5",
         outcome::refused, "The tunnel is too small to compute"},
        {"TunnelTooLargeForSinglePrecision", "tunnel.jpg 1 1e30 1 1e30 1e30 0 5", outcome::refused,
         "The tunnel is too large to compute"},
        // The picture.
        {"MissingPicture", "nothing.jpg 20 0.01 1 1 4 0 5", outcome::refused,
         "Can't open input jpg file"},
        {"FileNameOf1000Characters", long_name + " 20 0.01 1 1 4 0 5", outcome::refused,
         "Can't open input jpg file"},
        {"DirectoryAsPicture", "folder.jpg 20 0.01 1 1 4 0 5", outcome::refused,
         "Can't open input jpg file",
         [](const work_folder& f) { std::filesystem::create_directory(f.file("folder.jpg")); }},
        {"PictureOf0Bytes", good, outcome::refused, "Empty input file",
         [](const work_folder& f) { f.write("tunnel.jpg", ""); }},
        {"NotAJpeg", good, outcome::refused, "Not a JPEG file",
         [](const work_folder& f) { f.write("tunnel.jpg", "P5 4 4 255 not a jpeg at all\n"); }},
        {"TruncatedPicture", good, outcome::refused, "Premature end of JPEG file",
         truncated_picture},
        {"PictureHeaderOf400MillionPixels", good, outcome::refused,
         "The picture is 20000 x 20000 pixels; at most 50000000 pixels can be used",
         huge_header_picture},
        {"CmykPicture", good, outcome::refused, "colour components",
         [](const work_folder& f) {
             write_jpeg(f.file("tunnel.jpg"), flat_picture(200, 50, 4, 200));
         }},
        {"PictureOf1x1Pixels",
         good,
         outcome::completed,
         "",
         [](const work_folder& f) { write_jpeg(f.file("tunnel.jpg"), flat_picture(1, 1, 1, 0)); },
         surroundings::plain,
         {1, 1}},
        {"PictureOf20000x1Pixels",
         good,
         outcome::completed,
         "",
         [](const work_folder& f) {
             write_jpeg(f.file("tunnel.jpg"),
                        grey_picture(20000, 1, [](int c, int) -> unsigned char {
                            return c % 97 < 5 ? 0 : 255;
                        }));
         },
         surroundings::plain,
         {20000, 1}},
        {"AllBlackPicture", "tunnel.jpg 20 0.01 1 1 4 0 20", outcome::completed,
         "The flow is at rest",
         [](const work_folder& f) {
             write_jpeg(f.file("tunnel.jpg"), flat_picture(200, 50, 3, 0));
         }},
        {"ObstacleCoveringTheInletColumn", "tunnel.jpg 20 0.01 1 1 4 0 20", outcome::completed, "",
         [](const work_folder& f) {
             write_jpeg(f.file("tunnel.jpg"),
                        grey_picture(200, 50,
                                     [](int c, int) -> unsigned char { return c < 20 ? 0 : 255; }));
         }},
        // The run, and the files it writes.
        {"DivergingFlow", "tunnel.jpg 1e30 0.01 1 1 4 0 20", outcome::partly_written,
         "The flow diverged at iteration 1"},
        {"ConvergenceFileNotWritable", good, outcome::refused,
         "Could not write \"convergence.txt\"",
         [](const work_folder& f) {
             tunnel_picture(f);
             std::filesystem::remove(f.file("convergence.txt"));
             std::filesystem::create_directory(f.file("convergence.txt"));
         }},
        {"ResultFileNotWritable", good, outcome::partly_written, "Could not write \"U.dat\"",
         [](const work_folder& f) {
             tunnel_picture(f);
             std::filesystem::remove(f.file("U.dat"));
             std::filesystem::create_directory(f.file("U.dat"));
         }},
        {"ReadOnlyFolder", good, outcome::refused,
         "Could not create files in the current folder: Permission denied",
         [](const work_folder& f) {
             tunnel_picture(f);
             for (const std::string& name : result_files()) std::filesystem::remove(f.file(name));
         },
         surroundings::read_only_folder},
        // Refused before the iteration: the results of the earlier run,
        // "convergence.txt" included, stay as they were.
        {"ReadOnlyFolderWithEarlierResults", good, outcome::refused,
         "Could not create files in the current folder: Permission denied", nullptr,
         surroundings::read_only_folder},
        {"FullDisk", good, outcome::partly_written, "Could not write \"P.dat\"", nullptr,
         surroundings::full_disk},
    };
}

// Runs the program in `folder` with its console files kept elsewhere, so
// that nothing but the program itself writes into the folder.
program_run run_in(const work_folder& folder, const std::string& answers, surroundings around) {
    const work_folder console;
    console.write("answers", answers);
    std::string program = std::string("'") + VELTARO_EXE + "'";
    if (around == surroundings::read_only_folder) {
        std::filesystem::permissions(folder.path(),
                                     std::filesystem::perms::owner_write |
                                         std::filesystem::perms::group_write |
                                         std::filesystem::perms::others_write,
                                     std::filesystem::perm_options::remove);
        if (geteuid() == 0)
            program = "setpriv --bounding-set=-dac_override,-dac_read_search " + program;
    }
    const std::string command = "cd '" + folder.path().string() + "' && " + program + " < '" +
                                console.file("answers") + "' > '" + console.file("out") + "' 2> '" +
                                console.file("err") + "'";
    int raw = 0;
    if (around == surroundings::full_disk) {
        // Enough for the console and "convergence.txt", too little for the
        // tables and pictures.
        const file_size_limit limit(4096);
        raw = std::system(command.c_str());
    } else {
        raw = std::system(command.c_str());
    }
    program_run result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = console.read("out");
    result.err = console.read("err");
    return result;
}

bool mentions_nan_or_inf(const std::string& text) {
    static const std::regex word(R"((^|[^a-z])(nan|inf|infinity)([^a-z]|$))", std::regex::icase);
    return std::regex_search(text, word);
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

std::size_t line_count(const std::string& text) { return occurrences(text, "\n"); }

// Every line holds `columns` finite numbers and the text ends with a line end.
void expect_number_lines(const std::string& name, const std::string& text, std::size_t columns) {
    if (!text.empty()) {
        EXPECT_EQ(text.back(), '\n') << name;
    }
    for (const std::string& line : lines_of(text)) {
        std::istringstream in(line);
        std::size_t count = 0;
        for (double value; in >> value; ++count)
            EXPECT_TRUE(std::isfinite(value)) << name << ": " << line;
        EXPECT_TRUE(in.eof()) << name << ": " << line;
        EXPECT_EQ(count, columns) << name << ": " << line;
    }
}

// The new version of a result file, written to its end.
void expect_complete(const work_folder& folder, const std::string& name, const bad_input& c,
                     const program_run& run) {
    const std::string text = folder.read(name);
    if (name == "convergence.txt") {
        const auto lines = lines_of(text);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0], "0.0 0.0 0.0");
        // One line for each iteration the console reported.
        EXPECT_EQ(lines.size() - 1, occurrences(run.out, "count = ")) << text;
        expect_number_lines(name, text.substr(lines[0].size() + 1), 3);
    } else if (name.ends_with(".dat")) {
        EXPECT_EQ(line_count(text), static_cast<std::size_t>(c.mesh.ny)) << name;
        expect_number_lines(name, text, static_cast<std::size_t>(c.mesh.nx));
    } else {
        ASSERT_GE(text.size(), 2u) << name;
        EXPECT_EQ(text.substr(text.size() - 2), "\xFF\xD9")
            << name << " does not end with its end marker";
        const decoded_picture picture = decode_jpeg(folder.file(name));
        EXPECT_EQ(picture.width, c.picture.width) << name;
        EXPECT_EQ(picture.height, c.picture.height) << name;
    }
}

class BadInput : public ::testing::TestWithParam<bad_input> {};

TEST_P(BadInput, StatusMessageAndNoLostOrHalfWrittenResult) {
    const bad_input& c = GetParam();
    const work_folder folder;
    leave_earlier_results(folder);
    if (c.prepare) {
        c.prepare(folder);
    } else {
        tunnel_picture(folder);
    }
    std::map<std::string, std::string> before;
    for (const std::string& name : folder.entries()) {
        if (std::filesystem::is_regular_file(folder.file(name))) before[name] = folder.read(name);
    }
    const std::set<std::string> names_before = folder.entries();

    const program_run run = run_in(folder, c.answers, c.around);

    EXPECT_EQ(run.status, c.expected == outcome::completed ? 1 : 2) << run.err;
    if (c.expected == outcome::refused) {
        EXPECT_EQ(line_count(run.err), 1u) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    } else if (c.expected == outcome::partly_written) {
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    } else {
        EXPECT_NE(run.out.find(c.message), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("done.\n"), std::string::npos) << run.out;
    }
    EXPECT_FALSE(mentions_nan_or_inf(run.out)) << run.out;
    // A refusal may quote the "nan" or "inf" that was typed, and nothing else.
    if (!mentions_nan_or_inf(c.answers)) {
        EXPECT_FALSE(mentions_nan_or_inf(run.err)) << run.err;
    }

    if (c.expected == outcome::refused) {
        EXPECT_EQ(folder.entries(), names_before);
        for (const auto& [name, bytes] : before)
            EXPECT_EQ(folder.read(name), bytes) << name << " was changed";
        return;
    }
    // No temporary file is left behind, and nothing but results is added.
    std::set<std::string> allowed = names_before;
    allowed.insert(result_files().begin(), result_files().end());
    for (const std::string& name : folder.entries()) EXPECT_TRUE(allowed.contains(name)) << name;
    for (const std::string& name : result_files()) {
        if (!std::filesystem::is_regular_file(folder.file(name))) continue;
        const std::string text = folder.read(name);
        if (name.ends_with(".dat") || name.ends_with(".txt")) {
            EXPECT_FALSE(mentions_nan_or_inf(text)) << name;
        }
        if (before.contains(name) && text == before.at(name)) {
            EXPECT_NE(c.expected, outcome::completed) << name << " was not written";
            continue;
        }
        expect_complete(folder, name, c, run);
    }
}

INSTANTIATE_TEST_SUITE_P(Matrix, BadInput, ::testing::ValuesIn(matrix()),
                         [](const auto& info) { return std::string(info.param.name); });

// Signs, exponents and Windows line ends read as the plain numbers do: the
// same run to the last digit.
TEST(OddlyTypedAnswers, RunExactlyAsThePlainOnes) {
    const std::string typings[] = {"tunnel.jpg\r\n20\r\n0.01\r\n1\r\n1\r\n4\r\n0\r\n5\r\n",
                                   "tunnel.jpg 2e1 +1e-2 +1 1E0 4e0 -0 +5",
                                   "tunnel.jpg 200e-1 .01 1. 1 +4. +0 05"};
    const work_folder plain;
    tunnel_picture(plain);
    const program_run expected = plain.run(good);
    ASSERT_EQ(expected.status, 1) << expected.err;
    for (const std::string& answers : typings) {
        const work_folder folder;
        tunnel_picture(folder);
        const program_run run = folder.run(answers);
        EXPECT_EQ(run.status, 1) << answers;
        EXPECT_EQ(run.out, expected.out) << answers;
        for (const char* name : {"U.dat", "V.dat", "P.dat", "convergence.txt"}) {
            EXPECT_EQ(folder.read(name), plain.read(name)) << answers << ": " << name;
        }
    }
}

TEST(RefusalMessages, MissingPictureIsTheOneLineOfTheLoader) {
    const work_folder folder;
    const program_run run = folder.run("nothing.jpg 20 0.01 1 1 4 0 5");
    EXPECT_EQ(run.err, "Can't open input jpg file\n");
}

TEST(RefusalMessages, TruncatedPictureIsTheDecodersOwnLine) {
    const work_folder folder;
    truncated_picture(folder);
    const program_run run = folder.run(good);
    EXPECT_EQ(run.err, "Premature end of JPEG file\n");
}

TEST(RefusalMessages, ComponentCountAlsoNamedOnTheConsole) {
    const work_folder folder;
    write_jpeg(folder.file("tunnel.jpg"), flat_picture(200, 50, 4, 200));
    const program_run run = folder.run(good);
    EXPECT_NE(run.out.find("Number of color components in JPG image not recognized\n"),
              std::string::npos);
}

}  // namespace
}  // namespace veltaro::test
