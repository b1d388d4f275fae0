// face_field: the normal velocities on the faces between neighbouring
// nodes, the state of the face projection (--projection=faces). Face
// (i+1/2, j) lies half-way between nodes (i, j) and (i+1, j) and carries the
// x velocity through it; face (i, j+1/2) lies between (i, j) and (i, j+1)
// and carries the y velocity.
#pragma once

#include "field/flow_field.h"

namespace veltaro {

struct face_field {
    float_grid u;  // u[i][j]: face (i+1/2, j), i = 0 ... nx-2 (column nx-1 unused)
    float_grid v;  // v[i][j]: face (i, j+1/2), j = 0 ... ny-2 (row ny-1 unused)
};

// Both arrays the size of the field's, at zero. Throws run_error when the
// memory cannot be had.
face_field allocate_face_field(int nx, int ny);

// The faces of the field as it stands: each the mean of its two nodes, but
// the inlet's faces, which carry the inlet velocity, and the walls' faces,
// which carry none.
void initial_face_velocities(const flow_field& field, float inlet_velocity, face_field& faces);

// The face divergence at the interior node (i, j), 1/s:
//   D_f U = (U(i+1/2,j) - U(i-1/2,j)) / dx + (V(i,j+1/2) - V(i,j-1/2)) / dy,
// in double precision from the stored faces.
double face_divergence(const face_field& faces, float dx, float dy, int i, int j);

// Its largest size over the interior nodes.
double largest_face_divergence(const face_field& faces, float dx, float dy);

}  // namespace veltaro
