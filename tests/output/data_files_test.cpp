#include "output/data_files.h"

#include <filesystem>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "common/run_error.h"
#include "support/scratch_dir.h"

namespace veltaro {
namespace {

using test::directory_entries;
using test::read_file;
using test::write_file;

flow_field field_of_size(int nx, int ny) {
    flow_field field;
    field.nx = nx;
    field.ny = ny;
    field.u_adv = float_grid(nx, ny);
    field.v_adv = float_grid(nx, ny);
    field.p = float_grid(nx, ny);
    return field;
}

TEST(WriteDataFile, RowsRunFromTheTopWallDownAndEveryValueEndsInABlank) {
    test::scratch_dir dir;
    float_grid values(2, 2);
    values[0][0] = 1.0f;
    values[1][0] = 2.0f;
    values[0][1] = 3.0f;
    values[1][1] = 4.0f;
    write_data_file("T.dat", 2, 2, values);
    EXPECT_EQ(read_file("T.dat"), "3.000000e+00 4.000000e+00 \n1.000000e+00 2.000000e+00 \n");
}

TEST(WriteDataFile, ValuesAreWidenedFloatsInExponentForm) {
    test::scratch_dir dir;
    float_grid values(3, 1);
    values[0][0] = -1.5e-7f;
    values[1][0] = 0.1f;  // the float nearest 0.1, which prints as 1.000000e-01
    values[2][0] = 123456.0f;
    write_data_file("T.dat", 3, 1, values);
    EXPECT_EQ(read_file("T.dat"), "-1.500000e-07 1.000000e-01 1.234560e+05 \n");
}

TEST(OutputResults, WritesTheAdvectedVelocityAndThePressure) {
    test::scratch_dir dir;
    flow_field field = field_of_size(1, 1);
    field.u = float_grid(1, 1, 9.0f);  // not written: the files show u_adv and v_adv
    field.u_adv[0][0] = 1.0f;
    field.v_adv[0][0] = 2.0f;
    field.p[0][0] = 3.0f;
    output_results(field);
    EXPECT_EQ(read_file("U.dat"), "1.000000e+00 \n");
    EXPECT_EQ(read_file("V.dat"), "2.000000e+00 \n");
    EXPECT_EQ(read_file("P.dat"), "3.000000e+00 \n");
}

TEST(OutputResults, NoRowsGiveEmptyFiles) {
    test::scratch_dir dir;
    output_results(field_of_size(2, 0));
    EXPECT_EQ(directory_entries(), (std::set<std::string>{"P.dat", "U.dat", "V.dat"}));
    EXPECT_EQ(read_file("U.dat"), "");
    EXPECT_EQ(read_file("P.dat"), "");
}

TEST(OutputResults, NoColumnsGiveOneEmptyLinePerRow) {
    test::scratch_dir dir;
    output_results(field_of_size(0, 3));
    EXPECT_EQ(read_file("U.dat"), "\n\n\n");
    EXPECT_EQ(read_file("V.dat"), "\n\n\n");
}

TEST(OutputResults, OverwritesTheFilesOfAnEarlierRun) {
    test::scratch_dir dir;
    write_file("U.dat", "an earlier, longer table\n");
    output_results(field_of_size(1, 1));
    EXPECT_EQ(read_file("U.dat"), "0.000000e+00 \n");
}

TEST(OutputResults, AFileThatCannotBeWrittenDoesNotStopTheOthers) {
    test::scratch_dir dir;
    std::filesystem::create_directory("V.dat");
    write_file("V.dat/inside", "kept");
    try {
        output_results(field_of_size(1, 1));
        FAIL() << "expected a run_error";
    } catch (const run_error& error) {
        EXPECT_STREQ(error.what(), "Could not write \"V.dat\": Is a directory");
    }
    EXPECT_EQ(read_file("U.dat"), "0.000000e+00 \n");
    EXPECT_EQ(read_file("P.dat"), "0.000000e+00 \n");
    EXPECT_EQ(read_file("V.dat/inside"), "kept");
    EXPECT_EQ(directory_entries(), (std::set<std::string>{"P.dat", "U.dat", "V.dat"}));
}

TEST(OutputResults, AFullDiskNamesEveryFailedFileAndKeepsTheOlderFiles) {
    test::scratch_dir dir;
    write_file("U.dat", "old U\n");
    write_file("P.dat", "old P\n");
    try {
        const test::file_size_limit limit(64);
        output_results(field_of_size(20, 20));
        FAIL() << "expected a run_error";
    } catch (const run_error& error) {
        EXPECT_STREQ(error.what(),
                     "Could not write \"U.dat\": File too large\n"
                     "Could not write \"V.dat\": File too large\n"
                     "Could not write \"P.dat\": File too large");
    }
    EXPECT_EQ(read_file("U.dat"), "old U\n");
    EXPECT_EQ(read_file("P.dat"), "old P\n");
    EXPECT_EQ(directory_entries(), (std::set<std::string>{"P.dat", "U.dat"}));
}

TEST(WriteDataFile, AFieldOfTheWrongSizeIsRefusedBeforeTheFileIsMade) {
    test::scratch_dir dir;
    EXPECT_THROW(write_data_file("T.dat", 3, 2, float_grid(2, 2)), run_error);
    EXPECT_TRUE(directory_entries().empty());
}

}  // namespace
}  // namespace veltaro
