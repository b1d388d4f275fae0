// make_examples: draws the example obstacle pictures (white tunnel, black
// obstacle, 800 x 200 pixels for a tunnel four times as long as it is high)
// and the validation cylinder (800 x 400, for a tunnel twice as long as it is
// high) into the current folder.
//
//     build/make_examples              # writes every example picture
//     build/make_examples cylinder     # just one
//
// A new shape is one more entry in the table at the bottom: a function that
// says whether the point (x, y), in tunnel heights from the inlet and the
// bottom wall, is solid, and the picture's size.
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "common/run_error.h"
#include "output/jpeg_writer.h"

namespace {

constexpr double pi = 3.14159265358979323846;

using shape = std::function<bool(double x, double y)>;

// A pixel is solid when its centre is: the edge is as sharp as the grid.
void draw(const std::string& name, const shape& solid, int width, int height) {
    veltaro::jpeg_writer picture(name, width, height);
    std::vector<unsigned char> row(3 * width);
    for (int r = 0; r < height; ++r) {
        const double y = (height - r - 0.5) / height;
        for (int c = 0; c < width; ++c) {
            const double x = (c + 0.5) / height;
            const unsigned char level = solid(x, y) ? 0 : 255;
            row[3 * c] = row[3 * c + 1] = row[3 * c + 2] = level;
        }
        picture.write_row(row);
    }
    picture.finish();
}

// A disc 40 pixels across centred at pixel (200, 100).
bool cylinder(double x, double y) { return std::hypot(x - 1.0, y - 0.5) <= 0.1; }

bool square(double x, double y) { return std::fabs(x - 1.0) <= 0.1 && std::fabs(y - 0.5) <= 0.1; }

// A thin plate across the flow, a fifth of the tunnel high.
bool flat_plate(double x, double y) {
    return std::fabs(x - 1.0) <= 0.02 && std::fabs(y - 0.5) <= 0.1;
}

// A symmetric four-digit airfoil, 12% thick, chord 0.6, nose at (0.8, 0.5),
// turned 5 degrees nose up.
bool airfoil(double x, double y) {
    const double chord = 0.6;
    const double angle = 5.0 * pi / 180.0;
    const double dx = x - 0.8;
    const double dy = y - 0.5;
    // Into the airfoil's own frame: rotating back by the angle of attack.
    const double along = (dx * std::cos(angle) - dy * std::sin(angle)) / chord;
    const double across = (dx * std::sin(angle) + dy * std::cos(angle)) / chord;
    if (along < 0.0 || along > 1.0) return false;
    const double half_thickness =
        5 * 0.12 *
        (0.2969 * std::sqrt(along) - 0.1260 * along - 0.3516 * along * along +
         0.2843 * along * along * along - 0.1015 * along * along * along * along);
    return std::fabs(across) <= half_thickness;
}

// The cylinder of scripts/validate.sh, to be set beside published results for
// a cylinder in open flow: a tenth of the tunnel's height across, so that the
// walls raise its drag by a modest known amount, with its centre 5 diameters
// behind the inlet and 15 ahead of the outlet, so that the wake closes inside.
// A disc 40 pixels across centred at pixel (200, 200).
bool validation_cylinder(double x, double y) { return std::hypot(x - 0.5, y - 0.5) <= 0.05; }

struct example {
    const char* name;
    shape solid;
    int width = 800;
    int height = 200;
};

}  // namespace

int main(int argc, char** argv) {
    const std::vector<example> examples = {{"cylinder", cylinder},
                                           {"square", square},
                                           {"flat_plate", flat_plate},
                                           {"airfoil", airfoil},
                                           {"validation_cylinder", validation_cylinder, 800, 400}};
    const std::string only = argc > 1 ? argv[1] : "";
    try {
        for (const example& e : examples) {
            if (!only.empty() && only != e.name) continue;
            draw(std::string(e.name) + ".jpg", e.solid, e.width, e.height);
            std::printf("wrote %s.jpg\n", e.name);
        }
    } catch (const veltaro::run_error& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 2;
    }
    return 0;
}
