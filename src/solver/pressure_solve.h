// Which solve the pressure equation uses. Both answer the same system
// (pressure_equation.h): factorised once before the loop, solved once per
// iteration, so the loop does not know which one it calls.
#pragma once

namespace veltaro {

enum class pressure_solver_kind {
    lu,   // SuperLU's sparse LU factors (the default: earlier results depend on it)
    fft,  // a cosine transform across the tunnel and a tridiagonal solve along it
};

// "lu" or "fft": the names the command line and the summary use.
const char* pressure_solver_name(pressure_solver_kind kind);

}  // namespace veltaro
