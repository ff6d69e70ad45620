#!/usr/bin/env python3
"""scripts/check-floors on small trees made for each case: what it must name, and what it must
let pass. Run by scripts/test before the check itself."""
import os
import subprocess
import sys
import tempfile

CHECK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                     "check-floors")

# (what the case is about, the files of the tree, the lines the check must print; none: it passes)
CASES = [
    ("a floor below is fine", {"tree/t.cpp": '#include "reader/r.h"\n', "reader/r.h": ""}, []),
    ("up is named with its line", {"reader/r.cpp": '\n\n#include "tree/t.h"\n'},
     ["reader/r.cpp:3: reader may not include tree/ (tree is above reader)"]),
    ("sideways is named", {"export/e.cpp": '#include "tree/t.h"\n'},
     ["export/e.cpp:1: export may not include tree/ (tree sits beside export, not below it)"]),
    ("front ends never use each other", {"cli/c.cpp": '#include "web/replies.h"\n'},
     ["cli/c.cpp:1: cli may not include web/ (web sits beside cli, not below it)"]),
    ("a floor not made yet still counts", {"format/f.h": '#include "writer/w.h"\n'},
     ["format/f.h:1: format may not include writer/ (writer is above format)"]),
    ("format stands on model and text",
     {"format/f.h": '#include "model/m.h"\n#include "text/t.h"\n'}, []),
    ("model uses nothing of ours", {"model/m.h": '#include "format/f.h"\n'},
     ["model/m.h:1: model may not include format/ (format sits beside model, not below it)"]),
    ("image knows nothing of KXM", {"image/i.cpp": '#include "text/t.h"\n#include "format/f.h"\n'},
     ["image/i.cpp:2: image may not include format/ (image uses only text/, files/, model/)"]),
    ("a relative include lands where it points",
     {"reader/r.cpp": '#include "../tree/t.h"\n#include "r.h"\n', "reader/r.h": "",
      "tree/t.h": ""},
     ["reader/r.cpp:1: reader may not include tree/ (tree is above reader)"]),
    ("a header beside the file is its own floor's",
     {"app/a.rc": '#include "resource.h"\n', "app/resource.h": ""}, []),
    ("angle brackets: ours when they name a floor",
     {"reader/r.cpp": "#include <format>\n#include <tree/t.h>\n  #  include <vector>\n"},
     ["reader/r.cpp:2: reader may not include tree/ (tree is above reader)"]),
    ("tests may use anything", {"tests/x.cpp": '#include "cli/c.h"\n#include "app/a.h"\n'}, []),
    ("product may not use tests", {"cli/c.cpp": '#include "tests/support/w.h"\n'},
     ["cli/c.cpp:1: cli may not include tests/ (tests is above cli)"]),
    ("a folder on no floor", {"gadgets/g.cpp": "int g;\n"},
     ["gadgets/g.cpp:1: gadgets/ is on no floor: add it to the table in scripts/check-floors"]),
    ("an include on no floor", {"cli/c.cpp": '#include "docs/d.inc"\n', "docs/d.inc": ""},
     ["cli/c.cpp:1: docs/ is on no floor: add it to the table in scripts/check-floors"]),
    ("a link up, on the line of the library",
     {"CMakeLists.txt": "add_library(r STATIC reader/r.cpp)\nadd_library(t STATIC tree/t.cpp)\n"
                        "target_link_libraries(r PUBLIC\n  Threads::Threads\n  t)\n"},
     ["CMakeLists.txt:5: r (reader) may not link t (tree is above reader)"]),
    ("comments and strings are no links, and the lines after them still count",
     {"CMakeLists.txt": "add_library(r STATIC reader/r.cpp) # (target_link_libraries(r t))\n"
                        "add_library(t STATIC tree/t.cpp)\n"
                        "#[[\ntarget_link_libraries(r PUBLIC t)\n]]\n"
                        'message(STATUS "target_link_libraries(r t)\n")\n'
                        "add_library(e STATIC export/e.cpp)\ntarget_link_libraries(e t)\n"},
     ["CMakeLists.txt:9: e (export) may not link t (tree sits beside export, not below it)"]),
    ("a target stands on the top of its sources, an interface on the top of its links",
     {"CMakeLists.txt": "add_library(core STATIC model/m.cpp text/t.cpp reader/r.cpp)\n"
                        "add_library(t STATIC tree/t.cpp)\n"
                        "add_library(both INTERFACE)\n"
                        "target_link_libraries(both INTERFACE core t)\n"
                        "add_library(e STATIC export/e.cpp)\ntarget_link_libraries(e PUBLIC core)\n"
                        "target_link_libraries(e PUBLIC both)\n"},
     ["CMakeLists.txt:7: e (export) may not link both (tree sits beside export, not below it)"]),
    ("sources of a subfolder, and objects taken from another target",
     {"CMakeLists.txt": "add_subdirectory(app)\nadd_library(c STATIC cli/c.cpp)\n",
      "app/CMakeLists.txt": "add_library(res OBJECT a.rc)\n"
                            "add_executable(v WIN32 ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)\n"
                            "add_library(c2 STATIC ${PROJECT_SOURCE_DIR}/cli/d.cpp)\n"
                            "add_executable(x $<TARGET_OBJECTS:res> ../cli/x.cpp)\n"
                            "target_link_libraries(v PRIVATE c)\n"},
     ["app/CMakeLists.txt:5: v (app) may not link c (cli sits beside app, not below it)",
      "app/CMakeLists.txt:4: x (cli) may not link res (app sits beside cli, not below it)"]),
    ("a target may not mix floors that cannot use each other",
     {"CMakeLists.txt": "\nadd_library(m STATIC tree/t.cpp export/e.cpp)\n"},
     ["CMakeLists.txt:2: m builds export, tree, and none of them may use all the others"]),
    ("the README shows the table the check holds",
     {"README.md": "# X\n\n## Layout\n\n| Floor | May use | What it holds |\n|---|---|---|\n"
                   "| `model/` | anything | the model |\n\n## Next\n"},
     ["README.md:7: the Layout table is not the floors table: paste what scripts/check-floors "
      "--table prints"]),
]


def run(files):
    with tempfile.TemporaryDirectory() as root:
        for path, text in files.items():
            os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(root, path), "w") as out:
                out.write(text)
        done = subprocess.run([sys.executable, CHECK, "--root", root], capture_output=True,
                              text=True)
    lines = [l for l in done.stderr.splitlines() if not l.startswith("check-floors: ")]
    return done.returncode, lines


def main():
    failed = 0
    for about, files, wanted in CASES:
        status, lines = run(files)
        if lines != wanted or status != (1 if wanted else 0):
            failed += 1
            print(f"FAIL {about}: exit {status}\n  got:    {lines}\n  wanted: {wanted}")
    # The README of the tree itself shows the table, and so passes.
    readme = subprocess.run([sys.executable, CHECK, "--table"], capture_output=True, text=True,
                            check=True).stdout
    status, lines = run({"README.md": "## Layout\n\n" + readme + "\n## Next\n"})
    if status or lines:
        failed += 1
        print(f"FAIL the printed table passes as the README's: {lines}")
    print(f"check-floors: {len(CASES) + 1 - failed} cases passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
