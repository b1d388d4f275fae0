// Checks "flow.vtk" with VTK's own reader rather than our idea of the format.
#include "output/vtk_file.h"

#include <vector>

#include <gtest/gtest.h>

#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace veltaro {
namespace {

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
    const test::vtk_contents expected = {
        {"dimensions", {4, 3, 1}},    {"spacing", {0.5f, 0.25f, 1}}, {"origin", {0, 0, 0}},
        {"velocity:float", velocity}, {"pressure:float", pressure},  {"solid:int", solids}};
    EXPECT_EQ(test::read_with_vtk("flow.vtk"), expected);
}

}  // namespace
}  // namespace veltaro
