#!/usr/bin/env python3
"""The docs point at what exists, and the README's lists are what the program writes.

A doc that cites a test file, a source file or a section goes stale without
a sound when the code moves: nothing compiles a path in a sentence. This
checks, in the README, docs/*.md, the validation page's template and the
other READMEs:

- every quoted tests/, src/, scripts/, bench/, docs/, examples/, fuzz/ and web/
  path exists (a glob matches at least one file), and so does every file the
  table of docs/method.md's "Where each stage is tested" names relative to
  tests/;
- every relative link names a file that exists, and its #anchor a heading;
- every "section N" and "§N" is a numbered section of docs/method.md (the one
  doc whose sections are numbered), and every `x.md`, "Title" a heading of x;
- every code name in backticks (a name with an underscore) is a word of the
  code, the scripts or the build;

and in the comments of src/, bench/, tests/ and fuzz/, that every file they
name and every docs section they cite exists. Then that the README's lists of
summary.json's keys, of the `stop` values and warning codes, of the result
files, of forces.csv's columns, of the options and their values and of the
sweep's columns are exactly the program's: its sources, the regression
record's summary.json and, for the options, the built program itself
(VELTARO_EXE, as CTest gives it, else build/veltaro).
"""
import json
import os
import pathlib
import re
import subprocess
import sys
import tempfile
import unittest

ROOT = pathlib.Path(__file__).resolve().parent.parent
# Its own examples of stale names are no evidence that the code has them.
THIS_FILE = pathlib.Path(__file__).name

# Paths a doc quotes that no checkout holds, each with the reason.
NOT_IN_THE_TREE = {
    "examples/re-sweep.csv": "the README's sweep example writes it with cat",
}
# The validation page's template is written out as docs/validation.md, so its
# links are relative to docs/; its $names are filled in by the script.
WRITTEN_AS = {"scripts/validation/page.md": "docs/validation.md"}

PATH_ROOTS = ("tests", "src", "scripts", "bench", "docs", "examples", "fuzz", "web")
# A path starts after a blank, a quote, a bracket or a backtick, never inside
# a longer word (build-fuzz/..., veltaro-runs/...).
QUOTED_PATH = re.compile(r"(?<![\w./$-])((?:%s)/[\w./*<>-]*)" % "|".join(PATH_ROOTS))
LINK = re.compile(r"\]\(([^)\s$]+)\)")
HEADING = re.compile(r"^#{1,6}\s+(.*?)\s*$", re.MULTILINE)
SECTION_NUMBER = re.compile(r"^(\d+(?:\.\d+)*)\.?\s+")
NUMBER = r"\d+(?:\.\d+)*"
SECTION_CITATION = re.compile(r"(?:\bsections?\s+|§\s*)(%s(?:(?:,\s*|,?\s+and\s+|\s+or\s+)%s)*)" % (NUMBER, NUMBER))
TITLE_CITATION = re.compile(r"(?:docs/)?\b([a-z][a-z-]*)\.md`?(?:\]\([^)]*\))?,\s*\"([^\"]+)\"")
CODE_NAME = re.compile(r"`([A-Za-z][A-Za-z0-9]*_[A-Za-z0-9_]*)(?:\([^`]*\))?`")
FILE_NAME = re.compile(r"(?<![\w./-])([\w./-]*\w\.(?:h|cpp|py|sh|md))(?![\w/])")


def doc_files(root):
    """The pages whose citations are checked, relative to root."""
    names = ["README.md", "scripts/validation/page.md", "src/server/README-api.md"]
    names += [p.relative_to(root).as_posix() for p in sorted((root / "docs").glob("*.md"))]
    names += [p.relative_to(root).as_posix() for p in sorted((root / "tests/data").glob("*/README.md"))]
    return [n for n in names if (root / n).is_file()]


def exists(root, path):
    """A file or folder, or a glob (<placeholder> counts as *) that matches one."""
    pattern = re.sub(r"<[^>]*>", "*", path)
    return any(root.glob(pattern.rstrip("/"))) if "*" in pattern else (root / pattern).exists()


def quoted_paths(text):
    return [p.rstrip(".,;:") for p in QUOTED_PATH.findall(text)]


def tested_stage_files(method_text):
    """The test files in the second column of the table of section 11."""
    found = re.search(r"^## 11\.\s.*?(?=^## |\Z)", method_text, re.MULTILINE | re.DOTALL)
    rows = [line.strip().strip("|").split("|") for line in (found.group(0) if found else "").splitlines()]
    rows = [r for r in rows if len(r) >= 3][2:]  # after the header and the rule
    return [f.strip() for r in rows for f in r[1].split(",")]


def slug(heading):
    """The anchor a Markdown renderer gives a heading."""
    return re.sub(r"\s", "-", re.sub(r"[^\w\s-]", "", heading.lower()).strip())


def titles(text):
    """Each heading without its section number."""
    return [SECTION_NUMBER.sub("", h) for h in HEADING.findall(text)]


def link_reaches(root, doc, link):
    if re.match(r"[a-z]+:", link):
        return True
    target, _, anchor = link.partition("#")
    path = (root / WRITTEN_AS.get(doc, doc)).parent / target if target else root / doc
    return path.exists() and not (anchor and path.suffix == ".md" and
                                  anchor not in {slug(h) for h in HEADING.findall(path.read_text())})


def missing_sections(root, text):
    """The sections a text cites that docs/ lacks: numbers of method.md, and titles of any page."""
    method = (root / "docs/method.md").read_text()
    numbers = {m.group(1) for m in map(SECTION_NUMBER.match, HEADING.findall(method)) if m}
    found = ["section " + n for g in SECTION_CITATION.findall(text) for n in re.findall(NUMBER, g) if n not in numbers]
    for page, title in TITLE_CITATION.findall(text):
        path = root / ("README.md" if page == "README" else "docs/%s.md" % page)
        if not path.is_file() or not any(t == title or t.startswith(title + ":") for t in titles(path.read_text())):
            found.append('%s.md, "%s"' % (page, title))
    return found


def code_words(root):
    """Every word of the code, the scripts and the build files."""
    folders = ("src", "bench", "tests", "scripts", "fuzz", "examples", "web")
    paths = [p for folder in folders for p in (root / folder).rglob("*")]
    paths = [p for p in paths + list(root.rglob("CMakeLists.txt")) if p.is_file() and p.name != THIS_FILE
             and p.suffix not in {".md", ".jpg", ".png", ".webp", ".svg"}]
    return {w for p in paths for w in re.findall(r"\w+", p.read_text(errors="replace"))}


def doc_faults(root):
    """(doc, fault, what) for every citation of the docs that points at nothing."""
    words, faults = code_words(root), []
    for doc in doc_files(root):
        text = (root / doc).read_text()
        faults += [(doc, "no such path", p) for p in quoted_paths(text)
                   if p not in NOT_IN_THE_TREE and not exists(root, p)]
        faults += [(doc, "no such link target", l) for l in LINK.findall(text) if not link_reaches(root, doc, l)]
        faults += [(doc, "no such section", s) for s in missing_sections(root, text)]
        faults += [(doc, "not in the code", n) for n in CODE_NAME.findall(text) if n not in words]
    method = (root / "docs/method.md").read_text()
    return faults + [("docs/method.md", "no such test", f) for f in tested_stage_files(method)
                     if not (root / "tests" / f).is_file()]


def code_faults(root):
    """(file, fault, what) for every file a comment names that is not there (a
    bare name in the file's own folder, a path from the top, src/ or tests/),
    and every docs section a comment cites that the page lacks."""
    faults = []
    files = (p for f in ("src", "bench", "tests", "fuzz") for p in (root / f).rglob("*.[hc]*") if p.is_file())
    for path in sorted(files):
        name = path.relative_to(root).as_posix()
        text = " ".join(m.strip() for m in re.findall(r"//(.*)$", path.read_text(errors="replace"), re.MULTILINE))
        for cited in FILE_NAME.findall(text):
            places = [path.parent] + ([root, root / "src", root / "tests"] if "/" in cited else [])
            if not any((place / cited).exists() for place in places):
                faults.append((name, "no such file", cited))
        faults += [(name, "no such section", s) for s in missing_sections(root, text)]
    return faults


class CitationsPointAtWhatExists(unittest.TestCase):
    def test_the_docs(self):
        # Enough found that the patterns still read the docs as they are written.
        self.assertGreater(sum(len(quoted_paths((ROOT / d).read_text())) for d in doc_files(ROOT)), 100)
        self.assertGreaterEqual(len(tested_stage_files((ROOT / "docs/method.md").read_text())), 12)
        self.assertEqual(doc_faults(ROOT), [])

    def test_the_code_s_comments(self):
        self.assertEqual(code_faults(ROOT), [])

    def test_each_planted_fault_is_found(self):
        for what, files, check, expected in FAULTS:
            with self.subTest(what), tempfile.TemporaryDirectory() as folder:
                root = pathlib.Path(folder)
                for name, text in {**SKELETON, **files}.items():
                    (root / name).parent.mkdir(parents=True, exist_ok=True)
                    (root / name).write_text(text)
                self.assertEqual(check(root), expected)


# Each row a small tree with one fault planted in it, the checker and what it
# must report: that fault and no other, so the skeleton itself is clean.
SKELETON = {
    "README.md": "See `docs/method.md` and [the method](docs/method.md#1-the-problem).\n",
    "docs/method.md": "# The method\n\n## 1. The problem\n\nText `set_dt`.\n\n### 1.1 Detail: `x`\n\n"
                      "## 11. Where each stage is tested\n\n| Stage | Test (tests/) | What |\n|---|---|---|\n"
                      "| time step | field/a_test.cpp | by hand |\n",
    "tests/field/a_test.cpp": "// docs/method.md, \"The problem\", section 1.1.\n",
    "src/field/set_dt.h": "// set_dt: the step (set_dt.h).\nint set_dt();\n",
}
FAULTS = [
    ("a quoted test file that is gone", {"README.md": "See `tests/field/gone_test.cpp`.\n"},
     doc_faults, [("README.md", "no such path", "tests/field/gone_test.cpp")]),
    ("a quoted source glob that matches nothing", {"docs/a.md": "All of src/solver/*.cpp.\n"},
     doc_faults, [("docs/a.md", "no such path", "src/solver/*.cpp")]),
    ("a test of the method's table that is gone",
     {"docs/method.md": SKELETON["docs/method.md"] + "| more | solver/gone_test.cpp, field/a_test.cpp | x |\n"},
     doc_faults, [("docs/method.md", "no such test", "solver/gone_test.cpp")]),
    ("a link to a heading that is gone", {"README.md": "[x](docs/method.md#2-one-iteration)\n"},
     doc_faults, [("README.md", "no such link target", "docs/method.md#2-one-iteration")]),
    ("a link to a page that is gone", {"docs/a.md": "[x](b.md)\n"},
     doc_faults, [("docs/a.md", "no such link target", "b.md")]),
    ("a section number that is gone", {"docs/a.md": "As sections 1 and 10.3 say.\n"},
     doc_faults, [("docs/a.md", "no such section", "section 10.3")]),
    ("a section title that is gone", {"docs/a.md": "(`docs/method.md`, \"The solve\").\n"},
     doc_faults, [("docs/a.md", "no such section", 'method.md, "The solve"')]),
    ("a code name that is gone", {"docs/a.md": "Calls `advance_one_iteration(field)`.\n"},
     doc_faults, [("docs/a.md", "not in the code", "advance_one_iteration")]),
    ("a comment naming a header that moved", {"src/driver/a.h": "// (steady_residual.h)\n"},
     code_faults, [("src/driver/a.h", "no such file", "steady_residual.h")]),
    ("a comment citing a section that is gone", {"src/field/b.h": "// (docs/method.md,\n// \"Time step\")\n"},
     code_faults, [("src/field/b.h", "no such section", 'method.md, "Time step"')]),
]


# ---- The README's lists against the program ----

def paragraph(text, start):
    """The paragraph of the text that starts with `start`."""
    at = text.index(start)
    return text[at:text.find("\n\n", at)]


def outside_parentheses(text):
    """The text with every (possibly nested) parenthesis left out."""
    depth, kept = 0, []
    for c in text:
        depth += c == "("
        kept += [c] if depth == 0 else []
        depth -= c == ")" and depth > 0
    return "".join(kept)


def parenthesis_after(text, word):
    """What the parenthesis that follows `word` in backticks holds."""
    found = re.search(r"`%s`\s+\(" % re.escape(word), text)
    depth = 1
    for end in range(found.end() if found else len(text), len(text)):
        depth += {"(": 1, ")": -1}.get(text[end], 0)
        if depth == 0:
            return text[found.end():end]
    return ""


def backticked(text):
    return re.findall(r"`([^`]+)`", text)


def identifiers(text):
    return [w for w in backticked(text) if re.fullmatch(r"[a-z][a-z0-9_]*", w)]


def readme_summary(readme):
    """The summary's keys, the stop values and the warning codes, as the README lists them."""
    text = paragraph(readme, "`summary.json` is one JSON object")
    return (identifiers(outside_parentheses(text)), re.findall(r'"([^"]+)"', parenthesis_after(text, "stop")),
            identifiers(parenthesis_after(text, "warnings").partition("the codes are")[2]))


def readme_table(readme, header):
    """The backticked words of each row's first cell, and those outside parentheses of the rest."""
    rows = [line.strip().strip("|").split("|", 1) for line in paragraph(readme, header).splitlines()[2:]]
    return [(backticked(first), backticked(outside_parentheses(rest))) for first, rest in rows]


def readme_sweep_columns(readme):
    """The optional columns of a sweep's CSV, and the values in each one's parenthesis."""
    text = paragraph(readme, "A sweep runs the program once per row")
    text = text[text.index("Optional columns"):]
    columns = identifiers(outside_parentheses(text))
    return columns, {c: backticked(parenthesis_after(text, c)) for c in columns}


def strings_between(text, start, end):
    """The string literals of a piece of source from `start` to the next `end`."""
    at = text.index(start)
    return re.findall(r'"([^"]*)"', text[at:text.index(end, at)])


def source(name):
    return (ROOT / name).read_text()


def program():
    exe = os.environ.get("VELTARO_EXE") or str(ROOT / "build" / "veltaro")
    return exe if os.path.isfile(exe) else None


class ReadmeListsWhatTheProgramWrites(unittest.TestCase):
    readme = source("README.md")

    def test_the_summary_s_keys(self):
        code = source("src/output/run_summary.cpp")
        written = re.findall(r'\{"(\w+)",', code[code.index("json to_json(const run_summary& s)"):])
        self.assertEqual(list(json.loads(source("tests/data/regression/expected/summary.json"))), written,
                         "the regression record and run_summary.cpp")
        self.assertEqual(strings_between(source("src/output/result_files.h"), "summary_keys", "};"), written,
                         "result_files.h and run_summary.cpp")
        self.assertEqual(readme_summary(self.readme)[0], written)

    def test_the_stop_values_and_the_warning_codes(self):
        returned = strings_between(source("src/driver/summarise_run.cpp"), "const char* stop_reason(", "\n}")
        self.assertGreaterEqual(len(returned), 5)
        self.assertEqual(sorted(readme_summary(self.readme)[1]), sorted(returned))
        made = re.findall(r'run_warning\{\s*"(\w+)"', source("src/driver/run_warnings.cpp"))
        table = re.findall(r"^//   (\w+) ", source("src/driver/run_warnings.h"), re.MULTILINE)
        self.assertEqual(set(table), set(made), "run_warnings.h's table and run_warnings.cpp")
        self.assertEqual(readme_summary(self.readme)[2], table)

    def test_the_result_files_and_the_columns_of_forces_csv(self):
        text = source("src/output/result_files.h")
        names = [n for a in ("result_file_names", "unsteady_result_file_names", "series_result_file_names")
                 for n in strings_between(text, a + " =", "};")]
        listed = [n for files, _ in readme_table(self.readme, "| File | What it holds |") for n in files]
        self.assertEqual(sorted(n for n in listed if not n.endswith("/")), sorted(names))
        header = re.search(r'"(iteration,[a-z_,]+)\\n"', source("src/output/forces_file.cpp")).group(1)
        self.assertEqual(re.search(r"`forces.csv` \| `--unsteady` runs: `([^`]+)`", self.readme).group(1), header)
        method = re.sub(r"\s+", "", source("docs/method.md"))
        self.assertEqual(re.search(r'"forces.csv"\(`([^`]+)`', method).group(1), header, "docs/method.md")

    def test_the_sweep_s_columns(self):
        sys.path.insert(0, str(ROOT / "scripts"))
        sys.dont_write_bytecode = True
        import sweep
        columns, values = readme_sweep_columns(self.readme)
        self.assertEqual(columns, list(sweep.OPTIONAL_COLUMNS))
        self.assertEqual({c: values[c] for c in sweep.OPTION_VALUES},
                         {c: list(v) for c, v in sweep.OPTION_VALUES.items()})

    @unittest.skipIf(program() is None, "no built program (VELTARO_EXE or build/veltaro)")
    def test_the_options_and_their_values(self):
        help_text = subprocess.run([program(), "--help"], capture_output=True, text=True).stdout
        offered = re.findall(r"^  (--[a-z-]+)", help_text.partition("Options")[2], re.MULTILINE)
        options = {re.match(r"--[a-z-]+", name[0]).group(0): values
                   for name, values in readme_table(self.readme, "| Option |")}
        self.assertEqual(list(options), offered)
        for option, listed in options.items():
            with tempfile.TemporaryDirectory() as folder:
                refused = subprocess.run([program(), option + "=?"], capture_output=True, text=True,
                                         stdin=subprocess.DEVNULL, cwd=folder).stderr
            if "the allowed values are" in refused:
                self.assertEqual(listed, re.findall(re.escape(option) + r"=([a-z-]+)", refused), option)


if __name__ == "__main__":
    unittest.main()
