#!/usr/bin/env python3
"""A player's fetch latency while slow clients hang on to the service.

    slow_clients.py PORT [FETCHES] [IDLE] [TRICKLING]

Opens IDLE connections that send nothing (from 127.0.0.3 to 127.0.0.6) and
TRICKLING ones that send a header line every second and never end their
request (from 127.0.0.7 and 127.0.0.8). Whatever the service closes is opened
again a second later, so they keep hanging on. Meanwhile a player on
127.0.0.2 fetches the rankings FETCHES times, one connection each, exactly as
the game does; their latencies are printed.
"""

import resource
import select
import socket
import sys
import threading
import time

FETCH = (b"POST /quarzello/get.php HTTP/1.0\r\nHost: highscore.quarzello.test\r\nAccept: text/plain\r\n"
         b"Accept-Charset: iso-8859-5\r\nUser-Agent: Quarzello\r\n"
         b"Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 23\r\n\r\n"
         b"get_highscore=yes&own=0\r\n")
HEAD = b"POST /quarzello/register.php HTTP/1.1\r\nHost: highscore.quarzello.test\r\n"
IDLE_SOURCES = ["127.0.0.3", "127.0.0.4", "127.0.0.5", "127.0.0.6"]
TRICKLE_SOURCES = ["127.0.0.7", "127.0.0.8"]


def connect(port, source, timeout=None):
    sock = socket.socket()
    sock.bind((source, 0))
    sock.settimeout(timeout)
    sock.connect(("127.0.0.1", port))
    return sock


class Slot:
    def __init__(self, source, trickles):
        self.source, self.trickles = source, trickles
        self.sock, self.reopen_at = None, 0.0


def hang_on(port, slots, stop):
    """Keeps every slot connected; trickling slots send a line each second."""
    next_trickle = 0.0
    while not stop.is_set():
        now = time.monotonic()
        for slot in slots:
            if slot.sock is None and now >= slot.reopen_at:
                try:
                    slot.sock = connect(port, slot.source, timeout=1)
                    slot.sock.setblocking(False)
                    if slot.trickles:
                        slot.sock.send(HEAD)
                except OSError:
                    slot.sock, slot.reopen_at = None, now + 1
        if now >= next_trickle:
            next_trickle = now + 1
            for slot in slots:
                if slot.sock is not None and slot.trickles:
                    try:
                        slot.sock.send(b"X-Slow: y\r\n")
                    except OSError:
                        pass
        by_fd = {slot.sock.fileno(): slot for slot in slots if slot.sock is not None}
        poller = select.poll()  # select() takes no more than 1024 descriptors
        for fd in by_fd:
            poller.register(fd, select.POLLIN)
        for fd, _ in poller.poll(100):
            slot = by_fd[fd]
            try:
                data = slot.sock.recv(4096)
            except OSError:
                data = b""
            if not data:  # closed by the service: back in a second
                slot.sock.close()
                slot.sock, slot.reopen_at = None, time.monotonic() + 1


def fetch(port):
    start = time.monotonic()
    with connect(port, "127.0.0.2", timeout=10) as sock:
        sock.sendall(FETCH)
        reply = b""
        while True:
            data = sock.recv(65536)
            if not data:
                break
            reply += data
    ok = reply.startswith(b"HTTP/1.") and b" 200 " in reply.split(b"\r\n", 1)[0]
    return time.monotonic() - start, ok


def main():
    port = int(sys.argv[1])
    fetches = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
    idle = int(sys.argv[3]) if len(sys.argv) > 3 else 1000
    trickling = int(sys.argv[4]) if len(sys.argv) > 4 else 100
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))

    slots = [Slot(IDLE_SOURCES[i % len(IDLE_SOURCES)], False) for i in range(idle)]
    slots += [Slot(TRICKLE_SOURCES[i % len(TRICKLE_SOURCES)], True) for i in range(trickling)]
    stop = threading.Event()
    attacker = threading.Thread(target=hang_on, args=(port, slots, stop))
    attacker.start()
    time.sleep(3)  # every slot has connected, and been refused or timed out once
    hanging_on = sum(slot.sock is not None for slot in slots)

    latencies, failed = [], 0
    try:
        for _ in range(fetches):
            try:
                seconds, ok = fetch(port)
            except OSError:
                seconds, ok = 10.0, False
            latencies.append(seconds)
            failed += 0 if ok else 1
    finally:
        stop.set()
        attacker.join()
        for slot in slots:
            if slot.sock is not None:
                slot.sock.close()

    latencies.sort()
    def percentile(p):
        return latencies[min(len(latencies) - 1, int(len(latencies) * p / 100))] * 1000
    print(f"player fetches beside {idle} idle and {trickling} trickling connections: {len(latencies)}, "
          f"p50 {percentile(50):.2f} ms, p99 {percentile(99):.2f} ms, max {latencies[-1] * 1000:.2f} ms, "
          f"failed {failed}; {hanging_on} of them connected as the fetches began")


if __name__ == "__main__":
    main()
