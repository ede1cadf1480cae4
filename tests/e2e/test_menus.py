#!/usr/bin/env python3
"""Walking the menus of the real game: main menu, mode and difficulty choice,
a game with its pause, the credits, and quitting.

Texts are found as the pixels that differ from the menu background picture,
which every menu screen draws unscaled at scale 1; their bounding boxes tell
whether a text is there, centred, or drawn at full or reduced size."""

import os

from harness import Shot, assert_equal, check, run_cases

RESOURCES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources")
MENU_BACKGROUND = Shot.load(os.path.join(RESOURCES, "menu_background.bmp"))
GAME_BACKGROUND = Shot.load(os.path.join(RESOURCES, "game_background.bmp"))

PARK = (200, 485)  # below every entry of every screen
ENTRY_HEIGHT = 48  # the large font's band, with room to spare
MAIN_ENTRIES = {"Spielen": 150, "Highscore": 200, "Credits": 250, "Beenden": 400}
CHOICE_ENTRIES = {"first": 150, "second": 200, "third": 250, "Zurück": 400}
TITLE_BAND = (0, 88, 400, 108)
DESCRIPTION_LINES = [300, 315, 330, 345, 360]


def ink(shot, box):
    """Bounding box of what is drawn over the menu background inside box."""
    return shot.diff_box(MENU_BACKGROUND, box, threshold=12)


def band(y, height=ENTRY_HEIGHT):
    return (0, y, 400, y + height)


def centre_x(box):
    return (box[0] + box[2]) / 2


def width(box):
    return box[2] - box[0]


def check_centred(box, what, shot):
    check(box is not None, f"{what}: nothing drawn ({shot.path})")
    check(abs(centre_x(box) - 200) <= 2, f"{what} is not centred: {box} ({shot.path})")


def entry_at(y):
    """A point inside an entry's band, away from the text's edges."""
    return 200, y + 20


def settle(game, name, at=PARK):
    game.move(*at)
    return game.wait_stable(name)


def same_picture(a, b, what):
    changed = a.count_diff(b, threshold=12)
    check(changed == 0, f"{what}: {changed} pixels differ ({a.path}, {b.path})")


def title_width(shot):
    box = ink(shot, TITLE_BAND)
    return width(box) if box else 0


def open_screen(game, at, arrived, name):
    """Clicks at a design point, parks the pointer and waits until
    arrived(shot) holds and the screen has settled."""
    game.click(*at)
    game.move(*PARK)
    game.wait_for(arrived, name)
    return game.wait_stable(name)


def case_main_menu_hover(display):
    game = display.start_game()
    main = settle(game, "main")
    resting = {}
    for text, y in MAIN_ENTRIES.items():
        resting[text] = ink(main, band(y))
        check_centred(resting[text], f'"{text}"', main)
    for text, y in MAIN_ENTRIES.items():
        hovered = settle(game, f"hover-{text}", entry_at(y))
        grown = ink(hovered, band(y))
        check_centred(grown, f'hovered "{text}"', hovered)
        ratio = width(grown) / width(resting[text])
        check(1.15 < ratio < 1.35, f'hovered "{text}" is {ratio:.2f} times as wide, '
                                   f"not 1.25 ({hovered.path})")
        for other, other_y in MAIN_ENTRIES.items():
            if other != text:
                assert_equal(ink(hovered, band(other_y)), resting[other],
                             f'"{other}" while "{text}" is hovered ({hovered.path})')
    # The whole width of the canvas at an entry's height belongs to the entry.
    far_left = settle(game, "hover-far-left", (3, MAIN_ENTRIES["Spielen"] + 20))
    assert_equal(width(ink(far_left, band(MAIN_ENTRIES["Spielen"]))),
                 width(ink(settle(game, "hover-Spielen-again", entry_at(150)), band(150))),
                 "width of \"Spielen\" hovered at the far left")


def description_box(shot, lines):
    return ink(shot, (0, DESCRIPTION_LINES[0], 400, DESCRIPTION_LINES[0] + 15 * lines))


def check_description(shot, lines, what):
    box = description_box(shot, 5)
    check(box is not None, f"no description for {what} ({shot.path})")
    check(abs(box[0] - 30) <= 3, f"the description for {what} does not start at x 30: {box}")
    last_line = ink(shot, (0, DESCRIPTION_LINES[lines - 1], 400, DESCRIPTION_LINES[lines - 1] + 15))
    check(last_line is not None, f"the description for {what} has no line {lines} ({shot.path})")
    after = ink(shot, (0, DESCRIPTION_LINES[0] + 15 * lines + 2, 400, 380))
    check(after is None, f"the description for {what} has more than {lines} lines ({shot.path})")


def case_mode_and_difficulty(display):
    game = display.start_game()
    main = settle(game, "main")
    mode = open_screen(game, entry_at(MAIN_ENTRIES["Spielen"]), lambda s: title_width(s) > 0, "mode")
    mode_title = ink(mode, TITLE_BAND)
    check_centred(mode_title, "the mode screen's title", mode)
    for text, y in CHOICE_ENTRIES.items():
        check_centred(ink(mode, band(y)), f"mode entry {text}", mode)
    check(description_box(mode, 5) is None, f"a description with no mode hovered ({mode.path})")

    descriptions = []
    for name, y in list(CHOICE_ENTRIES.items())[:3]:
        hovered = settle(game, f"mode-hover-{name}", entry_at(y))
        check_description(hovered, 5, f"the {name} mode")
        descriptions.append(hovered)
    check(descriptions[0].count_diff(descriptions[1], (0, 300, 400, 375)) > 0
          and descriptions[1].count_diff(descriptions[2], (0, 300, 400, 375)) > 0,
          "the three modes show the same description")
    below = settle(game, "mode-below-level", (200, 300))
    check(description_box(below, 5) is None, f"a description below the entries ({below.path})")

    # "Zurück" on the mode screen leads to the main menu.
    open_screen(game, entry_at(CHOICE_ENTRIES["Zurück"]), lambda s: title_width(s) == 0,
                "back-to-main")
    same_picture(settle(game, "main-again"), main, "the main menu after \"Zurück\"")

    # Classic: the difficulty screen, its texts for Classic, "Zurück" to the mode screen.
    open_screen(game, entry_at(MAIN_ENTRIES["Spielen"]), lambda s: title_width(s) > 0, "mode-again")

    def longer_title(shot):
        return title_width(shot) > width(mode_title) + 20

    difficulty = open_screen(game, entry_at(CHOICE_ENTRIES["first"]), longer_title,
                             "difficulty-classic")
    difficulty_title = ink(difficulty, TITLE_BAND)
    check_centred(difficulty_title, "the difficulty screen's title", difficulty)
    check(width(difficulty_title) > width(mode_title) + 20,
          f"the difficulty title is not the longer one ({difficulty.path})")
    for name, y in list(CHOICE_ENTRIES.items())[:3]:
        check_description(settle(game, f"classic-hover-{name}", entry_at(y)), 3, f"Classic {name}")
    game.click(*entry_at(CHOICE_ENTRIES["Zurück"]))
    game.move(*PARK)
    game.wait_for(lambda shot: shot.count_diff(mode, threshold=12) == 0, "back-to-mode")

    # Turbo: Leicht and Mittel have two lines only.
    open_screen(game, entry_at(CHOICE_ENTRIES["second"]), longer_title, "difficulty-turbo")
    for name, y, lines in (("first", 150, 2), ("second", 200, 2), ("third", 250, 3)):
        check_description(settle(game, f"turbo-hover-{name}", entry_at(y)), lines, f"Turbo {name}")
    check(game.running(), "the game ended on the menus")


def start_classic(game):
    settle(game, "main")
    mode = open_screen(game, entry_at(MAIN_ENTRIES["Spielen"]), lambda s: title_width(s) > 0, "mode")
    open_screen(game, entry_at(CHOICE_ENTRIES["first"]),
                lambda s: title_width(s) > title_width(mode) + 20, "difficulty")
    game.click(*entry_at(CHOICE_ENTRIES["first"]))
    game.move(*PARK)
    return game.wait_for(is_game, "game")


def is_game(shot):
    """The game screen draws over its own background, not the menus'."""
    strip = (0, 475, 400, 500)
    return (shot.count_diff(GAME_BACKGROUND, strip, threshold=12) < 200
            and shot.count_diff(MENU_BACKGROUND, strip, threshold=12) > 2000)


def is_pause(shot):
    menu_bottom = shot.count_diff(MENU_BACKGROUND, (0, 460, 400, 500), threshold=12) < 100
    return (menu_bottom and ink(shot, TITLE_BAND) is None and ink(shot, band(150)) is None
            and ink(shot, (0, 200, 400, 238)) is not None)


def is_main_menu(shot):
    return all(ink(shot, band(y)) is not None for y in MAIN_ENTRIES.values()) and not title_width(shot)


def case_pause_and_abandon(display):
    game = display.start_game()
    start_classic(game)
    game.key("p")
    game.wait_for(is_pause, "pause")
    pause = game.wait_stable("pause")
    check_centred(ink(pause, (0, 200, 400, 238)), '"PAUSE"', pause)
    check_centred(ink(pause, (0, 238, 400, 260)), "the hint to press P", pause)
    check_centred(ink(pause, band(400)), '"Spiel abbrechen"', pause)
    game.key("p")
    game.wait_for(is_game, "game-again")
    game.key("p")
    game.wait_for(is_pause, "pause-again")
    game.click(*entry_at(400))
    game.move(*PARK)
    back = game.wait_for(is_main_menu, "main-after-abandon")
    for text, y in MAIN_ENTRIES.items():
        check_centred(ink(back, band(y)), f'"{text}" after abandoning the game', back)
    check(game.running(), "the game ended after \"Spiel abbrechen\"")


CREDIT_LINES = [260, 275, 320, 335, 380, 395, 450]


def case_credits(display):
    game = display.start_game()
    main = settle(game, "main")
    game.click(*entry_at(MAIN_ENTRIES["Credits"]))
    game.move(*PARK)
    game.wait_for(lambda shot: ink(shot, (0, 100, 400, 150)) is not None, "credits")
    credits = game.wait_stable("credits")
    check_centred(ink(credits, (0, 100, 400, 240)), "the logo", credits)
    for y in CREDIT_LINES:
        check_centred(ink(credits, (0, y, 400, y + 15)), f"the credit line at {y}", credits)
    # Any left click leaves, also one on a text.
    game.click(200, CREDIT_LINES[1] + 7)
    game.move(*PARK)
    game.wait_for(lambda shot: shot.count_diff(main, threshold=12) == 0, "main-after-credits")


def case_quit_with_beenden(display):
    game = display.start_game()
    settle(game, "main")
    game.click(*entry_at(MAIN_ENTRIES["Beenden"]))
    assert_equal(game.exit_status(timeout=3), 0, "exit status after \"Beenden\"")
    assert_equal(os.listdir(game.workdir), [], "files left in the working directory")


if __name__ == "__main__":
    run_cases(globals())
