// data_files: the result tables "U.dat", "V.dat" and "P.dat", one text line
// per grid row from the top wall down, inlet to outlet along each line, so
// a file reads like a picture of the tunnel.
#pragma once

#include <string>

#include "field/flow_field.h"
#include "field/grid.h"

namespace veltaro {

// Writes u_adv to "U.dat", v_adv to "V.dat" and p to "P.dat" in the current
// directory. A file that cannot be written does not stop the others; after
// trying all three, throws one run_error naming every file that failed
// (one line each). A failed file keeps its older contents, if any.
void output_results(const flow_field& field);

// One table: for j = ny-1 down to 0, the values [0][j] ... [nx-1][j], each
// as "%e ", then a newline. Throws run_error naming the file.
void write_data_file(const std::string& file_name, const float_grid& values);

}  // namespace veltaro
