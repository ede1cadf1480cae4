#!/usr/bin/env python3
"""The installed game, as a player and a desktop meet it: `cmake --install`
into a temporary DESTDIR (default prefix /usr/local) lays every file in its
place, the desktop files pass their validators, the icons are the sizes their
directories claim, and the launcher runs the game in the player's data
directory when started from / or the home directory (as desktop menus do).

    test_install.py BUILD_DIR CASE [SHOTS_DIR]
"""

import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from harness import Display, assert_equal, check, run_cases  # noqa: E402
from test_highscore import encode_file, ink  # noqa: E402

APP_ID = "io.github.quarzello.Quarzello"
PREFIX = "usr/local"
ICON_SIZES = [16, 24, 32, 48, 64, 128, 256]
CLASSIC_LEICHT = 0
SEEDED = [(f"Seeded{i:02}", 5000 - i) for i in range(12)]
FIRST_ROW = (40, 135, 360, 160)
ROWS_SIX_TO_TEN = (40, 235, 360, 335)
LEFT_EDGE = (0, 100, 16, 400)  # the bare game background on the table screen


def open_table(game, name, filled):
    """Opens the local Classic/Leicht table from the main menu and waits until
    its rows are in: ten of them when filled, else the one saying so."""
    game.click(200, 220)  # "Highscore"
    game.move(200, 485)
    rows = ROWS_SIX_TO_TEN if filled else FIRST_ROW
    return game.wait_for(lambda shot: ink(shot, LEFT_EDGE) == 0 and ink(shot, rows) > 300, name, timeout=15)


def install(build_dir):
    """Installs the build into a fresh DESTDIR; returns that directory."""
    root = tempfile.mkdtemp(prefix="qz-install-")
    result = subprocess.run(["cmake", "--install", build_dir], env=dict(os.environ, DESTDIR=root),
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    check(result.returncode == 0, "cmake --install failed:\n" + result.stdout)
    return root


def installed(root, path):
    return os.path.join(root, PREFIX, path)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    check(head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR", f"{path} is no PNG")
    return struct.unpack(">II", head[16:24])


def validate(command, path):
    result = subprocess.run(command + [path], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    problems = [line for line in result.stdout.splitlines() if re.match(r"\s*(E|W|error|warning)\b", line)]
    check(result.returncode == 0 and not problems, f"{' '.join(command)} {path}:\n{result.stdout}")


def launch(launcher, cwd, env):
    """Runs the launcher without a display; (exit status, output)."""
    result = subprocess.run([launcher], cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=20)
    return result.returncode, result.stdout


def environment_of(pid):
    with open(f"/proc/{pid}/environ", "rb") as f:
        return dict(entry.decode("latin-1").split("=", 1) for entry in f.read().split(b"\0") if b"=" in entry)


def files_below(directory):
    return sorted(os.path.relpath(os.path.join(top, name), directory)
                  for top, dirs, names in os.walk(directory) for name in names + dirs)


# ---------------------------------------------------------------- the cases

def case_layout(build_dir, shots_dir):
    root = install(build_dir)
    try:
        expected = [
            "games/quarzello", "libexec/quarzello/quarzello", "sbin/quarzello-highscored",
            "bin/quarzello-replay", "etc/default/quarzello", f"share/applications/{APP_ID}.desktop",
            f"share/metainfo/{APP_ID}.metainfo.xml", f"share/icons/hicolor/scalable/apps/{APP_ID}.svg",
            "share/man/man6/quarzello.6", "share/man/man8/quarzello-highscored.8",
            "share/man/man1/quarzello-replay.1",
        ] + [f"share/icons/hicolor/{s}x{s}/apps/{APP_ID}.png" for s in ICON_SIZES] + [
            f"share/locale/{lang}/LC_MESSAGES/{domain}.mo" for lang in ("en", "fr")
            for domain in ("quarzello", "quarzello-highscored")]
        for path in expected:
            check(os.path.isfile(installed(root, path)), f"not installed: {PREFIX}/{path}")
        for path in ["games/quarzello", "libexec/quarzello/quarzello", "sbin/quarzello-highscored",
                     "bin/quarzello-replay"]:
            check(os.access(installed(root, path), os.X_OK), f"not executable: {PREFIX}/{path}")
        assert_equal(len(files_below(root)), len(set(files_below(root))), "installed files")

        validate(["desktop-file-validate"], installed(root, f"share/applications/{APP_ID}.desktop"))
        validate(["appstreamcli", "validate", "--no-net"], installed(root, f"share/metainfo/{APP_ID}.metainfo.xml"))
        # Translated from the game's catalogues, German where untranslated.
        with open(installed(root, f"share/applications/{APP_ID}.desktop"), encoding="utf-8") as f:
            desktop = f.read()
        for line in ("GenericName=Denkspiel", "GenericName[en]=Puzzle Game", "Name=Quarzello"):
            check(re.search(f"^{re.escape(line)}$", desktop, re.M), f"the desktop entry lacks {line!r}")
        check(re.search(r"^Comment\[fr\]=.+$", desktop, re.M), "the desktop entry has no French comment")
        with open(installed(root, f"share/metainfo/{APP_ID}.metainfo.xml"), encoding="utf-8") as f:
            metainfo = f.read()
        for lang in ("en", "fr"):
            check(f'<summary xml:lang="{lang}">' in metainfo and f'<p xml:lang="{lang}">' in metainfo,
                  f"the metainfo has no {lang} summary and description")

        for size in ICON_SIZES:
            assert_equal(png_size(installed(root, f"share/icons/hicolor/{size}x{size}/apps/{APP_ID}.png")),
                         (size, size), f"icon in {size}x{size}")
        with open(installed(root, f"share/icons/hicolor/scalable/apps/{APP_ID}.svg")) as f:
            svg = f.read()
        check(re.search(r'<svg [^>]*viewBox="0 0 (\d+) \1"', svg), "the SVG icon is not square")

        for page in ["man6/quarzello.6", "man8/quarzello-highscored.8", "man1/quarzello-replay.1"]:
            result = subprocess.run(["man", "--warnings", "-l", "-Tutf8", installed(root, "share/man/" + page)],
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                    env=dict(os.environ, MANWIDTH="80"))
            check(result.returncode == 0 and not result.stderr, f"man page {page}:\n{result.stderr}")
            check("NAME" in re.sub(".\b", "", result.stdout), f"man page {page} has no NAME section")

        with open(installed(root, "etc/default/quarzello")) as f:
            defaults = f.read()
        check(re.search(r"^#QUARZELLO_HIGHSCORE_HOST=127\.0\.0\.1:8080$", defaults, re.M) and
              not re.search(r"^QUARZELLO_HIGHSCORE_HOST", defaults, re.M),
              "the site settings must leave the host unset, with the local service as a commented example")
        check(re.search(r"^#QUARZELLO_LANG=en$", defaults, re.M) and not re.search(r"^QUARZELLO_LANG", defaults, re.M),
              "the site settings must leave the language unset, with English as a commented example")
    finally:
        shutil.rmtree(root)


def case_data_dir_not_made(build_dir, shots_dir):
    root = install(build_dir)
    home = tempfile.mkdtemp(prefix="qz-home-")
    try:
        launcher = installed(root, "games/quarzello")
        with open(os.path.join(home, ".local"), "w") as f:
            f.write("a file where a directory should be")
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "XDG_DATA_HOME")}
        env["HOME"] = home
        status, output = launch(launcher, "/", env)
        check(status != 0, f"the launcher went on without its data directory:\n{output}")
        check("quarzello: cannot use " + os.path.join(home, ".local/share/quarzello") in output,
              f"no clear message:\n{output}")
        assert_equal(files_below(home), [".local"], "home directory")

        status, output = launch(launcher, "/", {k: v for k, v in env.items() if k != "HOME"})
        check(status != 0 and "neither XDG_DATA_HOME nor HOME is set" in output,
              f"without HOME: status {status}:\n{output}")
    finally:
        shutil.rmtree(root)
        shutil.rmtree(home)


def start(display, cwd, env):
    game = display.start_game(env=env, workdir=cwd)
    return game, os.readlink(f"/proc/{game.pid}/cwd")


def case_launcher_data_dir(build_dir, shots_dir):
    root = install(build_dir)
    home = tempfile.mkdtemp(prefix="qz-home-")
    elsewhere = tempfile.mkdtemp(prefix="qz-cwd-")
    try:
        launcher = installed(root, "games/quarzello")
        with open(installed(root, "etc/default/quarzello"), "a") as f:
            f.write("QUARZELLO_HIGHSCORE_HOST=127.0.0.1:9\nQUARZELLO_LANG=en\n")
        with Display(launcher, shots_dir) as display:
            base = {"HOME": home, "XDG_DATA_HOME": ""}

            # From the root directory, as a desktop menu may start it: the data
            # directory is made and the game runs there, with the site's host.
            game, cwd = start(display, "/", base)
            data = os.path.join(home, ".local/share/quarzello")
            assert_equal(cwd, data, "working directory started from /")
            assert_equal(environment_of(game.pid).get("QUARZELLO_HIGHSCORE_HOST"), "127.0.0.1:9",
                         "host from the site settings")
            assert_equal(environment_of(game.pid).get("QUARZELLO_LANG"), "en", "language from the site settings")
            empty = open_table(game, "empty-table", filled=False)
            assert_equal(ink(empty, ROWS_SIX_TO_TEN), 0, "ink in rows 6 to 10 of an empty table")
            game.key("Escape")
            assert_equal(game.exit_status(timeout=5), 0, "exit status")

            # From the home directory with XDG_DATA_HOME set, and a ranking
            # already there: that is the file the game shows. A host of the
            # player's own wins over the site's.
            xdg = os.path.join(home, "xdg")
            os.makedirs(os.path.join(xdg, "quarzello"))
            with open(os.path.join(xdg, "quarzello", "highscore.tvs"), "wb") as f:
                f.write(encode_file("", 0, {CLASSIC_LEICHT: SEEDED}))
            game, cwd = start(display, home,
                              dict(base, XDG_DATA_HOME=xdg, QUARZELLO_HIGHSCORE_HOST="127.0.0.1:7", QUARZELLO_LANG="de"))
            assert_equal(cwd, os.path.join(xdg, "quarzello"), "working directory started from HOME")
            assert_equal(environment_of(game.pid).get("QUARZELLO_HIGHSCORE_HOST"), "127.0.0.1:7",
                         "the player's own host")
            assert_equal(environment_of(game.pid).get("QUARZELLO_LANG"), "de", "the player's own language")
            open_table(game, "seeded-table", filled=True)
            game.key("Escape")
            assert_equal(game.exit_status(timeout=5), 0, "exit status")

            # From any other directory the game runs right there.
            game, cwd = start(display, elsewhere, base)
            assert_equal(cwd, os.path.realpath(elsewhere), "working directory started elsewhere")
            game.key("Escape")
            assert_equal(game.exit_status(timeout=5), 0, "exit status")

        # The rankings never land in the home directory itself.
        check(not [p for p in files_below(home) if os.path.basename(p) == "highscore.tvs"
                   and os.path.dirname(p) not in (".local/share/quarzello", "xdg/quarzello")],
              f"a highscore file outside the data directories: {files_below(home)}")
        check(not [p for p in os.listdir(home) if os.path.isfile(os.path.join(home, p))],
              f"files written into the home directory: {os.listdir(home)}")
    finally:
        shutil.rmtree(root)
        shutil.rmtree(home)
        shutil.rmtree(elsewhere)


if __name__ == "__main__":
    run_cases(globals(), run=lambda build_dir, case, shots_dir: case(build_dir, shots_dir),
              first_argument="BUILD_DIR")
