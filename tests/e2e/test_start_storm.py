#!/usr/bin/env python3
"""Many starts of the game, two at a time on two X servers: each must end in
its window with the main menu drawn, and end plainly on a quit request.

A start that hangs, dies or draws nothing is a fault however rarely it
happens; starting often, with the other server and game competing for the
cores, is what makes a rare one show. Each start is watched through one
libX11 connection per server (a mapped window on the root, pixels of the
window's area), so the watching itself costs the game next to nothing."""

import os
import signal
import subprocess
import sys
import tempfile
import threading
import time

from harness import (DESIGN_HEIGHT, DESIGN_WIDTH, SCREEN_HEIGHT, SCREEN_WIDTH, Display, check,
                     run_cases)

STARTS_PER_SERVER = 150
WINDOW_DEADLINE = 10.0  # a healthy start takes a tenth of a second, a busy one a few
EXIT_DEADLINE = 10.0
LEFT = (SCREEN_WIDTH - DESIGN_WIDTH) // 2
TOP = (SCREEN_HEIGHT - DESIGN_HEIGHT) // 2


def menu_drawn(display):
    """Whether the centred window's area shows a picture (the main menu's
    background), not the black of an empty screen."""
    pixels = display.x.grab(LEFT, TOP + DESIGN_HEIGHT // 4, DESIGN_WIDTH, 4)
    return pixels is not None and pixels.count(0) < len(pixels) * 3 // 4


def one_start(display, workdir, log_path):
    """Starts the game, waits for its menu, asks it to quit. Returns None or
    what went wrong."""
    display.x.watch_maps()
    with open(log_path, "wb") as log:
        game = subprocess.Popen([display.binary], cwd=workdir, env=display.env, stdin=subprocess.DEVNULL,
                                stdout=log, stderr=subprocess.STDOUT)
    try:
        deadline = time.monotonic() + WINDOW_DEADLINE
        while not (display.x.count_maps() > 0 and menu_drawn(display)):
            status = game.poll()
            if status is not None:
                return f"ended with status {status} before its menu was drawn"
            if time.monotonic() > deadline:
                return f"no menu {WINDOW_DEADLINE:.0f} s after the start (hung)"
            time.sleep(0.005)
        game.send_signal(signal.SIGTERM)
        try:
            status = game.wait(EXIT_DEADLINE)
        except subprocess.TimeoutExpired:
            return "did not end after SIGTERM"
        return None if status == 0 else f"ended with status {status} after SIGTERM"
    finally:
        if game.poll() is None:
            game.kill()
            game.wait()


def storm(display, failures, counts, index):
    with tempfile.TemporaryDirectory(prefix="qz-storm-") as workdir:
        log_path = os.path.join(workdir, "game.log")
        for start in range(STARTS_PER_SERVER):
            fault = one_start(display, workdir, log_path)
            counts[index] += 1
            if fault:
                with open(log_path, "rb") as log:
                    output = log.read().decode("latin-1").strip()
                failures.append(f"server {index}, start {start + 1}: {fault}: {output!r}")


def case_two_servers(first):
    with Display(first.binary, os.path.join(first.shots_dir, "second")) as second:
        failures, counts = [], [0, 0]
        threads = [threading.Thread(target=storm, args=(display, failures, counts, index))
                   for index, display in enumerate((first, second))]
        began = time.monotonic()
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        took = time.monotonic() - began
        print(f"{sum(counts)} starts in {took:.1f} s, {len(failures)} failed", file=sys.stderr)
        check(not failures, f"{len(failures)} of {sum(counts)} starts failed:\n" + "\n".join(failures[:10]))


if __name__ == "__main__":
    run_cases(globals())
