#!/usr/bin/env python3
"""Two games open at once in one working directory, as two starts from the
desktop menu give: both are started before either saves, and each plays a
Level game to its end and enters a result. The second save keeps the first
one's entry: both are in highscore.tvs, in the second game's table, and in the
first game's table once it is opened again from the menu."""

import os
import shutil
import tempfile
import time

from harness import WINDOW_TITLE, assert_equal, check, run_cases
from play import SEED, park
from test_highscore import (LEVEL_LIST, encode_file, ink, play_level_game_to_its_end, read_file, row_glows,
                            table_shown, unused_port)

SEEDED = [("Erste", 2_000_000_000), ("Zweite", 1_999_999_999), ("Dritte", 1_999_999_998)]
MODE_TAB = (142, 28, 258, 54)  # its label


def start_beside(display, env, workdir, others, x):
    """A game in workdir whose window is moved to screen x, beside the windows
    of the games already running (they all open in the middle)."""
    game = display.start_game(env=env, workdir=workdir, wait_window=False)
    deadline = time.monotonic() + 30
    while True:
        found = display.run(["xdotool", "search", "--onlyvisible", "--name", f"^{WINDOW_TITLE}$"],
                            check_status=False).split()
        mine = [int(window) for window in found if int(window) not in [other.window for other in others]]
        if mine:
            game.window = mine[0]
            break
        check(game.running(), f"the game ended before its window appeared:\n{game.output()}")
        check(time.monotonic() < deadline, "the window of a second game did not appear")
        time.sleep(0.05)
    game.move_window(x, 20)
    return game


def rows_shown(shot):
    """How many of the ten rows show a place number."""
    return sum(1 for row in range(1, 11) if ink(shot, (38, 126 + 20 * row, 62, 141 + 20 * row)) > 20)


def ranked(entries, name, points):
    """entries with (name, points) entered as the game does: behind every
    entry with as many points or more."""
    at = next((i for i, (_, p) in enumerate(entries) if p < points), len(entries))
    return entries[:at] + [(name, points)] + entries[at:]


def enter_result(game, name, shot_name):
    play_level_game_to_its_end(game, shot_name)
    game.type(name)
    park(game)
    game.wait_for(lambda s: ink(s, (80, 150, 120, 166)) > 20, f"{shot_name}-typed")
    game.click(200, 370)  # "Weiter"
    park(game)
    return game.wait_stable(f"{shot_name}-table", predicate=table_shown)


def points_of(workdir, name):
    return next(points for entry_name, points in read_file(workdir)[2][LEVEL_LIST] if entry_name == name)


def case_both_entries_kept(display):
    workdir = tempfile.mkdtemp(prefix="qz-two-games-")
    with open(os.path.join(workdir, "highscore.tvs"), "wb") as f:
        f.write(encode_file("", 0, {LEVEL_LIST: SEEDED}))
    env = dict(SEED, QUARZELLO_HIGHSCORE_HOST=f"127.0.0.1:{unused_port()}")
    try:
        first = start_beside(display, env, workdir, [], 20)
        second = start_beside(display, env, workdir, [first], 640)

        table = enter_result(first, "Anna", "anna")
        anna = points_of(workdir, "Anna")
        expected = ranked(SEEDED, "Anna", anna)
        assert_equal(read_file(workdir)[2][LEVEL_LIST], expected, "Level ranking after the first save")
        assert_equal(rows_shown(table), 4, f"rows of the first game's table ({table.path})")
        check(row_glows(table, 4), f"Anna is not highlighted ({table.path})")

        # The second game read the file before Anna was in it.
        table = enter_result(second, "Bernd", "bernd")
        name, flag, lists = read_file(workdir)
        expected = ranked(expected, "Bernd", points_of(workdir, "Bernd"))
        assert_equal(lists[LEVEL_LIST], expected, "Level ranking after the second save")
        assert_equal((name, flag), ("Bernd", 0), "player record of the game that saved last")
        assert_equal(rows_shown(table), 5, f"rows of the second game's table ({table.path})")
        place = expected.index(("Bernd", points_of(workdir, "Bernd"))) + 1
        check(row_glows(table, place), f"Bernd is not highlighted on place {place} ({table.path})")
        check(not row_glows(table, expected.index(("Anna", anna)) + 1),
              f"Anna is highlighted in the second game ({table.path})")

        # The first game's table, opened again from its menu, shows Bernd too.
        first.click(200, 405)  # "Menü"
        park(first)
        first.wait_for(lambda s: s.count_diff(first.menu, threshold=12) == 0, "anna-menu")
        first.click(200, 220)  # "Highscore": the Classic Leicht table, empty
        park(first)
        classic = first.wait_stable("anna-classic", predicate=lambda s: rows_shown(s) == 0)
        first.click(200, 45)  # the mode tab: Turbo
        park(first)
        turbo = first.wait_for(lambda s: s.count_diff(classic, MODE_TAB, threshold=12) > 0, "anna-turbo")
        first.click(200, 45)  # and Level
        park(first)
        level = first.wait_stable("anna-level", predicate=lambda s: rows_shown(s) == 5
                                  and s.count_diff(turbo, MODE_TAB, threshold=12) > 0)
        check(not any(row_glows(level, row) for row in range(1, 6)), f"a row glows ({level.path})")
        for game in (first, second):
            game.key("Escape")
            assert_equal(game.exit_status(timeout=5), 0, "exit status")
    finally:
        shutil.rmtree(workdir)


if __name__ == "__main__":
    run_cases(globals())
