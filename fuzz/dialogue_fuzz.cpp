// Fuzz target: arbitrary bytes as the answers on standard input, through
// everything the run does with them before the flow field is created: the
// questions, the inlet velocity, the derived parameters, their checks and
// the mesh sizing. A refusal (run_error) is a correct outcome; any other
// exception, a crash, a sanitizer report or a hang is a finding, and so is
// an accepted answer set that would give the solver an unusable mesh or a
// non-finite parameter.
//
//   scripts/fuzz.sh dialogue 600        # ten minutes on the seed corpus
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "driver/set_up_run.h"
#include "common/run_error.h"
#include "fuzz_support.h"

namespace veltaro::fuzz {
namespace {

bool positive_finite(float value) { return std::isfinite(value) && value > 0.0f; }

void check_accepted(const dialogue_answers& answers, const run_parameters& params,
                    const mesh_size& mesh) {
    require(!answers.filename.empty(), "an empty file name");
    require(answers.filename.find_first_of(" \t\n\v\f\r") == std::string::npos,
            "a blank in the file name");
    require(mesh.nx >= 3 && mesh.ny >= 3, "fewer than 3 nodes each way");
    require(static_cast<long long>(mesh.nx) * mesh.ny <= max_mesh_nodes,
            "a mesh over the node limit");
    require(mesh.dx >= min_node_spacing && mesh.dx <= max_node_spacing,
            "a node spacing out of range");
    require(positive_finite(params.inlet_velocity),
            "an inlet velocity that is not positive and finite");
    require(positive_finite(params.density), "a density that is not positive and finite");
    require(std::isfinite(params.dynamic_viscosity) && params.dynamic_viscosity >= 0.0f,
            "a viscosity that is negative or not finite");
    require(positive_finite(params.height) && positive_finite(params.length),
            "a tunnel size that is not positive and finite");
}

void answer_questions(const std::string& typed) {
    std::istringstream in(typed);
    const run_setup setup = plan_run(in, null_stream());
    check_accepted(setup.answers, setup.params, setup.mesh);
}

}  // namespace
}  // namespace veltaro::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        veltaro::fuzz::answer_questions(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const veltaro::run_error&) {
        // A refusal: what the program must do with answers it cannot use.
    }
    return 0;
}
