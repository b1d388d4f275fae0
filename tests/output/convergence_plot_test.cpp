#include "output/convergence_plot.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "support/scratch_dir.h"

namespace veltaro {
namespace {

std::string decade_label(int decade) { return ">1e" + std::to_string(decade) + "<"; }

TEST(WriteConvergencePlot, GivesAnSvgThatParsesAndRendersWithItsDecadesAndThreshold) {
    // The change axis's decades, from low to high, with the
    // threshold 2e-6.
    const struct { const char* name; int count; double (*change)(int); int low, high; } cases[] = {
        {"decaying", 300, [](int k) { return std::pow(10.0, -k / 50.0); }, -6, 0},
        {"with zeros", 50, [](int k) { return k % 3 == 0 ? 0.0 : 1e-3; }, -6, -3},
        {"empty", 0, nullptr, -6, -5},
        {"a few iterations", 5, [](int k) { return 1e-3 * k; }, -6, -2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const test::scratch_dir dir;
        convergence_history history;
        for (int k = 1; k <= c.count; ++k) history.add(k, c.change(k), 0.0, c.change(k));
        write_convergence_plot("convergence.svg", history, 2e-6);

        // The renderer parses the XML strictly: it refuses a file that is not well formed.
        EXPECT_EQ(std::system("rsvg-convert -o plot.png convergence.svg"), 0);
        EXPECT_GT(std::filesystem::file_size("plot.png"), 0u);
        const std::string svg = test::read_file("convergence.svg");
        for (int decade = c.low - 1; decade <= c.high + 1; ++decade)  // and none beyond
            EXPECT_EQ(svg.find(decade_label(decade)) != std::string::npos,
                      decade >= c.low && decade <= c.high) << decade;
        EXPECT_NE(svg.find("stroke-dasharray"), std::string::npos);
        EXPECT_NE(svg.find(">stop threshold 2e-06<"), std::string::npos);
        // Every point of the lines lies within the plot, whose right edge is x = 700.
        for (auto at = svg.find("points=\""); at != std::string::npos;
             at = svg.find("points=\"", at + 1)) {
            std::istringstream points(svg.substr(at + 8, svg.find('"', at + 8) - at - 8));
            for (double x, y; points >> x && points.ignore() && points >> y;) EXPECT_LE(x, 700.0);
        }
    }
}

TEST(ConvergenceHistory, StaysWithinItsCapacityEvenlySpacedFromFirstToLatest) {
    for (const int count : {15, 16, 17, 1000, 1024, 1025}) {
        convergence_history history(16);
        for (int k = 1; k <= count; ++k) history.add(k, 1.0, 1.0, 1.0);
        const auto points = history.points();
        ASSERT_LE(points.size(), 16u) << count;
        EXPECT_EQ(std::pair(points.front().iteration, points.back().iteration), std::pair(1, count))
            << count;
        const int gap = points[1].iteration - points[0].iteration;
        for (std::size_t k = 1; k + 1 < points.size(); ++k)
            EXPECT_EQ(points[k].iteration - points[k - 1].iteration, gap) << count;
    }
}

}  // namespace
}  // namespace veltaro
