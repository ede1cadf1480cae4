#!/usr/bin/env python3
"""Drives uploads of recordings at a running service, for uploads.sh.

    uploads.py PORT GAMES_DIR prepare DB  register and submit every game of games.txt, and deal
                                          each Turbo game a ticket of its board in the database DB
    uploads.py PORT GAMES_DIR verify      upload them all, 8 at a time: verified per second
    uploads.py PORT GAMES_DIR flood SECS  8 clients on 127.0.0.3 upload the Level game for an
                                          entry of one point more, so that each is played
                                          through and refused
    uploads.py PORT GAMES_DIR costly SECS 8 clients on 127.0.0.3 upload costly.qzr (the costliest
                                          recording to play) for an entry of their own

The check value is the game's: CRC-32 over key, recording and key again.
The recordings are made before the service deals their boards: each ticket
is given its game's generator state in the database, as a draw of the
service could have given it, and moved back by the game's length, as if the
game had been played since.
"""

import base64
import json
import os
import socket
import sqlite3
import subprocess
import sys
import threading
import time
import zlib


def post(port, path, body, source="127.0.0.1"):
    request = (f"POST {path} HTTP/1.0\r\nHost: bench\r\nContent-Type: application/x-www-form-urlencoded\r\n"
               f"Content-Length: {len(body)}\r\n\r\n{body}").encode("latin-1")
    with socket.socket() as sock:
        sock.bind((source, 0))
        sock.settimeout(30)
        sock.connect(("127.0.0.1", port))
        sock.sendall(request)
        reply = b""
        while data := sock.recv(65536):
            reply += data
    head, _, body = reply.partition(b"\r\n\r\n")
    return int(head.split()[1]), body.decode("latin-1").split("\n")


def check_value(key, recording):
    crc = zlib.crc32(key.encode())
    crc = zlib.crc32(recording, crc)
    crc = zlib.crc32(key.encode(), crc)
    return crc - (1 << 32) if crc >= 1 << 31 else crc


def upload_body(key, key_id, entry, recording, ticket=None):
    text = base64.urlsafe_b64encode(recording).decode().rstrip("=")
    dealt = f"&ticket={ticket}" if ticket else ""
    return f"key_id={key_id}&id={entry}&hash={check_value(key, recording)}{dealt}&recording={text}"


def generator_state(recording):
    """The state a recording's game starts from (docs/recording.md)."""
    body = zlib.decompress(recording[5:])
    at = 0

    def varint():
        nonlocal at
        value, shift = 0, 0
        while True:
            byte = body[at]
            at += 1
            value |= (byte & 0x7F) << shift
            shift += 7
            if byte < 0x80:
                return value

    varint()  # rules version
    at += 2   # mode, difficulty
    return varint()


def on_database(database, sql):
    if database.startswith("sqlite:"):
        with sqlite3.connect(database[len("sqlite:"):], timeout=10) as connection:
            connection.execute(sql)
    else:
        subprocess.run(["psql", "-q", database, "-c", sql], check=True)


def deal(port, database, ranking, recording):
    """A ticket dealt for ranking, holding the recording's board, dealt 125 s ago."""
    _, lines = post(port, "/quarzello/deal.php", f"mode={ranking}")
    assert lines[0] == "OKAY", lines
    ticket = int(lines[1])
    on_database(database, f"UPDATE tickets SET generator_state = {generator_state(recording)}, "
                          f"issued_at = issued_at - 125000 WHERE id = {ticket}")
    return ticket


def games(directory):
    with open(os.path.join(directory, "games.txt")) as listing:
        for line in listing:
            name, ranking, points = line.split()
            with open(os.path.join(directory, name), "rb") as f:
                yield name, int(ranking), int(points), f.read()


def main():
    port, directory, what = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    state = os.path.join(directory, "entries.json")
    if what == "prepare":
        # The submissions need the service's hash: the submit reply is read as the game does.
        database = sys.argv[4]
        entries = {}
        for name, ranking, points, recording in games(directory):
            _, lines = post(port, "/quarzello/register.php", "register=yes")
            key, key_id = lines[1], int(lines[2])
            head = (key[:16] + " " * 16)[:16]
            text = head + str(points + (1 if name == "level.qzr" else 0)) + str(ranking) + key[16:]
            hashed = zlib.adler32(text.encode())
            hashed = hashed - (1 << 32) if hashed >= 1 << 31 else hashed
            pts = points + (1 if name == "level.qzr" else 0)
            _, lines = post(port, "/quarzello/highscore.php",
                            f"name=Bench&pts={pts}&mode={ranking}&lang=de&key_id={key_id}&hash={hashed}")
            assert lines[0] == "OKAY", lines
            # The Level game is refused for its point too many: it needs no board.
            ticket = None if name == "level.qzr" else deal(port, database, ranking, recording)
            entries[name] = (key, key_id, int(lines[1]), ticket)
        with open(state, "w") as f:
            json.dump(entries, f)
        return
    entries = {}
    if what != "costly":
        with open(state) as f:
            entries = json.load(f)
    if what == "verify":
        work = [(entries[name], recording) for name, _, _, recording in games(directory) if name != "level.qzr"]
        done, failed, lock = [0], [], threading.Lock()

        def worker():
            while True:
                with lock:
                    if not work:
                        return
                    (key, key_id, entry, ticket), recording = work.pop()
                status, lines = post(port, "/quarzello/replay.php",
                                     upload_body(key, key_id, entry, recording, ticket))
                with lock:
                    if lines[0] == "OKAY" and (len(lines) < 3 or lines[2] != "UNVERIFIED"):
                        done[0] += 1
                    else:
                        failed.append((status, lines[:2]))

        start = time.monotonic()
        threads = [threading.Thread(target=worker) for _ in range(8)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        seconds = time.monotonic() - start
        print(f"verified {done[0]} recordings in {seconds:.2f} s = {done[0] / seconds:.0f}/s "
              f"(8 uploads at a time), refused {len(failed)} {failed[:3]}")
        return
    seconds = float(sys.argv[4])
    if what == "costly":
        _, lines = post(port, "/quarzello/register.php", "register=yes", "127.0.0.3")
        key, key_id = lines[1], int(lines[2])
        hashed = zlib.adler32(((key[:16] + " " * 16)[:16] + "9999990" + key[16:]).encode())
        hashed = hashed - (1 << 32) if hashed >= 1 << 31 else hashed
        _, lines = post(port, "/quarzello/highscore.php",
                        f"name=Bench&pts=999999&mode=0&lang=de&key_id={key_id}&hash={hashed}", "127.0.0.3")
        assert lines[0] == "OKAY", lines
        with open(os.path.join(directory, "costly.qzr"), "rb") as f:
            body = upload_body(key, key_id, int(lines[1]), f.read())
    else:
        key, key_id, entry, _ = entries["level.qzr"]
        recording = next(r for name, _, _, r in games(directory) if name == "level.qzr")
        body = upload_body(key, key_id, entry, recording)
    counts, lock = {}, threading.Lock()
    deadline = time.monotonic() + seconds

    def flooder():
        while time.monotonic() < deadline:
            status, _ = post(port, "/quarzello/replay.php", body, "127.0.0.3")
            with lock:
                counts[status] = counts.get(status, 0) + 1

    threads = [threading.Thread(target=flooder) for _ in range(8)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    print(f"flood: {sum(counts.values())} uploads in {seconds:.0f} s, by status {dict(sorted(counts.items()))} "
          f"(400 = played through and refused)")


if __name__ == "__main__":
    main()
