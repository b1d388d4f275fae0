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
ALLOWED = {
    "common": set(),
    "field": {"common"},
    "geometry": {"common", "field"},
    "solver": {"common", "field"},
    "output": {"common", "field", "geometry"},
    "driver": {"common", "field", "geometry", "solver", "output"},
    # The studio runs the program as a child and links no solver code; it
    # uses the atomic file writer of output.
    "server": {"common", "output"},
}

# The executable's entry point is in the driver's folder but in no layer's
# library: it hands "veltaro serve" to the studio and everything else to the
# driver.
ENTRY_POINT = "driver/main.cpp"
ENTRY_POINT_ALLOWED = ALLOWED["driver"] | {"server"}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/', re.MULTILINE)


def forbidden_includes(root):
    """(file, included layer) for every include a file's layer may not make."""
    found = []
    for path in sorted(root.rglob("*")):
        if path.suffix not in {".h", ".cpp", ".in"} or not path.is_file():
            continue
        name = path.relative_to(root).as_posix()
        layer = path.relative_to(root).parts[0]
        allowed = ENTRY_POINT_ALLOWED if name == ENTRY_POINT else ALLOWED.get(layer)
        for included in INCLUDE.findall(path.read_text(errors="replace")):
            if included == layer:
                continue
            if allowed is None or included not in allowed:
                found.append((str(path.relative_to(root)), included))
    return found


class Layers(unittest.TestCase):
    def test_every_layer_includes_only_the_layers_below_it(self):
        self.assertEqual(forbidden_includes(SRC), [])
        self.assertLessEqual({p.name for p in SRC.iterdir() if p.is_dir()}, set(ALLOWED), "a folder of no layer")

    def test_a_forbidden_include_is_found(self):
        with tempfile.TemporaryDirectory() as folder:
            root = pathlib.Path(folder)
            for name, text in (("solver/a.cpp", '#include "geometry/masks.h"\n#include "field/grid.h"\n'),
                               ("server/b.cpp", '#include "driver/main.h"\n')):
                (root / name).parent.mkdir()
                (root / name).write_text(text)
            self.assertEqual(forbidden_includes(root), [("server/b.cpp", "driver"), ("solver/a.cpp", "geometry")])


if __name__ == "__main__":
    unittest.main()
