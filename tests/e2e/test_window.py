#!/usr/bin/env python3
"""The game's window on a bare X server: title, size, place, the ways to end
the program, and drawing after a resize."""

import os
import signal
import time

from harness import (DESIGN_HEIGHT, DESIGN_WIDTH, SCREEN_HEIGHT, SCREEN_WIDTH, Display, assert_equal,
                     check, run_cases)
from play import BOARD_BOX, SEED, cell_centre, click_at, park, start_by_pictures

# Below the last menu entry, so nothing is drawn hovered.
PARK = (200, 485)


def settled(game, name):
    game.move(*PARK)
    return game.wait_stable(name)


def case_title_size_centred(display):
    game = display.start_game()
    assert_equal(game.title(), "Quarzello", "window title")
    left, top, width, height = game.geometry()
    assert_equal((width, height), (DESIGN_WIDTH, DESIGN_HEIGHT), "inner size")
    centred = ((SCREEN_WIDTH - DESIGN_WIDTH) // 2, (SCREEN_HEIGHT - DESIGN_HEIGHT) // 2)
    check(abs(left - centred[0]) <= 1 and abs(top - centred[1]) <= 1,
          f"window at ({left}, {top}), centred would be {centred}")


def case_escape_exits(display):
    game = display.start_game()
    settled(game, "before-escape")
    game.key("Escape")
    sent = time.monotonic()
    status = game.exit_status(timeout=5)
    took = time.monotonic() - sent
    assert_equal(status, 0, "exit status after Escape")
    check(took < 1.0, f"the game took {took:.2f} s to end after Escape")


def case_close_exits(display):
    game = display.start_game()
    settled(game, "before-close")
    game.close()
    assert_equal(game.exit_status(timeout=5), 0, "exit status after the close request")


def case_quit_signal_during_the_start(display):
    # The start runs a second thread until the window has its context; a quit
    # request at any moment of it ends the program plainly: handled (0) or,
    # before the game catches the signal, by the signal itself, never by an
    # abort or a crash. The delays step through the whole start.
    for step in range(16):
        game = display.start_game(wait_window=False)
        time.sleep(step * 0.02)  # when the signal comes is what this case varies
        game.process.send_signal(signal.SIGTERM)
        status = game.exit_status(timeout=10)
        check(status in (0, -signal.SIGTERM),
              f"a quit request {step * 20} ms after the start ended the game with {status}: {game.output()!r}")
        check("terminate" not in game.output(), f"the game aborted: {game.output()!r}")
        game.stop()


def case_resize_scale_two(display):
    game = display.start_game()
    small = settled(game, "scale1")
    check(len(set(small.rgb[i:i + 3] for i in range(0, len(small.rgb), 3 * 97))) > 4,
          f"the main menu shows no picture at all ({small.path})")
    # Room on the screen for the doubled window, so that all of it can be seen.
    game.move_window((SCREEN_WIDTH - 800) // 2, 10)
    game.resize(800, 1000)
    deadline = time.monotonic() + 5
    while game.geometry()[2:] != (800, 1000):
        check(time.monotonic() < deadline, f"the window is {game.geometry()[2:]} after the resize")
        time.sleep(0.05)
    left, top, _, _ = game.geometry()
    big = settled(game, "scale2")
    check(game.running(), "the game ended during the resize")
    assert_equal(game.geometry(), (left, top, 800, 1000), "geometry after resizing to 800 x 1000")
    # The picture at scale 2, shrunk by half, is the picture at scale 1 up to
    # smoothing; drawn at scale 1 in the bigger canvas it would differ wholly.
    difference = big.mean_abs_diff_downscaled(small)
    check(difference < 6.0, f"the frame at 800 x 1000 is not the frame at scale 2: mean "
                            f"difference {difference:.1f} ({small.path}, {big.path})")


BIG_SCREEN = (1920, 1200)  # room for a doubled window within 90 % of the screen


def on_its_screen(binary, case, shots_dir):
    """The HiDPI cases that want room for a doubled window get a big screen."""
    big = case.__name__ in ("case_high_dpi_starts_at_twice_the_size",
                            "case_low_dpi_odd_or_unfitting_keeps_the_written_size")
    with Display(binary, shots_dir, *(BIG_SCREEN if big else (SCREEN_WIDTH, SCREEN_HEIGHT))) as display:
        case(display)


def check_start_size(game, factor, screen, what):
    left, top, width, height = game.geometry()
    assert_equal((width, height), (DESIGN_WIDTH * factor, DESIGN_HEIGHT * factor), f"inner size {what}")
    centred = ((screen[0] - width) // 2, (screen[1] - height) // 2)
    check(abs(left - centred[0]) <= 1 and abs(top - centred[1]) <= 1,
          f"window at ({left}, {top}) {what}, centred would be {centred}")


def check_click_lands_on_its_cell(game, name):
    """A Classic Leicht game: the first click on a stone marks its group,
    which then pulses around the very cell clicked."""
    before = start_by_pictures(game, "first", "first")
    for column, row in ((3, 5), (14, 16)):
        x, y = cell_centre(column, row)
        click_at(game, x, y)
        park(game)
        marked = game.wait_for(lambda shot: shot.diff_box(before, BOARD_BOX) is not None, f"{name}-{column}-{row}",
                               failure=f"the click on cell ({column}, {row}) marked nothing")
        box = marked.diff_box(before, BOARD_BOX)
        check(box[0] <= x - 8 and box[2] >= x + 8 and box[1] <= y - 8 and box[3] >= y + 8,
              f"the click on cell ({column}, {row}) marked {box}, not around ({x}, {y}) ({marked.path})")
        # Confirmed, the group is gone: a fresh board to click on again.
        click_at(game, x, y)
        park(game)
        before = game.wait_stable(f"{name}-{column}-{row}-removed", box=BOARD_BOX, timeout=30)


def case_high_dpi_starts_at_twice_the_size(display):
    display.set_xft_dpi(192)
    game = display.start_game(env=SEED)
    check_start_size(game, 2, BIG_SCREEN, "at 192 dpi")
    check_click_lands_on_its_cell(game, "scale2")
    # Resized by hand, it keeps 4 : 5 as at any other start size.
    game.resize(600, 700)
    deadline = time.monotonic() + 5
    while game.geometry()[2:] != (560, 700):
        check(time.monotonic() < deadline, f"the window is {game.geometry()[2:]} after resizing to 600 x 700")
        time.sleep(0.05)
    game.key("Escape")
    assert_equal(game.exit_status(timeout=5), 0, "exit status")


def case_low_dpi_odd_or_unfitting_keeps_the_written_size(display):
    for value, what in ((96, "at 96 dpi"), ("abc", "with Xft.dpi abc"), (143, "at 143 dpi")):
        display.set_xft_dpi(value)
        game = display.start_game(env=SEED)
        check_start_size(game, 1, BIG_SCREEN, what)
        if value == 96:
            check_click_lands_on_its_cell(game, "scale1")
        game.key("Escape")
        assert_equal(game.exit_status(timeout=5), 0, "exit status")
        game.stop()


def case_high_dpi_on_a_small_screen_keeps_the_written_size(display):
    # 1000 rows do not fit within 90 % of 1024.
    display.set_xft_dpi(192)
    game = display.start_game()
    check_start_size(game, 1, (SCREEN_WIDTH, SCREEN_HEIGHT), "at 192 dpi on 1280 x 1024")


def case_swaps_without_waiting_for_retrace(display):
    """Frames are paced by the game's timer, not by the display's refresh: the
    game asks for a swap interval of 0 through the swap-control extension the
    driver offers. This X server has no retrace and its driver offers none,
    so a preloaded spy offers them and notes what the game asks for."""
    spy = os.environ.get("SWAP_SPY_LIBRARY")
    check(spy and os.path.exists(spy), "SWAP_SPY_LIBRARY names no library (run the case through ctest)")
    expected = {"GLX_EXT_swap_control GLX_MESA_swap_control GLX_SGI_swap_control": ["EXT", "0"],
                "GLX_MESA_swap_control GLX_SGI_swap_control": ["MESA", "0"],
                "GLX_SGI_swap_control": []}  # it cannot ask for 0
    for run, (offer, requests) in enumerate(expected.items()):
        log = os.path.join(display.shots_dir, f"swap-requests-{run}.log")
        open(log, "w").close()
        game = display.start_game(env={"LD_PRELOAD": spy, "SWAP_SPY_LOG": log, "SWAP_SPY_OFFER": offer})
        settled(game, f"drawn-{run}")
        game.key("Escape")
        assert_equal(game.exit_status(timeout=10), 0, "exit status")
        with open(log) as f:
            assert_equal(f.read().split(), requests, f"swap interval requests when offered {offer}")

if __name__ == "__main__":
    run_cases(globals(), run=on_its_screen)
