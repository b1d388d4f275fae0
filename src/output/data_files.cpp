#include "output/data_files.h"

#include <cstdio>
#include <utility>

#include "common/run_error.h"
#include "output/atomic_file.h"

namespace veltaro {
namespace {

void append_value(std::string& line, float value) {
    // "-1.234567e+308 " is the longest a widened float can print, with room
    // to spare.
    char number[32];
    const int length = std::snprintf(number, sizeof number, "%e ", static_cast<double>(value));
    line.append(number, static_cast<std::size_t>(length));
}

}  // namespace

void write_data_file(const std::string& file_name, const float_grid& values) {
    const int nx = values.nx();
    const int ny = values.ny();
    atomic_file file(file_name, file_kind::text);
    std::string line;
    for (int j = ny - 1; j >= 0; --j) {
        line.clear();
        for (int i = 0; i < nx; ++i) append_value(line, values[i][j]);
        line += '\n';
        file.write(line);
    }
    file.commit();
}

void output_results(const flow_field& field) {
    const std::pair<const char*, const float_grid*> tables[] = {
        {"U.dat", &field.u_adv}, {"V.dat", &field.v_adv}, {"P.dat", &field.p}};
    std::string failures;
    for (const auto& [file_name, values] : tables) {
        try {
            write_data_file(file_name, *values);
        } catch (const run_error& error) {
            if (!failures.empty()) failures += '\n';
            failures += error.what();
        }
    }
    if (!failures.empty()) throw run_error(failures);
}

}  // namespace veltaro
