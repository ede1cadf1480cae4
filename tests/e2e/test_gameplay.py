#!/usr/bin/env python3
"""Playing: start each mode through the menus, remove stones and watch the
score change in the head-up display, and let a Level game run until the
rows reach the top, then go on with "Weiter"."""

import os
import shutil
import time

from harness import check, run_cases

PARK = (200, 485)            # below the board and every menu entry
SCORE_BOX = (40, 26, 117, 52)  # the score panel of the head-up display
MODE_VALUE_BOX = (280, 26, 360, 52)
MENU_ROWS = {"first": 165, "second": 215, "third": 265}
BAR_END = (379, 67)          # last pixels of the Level progress bar
BOARD_BOX = (30, 90, 370, 470)


def cell_centre(c, r):
    return 40 + 20 * c, 100 + 20 * r


def click_at(game, x, y):
    """A left click at design (x, y). xdotool's synchronous move waits in vain
    when the pointer is already there, so it is moved only when it must be."""
    if game.pointer == (x, y):
        game.click()
    else:
        game.click(x, y)


def park(game):
    if game.pointer != PARK:
        game.move(*PARK)


def choose(game, row):
    """Clicks a menu entry and gives the next frame time to act on it."""
    click_at(game, 200, MENU_ROWS[row])
    time.sleep(0.15)


def start(game, mode, difficulty=None):
    park(game)
    game.menu = game.wait_stable("menu")
    choose(game, "first")  # "Spielen"
    choose(game, mode)
    if difficulty is not None:
        choose(game, difficulty)
    park(game)
    # The stones fly in from the middle of the board and settle within a second;
    # the Level bar never stands still, so there it is a second's wait.
    if difficulty is None:
        time.sleep(1.0)
        return game.screenshot(f"{mode}-settled")
    return game.wait_stable(f"{mode}-settled")


def score_changed(before):
    return lambda shot: shot.diff_box(before, SCORE_BOX) is not None


def click_until_scored(game, before, cells, name):
    """Clicks the cells in turn (twice each where clicks only mark) until
    the score panel shows something new."""
    for c, r in cells:
        click_at(game, *cell_centre(c, r))
        time.sleep(0.1)
        shot = game.screenshot(f"{name}-after-click")
        if score_changed(before)(shot):
            return shot
    raise AssertionError(f"no click changed the score ({name})")


def case_classic_two_clicks_score(display):
    game = display.start_game()
    before = start(game, "first", "first")  # Classic, Leicht: any single stone is a group
    stone = cell_centre(8, 18)
    click_at(game, *stone)
    time.sleep(0.4)  # the marked group pulses: the screen never settles
    marked = game.screenshot("classic-marked")
    check(marked.diff_box(before, SCORE_BOX) is None, "the first click already changed the score")
    check(marked.diff_box(before, (30, 90, 370, 470)) is not None, "the first click marked nothing")
    click_at(game, *stone)
    park(game)
    after = game.wait_for(score_changed(before), "classic-scored")
    check(after.diff_box(before, MODE_VALUE_BOX) is None, "the side supply changed")
    game.key("Escape")
    check(game.exit_status(timeout=5) == 0, "Escape did not end the game with status 0")


def case_turbo_one_click_scores(display):
    game = display.start_game()
    before = start(game, "second", "first")  # Turbo, Leicht
    click_at(game, *cell_centre(8, 18))
    park(game)
    game.wait_for(score_changed(before), "turbo-scored", timeout=5)
    # The clock in the mode panel runs.
    ticking = game.screenshot("turbo-clock")
    time.sleep(1.2)
    check(game.screenshot("turbo-clock-later").diff_box(ticking, MODE_VALUE_BOX) is not None,
          "the Turbo clock stands still")


def clock_ticks(game, name):
    """Waits for the Turbo clock in the mode panel to show a new value."""
    shown = game.screenshot(name)
    game.wait_for(lambda shot: shot.diff_box(shown, MODE_VALUE_BOX) is not None, f"{name}-ticked")


def case_turbo_across_the_clock_wrap(display):
    """The machine has been up for 20 s short of 2^31 ms (a time namespace
    moves the clocks the game reads): a Turbo game started now runs its full
    time, also past the moment a 32-bit millisecond count turns negative."""
    check(shutil.which("unshare"), "unshare (util-linux) is missing")
    wrap = 2 ** 31 / 1000  # seconds
    offset = int(wrap - 20 - time.clock_gettime(time.CLOCK_MONOTONIC))
    game = display.start_game(wrapper=["unshare", "--time", "--monotonic", str(offset),
                                       "--boottime", str(offset)])
    before = start(game, "second", "first")  # Turbo, Leicht
    clock_ticks(game, "turbo-before-wrap")
    while time.monotonic() + offset < wrap + 1:  # our clock is the game's without the offset
        time.sleep(0.2)
    clock_ticks(game, "turbo-after-wrap")
    check(game.screenshot("turbo-board").diff_box(before, BOARD_BOX) is None, "the board changed by itself")


def case_level_click_scores(display):
    game = display.start_game()
    before = start(game, "third")  # Level: groups of two or more
    # Somewhere along the bottom rows a pair of one colour is all but certain.
    cells = [(c, r) for r in (18, 17, 16) for c in range(17)]
    click_until_scored(game, before, cells, "level")


def bar_full(game, empty, name):
    """True when the end of the progress bar is filled in two screenshots
    0.4 s apart: only briefly before a row while the game runs, for good
    once it is over."""
    for attempt in range(2):
        if attempt:
            time.sleep(0.4)
        shot = game.screenshot(name)
        os.remove(shot.path)
        if shot.pixel(*BAR_END) == empty:
            return False
    return True


def case_level_runs_to_game_over(display):
    game = display.start_game()
    running = start(game, "third")
    empty = running.pixel(*BAR_END)
    # Ten rows bring the board to the top: 2.1 s and nine intervals of 2.84 s.
    deadline = time.monotonic() + 45
    while not bar_full(game, empty, "level-running"):
        check(time.monotonic() < deadline, "the Level game did not end")
        time.sleep(0.3)
    over = game.screenshot("level-game-over")
    # Clicks on the board are ignored now.
    click_at(game, *cell_centre(8, 18))
    park(game)
    time.sleep(0.3)
    ignored = game.screenshot("level-click-ignored")
    check(ignored.diff_box(over, (30, 150, 370, 470)) is None, "a click after the end changed the board")

    click_at(game, 200, 138)  # "Weiter"
    park(game)
    game.screenshot("level-flying-off")
    # Once the stones have flown off, a game without points leads back to the main menu.
    game.wait_for(lambda s: s.diff_box(game.menu) is None, "main-menu-again", timeout=5)


if __name__ == "__main__":
    run_cases(globals())
