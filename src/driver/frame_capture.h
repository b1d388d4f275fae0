// The animation of a time-accurate run (--unsteady=T): frames of the
// vorticity taken as the run goes, evenly spaced over the last quarter of
// its flow time, when the street has formed, from 3T/4 to T:
//   t_k = T (3/4 + k / (4 (N - 1))),  k = 0 ... N - 1,
// each taken at the first iteration that reaches t_k. They become
// "vorticity.webp" at the end and, with --frames-vtk, "frames/frame_NNNN.vti"
// files (written as they are taken) with "frames.pvd", the series with its
// flow times for ParaView.
//
// The scale's half-width is fixed from the first frame (vorticity_bound):
// by 3T/4 the street is periodic, so the first frame's vortices are as
// strong as any later one's. Everything is made at the start; a frame
// allocates nothing but the file of --frames-vtk.
#pragma once

#include <string>
#include <vector>

#include "field/flow_field.h"
#include "field/grid.h"
#include "geometry/obstacle_masks.h"
#include "output/animation_frames.h"
#include "output/vtk_file.h"

namespace veltaro {

inline constexpr int default_frames = 120;
inline constexpr int max_frames = 10000;
inline constexpr int frame_milliseconds = 40;  // 25 frames a second
inline constexpr const char* animation_file_name = "vorticity.webp";
inline constexpr const char* series_file_name = "frames.pvd";
inline constexpr const char* series_folder = "frames";

struct frame_plan {
    int frames = default_frames;  // asked for; fewer when they do not fit 64 MB
    bool vtk = false;
    double end_time = 0.0;  // T, s
};

class frame_capture {
public:
    // Throws run_error when the folder of --frames-vtk cannot be made.
    frame_capture(const frame_plan& plan, const obstacle_masks& masks, int nx, int ny);

    // Called after every iteration; takes a frame when time reaches the next one.
    void observe(const flow_field& field, const int_grid& solid_nodes, double time);

    // Writes the animation and the series' collection. Throws run_error
    // naming the file that could not be written.
    void finish() const;

    [[nodiscard]] int frames() const { return buffer_.count(); }
    [[nodiscard]] double frame_time(int k) const;

private:
    frame_plan plan_;
    const obstacle_masks& masks_;
    frame_buffer buffer_;
    float_grid omega_;
    std::vector<float> scratch_;
    float bound_ = 0.0f;
    std::vector<series_entry> series_;
};

}  // namespace veltaro
