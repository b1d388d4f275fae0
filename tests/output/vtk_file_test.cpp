// Checks "flow.vtk" with VTK's own reader rather than our idea of the format.
#include "output/vtk_file.h"

#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/scratch_dir.h"

namespace veltaro {
namespace {

// "dimensions", "spacing", "origin" and "<array>:<type>" -> values, from
// tests/support/read_vtk.py. Every value written is a float or a small
// int, so narrowing what VTK read back to float is exact.
using vtk_contents = std::map<std::string, std::vector<float>>;

vtk_contents read_with_vtk(const std::string& file_name) {
    // The system Python, which is the one the VTK bindings are packaged for.
    const std::string command = std::string("/usr/bin/python3 '") + VELTARO_TEST_DATA +
                                "/../support/read_vtk.py' '" + file_name + "'";
    const std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    vtk_contents contents;
    char line[1 << 16];  // the longest line: the velocity of 12 nodes
    for (std::string name; std::fgets(line, sizeof line, pipe.get());) {
        std::istringstream words(line);
        words >> name;
        for (double value; words >> value;) contents[name].push_back(static_cast<float>(value));
    }
    return contents;
}

TEST(WriteVtkFile, VtkReadsBackEveryNodeInPointOrder) {
    test::scratch_dir dir;
    flow_field field = allocate_flow_field(4, 3, 0.5f, 0.25f);
    int_grid solid(4, 3);
    std::vector<float> velocity, pressure, solids;
    for (int j = 0; j < 3; ++j) {
        for (int i = 0; i < 4; ++i) {
            field.u[i][j] = 1.25f * static_cast<float>(i) + 0.1f * static_cast<float>(j);
            field.v[i][j] = -0.03f * static_cast<float>(i * j + 1);
            field.p[i][j] = 1e-4f * static_cast<float>(7 * i - 5 * j);
            solid[i][j] = (i + j) % 3 == 0;
            velocity.insert(velocity.end(), {field.u[i][j], field.v[i][j], 0.0f});
            pressure.push_back(field.p[i][j]);
            solids.push_back(static_cast<float>(solid[i][j]));
        }
    }
    write_vtk_file("flow.vtk", field, solid);
    const vtk_contents expected = {{"dimensions", {4, 3, 1}},    {"spacing", {0.5f, 0.25f, 1}},
                                   {"origin", {0, 0, 0}},        {"velocity:float", velocity},
                                   {"pressure:float", pressure}, {"solid:int", solids}};
    EXPECT_EQ(read_with_vtk("flow.vtk"), expected);
}

}  // namespace
}  // namespace veltaro
