#!/usr/bin/env python3
"""Playing with the keyboard alone: from the main menu through a whole
Classic game at Schwer to the name entry and the table, without one mouse
click. The stones are dealt from a fixed seed; the test reads the board from
screenshots, steers the cursor to a group of three or more with the arrow
keys and removes it with Space (mark) and Space again (confirm)."""

import colorsys
import os
import struct
import time

from harness import assert_equal, check, run_cases

SEED = "4711"
NAME = "Ohne Maus"           # the space goes into the name like any letter
CLASSIC_SCHWER_LIST = 2
BOARD = (30, 90, 370, 470)
ENTRY_BUTTONS = (0, 180, 400, 460)  # the name entry below its name line
COLUMNS, ROWS = 17, 19
FIRST_CURSOR = (8, 18)       # where the first arrow puts the cursor with the pointer off the board
# Hues of the four stone colours in Classic at Schwer: red, orange, green, blue.
HUES = (355, 33, 136, 217)


def cell_centre(c, r):
    return 40 + 20 * c, 100 + 20 * r


def stone_colour(shot, c, r):
    """The colour index of the stone in the cell, or None for an empty cell.
    The mean of a small disc round the centre: the emblem in the middle is a
    pale shade of the stone's own colour, and the cursor's ring never reaches
    that far into a cell."""
    cx, cy = cell_centre(c, r)
    total, count = [0, 0, 0], 0
    for dy in range(-5, 6):
        for dx in range(-5, 6):
            if dx * dx + dy * dy <= 25:
                for i, v in enumerate(shot.pixel(cx + dx, cy + dy)):
                    total[i] += v
                count += 1
    h, s, _ = colorsys.rgb_to_hsv(*(v / count / 255 for v in total))
    if s < 0.15:
        return None
    hue = h * 360
    return min(range(len(HUES)), key=lambda k: min(abs(hue - HUES[k]), 360 - abs(hue - HUES[k])))


def read_board(shot):
    return {(c, r): stone_colour(shot, c, r) for c in range(COLUMNS) for r in range(ROWS)}


def groups(board, smallest):
    """Groups of one colour joined side by side, at least `smallest` stones."""
    seen, found = set(), []
    for cell, colour in board.items():
        if colour is None or cell in seen:
            continue
        group, todo = [], [cell]
        seen.add(cell)
        while todo:
            c, r = todo.pop()
            group.append((c, r))
            for n in ((c - 1, r), (c + 1, r), (c, r - 1), (c, r + 1)):
                if n not in seen and board.get(n) == colour:
                    seen.add(n)
                    todo.append(n)
        if len(group) >= smallest:
            found.append(group)
    return found


def arrows(start, target):
    (c, r), (tc, tr) = start, target
    keys = ["Left"] * (c - tc) + ["Right"] * (tc - c) + ["Up"] * (r - tr) + ["Down"] * (tr - r)
    return keys


def press(game, *keys, name):
    """Presses the keys and waits for the screen to change and settle."""
    before = game.screenshot(f"{name}-before")
    game.key(*keys)
    game.wait_for(lambda shot: shot.diff_box(before) is not None, f"{name}-changed")
    return game.wait_stable(name, timeout=20)


def step_highlight(game, key, name, failure):
    """Moves the button highlight and waits for it among the buttons, below
    the name and its blinking cursor."""
    before = game.screenshot(f"{name}-before")
    game.key(key)
    game.wait_for(lambda shot: shot.diff_box(before, ENTRY_BUTTONS) is not None, name, failure=failure)


def saved_points(path, name):
    data = open(path, "rb").read()
    record = bytes([2, len(name)]) + name.encode("latin-1")
    at = data.find(record)
    check(at >= 0, f"{name!r} is not in {path}")
    return struct.unpack("<i", data[at + len(record):at + len(record) + 4])[0]


def case_classic_schwer_by_keyboard(display):
    game = display.start_game(env={"QUARZELLO_SEED": SEED})
    menu = game.wait_stable("menu")
    press(game, "Down", name="spielen-highlighted")
    press(game, "Return", name="mode")
    press(game, "Down", name="classic-highlighted")
    press(game, "Return", name="difficulty")
    press(game, "Down", "Down", "Down", name="schwer-highlighted")
    shot = press(game, "Return", name="dealt")

    cursor, moves = None, 0
    while True:
        board = read_board(shot)
        playable = groups(board, 3)
        if not playable:
            break
        check(moves < 120, "the game did not end")
        here = cursor or FIRST_CURSOR
        target = min((cell for group in playable for cell in group),
                     key=lambda cell: abs(cell[0] - here[0]) + abs(cell[1] - here[1]))
        # The first arrow only shows the cursor, in the middle of the bottom row.
        steps = ([] if cursor else ["Up"]) + arrows(here, target)
        if steps:
            game.key(*steps)
        cursor = target
        if moves == 0:
            game.screenshot("cursor-on-first-group")
        game.key("space", "space")
        moves += 1
        shot = game.wait_stable(f"move-{moves}", timeout=20)
        check(read_board(shot) != board, f"move {moves} on {target} removed nothing")

    # No group is left: "GAME OVER", and the keys now reach "Weiter".
    over = shot
    check(moves >= 10, f"only {moves} moves: the board was not read right")
    press(game, "Down", name="weiter-highlighted")
    game.key("Return")
    game.wait_for(lambda s: s.diff_box(over, BOARD) is not None, "flying-off")
    entry = game.wait_stable("name-entry", timeout=20)
    check(entry.diff_box(over, BOARD) is not None, "the name entry did not come")

    # Enter alone, with nothing highlighted, neither submits nor complains.
    game.type("X")
    game.key("Return")
    # Keys are handled in order, so the highlight the next key brings shows
    # only after that Enter; had it pressed "Weiter", the note would hold the game.
    step_highlight(game, "Down", "checkbox-highlighted", "Enter alone pressed \"Weiter\"")
    check(display.find_window("Hinweis") is None, "Enter alone pressed \"Weiter\"")
    check(not os.path.exists(os.path.join(game.workdir, "highscore.tvs")), "Enter alone entered the result")

    # The highlighted "Weiter" with a name too short shows the note. Enter
    # closes it, held long enough to repeat: neither the press nor its
    # repeats may press "Weiter" again.
    press(game, "Down", name="weiter-with-short-name")
    game.key("Return")
    note = game.wait_window("Hinweis")
    display.run(["xdotool", "windowfocus", "--sync", str(note)])
    display.run(["xdotool", "keydown", "Return"])
    time.sleep(1.2)
    display.run(["xdotool", "keyup", "Return"])
    again = "the Enter that closed the note pressed \"Weiter\" again"
    step_highlight(game, "Down", "abbrechen-highlighted", again)
    step_highlight(game, "Up", "weiter-highlighted-again", again)
    check(display.find_window("Hinweis") is None, again)

    game.key("BackSpace")
    game.type(NAME)
    table = press(game, "Return", name="table")  # "Weiter" is still highlighted
    check(table.diff_box(entry, BOARD) is not None, "the table did not come")
    points = saved_points(os.path.join(game.workdir, "highscore.tvs"), NAME)
    check(points > 0, f"the result was saved with {points} points")

    press(game, "Up", name="menue-highlighted")
    game.key("Return")
    game.wait_for(lambda s: s.diff_box(menu) is None, "main-menu-again")
    game.key("Escape")
    assert_equal(game.exit_status(timeout=5), 0, "exit status")


if __name__ == "__main__":
    run_cases(globals())
