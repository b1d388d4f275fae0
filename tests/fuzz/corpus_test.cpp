// The fuzzing corpora (tests/data/fuzz/) replayed in the ordinary test run,
// and so under the sanitizers too: every seed, and every input that once
// broke the program, must end in a refusal or in a result the rest of the
// run can use. The fuzz targets in fuzz/ hold inputs of their own making to
// the same promises. A few inputs have a known end, checked by name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "driver/dialogue.h"
#include "driver/run_setup.h"
#include "common/run_error.h"
#include "geometry/obstacle_masks.h"
#include "support/scratch_dir.h"

namespace veltaro {
namespace {

std::vector<std::string> corpus(const std::string& target) {
    std::vector<std::string> files;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(VELTARO_TEST_DATA) + "/fuzz/" + target)) {
        files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string test_name(const std::string& path) {
    std::string name = std::filesystem::path(path).filename().string();
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

// The refusal an input must end in, where it is known; "" for an input
// that must be accepted.
using known_ends = std::map<std::string, std::string>;

const known_ends& dialogue_ends() {
    static const known_ends ends = {
        {"one-line", ""},
        {"windows-line-ends", ""},
        {"inlet-velocity-typed", ""},
        {"exponents-and-signs", ""},
        {"text-for-number", "is not a number"},
        {"ends-early", "No answer to \"Density [kg/m^3]\""},
        // Found by fuzzing: a spacing that single precision rounds to zero
        // made a singular pressure matrix, and one too large made its
        // entries vanish; both were accepted and failed later.
        {"spacing-rounds-to-zero", "The tunnel is too small to compute"},
        {"spacing-too-large", "The tunnel is too large to compute"},
    };
    return ends;
}

const known_ends& picture_ends() {
    static const known_ends ends = {
        {"grey-larger-than-grid", ""},
        {"colour-larger-than-grid", ""},
        {"progressive-grey", ""},
        {"one-pixel-high", ""},
        {"smaller-than-grid", ""},
        {"cmyk", "4 colour components"},
        {"cut-short", "Premature end of JPEG file"},
    };
    return ends;
}

void expect_known_end(const known_ends& ends, const std::string& path, const std::string& refusal) {
    const auto known = ends.find(std::filesystem::path(path).filename().string());
    if (known == ends.end()) return;
    if (known->second.empty()) {
        EXPECT_EQ(refusal, "") << "refused";
    } else {
        EXPECT_NE(refusal.find(known->second), std::string::npos)
            << "ended in \"" << refusal << "\"";
    }
}

// The run's own order up to the first iteration, as in the program.
std::string set_up_run(const std::string& typed) {
    std::istringstream in(typed);
    std::ostringstream prompts;
    try {
        const dialogue_answers answers = ask_questions(in, prompts);
        float typed_inlet_velocity = 0.0f;
        if (inlet_velocity_is_asked(answers))
            typed_inlet_velocity = ask_inlet_velocity(in, prompts);
        const run_parameters params = derive_parameters(answers, typed_inlet_velocity);
        check_parameters(answers, params);
        const mesh_size mesh = size_mesh(answers.mesh_choice, answers.length, answers.height);
        EXPECT_GE(mesh.nx, 3);
        EXPECT_GE(mesh.ny, 3);
        EXPECT_LE(static_cast<long long>(mesh.nx) * mesh.ny, max_mesh_nodes);
        EXPECT_TRUE(mesh.dx >= min_node_spacing && mesh.dx <= max_node_spacing) << mesh.dx;
        EXPECT_TRUE(std::isfinite(params.inlet_velocity) && params.inlet_velocity > 0.0f);
        EXPECT_TRUE(std::isfinite(params.dynamic_viscosity) && params.dynamic_viscosity >= 0.0f);
    } catch (const run_error& error) {
        return error.what();
    }
    return "";
}

class DialogueCorpus : public ::testing::TestWithParam<std::string> {};

TEST_P(DialogueCorpus, EndsInARefusalOrAUsableRun) {
    const std::string refusal = set_up_run(test::read_file(GetParam()));
    expect_known_end(dialogue_ends(), GetParam(), refusal);
}

INSTANTIATE_TEST_SUITE_P(Fuzz, DialogueCorpus, ::testing::ValuesIn(corpus("dialogue")),
                         [](const auto& info) { return test_name(info.param); });

bool zeros_and_ones(const int_grid& mask) {
    return std::all_of(mask.data(), mask.data() + mask.size(),
                       [](int value) { return value == open_pixel || value == obstacle_pixel; });
}

class PictureCorpusFile : public test::scratch_dir_test,
                          public ::testing::WithParamInterface<std::string> {};

// The first two bytes choose the grid, as in the fuzz target; the rest is
// the picture file.
TEST_P(PictureCorpusFile, EndsInARefusalOrUsableMasks) {
    const std::string bytes = test::read_file(GetParam());
    ASSERT_GE(bytes.size(), 2u);
    const int nx = 3 + static_cast<unsigned char>(bytes[0]) % 62;
    const int ny = 3 + static_cast<unsigned char>(bytes[1]) % 62;
    test::write_file(path("picture.jpg"), bytes.substr(2));
    std::string refusal;
    try {
        const obstacle_masks masks = make_outlines(nx, ny, path("picture.jpg"));
        EXPECT_EQ(masks.solid_nodes.nx(), nx);
        EXPECT_EQ(masks.solid_nodes.ny(), ny);
        EXPECT_EQ(masks.picture.nx(), masks.image_width);
        EXPECT_EQ(masks.picture.ny(), masks.image_height);
        EXPECT_TRUE(zeros_and_ones(masks.solid_nodes));
        EXPECT_TRUE(zeros_and_ones(masks.picture));
    } catch (const run_error& error) {
        refusal = error.what();
    }
    expect_known_end(picture_ends(), GetParam(), refusal);
}

INSTANTIATE_TEST_SUITE_P(Fuzz, PictureCorpusFile, ::testing::ValuesIn(corpus("picture")),
                         [](const auto& info) { return test_name(info.param); });

}  // namespace
}  // namespace veltaro
