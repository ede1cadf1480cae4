#!/usr/bin/env python3
"""Watching a recorded game: `quarzello --watch FILE` plays a recording the
game wrote (QUARZELLO_RECORD_DIR) on the game screen until the board stands
as it stood when the game was given up, with the bar of controls under it;
a file that is no recording, or none at all, gets a message box and ends the
program with status 1; and a local highscore entry whose game is kept is
watched from the table through its "»" button and left again with Escape
or "Ende"; and a verified entry of the online table of the real service
(QUARZELLO_HIGHSCORED) is downloaded and watched to the same end as the
game kept for the local table."""

import os
import shlex
import shutil
import tempfile

from harness import Display, assert_equal, check, run_cases
from play import BOARD_BOX, SCORE_BOX, SEED, cell_centre, click_at, find_pair, park, start
from test_highscore import (LEVEL_LIST, encode_file, ink, play_level_game_to_its_end, read_file, row_glows,
                            table_shown, wait_table)
from test_menus import entry_at, is_main_menu, is_pause
from test_recording import recordings, the_recording
from test_verified import Service, enter_online, online_from_the_start

BAR_BOX = (0, 478, 400, 496)
MARK_BOX = (8, 478, 230, 496)       # "Wiedergabe · N Punkte"
PAUSE_BUTTON = (258, 478, 308, 496)  # "Pause" or "Weiter"
SPEED_X = (300, 324, 348)           # "1×", "2×", "4×"
SPEED_WIDTH = 22
LEAVE_BUTTON = (380, 487)           # "Ende"
PAUSE_TEXT = (100, 185, 300, 225)   # "Pause" over the dimmed board
WATCH_BUTTON_X = 368                # the "»" of a table row
STRONGER = [(f"A{i}", 2_000_000_000 - i) for i in range(3)]  # kept by no recording


def start_watching(display, path, wait_window=True):
    """quarzello --watch path, in a fresh working directory."""
    # The harness starts the bare binary; a shell in front of it adds the arguments.
    wrapper = ["sh", "-c", f'exec "$0" --watch {shlex.quote(path)}']
    return display.start_game(wrapper=wrapper, wait_window=wait_window)


def speed_box(index):
    x = SPEED_X[index]
    return x, 478, x + SPEED_WIDTH, 496


def blue_pixels(shot, box):
    """Pixels of the chosen speed's colour (a clear blue) inside box."""
    x0, y0, x1, y1 = box
    count = 0
    for y in range(y0, y1):
        for x in range(x0, x1):
            r, g, b = shot.pixel(x, y)
            count += b > 150 and b > r + 80
    return count


def dark_pixels(shot, box):
    """Pixels of the bar's and the pause's text colour (a dark grey) inside box."""
    x0, y0, x1, y1 = box
    return sum(max(shot.pixel(x, y)) < 90 for y in range(y0, y1) for x in range(x0, x1))


def bar_shown(shot):
    return ink(shot, MARK_BOX) > 100 and ink(shot, PAUSE_BUTTON) > 30 and all(
        ink(shot, speed_box(i)) > 20 for i in range(3))


def same_part(a, b, box):
    return a.count_diff(b, box, threshold=12) == 0


# ---------------------------------------------------------------- a recording watched to its end

def play_and_give_up(display, directory):
    """A seeded Classic Leicht game: two stones taken, the board left to
    settle, then given up from the pause screen. Returns the board as it
    stood and the recording."""
    game = display.start_game(env=dict(SEED, QUARZELLO_RECORD_DIR=directory))
    board = start(game, "first", "first")  # Classic, Leicht: any single stone is a group
    for c in (8, 3):
        before = board
        click_at(game, *cell_centre(c, 18))  # marked
        click_at(game, *cell_centre(c, 18))  # and taken
        park(game)
        game.wait_for(lambda s: s.diff_box(before, SCORE_BOX) is not None, f"scored-{c}")
        board = game.wait_stable(f"settled-{c}", box=(0, 0, 400, 475))
    game.key("p")
    game.wait_for(is_pause, "pause")
    game.click(*entry_at(400))  # "Spiel abbrechen"
    park(game)
    game.wait_for(is_main_menu, "main-menu")
    path = the_recording(directory, game, "recording")
    game.key("Escape")
    assert_equal(game.exit_status(timeout=5), 0, "exit status of the game played")
    return board, path


def case_watch_a_recording_shows_its_end(display):
    with recordings() as directory:
        final, path = play_and_give_up(display, directory)
        # Watched on a server and in a working directory of its own.
        with Display(display.binary, os.path.join(display.shots_dir, "watch")) as fresh:
            watch_to_the_end(start_watching(fresh, path), final)


def watch_to_the_end(watched, final):
    first = watched.wait_for(bar_shown, "watch-bar")
    check(blue_pixels(first, speed_box(0)) > 10 and blue_pixels(first, speed_box(2)) == 0,
          f"the replay does not start at 1x ({first.path})")
    check(not same_part(first, final, SCORE_BOX), f"the replay did not start from the beginning ({first.path})")
    watched.key("4")
    watched.wait_for(lambda s: blue_pixels(s, speed_box(2)) > 10 and blue_pixels(s, speed_box(0)) == 0,
                     "watch-4x", failure="4 did not choose 4x")

    def at_the_end(shot):
        return same_part(shot, final, BOARD_BOX) and same_part(shot, final, SCORE_BOX)
    end = watched.wait_for(at_the_end, "watch-end", failure="the replay never showed the board as it was left")
    end = watched.wait_stable("watch-end-stable", predicate=at_the_end)
    check(end.count_diff(final, BAR_BOX, threshold=12) > 300, f"no bar under the board ({end.path})")
    check(bar_shown(end), f"the bar is incomplete ({end.path})")

    # Paused, the board is dimmed under "Pause" and the button says "Weiter"; going on shows it again.
    watched.key("p")
    paused = watched.wait_for(lambda s: s.count_diff(end, BOARD_BOX, threshold=12) > 5000, "watch-paused",
                              failure="P did not pause the replay")
    check(dark_pixels(paused, PAUSE_TEXT) > 100, f"no 'Pause' over the board ({paused.path})")
    check(paused.count_diff(end, PAUSE_BUTTON, threshold=12) > 20, f"the pause button kept its label ({paused.path})")
    check(same_part(paused, end, SCORE_BOX), f"the pause changed the score panel ({paused.path})")
    watched.key("space")
    watched.wait_for(lambda s: same_part(s, end, BOARD_BOX) and same_part(s, end, PAUSE_BUTTON), "watch-on",
                     failure="Space did not go on with the replay")

    watched.key("Escape")
    assert_equal(watched.exit_status(timeout=5), 0, "exit status after watching")


# ---------------------------------------------------------------- files that cannot be watched

def refused(display, path, name):
    """quarzello --watch path: a message box titled "Wiedergabe"; closed, the program ends with status 1."""
    game = start_watching(display, path, wait_window=False)
    box = game.wait_window("Wiedergabe")
    shot = game.screenshot(f"{name}-box", window=box)
    check(shot.width > 200, f"no message box ({shot.path})")
    display.run(["xdotool", "windowfocus", "--sync", str(box), "key", "Return"])
    assert_equal(game.exit_status(timeout=10), 1, f"exit status for {name}")
    return shot


def case_watch_refuses_a_bad_file(display):
    with tempfile.TemporaryDirectory(prefix="qz-watch-") as directory:
        garbage = os.path.join(directory, "garbage.qzr")
        with open(garbage, "wb") as f:
            f.write(bytes((i * 151 + 7) % 256 for i in range(3000)))
        not_played = refused(display, garbage, "garbage")
        missing = refused(display, os.path.join(directory, "missing.qzr"), "missing")
        # A directory cannot be read as a file: the same box as a missing one, not a crash.
        refused(display, directory, "directory")
        # The two boxes give different reasons.
        check((not_played.width, not_played.height) != (missing.width, missing.height)
              or not_played.count_diff(missing, threshold=12) > 100,
              f"the same message for garbage and a missing file ({not_played.path}, {missing.path})")


# ---------------------------------------------------------------- from the highscore table

def watch_button(row):
    top = 125 + 20 * row
    return WATCH_BUTTON_X - 7, top, WATCH_BUTTON_X + 7, top + 18


def watch_from_the_table(game, table, row, name):
    """Hovers the row's "»", which glows, clicks it and waits for the replay with its bar."""
    x0, y0, x1, y1 = watch_button(row)
    game.move((x0 + x1) // 2, (y0 + y1) // 2)
    game.wait_for(lambda s: s.count_diff(table, watch_button(row), threshold=12) > 30, f"hovered-{name}",
                  failure="the watch button does not glow under the pointer")
    game.click()
    park(game)
    game.wait_for(bar_shown, f"watching-{name}", failure="no replay after a click on the watch button")
    # The Level game's stones come to rest on the board, as in the game itself.
    watching = game.wait_for(lambda s: bar_shown(s) and find_pair(s) is not None, f"watched-board-{name}",
                             failure="the replay shows no board")
    check(watching.count_diff(table, (0, 0, 400, 120), threshold=12) > 500,
          f"the head-up display of the game does not show ({watching.path})")


def case_watch_a_local_entry_from_the_table(display):
    workdir = tempfile.mkdtemp(prefix="qz-watch-table-")
    with open(os.path.join(workdir, "highscore.tvs"), "wb") as f:
        f.write(encode_file("", 0, {LEVEL_LIST: STRONGER}))
    try:
        game = display.start_game(env=SEED, workdir=workdir)
        play_level_game_to_its_end(game, "entry")
        game.type("Tester")
        game.click(200, 370)  # "Weiter", saved locally only
        own = len(STRONGER) + 1
        # The button shows once the own row rests, after the rows above it.
        game.wait_for(lambda s: table_shown(s) and ink(s, watch_button(own)) > 10, "table-button",
                      failure="no watch button beside the own entry")
        table = wait_table(game, "table")
        check(row_glows(table, own), f"the own entry is not highlighted ({table.path})")
        for row in range(1, own):
            check(ink(table, watch_button(row)) == 0,
                  f"a watch button in row {row}, whose game is not kept ({table.path})")
        _, _, lists = read_file(workdir)
        assert_equal([name for name, _ in lists[LEVEL_LIST]], [name for name, _ in STRONGER] + ["Tester"],
                     "Level ranking")
        check(os.listdir(os.path.join(workdir, "recordings")), "no recording kept beside highscore.tvs")

        # Left with Escape, then with "Ende": the table comes back as it was, and the program goes on.
        for leave in ("escape", "ende"):
            watch_from_the_table(game, table, own, leave)
            if leave == "escape":
                game.key("Escape")
            else:
                click_at(game, *LEAVE_BUTTON)
                park(game)
            back = wait_table(game, f"table-after-{leave}")
            check(same_part(back, table, (0, 0, 400, 500)), f"the table did not come back as it was ({back.path})")
            check(game.running(), f"leaving the replay by {leave} ended the program")
        game.key("Escape")
        assert_equal(game.exit_status(timeout=5), 0, "exit status")
    finally:
        shutil.rmtree(workdir, ignore_errors=True)


def first_row_shown(shot):
    # The rank of the table's first row: neither the name entry nor the connection notice draws there.
    return ink(shot, (38, 146, 62, 161)) > 20


def watched_to_its_end(game, name):
    """At 4x until the screen stands still: the Level game is over."""
    game.key("4")
    game.wait_for(lambda s: blue_pixels(s, speed_box(2)) > 10, f"{name}-4x", failure="4 did not choose 4x")
    return game.wait_stable(f"{name}-end", timeout=60, predicate=bar_shown)


def case_watch_a_verified_entry_from_the_online_table(display):
    directory = tempfile.mkdtemp(prefix="qz-watch-online-")
    service = Service(display, directory)
    game = display.start_game(env=dict(SEED, QUARZELLO_HIGHSCORE_HOST=service.host), workdir=online_from_the_start())
    try:
        service.wait_for_deals()
        enter_online(game, "entry", ticked=True)
        park(game)
        # The only entry, verified: its button comes once the service has said so.
        game.wait_for(lambda s: first_row_shown(s) and ink(s, watch_button(1)) > 10, "online-button",
                      failure="no watch button beside the verified entry")
        online = game.wait_stable("online-table", predicate=first_row_shown)
        check("GET /quarzello/api/rankings" in service.text(), f"the table did not ask for its verified entries")

        watch_from_the_table(game, online, 1, "online")
        check("GET /quarzello/replays/" in service.text(), "the recording did not come from the service")
        from_online = watched_to_its_end(game, "online")
        game.key("Escape")
        back = game.wait_stable("online-table-again", predicate=first_row_shown)
        check(same_part(back, online, (0, 0, 400, 500)), f"the online table did not come back ({back.path})")

        # The same game, kept for the local table, ends alike: same board, same score, same mark.
        game.click(78, 45)  # "Online": the local table
        park(game)
        local = game.wait_for(lambda s: first_row_shown(s) and ink(s, watch_button(1)) > 10
                              and s.count_diff(online, (20, 21, 136, 45), threshold=12) > 20, "local-button",
                              failure="no watch button on the local table")
        local = game.wait_stable("local-table", predicate=first_row_shown)
        watch_from_the_table(game, local, 1, "local")
        from_local = watched_to_its_end(game, "local")
        check(same_part(from_online, from_local, (0, 0, 400, 500)),
              f"the downloaded game ended otherwise than the kept one ({from_online.path}, {from_local.path})")
        game.key("Escape")
        game.wait_stable("local-table-again", predicate=first_row_shown)
        game.key("Escape")
        assert_equal(game.exit_status(timeout=5), 0, "exit status")
    finally:
        shutil.rmtree(directory, ignore_errors=True)


if __name__ == "__main__":
    run_cases(globals())
