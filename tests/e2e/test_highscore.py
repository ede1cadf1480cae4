#!/usr/bin/env python3
"""The way of a result through the real game: a Level game played to its end
with points, a name typed and "Weiter" pressed. The table opens on the page of
the new entry with that entry highlighted, highscore.tvs holds it, and after a
restart the name and the online checkbox come back.

The online service is a small stand-in on 127.0.0.1 that answers as the real
one does and keeps what it was sent."""

import http.server
import os
import shutil
import socket
import struct
import tempfile
import threading
import urllib.parse

from harness import Shot, assert_equal, check, run_cases
from play import BAR_END, SEED, click_at, park, remove_a_pair, start, wait_level_game_over

RESOURCES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources")
GAME_BACKGROUND = Shot.load(os.path.join(RESOURCES, "game_background.bmp"))

LEVEL_LIST = 6
TOP_POINTS = 2_000_000_000  # far above anything a short game makes
SEEDED = [(f"A{i}", TOP_POINTS - i) for i in range(12)]  # the new entry lands on page 2


# ---------------------------------------------------------------- highscore.tvs

def encode_file(name, save_online, lists):
    data = bytes([3, len(name)]) + name.encode("latin-1") + bytes([save_online])
    for index in range(7):
        data += bytes([1, index])
        for entry_name, points in lists.get(index, []):
            data += bytes([2, len(entry_name)]) + entry_name.encode("latin-1") + struct.pack("<i", points)
    return data


def decode_file(data):
    """(name, save_online, lists) of a well-formed file."""
    name, flag, lists, current, at = "", 0, {}, None, 0
    while at < len(data):
        tag = data[at]
        at += 1
        if tag == 3:
            length = data[at]
            name += data[at + 1:at + 1 + length].decode("latin-1")
            flag = data[at + 1 + length]
            at += length + 2
        elif tag == 1:
            current = data[at]
            lists.setdefault(current, [])
            at += 1
        elif tag == 2:
            length = data[at]
            entry_name = data[at + 1:at + 1 + length].decode("latin-1")
            (points,) = struct.unpack("<i", data[at + 1 + length:at + 5 + length])
            lists[current].append((entry_name, points))
            at += length + 5
        else:
            raise AssertionError(f"unexpected tag {tag} at {at - 1}")
    return name, flag, lists


def read_file(workdir):
    with open(os.path.join(workdir, "highscore.tvs"), "rb") as f:
        return decode_file(f.read())


# ---------------------------------------------------------------- the stand-in service

class StandIn:
    """Answers register, submit, the upload of the recording and fetch; the
    fetched Level table holds twelve strong entries and then every score
    submitted so far, the last one marked as the player's own. An upload is
    answered with upload_reply."""

    def __init__(self, upload_reply=("OKAY", "501")):
        self.requests = []
        self.submitted = []
        self.upload_reply = list(upload_reply)
        stand_in = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.0"

            def do_POST(self):
                body = self.rfile.read(int(self.headers.get("Content-Length", 0))).decode("latin-1")
                stand_in.requests.append((self.path, body))
                fields = urllib.parse.parse_qs(body)
                if self.path == "/quarzello/register.php":
                    lines = ["OKAY", "e2e-key-0123456789", "1"]
                elif self.path == "/quarzello/highscore.php":
                    stand_in.submitted.append((fields["name"][0], int(fields["pts"][0])))
                    lines = ["OKAY", str(500 + len(stand_in.submitted))]
                elif self.path == "/quarzello/replay.php":
                    lines = stand_in.upload_reply
                else:
                    lines = ["TABLE", str(LEVEL_LIST)]
                    for name, points in SEEDED:
                        lines += ["ENTRY", "W" + name, str(points)]
                    for name, points in stand_in.submitted:
                        lines += ["ENTRY", name, str(points)]
                    if stand_in.submitted:
                        lines.append("is own")
                reply = "".join(line + "\r\n" for line in lines).encode("latin-1")
                self.send_response(200)
                self.send_header("Content-Type", "text/plain")
                self.end_headers()
                self.wfile.write(reply)

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.host = f"127.0.0.1:{self.server.server_address[1]}"
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    def close(self):
        self.server.shutdown()
        self.server.server_close()


# ---------------------------------------------------------------- looking at the screen

def ink(shot, box):
    return shot.count_diff(GAME_BACKGROUND, box, threshold=12)


def brightness(shot, box):
    x0, y0, x1, y1 = box
    total = count = 0
    for y in range(y0, y1):
        for x in range(x0, x1):
            total += sum(shot.pixel(x, y))
            count += 1
    return total / count


def on_new_highscore_screen(shot):
    # Nothing between the checkbox and "Weiter" (where the board would be),
    # the checkbox mark, and the name line.
    return (ink(shot, (40, 240, 360, 340)) == 0 and ink(shot, (28, 195, 52, 219)) > 50
            and ink(shot, (30, 150, 80, 166)) > 20)


def play_level_game_to_its_end(game, name):
    """From the main menu: a Level game with a group removed, left to run
    until its rows reach the top, then "Weiter" until the name entry shows."""
    before = start(game, "third")
    remove_a_pair(game, before, name)
    wait_level_game_over(game, before.pixel(*BAR_END), f"{name}-game-over")
    click_at(game, 200, 138)  # "Weiter"
    park(game)
    # Not a passing picture of stones flying off: the screen holds still
    # (but for the blinking cursor of the name line).
    return game.wait_stable(name, box=(0, 170, 400, 500), predicate=on_new_highscore_screen)


def row_glows(shot, row):
    """Whether table row 1..10 carries the highlight: its band is brighter
    than the same band one row up or down, between name and points."""
    top = 125 + 20 * row
    band = (170, top + 3, 250, top + 15)
    other = 1 if row > 1 else -1
    neighbour = (170, top + 3 - 20 * other, 250, top + 15 - 20 * other)
    return brightness(shot, band) > brightness(shot, neighbour) + 30


def table_shown(shot):
    # The rank of the page's second row: neither the name entry nor the
    # connection notice draws there.
    return ink(shot, (38, 166, 62, 181)) > 20


def wait_table(game, name):
    """The rows slide in one after another; the table has arrived when they
    all rest."""
    park(game)
    return game.wait_stable(name, predicate=table_shown)


# ---------------------------------------------------------------- the case

def case_entry_saved_and_restored(display):
    workdir = tempfile.mkdtemp(prefix="qz-highscore-")
    with open(os.path.join(workdir, "highscore.tvs"), "wb") as f:
        f.write(encode_file("", 0, {LEVEL_LIST: SEEDED}))
    service = StandIn()
    env = dict(SEED, QUARZELLO_HIGHSCORE_HOST=service.host)
    try:
        # First run: type a name, save online too.
        game = display.start_game(env=env, workdir=workdir)
        entry = play_level_game_to_its_end(game, "entry")
        game.type("Tester")
        game.click(100, 208)  # "Punktwert online speichern"
        park(game)
        typed = game.wait_for(lambda s: ink(s, (80, 150, 120, 166)) > 20 and
                              s.count_diff(entry, (28, 195, 52, 219)) > 50, "typed")
        game.click(200, 370)  # "Weiter"
        table = wait_table(game, "online-table")

        paths = [path for path, _ in service.requests]
        assert_equal(paths, ["/quarzello/register.php", "/quarzello/highscore.php", "/quarzello/replay.php",
                             "/quarzello/get.php"], "requests")
        check(service.requests[1][1].startswith("name=Tester&pts="), f"submission: {service.requests[1][1]}")
        check("&mode=6&lang=de&key_id=1&hash=" in service.requests[1][1], f"submission: {service.requests[1][1]}")
        points = service.submitted[0][1]
        check(points > 0, "the game made points")
        # The online table, page 2: the own entry is its third row, highlighted.
        check(row_glows(table, 3), f"the own entry is not highlighted ({table.path})")
        check(not row_glows(table, 2) and not row_glows(table, 1), f"another row glows ({table.path})")

        name, flag, lists = read_file(workdir)
        assert_equal((name, flag), ("Tester", 1), "player record")
        assert_equal(lists[LEVEL_LIST], SEEDED + [("Tester", points)], "Level ranking")
        game.key("Escape")
        assert_equal(game.exit_status(timeout=5), 0, "exit status")

        # Second run: the name and the ticked checkbox are back.
        game = display.start_game(env=env, workdir=workdir)
        again = play_level_game_to_its_end(game, "entry-again")
        check(again.count_diff(typed, (30, 150, 110, 166), threshold=12) == 0,
              f"the name did not come back ({again.path}, {typed.path})")
        check(again.count_diff(typed, (28, 195, 52, 219), threshold=12) == 0,
              f"the checkbox did not come back ticked ({again.path}, {typed.path})")

        # Untick it: the result goes to the local table only.
        game.click(100, 208)
        park(game)
        game.wait_for(lambda s: s.count_diff(entry, (28, 195, 52, 219), threshold=12) == 0, "unticked")
        game.click(200, 370)
        table = wait_table(game, "local-table")
        # With the box ticked from the start, the menus asked for dealt boards; the entry itself asked nothing.
        entries = [path for path, _ in service.requests if path not in ("/quarzello/deal.php", "/quarzello/start.php")]
        assert_equal(len(entries), 4, "requests after an offline entry")
        name, flag, lists = read_file(workdir)
        assert_equal((name, flag), ("Tester", 0), "player record")
        ranking = lists[LEVEL_LIST]
        assert_equal(len(ranking), 14, "Level ranking size")
        # Equal points go behind the older entry, so the new one is 13th only when it made more.
        place = 14 if ranking[12] == ("Tester", points) else 13
        assert_equal(ranking[:12], SEEDED, "the stronger entries")
        assert_equal([entry_name for entry_name, _ in ranking[12:]], ["Tester", "Tester"], "the two results")
        check(row_glows(table, place - 10), f"the new entry is not highlighted ({table.path})")
        game.key("Escape")
        assert_equal(game.exit_status(timeout=5), 0, "exit status")
    finally:
        service.close()
        shutil.rmtree(workdir)


def unused_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def case_message_box_speaks_german(display):
    """With no service to reach, saving online ends in a note whose one
    button is labelled in German: "OK"."""
    env = dict(SEED, QUARZELLO_HIGHSCORE_HOST=f"127.0.0.1:{unused_port()}")
    game = display.start_game(env=env)
    entry = play_level_game_to_its_end(game, "entry")
    game.type("Tester")
    game.click(100, 208)  # "Punktwert online speichern"
    park(game)
    game.wait_for(lambda s: s.count_diff(entry, (28, 195, 52, 219)) > 50, "ticked")
    game.click(200, 370)  # "Weiter"
    note = game.screenshot("note", window=game.wait_window("Hinweis"))
    # "OK" and the Enter arrow beside it; "Close" would be six shapes.
    assert_equal(button_shapes(note), 3, f"shapes on the button ({note.path})")


def button_shapes(note):
    """Number of dark shapes side by side on the button at the bottom right of
    a message box, inside its dotted focus frame: the letters of its label
    (a letter's own parts touch in some column) and the Enter arrow."""
    def dark(x, y):
        return max(note.pixel_px(x, y)) < 70

    frame = [(x, y) for y in range(note.height // 2, note.height)
             for x in range(note.width // 2, note.width) if dark(x, y)]
    check(frame, f"no button drawn ({note.path})")
    x0, x1 = min(x for x, _ in frame) + 4, max(x for x, _ in frame) - 4
    y0, y1 = min(y for _, y in frame) + 4, max(y for _, y in frame) - 4
    shapes, run = 0, []
    for x in range(x0, x1 + 2):
        column = [y for y in range(y0, y1 + 1) if x <= x1 and dark(x, y)]
        if column:
            run += column
            continue
        if run and max(run) - min(run) >= 4:
            shapes += 1
        run = []
    return shapes


if __name__ == "__main__":
    run_cases(globals())
