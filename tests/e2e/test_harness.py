#!/usr/bin/env python3
"""The harness's own picture code, checked against ImageMagick: every PNG
filter and colour type the screenshots may come in, and the comparisons the
end-to-end cases rely on."""

import os
import subprocess
import tempfile
import unittest

from harness import Shot, read_bmp, read_png, read_ppm, write_png

CONVERT = "/usr/bin/convert"


def convert(*args):
    return subprocess.run([CONVERT, *args], check=True, stdout=subprocess.PIPE).stdout


def ppm_pixels(path):
    """RGB bytes of a picture as ImageMagick decodes it, 8 bits a channel."""
    return read_ppm(convert(path, "-depth", "8", "ppm:-"))[2]


class PngReading(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        # Noise over a gradient: every filter has something to predict.
        self.source = os.path.join(self.dir.name, "source.miff")
        convert("-size", "37x23", "gradient:#208040-#f0c010", "-attenuate", "0.6",
                "+noise", "Uniform", self.source)

    def tearDown(self):
        self.dir.cleanup()

    def decoded(self, output, *options):
        path = os.path.join(self.dir.name, "out.png")
        convert(self.source, *options, output + path)
        return path, read_png(path)

    def test_every_filter_of_rgb(self):
        # ImageMagick picks its filters itself, so the rows are filtered here
        # and ImageMagick's reading of the file is the reference.
        width, height = 37, 23
        rgb = ppm_pixels(self.source)
        for png_filter in range(5):
            with self.subTest(filter=png_filter):
                path = os.path.join(self.dir.name, f"filter{png_filter}.png")
                write_png(path, width, height, rgb, png_filter)
                self.assertEqual(ppm_pixels(path), rgb)
                self.assertEqual(read_png(path), (width, height, rgb))

    def test_colour_types(self):
        cases = {
            "rgba": ("PNG32:", "-define", "png:compression-filter=5"),
            "palette": ("PNG8:",),
            "grey": ("PNG:", "-colorspace", "Gray", "-depth", "8", "-define", "png:color-type=0"),
            "grey with alpha": ("PNG:", "-colorspace", "Gray", "-depth", "8", "-alpha", "on",
                                "-define", "png:color-type=4"),
        }
        for name, (output, *options) in cases.items():
            with self.subTest(name):
                path, (_, _, rgb) = self.decoded(output, *options)
                self.assertEqual(rgb, ppm_pixels(path))

    def test_sixteen_bits_keep_the_high_byte(self):
        path, (_, _, rgb) = self.decoded("PNG48:", "-define", "png:compression-filter=4")
        expected = ppm_pixels(path)
        self.assertEqual(len(rgb), len(expected))
        self.assertLessEqual(max(abs(a - b) for a, b in zip(rgb, expected)), 1)


class BmpReading(unittest.TestCase):
    def test_rows_padded_and_bottom_up(self):
        with tempfile.TemporaryDirectory() as directory:
            path = os.path.join(directory, "picture.bmp")
            convert("-size", "37x23", "gradient:#208040-#f0c010", "-attenuate", "0.6",
                    "+noise", "Uniform", "-type", "TrueColor", "BMP3:" + path)
            self.assertEqual(read_bmp(path), (37, 23, ppm_pixels(path)))


def blank_shot(width, height, colour=(10, 20, 30)):
    return Shot("memory", width, height, bytes(colour) * (width * height))


def painted(shot, px_box, colour):
    rgb = bytearray(shot.rgb)
    x0, y0, x1, y1 = px_box
    for y in range(y0, y1):
        for x in range(x0, x1):
            rgb[3 * (y * shot.width + x):3 * (y * shot.width + x) + 3] = bytes(colour)
    return Shot("memory", shot.width, shot.height, bytes(rgb))


class Comparisons(unittest.TestCase):
    def test_diff_box_is_in_design_units_end_exclusive(self):
        base = blank_shot(800, 1000)
        changed = painted(base, (100, 300, 140, 320), (200, 200, 200))
        self.assertEqual(changed.diff_box(base), (50.0, 150.0, 70.0, 160.0))
        self.assertEqual(changed.count_diff(base), 40 * 20)

    def test_diff_box_only_looks_inside_the_box_and_over_the_threshold(self):
        base = blank_shot(400, 500)
        changed = painted(base, (10, 10, 20, 20), (200, 200, 200))
        changed = painted(changed, (300, 400, 310, 410), (14, 20, 30))  # 4 off: below threshold
        self.assertIsNone(changed.diff_box(base, (100, 100, 400, 500)))
        self.assertEqual(changed.diff_box(base, (0, 0, 100, 100)), (10, 10, 20, 20))
        self.assertEqual(changed.count_diff(base, threshold=3), 200)

    def test_pixel_scales_design_units(self):
        shot = painted(blank_shot(800, 1000), (398, 598, 400, 600), (1, 2, 3))
        self.assertEqual(shot.pixel(199, 299), (1, 2, 3))
        self.assertEqual(shot.pixel_px(397, 597), (10, 20, 30))

    def test_downscaled_comparison_sees_a_frame_drawn_at_the_wrong_scale(self):
        small = painted(blank_shot(40, 50), (10, 10, 30, 20), (250, 250, 250))
        doubled = painted(blank_shot(80, 100), (20, 20, 60, 40), (250, 250, 250))
        unscaled = painted(blank_shot(80, 100), (10, 10, 30, 20), (250, 250, 250))
        self.assertEqual(doubled.mean_abs_diff_downscaled(small, step=1), 0)
        self.assertGreater(unscaled.mean_abs_diff_downscaled(small, step=1), 20)


if __name__ == "__main__":
    unittest.main()
