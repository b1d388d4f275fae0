// "forces.csv" of a time-accurate run: the forces of every iteration,
//     iteration,time,dt,lift,drag,lift_coefficient,drag_coefficient
// one row per iteration (the coefficients empty without an obstacle),
// flushed every few hundred rows so that a studio or a user watching the
// file sees it grow, without a system call per iteration.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "analysis/force_record.h"

namespace veltaro {

class forces_file {
public:
    // Creates the file with its header; throws run_error when it cannot.
    explicit forces_file(std::string name);

    // One row; throws run_error when it cannot be written.
    void write(int iteration, double time, float dt, const recorded_forces& recorded);

    // Writes what is left of the file and closes it.
    void finish();

private:
    struct closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::string name_;
    std::unique_ptr<std::FILE, closer> file_;
};

}  // namespace veltaro
