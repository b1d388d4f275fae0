#!/usr/bin/env python3
"""Each layer of src/ includes only the layers below it.

The build links each layer's library only to the libraries below it, but
linking cannot stop an #include of a header whose code is inline or whose
library happens to be linked anyway. This walks every source file and checks
its project includes against the layers it may use.
"""
import pathlib
import re
import tempfile
import unittest

SRC = pathlib.Path(__file__).resolve().parent.parent / "src"

# The layers a layer's files may include, besides its own.
# The studio runs the program as a child and links no solver code; it uses
# the atomic file writer of output.
# Analysis measures a flow (forces, residual, shedding, coefficients) and
# never calls the solver.
ALLOWED = {"common": set(), "field": {"common"}, "geometry": {"common", "field"}, "solver": {"common", "field"},
           "analysis": {"common", "field", "geometry"}, "output": {"common", "field", "geometry", "analysis"},
           "driver": {"common", "field", "geometry", "solver", "analysis", "output"}, "server": {"common", "output"}}

# The executable's entry point sits beside the layers, in no layer's
# library: it hands "veltaro serve" to the studio and everything else to the
# driver.
ENTRY_POINT = "main.cpp"
ENTRY_POINT_ALLOWED = ALLOWED["driver"] | {"driver", "server"}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/', re.MULTILINE)


def forbidden_includes(root):
    """(file, included layer) for every include a file's layer may not make."""
    found = []
    for path in sorted(p for p in root.rglob("*") if p.suffix in {".h", ".cpp", ".in"} and p.is_file()):
        name = path.relative_to(root).as_posix()
        layer = name.split("/")[0]
        allowed = ENTRY_POINT_ALLOWED if name == ENTRY_POINT else ALLOWED.get(layer, set())
        found += [(name, inc) for inc in INCLUDE.findall(path.read_text(errors="replace"))
                  if inc != layer and inc not in allowed]
    return found


class Layers(unittest.TestCase):
    def test_every_layer_includes_only_the_layers_below_it(self):
        self.assertEqual(forbidden_includes(SRC), [])
        self.assertLessEqual({p.name for p in SRC.iterdir() if p.is_dir()}, set(ALLOWED), "a folder of no layer")

    def test_a_forbidden_include_is_found(self):
        with tempfile.TemporaryDirectory() as folder:
            (pathlib.Path(folder) / "solver").mkdir()
            (pathlib.Path(folder) / "solver/a.cpp").write_text('#include "geometry/masks.h"\n#include "field/grid.h"\n')
            self.assertEqual(forbidden_includes(pathlib.Path(folder)), [("solver/a.cpp", "geometry")])


if __name__ == "__main__":
    unittest.main()
