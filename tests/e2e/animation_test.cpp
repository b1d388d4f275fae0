// The animation of a time-accurate run through the built program: the file
// holds the frames asked for at the picture's size with one legend, and
// --frames-vtk's series lists as many frames as VTK reads back.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>

#include <nlohmann/json.hpp>

#include "output/animation_frames.h"
#include "output/webp_animation.h"
#include "support/pictures.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace veltaro::test {
namespace {

std::string vtk_arrays(const std::string& file_name) {
    const std::string command = std::string("/usr/bin/python3 '") + VELTARO_TEST_DATA +
                                "/../support/read_vtk.py' '" + file_name + "' | cut -d' ' -f1";
    const std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string text;
    char buffer[256];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe.get()))
        text.append(buffer, n);
    return text;
}

TEST(AnimationRun, FramesDecodeAndTheSeriesReadsBack) {
    const scratch_dir folder;
    write_jpeg("tunnel.jpg", disc_picture(400, 100, 100.0, 50.0, 10.0));
    const program_run run =
        run_program("tunnel.jpg 100 0.01 1 1 4 0 100000", surroundings::plain,
                    "--unsteady=0.5 --pressure-solver=fft --frames=6 --frames-vtk");
    ASSERT_EQ(run.status, 1) << run.err;
    const auto summary = nlohmann::json::parse(read_file("summary.json"));
    EXPECT_EQ(summary["frames"], 6);
    EXPECT_EQ(summary["frames_vtk"], true);

    const decoded_animation animation = read_webp_animation("vorticity.webp");
    ASSERT_EQ(animation.frames.size(), 6u);
    EXPECT_EQ(animation.width, 400);
    EXPECT_EQ(animation.height, 100 + legend_height);
    const std::size_t legend = 4 * std::size_t{400} * 100;
    for (const auto& frame : animation.frames) {
        EXPECT_TRUE(
            std::equal(frame.begin() + legend, frame.end(), animation.frames[0].begin() + legend));
    }
    EXPECT_NE(animation.frames.front(), animation.frames.back());

    const std::string collection = read_file("frames.pvd");
    const std::regex data_set(R"re(timestep="([0-9.e+-]+)"[^>]*file="([^"]+)")re");
    int listed = 0;
    double before = 0.0;
    for (std::sregex_iterator m(collection.begin(), collection.end(), data_set), end; m != end;
         ++m, ++listed) {
        const double time = std::stod((*m)[1]);
        EXPECT_GE(time, 0.375);  // the last quarter of 0.5 s
        EXPECT_GT(time, before);
        before = time;
        EXPECT_EQ(vtk_arrays((*m)[2]),
                  "dimensions\nspacing\norigin\nvelocity:float\nvorticity:float\n");
    }
    EXPECT_EQ(listed, 6);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("frames"), {}), 6);
}

}  // namespace
}  // namespace veltaro::test
