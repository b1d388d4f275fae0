#include "driver/frame_capture.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "common/run_error.h"
#include "output/atomic_file.h"
#include "output/vorticity.h"
#include "output/webp_animation.h"

namespace veltaro {

frame_capture::frame_capture(const frame_plan& plan, const obstacle_masks& masks, int nx, int ny)
    : plan_(plan),
      masks_(masks),
      buffer_(frame_size_for(masks.picture.nx(), masks.picture.ny()), plan.frames),
      omega_(nx, ny),
      scratch_(static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny)) {
    if (!plan.vtk) return;
    series_.reserve(static_cast<std::size_t>(buffer_.capacity()));
    std::error_code error;
    std::filesystem::create_directory(series_folder, error);
    if (error) throw run_error(write_error_message(series_folder, error.message()));
}

double frame_capture::frame_time(int k) const {
    const int n = buffer_.capacity();
    if (n <= 1) return plan_.end_time;
    return plan_.end_time * (0.75 + 0.25 * k / (n - 1));
}

void frame_capture::observe(const flow_field& field, const int_grid& solid_nodes, double time) {
    const int k = buffer_.count();
    if (k >= buffer_.capacity() || time < frame_time(k)) return;
    vorticity(field, omega_);
    if (k == 0) bound_ = vorticity_bound(omega_, solid_nodes, scratch_);
    render_vorticity_frame(omega_, bound_, masks_, buffer_.size(), buffer_.add());
    if (!plan_.vtk) return;
    char name[40];
    std::snprintf(name, sizeof name, "%s/frame_%04d.vti", series_folder, k);
    write_vtk_frame(name, field, omega_);
    series_.push_back({name, time});
}

void frame_capture::finish() const {
    if (buffer_.count() > 0) write_webp_animation(animation_file_name, buffer_, frame_milliseconds);
    if (plan_.vtk) write_pvd_collection(series_file_name, series_);
}

}  // namespace veltaro
