#include "driver/run_warnings.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <utility>

#include "common/run_error.h"
#include "common/text_format.h"
#include "driver/dialogue.h"
#include "driver/derived_parameters.h"
#include "geometry/obstacle_extent.h"

namespace veltaro {
namespace {

using maybe_warning = std::optional<run_warning>;

bool named_mesh(int mesh_choice) { return mesh_choice >= 0 && mesh_choice <= 2; }

// The steady residual of the last iteration, when one ran.
double last_residual(const loop_result& loop) {
    return loop.steadiness ? loop.steadiness->residual : 0.0;
}

bool ended_steady(const loop_result& loop) { return loop.steadiness && loop.steadiness->steady; }

// A time-accurate run that the limit ended before its flow time.
maybe_warning flow_time_limit(const run_setup& setup, const loop_result& loop) {
    if (loop.reached_end_time) return std::nullopt;
    const double end_time = *setup.options.unsteady;
    const double needed = std::ceil(loop.iterations * end_time / loop.flow_time);
    return run_warning{"iteration_limit",
                       format_text("the run stopped at the iteration limit of %d at the flow "
                                   "time %.4g s, before the flow time %g s it was to reach: "
                                   "raise the limit (about %.0f iterations would reach it).",
                                   setup.answers.max_iterations, loop.flow_time, end_time,
                                   needed)};
}

maybe_warning iteration_limit(const run_setup& setup, const loop_result& loop) {
    const int limit = setup.answers.max_iterations;
    if (limit <= 0 || loop.converged || loop.at_rest) return std::nullopt;
    if (setup.options.unsteady) return flow_time_limit(setup, loop);
    // Told to run exactly this long, or already steady: the limit cut nothing short.
    if (setup.options.stop == stop_rule::limit || ended_steady(loop)) return std::nullopt;
    return run_warning{"iteration_limit",
                       format_text("the run stopped at the iteration limit of %d before it "
                                   "settled (last changes U %.1e, V %.1e; steady residual "
                                   "%.1e): the results are not a steady flow; raise the limit.",
                                   limit, loop.change_u, loop.change_v, last_residual(loop))};
}

// The quiet rule watches the mean velocities, which can stop changing while
// the flow still does; a run told to stop at its limit may end anywhere.
maybe_warning not_steady(const run_setup& setup, const loop_result& loop) {
    const stop_rule rule = setup.options.stop;
    if (setup.options.unsteady) return std::nullopt;  // meant to keep changing
    const bool quiet_stop = rule == stop_rule::quiet && loop.converged;
    const bool limit_run = rule == stop_rule::limit && loop.iterations > 0 && !loop.at_rest;
    if (!quiet_stop && !limit_run) return std::nullopt;
    if (ended_steady(loop) || last_residual(loop) <= unsteady_warning_limit) return std::nullopt;
    const char* how = quiet_stop ? "the mean velocities had stopped changing" : "it was told to";
    return run_warning{
        "not_steady",
        format_text("the run stopped after %d iterations because %s, but the flow was still "
                    "changing (steady residual %.1e U^2/c, above %.0e): its forces and pictures "
                    "are not yet those of the steady flow; run again with --stop-rule=steady.",
                    loop.iterations, how, last_residual(loop), unsteady_warning_limit)};
}

// The steady rule also stops a run whose velocities change by no more than
// their rounding (analysis/steady_residual.h). R is then what single precision
// allows, 4 ulp of the largest speed per time step, which a small time step
// (a fine mesh, a slow viscous flow) makes large; a drift that slow cannot
// be seen from one iteration to the next, only over many.
maybe_warning steady_at_floor(const run_setup& setup, const loop_result& loop) {
    if (setup.options.unsteady || setup.options.stop != stop_rule::steady || !loop.converged) {
        return std::nullopt;
    }
    const double residual = last_residual(loop);
    if (residual <= unsteady_warning_limit) return std::nullopt;
    const long longer = std::min(2L * loop.iterations, long{std::numeric_limits<int>::max()});
    return run_warning{
        "steady_at_floor",
        format_text("the run stopped after %d iterations as steady because its velocities no "
                    "longer changed by more than their single-precision rounding, but its steady "
                    "residual of %.1e U^2/c is above %.0e: ",
                    loop.iterations, residual, unsteady_warning_limit) +
            format_text("a drift that slow hides in the rounding; check that the forces stay "
                        "with a run of twice as many iterations (--stop-rule=limit and a limit "
                        "of %ld).",
                        longer)};
}

// Crossings of C_L through its mean over the last 20% of a steady run's
// samples, which are evenly spaced in iterations, and the swing max - min
// there.
maybe_warning unsteady_flow(const run_setup& setup, std::span<const force_sample> samples) {
    if (setup.options.unsteady) return std::nullopt;
    const auto window =
        samples.subspan(samples.size() - samples.size() * periodic_window_percent / 100);
    if (window.size() < 2 || !std::isfinite(window.front().lift_coefficient)) return std::nullopt;
    double sum = 0.0;
    double low = window.front().lift_coefficient;
    double high = low;
    for (const force_sample& s : window) {
        sum += s.lift_coefficient;
        low = std::min(low, s.lift_coefficient);
        high = std::max(high, s.lift_coefficient);
    }
    const double mean = sum / static_cast<double>(window.size());
    // A crossing counts when C_L goes from the band above its mean to the
    // band below, or back: a drift through the mean with a little noise on
    // it is one crossing, not many.
    const double band = crossing_band_share * 0.5 * (high - low);
    int crossings = 0;
    for (const lift_crossing& c : lift_crossings(window, mean, band, crossing_direction::either)) {
        crossings += c.complete ? 1 : 0;
    }
    if (crossings < periodic_crossings || high - low <= settled_lift_swing) return std::nullopt;
    const double ten_flow_throughs = 10.0 * setup.params.length / setup.params.inlet_velocity;
    return run_warning{
        "unsteady_flow",
        format_text("the lift coefficient swings by %.2g about its mean and crosses it %d times "
                    "in the last 20%% of the iterations: ",
                    high - low, crossings) +
            format_text("the flow looks periodic (a vortex street), which no steady state "
                        "describes; run it in time with --unsteady=T, for example "
                        "--unsteady=%.2g (ten flow-through times).",
                        ten_flow_throughs)};
}

// Rounded up to two significant digits.
double round_up(double value) {
    const double unit = std::pow(10.0, std::floor(std::log10(value)) - 1.0);
    return std::ceil(value / unit) * unit;
}

maybe_warning short_record(const run_setup& setup, const std::optional<shedding_report>& report) {
    if (!setup.options.unsteady || !report) return std::nullopt;
    const shedding_measure& m = report->measure;
    if (m.settles || m.cycles >= fewest_reported_cycles) return std::nullopt;
    if (!setup.obstacle.has_obstacle) return std::nullopt;
    const double end_time = *setup.options.unsteady;
    // Two cycles to spare beyond the fifth, at the last period measured;
    // without one, three times as long, and at least thrice the start-up.
    const double enough =
        m.last_period ? end_time + (fewest_reported_cycles + 2 - m.cycles) * *m.last_period
                      : 3.0 * std::max(end_time, start_up_tilt_of(setup).gone_at);
    return run_warning{"short_record",
                       format_text("the lift has %d periodic cycles after its start-up, fewer "
                                   "than %d, so the run gives no Strouhal number, mean drag or "
                                   "amplitudes; run longer, with --unsteady=%g.",
                                   m.cycles, fewest_reported_cycles, round_up(enough))};
}

maybe_warning no_iterations(const run_setup& setup) {
    const int limit = setup.answers.max_iterations;
    if (limit > 0) return std::nullopt;
    return run_warning{"no_iterations",
                       format_text("the iteration limit of %d let no iteration run: the forces "
                                   "and pictures are those of the initial flow, not a solution; "
                                   "give a limit of at least 1 (runs settle in hundreds to "
                                   "thousands).",
                                   limit)};
}

// The console has warned since the dialogue; this says it where the
// summary's readers look, with what to do instead.
maybe_warning high_reynolds(const run_setup& setup) {
    const float reynolds = setup.answers.reynolds;
    // A time-accurate run is the way for such flows, not a doubtful result.
    if (setup.options.unsteady || !(reynolds > warning_reynolds)) return std::nullopt;
    return run_warning{
        "high_reynolds",
        format_text("the Reynolds number of %g is above %g: the steady method is meant for low "
                    "Reynolds numbers, and above them the flow sheds eddies that a steady "
                    "solution does not hold; time-accurate runs (--unsteady=T) are the way for "
                    "such flows.",
                    static_cast<double>(reynolds), static_cast<double>(warning_reynolds))};
}

maybe_warning mesh_choice(const run_setup& setup) {
    const int choice = setup.answers.mesh_choice;
    // --nodes-across sizes the mesh: the answer is only recorded.
    if (named_mesh(choice) || setup.options.nodes_across) return std::nullopt;
    const double dx = setup.mesh.dx;
    return run_warning{
        "mesh_choice",
        format_text("the mesh answer %d is not 0, 1 or 2, so the grid is %d x %d nodes %g m "
                    "apart and spans %g m x %g m, not the tunnel's %g m x %g m: the flow is "
                    "that of another tunnel; answer 0 (coarse), 1 (standard) or 2 (fine).",
                    choice, setup.mesh.nx, setup.mesh.ny, dx, (setup.mesh.nx - 1) * dx,
                    (setup.mesh.ny - 1) * dx, static_cast<double>(setup.params.length),
                    static_cast<double>(setup.params.height))};
}

bool every_pixel_dark(const int_grid& picture) {
    const int* pixel = picture.data();
    for (std::size_t k = 0; k < picture.size(); ++k) {
        if (pixel[k] != obstacle_pixel) return false;
    }
    return picture.size() > 0;
}

maybe_warning all_solid(const run_setup& setup) {
    if (!every_pixel_dark(setup.masks.picture)) return std::nullopt;
    return run_warning{"all_solid",
                       "every pixel of the picture is dark, so the whole tunnel is solid and its "
                       "forces and coefficients mean nothing; draw the obstacle dark on a light "
                       "background (a transparent background saved as a JPEG turns black)."};
}

maybe_warning stretched_picture(const run_setup& setup) {
    const int_grid& picture = setup.masks.picture;
    const double picture_ratio = static_cast<double>(picture.nx()) / picture.ny();
    const double tunnel_ratio =
        static_cast<double>(setup.params.length) / static_cast<double>(setup.params.height);
    const double relative = picture_ratio / tunnel_ratio;
    if (std::abs(relative - 1.0) <= stretch_tolerance) return std::nullopt;
    // A circle of the picture spans (L / width) / (H / height) times as many
    // metres along the tunnel as across it.
    return run_warning{
        "stretched_picture",
        format_text("the picture's width/height of %.4g (%d x %d pixels) is not the tunnel's "
                    "length/height of %.4g, so the picture is stretched over the tunnel and a "
                    "circle drawn in it becomes an ellipse %.3g times as long as it is high; "
                    "draw the picture in the tunnel's proportions.",
                    picture_ratio, picture.nx(), picture.ny(), tunnel_ratio, 1.0 / relative)};
}

// The node spacings across the obstacle on mesh m, or nothing when that
// mesh cannot be made for this tunnel. fraction: the share of the grid's
// height that the obstacle's frontal height spans (the picture is stretched
// over the grid, whatever its mesh).
std::optional<double> spacings_on_mesh(int mesh, const run_setup& setup, double fraction) {
    try {
        const mesh_size size = size_mesh(mesh, setup.params.length, setup.params.height);
        return fraction * (size.ny - 1);
    } catch (const run_error&) {
        return std::nullopt;
    }
}

// The fewest nodes across that give the obstacle enough node spacings,
// fraction (ny - 1) >= well_resolved_spacings.
std::string nodes_across_advice(double fraction) {
    auto across = static_cast<long long>(std::ceil(well_resolved_spacings / fraction)) + 1;
    while (fraction * static_cast<double>(across - 1) < well_resolved_spacings) ++across;
    return format_text("--nodes-across=%lld gives %.1f.", across,
                       fraction * static_cast<double>(across - 1));
}

// The first mesh finer than the chosen one (any named one after an unnamed
// answer) that gives the obstacle enough node spacings; with --nodes-across,
// the N that does.
std::string finer_mesh_advice(const run_setup& setup, double fraction) {
    if (setup.options.nodes_across) return nodes_across_advice(fraction);
    constexpr const char* names[] = {"coarse", "standard", "fine"};
    const int current = setup.answers.mesh_choice;
    std::optional<double> finest;
    for (int mesh = named_mesh(current) ? current + 1 : 0; mesh <= 2; ++mesh) {
        finest = spacings_on_mesh(mesh, setup, fraction);
        if (finest && *finest >= well_resolved_spacings) {
            return format_text("the %s mesh (answer %d) gives %.1f.", names[mesh], mesh, *finest);
        }
    }
    if (finest) {
        return format_text(
            "even the fine mesh gives only %.1f: draw the obstacle larger "
            "against the tunnel.",
            *finest);
    }
    return "no finer mesh can help: draw the obstacle larger against the tunnel.";
}

maybe_warning coarse_obstacle(const run_setup& setup, const force_coefficients& coefficients) {
    if (!coefficients.has_obstacle) return std::nullopt;
    const double height = coefficients.frontal_height;
    const double spacings = height / setup.mesh.dx;
    if (spacings >= well_resolved_spacings) return std::nullopt;
    return run_warning{
        "coarse_obstacle",
        format_text("the obstacle's frontal height of %g m spans only %.1f node spacings on "
                    "this mesh, fewer than %g: its lift is not to be trusted and its drag only "
                    "to within a few per cent; ",
                    height, spacings, well_resolved_spacings) +
            finer_mesh_advice(setup, spacings / (setup.mesh.ny - 1))};
}

// The share of the grid's height that the frontal height fills is that of
// the picture's rows that hold a dark pixel: the picture spans the grid.
maybe_warning high_blockage(const run_setup& setup, const force_coefficients& coefficients) {
    if (!coefficients.has_obstacle || every_pixel_dark(setup.masks.picture)) return std::nullopt;
    const int_grid& picture = setup.masks.picture;
    const double share = static_cast<double>(measure_obstacle(picture).rows) / picture.ny();
    if (share <= high_blockage_share) return std::nullopt;
    return run_warning{
        "high_blockage",
        format_text("the obstacle's frontal height of %g m fills %.0f%% of the tunnel's height, "
                    "more than %.0f%%: ",
                    coefficients.frontal_height, 100.0 * share, 100.0 * high_blockage_share) +
            std::string("the walls squeeze the flow past it, so its drag is far above, and its "
                        "wake unlike, the same body's in open flow; draw it smaller in the "
                        "picture, with more light rows above and below it (the picture is "
                        "stretched over the tunnel, whatever its height).")};
}

// The edges that hold a solid node, in words: "the inlet and the top wall".
std::string solid_edges(const int_grid& solid) {
    const int nx = solid.nx();
    const int ny = solid.ny();
    bool inlet = false, bottom = false, top = false;
    for (int j = 0; j < ny; ++j) inlet = inlet || solid[0][j] != 0;
    for (int i = 0; i < nx; ++i) {
        bottom = bottom || solid[i][0] != 0;
        top = top || solid[i][ny - 1] != 0;
    }
    std::string edges;
    for (const auto& [touched, name] :
         {std::pair{inlet, "the inlet"}, std::pair{top, "the top wall"},
          std::pair{bottom, "the bottom wall"}}) {
        if (!touched) continue;
        if (!edges.empty()) edges += " and ";
        edges += name;
    }
    return edges;
}

maybe_warning obstacle_touches_boundary(const run_setup& setup) {
    const std::string edges = solid_edges(setup.masks.solid_nodes);
    if (edges.empty()) return std::nullopt;
    return run_warning{"obstacle_touches_boundary",
                       "the obstacle reaches " + edges +
                           " (solid nodes there), where the flow is meant to enter or slide "
                           "freely: the results are not those of a body in a tunnel; leave a "
                           "gap of a few node spacings between the obstacle and the tunnel's "
                           "edges."};
}

void add(std::vector<run_warning>& warnings, maybe_warning warning) {
    if (warning) warnings.push_back(std::move(*warning));
}

}  // namespace

std::vector<run_warning> loop_warnings(const run_setup& setup, const loop_result& loop,
                                       std::span<const force_sample> samples,
                                       const std::optional<shedding_report>& shedding) {
    std::vector<run_warning> warnings;
    add(warnings, iteration_limit(setup, loop));
    add(warnings, not_steady(setup, loop));
    add(warnings, steady_at_floor(setup, loop));
    add(warnings, no_iterations(setup));
    add(warnings, unsteady_flow(setup, samples));
    add(warnings, short_record(setup, shedding));
    return warnings;
}

std::vector<run_warning> setup_warnings(const run_setup& setup,
                                        const force_coefficients& coefficients) {
    std::vector<run_warning> warnings;
    add(warnings, high_reynolds(setup));
    add(warnings, mesh_choice(setup));
    add(warnings, all_solid(setup));
    add(warnings, stretched_picture(setup));
    add(warnings, coarse_obstacle(setup, coefficients));
    add(warnings, high_blockage(setup, coefficients));
    add(warnings, obstacle_touches_boundary(setup));
    return warnings;
}

std::vector<run_warning> run_warnings(const run_setup& setup, const loop_result& loop,
                                      const force_coefficients& coefficients,
                                      std::span<const force_sample> samples,
                                      const std::optional<shedding_report>& shedding) {
    std::vector<run_warning> warnings = loop_warnings(setup, loop, samples, shedding);
    for (run_warning& warning : setup_warnings(setup, coefficients)) {
        warnings.push_back(std::move(warning));
    }
    return warnings;
}

run_warning grid_not_converging(const char* label, const std::string& reason,
                                const std::vector<std::optional<double>>& values,
                                const std::vector<int>& nodes_across) {
    std::string sequence;
    for (std::size_t k = 0; k < values.size() && k < nodes_across.size(); ++k) {
        sequence += k == 0 ? "" : k + 1 == values.size() ? " and " : ", ";
        sequence += values[k] ? format_text("%.6g", *values[k]) : std::string("none");
        sequence += format_text(" (%d across)", nodes_across[k]);
    }
    return run_warning{"grid_not_converging",
                       std::string("the grid study's ") + label + " does not converge on its " +
                           "three meshes (" + reason + ": " + sequence + "), so it has no " +
                           "error band: the meshes are too coarse for it, or the solid nodes " +
                           "change from mesh to mesh (--solid-nodes=outline follows the " +
                           "drawn outline); run the study on a finer mesh."};
}

run_warning grid_study_incomplete(int mesh, int nodes_across, const std::string& failure) {
    return run_warning{"grid_study_incomplete",
                       format_text("the grid study stopped at mesh %d of 3 (%d nodes across): ",
                                   mesh, nodes_across) +
                           failure +
                           " The results are the finest mesh's, without error bands; see "
                           "that mesh's folder under grid/."};
}

void print_warnings(std::ostream& err, const std::vector<run_warning>& warnings) {
    for (const run_warning& warning : warnings) err << "Warning: " << warning.message << '\n';
}

}  // namespace veltaro
