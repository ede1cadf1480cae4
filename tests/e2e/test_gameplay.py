#!/usr/bin/env python3
"""Playing: start each mode through the menus, remove stones and watch the
score change in the head-up display, and let a Level game run until the
rows reach the top, then go on with "Weiter". Boards are dealt from a fixed
seed."""

import shutil
import time

from harness import check, run_cases
from play import (BAR_END, BOARD_BOX, LOWER_BOARD, SEED, SCORE_BOX, cell_centre, click_at, park,
                  remove_a_pair, start, wait_level_game_over)

MODE_VALUE_BOX = (280, 26, 360, 52)
WEITER_BOX = (150, 128, 250, 148)


def case_classic_two_clicks_score(display):
    game = display.start_game(env=SEED)
    before = start(game, "first", "first")  # Classic, Leicht: any single stone is a group
    stone = cell_centre(8, 18)
    click_at(game, *stone)
    park(game)
    # The marked group pulses: the screen never settles, but it changes at once.
    marked = game.wait_for(lambda shot: shot.diff_box(before, BOARD_BOX) is not None, "classic-marked",
                           failure="the first click marked nothing")
    check(marked.diff_box(before, SCORE_BOX) is None, "the first click already changed the score")
    click_at(game, *stone)
    park(game)
    after = game.wait_for(lambda shot: shot.diff_box(before, SCORE_BOX) is not None, "classic-scored")
    check(after.diff_box(before, MODE_VALUE_BOX) is None, "the side supply changed")
    game.key("Escape")
    check(game.exit_status(timeout=5) == 0, "Escape did not end the game with status 0")


def case_turbo_one_click_scores(display):
    game = display.start_game(env=SEED)
    before = start(game, "second", "first")  # Turbo, Leicht
    click_at(game, *cell_centre(8, 18))
    park(game)
    game.wait_for(lambda shot: shot.diff_box(before, SCORE_BOX) is not None, "turbo-scored")
    clock_ticks(game, "turbo-clock")


def clock_ticks(game, name):
    """Waits for the Turbo clock in the mode panel to show a new value."""
    shown = game.screenshot(name)
    game.wait_for(lambda shot: shot.diff_box(shown, MODE_VALUE_BOX) is not None, f"{name}-ticked",
                  failure="the Turbo clock stands still")


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
    game = display.start_game(env=SEED)
    before = start(game, "third")  # Level: groups of two or more
    remove_a_pair(game, before, "level")


def case_level_runs_to_game_over(display):
    game = display.start_game(env=SEED)
    running = start(game, "third")
    over = wait_level_game_over(game, running.pixel(*BAR_END), "level-game-over")
    # Clicks on the board are ignored now. The pointer then goes on to
    # "Weiter", whose glow shows once the game has handled both.
    click_at(game, *cell_centre(8, 18))
    game.move(200, 138)
    ignored = game.wait_for(lambda shot: shot.diff_box(over, WEITER_BOX) is not None, "level-click-ignored")
    check(ignored.diff_box(over, LOWER_BOARD) is None, "a click after the end changed the board")

    click_at(game, 200, 138)  # "Weiter"
    park(game)
    # Once the stones have flown off, a game without points leads back to the main menu.
    game.wait_for(lambda s: s.diff_box(game.menu) is None, "main-menu-again")

if __name__ == "__main__":
    run_cases(globals())
