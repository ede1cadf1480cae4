"""Drives the real game binary on a private X server, for end-to-end tests.

Everything here uses the Python standard library and the command-line tools
the install script brings (Xvfb, xdotool, xwininfo, ImageMagick's import);
the close request goes through libX11 by ctypes. No window manager runs, so
the harness does its part: it gives the window the keyboard focus before
keys are sent and sends WM_DELETE_WINDOW to close it; windows keep the
position they ask for.

A test file defines functions named ``case_<name>(display)`` and ends with
``run_cases(globals())``; ctest runs it as ``test_x.py BINARY CASE [SHOTS_DIR]``
once each case is listed in tests/e2e/CMakeLists.txt:
``quarzello_e2e_cases(test_x.py case_one case_two)``. A case typically reads::

    def case_quit(display):
        game = display.start_game()          # own temp working dir, waits for the window
        game.move(200, 170)                  # design units (400 x 500), scaled for you
        menu = game.wait_stable("hovered")   # screenshots until the picture holds still
        check(menu.pixel(200, 170) != (0, 0, 0), "nothing drawn")
        game.key("Escape")                   # the window gets the focus first
        assert_equal(game.exit_status(timeout=2), 0)

API, in short:
    Display(binary, shots_dir)     a fresh Xvfb on a free display number
      .start_game(env=, workdir=, wrapper=)
                                   -> Game: the binary running in workdir (default a
                                   fresh temp dir), env added to the environment
                                   (e.g. {"QUARZELLO_HIGHSCORE_HOST": "127.0.0.1:PORT"}),
                                   started through wrapper (a command prefix) if given
      .spawn(args, **popen)        a helper process (a server), killed on close
      .run(args)                   run a command against this display (stdout)
      .set_xft_dpi(value)          the Xft.dpi resource through xrdb (None removes it)
      .find_window(title)          id of the mapped window of that title, or None
      .window_geometry(id)         (x, y, width, height) of its inner area
    Game
      .pid, .workdir, .window      process id, its working directory, X window id
      .geometry()                  (x, y, width, height) of the window's inner area
      .scale                       width / 400 at the last geometry() call
      .move(x, y) / .click(x, y)   pointer to design coordinates, left click there
      .key(*names) / .type(text)   xdotool key names ("Escape", "p"), typed text; the
                                   window is given the focus first (.focus())
      .move_window(x, y)           xdotool windowmove (screen pixels)
      .resize(w, h)                xdotool windowsize
      .close()                     WM_DELETE_WINDOW, as a window manager would send
      .screenshot(name, window=)   -> Shot of the game's window (or another one, such
                                   as a message box), also saved as NN-name.png
      .wait_for(pred, name)        screenshots until pred(shot) holds -> that Shot
      .wait_stable(name, box=, predicate=, tolerance=)
                                   screenshots until two in a row are identical (inside
                                   box) and both satisfy predicate
      .wait_window(title)          the id of a window of that title, once it is mapped
      .running() / .output()       still running? / its stdout and stderr so far
      .exit_status(timeout)        waits for the process to end -> its exit status
    Shot (pixels of the window; positions in design units unless the name says px)
      Shot.load(path)                           a PNG or 24-bit BMP file
      .width, .height, .scale, .path
      .pixel(x, y) / .pixel_px(px, py)          (r, g, b)
      .diff_box(other, box, threshold)          bounding box (design units) of the
                                                pixels that differ, or None
      .count_diff(other, box, threshold)        number of differing pixels
      .mean_abs_diff_downscaled(small)          this shot shrunk to small's size vs small
    check(cond, message), assert_equal(actual, expected, what) fail the case.
Everything started is killed when the Display is closed (use it with ``with``),
and also when the test process dies (PR_SET_PDEATHSIG).
"""

import ctypes
import ctypes.util
import os
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import traceback
import zlib

DESIGN_WIDTH, DESIGN_HEIGHT = 400, 500
SCREEN_WIDTH, SCREEN_HEIGHT = 1280, 1024
WINDOW_TITLE = "Quarzello"


class E2EFailure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise E2EFailure(message)


def assert_equal(actual, expected, what=""):
    check(actual == expected, f"{what or 'value'}: expected {expected!r}, got {actual!r}")


def _die_with_parent():
    # The children must not outlive a test process killed by ctest's timeout.
    libc = ctypes.CDLL(None, use_errno=True)
    PR_SET_PDEATHSIG = 1
    libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL, 0, 0, 0)
    os.setpgid(0, 0)


def _stop(process, grace=2.0):
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(grace)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


# ---------------------------------------------------------------- Xlib through ctypes

class _XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _XClientMessageEvent), ("pad", ctypes.c_long * 24)]


class _XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int), ("red_mask", ctypes.c_ulong),
                ("green_mask", ctypes.c_ulong), ("blue_mask", ctypes.c_ulong)]


class XConnection:
    """A direct libX11 connection, for what the command-line tools cannot do
    (a close request) or do too slowly (grabbing pixels every few ms)."""

    _lib = None

    def __init__(self, display_name):
        if XConnection._lib is None:
            lib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
            lib.XOpenDisplay.restype = ctypes.c_void_p
            lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
            lib.XCloseDisplay.argtypes = [ctypes.c_void_p]
            lib.XInternAtom.restype = ctypes.c_ulong
            lib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
            lib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                       ctypes.c_long, ctypes.POINTER(_XEvent)]
            lib.XFlush.argtypes = [ctypes.c_void_p]
            lib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
            lib.XDefaultRootWindow.restype = ctypes.c_ulong
            lib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
            lib.XGetImage.restype = ctypes.POINTER(_XImage)
            lib.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                      ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
            lib.XDestroyImage.argtypes = [ctypes.POINTER(_XImage)]
            lib.XSetErrorHandler.restype = ctypes.c_void_p
            XConnection._lib = lib
            # A window that vanishes while we look at it must not end the test process.
            handler_type = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
            XConnection._ignore_errors = handler_type(lambda display, event: 0)
            lib.XSetErrorHandler(XConnection._ignore_errors)
        self.lib = XConnection._lib
        self.handle = self.lib.XOpenDisplay(display_name.encode())
        if not self.handle:
            raise OSError(f"cannot open X display {display_name}")
        self.root = self.lib.XDefaultRootWindow(self.handle)

    def close(self):
        if self.handle:
            self.lib.XCloseDisplay(self.handle)
            self.handle = None

    def send_delete_window(self, window):
        protocols = self.lib.XInternAtom(self.handle, b"WM_PROTOCOLS", 0)
        delete = self.lib.XInternAtom(self.handle, b"WM_DELETE_WINDOW", 0)
        event = _XEvent()
        event.xclient.type = 33  # ClientMessage
        event.xclient.window = window
        event.xclient.message_type = protocols
        event.xclient.format = 32
        event.xclient.data[0] = delete
        event.xclient.data[1] = 0  # CurrentTime
        self.lib.XSendEvent(self.handle, window, 0, 0, ctypes.byref(event))
        self.lib.XSync(self.handle, 0)

    def pointer(self):
        """(x, y) of the pointer on the screen."""
        lib = self.lib
        lib.XQueryPointer.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_void_p] * 7
        root, child = ctypes.c_ulong(), ctypes.c_ulong()
        x, y, wx, wy, mask = (ctypes.c_int() for _ in range(5))
        lib.XQueryPointer(self.handle, self.root, ctypes.byref(root), ctypes.byref(child),
                          ctypes.byref(x), ctypes.byref(y), ctypes.byref(wx), ctypes.byref(wy),
                          ctypes.byref(mask))
        return x.value, y.value

    def move_pointer(self, x, y):
        """Moves the pointer through XTEST, like xdotool but without a process
        per move (for sweeping the pointer many times a second)."""
        if not hasattr(self, "xtest"):
            self.xtest = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
            self.xtest.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                                        ctypes.c_int, ctypes.c_ulong]
        self.xtest.XTestFakeMotionEvent(self.handle, -1, x, y, 0)
        self.lib.XFlush(self.handle)

    def watch_maps(self):
        """From now on, remember when a window is mapped on the screen."""
        SubstructureNotifyMask = 1 << 19
        self.lib.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        self.lib.XSelectInput(self.handle, self.root, SubstructureNotifyMask)
        self.lib.XSync(self.handle, 0)
        self.maps_seen = 0

    def count_maps(self):
        """Number of windows mapped since watch_maps, reading queued events."""
        MapNotify = 19
        self.lib.XPending.argtypes = [ctypes.c_void_p]
        self.lib.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(_XEvent)]
        event = _XEvent()
        while self.lib.XPending(self.handle):
            self.lib.XNextEvent(self.handle, ctypes.byref(event))
            if event.xclient.type == MapNotify:
                self.maps_seen += 1
        return self.maps_seen

    def grab(self, x, y, width, height):
        """Raw pixels of a screen area as 4 bytes per pixel (B, G, R, x on this
        server), or None if the area cannot be read."""
        ZPixmap, AllPlanes = 2, 0xFFFFFFFF
        image = self.lib.XGetImage(self.handle, self.root, x, y, width, height, AllPlanes, ZPixmap)
        if not image:
            return None
        try:
            contents = image.contents
            return ctypes.string_at(contents.data, contents.bytes_per_line * contents.height)
        finally:
            self.lib.XDestroyImage(image)


# ---------------------------------------------------------------- PNG reading

def read_png(path):
    """Decodes a non-interlaced PNG (grey, RGB, palette, with or without alpha,
    8 or 16 bits) into (width, height, RGB bytes); alpha is dropped."""
    with open(path, "rb") as f:
        data = f.read()
    check(data[:8] == b"\x89PNG\r\n\x1a\n", f"{path} is not a PNG file")
    pos, idat, palette = 8, [], None
    width = height = depth = colour_type = interlace = None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour_type, _, _, interlace = struct.unpack(">IIBBBBB", body)
        elif kind == b"PLTE":
            palette = body
        elif kind == b"IDAT":
            idat.append(body)
        elif kind == b"IEND":
            break
    check(interlace == 0, f"{path}: interlaced PNG not supported")
    check(depth in (8, 16), f"{path}: bit depth {depth} not supported")
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour_type]
    pixel_bytes = channels * depth // 8
    stride = width * pixel_bytes
    raw = zlib.decompress(b"".join(idat))
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        filter_type = raw[start]
        row = bytearray(raw[start + 1:start + 1 + stride])
        _unfilter(filter_type, row, previous, pixel_bytes)
        rows.append(row)
        previous = row
    rgb = bytearray(width * height * 3)
    step = depth // 8  # keep the high byte of 16-bit samples
    out = 0
    for row in rows:
        samples = row[::step] if step == 2 else row
        if colour_type == 2:
            rgb[out:out + width * 3] = samples
        elif colour_type == 6:
            for channel in range(3):
                rgb[out + channel:out + width * 3:3] = samples[channel::4]
        elif colour_type in (0, 4):
            grey = samples[::channels]
            for channel in range(3):
                rgb[out + channel:out + width * 3:3] = grey
        else:
            for x, index in enumerate(samples):
                rgb[out + 3 * x:out + 3 * x + 3] = palette[3 * index:3 * index + 3]
        out += width * 3
    return width, height, bytes(rgb)


def write_png(path, width, height, rgb, png_filter=0):
    """Writes an 8-bit RGB PNG whose every row uses the given filter type
    (screenshots use none: cheap to write and to read back)."""
    stride = 3 * width
    if png_filter == 0:
        raw = b"".join(b"\0" + rgb[y * stride:(y + 1) * stride] for y in range(height))
    else:
        raw, previous = bytearray(), bytes(stride)
        for y in range(height):
            row = rgb[y * stride:(y + 1) * stride]
            raw.append(png_filter)
            for i, value in enumerate(row):
                left = row[i - 3] if i >= 3 else 0
                up = previous[i]
                up_left = previous[i - 3] if i >= 3 else 0
                if png_filter == 1:
                    predicted = left
                elif png_filter == 2:
                    predicted = up
                elif png_filter == 3:
                    predicted = (left + up) // 2
                else:
                    estimate = left + up - up_left
                    distances = [abs(estimate - left), abs(estimate - up), abs(estimate - up_left)]
                    predicted = [left, up, up_left][distances.index(min(distances))]
                raw.append((value - predicted) % 256)
            previous = row

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(bytes(raw), 1)) + chunk(b"IEND", b""))


def read_ppm(data):
    """(width, height, RGB bytes) of a binary 8-bit PPM (P6)."""
    fields, pos = [], 0
    while len(fields) < 4:  # magic, width, height, maxval
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    check(fields[0] == b"P6" and fields[3] == b"255", "not an 8-bit binary PPM")
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[pos + 1:pos + 1 + 3 * width * height]


def _unfilter(filter_type, row, previous, bpp):
    n = len(row)
    if filter_type == 0:
        return
    if filter_type == 1:
        for i in range(bpp, n):
            row[i] = (row[i] + row[i - bpp]) & 0xFF
    elif filter_type == 2:
        for i in range(n):
            row[i] = (row[i] + previous[i]) & 0xFF
    elif filter_type == 3:
        for i in range(n):
            left = row[i - bpp] if i >= bpp else 0
            row[i] = (row[i] + ((left + previous[i]) >> 1)) & 0xFF
    elif filter_type == 4:
        for i in range(n):
            a = row[i - bpp] if i >= bpp else 0
            b = previous[i]
            c = previous[i - bpp] if i >= bpp else 0
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            predictor = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
            row[i] = (row[i] + predictor) & 0xFF
    else:
        raise E2EFailure(f"unknown PNG filter {filter_type}")


def read_bmp(path):
    """Decodes an uncompressed 24-bit BMP into (width, height, RGB bytes)."""
    with open(path, "rb") as f:
        data = f.read()
    check(data[:2] == b"BM", f"{path} is not a BMP file")
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    check(bits == 24 and compression == 0, f"{path}: only uncompressed 24-bit BMP is read")
    stride = (3 * width + 3) & ~3
    top_down = height < 0
    height = abs(height)
    rgb = bytearray(3 * width * height)
    for y in range(height):
        source_row = y if top_down else height - 1 - y
        start = offset + source_row * stride
        row = data[start:start + 3 * width]
        for channel in range(3):
            rgb[3 * width * y + channel:3 * width * (y + 1):3] = row[2 - channel::3]
    return width, height, bytes(rgb)


class Shot:
    """A screenshot of the game window. Positions are design units (400 x 500)
    and are multiplied by the window's scale, unless a name ends in _px."""

    def __init__(self, path, width, height, rgb):
        self.path, self.width, self.height, self.rgb = path, width, height, rgb
        self.scale = width / DESIGN_WIDTH

    @classmethod
    def load(cls, path):
        """A PNG screenshot, or a BMP picture (such as a background the game
        draws unscaled at scale 1)."""
        reader = read_bmp if path.lower().endswith(".bmp") else read_png
        return cls(path, *reader(path))

    def pixel_px(self, px, py):
        i = 3 * (py * self.width + px)
        return tuple(self.rgb[i:i + 3])

    def pixel(self, x, y):
        return self.pixel_px(int(x * self.scale), int(y * self.scale))

    def _px_box(self, box):
        if box is None:
            return 0, 0, self.width, self.height
        x0, y0, x1, y1 = box
        s = self.scale
        return (max(0, int(x0 * s)), max(0, int(y0 * s)),
                min(self.width, int(x1 * s)), min(self.height, int(y1 * s)))

    def _differing(self, other, box, threshold):
        check((self.width, self.height) == (other.width, other.height),
              f"screenshots of different sizes: {self.path}, {other.path}")
        x0, y0, x1, y1 = self._px_box(box)
        a, b = self.rgb, other.rgb
        for py in range(y0, y1):
            start, end = 3 * (py * self.width + x0), 3 * (py * self.width + x1)
            if a[start:end] == b[start:end]:
                continue
            for i in range(start, end, 3):
                if (abs(a[i] - b[i]) > threshold or abs(a[i + 1] - b[i + 1]) > threshold
                        or abs(a[i + 2] - b[i + 2]) > threshold):
                    yield (i // 3) % self.width, py

    def count_diff(self, other, box=None, threshold=8):
        return sum(1 for _ in self._differing(other, box, threshold))

    def diff_box(self, other, box=None, threshold=8):
        """Bounding box (x0, y0, x1, y1) in design units, end exclusive, of
        the pixels that differ from other by more than threshold in some
        channel, or None when there are none."""
        xs, ys = [], []
        for px, py in self._differing(other, box, threshold):
            xs.append(px)
            ys.append(py)
        if not xs:
            return None
        s = self.scale
        return min(xs) / s, min(ys) / s, (max(xs) + 1) / s, (max(ys) + 1) / s

    def mean_abs_diff_downscaled(self, small, step=2):
        """Mean channel difference between small and this shot shrunk to its
        size by box averages, over every step-th pixel of small in x and y."""
        factor = self.width // small.width
        check(factor * small.width == self.width and factor * small.height == self.height,
              f"{self.path} is not a whole multiple of {small.path}")
        big, little, area = self.rgb, small.rgb, factor * factor
        total = count = 0
        for y in range(0, small.height, step):
            for x in range(0, small.width, step):
                for c in range(3):
                    acc = 0
                    for dy in range(factor):
                        row = 3 * ((y * factor + dy) * self.width + x * factor) + c
                        acc += sum(big[row:row + 3 * factor:3])
                    total += abs(acc / area - little[3 * (y * small.width + x) + c])
                    count += 1
        return total / count


# ---------------------------------------------------------------- the X server and the game

class Display:
    """A private Xvfb on a free display number, with the game's screenshots
    written under shots_dir (or a temp dir that is removed again)."""

    def __init__(self, binary, shots_dir=None, width=SCREEN_WIDTH, height=SCREEN_HEIGHT):
        self.binary = os.path.abspath(binary)
        check(os.access(self.binary, os.X_OK), f"no executable at {self.binary}")
        self.games = []
        self.children = []
        self._own_shots = shots_dir is None
        self.shots_dir = shots_dir or tempfile.mkdtemp(prefix="qz-shots-")
        os.makedirs(self.shots_dir, exist_ok=True)
        self.x = None
        self._xvfb_log = open(os.path.join(self.shots_dir, "xvfb.log"), "wb")
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
             "-noreset", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=self._xvfb_log,
            preexec_fn=_die_with_parent)
        os.close(write_end)
        try:
            number = b""
            deadline = time.monotonic() + 20
            with os.fdopen(read_end, "rb", buffering=0) as pipe:
                while not number.endswith(b"\n"):
                    if not select.select([pipe], [], [], max(0.0, deadline - time.monotonic()))[0]:
                        break
                    chunk = pipe.read(16)
                    if not chunk:
                        break
                    number += chunk
            check(number.strip().isdigit(), "Xvfb did not start; see " + self._xvfb_log.name)
            self.name = ":" + number.strip().decode()
            self.env = dict(os.environ, DISPLAY=self.name)
            self.env.pop("XAUTHORITY", None)
            # The game follows the desktop's language: every case starts from
            # a desktop without one (German) and names any other it wants.
            for setting in ("LANGUAGE", "LC_ALL", "LC_MESSAGES", "QUARZELLO_LANG"):
                self.env.pop(setting, None)
            self.env["LANG"] = "C.UTF-8"
            self._wait_for_connections(deadline)
            self.x = XConnection(self.name)
        except BaseException:
            self.close()
            raise

    def _wait_for_connections(self, deadline):
        while True:
            probe = subprocess.run(["xdpyinfo"], env=self.env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
            if probe.returncode == 0:
                return
            check(time.monotonic() < deadline, f"Xvfb {self.name} accepts no connections")
            time.sleep(0.05)

    def run(self, args, check_status=True):
        result = subprocess.run(args, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                text=True)
        if check_status and result.returncode != 0:
            raise E2EFailure(f"{' '.join(args)} failed: {result.stderr.strip()}")
        return result.stdout

    def set_xft_dpi(self, value):
        """Sets the Xft.dpi resource of the server as a desktop does (xrdb),
        or removes every resource when value is None."""
        args = ["xrdb", "-remove"] if value is None else ["xrdb", "-merge"]
        result = subprocess.run(args, input=f"Xft.dpi: {value}\n", env=self.env, text=True,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        check(result.returncode == 0, f"xrdb failed: {result.stderr.strip()}")

    def find_window(self, title):
        """Id of a mapped window with exactly this title, or None."""
        found = self.run(["xdotool", "search", "--onlyvisible", "--name", f"^{re.escape(title)}$"],
                         check_status=False).split()
        return int(found[0]) if found else None

    def window_geometry(self, window):
        """(x, y, width, height) of a window's inner area on the screen."""
        info = self.run(["xwininfo", "-id", str(window)])

        def field(label):
            return int(re.search(rf"{label}:\s+(-?\d+)", info).group(1))

        return (field("Absolute upper-left X"), field("Absolute upper-left Y"),
                field("Width"), field("Height"))

    def spawn(self, args, **kwargs):
        """Starts a helper process on this display; it is killed on close."""
        process = subprocess.Popen(args, env=kwargs.pop("env", self.env),
                                   preexec_fn=_die_with_parent, **kwargs)
        self.children.append(process)
        return process

    def start_game(self, env=None, workdir=None, wait_window=True, wrapper=()):
        game = Game(self, env, workdir, wrapper)
        self.games.append(game)
        if wait_window:
            game.wait_window()
        return game

    def close(self):
        for game in self.games:
            game.stop()
        for child in self.children:
            _stop(child)
        if self.x:
            self.x.close()
        _stop(self.xvfb)
        self._xvfb_log.close()
        if self._own_shots:
            shutil.rmtree(self.shots_dir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class Game:
    """The game binary running on a Display, in a fresh temporary working
    directory (removed again when the game is stopped)."""

    def __init__(self, display, env=None, workdir=None, wrapper=()):
        self.display = display
        self._own_workdir = workdir is None
        self.workdir = workdir or tempfile.mkdtemp(prefix="qz-game-")
        game_env = dict(display.env)
        game_env.update(env or {})
        self.output_path = os.path.join(self.display.shots_dir, f"game-{len(display.games)}.log")
        self._output = open(self.output_path, "wb")
        self.started = time.monotonic()
        self.process = subprocess.Popen([*wrapper, display.binary], cwd=self.workdir, env=game_env,
                                        stdin=subprocess.DEVNULL, stdout=self._output,
                                        stderr=subprocess.STDOUT, preexec_fn=_die_with_parent)
        self.pid = self.process.pid
        self.window = None
        self._geometry = None
        self.scale = 1.0
        self.pointer = None
        self._shots = 0

    # -- window

    def title(self):
        return self.display.run(["xdotool", "getwindowname", str(self.window)]).rstrip("\n")

    def geometry(self):
        self._geometry = self.display.window_geometry(self.window)
        self.scale = self._geometry[2] / DESIGN_WIDTH
        return self._geometry

    def move_window(self, x, y):
        self.display.run(["xdotool", "windowmove", "--sync", str(self.window), str(x), str(y)])
        self.geometry()

    def resize(self, width, height):
        self.display.run(["xdotool", "windowsize", str(self.window), str(width), str(height)])
        self._geometry = None

    def close(self):
        self.display.x.send_delete_window(self.window)

    # -- input

    def _screen_point(self, x, y):
        # The place last seen: every screenshot and geometry() refreshes it.
        left, top, _, _ = self._geometry or self.geometry()
        return left + int(x * self.scale), top + int(y * self.scale)

    def move(self, x, y):
        """Moves the pointer to design coordinates (x, y) of the window."""
        sx, sy = self._screen_point(x, y)
        # xdotool's --sync waits for the pointer to leave where it is, which a
        # move to the same place never does.
        if self.display.x.pointer() != (sx, sy):
            self.display.run(["xdotool", "mousemove", "--sync", str(sx), str(sy)])
        self.pointer = (x, y)

    def click(self, x=None, y=None, button=1):
        if x is not None:
            self.move(x, y)
        self.display.run(["xdotool", "click", str(button)])

    def focus(self):
        """Gives the window the keyboard focus, as a window manager would."""
        self.display.run(["xdotool", "windowfocus", "--sync", str(self.window)])

    def _pointer_inside(self):
        if self.pointer is None:
            # Below every menu entry: keys also want the pointer over the window.
            self.move(DESIGN_WIDTH // 2, DESIGN_HEIGHT - 15)
        self.focus()

    def key(self, *names):
        self._pointer_inside()
        self.display.run(["xdotool", "key", "--delay", "30", *names])

    def type(self, text):
        self._pointer_inside()
        self.display.run(["xdotool", "type", "--delay", "40", text])

    # -- pictures

    def screenshot(self, name="shot", window=None):
        if window is None:
            left, top, width, height = self.geometry()
        else:
            left, top, width, height = self.display.window_geometry(window)
        self._shots += 1
        path = os.path.join(self.display.shots_dir, f"{self._shots:02d}-{name}.png")
        ppm = subprocess.run(["/usr/bin/import", "-window", "root",
                              "-crop", f"{width}x{height}+{left}+{top}", "+repage",
                              "-depth", "8", "ppm:-"],
                             env=self.display.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        check(ppm.returncode == 0, f"import failed: {ppm.stderr.decode(errors='replace')}")
        shot = Shot(path, *read_ppm(ppm.stdout))
        write_png(path, shot.width, shot.height, shot.rgb)
        return shot

    # Deadlines are generous: a busy machine may take many times as long as
    # an idle one, and a wait ends as soon as the screen is there anyway.
    def wait_for(self, predicate, name="shot", timeout=30, failure=None):
        """Takes screenshots until predicate(shot) is true; returns that shot.
        On time-out the case fails with failure (or a message naming name)."""
        deadline = time.monotonic() + timeout
        while True:
            shot = self.screenshot(name)
            if predicate(shot):
                return shot
            check(self.running(), f"the game ended while waiting for '{name}':\n{self.output()}")
            check(time.monotonic() < deadline,
                  f"{failure or f'timed out waiting for {name!r}'} (last: {shot.path})")
            os.remove(shot.path)
            self._shots -= 1
            time.sleep(0.1)

    def wait_stable(self, name="stable", timeout=30, box=None, predicate=None, tolerance=0):
        """Screenshots until two taken at least 150 ms apart are identical
        (inside box, in design units, if given; channels may differ by up to
        tolerance) and both satisfy predicate: the screen has settled (menus
        draw the same frame while nothing moves)."""
        def settled(shot):
            return predicate is None or predicate(shot)

        previous = self.screenshot(name)
        deadline = time.monotonic() + timeout
        while True:
            time.sleep(0.15)
            shot = self.screenshot(name)
            os.remove(previous.path)
            same = ((shot.width, shot.height) == (previous.width, previous.height)
                    and (shot.rgb == previous.rgb if box is None and tolerance == 0
                         else shot.diff_box(previous, box, tolerance) is None))
            if same and settled(shot) and settled(previous):
                return shot
            check(self.running(), f"the game ended while waiting for '{name}':\n{self.output()}")
            check(time.monotonic() < deadline, f"the screen did not settle for '{name}' (last: {shot.path})")
            previous = shot

    def wait_window(self, title=WINDOW_TITLE, timeout=30):
        """Waits until a window of that title is mapped; the game's own window
        (the default) becomes self.window."""
        deadline = time.monotonic() + timeout
        while True:
            window = self.display.find_window(title)
            if window:
                if title == WINDOW_TITLE:
                    self.window = window
                    self.geometry()
                return window
            status = self.process.poll()
            check(status is None, f"the game ended with status {status} before the window "
                                  f"'{title}' appeared:\n{self.output()}")
            check(time.monotonic() < deadline, f"the window '{title}' did not appear")
            time.sleep(0.05)

    # -- the process

    def running(self):
        return self.process.poll() is None

    def exit_status(self, timeout=5):
        """Waits for the game to end; returns its exit status or fails."""
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise E2EFailure(f"the game did not end within {timeout} s") from None

    def output(self):
        self._output.flush()
        with open(self.output_path, "rb") as f:
            return f.read().decode("latin-1")

    def stop(self):
        _stop(self.process)
        self._output.close()
        if self._own_workdir:
            shutil.rmtree(self.workdir, ignore_errors=True)


# ---------------------------------------------------------------- running cases from ctest

def _run_on_display(binary, case, shots_dir):
    with Display(binary, shots_dir) as display:
        case(display)


def run_cases(namespace, run=_run_on_display, first_argument="BINARY"):
    """Command line of a test file: BINARY CASE [SHOTS_DIR]. Runs the function
    case_<CASE>(display) on a fresh Display and exits 0 on success. A file
    whose cases need something else passes run(argument, case, shots_dir)."""
    cases = {name[len("case_"):]: fn for name, fn in namespace.items() if name.startswith("case_")}
    if len(sys.argv) not in (3, 4) or sys.argv[2] not in cases:
        sys.exit(f"usage: {sys.argv[0]} {first_argument} CASE [SHOTS_DIR]; cases: {', '.join(sorted(cases))}")
    argument, case = sys.argv[1], sys.argv[2]
    shots_dir = os.path.join(sys.argv[3], case) if len(sys.argv) == 4 else None
    if shots_dir:
        shutil.rmtree(shots_dir, ignore_errors=True)
    # ctest's timeout and Ctrl-C end the test through the normal clean-up path.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("terminated"))
    try:
        run(argument, cases[case], shots_dir)
    except E2EFailure as failure:
        traceback.print_exc()
        print(f"FAILED {case}: {failure}", file=sys.stderr)
        if shots_dir:
            print(f"screenshots: {shots_dir}", file=sys.stderr)
        sys.exit(1)
    print(f"passed {case}")
