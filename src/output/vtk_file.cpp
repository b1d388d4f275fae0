#include "output/vtk_file.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>

#include "common/run_error.h"
#include "common/text_format.h"
#include "output/atomic_file.h"

namespace veltaro {
namespace {

static_assert(sizeof(float) == 4, "the file holds 32-bit floats");

// The legacy format is big-endian whatever the machine writing it.
template <typename T>
void append_big_endian(std::string& bytes, T value) {
    auto raw = std::bit_cast<std::array<char, sizeof(T)>>(value);
    if constexpr (std::endian::native == std::endian::little) std::reverse(raw.begin(), raw.end());
    bytes.append(raw.data(), raw.size());
}

std::string header(const flow_field& field) {
    const long long points = static_cast<long long>(field.nx) * field.ny;
    std::string text = "# vtk DataFile Version 3.0\nveltaro flow\nBINARY\n";
    text += "DATASET STRUCTURED_POINTS\n";
    text += "DIMENSIONS " + std::to_string(field.nx) + ' ' + std::to_string(field.ny) + " 1\n";
    text += "ORIGIN 0 0 0\n";
    text += "SPACING " + shortest_text(field.dx) + ' ' + shortest_text(field.dy) + " 1\n";
    text += "POINT_DATA " + std::to_string(points) + '\n';
    return text;
}

// One section, written a grid row at a time so no copy of a whole array
// is needed. append_node(row, i, j) adds the values of node (i, j).
template <typename AppendNode>
void write_section(atomic_file& file, const flow_field& field, const std::string& title,
                   AppendNode append_node) {
    file.write(title);
    std::string row;
    for (int j = 0; j < field.ny; ++j) {
        row.clear();
        for (int i = 0; i < field.nx; ++i) append_node(row, i, j);
        file.write(row);
    }
    file.write("\n");
}

template <typename Extra>
void check_sizes(const std::string& file_name, const flow_field& field, const Extra& extra) {
    const auto fits = [&](const auto& values) {
        return values.nx() == field.nx && values.ny() == field.ny;
    };
    if (!fits(field.u) || !fits(field.v) || !fits(field.p) || !fits(extra)) {
        throw run_error(write_error_message(file_name, "the field does not match the grid size"));
    }
}

void write_velocity(atomic_file& file, const flow_field& field) {
    write_section(file, field, "VECTORS velocity float\n", [&](std::string& row, int i, int j) {
        append_big_endian(row, field.u[i][j]);
        append_big_endian(row, field.v[i][j]);
        append_big_endian(row, 0.0f);
    });
}

}  // namespace

void write_vtk_file(const std::string& file_name, const flow_field& field,
                    const int_grid& solid_nodes) {
    check_sizes(file_name, field, solid_nodes);
    atomic_file file(file_name, file_kind::binary);
    file.write(header(field));
    write_velocity(file, field);
    write_section(file, field, "SCALARS pressure float 1\nLOOKUP_TABLE default\n",
                  [&](std::string& row, int i, int j) { append_big_endian(row, field.p[i][j]); });
    write_section(file, field, "SCALARS solid int 1\nLOOKUP_TABLE default\n",
                  [&](std::string& row, int i, int j) {
                      append_big_endian(row, static_cast<std::int32_t>(solid_nodes[i][j] != 0));
                  });
    file.commit();
}

// Raw appended data: each array is its byte count (UInt32) and its values,
// x fastest, in the machine's own byte order, which the header names.
void write_vtk_frame(const std::string& file_name, const flow_field& field,
                     const float_grid& omega) {
    check_sizes(file_name, field, omega);
    const std::size_t points = static_cast<std::size_t>(field.nx) * field.ny;
    const std::uint32_t velocity_bytes = static_cast<std::uint32_t>(12 * points);
    const std::uint32_t vorticity_bytes = static_cast<std::uint32_t>(4 * points);
    const std::string extent = "0 " + std::to_string(field.nx - 1) + " 0 " +
                               std::to_string(field.ny - 1) + " 0 0";
    const char* order =
        std::endian::native == std::endian::little ? "LittleEndian" : "BigEndian";
    std::string text = std::string("<?xml version=\"1.0\"?>\n<VTKFile type=\"ImageData\" ") +
                       "version=\"0.1\" byte_order=\"" + order + "\" header_type=\"UInt32\">\n";
    text += "  <ImageData WholeExtent=\"" + extent + "\" Origin=\"0 0 0\" Spacing=\"" +
            shortest_text(field.dx) + ' ' + shortest_text(field.dy) + " 1\">\n";
    text += "    <Piece Extent=\"" + extent + "\">\n";
    text += "      <PointData Vectors=\"velocity\" Scalars=\"vorticity\">\n";
    text += "        <DataArray type=\"Float32\" Name=\"velocity\" NumberOfComponents=\"3\" "
            "format=\"appended\" offset=\"0\"/>\n";
    text += "        <DataArray type=\"Float32\" Name=\"vorticity\" format=\"appended\" offset=\"" +
            std::to_string(4 + velocity_bytes) + "\"/>\n";
    text += "      </PointData>\n    </Piece>\n  </ImageData>\n  <AppendedData encoding=\"raw\">\n_";
    atomic_file file(file_name, file_kind::binary);
    file.write(text);
    const auto append_native = [](std::string& bytes, auto value) {
        const auto raw = std::bit_cast<std::array<char, sizeof(value)>>(value);
        bytes.append(raw.data(), raw.size());
    };
    std::string row;
    append_native(row, velocity_bytes);
    file.write(row);
    for (int j = 0; j < field.ny; ++j) {
        row.clear();
        for (int i = 0; i < field.nx; ++i) {
            append_native(row, field.u[i][j]);
            append_native(row, field.v[i][j]);
            append_native(row, 0.0f);
        }
        file.write(row);
    }
    row.clear();
    append_native(row, vorticity_bytes);
    file.write(row);
    for (int j = 0; j < field.ny; ++j) {
        row.clear();
        for (int i = 0; i < field.nx; ++i) append_native(row, omega[i][j]);
        file.write(row);
    }
    file.write("\n  </AppendedData>\n</VTKFile>\n");
    file.commit();
}

void write_pvd_collection(const std::string& file_name, const std::vector<series_entry>& entries) {
    std::string text = "<?xml version=\"1.0\"?>\n<VTKFile type=\"Collection\" version=\"0.1\">\n"
                       "  <Collection>\n";
    for (const series_entry& entry : entries) {
        text += "    <DataSet timestep=\"" + format_text("%.9g", entry.time) +
                "\" group=\"\" part=\"0\" file=\"" + entry.file + "\"/>\n";
    }
    text += "  </Collection>\n</VTKFile>\n";
    atomic_file file(file_name, file_kind::text);
    file.write(text);
    file.commit();
}

}  // namespace veltaro
