#!/usr/bin/env python3
"""A result that counts online because its game was played on a board the
service dealt and was played again: with the online box ticked from the
start (highscore.tvs keeps it), the real game fetches its boards from the
real highscore service (QUARZELLO_HIGHSCORED) while the menus show, plays a
Level game with points on one and enters a name; the service replays the
uploaded recording before it lists the entry. The downloaded recording
replays to the same points (QUARZELLO_REPLAY_PROBE). With the service gone
while the menus showed, the game is dealt by the game itself: its entry is
kept locally, and the player is told why it does not count online. Against
a stand-in that refuses the recording, the local entry is still saved and
the player is shown the service's message."""

import json
import os
import re
import socket
import subprocess
import tempfile
import time
import urllib.parse
import urllib.request

from harness import assert_equal, check, run_cases
from play import SEED, park
from test_highscore import (LEVEL_LIST, StandIn, ink, play_level_game_to_its_end, read_file, row_glows,
                            wait_table)

REFUSAL = "Das aufgezeichnete Spiel erreicht nicht den eingetragenen Punktwert."


class Service:
    """The real service on 127.0.0.1 with a fresh SQLite database, as shipped
    (verified entries only)."""

    def __init__(self, display, directory, port=0):
        self.log_path = os.path.join(directory, "service.log")
        self.log = open(self.log_path, "w+")
        self.process = display.spawn([os.environ["QUARZELLO_HIGHSCORED"], "--listen", f"127.0.0.1:{port}", "--db",
                                      "sqlite:" + os.path.join(directory, "highscores.sqlite")],
                                     stdout=subprocess.DEVNULL, stderr=self.log)
        deadline = time.monotonic() + 30
        while True:
            found = re.search(r"listening on 127\.0\.0\.1:(\d+)", self.text())
            if found:
                self.host = "127.0.0.1:" + found.group(1)
                return
            check(self.process.poll() is None, f"the service ended:\n{self.text()}")
            check(time.monotonic() < deadline, "the service did not start")
            time.sleep(0.05)

    def text(self):
        with open(self.log_path, errors="replace") as log:
            return log.read()

    def wait_for_deals(self, count=7):
        """Until the service has dealt `count` boards."""
        deadline = time.monotonic() + 60
        while self.text().count("POST /quarzello/deal.php 200") < count:
            check(time.monotonic() < deadline, f"the game fetched no boards:\n{self.text()}")
            time.sleep(0.05)

    def get(self, path):
        with urllib.request.urlopen(f"http://{self.host}{path}", timeout=10) as reply:
            return reply.read()


def enter_online(game, name, ticked=False):
    """From the main menu: a Level game to its end, the name typed, the
    online box ticked unless it was and "Weiter" pressed."""
    entry = play_level_game_to_its_end(game, name)
    game.type("Tester")
    if not ticked:
        game.click(100, 208)  # "Punktwert online speichern"
    park(game)
    game.wait_for(lambda s: ink(s, (80, 150, 120, 166)) > 20 and
                  (ticked or s.count_diff(entry, (28, 195, 52, 219)) > 50), f"{name}-typed")
    game.click(200, 370)  # "Weiter"


def online_from_the_start():
    """A working directory whose highscore.tvs has no name yet and the online
    box ticked, as a player leaves it who entered online before."""
    workdir = tempfile.mkdtemp(prefix="qz-game-")
    with open(os.path.join(workdir, "highscore.tvs"), "wb") as f:
        f.write(b"\x03\x00\x01")
    return workdir


def case_online_entry_verified(display):
    directory = tempfile.mkdtemp(prefix="qz-verified-")
    service = Service(display, directory)
    game = display.start_game(env=dict(SEED, QUARZELLO_HIGHSCORE_HOST=service.host), workdir=online_from_the_start())
    service.wait_for_deals()
    enter_online(game, "entry", ticked=True)
    park(game)
    # The rank of the table's first row: neither the name entry nor the
    # connection notice draws there.
    table = game.wait_stable("online-table", predicate=lambda shot: ink(shot, (38, 146, 62, 161)) > 20)

    # The only entry of the online Level table, lit as the player's own.
    check(row_glows(table, 1), f"the own entry is not highlighted ({table.path})")
    check(not row_glows(table, 2), f"another row glows ({table.path})")
    name, flag, lists = read_file(game.workdir)
    assert_equal((name, flag), ("Tester", 1), "player record")
    assert_equal(len(lists[LEVEL_LIST]), 1, "local Level ranking")
    points = lists[LEVEL_LIST][0][1]
    check(points > 0, "the game made points")
    log = service.text()
    check(re.search(r"POST /quarzello/replay\.php 200 OKAY \(replayed: ranking 6, %d points" % points, log),
          f"the recording was not played again to {points} points:\n{log}")
    check("POST /quarzello/start.php 200" in log, f"the game did not report its start:\n{log}")
    check(display.find_window("Hinweis") is None, "a note for a game that counts")

    rankings = json.loads(service.get("/quarzello/api/rankings?mode=6"))
    assert_equal([(e["name"], e["points"], e["verified"]) for e in rankings["entries"]], [("Tester", points, True)],
                 "the JSON list")
    page = service.get("/quarzello/?mode=6").decode()
    found = re.search(r'Tester<span class="new-mark"[^>]*>neu</span><a class="verified" href="(replays/\d+)"', page)
    check(found, f"the page does not mark the entry verified:\n{page}")
    check(rankings["entries"][0]["recording"] == "/quarzello/" + found.group(1), "page and JSON link the same")

    downloaded = os.path.join(directory, "downloaded.qzr")
    with open(downloaded, "wb") as f:
        f.write(service.get("/quarzello/" + found.group(1)))
    replayed = subprocess.run([os.environ["QUARZELLO_REPLAY_PROBE"], downloaded], capture_output=True, text=True)
    assert_equal(replayed.returncode, 0, f"replay ({replayed.stderr})")
    assert_equal(replayed.stdout.split(), [str(points), "2", replayed.stdout.split()[2], "1"],
                 "score, mode, difficulty, reached its end")
    game.key("Escape")
    assert_equal(game.exit_status(timeout=5), 0, "exit status")


def note_then_entry_kept(game, display, title):
    """The message box titled `title` over an entry just saved: its picture,
    the local entry, then the box closed with Return."""
    box = game.wait_window(title)
    shot = game.screenshot(f"{title.lower()}-box", window=box)
    check(shot.width > 200, f"no message box ({shot.path})")
    # The entry is saved before the recording goes out.
    name, flag, lists = read_file(game.workdir)
    assert_equal((name, flag), ("Tester", 1), "player record")
    assert_equal([entry_name for entry_name, _ in lists[LEVEL_LIST]], ["Tester"], "local Level ranking")
    display.run(["xdotool", "windowfocus", "--sync", str(box), "key", "Return"])


def case_service_gone_at_the_start_keeps_the_entry_unranked(display):
    directory = tempfile.mkdtemp(prefix="qz-verified-")
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
    game = display.start_game(env=dict(SEED, QUARZELLO_HIGHSCORE_HOST=f"127.0.0.1:{port}"),
                              workdir=online_from_the_start())
    entry = play_level_game_to_its_end(game, "entry")
    # Back by the time the name is entered: too late for this game's board.
    service = Service(display, directory, port)
    game.type("Tester")
    park(game)
    game.wait_for(lambda s: ink(s, (80, 150, 120, 166)) > 20 and s.count_diff(entry, (80, 150, 120, 166)) > 0,
                  "typed")
    game.click(200, 370)  # "Weiter"
    note_then_entry_kept(game, display, "Hinweis")
    # The online table, empty: "Kein Einträge" where its first row would be.
    game.wait_stable("online-table", predicate=lambda shot: ink(shot, (88, 145, 180, 162)) > 20)
    log = service.text()
    check("not verified: no-ticket" in log, f"the service did not say why:\n{log}")
    listed = json.loads(service.get("/quarzello/api/rankings?mode=6"))["entries"]
    assert_equal(listed, [], "the online Level ranking")
    game.key("Escape")
    assert_equal(game.exit_status(timeout=5), 0, "exit status")


def case_refused_recording_keeps_the_local_entry(display):
    service = StandIn(upload_reply=("ERROR", REFUSAL))
    try:
        game = display.start_game(env=dict(SEED, QUARZELLO_HIGHSCORE_HOST=service.host))
        enter_online(game, "entry")
        note_then_entry_kept(game, display, "Fehler")
        wait_table(game, "online-table")
        paths = [path for path, _ in service.requests]
        assert_equal(paths, ["/quarzello/register.php", "/quarzello/highscore.php", "/quarzello/replay.php",
                             "/quarzello/get.php"], "requests")
        upload = urllib.parse.parse_qs(service.requests[2][1].rstrip("\r\n"))
        assert_equal(sorted(upload), ["hash", "id", "key_id", "lang", "recording"], "upload fields")
        assert_equal(upload["id"], ["501"], "the entry the upload is for")
        assert_equal(upload["lang"], ["de"], "the game's language")
        check(re.fullmatch(r"[A-Za-z0-9_-]+", upload["recording"][0]), "recording in URL-safe base64")
        game.key("Escape")
        assert_equal(game.exit_status(timeout=5), 0, "exit status")
    finally:
        service.close()


if __name__ == "__main__":
    run_cases(globals())
