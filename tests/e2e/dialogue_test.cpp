// The dialogue as a user sees it, through the built program.
#include <gtest/gtest.h>

#include "support/make_jpeg.h"
#include "support/run_program.h"

namespace veltaro::test {
namespace {

const std::string prompts =
    "Veltaro - V3.0\n"
    "Slow 2D flow around an obstacle drawn in a JPEG picture\n"
    "\n"
    "Input JPG image: Reynold's No.: Kinematic viscosity [m^2/s]: Density [kg/m^3]: "
    "Wind tunnel height [m]: Wind tunnel length [m]: "
    "Mesh spacing (0=coarse, 1=standard, 2=fine): Maximum number of iterations: \n";

const std::string warning =
    "*    Warning: This program is only intended for low Reynold's No. flows.\n"
    "*    Consider trying a Reynold's No. less than 200.\n";

class Dialogue : public ::testing::Test {
protected:
    void SetUp() override { write_jpeg(folder.file("empty.jpg"), flat_picture(40, 10, 1, 255)); }
    work_folder folder;
};

TEST_F(Dialogue, PromptsInOrderThenTheRunStarts) {
    const program_run run = folder.run("empty.jpg\n20\n0.01\n1\n1\n4\n0\n0\n");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out.substr(0, prompts.size()), prompts);
    EXPECT_EQ(run.out.substr(prompts.size(), 7), "done.\n\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(Dialogue, AnswersOnOneLineOrWithWindowsLineEndsReadTheSame) {
    const program_run per_line = folder.run("empty.jpg\n20\n0.01\n1\n1\n4\n0\n3\n");
    const program_run one_line = folder.run("empty.jpg 20 0.01 1 1 4 0 3");
    const program_run windows = folder.run("empty.jpg\r\n20\r\n0.01\r\n1\r\n1\r\n4\r\n0\r\n3\r\n");
    EXPECT_EQ(per_line.status, 1);
    EXPECT_EQ(one_line.status, 1);
    EXPECT_EQ(windows.status, 1);
    EXPECT_EQ(per_line.out, one_line.out);
    EXPECT_EQ(per_line.out, windows.out);
}

TEST_F(Dialogue, WarningAboveReynoldsNumber200Only) {
    const program_run at_200 = folder.run("empty.jpg 200 0.001 1 1 4 0 0");
    EXPECT_EQ(at_200.out.find("Warning"), std::string::npos);
    const program_run above = folder.run("empty.jpg 200.5 0.001 1 1 4 0 0");
    EXPECT_EQ(above.status, 1);
    const std::string before_warning = "Reynold's No.: ";
    const std::size_t at = above.out.find(before_warning);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(above.out.substr(at + before_warning.size(), warning.size() + 29),
              warning + "Kinematic viscosity [m^2/s]: ");
}

TEST_F(Dialogue, InletVelocityAskedWhenItCannotBeDerived) {
    for (const char* answers :
         {"empty.jpg 0 0.01 1 1 4 0 0 0.25", "empty.jpg 20 0 1 1 4 0 0 0.25"}) {
        const program_run run = folder.run(answers);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.out.find("Maximum number of iterations: \nInlet Velocity: done.\n\n"),
                  std::string::npos)
            << run.out;
    }
    const program_run derived = folder.run("empty.jpg 100 0.001 1 1 4 0 0");
    EXPECT_EQ(derived.out.find("Inlet Velocity"), std::string::npos);
}

TEST_F(Dialogue, ExponentsAndSignsReadAsNumbers) {
    const program_run run = folder.run("empty.jpg +2e1 1e-2 +1 1e0 4 -0 +1");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.out.find("count = 1,"), std::string::npos);
}

}  // namespace
}  // namespace veltaro::test
