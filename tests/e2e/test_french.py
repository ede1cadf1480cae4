#!/usr/bin/env python3
"""The game follows the desktop's language, end to end: French from
LANG=fr_FR.UTF-8 on every screen and at twice the size, LANGUAGE's list
falling through to French, German for the C locale and for a language without
a catalogue, and QUARZELLO_LANG over the desktop. None of these locales is
installed on the test machine, as none needs to be."""

from harness import assert_equal, check, run_cases
from play import SEED, park
from test_english import at_twice_the_size, on_a_big_screen, reads_other_than_german

FRENCH = {"LANG": "fr_FR.UTF-8"}


def case_every_screen_reads_french(display):
    reads_other_than_german(display, FRENCH, "fr")


def case_french_at_twice_the_size(display):
    at_twice_the_size(display, FRENCH)


def main_menu(display, env, name):
    game = display.start_game(env=dict(SEED, **env))
    park(game)
    shot = game.wait_stable(name)
    game.key("Escape")
    assert_equal(game.exit_status(timeout=5), 0, f"exit status ({name})")
    game.stop()
    return shot


def case_the_desktop_chooses_the_language(display):
    menus = {"de": main_menu(display, {}, "de"), "fr": main_menu(display, FRENCH, "fr"),
             "en": main_menu(display, {"LANG": "en_US.UTF-8"}, "en")}
    for a, b in (("de", "fr"), ("de", "en"), ("fr", "en")):
        check(menus[a].count_diff(menus[b], threshold=12) > 300,
              f"the {a} and {b} menus read alike ({menus[a].path}, {menus[b].path})")
    settings = [
        ({"LANGUAGE": "xx:fr", "LANG": "de_DE.UTF-8"}, "fr", "language-list"),
        ({"LANG": "C"}, "de", "c-locale"),
        ({"LANGUAGE": "fr", "LANG": "C"}, "de", "c-locale-ignores-the-list"),
        ({"LANG": "es_ES.UTF-8"}, "de", "unknown-language"),
        ({"LC_MESSAGES": "fr_BE.UTF-8", "LANG": "en_GB.UTF-8"}, "fr", "messages-locale"),
        ({"QUARZELLO_LANG": "en", "LANG": "fr_FR.UTF-8"}, "en", "setting-overrides"),
    ]
    for env, expected, name in settings:
        shot = main_menu(display, env, name)
        differing = shot.count_diff(menus[expected], threshold=12)
        check(differing == 0, f"{env} shows {name} with {differing} pixels unlike the {expected} menu "
                              f"({shot.path}, {menus[expected].path})")


if __name__ == "__main__":
    run_cases(globals(), run=on_a_big_screen)
