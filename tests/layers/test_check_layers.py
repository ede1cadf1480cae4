#!/usr/bin/env python3
"""The layers check against a copy of the sources: clean, it passes; each
planted fault makes it fail and name the file: the core including a display
header, the board including the drawing layer above it, the service
including the game's client, a display-free layer (the service's too)
linking a display library.

usage: test_check_layers.py SOURCE_DIR BUILD_DIR/layers.json"""

import json
import os
import shutil
import subprocess
import sys
import tempfile

FOLDERS = ["base", "board", "gameplay", "protocol", "platform", "window", "highscore", "widgets", "screens", "app", "tools/replay", "server"]


def run_check(root, manifest):
    result = subprocess.run([sys.executable, os.path.join(root, "tools", "check-layers.py"), "--manifest", manifest],
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    return result.returncode, result.stdout


def plant(root, path, line):
    with open(os.path.join(root, path), encoding="utf-8") as f:
        text = f.read()
    with open(os.path.join(root, path), "w", encoding="utf-8") as f:
        f.write(line + "\n" + text)


def main():
    source, manifest = sys.argv[1], sys.argv[2]
    failures = []
    cases = [
        ("clean", None, None, None),
        ("display header in the core", "gameplay/play.cpp", "#include <FL/Fl.H>",
         "gameplay/play.cpp (qz_gameplay) is display-free but includes <FL/Fl.H>"),
        ("OpenGL in the rules", "board/stone.cpp", "#include <GL/gl.h>",
         "board/stone.cpp (qz_board) is display-free but includes <GL/gl.h>"),
        ("drawing layer from the board", "board/removal.cpp", '#include "platform/platform.h"',
         "board/removal.cpp (qz_board) includes platform/platform.h (qz_platform)"),
        ("the service using the game's client", "server/highscore_service.cpp", '#include "highscore/online.h"',
         "server/highscore_service.cpp (qz_highscored) includes highscore/online.h (qz_highscore)"),
        ("a window in the service", "manifest", "qz_highscored:OpenGL::GL",
         "qz_highscored is display-free but links OpenGL::GL"),
        ("display library linked by the core", "manifest", "qz_gameplay:OpenGL::GL",
         "qz_gameplay is display-free but links OpenGL::GL"),
    ]
    for name, path, line, expected in cases:
        root = tempfile.mkdtemp(prefix="qz-layers-")
        try:
            for folder in FOLDERS:
                shutil.copytree(os.path.join(source, folder), os.path.join(root, folder))
            shutil.copy(os.path.join(source, "tools", "check-layers.py"), os.path.join(root, "tools"))
            used_manifest = manifest
            if path == "manifest":
                layer, library = line.split(":", 1)
                with open(manifest, encoding="utf-8") as f:
                    data = json.load(f)
                for entry in data["layers"]:
                    if entry["name"] == layer:
                        entry["libraries"].append(library)
                used_manifest = os.path.join(root, "layers.json")
                with open(used_manifest, "w", encoding="utf-8") as f:
                    json.dump(data, f)
            elif path:
                plant(root, path, line)
            status, output = run_check(root, used_manifest)
            if expected is None and status != 0:
                failures.append(f"{name}: the clean copy fails:\n{output}")
            if expected is not None and (status == 0 or expected not in output):
                failures.append(f"{name}: expected a failure naming '{expected}', got status {status}:\n{output}")
        finally:
            shutil.rmtree(root, ignore_errors=True)
    for failure in failures:
        print(failure)
    print(f"{len(cases)} cases, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
