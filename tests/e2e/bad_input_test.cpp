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

#include <sys/stat.h>
#include <zlib.h>

#include <nlohmann/json.hpp>

#include "common/text_format.h"
#include "output/result_files.h"
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
const std::string good_png = "tunnel.png 20 0.01 1 1 4 0 5";

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

// The tunnel picture as a PNG, with its bytes changed.
std::function<void()> png_file_edited(const std::function<void(std::string&)>& edit) {
    return [=] {
        write_png("tunnel.png", disc_picture(200, 50, 60.0, 25.0, 12.0));
        std::string bytes = read_file("tunnel.png");
        edit(bytes);
        write_file("tunnel.png", bytes);
    };
}

// The same with the data of its first chunk of the given type changed, and
// the chunk's checksum made right again unless it is meant to be wrong.
std::function<void()> png_edited(const std::string& type,
                                 const std::function<void(std::string&)>& edit,
                                 bool fix_checksum = true) {
    return png_file_edited([=](std::string& bytes) {
        std::size_t at = 8;  // chunks follow the signature: length, type, data, checksum
        const auto length = [&] {
            const auto byte = [&](int k) { return static_cast<unsigned char>(bytes[at + k]); };
            return std::size_t{byte(0)} << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
        };
        while (bytes.compare(at + 4, 4, type) != 0) at += 12 + length();
        std::string data = bytes.substr(at + 8, length());
        edit(data);
        const auto* type_and_data = reinterpret_cast<const Bytef*>(&bytes[at + 4]);
        uLong checksum = crc32(crc32(0, nullptr, 0), type_and_data, 4);
        checksum = crc32(checksum, reinterpret_cast<const Bytef*>(data.data()), data.size());
        if (!fix_checksum) checksum = ~checksum;
        std::string chunk = bytes.substr(at, 8) + data;
        for (int shift = 24; shift >= 0; shift -= 8) chunk += static_cast<char>(checksum >> shift);
        bytes.replace(at, 12 + length(), chunk);
    });
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
        // The picture: every refusal to read it names the file and why.
        {"MissingPicture", "nothing.jpg 20 0.01 1 1 4 0 5", 2,
         "Can't open input jpg file: nothing.jpg (No such file or directory)\n"},
        {"FolderAsPicture", good, 2,
         "Can't open input jpg file: tunnel.jpg (it is a folder, not a picture file)\n", "",
         [] { fs::create_directory("tunnel.jpg"); }},
        // Opened for reading, a FIFO would wait for a writer for ever.
        {"FifoAsPicture", good, 2,
         "Can't open input jpg file: tunnel.jpg (it is a FIFO, not a picture file)\n", "",
         [] { mkfifo("tunnel.jpg", 0600); }},
        {"DeviceAsPicture", "/dev/zero 20 0.01 1 1 4 0 5", 2,
         "Can't open input jpg file: /dev/zero (it is a device, not a picture file)\n"},
        {"EmptyPicture", good, 2, "Can't open input jpg file: tunnel.jpg (it is empty)\n", "",
         [] { write_file("tunnel.jpg", ""); }},
        {"GifPicture", "cyl.gif 20 0.01 1 1 4 0 5", 2, "Can't open input jpg file: cyl.gif (it "
         "looks like a GIF picture; save it as a JPEG or PNG)\n", "",
         [] { write_file("cyl.gif", std::string("GIF89a\xC8\0\x32\0\x80\0\0", 13)); }},
        {"BmpPicture", "cyl.bmp 20 0.01 1 1 4 0 5", 2, "cyl.bmp (it looks like a BMP picture; "
         "save it as a JPEG or PNG)\n", "",
         [] { write_file("cyl.bmp", std::string("BM\x36\x75\0\0\0\0\0\0\x36\0", 12)); }},
        {"TiffPicture", "cyl.tif 20 0.01 1 1 4 0 5", 2, "cyl.tif (it looks like a TIFF "
         "picture; save it as a JPEG or PNG)\n", "",
         [] { write_file("cyl.tif", std::string("MM\0*\0\0\0\x08\0\x0E", 10)); }},
        {"WebpPicture", "cyl.webp 20 0.01 1 1 4 0 5", 2, "cyl.webp (it looks like a WebP "
         "picture; save it as a JPEG or PNG)\n", "",
         [] { write_file("cyl.webp", std::string("RIFF\x1A\0\0\0WEBPVP8 ", 16)); }},
        {"PdfPicture", "cyl.pdf 20 0.01 1 1 4 0 5", 2, "cyl.pdf (it looks like a PDF document; "
         "save it as a JPEG or PNG)\n", "", [] { write_file("cyl.pdf", "%PDF-1.7\n%\xE2\xE3\n"); }},
        // The answers' own file given for the picture.
        {"TextAsPicture", "cyl.answers 20 0.01 1 1 4 0 5", 2, "cyl.answers (it looks like text, "
         "not a picture; give the name of a JPEG or PNG picture)\n", "",
         [] { write_file("cyl.answers", good + "\n"); }},
        {"UnknownPicture", good, 2, "Can't open input jpg file: tunnel.jpg (it is not a JPEG or "
         "PNG picture: it starts with 0x50 0x35 0x20 0x34)\n", "",
         [] { write_file("tunnel.jpg", std::string("P5 4 4 255\n\0\x10\x20\x30", 15)); }},
        // Read on, the decoder would fill the missing rows with grey, and
        // the obstacle would lose part of its shape without a word.
        {"TruncatedPicture", good, 2,
         "Can't open input jpg file: tunnel.jpg (Premature end of JPEG file)\n", "",
         edited([](std::string& b) { b.resize(b.size() * 2 / 3); })},
        {"NoEndMarker", good, 2,
         "Can't open input jpg file: tunnel.jpg (Premature end of JPEG file)\n", "",
         edited([](std::string& bytes) { bytes.resize(bytes.size() - 2); })},
        {"TruncatedPng", good_png, 2,
         "Can't open input jpg file: tunnel.png (Premature end of PNG file)\n", "",
         png_file_edited([](std::string& b) { b.resize(b.size() * 2 / 3); })},
        // Every row is there: the reader must still look for the end.
        {"PngWithoutEndChunk", good_png, 2,
         "Can't open input jpg file: tunnel.png (Premature end of PNG file)\n", "",
         png_file_edited([](std::string& bytes) { bytes.resize(bytes.size() - 12); })},
        {"PngChecksumWrong", good_png, 2,
         "Can't open input jpg file: tunnel.png (Corrupt PNG data: IHDR: CRC error)\n", "",
         png_edited("IHDR", [](std::string&) {}, false)},
        {"PngDataCorrupt", good_png, 2,
         "Can't open input jpg file: tunnel.png (Corrupt PNG data: IDAT: incorrect header "
         "check)\n", "", png_edited("IDAT", [](std::string& data) { data[0] ^= 1; })},
        // Damage to a chunk that holds no pixels is a warning, printed once
        // the picture is read: a picture refused later is refused in one line.
        {"PngWithADamagedTextChunk", good_png, 1, "Corrupt PNG data: tEXt: CRC error\n",
         "count = 5, ", png_file_edited([](std::string& bytes) {
             bytes.insert(33, std::string("\0\0\0\x03tEXta\0b\0\0\0\0", 15)); })},
        {"PngWithADamagedTextChunkCutShort", good_png, 2,
         "Can't open input jpg file: tunnel.png (Premature end of PNG file)\n", "",
         png_file_edited([](std::string& bytes) {
             bytes.insert(33, std::string("\0\0\0\x03tEXta\0b\0\0\0\0", 15));
             bytes.resize(bytes.size() * 2 / 3); })},
        {"PngLineEndsConverted", good_png, 2,
         "Can't open input jpg file: tunnel.png (Corrupt PNG data: PNG file corrupted by ASCII "
         "conversion)\n", "", png_file_edited([](std::string& bytes) { bytes.erase(4, 1); })},
        {"PngHeaderOf400MillionPixels", good_png, 2,
         "The picture is 20000 x 20000 pixels; at most 50000000 pixels can be used", "",
         png_edited("IHDR", [](std::string& data) {
             data.replace(0, 8, std::string("\0\0\x4E\x20\0\0\x4E\x20", 8)); })},
        // The first bytes decide, not the name; the kinds of PNG are read in the
        // decoder's own test.
        {"PngNamedJpg", good, 1, "", "count = 5, ",
         [] { write_png("tunnel.jpg", disc_picture(200, 50, 60.0, 25.0, 12.0)); }},
        {"JpegNamedPng", "tunnel.png 20 0.01 1 1 4 0 5", 1, "", "count = 5, ",
         [] { write_jpeg("tunnel.png", disc_picture(200, 50, 60.0, 25.0, 12.0)); }},
        // Damage the decoder can read past stays a warning.
        {"JunkBeforeTheEndMarker", good, 1, "Corrupt JPEG data", "", edited([](std::string& b) {
             b.insert(b.size() - 2, std::string("\xFF\x00\xFF\x00\xFF\x00xyz", 9)); })},
        // Judged from the header alone, before any memory is set aside.
        {"HeaderOf400MillionPixels", good, 2,
         "The picture is 20000 x 20000 pixels; at most 50000000 pixels can be used", "",
         edited([](std::string& b) { b.replace(b.find("\xFF\xC0") + 5, 4, "\x4E\x20\x4E\x20"); })},
        {"CmykPicture", good, 2,
         "4 colour components; save it as a grey-scale or RGB JPEG, or as a PNG.\n",
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
        // C_D divides it by 1/2 density 0.2^2 D, D = 25 of 50 pixel rows x
        // the grid's height, 24 spacings of 4/99 m.
        {"NoIteration", "tunnel.jpg 20 0.01 1 1 4 0 0", 1, "",
         "iterations: \ndone.\n\nLift = 0.000000e+00 [N/m]\nDrag = 3.878787e-02 [N/m]\n\n"
         "D = 4.848485e-01 [m] (frontal height)   Re_D = 9.696969e+00\n"
         "C_L = 0.000000e+00\nC_D = 4.000000e+00\n"},
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
        {"ReadOnlyEmptyFolder", good, 2, "Could not create files in the current folder: Perm", "",
         [] { tunnel_picture(); for (const auto& name : result_files()) fs::remove(name); }, {},
         surroundings::read_only_folder},
        // Refused before the iteration: "convergence.txt" is kept too.
        {"ReadOnlyFolder", good, 2, "Could not create files in the current folder: Perm", "",
         tunnel_picture, {}, surroundings::read_only_folder},
        {"FullDisk", good, 2, too_large("U.dat") + too_large("V.dat") + too_large("P.dat"), "",
         tunnel_picture, {}, surroundings::full_disk, result::new_or_old,
         {{"convergence.txt", result::new_file}, {"residual.txt", result::new_file},
          {"U.dat", result::old_file},
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
    std::vector<std::string> keys;
    for (const auto& item : summary.items()) keys.push_back(item.key());
    EXPECT_EQ(keys, std::vector<std::string>(summary_keys.begin(), summary_keys.end()));
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
