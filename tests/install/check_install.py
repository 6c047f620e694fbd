#!/usr/bin/python3
"""Installs the built tree into scratch prefixes (never the machine's own) and checks what a
desktop finds there: the binary, the menu entry and the icons in the hicolor theme.

usage: check_install.py <build folder>
"""
import os
import subprocess
import sys
import tempfile
import unittest

import gi

gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf, GLib  # noqa: E402

APP_ID = "app.quenvil.Quenvil"
BUILD = None
SIZES = [16, 22, 24, 32, 48, 64, 128, 256]


def install(prefix, destdir=None):
    env = dict(os.environ)
    env.pop("DESTDIR", None)
    if destdir:
        env["DESTDIR"] = destdir
    subprocess.run(["cmake", "--install", BUILD, "--prefix", prefix], env=env, check=True,
                   stdout=subprocess.DEVNULL)


def read_entry(path):
    keys = GLib.KeyFile()
    keys.load_from_file(path, GLib.KeyFileFlags.NONE)
    return keys


def premultiplied(pixbuf):
    data = pixbuf.get_pixels()
    stride, channels = pixbuf.get_rowstride(), pixbuf.get_n_channels()
    out = []
    for y in range(pixbuf.get_height()):
        for x in range(pixbuf.get_width()):
            r, g, b, a = data[y * stride + x * channels:y * stride + x * channels + 4]
            out.append((r * a / 255, g * a / 255, b * a / 255, a))
    return out


class InstalledIntoAPrefix(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory()
        # A space in the prefix: the entry's Exec= must quote the binary's path.
        cls.prefix = os.path.join(cls.scratch.name, "my prefix")
        install(cls.prefix)
        cls.binary = os.path.join(cls.prefix, "bin", "quenvil")
        cls.entry = os.path.join(cls.prefix, "share", "applications", APP_ID + ".desktop")
        cls.icons = os.path.join(cls.prefix, "share", "icons", "hicolor")

    @classmethod
    def tearDownClass(cls):
        cls.scratch.cleanup()

    def test_binary_runs(self):
        self.assertTrue(os.access(self.binary, os.X_OK))
        # Without a display it starts, says what it needs and stops: its libraries load.
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        run = subprocess.run([self.binary], env=env, capture_output=True, text=True, timeout=30)
        self.assertEqual(run.returncode, 1, run.stderr)
        self.assertIn("needs an X11 session", run.stderr)

    def test_entry_is_valid_and_starts_the_installed_binary(self):
        validate = subprocess.run(["desktop-file-validate", self.entry], capture_output=True, text=True)
        self.assertEqual((validate.returncode, validate.stdout + validate.stderr), (0, ""))
        keys = read_entry(self.entry)
        group = "Desktop Entry"
        self.assertEqual(keys.get_string(group, "Type"), "Application")
        self.assertEqual(keys.get_string(group, "Name"), "Quenvil")
        self.assertEqual(keys.get_string(group, "Icon"), APP_ID)
        self.assertIn("Utility", keys.get_string_list(group, "Categories"))
        self.assertFalse(keys.get_boolean(group, "NoDisplay"))
        _, argv = GLib.shell_parse_argv(keys.get_string(group, "Exec"))
        self.assertEqual(argv, [self.binary])

    def test_icons_are_the_same_artwork_at_every_size(self):
        for side in SIZES:
            path = os.path.join(self.icons, "%dx%d" % (side, side), "apps", APP_ID + ".png")
            with self.subTest(side=side):
                pixbuf = GdkPixbuf.Pixbuf.new_from_file(path)
                self.assertEqual((pixbuf.get_width(), pixbuf.get_height()), (side, side))
                self.assertTrue(pixbuf.get_has_alpha())
        svg = os.path.join(self.icons, "scalable", "apps", APP_ID + ".svg")
        drawn = premultiplied(GdkPixbuf.Pixbuf.new_from_file_at_size(svg, 64, 64))
        png = premultiplied(GdkPixbuf.Pixbuf.new_from_file(
            os.path.join(self.icons, "64x64", "apps", APP_ID + ".png")))
        # Two renderers smooth edges and crossings a little differently; other artwork, or
        # the same one a pixel off, differs on hundreds of pixels.
        diffs = [max(abs(p - q) for p, q in zip(a, b)) for a, b in zip(drawn, png)]
        self.assertGreater(max(a[3] for a in png), 250, "the artwork is blank")
        self.assertLess(sum(diffs) / len(diffs), 2.0)
        self.assertLess(sum(1 for d in diffs if d > 32), len(diffs) // 100)


class StagedForAPackage(unittest.TestCase):
    def test_entry_names_the_prefix_not_the_staging_folder(self):
        with tempfile.TemporaryDirectory() as stage:
            install("/usr", destdir=stage)
            self.assertTrue(os.access(os.path.join(stage, "usr", "bin", "quenvil"), os.X_OK))
            keys = read_entry(os.path.join(stage, "usr", "share", "applications", APP_ID + ".desktop"))
            _, argv = GLib.shell_parse_argv(keys.get_string("Desktop Entry", "Exec"))
            self.assertEqual(argv, ["/usr/bin/quenvil"])
            self.assertTrue(os.path.isfile(os.path.join(
                stage, "usr", "share", "icons", "hicolor", "scalable", "apps", APP_ID + ".svg")))


if __name__ == "__main__":
    BUILD = sys.argv.pop(1)
    unittest.main(verbosity=2)
