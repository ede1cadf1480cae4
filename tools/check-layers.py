#!/usr/bin/env python3
"""The game's include graph, checked against its layers.

    tools/check-layers.py --manifest BUILD/layers.json      check, for ctest
    tools/check-layers.py --report [--manifest FILE]        figures for a review

The manifest names each layer library with its files, the layers and the
libraries it links, and whether it is display-free (CMake writes it at
configure time, so the build and this check read the same map). The check
fails when a game file belongs to no layer or to two, when a file includes a
header of a layer that its own layer does not link, directly or through the
layers below, and when a display-free layer (the game core and what it
stands on) links a layer or a library that is not, or one of its files
includes a header of a display, toolkit, font or image library.

The report prints lines per folder, the arrows between folders and the folder
cycles; with a manifest also the layers' upward includes and cycles; the
longest functions (needs universal-ctags); and test lines against code lines.
"""
import argparse
import json
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
GAME_FOLDERS = ["base", "board", "gameplay", "protocol", "platform", "window", "highscore", "widgets", "screens", "app", "tools/replay", "server"]
SOURCE_SUFFIXES = (".h", ".cpp")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)
SYSTEM_INCLUDE = re.compile(r'^\s*#\s*include\s*<([^>]+)>', re.MULTILINE)
# Headers and libraries of the window system, OpenGL, the toolkit, fonts and images.
DISPLAY_HEADER = re.compile(r"^(FL/|GL/|GLES|EGL/|X11/|xcb/|ft2build\.h|freetype|png\.h|pngconf\.h|cairo)")
# The service's database clients, HTTP headers and its embedded web pictures.
DISPLAY_FREE_LIBRARIES = {"ZLIB::ZLIB", "Threads::Threads", "Boost::headers", "PkgConfig::SQLITE3", "PkgConfig::LIBPQ",
                          "qz_web_pictures"}


def source_files(folders):
    files = []
    for folder in folders:
        for directory, _, names in os.walk(os.path.join(ROOT, folder)):
            files += [os.path.relpath(os.path.join(directory, n), ROOT) for n in names if n.endswith(SOURCE_SUFFIXES)]
    return sorted(files)


def read(path):
    with open(os.path.join(ROOT, path), encoding="utf-8", errors="replace") as f:
        return f.read()


def includes(path):
    """The project files that path includes, as paths from the root."""
    found = []
    for name in INCLUDE.findall(read(path)):
        for candidate in (name, os.path.join(os.path.dirname(path), name)):
            candidate = os.path.normpath(candidate)
            if os.path.isfile(os.path.join(ROOT, candidate)):
                found.append(candidate)
                break
    return found


def folder_of(path):
    """The folder a file lies in: one layer's, since each folder holds one."""
    return os.path.dirname(path)


def cycles(edges):
    """Strongly connected components of more than one node (Tarjan)."""
    nodes = sorted({a for a, _ in edges} | {b for _, b in edges})
    succ = {n: sorted({b for a, b in edges if a == n}) for n in nodes}
    index, low, stack, on_stack, found = {}, {}, [], set(), []

    def visit(node):
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for nxt in succ[node]:
            if nxt not in index:
                visit(nxt)
                low[node] = min(low[node], low[nxt])
            elif nxt in on_stack:
                low[node] = min(low[node], index[nxt])
        if low[node] == index[node]:
            component = []
            while True:
                top = stack.pop()
                on_stack.discard(top)
                component.append(top)
                if top == node:
                    break
            if len(component) > 1:
                found.append(sorted(component))

    for node in nodes:
        if node not in index:
            visit(node)
    return found


class Layers:
    def __init__(self, manifest_path):
        with open(manifest_path, encoding="utf-8") as f:
            manifest = json.load(f)
        self.links = {}
        self.libraries = {}
        self.display_free = set()
        self.layer_of = {}
        self.misplaced = []
        for layer in manifest["layers"]:
            self.links[layer["name"]] = layer["links"]
            self.libraries[layer["name"]] = layer.get("libraries", [])
            if layer.get("display_free"):
                self.display_free.add(layer["name"])
            for path in layer["files"]:
                path = os.path.relpath(os.path.join(ROOT, path), ROOT)
                if path in self.layer_of:
                    self.misplaced.append(f"{path} is in {self.layer_of[path]} and in {layer['name']}")
                self.layer_of[path] = layer["name"]

    def below(self, layer):
        """Every layer that layer links, directly or through others."""
        seen, todo = set(), list(self.links.get(layer, []))
        while todo:
            nxt = todo.pop()
            if nxt not in seen:
                seen.add(nxt)
                todo += self.links.get(nxt, [])
        return seen

    def upward_includes(self, files):
        upward = []
        for path in files:
            mine = self.layer_of.get(path)
            if mine is None:
                continue
            allowed = self.below(mine) | {mine}
            for target in includes(path):
                theirs = self.layer_of.get(target)
                if theirs is not None and theirs not in allowed:
                    upward.append((path, target, mine, theirs))
        return upward

    def display_problems(self, files):
        """What ties a display-free layer to a display."""
        problems = []
        for layer in sorted(self.display_free):
            problems += [f"{layer} is display-free but links {other}, which is not"
                         for other in self.links[layer] if other not in self.display_free]
            problems += [f"{layer} is display-free but links {library}"
                         for library in self.libraries[layer] if library not in DISPLAY_FREE_LIBRARIES]
        for path in files:
            if self.layer_of.get(path) in self.display_free:
                problems += [f"{path} ({self.layer_of[path]}) is display-free but includes <{header}>"
                             for header in SYSTEM_INCLUDE.findall(read(path)) if DISPLAY_HEADER.match(header)]
        return problems


def check(layers):
    files = source_files(GAME_FOLDERS)
    problems = list(layers.misplaced)
    problems += [f"{path} belongs to no layer" for path in files if path not in layers.layer_of]
    problems += [f"{path} ({mine}) includes {target} ({theirs}), which {mine} does not link"
                 for path, target, mine, theirs in layers.upward_includes(files)]
    problems += layers.display_problems(files)
    for component in cycles([(a, b) for a, links in layers.links.items() for b in links]):
        problems.append("layers link each other in a circle: " + " ".join(component))
    for problem in problems:
        print(problem)
    print(f"{len(files)} files in {len(layers.links)} layers: {len(problems)} problems")
    return 1 if problems else 0


def count_lines(paths):
    return sum(read(p).count("\n") for p in paths)


def all_files(folder):
    found = []
    for directory, _, names in os.walk(os.path.join(ROOT, folder)):
        found += [os.path.relpath(os.path.join(directory, n), ROOT) for n in names]
    return found


def longest_functions(files, count):
    result = subprocess.run(["ctags", "--output-format=json", "--fields=+ne", "--kinds-C++=f", "--language-force=C++",
                             "-o", "-"] + files, cwd=ROOT, capture_output=True, text=True, check=True)
    functions = []
    for line in result.stdout.splitlines():
        tag = json.loads(line)
        if "end" in tag:
            name = tag.get("scope", "") + ("::" if tag.get("scope") else "") + tag["name"]
            functions.append((tag["end"] - tag["line"] + 1, name, f"{tag['path']}:{tag['line']}"))
    return sorted(functions, reverse=True)[:count]


def report(layers):
    files = source_files(GAME_FOLDERS)
    print("lines per folder (.h and .cpp):")
    for folder in sorted({folder_of(p) for p in files}):
        here = [p for p in files if folder_of(p) == folder]
        print(f"  {folder:18} {count_lines(here):6}")

    arrows = {}
    for path in files:
        for target in includes(path):
            edge = (folder_of(path), folder_of(target))
            if edge[0] != edge[1]:
                arrows[edge] = arrows.get(edge, 0) + 1
    print("includes between folders (from -> to: count):")
    for (a, b), n in sorted(arrows.items()):
        print(f"  {a} -> {b}: {n}")
    folder_cycles = cycles(list(arrows))
    print(f"folder cycles: {len(folder_cycles)}" + "".join(f"\n  {' '.join(c)}" for c in folder_cycles))

    if layers:
        upward = layers.upward_includes(files)
        pairs = sorted({(mine, theirs) for _, _, mine, theirs in upward})
        print(f"upward includes: {len(upward)} in {len(pairs)} layer arrows")
        for mine, theirs in pairs:
            print(f"  {mine} -> {theirs}: " +
                  ", ".join(f"{p} -> {t}" for p, t, m, th in upward if (m, th) == (mine, theirs)))
        layer_edges = {(layers.layer_of[p], layers.layer_of[t]) for p in files if p in layers.layer_of
                       for t in includes(p) if t in layers.layer_of and layers.layer_of[t] != layers.layer_of[p]}
        layer_cycles = cycles(list(layer_edges))
        print(f"layer cycles: {len(layer_cycles)}" + "".join(f"\n  {' '.join(c)}" for c in layer_cycles))

    print("longest functions (lines):")
    for length, name, where in longest_functions([f for f in files if f.endswith(".cpp")], 5):
        print(f"  {length:4} {name} ({where})")

    tests = count_lines([p for p in all_files("tests") if p.endswith((".cpp", ".h", ".py", ".sh"))])
    code = count_lines(files)
    print(f"test lines {tests}, code lines {code} (game and server .h/.cpp): {tests / code:.2f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--manifest", help="layers.json that CMake writes into the build directory")
    parser.add_argument("--report", action="store_true", help="print figures instead of checking")
    args = parser.parse_args()
    layers = Layers(args.manifest) if args.manifest else None
    if args.report:
        report(layers)
        return 0
    if not layers:
        parser.error("the check needs --manifest")
    return check(layers)


if __name__ == "__main__":
    sys.exit(main())
