#include "solver/projection_scheme.h"

namespace veltaro {

const char* projection_scheme_name(projection_scheme scheme) {
    return scheme == projection_scheme::faces ? "faces" : "nodes";
}

}  // namespace veltaro
