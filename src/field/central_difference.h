// The stencil of G_h, the central difference of a nodal field, before its
// scaling by 1 / (2 dx) or 1 / (2 dy):
//   along x:  q(i+1,j) - q(i-1,j)      (the columns west and east of i)
//   along y:  q(i,j+1) - q(i,j-1)      (column i itself)
// Each caller scales it in its own order and precision: the momentum update
// and the body's hold in single precision, the forces in double (T).
#pragma once

namespace veltaro {

template <typename T = float>
inline T difference_along_x(const float* west, const float* east, int j) {
    return static_cast<T>(east[j]) - static_cast<T>(west[j]);
}

template <typename T = float>
inline T difference_along_y(const float* column, int j) {
    return static_cast<T>(column[j + 1]) - static_cast<T>(column[j - 1]);
}

}  // namespace veltaro
