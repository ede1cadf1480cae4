#!/usr/bin/env python3
"""Partial repaints against full ones. The window paints only the rectangles
where a frame differs from the one before; QUARZELLO_FULL_REPAINT=1 makes it
paint every changed frame whole. Each case plays the same scene twice on a
board dealt from the same seed, once each way, and the pictures taken when
the screen has settled must be identical to the last pixel: a rectangle
missed by the damage, a wrong scissor or a stale back buffer would leave old
pixels behind. Every scene runs at 400 x 500 (1x) and at 800 x 1000 (2x).

Scenes: a marked group pulsing and let go; a group removed (stones flying
off, falling, columns closing); Level rows rising; the pause screen and
back; a resize while a group pulses; an expose (another window moved across
the game and away) while a group pulses."""

import os
import time

from harness import SCREEN_WIDTH, Shot, check, run_cases, write_png
from play import BOARD_BOX, COLUMNS, ROWS, SEED, cell_centre, removable_colour, same_colour, stone_colour

PARK = (200, 485)
MENU = {"first": 165, "second": 215, "third": 265}
# Everything but the Level progress bar, which moves on every frame.
ABOVE_BAR = (0, 0, 400, 60)
BELOW_BAR = (0, 74, 400, 500)
MODE_VALUE_BOX = (280, 26, 360, 52)  # Level: the level and the rows left in it
FULL = {"QUARZELLO_FULL_REPAINT": "1"}


def park(game):
    if game.pointer != PARK:
        game.move(*PARK)


def click(game, x, y):
    if game.pointer == (x, y):
        game.click()
    else:
        game.click(x, y)


def to_size(game, width, height):
    if game.geometry()[2:] == (width, height):
        return
    if width > 400:
        game.move_window((SCREEN_WIDTH - width) // 2, 10)
    game.resize(width, height)
    deadline = time.monotonic() + 30
    while game.geometry()[2:] != (width, height):
        check(time.monotonic() < deadline, f"the window is {game.geometry()[2:]}, not {width} x {height}")
        time.sleep(0.05)


def changed_from(before, box=None):
    return lambda shot: (shot.width, shot.height) != (before.width, before.height) or \
        shot.diff_box(before, box, threshold=0) is not None


def choose(game, row, name):
    """Clicks a menu entry and waits for the screen that follows to settle."""
    before = game.screenshot(f"{name}-before")
    click(game, 200, MENU[row])
    park(game)
    game.wait_for(changed_from(before), f"{name}-changed")
    return game.wait_stable(name)


def start_classic(game):
    park(game)
    game.wait_stable("menu")
    choose(game, "first", "modes")       # Spielen
    choose(game, "first", "difficulty")  # Classic
    return choose(game, "first", "classic")  # Leicht: every stone is a group


def largest_group(shot):
    """A cell of the largest group of same-coloured stones, and a cell of another colour."""
    colours = {(c, r): stone_colour(shot, c, r) for c in range(COLUMNS) for r in range(ROWS)}
    seen, best = set(), (None, 0)
    for cell, colour in colours.items():
        if cell in seen or not removable_colour(colour):
            continue
        group, todo = {cell}, [cell]
        while todo:
            c, r = todo.pop()
            for n in ((c + 1, r), (c - 1, r), (c, r + 1), (c, r - 1)):
                if n in colours and n not in group and same_colour(colours[n], colour):
                    group.add(n)
                    todo.append(n)
        seen |= group
        if len(group) > best[1]:
            best = (cell, len(group))
    check(best[0] is not None, f"no stones on the board ({shot.path})")
    other = next(cell for cell, colour in colours.items()
                 if removable_colour(colour) and not same_colour(colour, colours[best[0]]))
    return best[0], other


def pulsing_on(game, name, beats=3):
    """Waits until the pulsing glow has shown that many new pictures."""
    shot = game.screenshot(name)
    for beat in range(beats):
        shot = game.wait_for(changed_from(shot, BOARD_BOX), f"{name}-{beat}",
                             failure="the marked group does not pulse")


def pulse(game, board, name, beats=6):
    """Marks the largest group and lets it pulse for a while."""
    group, other = largest_group(board)
    click(game, *cell_centre(*group))
    park(game)
    game.wait_for(changed_from(board, BOARD_BOX), f"{name}-marked")
    pulsing_on(game, name, beats)
    return group, other


def let_go(game, other, name):
    """A click on a stone of another colour lets the marked group go."""
    click(game, *cell_centre(*other))
    park(game)
    return game.wait_stable(name)


# ---------------------------------------------------------------- the scenes: (name, shot, box) pictures

def scene_pulse(game):
    board = start_classic(game)
    _, other = pulse(game, board, "pulse")
    return [("classic", board, None), ("after-pulse", let_go(game, other, "after-pulse"), None)]


def scene_removal(game):
    board = start_classic(game)
    group, _ = pulse(game, board, "removal", beats=2)
    click(game, *cell_centre(*group))  # the second click removes it
    park(game)
    game.wait_for(changed_from(board, (40, 26, 117, 52)), "removal-scored")
    return [("after-removal", game.wait_stable("after-removal"), None)]


def grab(game):
    """The window's pixels straight from the X server: quicker than a
    screenshot, for boards that hold still only between two rows. The
    window stays where it was last seen (wait_board_still looks once)."""
    left, top, width, height = game._geometry
    raw = game.display.x.grab(left, top, width, height)
    check(raw is not None and len(raw) == 4 * width * height, "the window's pixels cannot be read")
    rgb = bytearray(3 * width * height)
    for channel, offset in enumerate((2, 1, 0)):  # B, G, R, x
        rgb[channel::3] = raw[offset::4]
    return Shot(None, width, height, bytes(rgb))


def grab_board(game):
    """The board's raw pixels: cheap enough to compare many times a second."""
    left, top, _, _ = game._geometry
    x0, y0, x1, y1 = (int(v * game.scale) for v in BOARD_BOX)
    return game.display.x.grab(left + x0, top + y0, x1 - x0, y1 - y0)


def wait_board_still(game, name, predicate=lambda shot: True, timeout=60):
    """Waits until the board is the same in two grabs 100 ms apart and
    predicate holds for the window grabbed meanwhile; that picture is saved
    like a screenshot. The board alone is compared while waiting, so that a
    busy machine still catches the short moments between two rows."""
    deadline = time.monotonic() + timeout
    game.geometry()
    previous = grab_board(game)
    while True:
        time.sleep(0.1)
        board = grab_board(game)
        if board is not None and board == previous:
            shot = grab(game)
            # Still through the whole window's grab, or it shows a moving board.
            if grab_board(game) == board and predicate(shot):
                game._shots += 1
                shot.path = os.path.join(game.display.shots_dir, f"{game._shots:02d}-{name}.png")
                write_png(shot.path, shot.width, shot.height, shot.rgb)
                return shot
            board = grab_board(game)
        check(game.running(), f"the game ended while waiting for '{name}':\n{game.output()}")
        check(time.monotonic() < deadline, f"the board did not hold still for '{name}'")
        previous = board


LEVEL_BOARDS = 5  # still boards the first run keeps, a row apart: the second needs two of them


def scene_level_rows(game, reference=None):
    """Still boards between rows rising, the bar moving all the while. The
    first run keeps a few, a row apart; the second keeps those whose row
    count (in the mode panel) is one of them, at least two. A board holds
    still only for a moment between two rows, which a busy machine may
    miss: then the next row will do, and the first run keeps enough rows
    for the second to catch two of them."""
    park(game)
    game.wait_stable("menu")
    choose(game, "first", "modes")
    before = game.screenshot("level-before")
    click(game, 200, MENU["third"])  # Level
    park(game)
    game.wait_for(changed_from(before), "level-started")

    def rows_as_in(target):
        return lambda shot: shot.diff_box(target, MODE_VALUE_BOX, threshold=0) is None

    deadline = time.monotonic() + 120
    if reference is None:
        boards = [wait_board_still(game, "level-board-0")]
        while len(boards) < LEVEL_BOARDS and time.monotonic() < deadline:
            boards.append(wait_board_still(game, f"level-board-{len(boards)}",
                                           predicate=changed_from(boards[-1], MODE_VALUE_BOX)))
        return [(f"level-board-{i}", shot, box) for i, shot in enumerate(boards) for box in (ABOVE_BAR, BELOW_BAR)]
    targets = [shot for _, shot, box in reference if box == ABOVE_BAR]
    found = [None] * len(targets)

    def known_rows(shot):
        return any(found[i] is None and rows_as_in(target)(shot) for i, target in enumerate(targets))

    while sum(shot is not None for shot in found) < min(2, len(targets)):
        check(time.monotonic() < deadline, "no still Level board with the first run's row count")
        shot = wait_board_still(game, "level-board", predicate=known_rows)
        found[next(i for i, target in enumerate(targets) if found[i] is None and rows_as_in(target)(shot))] = shot
    return [(f"level-board-{i}", shot, box) for i, shot in enumerate(found) for box in (ABOVE_BAR, BELOW_BAR)]


def scene_pause(game):
    board = start_classic(game)
    _, other = pulse(game, board, "pause", beats=2)
    before = game.screenshot("before-pause")
    game.key("p")
    park(game)
    game.wait_for(changed_from(before), "pause-changed")
    paused = game.wait_stable("paused")
    game.key("p")
    park(game)
    game.wait_for(changed_from(paused), "back-changed")
    pulsing_on(game, "back")
    return [("paused", paused, None), ("back", let_go(game, other, "back"), None)]


def scene_resize(game, scale):
    board = start_classic(game)
    _, other = pulse(game, board, "resize", beats=2)
    # To the other size and back, the group pulsing all the while.
    to_size(game, 400 * (3 - scale), 500 * (3 - scale))
    game.wait_for(lambda shot: shot.width == 400 * (3 - scale), "resized-drawn")
    pulsing_on(game, "resized")
    resized = let_go(game, other, "resized")
    to_size(game, 400 * scale, 500 * scale)
    game.wait_for(lambda shot: shot.width == 400 * scale, "resized-back")
    return [("resized", resized, None), ("resized-back", game.wait_stable("resized-back"), None)]


def scene_expose(game):
    board = start_classic(game)
    _, other = pulse(game, board, "expose", beats=2)
    left, top, width, height = game.geometry()
    cover = game.display.spawn(["xmessage", "-geometry", f"+{left - 150}+{top + height // 3}",
                                "Quarzello verdeckt " * 4])
    window = game.wait_window("xmessage")
    # Across the game in steps, and away again, the group pulsing beneath.
    for step in range(0, 9):
        game.display.run(["xdotool", "windowmove", "--sync", str(window),
                          str(left - 150 + step * (width + 150) // 8), str(top + height // 3)])
        if step == 4:
            covered = game.screenshot("covered")
            white = sum(1 for i in range(0, len(covered.rgb), 3) if covered.rgb[i:i + 3] == b"\xff\xff\xff")
            check(white > 3000 * covered.scale ** 2, f"the other window is not over the game ({covered.path})")
    game.display.run(["xdotool", "windowmove", "--sync", str(window), "0", "0"])
    cover.terminate()
    cover.wait(10)
    pulsing_on(game, "uncovered")
    return [("exposed", let_go(game, other, "exposed"), None)]


# ---------------------------------------------------------------- comparing the two ways

def keep_apart(display, way, pictures):
    """Moves the run's screenshots into a folder of their own, so that the
    other run's do not overwrite them."""
    folder = os.path.join(display.shots_dir, way)
    os.makedirs(folder, exist_ok=True)
    for name in os.listdir(display.shots_dir):
        if name.endswith(".png") or name.endswith(".log"):
            os.replace(os.path.join(display.shots_dir, name), os.path.join(folder, name))
    for _, shot, _ in pictures:
        if shot is not None:
            shot.path = os.path.join(folder, os.path.basename(shot.path))


def compare(display, scale, scene):
    runs = {}
    for way, env in (("partial", {}), ("full", FULL)):
        game = display.start_game(env={**SEED, **env})
        to_size(game, 400 * scale, 500 * scale)
        pictures = scene(game, runs.get("partial"))
        check(game.running(), f"the game ({way}) ended:\n{game.output()}")
        runs[way] = pictures
        game.stop()
        keep_apart(display, way, pictures)
    check(len(runs["partial"]) == len(runs["full"]), "the scenes took different pictures")
    for (name, partial, box), (_, full, _) in zip(runs["partial"], runs["full"]):
        if full is None:  # a Level board the second run did not catch still
            continue
        check((partial.width, partial.height) == (full.width, full.height),
              f"{name}: {partial.width} x {partial.height} painted partly, {full.width} x {full.height} whole")
        if box is None and partial.rgb == full.rgb:
            continue
        differing = partial.count_diff(full, box, threshold=0)
        check(differing == 0, f"{name} at {scale}x: {differing} pixels differ between the partial repaint "
                              f"({partial.path}) and the full one ({full.path}), in "
                              f"{partial.diff_box(full, box, threshold=0)}")


def make_case(scene, scale, takes_scale=False, takes_reference=False):
    if takes_scale:
        return lambda display: compare(display, scale, lambda game, _: scene(game, scale))
    if takes_reference:
        return lambda display: compare(display, scale, scene)
    return lambda display: compare(display, scale, lambda game, _: scene(game))


for _scale in (1, 2):
    globals()[f"case_pulse_{_scale}x"] = make_case(scene_pulse, _scale)
    globals()[f"case_removal_{_scale}x"] = make_case(scene_removal, _scale)
    globals()[f"case_level_rows_{_scale}x"] = make_case(scene_level_rows, _scale, takes_reference=True)
    globals()[f"case_pause_{_scale}x"] = make_case(scene_pause, _scale)
    globals()[f"case_resize_{_scale}x"] = make_case(scene_resize, _scale, takes_scale=True)
    globals()[f"case_expose_{_scale}x"] = make_case(scene_expose, _scale)

if __name__ == "__main__":
    run_cases(globals())
