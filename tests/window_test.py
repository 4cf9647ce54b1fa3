#!/usr/bin/env python3
"""The bench window under a real X server (Xvfb): real mouse clicks and key
presses through xdotool reach the gauge, its event log and its picture.

    tests/window_test.py BUILD_DIR

One window of the lights panel at zoom 3 is started once; the cases then
click a switch, outline the areas and edit a variable in the side panel, and
compare what the screen shows with the bench's own drawing of that state.
"""
import atexit
import ctypes
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD_DIR = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
BENCH = os.path.join(BUILD_DIR, "bench", "gaugebench.exe")
LIGHTS = os.path.join(BUILD_DIR, "gauges", "Lumaris.LIGHTS.gau")
WINE_RUN = os.path.join(ROOT, "cmake", "wine-run.sh")
ZOOM = 3
MARGIN = 8  # the gauge's place in the window's client area
PANEL_X = MARGIN + 150 * ZOOM + 2 * MARGIN  # the side panel, right of the gauge
ROW_Y, ROW_HEIGHT, EDIT_X = 56, 24, 132  # variable rows in the side panel


def wait_for(what, test, timeout=120.0, step=0.5):
    end = time.time() + timeout
    while time.time() < end:
        value = test()
        if value:
            return value
        time.sleep(step)
    raise AssertionError(f"timed out waiting for {what}")


def ppm(args):
    out = subprocess.run(["convert"] + args + ["-depth", "8", "ppm:-"], capture_output=True,
                         check=True).stdout
    header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", out)
    return int(header.group(1)), int(header.group(2)), out[header.end():]


class CursorImage(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short), ("width", ctypes.c_ushort),
                ("height", ctypes.c_ushort), ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort),
                ("cursor_serial", ctypes.c_ulong), ("pixels", ctypes.POINTER(ctypes.c_ulong)),
                ("atom", ctypes.c_ulong), ("name", ctypes.c_char_p)]


def cursor_shape(display):
    """The X server's current cursor: size, hot spot and pixels (XFixes)."""
    x11 = ctypes.CDLL("libX11.so.6")
    xfixes = ctypes.CDLL("libXfixes.so.3")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(CursorImage)
    xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]
    dpy = x11.XOpenDisplay(display.encode())
    try:
        c = xfixes.XFixesGetCursorImage(dpy).contents
        pixels = tuple(c.pixels[i] & 0xFFFFFFFF for i in range(c.width * c.height))
        return (c.width, c.height, c.xhot, c.yhot, pixels)
    finally:
        x11.XCloseDisplay(dpy)


def free_display():
    for n in range(73, 99):
        if not os.path.exists(f"/tmp/.X11-unix/X{n}") and not os.path.exists(f"/tmp/.X{n}-lock"):
            return n
    raise RuntimeError("no free X display number")


_display = None


def shared_display():
    """One X server for every test here: Wine's desktop process stays bound to
    the display it first drew on, so a window opened on a second server can
    fail to appear while the first one's desktop lingers."""
    global _display
    if _display is None:
        n = free_display()
        xvfb = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1280x1024x24", "-nolisten",
                                 "tcp"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for("the X server", lambda: os.path.exists(f"/tmp/.X11-unix/X{n}"), 30)

        def stop():
            xvfb.terminate()
            xvfb.wait(30)

        atexit.register(stop)
        _display = n
    return _display


class WindowTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="window-test-")
        cls.log = os.path.join(cls.tmp, "events.log")
        cls.env = dict(os.environ, DISPLAY=f":{shared_display()}")
        cls.bench = subprocess.Popen(
            [WINE_RUN, BENCH, "window", LIGHTS, "--zoom", str(ZOOM), "--log", cls.log,
             "--exit-after", "600"],
            env=cls.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, start_new_session=True)
        cls.window = wait_for("the bench window", lambda: cls.xdo("search", "--name", "^gaugebench"))
        cls.window = cls.window.split()[0]
        wait_for("the first frames", lambda: "loaded" in cls.read_log(), 60)
        # The panel lists the three light variables once the gauge has read them.
        time.sleep(3)

    @classmethod
    def tearDownClass(cls):
        if cls.bench.poll() is None:
            cls.xdo("key", "--window", cls.window, "Escape")
            try:
                cls.bench.wait(30)
            except subprocess.TimeoutExpired:
                os.killpg(cls.bench.pid, signal.SIGTERM)
                cls.bench.wait(30)
        shutil.rmtree(cls.tmp, ignore_errors=True)

    @classmethod
    def xdo(cls, *args):
        proc = subprocess.run(["xdotool"] + list(args), capture_output=True, text=True, env=cls.env)
        return proc.stdout.strip()

    @classmethod
    def read_log(cls):
        try:
            with open(cls.log) as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def click(self, x, y):
        self.xdo("mousemove", "--window", self.window, str(x), str(y))
        time.sleep(0.5)
        self.xdo("click", "1")

    def gauge_on_screen(self):
        """The gauge area of the window, shrunk back by the zoom (every ZOOM-th pixel)."""
        geometry = self.xdo("getwindowgeometry", self.window)
        x, y = map(int, re.search(r"Position: (\d+),(\d+)", geometry).groups())
        shot = os.path.join(self.tmp, "screen.png")
        subprocess.run(["import", "-window", "root", shot], env=self.env, check=True)
        w, h = 150 * ZOOM, 78 * ZOOM
        return ppm([shot, "-crop", f"{w}x{h}+{x + MARGIN}+{y + MARGIN}", "+repage",
                    "-sample", f"{100 / ZOOM}%"]), shot

    def bench_picture(self, actions):
        png = os.path.join(self.tmp, "expected.png")
        subprocess.run([WINE_RUN, BENCH, "play", LIGHTS] + actions + ["--png", png],
                       capture_output=True, check=True, stdin=subprocess.DEVNULL)
        return ppm([png])

    def assertScreenShows(self, actions):
        expected = self.bench_picture(actions)
        last = None

        def matches():
            nonlocal last
            last = self.gauge_on_screen()
            return last[0] == expected

        try:
            wait_for("the window to show the expected picture", matches, 30, 1.0)
        except AssertionError:
            kept = os.path.join(tempfile.gettempdir(), "window_test_screen.png")
            shutil.copy(last[1], kept)
            raise AssertionError(f"the window does not show the bench's picture; screen kept in {kept}")

    def test_1_click_on_a_switch_sends_its_event_and_moves_the_lever(self):
        self.assertScreenShows(["update:1"])
        # PANEL switch at gauge (17, 49): the simulator sends 0x100D6 for its area.
        self.click(MARGIN + 17 * ZOOM, MARGIN + 49 * ZOOM)
        wait_for("the event in the log", lambda: "event 0x100D6" in self.read_log(), 60)
        self.assertIn("click at gauge (17, 49)", self.read_log())
        self.assertScreenShows(["set:0x0A=1", "update:1"])

    def test_2_click_outside_every_area_sends_nothing(self):
        before = self.read_log().count("event ")
        self.click(MARGIN + 45 * ZOOM, MARGIN + 40 * ZOOM)  # the OFF mark between two switches
        wait_for("the click in the log", lambda: "click at gauge (45, 40): no area" in self.read_log())
        self.assertEqual(self.read_log().count("event "), before)

    def test_3_key_a_outlines_the_areas(self):
        self.xdo("key", "--window", self.window, "a")
        # The PANEL area (4, 22, 26, 54) gets a yellow frame, drawn at the zoom.

        def framed():
            (w, h, rgb), _ = self.gauge_on_screen()
            geometry = self.xdo("getwindowgeometry", self.window)
            x, y = map(int, re.search(r"Position: (\d+),(\d+)", geometry).groups())
            shot = os.path.join(self.tmp, "screen.png")
            corner = ppm([shot, "-crop", f"1x1+{x + MARGIN + 4 * ZOOM}+{y + MARGIN + 22 * ZOOM + 20}",
                          "+repage"])
            return corner[2] == bytes([255, 220, 0])

        wait_for("the outline", framed, 30, 1.0)
        self.xdo("key", "--window", self.window, "a")
        self.assertScreenShows(["set:0x0A=1", "update:1"])

    def test_4_editing_a_variable_moves_its_switch(self):
        # The third row is 0x0E, the landing lights.
        row = 2
        x, y = PANEL_X + EDIT_X + 40, ROW_Y + row * ROW_HEIGHT + 10
        self.click(x, y)
        time.sleep(0.5)
        self.xdo("key", "End", *(["BackSpace"] * 12))
        self.xdo("type", "1")
        self.xdo("key", "Return")
        wait_for("the set in the log", lambda: "set variable 0xE = 1" in self.read_log(), 30)
        self.assertScreenShows(["set:0x0A=1", "set:0x0E=1", "update:1"])

    def cursor_at(self, gx, gy):
        self.xdo("mousemove", "--window", self.window, str(MARGIN + gx * ZOOM),
                 str(MARGIN + gy * ZOOM))
        time.sleep(1.5)  # the window sets the cursor on the next mouse message
        return cursor_shape(self.env["DISPLAY"])

    def test_5_cursor_follows_the_area_under_it(self):
        arrow = self.cursor_at(75, 5)  # the title: no area
        hand = self.cursor_at(17, 40)  # the PANEL switch, a button area
        self.assertNotEqual(hand, arrow)
        self.assertEqual(self.cursor_at(75, 40), hand)  # STROB, another button
        self.assertEqual(self.cursor_at(45, 40), arrow)  # between the switches


class StepperCursorTest(unittest.TestCase):
    """The lamp annunciator's two halves lower and raise its set value: the
    window shows a down arrow and an up arrow over them."""

    def test_decrease_and_increase_areas_show_down_and_up_arrows(self):
        env = dict(os.environ, DISPLAY=f":{shared_display()}")
        bench = None
        try:
            bench = subprocess.Popen(
                [WINE_RUN, BENCH, "window", os.path.join(BUILD_DIR, "gauges", "Greenrow.gau"),
                 "--zoom", "4", "--exit-after", "300"],
                env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL, start_new_session=True)

            def xdo(*args):
                return subprocess.run(["xdotool"] + list(args), capture_output=True, text=True,
                                      env=env).stdout.strip()

            window = wait_for("the bench window", lambda: xdo("search", "--name", "^gaugebench"))
            window = window.split()[0]
            time.sleep(3)

            def cursor_at(gx, gy):
                xdo("mousemove", "--window", window, str(MARGIN + gx * 4), str(MARGIN + gy * 4))
                time.sleep(1.5)
                return cursor_shape(env["DISPLAY"])

            down = cursor_at(20, 45)  # left half (9, 25, 34, 38): CursorDecrease
            up = cursor_at(60, 45)  # right half (43, 25, 34, 38): CursorIncrease
            plain = cursor_at(40, 10)  # the lamps: no area
            # Both arrows are 32 x 32, hot at the tip: top centre for up,
            # bottom centre for down; one is the other upside down.
            self.assertEqual(up[:4], (32, 32, 16, 0))
            self.assertEqual(down[:4], (32, 32, 16, 31))
            flipped = tuple(p for row in reversed(range(32)) for p in up[4][row * 32:row * 32 + 32])
            self.assertEqual(down[4], flipped)
            self.assertNotEqual(plain, up)
            self.assertNotEqual(plain, down)
        finally:
            if bench and bench.poll() is None:
                os.killpg(bench.pid, signal.SIGTERM)
                bench.wait(30)


if __name__ == "__main__":
    unittest.main(verbosity=2)
