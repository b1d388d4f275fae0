// convergence_plot: the history of the relative changes, kept in a fixed
// amount of memory however long the run, and "convergence.svg", its
// picture against the iteration on a logarithmic scale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace veltaro {

struct convergence_point {
    int iteration = 0;
    double change_u = 0.0;  // relative change of the mean |u|
    double change_v = 0.0;
    double change_p = 0.0;
};

// Evenly thinned history. Until full it keeps every point; then it drops
// every other kept point in place and from there on keeps only every
// second point added (later every fourth, ...). The latest point is always
// kept as well, in a spare slot, so a plot ends where the run ended.
class convergence_history {
public:
    static constexpr std::size_t default_capacity = 4096;

    // The only allocation. The capacity counts the spare slot; below 3 it
    // is raised to 3.
    explicit convergence_history(std::size_t capacity = default_capacity);

    // Never allocates, as it is called inside the iteration loop.
    void add(int iteration, double change_u, double change_v, double change_p) noexcept;

    // In the order added, the latest last; at most capacity() of them.
    [[nodiscard]] std::span<const convergence_point> points() const;
    [[nodiscard]] std::size_t capacity() const { return slots_.size(); }

private:
    void drop_every_other() noexcept;

    std::vector<convergence_point> slots_;
    std::size_t kept_ = 0;            // evenly spaced points at the front of slots_
    bool latest_off_stride_ = false;  // slots_[kept_] holds the latest point
    std::int64_t added_ = 0;
    std::int64_t stride_ = 1;  // every stride_-th point added is kept
};

// The three changes as lines against the iteration, the change on a log
// axis of whole decades spanning every positive change and the threshold,
// which is drawn as a dashed line (left out when it is not positive). A
// change of zero sits on the bottom of the axis, an infinite or undefined
// one on the top. Throws run_error naming the file when it cannot be
// written.
void write_convergence_plot(const std::string& file_name, const convergence_history& history,
                            double threshold);

}  // namespace veltaro
