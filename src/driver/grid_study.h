// The grid study (--grid-study): the case on the mesh asked for and on two
// coarser ones at about the ratio sqrt(2), each a complete run in its own folder
// grid/<N>-across/, and from the three the error band of each coefficient
// (analysis/grid_convergence.h). The results folder holds the finest run's
// results, as a run without the study would, and its summary.json the
// study.
//
//   Grid study: mesh 1 of 3, 100 nodes across (grid/100-across)
//   ... the run's own console ...
//   C_D = 2.428 ± 0.6% (grid; extrapolated 2.414, order 1.9)
//   C_L = 1.234e-05 (grid: no band, near zero)
#pragma once

#include <array>
#include <chrono>
#include <iosfwd>
#include <numbers>
#include <string>
#include <vector>

#include "driver/run_case.h"
#include "driver/set_up_run.h"
#include "output/run_summary.h"

namespace veltaro {

inline constexpr int grid_meshes = 3;
// The nominal refinement ratio between one mesh and the next, in nodes
// across; the meshes' own ratios differ a little (grid_nodes_across).
inline constexpr double grid_ratio = std::numbers::sqrt2;
// The coarsest mesh's fewest nodes across: below, the body spans too few
// spacings for the coarsest value to lie on the same curve as the others.
inline constexpr int fewest_grid_nodes_across = 25;

// The nodes across of the three meshes, finest first: N, and the sizes
// nearest N / sqrt 2 and N / 2 whose transform across the tunnel (of
// ny - 2 values) is fast: ny - 2 with no prime factor above 7 (the larger
// of two as near). The fft solve's cost per node doubles on a length
// such as 139 (141 across) against 140 (142 across); the unequal-ratio
// formula takes the ratios that result.
std::array<int, grid_meshes> grid_nodes_across(int finest);

// ny - 2 has no prime factor above 7 (and ny > 2).
bool fast_transform_across(int ny);

// "grid/100-across"
std::string grid_folder(int nodes_across);

// Refuses, with one line, a study whose coarsest mesh would have fewer than
// 25 nodes across, or whose mesh answer is not a named mesh (whose grid is
// not the tunnel's) and no --nodes-across gives the mesh.
void check_grid_study(const run_setup& planned);

// The study's record from the runs done (finest first; fewer than three
// when a coarser run failed), and the coefficients' estimates when all three
// were done.
grid_study_summary summarise_grid_study(const std::vector<run_summary>& runs, bool time_accurate);

// The lines after the last run, one per coefficient.
void print_grid_study(std::ostream& out, const grid_study_summary& study);

// The whole study from the finest run's set-up (the dialogue already
// answered): returns the exit status. started: when the program started.
int run_grid_study(const run_setup& finest, std::chrono::steady_clock::time_point started);

}  // namespace veltaro
