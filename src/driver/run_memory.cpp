#include "driver/run_memory.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>

#include "common/run_error.h"
#include "common/text_format.h"

namespace veltaro {
namespace {

// Fitted to the peak resident size of runs on meshes of 50 to 800 nodes
// across, in tunnels twice and four times as long as high (docs/method.md,
// section 12), a little above every one measured.
constexpr double fixed_bytes = 16e6;               // the program, its libraries and buffers
constexpr double field_bytes_per_node = 80.0;      // fields, work arrays, masks, outputs
constexpr double second_order_bytes_per_node = 8.0;  // its slopes and stages, less the moved nodes
constexpr double transform_bytes_per_node = 20.0;  // the transform solve: a float and two doubles
// The LU factors' fill grows with the node count times log2(ny): per node,
// 260 log2(ny) - 850 bytes (800 at ny = 100, 1,440 at ny = 600), at least
// the matrix's own 100.
double lu_factor_bytes(const mesh_size& mesh) {
    const double nodes = static_cast<double>(mesh.nx) * mesh.ny;
    const double per_node = 260.0 * std::log2(static_cast<double>(mesh.ny)) - 850.0;
    return nodes * std::max(per_node, 100.0);
}

std::optional<std::uint64_t> meminfo_available() {
    std::ifstream in("/proc/meminfo");
    std::string key;
    std::uint64_t kilobytes = 0;
    std::string unit;
    while (in >> key >> kilobytes >> unit) {
        if (key == "MemAvailable:") return kilobytes * 1024;
    }
    return std::nullopt;
}

// cgroup v2: memory.max ("max" without a limit) less memory.current.
std::optional<std::uint64_t> cgroup_available() {
    std::ifstream max_file("/sys/fs/cgroup/memory.max");
    std::ifstream current_file("/sys/fs/cgroup/memory.current");
    std::string max_text;
    std::uint64_t current = 0;
    if (!(max_file >> max_text) || max_text == "max" || !(current_file >> current)) {
        return std::nullopt;
    }
    const std::uint64_t limit = std::stoull(max_text);
    return limit > current ? limit - current : 0;
}

std::string gigabytes(double bytes) {
    return format_text(bytes >= 100e9 ? "%.0f GB" : "%.2g GB", bytes / 1e9);
}

}  // namespace

std::uint64_t estimate_run_memory(const mesh_size& mesh, const run_options& options) {
    const double nodes = static_cast<double>(mesh.nx) * mesh.ny;
    double bytes = fixed_bytes + field_bytes_per_node * nodes;
    if (options.advection == advection_scheme::second_order) {
        bytes += second_order_bytes_per_node * nodes;
    }
    bytes += options.pressure_solver == pressure_solver_kind::fft ? transform_bytes_per_node * nodes
                                                                  : lu_factor_bytes(mesh);
    return static_cast<std::uint64_t>(bytes);
}

std::optional<std::uint64_t> available_memory() {
    const std::optional<std::uint64_t> system = meminfo_available();
    const std::optional<std::uint64_t> group = cgroup_available();
    if (system && group) return std::min(*system, *group);
    return system ? system : group;
}

void check_run_memory(const mesh_size& mesh, const run_options& options) {
    const std::optional<std::uint64_t> available = available_memory();
    const std::uint64_t estimate = estimate_run_memory(mesh, options);
    if (!available || estimate <= *available) return;
    const std::string grid = std::to_string(mesh.nx) + " x " + std::to_string(mesh.ny) + " nodes";
    const std::string what =
        options.nodes_across ? "--nodes-across=" + std::to_string(*options.nodes_across) + " (" +
                                   grid + ")"
                             : "The mesh of " + grid;
    throw run_error(what + " would need about " + gigabytes(static_cast<double>(estimate)) +
                    " of memory, more than the " + gigabytes(static_cast<double>(*available)) +
                    " this machine has available; " +
                    (options.nodes_across ? "give fewer nodes across"
                                          : "choose a coarser mesh or a shorter tunnel") +
                    (options.pressure_solver == pressure_solver_kind::lu
                         ? ", or --pressure-solver=fft, which needs far less."
                         : "."));
}

}  // namespace veltaro
