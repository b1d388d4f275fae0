// Every input a run refuses: one line on standard error that says what is
// wrong, exit status 2, and no result file at all.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "support/make_jpeg.h"
#include "support/run_program.h"

namespace veltaro::test {
namespace {

struct refusal {
    const char* name;
    std::string answers;
    std::string message;  // a part of the one line on standard error
    std::function<void(const work_folder&)> prepare = nullptr;
};

void grey_picture_file(const work_folder& folder) {
    write_jpeg(folder.file("tunnel.jpg"), flat_picture(40, 10, 1, 255));
}

const std::string good = "tunnel.jpg 20 0.01 1 1 4 0 5";

std::vector<refusal> refusals() {
    return {
        {"EndOfInput", "tunnel.jpg 20 0.01 1", "No answer to \"Wind tunnel height [m]\""},
        {"NoInputAtAll", "", "No answer to \"Input JPG image\""},
        {"TextForReynolds", "tunnel.jpg 20abc 0.01 1 1 4 0 5",
         "\"20abc\" to \"Reynold's No.\" is not a number"},
        {"FractionForMesh", "tunnel.jpg 20 0.01 1 1 4 1.5 5",
         "\"1.5\" to \"Mesh spacing (0=coarse, 1=standard, 2=fine)\" is not a whole number"},
        {"IterationsOverflow", "tunnel.jpg 20 0.01 1 1 4 0 99999999999",
         "\"99999999999\" to \"Maximum number of iterations\" is out of range"},
        {"ZeroHeight", "tunnel.jpg 20 0.01 1 0 4 0 5", "tunnel height must be a positive number"},
        {"NegativeLength", "tunnel.jpg 20 0.01 1 1 -4 0 5", "tunnel length must be a positive number"},
        {"InfiniteLength", "tunnel.jpg 20 0.01 1 1 inf 0 5", "tunnel length must be a positive number"},
        {"NanHeight", "tunnel.jpg 20 0.01 1 nan 4 0 5", "tunnel height must be a positive number"},
        {"ZeroDensity", "tunnel.jpg 20 0.01 0 1 4 0 5", "density must be a positive number"},
        {"NegativeViscosity", "tunnel.jpg 20 -0.01 1 1 4 0 5", "kinematic viscosity must be zero or"},
        {"NegativeReynolds", "tunnel.jpg -20 0.01 1 1 4 0 5", "inlet velocity must be a positive"},
        {"ZeroTypedInletVelocity", "tunnel.jpg 0 0.01 1 1 4 0 5 0", "inlet velocity must be a positive"},
        {"NanTypedInletVelocity", "tunnel.jpg 20 0 1 1 4 0 5 nan", "inlet velocity must be a positive"},
        {"TunnelTooShort", "tunnel.jpg 20 0.01 1 1 0.05 0 5", "too short for its height"},
        {"MeshTooLong", "tunnel.jpg 20 0.01 1 1 1e30 2 5", "too long for its height"},
        {"MeshTooManyNodes", "tunnel.jpg 20 0.01 1 1 30000 0 5", "is too large"},
        {"MissingPicture", "nothing.jpg 20 0.01 1 1 4 0 5", "Can't open input jpg file"},
        {"DirectoryAsPicture", "folder.jpg 20 0.01 1 1 4 0 5", "Can't open input jpg file",
         [](const work_folder& f) { std::filesystem::create_directory(f.file("folder.jpg")); }},
        {"EmptyPicture", good, "Empty input file", [](const work_folder& f) { f.write("tunnel.jpg", ""); }},
        {"NotAJpeg", good, "Not a JPEG file",
         [](const work_folder& f) { f.write("tunnel.jpg", "P5 4 4 255 not a jpeg at all\n"); }},
        {"CmykPicture", good, "colour components",
         [](const work_folder& f) { write_jpeg(f.file("tunnel.jpg"), flat_picture(40, 10, 4, 200)); }},
        {"ConvergenceFileNotWritable", good, "Could not write \"convergence.txt\"",
         [](const work_folder& f) {
             grey_picture_file(f);
             std::filesystem::create_directory(f.file("convergence.txt"));
         }},
    };
}

class Refusal : public ::testing::TestWithParam<refusal> {};

TEST_P(Refusal, OneClearLineStatusTwoAndNoResultFile) {
    const refusal& c = GetParam();
    work_folder folder;
    if (c.prepare) {
        c.prepare(folder);
    } else {
        grey_picture_file(folder);
    }
    const std::set<std::string> before = folder.entries();
    const program_run run = folder.run(c.answers);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(folder.entries(), before);
    EXPECT_EQ(run.out.find("done."), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Inputs, Refusal, ::testing::ValuesIn(refusals()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RefusalMessages, ComponentCountAlsoNamedOnTheConsole) {
    work_folder folder;
    write_jpeg(folder.file("tunnel.jpg"), flat_picture(40, 10, 4, 200));
    const program_run run = folder.run(good);
    EXPECT_NE(run.out.find("Number of color components in JPG image not recognized\n"),
              std::string::npos);
}

TEST(RefusalMessages, MissingPictureIsTheOneLineOfTheLoader) {
    work_folder folder;
    const program_run run = folder.run("nothing.jpg 20 0.01 1 1 4 0 5");
    EXPECT_EQ(run.err, "Can't open input jpg file\n");
}

}  // namespace
}  // namespace veltaro::test
