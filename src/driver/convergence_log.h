// "convergence.txt": the history of the relative changes, one line per
// iteration, and "residual.txt": that of the steady residual. Both stay open
// for the run and are flushed after every line, so a run that is stopped
// (or a studio watching it) has the history up to its last iteration. The
// changes are kept, thinned to a fixed number, for the plot.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "output/convergence_plot.h"

namespace veltaro {

class convergence_log {
public:
    // Creates (or empties) the files and writes their first lines. Throws
    // run_error when it cannot, before any work is spent on the run.
    explicit convergence_log(const std::string& path = "convergence.txt",
                             const std::string& residual_path = "residual.txt");

    // One line "%e %e %e\n" of changes, and one line "%d %e %e %e\n" of the
    // iteration with the steady residual's max and rms and the flow time;
    // throws run_error when either cannot be written. Never allocates: it is
    // called in every iteration.
    void write(double change_u, double change_v, double change_p, double residual,
               double residual_rms, double flow_time);

    [[nodiscard]] const convergence_history& history() const { return history_; }

private:
    struct closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    using file = std::unique_ptr<std::FILE, closer>;
    std::string path_;
    file file_;
    std::string residual_path_;
    file residual_file_;
    convergence_history history_;
    int iterations_ = 0;
};

}  // namespace veltaro
