// vtk_file: "flow.vtk", the final flow for general-purpose visualisation
// tools: a legacy VTK file with binary (big-endian) data on the grid nodes.
// Point (i, j) is point number i + j * nx, x varying fastest, so the
// picture is the tunnel with the inlet on the left and the bottom wall at
// the bottom.
#pragma once

#include <string>
#include <vector>

#include "field/flow_field.h"
#include "field/grid.h"

namespace veltaro {

// Writes the velocity (u, v, 0), the pressure and the solid mask (1 solid,
// 0 fluid) of every node, with the field's spacing dx, dy. Values are
// written bit for bit, so a non-finite one would show as such. Throws run_error naming the file when it cannot be written or
// when an array does not match the grid size.
void write_vtk_file(const std::string& file_name, const flow_field& field,
                    const int_grid& solid_nodes);

// One frame of a time-accurate run's series: the velocity (u, v, 0) and the
// vorticity omega of every node, on the same grid, as a VTK XML image
// (".vti", the data appended raw): a ".pvd" collection can list only XML
// files, not legacy ones.
void write_vtk_frame(const std::string& file_name, const flow_field& field,
                     const float_grid& omega);

// A frame file and the flow time it shows, s.
struct series_entry {
    std::string file;  // relative to the collection's folder
    double time = 0.0;
};

// The collection that makes the frames one time series in ParaView (".pvd":
// each file with its flow time).
void write_pvd_collection(const std::string& file_name, const std::vector<series_entry>& entries);

}  // namespace veltaro
