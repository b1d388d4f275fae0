#include "solver/pressure_solve.h"

namespace veltaro {

const char* pressure_solver_name(pressure_solver_kind kind) {
    return kind == pressure_solver_kind::fft ? "fft" : "lu";
}

}  // namespace veltaro
