#!/usr/bin/env python3
"""The gallery, checked the way a reader sees it: rendered from the build,
opened in headless Chromium, every picture loaded at its own size and at
three times its size without smoothing, every state of every gauge present,
and the command printed under a picture really drawing that picture.

    tests/gallery_test.py BUILD_DIR
"""
import html.parser
import json
import os
import re
import shlex
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD_DIR = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update",
                  "--disable-sync"]

# Every state the gallery promises, by picture name.
REQUIRED = {
    "lights": ["lights-off", "lights-on"],
    "autopilot": ["ap-master-off", "ap-holds", "ap-mach", "ap-nav", "ap-apr", "ap-loc", "ap-bc"],
    "glideslope": ["gs-hidden", "gs-covered", "gs-centred"],
    "lamps": ["lamps-dark", "lamps-left", "lamps-middle", "lamps-all", "lamps-over"],
    "flaps": [f"flaps-{d:02d}" for d in (0, 1, 2, 5, 10, 15, 20, 25, 30)],
    "spoiler": ["spoiler-disarmed", "spoiler-armed"],
    "tandem": ["tandem-up", "tandem-down"],
    "gps": ["gps-direct", "gps-tour", "gps-coupled", "gps-midflight"],
}

# Marks every image's load state and natural size into the DOM once the page
# has loaded, so that --dump-dom carries them out.
MARKER = """<script>
window.addEventListener('load', () => {
  for (const img of document.images) {
    img.setAttribute('data-complete', img.complete ? '1' : '0');
    img.setAttribute('data-natural', img.naturalWidth + 'x' + img.naturalHeight);
    img.setAttribute('data-shown', img.width + 'x' + img.height);
    img.setAttribute('data-rendering', getComputedStyle(img).imageRendering);
  }
  document.body.setAttribute('data-marked', '1');
});
</script>"""


class Images(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.images, self.flags, self.codes, self.marked = [], [], [], False
        self._in_code = False

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "img":
            self.images.append(a)
        if tag == "body" and a.get("data-marked") == "1":
            self.marked = True
        if a.get("class") in ("violation", "missing"):
            self.flags.append(a["class"])
        if tag == "code":
            self._in_code = True
            self.codes.append("")

    def handle_endtag(self, tag):
        if tag == "code":
            self._in_code = False

    def handle_data(self, data):
        if self._in_code:
            self.codes[-1] += data


def run_bench(args, **kw):
    exe = os.path.join(BUILD_DIR, "bench", "gaugebench.exe")
    return subprocess.run([os.path.join(ROOT, "cmake", "wine-run.sh"), exe] + args,
                          capture_output=True, text=True, stdin=subprocess.DEVNULL, timeout=600, **kw)


def ppm_pixels(path):
    """The RGB bytes of an image file, through ImageMagick's PPM output."""
    out = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], capture_output=True,
                         check=True).stdout
    header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", out)
    return int(header.group(1)), int(header.group(2)), out[header.end():]


class GalleryTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="gallery-test-")
        cls.out = os.path.join(cls.tmp.name, "gallery")
        proc = subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "gallery.py"),
                               BUILD_DIR, cls.out], capture_output=True, text=True, timeout=1200)
        cls.render_log = proc.stdout + proc.stderr
        cls.render_status = proc.returncode
        index = os.path.join(cls.out, "index.html")
        cls.page = ""
        if os.path.exists(index):
            with open(index) as f:
                cls.page = f.read()
        check = os.path.join(cls.out, "check.html")
        with open(check, "w") as f:
            f.write(cls.page.replace("</body>", MARKER + "</body>"))
        profile = os.path.join(cls.tmp.name, "profile")
        dom = subprocess.run(["/usr/bin/chromium"] + CHROMIUM_FLAGS +
                             [f"--user-data-dir={profile}", "--virtual-time-budget=20000",
                              "--dump-dom", "file://" + check],
                             capture_output=True, text=True, timeout=300)
        cls.dom = Images()
        cls.dom.feed(dom.stdout)
        cls.source = Images()
        cls.source.feed(cls.page)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_renders_every_module_without_fault(self):
        self.assertEqual(self.render_status, 0, self.render_log)
        self.assertEqual(self.source.flags, [], "the page reports missing modules or violations")

    def test_every_state_is_pictured(self):
        names = {os.path.splitext(os.path.basename(i["src"]))[0] for i in self.source.images}
        for gauge, states in REQUIRED.items():
            with self.subTest(gauge=gauge):
                self.assertEqual([s for s in states if s not in names], [])
        self.assertIn("img/gps-track.svg", [i["src"] for i in self.source.images])

    def test_every_picture_loads_at_its_size_and_three_times_unsmoothed(self):
        self.assertTrue(self.dom.marked, "the page did not finish loading in Chromium")
        pngs = [i for i in self.dom.images if i["src"].endswith(".png")]
        self.assertGreater(len(pngs), 0)
        for img in self.dom.images:
            with self.subTest(src=img["src"], cls=img.get("class")):
                self.assertEqual(img.get("data-complete"), "1")
                w, h = (int(v) for v in img["data-natural"].split("x"))
                self.assertGreater(w, 0)
                self.assertGreater(h, 0)
                if img["src"].endswith(".svg"):
                    continue
                # The natural size is the bench's picture, as the file says.
                fw, fh, _ = ppm_pixels(os.path.join(self.out, img["src"]))
                self.assertEqual((w, h), (fw, fh))
                self.assertEqual((w, h), (int(img["data-width"]), int(img["data-height"])))
                scale = 3 if img["class"] == "x3" else 1
                self.assertEqual(img["data-shown"], f"{w * scale}x{h * scale}")
                if scale == 3:
                    self.assertEqual(img["data-rendering"], "pixelated")
        # Each picture is shown twice: once as it is, once magnified.
        x1 = sorted(i["src"] for i in pngs if i["class"] == "x1")
        x3 = sorted(i["src"] for i in pngs if i["class"] == "x3")
        self.assertEqual(x1, x3)

    def test_printed_command_draws_the_picture_and_sends_the_listed_events(self):
        # A switch picture and a GPS-free one with host events: run the command
        # as printed (with the build's paths) and compare pixels and events.
        for name in ("tandem-down", "lights-panel", "ap-holds"):
            with self.subTest(picture=name):
                code = next(c for c in self.source.codes if c.endswith(f"--png {name}.png"))
                args = shlex.split(code)
                self.assertEqual(args[:2], ["./bench", "play"])
                module = os.path.join(BUILD_DIR, "gauges", os.path.basename(args[2]))
                png = os.path.join(self.tmp.name, name + ".png")
                proc = run_bench(["play", module] + args[3:-1] + [png])
                self.assertEqual(proc.returncode, 0, proc.stderr)
                self.assertEqual(ppm_pixels(png), ppm_pixels(os.path.join(self.out, "img", name + ".png")))
                events = [f"0x{e['id']:X}" for e in json.loads(proc.stdout)["events"]]
                figure = self.page[self.page.index(f"--png {name}.png"):]
                figure = figure[:figure.index("</figure>")]
                listed = re.findall(r"<li>(0x[0-9A-F]+) ", figure)
                self.assertEqual(events, listed)
                self.assertGreater(len(events), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
