#include "solver/advection_scheme.h"

namespace veltaro {

const char* advection_scheme_name(advection_scheme scheme) {
    return scheme == advection_scheme::second_order ? "second-order" : "first-order";
}

}  // namespace veltaro
