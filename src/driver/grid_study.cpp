#include "driver/grid_study.h"

#include <cmath>
#include <filesystem>
#include <iostream>
#include <new>
#include <optional>
#include <span>
#include <system_error>
#include <utility>

#include "analysis/grid_convergence.h"
#include "common/run_error.h"
#include "common/text_format.h"
#include "output/atomic_file.h"

namespace veltaro {
namespace {

namespace fs = std::filesystem;

// A coefficient the study estimates: its summary key, its console label
// and where a run's summary holds it.
struct grid_coefficient {
    const char* key;
    const char* label;
    std::optional<double> run_summary::*value;
};

constexpr grid_coefficient steady_coefficients[] = {
    {"drag_coefficient", "C_D", &run_summary::drag_coefficient},
    {"lift_coefficient", "C_L", &run_summary::lift_coefficient},
    {"drag_coefficient_chord", "C_D,c", &run_summary::drag_coefficient_chord},
    {"lift_coefficient_chord", "C_L,c", &run_summary::lift_coefficient_chord},
};
constexpr grid_coefficient time_accurate_coefficients[] = {
    {"strouhal", "St", &run_summary::strouhal},
    {"mean_drag_coefficient", "mean C_D", &run_summary::mean_drag_coefficient},
    {"lift_coefficient_amplitude", "C_L amplitude", &run_summary::lift_coefficient_amplitude},
};

const char* label_of(const std::string& key) {
    for (const auto& table : {std::span<const grid_coefficient>(steady_coefficients),
                              std::span<const grid_coefficient>(time_accurate_coefficients)}) {
        for (const grid_coefficient& c : table) {
            if (key == c.key) return c.label;
        }
    }
    return "?";
}

bool named_mesh(int mesh_choice) { return mesh_choice >= 0 && mesh_choice <= 2; }

// While alive, the process works in `folder`: each run writes its results
// by their bare names into the current folder.
class working_folder {
public:
    explicit working_folder(const fs::path& folder) {
        std::error_code error;
        fs::create_directories(folder, error);
        if (!error) fs::current_path(folder, error);
        if (error) throw run_error(write_error_message(folder.string(), error.message()));
    }
    ~working_folder() {
        std::error_code ignored;
        fs::current_path(previous_, ignored);
    }
    working_folder(const working_folder&) = delete;
    working_folder& operator=(const working_folder&) = delete;

private:
    fs::path previous_ = fs::current_path();
};

// Each file of `from` (but its summary.json) into `to`, whole or not at
// all: copied beside its final name, then renamed over it.
void copy_results(const fs::path& from, const fs::path& to, bool top = true) {
    for (const fs::directory_entry& entry : fs::directory_iterator(from)) {
        const fs::path name = entry.path().filename();
        const fs::path target = to / name;
        std::error_code error;
        if (entry.is_directory()) {
            fs::create_directories(target, error);
            if (error) throw run_error(write_error_message(target.string(), error.message()));
            copy_results(entry.path(), target, false);
            continue;
        }
        if (top && name == "summary.json") continue;
        std::string hidden = ".";
        hidden += name.string();
        hidden += ".copy";
        const fs::path temporary = to / hidden;
        fs::copy_file(entry.path(), temporary, fs::copy_options::overwrite_existing, error);
        if (!error) fs::rename(temporary, target, error);
        if (error) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            throw run_error(write_error_message(target.string(), error.message()));
        }
    }
}

case_result run_in_folder(const run_setup& setup, int nodes_across,
                          std::chrono::steady_clock::time_point started) {
    const working_folder inside(grid_folder(nodes_across));
    return run_case(setup, started, std::cout, std::cerr);
}

grid_mesh_summary mesh_of(const run_summary& run) {
    return {run.ny,
            run.nx,
            run.ny,
            run.dx,
            run.frontal_height,
            run.reynolds_frontal,
            grid_folder(run.ny),
            run.iterations,
            run.seconds};
}

grid_coefficient_summary estimate(const grid_coefficient& coefficient,
                                  const std::vector<run_summary>& runs) {
    std::array<double, grid_meshes> spacing{};
    std::array<std::optional<double>, grid_meshes> values;
    std::array<std::string, grid_meshes> names;
    for (int k = 0; k < grid_meshes; ++k) {
        spacing[k] = runs[k].dx;
        values[k] = runs[k].*coefficient.value;
        names[k] = std::to_string(runs[k].ny) + "-across";
    }
    const grid_estimate found = estimate_grid_error(spacing, values, names);
    grid_coefficient_summary summary;
    summary.name = coefficient.key;
    summary.values.assign(values.begin(), values.end());
    summary.order = found.order;
    summary.extrapolated = found.extrapolated;
    summary.band_relative = found.band_relative;
    summary.band_absolute = found.band_absolute;
    if (!found.reason.empty()) summary.reason = found.reason;
    summary.not_converging = found.not_converging;
    return summary;
}

// 0.63 -> "0.63", 12.3 -> "12", 150 -> "150".
std::string percent(double share) {
    const double value = 100.0 * share;
    return value < 100.0 ? format_text("%.2g", value) : format_text("%.0f", value);
}

std::string grid_line(const grid_coefficient_summary& c) {
    const char* label = label_of(c.name);
    const std::string value =
        c.values.empty() || !c.values[0] ? std::string("none") : format_text("%.4g", *c.values[0]);
    if (!c.band_relative) {
        return format_text("%s = %s (grid: no band, %s)\n", label, value.c_str(),
                           c.reason.value_or("").c_str());
    }
    if (c.reason) {  // a constant sequence: band 0
        return format_text("%s = %s ± %s%% (grid; %s)\n", label, value.c_str(),
                           percent(*c.band_relative).c_str(), c.reason->c_str());
    }
    return format_text("%s = %s ± %s%% (grid; extrapolated %.4g, order %.2g)\n", label,
                       value.c_str(), percent(*c.band_relative).c_str(), *c.extrapolated, *c.order);
}

std::vector<run_warning> study_warnings(const grid_study_summary& study) {
    std::vector<int> across;
    for (const grid_mesh_summary& mesh : study.meshes) across.push_back(mesh.nodes_across);
    std::vector<run_warning> warnings;
    for (const grid_coefficient_summary& c : study.coefficients) {
        if (!c.not_converging) continue;
        warnings.push_back(
            grid_not_converging(label_of(c.name), c.reason.value_or(""), c.values, across));
    }
    return warnings;
}

// The finest run's results and summary in the results folder, with the
// study and its warnings; the lines of the bands on the console.
int finish_study(run_summary top, grid_study_summary study, std::optional<run_warning> incomplete) {
    for (run_warning& warning : study_warnings(study)) top.warnings.push_back(std::move(warning));
    if (incomplete) top.warnings.push_back(std::move(*incomplete));
    if (!study.coefficients.empty()) std::cout << '\n';
    print_grid_study(std::cout, study);
    std::cout << std::flush;
    top.grid_study = std::move(study);
    try {
        write_summary("summary.json", top);
    } catch (const run_error& error) {
        std::cerr << error.what() << '\n';
        return error.status();
    }
    print_warnings(std::cerr, top.warnings);
    return completed_status;
}

}  // namespace

bool fast_transform_across(int ny) {
    int length = ny - 2;
    if (length < 1) return false;
    for (const int factor : {2, 3, 5, 7}) {
        while (length % factor == 0) length /= factor;
    }
    return length == 1;
}

std::array<int, grid_meshes> grid_nodes_across(int finest) {
    // The nearest fast size to `ideal`, the larger of two as near (one
    // exists: 2^k + 2 is fast). Such sizes lie a few per cent apart.
    const auto nearest_fast = [](double ideal) {
        int best = 0;
        for (int ny = 3; ny <= 2 * static_cast<int>(ideal) + 3; ++ny) {
            if (fast_transform_across(ny) && std::fabs(ny - ideal) <= std::fabs(best - ideal)) best = ny;
        }
        return best;
    };
    // N / r^2 = N / 2 from N, not from the middle mesh's.
    return {finest, nearest_fast(finest / grid_ratio), nearest_fast(finest / 2.0)};
}

std::string grid_folder(int nodes_across) {
    return "grid/" + std::to_string(nodes_across) + "-across";
}

void check_grid_study(const run_setup& planned) {
    const int choice = planned.answers.mesh_choice;
    if (!planned.options.nodes_across && !named_mesh(choice)) {
        throw run_error(format_text(
            "The grid study needs the mesh answer 0, 1 or 2 or --nodes-across=N: the answer %d "
            "gives a square 100 x 100 grid, not the tunnel's, which a coarser mesh cannot follow.",
            choice));
    }
    const std::array<int, grid_meshes> across = grid_nodes_across(planned.mesh.ny);
    if (across[2] >= fewest_grid_nodes_across) return;
    throw run_error(format_text(
        "The grid study needs at least %d nodes across on its coarsest mesh: %d across gives %d "
        "and %d; choose a finer mesh or --nodes-across of at least %d.",
        fewest_grid_nodes_across, across[0], across[1], across[2], 2 * fewest_grid_nodes_across));
}

grid_study_summary summarise_grid_study(const std::vector<run_summary>& runs, bool time_accurate) {
    grid_study_summary study;
    study.ratio = grid_ratio;
    double seconds = 0.0;
    for (const run_summary& run : runs) {
        study.meshes.push_back(mesh_of(run));
        seconds += run.seconds;
    }
    study.cost_factor = runs.empty() || !(runs[0].seconds > 0.0) ? 0.0 : seconds / runs[0].seconds;
    study.complete = runs.size() == grid_meshes;
    if (!study.complete) return study;
    const std::span<const grid_coefficient> coefficients =
        time_accurate ? std::span<const grid_coefficient>(time_accurate_coefficients)
                      : std::span<const grid_coefficient>(steady_coefficients);
    for (const grid_coefficient& c : coefficients) study.coefficients.push_back(estimate(c, runs));
    return study;
}

void print_grid_study(std::ostream& out, const grid_study_summary& study) {
    for (const grid_coefficient_summary& c : study.coefficients) out << grid_line(c);
}

int run_grid_study(const run_setup& finest, std::chrono::steady_clock::time_point started) {
    const std::array<int, grid_meshes> across = grid_nodes_across(finest.mesh.ny);
    std::vector<run_summary> runs;
    std::optional<run_warning> incomplete;
    for (int k = 0; k < grid_meshes && !incomplete; ++k) {
        std::cout << format_text("Grid study: mesh %d of %d, %d nodes across (%s)\n", k + 1,
                                 grid_meshes, across[k], grid_folder(across[k]).c_str())
                  << std::flush;
        if (k == 0) {
            // The finest run is the run itself: its failure is the run's.
            const case_result result = run_in_folder(finest, across[0], started);
            if (result.status != completed_status) return result.status;
            copy_results(grid_folder(across[0]), ".");
            runs.push_back(result.summary);
            continue;
        }
        std::string failure;
        try {
            const auto mesh_started = std::chrono::steady_clock::now();
            const run_setup setup = set_up_on_mesh(finest, across[k]);
            const case_result result = run_in_folder(setup, across[k], mesh_started);
            if (result.status == completed_status) {
                runs.push_back(result.summary);
                continue;
            }
            failure = "a result of that mesh could not be written (the line above names it).";
        } catch (const run_error& error) {
            std::cerr << error.what() << '\n';
            failure = error.what();
        } catch (const std::bad_alloc&) {
            failure = "not enough memory for that mesh.";
        }
        incomplete = grid_study_incomplete(k + 1, across[k], failure);
    }
    const bool time_accurate = finest.options.unsteady.has_value();
    return finish_study(runs.front(), summarise_grid_study(runs, time_accurate),
                        std::move(incomplete));
}

}  // namespace veltaro
