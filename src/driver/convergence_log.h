// "convergence.txt": the history of the relative changes, one line per
// iteration. It stays open for the run and is flushed after every line, so
// a run that is stopped keeps the history up to its last iteration. The
// same changes are kept, thinned to a fixed number, for the plot.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "output/convergence_plot.h"

namespace veltaro {

class convergence_log {
public:
    // Creates (or empties) the file and writes its first line. Throws
    // run_error when it cannot, before any work is spent on the run.
    explicit convergence_log(const std::string& path = "convergence.txt");

    // One line "%e %e %e\n"; throws run_error when it cannot be written.
    // Never allocates: it is called in every iteration.
    void write(double change_u, double change_v, double change_p);

    [[nodiscard]] const convergence_history& history() const { return history_; }

private:
    struct closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::string path_;
    std::unique_ptr<std::FILE, closer> file_;
    convergence_history history_;
    int iterations_ = 0;
};

}  // namespace veltaro
