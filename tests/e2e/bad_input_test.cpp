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
#include <regex>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <zlib.h>

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

// The mesh, for the tables; the picture, for the result pictures.
struct sizes { int nx = 100, ny = 25, width = 200, height = 50; };

struct bad_input {
    std::string name, answers;
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
std::string answers_for(const std::string& picture) { return picture + " 20 0.01 1 1 4 0 5"; }
const std::string good = answers_for("tunnel.jpg");

// A disc; more pixels than nodes each way: every node takes its class from the picture.
picture tunnel_disc() { return disc_picture(200, 50, 60.0, 25.0, 12.0); }
void tunnel_picture() { write_jpeg("tunnel.jpg", tunnel_disc()); }

// Dark where c % period < dark, every sample the same.
std::function<void()> columns(int width, int height, int components, int period, int dark) {
    return [=] {
        write_jpeg("tunnel.jpg", draw_picture(width, height, components, [=](int c, int, int) {
                       return static_cast<unsigned char>(c % period < dark ? 0 : 200);
                   }));
    };
}

// The tunnel picture, as a JPEG or a PNG as the name says, with its bytes changed.
std::function<void()> edited(const std::string& file,
                             const std::function<void(std::string&)>& edit) {
    return [=] {
        file.ends_with(".png") ? write_png(file, tunnel_disc()) : write_jpeg(file, tunnel_disc());
        std::string bytes = read_file(file);
        edit(bytes);
        write_file(file, bytes);
    };
}

// Makes the checksum of the PNG chunk at `at` (length, type, data, checksum) right again.
void fix_checksum(std::string& bytes, std::size_t at) {
    std::size_t length = 0;
    for (int k = 0; k < 4; ++k) length = length << 8 | static_cast<unsigned char>(bytes[at + k]);
    const uLong sum = crc32(0, reinterpret_cast<const Bytef*>(&bytes[at + 4]), 4 + length);
    for (int k = 0; k < 4; ++k) bytes[at + 8 + length + k] = static_cast<char>(sum >> (24 - 8 * k));
}

// A refusal to read the picture: it names the file and why, and nothing else.
bad_input unreadable(std::string name, std::string file, std::string why,
                     std::function<void()> prepare) {
    return {name, answers_for(file), 2, "Can't open input jpg file: " + file + " (" + why + ")\n",
            "", prepare};
}

std::function<void()> folders_for(std::vector<std::string> names) {
    return [=] {
        tunnel_picture();
        for (const std::string& name : names) fs::remove(name), fs::create_directory(name);
    };
}

std::vector<bad_input> matrix() {
    const std::string too_many =
        "The picture is 20000 x 20000 pixels; at most 50000000 pixels can be used";
    const std::string png_end = "Premature end of PNG file";
    const auto too_large = [](const char* name) {
        return "Could not write \"" + std::string(name) + "\": File too large\n";
    };
    // A PNG's chunks follow its 8-byte signature: IHDR at 8, then IDAT at 33
    // in the grey pictures written here.
    const std::string text_chunk("\0\0\0\x03tEXta\0b\0\0\0\0", 15);
    const auto damaged_text = [=](std::string& b) { b.insert(33, text_chunk); };
    // clang-format off
    std::vector<bad_input> rows = {
        // The command line, answered before any question (its refusals are in
        // the options test).
        {.name = "ShortHelp", .answers = "", .status = 0, .out = "\nExamples (pictures and answers files): ", .arguments = "-h"},
        {.name = "Version", .answers = "", .status = 0, .out = "veltaro 3.0\n", .arguments = "--version"},
        // The answers.
        {"NoInputAtAll", "", 2, "No answer to \"Input JPG image\""},
        {"EndOfInput", "tunnel.jpg 20 0.01 1", 2, "No answer to \"Wind tunnel height [m]\""},
        {"TextForReynolds", "tunnel.jpg 20abc 0.01 1 1 4 0 5", 2,
         "\"20abc\" to \"Reynold's No.\" is not a number"},
        {"FractionForMesh", "tunnel.jpg 20 0.01 1 1 4 1.5 5", 2,
         "\"1.5\" to \"Mesh spacing (0=coarse, 1=standard, 2=fine)\" is not a whole number"},
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
        // The picture: every refusal to read it names the file and why.
        unreadable("MissingPicture", "nothing.jpg", "No such file or directory", nullptr),
        unreadable("FolderAsPicture", "tunnel.jpg", "it is a folder, not a picture file",
                   [] { fs::create_directory("tunnel.jpg"); }),
        // Opened for reading, a FIFO would wait for a writer for ever.
        unreadable("FifoAsPicture", "tunnel.jpg", "it is a FIFO, not a picture file",
                   [] { mkfifo("tunnel.jpg", 0600); }),
        unreadable("DeviceAsPicture", "/dev/zero", "it is a device, not a picture file", nullptr),
        unreadable("EmptyPicture", "tunnel.jpg", "it is empty", [] { write_file("tunnel.jpg", ""); }),
        unreadable("UnknownPicture", "tunnel.jpg",
                   "it is not a JPEG or PNG picture: it starts with 0x50 0x35 0x20 0x34",
                   [] { write_file("tunnel.jpg", std::string("P5 4 4 255\n\0\x10\x20\x30", 15)); }),
        // Read on, the decoder would fill the missing rows with grey, and
        // the obstacle would lose part of its shape without a word.
        unreadable("TruncatedPicture", "tunnel.jpg", "Premature end of JPEG file",
                   edited("tunnel.jpg", [](std::string& b) { b.resize(b.size() * 2 / 3); })),
        unreadable("NoEndMarker", "tunnel.jpg", "Premature end of JPEG file",
                   edited("tunnel.jpg", [](std::string& b) { b.resize(b.size() - 2); })),
        unreadable("TruncatedPng", "tunnel.png", png_end,
                   edited("tunnel.png", [](std::string& b) { b.resize(b.size() * 2 / 3); })),
        // Every row is there: the reader must still look for the end.
        unreadable("PngWithoutEndChunk", "tunnel.png", png_end,
                   edited("tunnel.png", [](std::string& b) { b.resize(b.size() - 12); })),
        unreadable("PngChecksumWrong", "tunnel.png", "Corrupt PNG data: IHDR: CRC error",
                   edited("tunnel.png", [](std::string& b) { b[29] ^= 1; })),
        unreadable("PngDataCorrupt", "tunnel.png", "Corrupt PNG data: IDAT: incorrect header check",
                   edited("tunnel.png", [](std::string& b) { b[41] ^= 1, fix_checksum(b, 33); })),
        // Damage to a chunk that holds no pixels is a warning, printed once
        // the picture is read: a picture refused later is refused in one line.
        {"PngWithADamagedTextChunk", answers_for("tunnel.png"), 1,
         "Corrupt PNG data: tEXt: CRC error\n", "count = 5, ", edited("tunnel.png", damaged_text)},
        unreadable("PngWithADamagedTextChunkCutShort", "tunnel.png", png_end,
                   edited("tunnel.png", [=](std::string& b) {
                       damaged_text(b), b.resize(b.size() * 2 / 3); })),
        unreadable("PngLineEndsConverted", "tunnel.png",
                   "Corrupt PNG data: PNG file corrupted by ASCII conversion",
                   edited("tunnel.png", [](std::string& b) { b.erase(4, 1); })),
        {"PngHeaderOf400MillionPixels", answers_for("tunnel.png"), 2, too_many, "",
         edited("tunnel.png", [](std::string& b) {
             b.replace(16, 8, std::string("\0\0\x4E\x20\0\0\x4E\x20", 8)), fix_checksum(b, 8); })},
        // The first bytes decide, not the name; the kinds of PNG are read in the
        // decoder's own test.
        {"PngNamedJpg", good, 1, "", "count = 5, ", [] { write_png("tunnel.jpg", tunnel_disc()); }},
        {"JpegNamedPng", answers_for("tunnel.png"), 1, "", "count = 5, ",
         [] { write_jpeg("tunnel.png", tunnel_disc()); }},
        // Damage the decoder can read past stays a warning.
        {"JunkBeforeTheEndMarker", good, 1, "Corrupt JPEG data", "",
         edited("tunnel.jpg", [](std::string& b) {
             b.insert(b.size() - 2, std::string("\xFF\x00\xFF\x00\xFF\x00xyz", 9)); })},
        // Judged from the header alone, before any memory is set aside.
        {"HeaderOf400MillionPixels", good, 2, too_many, "",
         edited("tunnel.jpg", [](std::string& b) {
             b.replace(b.find("\xFF\xC0") + 5, 4, "\x4E\x20\x4E\x20"); })},
        {"CmykPicture", good, 2,
         "4 colour components; save it as a grey-scale or RGB JPEG, or as a PNG.\n",
         "Number of color components in JPG image not recognized\n", columns(200, 50, 4, 1, 0)},
        {"PictureOf1x1Pixels", good, 1, "", "", columns(1, 1, 1, 1, 1), {100, 25, 1, 1}},
        {"PictureOf20000x1Pixels", good, 1, "", "", columns(20000, 1, 1, 97, 5), {100, 25, 20000, 1}},
        {"AllBlackColourPicture", "tunnel.jpg 20 0.01 1 1 4 0 20", 1, "",
         "The flow is at rest (every speed is zero)", columns(200, 50, 3, 1, 1)},
        // Every inlet node is held still (a short tunnel, so few iterations):
        // what the first iteration set moving dies away.
        {"ObstacleAcrossTheInlet", "tunnel.jpg 20 0.01 1 1 1 0 30000", 1, "",
         "no time step exists, so the iteration stops here.\ndone.\n",
         columns(200, 50, 1, 200, 20), {25}},
        // The run, and the files it writes. Without an iteration the drag
        // is the inlet's momentum flux, density 0.2^2 (ny - 1) dy.
        // C_D divides it by 1/2 density 0.2^2 D, D = 25 of 50 pixel rows x
        // the grid's height, 24 spacings of 4/99 m.
        {"NoIteration", "tunnel.jpg 20 0.01 1 1 4 0 0", 1, "",
         "iterations: \ndone.\n\nLift = 0.000000e+00 [N/m]\nDrag = 3.878787e-02 [N/m]\n\n"
         "D = 4.848485e-01 [m] (frontal height)   Re_D = 9.696969e+00\n"
         "C_L = 0.000000e+00\nC_D = 4.000000e+00\n"},
        // JSON escapes the quote and the backslash, and cannot hold the byte
        // that is not UTF-8: the summary must parse all the same.
        {"PictureNameNeedingEscapes", answers_for("t\"\\\xff.jpg"), 1, "", "",
         [] { write_jpeg("t\"\\\xff.jpg", tunnel_disc()); }},
        {"NoObstacle", good, 1, "", "[N/m]\nNo obstacle in the picture: no coefficients.\n",
         columns(200, 50, 1, 1, 0)},
        {"ZeroViscosityGivesNoReD", "tunnel.jpg 20 0 1 1 4 0 5 0.2", 1, "", "(frontal height)\nC_L"},
        {"DivergingFlow", "tunnel.jpg 1e30 0.01 1 1 4 0 20", 2,
         "The run failed at iteration 1: the flow diverged (the velocity or pressure is no "
         "longer a finite number), so the run has no results; try a finer mesh or a lower "
         "Reynolds number.\n", "", nullptr, {},
         surroundings::plain, result::old_file, {{"convergence.txt", result::new_file},
         {"residual.txt", result::new_file}}},
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
        // Refused before the iteration, though the earlier results could be
        // written over in place: "convergence.txt" is kept too.
        {"ReadOnlyFolder", good, 2, "Could not create files in the current folder: Perm", "",
         nullptr, {}, surroundings::read_only_folder},
        {"FullDisk", good, 2, too_large("U.dat") + too_large("V.dat") + too_large("P.dat"), "",
         nullptr, {}, surroundings::full_disk, result::new_or_old,
         {{"convergence.txt", result::new_file}, {"residual.txt", result::new_file},
          {"U.dat", result::old_file}, {"V.dat", result::old_file}, {"P.dat", result::old_file}}},
    };
    // Other kinds of file given for the picture, the answers' own file among them.
    const std::string save_it = "; save it as a JPEG or PNG";
    using bytes = std::string;
    const struct { const char* name; const char* file; bytes start; std::string says; } others[] = {
        {"GifPicture", "cyl.gif", bytes("GIF89a\xC8\0\x32\0\x80\0\0", 13), "a GIF picture" + save_it},
        {"BmpPicture", "cyl.bmp", bytes("BM\x36\x75\0\0\0\0\0\0\x36\0", 12), "a BMP picture" + save_it},
        {"TiffPicture", "cyl.tif", bytes("MM\0*\0\0\0\x08\0\x0E", 10), "a TIFF picture" + save_it},
        {"WebpPicture", "cyl.webp", bytes("RIFF\x1A\0\0\0WEBPVP8 ", 16), "a WebP picture" + save_it},
        {"PdfPicture", "cyl.pdf", "%PDF-1.7\n%\xE2\xE3\n", "a PDF document" + save_it},
        {"TextAsPicture", "cyl.answers", good + "\n",
         "text, not a picture; give the name of a JPEG or PNG picture"},
    };
    // clang-format on
    for (const auto& other : others) {
        const std::string file = other.file, start = other.start;
        rows.push_back(unreadable(other.name, file, "it looks like " + other.says,
                                  [=] { write_file(file, start); }));
    }
    return rows;
}

// "nan", "inf" or "infinity" as a word of letters, in any case.
bool mentions_nan_or_inf(const std::string& text) {
    static const std::regex word("(^|[^a-z])(nan|inf|infinity)([^a-z]|$)", std::regex::icase);
    return std::regex_search(text, word);
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// The summary says what the console says (its keys' order is pinned by the regression run).
void expect_summary_as_console(const nlohmann::ordered_json& summary, const std::string& out) {
    const auto line = [&](const char* label, const char* key) {
        if (summary[key].is_null()) return out.find(label) == std::string::npos;
        const std::string text = format_text("%e", summary[key].get<double>());
        return out.find(std::string(label) + " = " + text) != std::string::npos;
    };
    EXPECT_TRUE(line("Lift", "lift") && line("Drag", "drag") && line("C_L", "lift_coefficient") &&
                line("C_D", "drag_coefficient") && line("Re_D", "reynolds_frontal") &&
                (summary["drag_coefficient"].is_null() || line("\nc", "chord")) &&
                line("C_L,c", "lift_coefficient_chord") && line("C_D,c", "drag_coefficient_chord"));
    const int iterations = summary["iterations"];
    EXPECT_EQ(occurrences(out, "count = "), static_cast<std::size_t>(iterations));
    const bool at_rest = out.find("The flow is at rest") != std::string::npos;
    EXPECT_EQ(summary["stop"], at_rest                                   ? "at rest"
                               : iterations < summary["max_iterations"] ? "settled"
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
        EXPECT_EQ(std::pair(decoded.width, decoded.height),
                  std::pair(row.size.width, row.size.height));
    } else if (name.ends_with(".dat")) {
        // A line per node row, "%e " per node.
        EXPECT_EQ(occurrences(bytes, "\n"), static_cast<std::size_t>(row.size.ny));
        EXPECT_EQ(occurrences(bytes, " "), static_cast<std::size_t>(row.size.nx * row.size.ny));
    } else if (name == "summary.json") {
        expect_summary_as_console(nlohmann::ordered_json::parse(bytes), run.out);
    } else if (name == "convergence.txt" || name == "residual.txt") {
        EXPECT_TRUE(bytes.starts_with(name == "residual.txt" ? "# iteration" : "0.0 0.0 0.0\n"));
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
    for (const std::string& name : directory_entries())
        before[name] = fs::is_regular_file(name) ? read_file(name) : "(a folder)";

    const program_run run = run_program(row.answers, row.around, row.arguments);

    EXPECT_EQ(run.status, row.status) << run.err;
    EXPECT_NE(run.err.find(row.err), std::string::npos) << run.err;
    EXPECT_NE(run.out.find(row.out), std::string::npos) << run.out;
    EXPECT_TRUE(row.status != 2 || row.results != result::by_status ||
                occurrences(run.err, "\n") == 1) << run.err;
    EXPECT_FALSE(mentions_nan_or_inf(run.out)) << run.out;
    // A refusal may quote the "nan" or "inf" that was typed, and nothing else.
    EXPECT_TRUE(!mentions_nan_or_inf(run.err) || mentions_nan_or_inf(row.answers)) << run.err;

    const auto& results = result_files();
    for (const std::string& name : directory_entries()) {
        const bool is_result = std::ranges::find(results, name) != results.end();
        EXPECT_TRUE(before.contains(name) || is_result) << name << " was added";
        EXPECT_TRUE(is_result || !fs::is_regular_file(name) || read_file(name) == before[name])
            << name << " was changed";
    }
    for (const std::string& name : results) {
        SCOPED_TRACE(name);
        result expected = row.except.contains(name) ? row.except.at(name) : row.results;
        if (expected == result::by_status)
            expected = row.status == 1 ? result::new_file : result::old_file;
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
