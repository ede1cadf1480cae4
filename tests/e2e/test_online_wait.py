#!/usr/bin/env python3
"""The window lives while an online request waits. Against a service that
accepts the connection and never answers, the connection notice keeps moving
(its ring of stones turns, the rest stands still), the window is drawn again
after another window has covered it, and Escape gives the request up at once,
with what no connection brings at that step; Escape after that ends the game
as on any other screen. Against the real service answering every request
after 2 s, an entry completes as it always did."""

import json
import os
import socket
import threading
import time

from harness import assert_equal, check, run_cases
from play import SEED, choose, park
from test_highscore import LEVEL_LIST, ink, on_new_highscore_screen, read_file, row_glows
from test_repaint import grab
from test_verified import Service, enter_online, online_from_the_start

RING = (156, 276, 244, 364)  # where the notice's ring of stones turns
STILL = [(0, 0, 400, 276), (0, 364, 400, 500), (0, 276, 156, 364), (244, 276, 400, 364)]
NOTE_LATENCY = 0.2  # seconds from Escape to what follows it


def read_request(connection):
    """The whole request (header and body) as bytes, or None if the peer went away."""
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = connection.recv(65536)
        if not chunk:
            return None
        data += chunk
    head, _, body = data.partition(b"\r\n\r\n")
    length = 0
    for line in head.split(b"\r\n"):
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value)
    while len(body) < length + 2:  # the body's own line end follows it
        chunk = connection.recv(65536)
        if not chunk:
            break
        body += chunk
    return data[:len(head) + 4] + body


class Service127:
    """A service on 127.0.0.1 that reads each request whole and hands it to
    answer(path, request): bytes to send back (and close), or None to hold
    the connection open, silent, until the service is closed."""

    def __init__(self, answer):
        self.answer = answer
        self.paths = []
        self.held = []
        self.closed = False
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(16)
        self.host = "127.0.0.1:%d" % self.listener.getsockname()[1]
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while not self.closed:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self._serve, args=(connection,), daemon=True).start()

    def _serve(self, connection):
        request = read_request(connection)
        if request is None:
            connection.close()
            return
        path = request.split(b" ", 2)[1].decode("latin-1")
        self.paths.append(path)
        reply = self.answer(path, request)
        if reply is None:
            self.held.append(connection)
            return
        connection.sendall(reply)
        connection.close()

    def close(self):
        self.closed = True
        self.listener.close()
        for connection in self.held:
            connection.close()


def plain_reply(lines):
    body = "".join(line + "\r\n" for line in lines).encode("latin-1")
    return b"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + body


def stalling_on(stalled_path):
    """Registers as the real service would; the request to stalled_path is never answered."""
    def answer(path, _):
        if path == stalled_path:
            return None
        if path == "/quarzello/register.php":
            return plain_reply(["OKAY", "e2e-key-0123456789", "1"])
        return plain_reply(["TABLE", str(LEVEL_LIST)])
    return Service127(answer)


def delayed(target_host, seconds):
    """Passes every request on to target_host, and its reply back, after seconds."""
    host, port = target_host.split(":")

    def answer(_, request):
        time.sleep(seconds)
        with socket.create_connection((host, int(port)), timeout=30) as upstream:
            upstream.sendall(request)
            reply = b""
            while True:
                chunk = upstream.recv(65536)
                if not chunk:
                    return reply
                reply += chunk
    return Service127(answer)


def still_outside_the_ring(a, b):
    return all(a.count_diff(b, box) == 0 for box in STILL)


def notice_shown(shot):
    # The ring's stones, and nothing where the name line of the entry is.
    return ink(shot, RING) > 1000 and ink(shot, (30, 150, 80, 166)) == 0


def frames_per_second(log_path, seconds=2.0):
    """Frames the game draws in the next `seconds`, per second."""
    start = time.monotonic()
    time.sleep(seconds)
    end = time.monotonic()
    with open(log_path) as log:
        stamps = [int(line) / 1000 for line in log if line.strip()]
    return sum(1 for stamp in stamps if start <= stamp < end) / (end - start)


def check_the_wait(game, display, what):
    """While the request waits: the notice moves and nothing else does, the
    window survives being covered, and the game draws at 60 Hz. Returns the
    notice as it stands outside the ring."""
    park(game)
    first = game.wait_for(notice_shown, f"{what}-notice")
    time.sleep(0.5)
    later = game.screenshot(f"{what}-notice-later")
    check(later.count_diff(first, RING) > 50, f"the ring did not move ({first.path}, {later.path})")
    check(still_outside_the_ring(first, later), f"more than the ring changed ({first.path}, {later.path})")

    fps = frames_per_second(game.frame_log)
    print(f"{what}: {fps:.1f} frames drawn per second while the request waits")
    # 60 on a quiet machine; a busy one may take some frames away, a stuck loop all.
    check(fps >= 30, f"only {fps:.1f} frames per second while the request waits")

    left, top, width, height = game.geometry()
    cover = display.spawn(["xmessage", "-geometry", f"+{left + 20}+{top + 100}", "Quarzello verdeckt " * 3])
    window = game.wait_window("xmessage")
    covered = game.screenshot(f"{what}-covered")
    check(not still_outside_the_ring(first, covered), f"the other window is not over the game ({covered.path})")
    display.run(["xdotool", "windowmove", "--sync", str(window), "0", str(top + height + 50)])
    cover.terminate()
    cover.wait(10)
    game.wait_for(lambda shot: still_outside_the_ring(first, shot), f"{what}-uncovered",
                  timeout=5, failure="the window was not drawn again after it was uncovered")
    return first


def start_waiting_game(display, service):
    game = display.start_game(env=dict(SEED, QUARZELLO_HIGHSCORE_HOST=service.host,
                                       LD_PRELOAD=os.path.abspath(os.environ["FRAME_SPY_LIBRARY"]),
                                       FRAME_SPY_LOG=os.path.join(display.shots_dir, "frames.log")))
    game.frame_log = os.path.join(display.shots_dir, "frames.log")
    return game


def escape_then(game, arrived, what):
    """Escape, and the time until arrived() is true (polled without screenshots)."""
    pressed = time.monotonic()
    game.key("Escape")
    while not arrived():
        check(game.running(), f"Escape ended the game instead of the wait ({what})")
        check(time.monotonic() - pressed < 10, f"nothing followed Escape ({what})")
        time.sleep(0.01)
    return time.monotonic() - pressed


def case_entry_submit_stalls(display):
    service = stalling_on("/quarzello/highscore.php")
    try:
        game = start_waiting_game(display, service)
        enter_online(game, "entry")
        check_the_wait(game, display, "submit")
        assert_equal(service.paths, ["/quarzello/register.php", "/quarzello/highscore.php"], "requests")

        waited = escape_then(game, lambda: display.find_window("Hinweis"), "submit")
        check(waited < NOTE_LATENCY, f"the note came {waited:.3f} s after Escape")
        box = display.find_window("Hinweis")
        note = game.screenshot("note", window=box)
        check(note.width > 200, f"no message box ({note.path})")
        display.run(["xdotool", "windowfocus", "--sync", str(box), "key", "Return"])
        park(game)
        game.wait_for(on_new_highscore_screen, "entry-again")
        # As after no connection: nothing entered, nothing saved, no more requests.
        check(not os.path.exists(os.path.join(game.workdir, "highscore.tvs")), "the entry was saved")
        assert_equal(len(service.paths), 2, "requests after Escape")
        game.key("Escape")
        assert_equal(game.exit_status(timeout=5), 0, "exit status")
    finally:
        service.close()


def case_table_fetch_stalls(display):
    service = stalling_on("/quarzello/get.php")
    try:
        game = start_waiting_game(display, service)
        park(game)
        game.wait_stable("menu")
        choose(game, "second", lambda shot: ink(shot, (0, 470, 60, 500)) == 0 and ink(shot, (20, 21, 136, 45)) > 20,
               "table")
        park(game)
        local = game.wait_stable("local-table")
        game.click(78, 45)  # "Lokal": the online table is fetched
        check_the_wait(game, display, "fetch")
        assert_equal(service.paths, ["/quarzello/get.php"], "requests")

        # Given up as if there were no server: no note, the online table, empty.
        waited = escape_then(game, lambda: not notice_shown(grab(game)), "fetch")
        check(waited < NOTE_LATENCY, f"the wait ended {waited:.3f} s after Escape")
        park(game)
        online = game.wait_stable("online-table")
        check(online.count_diff(local, (20, 21, 136, 45)) > 20, f"the table tab did not switch ({online.path})")
        check(display.find_window("Hinweis") is None, "a note after a fetch")
        game.key("Escape")
        assert_equal(game.exit_status(timeout=5), 0, "exit status")
    finally:
        service.close()


def case_slow_service_entry_completes(display):
    directory = os.path.join(display.shots_dir, "service")
    os.makedirs(directory, exist_ok=True)
    real = Service(display, directory)
    service = delayed(real.host, 2.0)
    try:
        game = display.start_game(env=dict(SEED, QUARZELLO_HIGHSCORE_HOST=service.host),
                                  workdir=online_from_the_start())
        # The boards come while the menus show, each after the delay too.
        real.wait_for_deals()
        enter_online(game, "entry", ticked=True)
        park(game)
        game.wait_for(notice_shown, "notice")
        # The rank of the only row, where neither the entry nor the notice draws.
        table = game.wait_stable("online-table", predicate=lambda shot: ink(shot, (38, 146, 62, 161)) > 20)
        check(row_glows(table, 1), f"the own entry is not highlighted ({table.path})")
        # The table's own lookup of its verified entries may come any time now.
        paths = [path for path in service.paths if not path.startswith("/quarzello/api/rankings?")]
        assert_equal(paths, ["/quarzello/deal.php"] * 7 + [
                     "/quarzello/start.php", "/quarzello/register.php", "/quarzello/highscore.php",
                     "/quarzello/replay.php", "/quarzello/get.php"], "requests")
        name, flag, lists = read_file(game.workdir)
        assert_equal((name, flag), ("Tester", 1), "player record")
        points = lists[LEVEL_LIST][0][1]
        check(f"replayed: ranking 6, {points} points" in real.text(), f"the recording was not verified:\n{real.text()}")
        listed = json.loads(real.get("/quarzello/api/rankings?mode=6"))["entries"]
        assert_equal([(e["name"], e["points"], e["verified"]) for e in listed], [("Tester", points, True)], "listed")
        game.key("Escape")
        assert_equal(game.exit_status(timeout=5), 0, "exit status")
    finally:
        service.close()


if __name__ == "__main__":
    run_cases(globals())
