#!/usr/bin/env python3
"""Going on with a game the window was closed on: the real game, closed
during a game (by the window's close button, a SIGTERM or the SIGHUP of a
desktop logging out), keeps the game in
its working directory; the next start there offers "Weiterspielen" on the
main menu, which shows the game paused, and P shows the board as it was
before closing. A Level game gone on with and played to its end counts
online on the real service, ticket and all. Kept files that cannot be gone
on with are set aside and not offered, and a data directory the game may
not read or write costs nothing but the offer."""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

from harness import assert_equal, check, run_cases
from play import (BAR_END, BOARD_BOX, SCORE_BOX, SEED, cell_centre, click_at, park, remove_a_pair, start,
                  wait_level_game_over)
from test_highscore import LEVEL_LIST, ink as entry_ink, on_new_highscore_screen, read_file, row_glows
from test_menus import MAIN_ENTRIES, band, entry_at, ink, is_game, is_main_menu, is_pause
from test_verified import Service, online_from_the_start

GO_ON = 325  # the entry between "Credits" and "Beenden"
KEPT = "interrupted.qzr"
HUD_BOX = (40, 26, 360, 52)  # score, mode and its value


def offers_to_go_on(shot):
    return is_main_menu(shot) and ink(shot, band(GO_ON)) is not None


def plain_menu(shot):
    return is_main_menu(shot) and ink(shot, band(GO_ON)) is None


def go_on(game, name):
    """From the main menu that offers it: the game, paused, then P."""
    park(game)
    menu = game.wait_stable(f"{name}-menu", predicate=offers_to_go_on)
    for entry, y in MAIN_ENTRIES.items():
        check(ink(menu, band(y)) is not None, f'"{entry}" is missing beside the offer ({menu.path})')
    game.click(*entry_at(GO_ON))
    park(game)
    game.wait_stable(f"{name}-paused", predicate=is_pause)
    game.key("p")
    return game.wait_for(is_game, f"{name}-again")


def interrupted(game, how):
    """Ends the game by the window's close button or a SIGTERM; the game is kept."""
    if how == "close":
        game.close()
    else:
        game.process.send_signal(signal.SIGTERM)
    assert_equal(game.exit_status(timeout=5), 0, f"exit status after {how}")
    check(os.path.getsize(os.path.join(game.workdir, KEPT)) > 10, "no game was kept")


def replayed(path):
    """quarzello-replay's points and seconds played of a recording."""
    probe = os.environ.get("QUARZELLO_REPLAY_PROBE")
    tool = os.path.join(os.path.dirname(probe), "..", "quarzello-replay") if probe else "quarzello-replay"
    out = subprocess.run([tool, path], capture_output=True, text=True)
    assert_equal(out.returncode, 0, f"replay of {path}: {out.stderr}")
    found = re.search(r"score (\d+), .* ([\d.]+) s played, (\w[\w ]*),", out.stdout)
    check(found, f"unexpected replay output {out.stdout!r}")
    return int(found.group(1)), float(found.group(2))


def case_classic_closed_goes_on_as_it_stood(display):
    workdir = tempfile.mkdtemp(prefix="qz-resume-")
    game = display.start_game(env=SEED, workdir=workdir)
    before = start(game, "first", "first")  # Classic, Leicht
    for column in (8, 3):
        stone = cell_centre(column, 18)
        click_at(game, *stone)
        click_at(game, *stone)
        park(game)
        before = game.wait_stable(f"removed-{column}", box=BOARD_BOX,
                                  predicate=lambda shot, was=before: shot.diff_box(was, SCORE_BOX) is not None)
    interrupted(game, "close")

    game = display.start_game(env=SEED, workdir=workdir)
    again = go_on(game, "resumed")
    again = game.wait_stable("resumed-board", box=BOARD_BOX)
    assert_equal(again.count_diff(before, BOARD_BOX), 0, f"board ({before.path} / {again.path})")
    assert_equal(again.count_diff(before, HUD_BOX), 0, f"score and side supply ({before.path} / {again.path})")
    # Played on: the resumed board takes clicks.
    stone = cell_centre(12, 18)
    click_at(game, *stone)
    click_at(game, *stone)
    park(game)
    game.wait_for(lambda shot: shot.diff_box(again, SCORE_BOX) is not None, "resumed-scored")
    game.key("Escape")
    assert_equal(game.exit_status(timeout=5), 0, "exit status after Escape")
    points, _ = replayed(os.path.join(workdir, KEPT))
    check(points > 0, "the kept game lost its points")

    # Given up from the pause screen, it is not offered again.
    game = display.start_game(env=SEED, workdir=workdir)
    go_on(game, "third")
    game.key("p")
    game.wait_stable("paused-to-give-up", predicate=is_pause)
    game.click(*entry_at(400))  # "Spiel abbrechen"
    park(game)
    game.wait_stable("given-up", predicate=plain_menu)
    check(not os.path.exists(os.path.join(workdir, KEPT)), "the given-up game is still kept")
    game.key("Escape")
    assert_equal(game.exit_status(timeout=5), 0, "exit status")


def case_turbo_terminated_keeps_its_time(display):
    workdir = tempfile.mkdtemp(prefix="qz-resume-")
    game = display.start_game(env=SEED, workdir=workdir)
    before = start(game, "second", "first")  # Turbo, Leicht
    click_at(game, *cell_centre(8, 18))
    park(game)
    game.wait_for(lambda shot: shot.diff_box(before, SCORE_BOX) is not None, "turbo-scored")
    interrupted(game, "SIGTERM")
    points, played = replayed(os.path.join(workdir, KEPT))
    check(points > 0, "no points kept")
    # The time away is what is tested here: it must not count as play.
    away = 5.0
    time.sleep(away)
    game = display.start_game(env=SEED, workdir=workdir)
    shown = time.monotonic()
    go_on(game, "turbo-resumed")
    game.wait_for(lambda shot: shot.diff_box(before, (280, 26, 360, 52)) is not None, "turbo-ticking")
    # Logged out this time: kept again, with the time played since.
    game.process.send_signal(signal.SIGHUP)
    assert_equal(game.exit_status(timeout=5), 0, "exit status after SIGHUP")
    _, total = replayed(os.path.join(workdir, KEPT))
    check(total < played + (time.monotonic() - shown) + 0.5,
          f"{total:.1f} s played: the {away:.0f} s away counted ({played:.1f} s before)")
    check(total > played, "the game did not go on")


def case_level_gone_on_with_counts_online(display):
    directory = tempfile.mkdtemp(prefix="qz-resume-verified-")
    service = Service(display, directory)
    workdir = online_from_the_start()
    env = dict(SEED, QUARZELLO_HIGHSCORE_HOST=service.host)
    game = display.start_game(env=env, workdir=workdir)
    service.wait_for_deals()
    before = start(game, "third")
    remove_a_pair(game, before, "level")
    interrupted(game, "close")
    check(os.path.exists(os.path.join(workdir, "interrupted.ticket")), "the dealt board's ticket was not kept")

    game = display.start_game(env=env, workdir=workdir)
    go_on(game, "level-resumed")
    wait_level_game_over(game, before.pixel(*BAR_END), "level-over")
    click_at(game, 200, 138)  # "Weiter"
    park(game)
    game.wait_stable("entry", box=(0, 170, 400, 500), predicate=on_new_highscore_screen)
    check(not os.path.exists(os.path.join(workdir, KEPT)), "the finished game is still kept")
    game.type("Tester")
    park(game)
    game.wait_for(lambda s: entry_ink(s, (80, 150, 120, 166)) > 20, "typed")  # the box is ticked already
    game.click(200, 370)  # "Weiter"
    park(game)
    table = game.wait_stable("online-table", predicate=lambda shot: entry_ink(shot, (38, 146, 62, 161)) > 20)
    check(row_glows(table, 1), f"the own entry is not listed online ({table.path})")
    _, _, lists = read_file(workdir)
    points = lists[LEVEL_LIST][0][1]
    log = service.text()
    check(re.search(r"POST /quarzello/replay\.php 200 OKAY \(replayed: ranking 6, %d points" % points, log),
          f"the resumed game was not verified at {points} points:\n{log}")
    check("not verified" not in log, f"the service did not count it:\n{log}")
    check(display.find_window("Hinweis") is None, "a note for a game that counts")
    game.key("Escape")
    assert_equal(game.exit_status(timeout=5), 0, "exit status")


def menu_without_offer(display, workdir, name, wrapper=()):
    game = display.start_game(env=SEED, workdir=workdir, wrapper=wrapper)
    park(game)
    game.wait_stable(name, predicate=plain_menu)
    return game


def case_bad_files_are_set_aside(display):
    # A game cut short, a foreign file: set aside whole, not offered.
    source = tempfile.mkdtemp(prefix="qz-resume-")
    game = display.start_game(env=SEED, workdir=source)
    start(game, "first", "first")
    interrupted(game, "close")
    with open(os.path.join(source, KEPT), "rb") as f:
        whole = f.read()
    for name, bytes_ in (("cut-short", whole[:-6]), ("foreign", b"GIF89a not a game at all")):
        workdir = tempfile.mkdtemp(prefix="qz-resume-")
        with open(os.path.join(workdir, KEPT), "wb") as f:
            f.write(bytes_)
        game = menu_without_offer(display, workdir, name)
        game.key("Escape")
        assert_equal(game.exit_status(timeout=5), 0, f"exit status ({name})")
        check(not os.path.exists(os.path.join(workdir, KEPT)), f"the {name} file is still there")
        with open(os.path.join(workdir, "interrupted.qzr.unusable-1"), "rb") as f:
            assert_equal(f.read(), bytes_, f"the {name} file set aside")

    # A data directory the player may neither read nor write: no offer, and
    # a game closed there ends plainly.
    workdir = tempfile.mkdtemp(prefix="qz-resume-")
    shutil.copy(os.path.join(source, KEPT), os.path.join(workdir, KEPT))
    os.chmod(os.path.join(workdir, KEPT), 0o600)
    os.chmod(workdir, 0o711)
    nobody = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
    game = menu_without_offer(display, workdir, "unreadable", wrapper=nobody)
    start(game, "first", "first")
    game.close()
    assert_equal(game.exit_status(timeout=5), 0, "exit status in an unreadable directory")
    with open(os.path.join(workdir, KEPT), "rb") as f:
        assert_equal(f.read(), whole, "the kept game in the unreadable directory")


if __name__ == "__main__":
    run_cases(globals())
