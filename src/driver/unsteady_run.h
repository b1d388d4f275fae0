// Time-accurate runs (--unsteady=T): the march to the flow time T with the
// step of every run, its deliberate start of the shedding (the start-up
// tilt, field/boundary_conditions.h), and the console's report of the
// shedding at the end (analysis/shedding.h measures it).
#pragma once

#include <iosfwd>

#include "analysis/force_record.h"
#include "analysis/shedding.h"
#include "driver/set_up_run.h"
#include "field/boundary_conditions.h"

namespace veltaro {

// The run's tilt; none for a steady run or an empty tunnel.
start_up_tilt start_up_tilt_of(const run_setup& setup);

// What the force record needs for this run.
force_record_settings force_record_settings_of(const run_setup& setup);

// The shedding of the recorded forces after the start-up tilt.
shedding_report report_shedding(const run_setup& setup, const force_record& forces);

// The lines after the coefficients: the flow time, then St with f and the
// cycles, the mean C_D and the swings; or why there is no St.
void print_shedding(std::ostream& out, const run_setup& setup, double flow_time,
                    const shedding_report& report);

}  // namespace veltaro
