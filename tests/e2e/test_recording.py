#!/usr/bin/env python3
"""Recordings: with QUARZELLO_RECORD_DIR set, the real game writes the
recording of every game that ends or is given up, and quarzello-replay plays
each one again, with no window, to the points the screen showed: a Classic
game with marks, a mark let go and a pause, given up from the pause screen;
a Turbo game until its clock runs out; a Level game until GAME OVER; a
Turbo click pressed in the game's last frame and handled after its time is
up, which scores nothing. The points the screen showed are read from the
board before the click (a Classic group's size) or from the highscore file
the entry screen saved."""

import contextlib
import glob
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

from harness import assert_equal, check, run_cases
from play import (BOARD_BOX, COLUMNS, ROWS, SCORE_BOX, SEED, cell_centre, choose, click_at, park, removable_colour,
                  same_colour, start, stone_colour)
from test_highscore import LEVEL_LIST, on_new_highscore_screen, play_level_game_to_its_end, read_file
from test_menus import entry_at, is_game, is_main_menu, is_pause, title_width

INPUTS_LINE = re.compile(r"^.+: at most (?P<in_frame>\d+) clicks in a frame, (?P<in_second>\d+) in a second; "
                         r"clicks up to (?P<lag>\d+) ms after their frame; frames up to (?P<step>\d+) ms apart$")
TURBO_MILLIS = 121000
REPLAY_LINE = re.compile(r"^(?P<file>.+): score (?P<score>\d+), (?P<ranking>[A-Za-z ]+), (?P<frames>\d+) frames, "
                         r"(?P<seconds>[\d.]+) s played, (?P<end>game over|not ended), board [0-9a-f]{16}$")
TURBO_LEICHT_LIST = 3


@contextlib.contextmanager
def recordings():
    """A directory for the game's recordings, removed afterwards."""
    directory = tempfile.mkdtemp(prefix="qz-recordings-")
    try:
        yield directory
    finally:
        shutil.rmtree(directory, ignore_errors=True)


def replay(binary, path):
    """quarzello-replay's line for one file, parsed."""
    tool = os.path.join(os.path.dirname(binary), "quarzello-replay")
    result = subprocess.run([tool, path], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=60)
    check(result.returncode == 0, f"quarzello-replay refused {path}: {result.stderr}")
    match = REPLAY_LINE.match(result.stdout.strip())
    check(match, f"unexpected line from quarzello-replay: {result.stdout!r}")
    return match


def replay_inputs(binary, path):
    """quarzello-replay --inputs: the figures line for one file, parsed."""
    tool = os.path.join(os.path.dirname(binary), "quarzello-replay")
    result = subprocess.run([tool, "--inputs", path], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                            timeout=60)
    check(result.returncode == 0, f"quarzello-replay refused {path}: {result.stderr}")
    lines = result.stdout.strip().split("\n")
    check(len(lines) == 2 and REPLAY_LINE.match(lines[0]), f"unexpected output of quarzello-replay: {result.stdout!r}")
    match = INPUTS_LINE.match(lines[1])
    check(match, f"unexpected figures from quarzello-replay: {lines[1]!r}")
    return REPLAY_LINE.match(lines[0]), match


def the_recording(directory, game, name):
    """The one recording the game has written (waited for, as the game writes it while it goes on)."""
    def written(_shot):
        return len(glob.glob(os.path.join(directory, "*.qzr"))) == 1
    game.wait_for(written, name, failure=f"no recording in {directory}")
    return glob.glob(os.path.join(directory, "*.qzr"))[0]


def group_size(shot, c, r):
    """The stones of the clicked cell's colour joined to it, as the board shows them."""
    colour = stone_colour(shot, c, r)
    check(removable_colour(colour), f"no stone at ({c}, {r}) in {shot.path}")
    seen, todo = {(c, r)}, [(c, r)]
    while todo:
        cc, rr = todo.pop()
        for n in ((cc - 1, rr), (cc + 1, rr), (cc, rr - 1), (cc, rr + 1)):
            if 0 <= n[0] < COLUMNS and 0 <= n[1] < ROWS and n not in seen and \
                    same_colour(colour, stone_colour(shot, *n)):
                seen.add(n)
                todo.append(n)
    return len(seen)


def saved_points(game, name, ranking):
    """Types a name, presses "Weiter" and waits for the entry in highscore.tvs."""
    game.type(name)
    game.click(200, 370)  # "Weiter"
    park(game)

    def entries(_shot=None):
        try:
            _, _, lists = read_file(game.workdir)
        except FileNotFoundError:
            return []
        return [points for entry, points in lists.get(ranking, []) if entry == name]
    game.wait_for(lambda shot: entries(), "saved", failure="the entry never reached highscore.tvs")
    saved = entries()
    assert_equal(len(saved), 1, f"entries of {name}")
    return saved[0]


def case_classic_with_marks_and_a_pause(display):
    with recordings() as directory:
        play_classic_with_marks_and_a_pause(display, directory)


def play_classic_with_marks_and_a_pause(display, directory):
    game = display.start_game(env=dict(SEED, QUARZELLO_RECORD_DIR=directory))
    before = start(game, "first", "second")  # Classic, Mittel: groups of two, two clicks each
    target = next(((c, r) for r in (18, 17, 16) for c in range(COLUMNS)
                   if removable_colour(stone_colour(before, c, r)) and group_size(before, c, r) >= 2), None)
    check(target, f"no group of two on the board ({before.path})")
    points = group_size(before, *target) ** 2

    click_at(game, *cell_centre(*target))  # marked
    park(game)
    marked = game.wait_for(lambda s: s.diff_box(before, BOARD_BOX) is not None, "marked")
    click_at(game, *cell_centre(16 if target[0] < 8 else 0, 0))  # beside it: the mark is let go
    park(game)
    game.wait_stable("let-go", box=BOARD_BOX)
    game.key("p")
    game.wait_for(is_pause, "pause")
    game.key("p")
    game.wait_for(is_game, "resumed")
    click_at(game, *cell_centre(*target))  # marked again
    click_at(game, *cell_centre(*target))  # and taken
    park(game)
    game.wait_for(lambda s: s.diff_box(marked, SCORE_BOX) is not None, "scored")
    check(not glob.glob(os.path.join(directory, "*.qzr")), "a recording was written while the game ran")

    game.key("p")
    game.wait_for(is_pause, "pause-to-give-up")
    game.click(*entry_at(400))  # "Spiel abbrechen"
    park(game)
    game.wait_for(is_main_menu, "main-menu")
    line = replay(display.binary, the_recording(directory, game, "recording"))
    assert_equal(int(line["score"]), points, "replayed score")
    assert_equal(line["ranking"], "Classic Mittel", "replayed ranking")
    assert_equal(line["end"], "not ended", "a game given up")
    game.key("Escape")
    assert_equal(game.exit_status(timeout=5), 0, "exit status")


def case_turbo_to_its_end(display):
    with recordings() as directory:
        play_turbo_to_its_end(display, directory)


def play_turbo_to_its_end(display, directory):
    game = display.start_game(env=dict(SEED, QUARZELLO_RECORD_DIR=directory))
    before = start(game, "second", "first")  # Turbo, Leicht: one click takes any stone
    for c in (8, 3, 12):
        click_at(game, *cell_centre(c, 18))
    park(game)
    game.wait_for(lambda s: s.diff_box(before, SCORE_BOX) is not None, "turbo-scored")
    # 121 seconds, then the board flies apart under "GAME OVER".
    def board_empty(shot):
        return not any(removable_colour(stone_colour(shot, c, r)) for c in range(COLUMNS) for r in range(ROWS))
    game.wait_for(board_empty, "turbo-over", timeout=200)
    click_at(game, 200, 138)  # "Weiter"
    park(game)
    game.wait_stable("turbo-entry", box=(0, 170, 400, 500), predicate=on_new_highscore_screen)
    path = the_recording(directory, game, "turbo-recording")
    points = saved_points(game, "Turbo", TURBO_LEICHT_LIST)
    line = replay(display.binary, path)
    assert_equal(int(line["score"]), points, "replayed score")
    assert_equal(line["ranking"], "Turbo Leicht", "replayed ranking")
    assert_equal(line["end"], "game over", "the clock's end")
    check(121 <= float(line["seconds"]) < 125, f"played {line['seconds']} s")


def case_level_to_game_over(display):
    with recordings() as directory:
        play_level_to_game_over(display, directory)


def play_level_to_game_over(display, directory):
    game = display.start_game(env=dict(SEED, QUARZELLO_RECORD_DIR=directory))
    play_level_game_to_its_end(game, "level")
    path = the_recording(directory, game, "level-recording")
    points = saved_points(game, "Level", LEVEL_LIST)
    check(points > 0, "the Level game made points")
    line = replay(display.binary, path)
    assert_equal(int(line["score"]), points, "replayed score")
    assert_equal(line["ranking"], "Level", "replayed ranking")
    assert_equal(line["end"], "game over", "the rows' end")


def case_turbo_click_after_the_deadline_scores_nothing(display):
    with recordings() as directory:
        play_turbo_click_after_the_deadline(display, directory)


def play_turbo_click_after_the_deadline(display, directory):
    """The game is held with SIGSTOP just before its deadline, so that the
    frame on screen is its last; a stone is clicked then, and the game goes on
    only once the deadline has surely passed. Whether the loop handles the
    click or the next frame first, the click scores nothing and the game ends.
    The game and the test read the same monotonic clock: the game starts after
    the click on "Leicht" is sent and before its screen is seen."""
    game = display.start_game(env=dict(SEED, QUARZELLO_RECORD_DIR=directory))
    park(game)
    game.wait_stable("menu")
    modes = choose(game, "first", lambda shot: title_width(shot) > 0, "mode")
    choose(game, "second", lambda shot: title_width(shot) > title_width(modes) + 20, "difficulty")
    sent = time.monotonic()
    choose(game, "first", is_game, "game")  # Turbo, Leicht: one click takes any stone
    seen = time.monotonic()
    earliest_end, latest_end = sent + TURBO_MILLIS / 1000, seen + TURBO_MILLIS / 1000
    target = cell_centre(8, 18)
    game.move(*target)

    while time.monotonic() < earliest_end - 0.6:  # the game's clock runs down
        time.sleep(0.1)
    os.kill(game.pid, signal.SIGSTOP)
    try:
        check(time.monotonic() < earliest_end, "the test was held up and stopped the game too late")
        last = game.screenshot("last-frame")  # the frame on screen: the game's last
        check(removable_colour(stone_colour(last, 8, 18)), f"the game had ended before it was stopped ({last.path})")
        game.click()  # queued while the loop is held
        while time.monotonic() < latest_end + 0.2:
            time.sleep(0.05)
    finally:
        os.kill(game.pid, signal.SIGCONT)
    park(game)

    def board_empty(shot):
        return not any(removable_colour(stone_colour(shot, c, r)) for c in range(COLUMNS) for r in range(ROWS))
    game.wait_for(board_empty, "over", timeout=20)
    click_at(game, 200, 138)  # "Weiter"
    park(game)
    # With no points the main menu follows at once; with points the entry.
    game.wait_for(lambda shot: is_main_menu(shot) or on_new_highscore_screen(shot), "after")
    check(is_main_menu(game.wait_stable("menu-again")), "the late click scored: the entry screen came")
    line, inputs = replay_inputs(display.binary, the_recording(directory, game, "recording"))
    assert_equal(int(line["score"]), 0, "replayed score")
    assert_equal(line["end"], "game over", "the clock's end")
    check(int(inputs["lag"]) <= 500, f"a click {inputs['lag']} ms after its frame was recorded")
    game.key("Escape")
    assert_equal(game.exit_status(timeout=5), 0, "exit status")


if __name__ == "__main__":
    run_cases(globals())
