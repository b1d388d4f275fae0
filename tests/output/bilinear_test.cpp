#include "output/bilinear.h"

#include <gtest/gtest.h>

namespace veltaro {
namespace {

TEST(ClampedCell, InsideTheGridTheCellIsTheFloor) {
    const grid_cell cell = clamped_cell(2.25f, 2.25, 5);
    EXPECT_EQ(cell.lo, 2);
    EXPECT_EQ(cell.hi, 3);
    EXPECT_FLOAT_EQ(cell.fraction, 0.25f);
}

TEST(ClampedCell, TheLastNodeUsesTheLastCell) {
    const grid_cell cell = clamped_cell(4.0f, 4.0, 5);
    EXPECT_EQ(cell.lo, 3);
    EXPECT_EQ(cell.hi, 4);
    EXPECT_FLOAT_EQ(cell.fraction, 1.0f);
}

TEST(ClampedCell, ARunningSumThatDriftedAStepTooFarStaysOnTheGrid) {
    // The sum says 4, the exact position is just short of it.
    const grid_cell cell = clamped_cell(4.0f, 3.9375, 5);
    EXPECT_EQ(cell.lo, 3);
    EXPECT_EQ(cell.hi, 4);
    EXPECT_FLOAT_EQ(cell.fraction, 0.9375f);
}

TEST(ClampedCell, TheFractionComesFromThePositionNotFromTheSum) {
    // A sum that fell just short of 2 keeps the cell below; the fraction is
    // then a whole step, not 0.
    const grid_cell cell = clamped_cell(1.9999999f, 2.0, 5);
    EXPECT_EQ(cell.lo, 1);
    EXPECT_FLOAT_EQ(cell.fraction, 1.0f);
}

TEST(ClampedCell, ASingleNodeIsItsOwnCell) {
    const grid_cell cell = clamped_cell(0.0f, 0.0, 1);
    EXPECT_EQ(cell.lo, 0);
    EXPECT_EQ(cell.hi, 0);
}

TEST(Bilinear, InterpolatesAlongIThenAcross) {
    float_grid f(2, 2);
    f[0][0] = 1.0f;
    f[1][0] = 3.0f;
    f[0][1] = 5.0f;
    f[1][1] = 11.0f;
    const grid_cell left{0, 1, 0.0f};
    const grid_cell middle{0, 1, 0.5f};
    EXPECT_FLOAT_EQ(bilinear(f, left, 0, 1, 0.0f), 1.0f);
    EXPECT_FLOAT_EQ(bilinear(f, middle, 0, 1, 0.0f), 2.0f);
    EXPECT_FLOAT_EQ(bilinear(f, middle, 0, 1, 1.0f), 8.0f);
    EXPECT_FLOAT_EQ(bilinear(f, middle, 0, 1, 0.5f), 5.0f);
    // The rows may be given top first: fraction 0 is the first row named.
    EXPECT_FLOAT_EQ(bilinear(f, middle, 1, 0, 0.25f), 6.5f);
}

}  // namespace
}  // namespace veltaro
