#!/usr/bin/env python3
"""The game in English (QUARZELLO_LANG=en), end to end.

There is no text recognition here: the same walk through every screen is
made once in German and once in English, and the two pictures of each screen
are compared. Where a text stands they differ, and outside its place they do
not, so no English text runs past the room its German one had. A Classic game
is played and a Level result entered by name on the way. At twice the size
(a desktop at 192 dpi) the English screens are the English screens at 1x,
drawn twice as large."""

import os
import socket
import time

from harness import DESIGN_HEIGHT, DESIGN_WIDTH, Display, assert_equal, check, run_cases
from play import (BAR_END, BOARD_BOX, BOTTOM_STRIP, MENU_ROWS, SEED, TITLE_BOX, advance, cell_centre, click_at,
                  find_pair, park, remove_a_pair, score_changed, wait_level_game_over)
from test_highscore import play_level_game_to_its_end

ENGLISH = {"QUARZELLO_LANG": "en"}
BIG_SCREEN = (1920, 1200)

DESCRIPTION = (0, 298, 400, 378)
CONTINUE_BUTTON = (200, 370)
CHECKBOX = (100, 208)


# The connection notice's ring of stones, which turns on every frame.
NOTICE_RING = (158, 278, 242, 362)


def band(y, height=48):
    return (0, y, 400, y + height)


# The labels of the head-up display's three panels, which every screen over
# the game background writes in the selected language.
PANEL_LABELS = (55, 6, 345, 24)

# Where each screen has texts (design units). The pictures of the two
# languages may differ there only; "changing" boxes hold what may differ
# between any two runs (points of a game played for real, the blinking cursor).
TEXTS = {
    "main": [band(150), band(200), band(250), band(400)],
    "mode-classic": [TITLE_BOX, band(150), band(200), band(250), DESCRIPTION, band(400)],
    "mode-level": [TITLE_BOX, band(150), band(200), band(250), DESCRIPTION, band(400)],
    "difficulty-turbo-hard": [TITLE_BOX, band(150), band(200), band(250), DESCRIPTION, band(400)],
    "difficulty-classic-easy": [TITLE_BOX, band(150), band(200), band(250), DESCRIPTION, band(400)],
    "pause": [(0, 195, 400, 262), band(400)],
    "credits": [(0, 315, 400, 352), (0, 375, 400, 412)],  # headings and names
    "table": [PANEL_LABELS, (0, 18, 400, 60), (0, 78, 400, 130), (25, 140, 375, 168), (0, 348, 400, 395), band(400)],
    "entry": [PANEL_LABELS, (0, 78, 400, 130), (0, 18, 400, 60), (28, 145, 372, 170), (30, 195, 372, 222), band(350),
              band(400)],
    "notice": [PANEL_LABELS, (0, 78, 400, 130), (35, 205, 400, 280), NOTICE_RING, (0, 370, 400, 436)],
}
CHANGING = {
    "notice": [NOTICE_RING],
    "entry": [(0, 18, 400, 60), (28, 145, 372, 170)],
    "table": [],
}


def wait_note(game, name):
    """The message box the game opened over its window: its title and a picture."""
    deadline = time.monotonic() + 30
    while True:
        found = game.display.run(["xdotool", "search", "--onlyvisible", "--name", "."], check_status=False).split()
        others = [int(window) for window in found if int(window) != game.window]
        if others:
            title = game.display.run(["xdotool", "getwindowname", str(others[0])]).rstrip("\n")
            if title:
                return title, game.screenshot(name, window=others[0]), others[0]
        check(time.monotonic() < deadline, f"no message box for {name}")
        time.sleep(0.1)


def close_note(game, window):
    game.display.run(["xdotool", "windowfocus", "--sync", str(window)])
    game.display.run(["xdotool", "key", "Return"])
    deadline = time.monotonic() + 30
    while str(window) in game.display.run(["xdotool", "search", "--onlyvisible", "--name", "."],
                                          check_status=False).split():
        check(time.monotonic() < deadline, "the message box stays open")
        time.sleep(0.1)


def hover(game, y, previous, box, name):
    game.move(200, y + 20)
    game.wait_for(lambda shot: shot.count_diff(previous, box, threshold=12) > 50, name)
    return game.wait_stable(name)


def silent_port():
    """A port on 127.0.0.1 that takes connections and never answers: the
    connection notice stays until the game gives up after 8 seconds."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    return listener


def walk(display, env, lang):
    """Every screen once, with a Classic game played and a Level result entered."""
    listener = silent_port()
    env = dict(SEED, QUARZELLO_HIGHSCORE_HOST=f"127.0.0.1:{listener.getsockname()[1]}", **env)
    game = display.start_game(env=env)
    shots, titles = {}, {}
    try:
        park(game)
        shots["main"] = main = game.wait_stable(f"{lang}-main")
        mode = advance(game, (200, MENU_ROWS["first"]), main, TITLE_BOX, f"{lang}-mode")
        shots["mode-classic"] = hover(game, 150, mode, DESCRIPTION, f"{lang}-mode-classic")
        shots["mode-level"] = level = hover(game, 250, shots["mode-classic"], DESCRIPTION, f"{lang}-mode-level")
        turbo = advance(game, (200, MENU_ROWS["second"]), level, TITLE_BOX, f"{lang}-difficulty-turbo")
        shots["difficulty-turbo-hard"] = hover(game, 250, turbo, DESCRIPTION, f"{lang}-difficulty-turbo-hard")
        mode = advance(game, (200, 420), turbo, TITLE_BOX, f"{lang}-mode-again")
        classic = advance(game, (200, MENU_ROWS["first"]), mode, TITLE_BOX, f"{lang}-difficulty-classic")
        shots["difficulty-classic-easy"] = hover(game, 150, classic, DESCRIPTION, f"{lang}-difficulty-classic-easy")

        # A Classic game: mark a group, confirm it, points.
        advance(game, (200, MENU_ROWS["first"]), classic, BOTTOM_STRIP, f"{lang}-game")
        board = game.wait_stable(f"{lang}-board", box=BOARD_BOX)
        click_at(game, *cell_centre(8, 18))
        park(game)
        game.wait_for(lambda shot: shot.diff_box(board, BOARD_BOX) is not None, f"{lang}-marked")
        click_at(game, *cell_centre(8, 18))
        park(game)
        playing = game.wait_for(score_changed(board), f"{lang}-scored")
        game.key("p")
        game.wait_for(lambda shot: shot.count_diff(playing, BOTTOM_STRIP, threshold=12) > 2000, f"{lang}-pause")
        shots["pause"] = pause = game.wait_stable(f"{lang}-pause")
        main = advance(game, (200, 420), pause, band(150), f"{lang}-abandoned")

        shots["credits"] = credits = advance(game, (200, 270), main, (0, 100, 400, 240), f"{lang}-credits")
        main = advance(game, (200, 300), credits, band(150), f"{lang}-main-again")
        advance(game, (200, 220), main, BOTTOM_STRIP, f"{lang}-table")
        shots["table"] = table = game.wait_stable(f"{lang}-table")  # the rows have slid in
        advance(game, (200, 420), table, BOTTOM_STRIP, f"{lang}-main-after-table")

        # A Level result, entered by name: too short first, then online with no answer.
        shots["entry"] = entry = play_level_game_to_its_end(game, f"{lang}-entry")
        game.type("A")
        click_at(game, *CONTINUE_BUTTON)
        park(game)
        titles["short"], shots["note-short"], window = wait_note(game, f"{lang}-note-short")
        close_note(game, window)
        game.type("l")
        click_at(game, *CHECKBOX)
        click_at(game, *CONTINUE_BUTTON)
        park(game)
        shots["notice"] = game.wait_for(
            lambda shot: shot.count_diff(entry, (35, 205, 400, 280), threshold=12) > 100, f"{lang}-notice")
        titles["offline"], shots["note-offline"], window = wait_note(game, f"{lang}-note-offline")
        close_note(game, window)
        click_at(game, *CHECKBOX)
        click_at(game, *CONTINUE_BUTTON)
        park(game)
        game.wait_for(lambda shot: shot.count_diff(entry, (30, 140, 370, 340)) > 500, f"{lang}-entered")
        shots["entered"] = game.wait_stable(f"{lang}-entered")
        with open(os.path.join(game.workdir, "highscore.tvs"), "rb") as f:
            check(b"Al" in f.read(), "the entry was not saved")
        game.key("Escape")
        assert_equal(game.exit_status(timeout=5), 0, f"exit status ({lang})")
    finally:
        listener.close()
    return shots, titles


def differing_outside(a, b, boxes):
    """Pixels that differ between the two pictures outside every box (which may overlap)."""
    pixel_boxes = [a._px_box(box) for box in boxes]
    return sum(1 for px, py in a._differing(b, None, 12)
               if not any(x0 <= px < x1 and y0 <= py < y1 for x0, y0, x1, y1 in pixel_boxes))


def case_every_screen_reads_english(display):
    reads_other_than_german(display, ENGLISH, "en")


def reads_other_than_german(display, env, lang):
    """The walk in German and in the language env selects: every screen's
    texts differ, and nothing outside their places does."""
    german, german_titles = walk(display, {}, "de")
    english, english_titles = walk(display, env, lang)
    for screen, boxes in TEXTS.items():
        de, en = german[screen], english[screen]
        changing = CHANGING.get(screen, [])
        steady = [box for box in boxes if box not in changing]
        check(any(de.count_diff(en, box, threshold=12) > 30 for box in steady),
              f"{screen} reads the same in both languages ({de.path}, {en.path})")
        outside = differing_outside(de, en, boxes)
        check(outside == 0, f"{screen}: {outside} pixels differ outside the places of its texts "
                            f"({de.path}, {en.path})")
    # The descriptions end where the German ones do, well inside the canvas.
    for screen in ("mode-classic", "mode-level", "difficulty-turbo-hard", "difficulty-classic-easy"):
        box = english[screen].diff_box(german["main"], DESCRIPTION, threshold=12)
        check(box is not None and box[0] >= 29 and box[2] <= 352,
              f"the {lang} description of {screen} spans {box} ({english[screen].path})")
    for note in ("short", "offline"):
        check(english_titles[note] != german_titles[note],
              f"the {note} note is titled {english_titles[note]!r} in {lang}, {german_titles[note]!r} in German")
        de, en = german[f"note-{note}"], english[f"note-{note}"]
        check((de.width, de.height) != (en.width, en.height) or de.count_diff(en) > 100,
              f"the {note} note reads the same ({de.path}, {en.path})")


def level_to_entry(game, menu, name, arrived):
    """From the main menu: a Level game with a pair removed, left to run to
    its end, then "Weiter" until a picture that arrived() accepts holds."""
    modes = advance(game, (200, MENU_ROWS["first"]), menu, TITLE_BOX, f"{name}-mode")
    advance(game, (200, MENU_ROWS["third"]), modes, BOTTOM_STRIP, f"{name}-game")
    before = game.wait_for(lambda shot: find_pair(shot) is not None, f"{name}-settled")
    remove_a_pair(game, before, name)
    wait_level_game_over(game, before.pixel(*BAR_END), f"{name}-game-over")
    click_at(game, 200, 138)  # "Weiter"
    park(game)
    return game.wait_stable(name, box=(0, 170, 400, 500), predicate=arrived, timeout=60)


def on_a_big_screen(binary, case, shots_dir):
    with Display(binary, shots_dir, *BIG_SCREEN) as display:
        case(display)


def case_english_at_twice_the_size(display):
    at_twice_the_size(display, ENGLISH)


def at_twice_the_size(display, language):
    """At 192 dpi: the main menu, a mode description and the name entry are
    the 1x pictures at twice the size, so nothing runs out of its place."""
    small = {}
    game = display.start_game(env=dict(SEED, **language))
    assert_equal(game.geometry()[2:], (DESIGN_WIDTH, DESIGN_HEIGHT), "size without Xft.dpi")
    park(game)
    small["main"] = game.wait_stable("1x-main")
    mode = advance(game, (200, MENU_ROWS["first"]), small["main"], TITLE_BOX, "1x-mode")
    small["mode"] = hover(game, 150, mode, DESCRIPTION, "1x-mode-classic")
    advance(game, (200, 420), small["mode"], TITLE_BOX, "1x-back")
    small["entry"] = play_level_game_to_its_end(game, "1x-entry")
    game.key("Escape")
    assert_equal(game.exit_status(timeout=5), 0, "exit status at 1x")
    game.stop()

    display.set_xft_dpi(192)
    game = display.start_game(env=dict(SEED, **language))
    assert_equal(game.geometry()[2:], (2 * DESIGN_WIDTH, 2 * DESIGN_HEIGHT), "size at 192 dpi")

    def like(name):
        return lambda shot: shot.mean_abs_diff_downscaled(small[name]) < 6.0

    park(game)
    game.wait_stable("2x-main", predicate=like("main"))
    game.click(200, MENU_ROWS["first"])
    game.move(200, 170)  # over "Classic"
    game.wait_stable("2x-mode-classic", predicate=like("mode"), timeout=60)
    # Level, played to its end as at 1x.
    game.click(200, 420)
    park(game)
    menu = game.wait_stable("2x-main-again", predicate=like("main"))
    level_to_entry(game, menu, "2x-entry", like("entry"))
    game.key("Escape")
    assert_equal(game.exit_status(timeout=5), 0, "exit status at 2x")


if __name__ == "__main__":
    run_cases(globals(), run=on_a_big_screen)
