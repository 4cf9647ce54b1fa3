#!/usr/bin/env python3
"""Renders the gallery: every gauge in the states that matter, as the bench
draws it, with the bench command behind each picture and the events it sent.

    scripts/gallery.py BUILD_DIR [OUT_DIR]      (OUT_DIR defaults to dist/gallery)

Each gauge module found in BUILD_DIR/gauges gets its section; a module that is
not built yet is listed as missing. One bench run per scene takes several
pictures with png:FILE actions, so the whole gallery costs a dozen Wine starts.
"""
import html
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
from dataclasses import dataclass, field
from typing import List, Optional

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WINE_RUN = os.path.join(ROOT, "cmake", "wine-run.sh")


@dataclass
class Shot:
    name: str  # file stem of the picture
    caption: str


@dataclass
class Scene:
    """One bench run: actions, with Shot markers where a picture is taken."""

    steps: list
    options: List[str] = field(default_factory=list)
    companion: Optional[str] = None  # "default", or the text of a KestrelDlg.ini to use
    track: Optional[str] = None  # file stem of an SVG track of the run


@dataclass
class Section:
    module: str  # file name without .gau
    gauge: str  # gauge name for panel.cfg
    title: str
    scenes: List[Scene]
    notes: str = ""


def upd(n=1):
    return f"update:{n}"


def sets(var, value):
    return f"set:{var}={value}"


# --- the scenes, gauge by gauge --------------------------------------------

LIGHTS = Section(
    "Lumaris.LIGHTS", "Lumaris.LIGHTS", "Lights switch panel",
    [Scene([
        upd(), Shot("lights-off", "all lights off: every lever up at OFF"),
        "click:17,49", upd(), Shot("lights-panel", "PANEL clicked: the panel lights come on"),
        "click:75,49", "click:133,49", upd(),
        Shot("lights-on", "STROB and LAND clicked too: all three on"),
    ])],
    "Each click only sends the toggle event; the lever moves when the light's variable changes.")

# Autopilot panel areas (centres of the boxes in its mouse list).
AP_MASTER, AP_ALT, AP_HDG = "click:525,70", "click:106,70", "click:218,30"
AP_OFF, AP_NAV, AP_APR = "click:285,111", "click:293,84", "click:318,70"
AP_LOC, AP_BC = "click:351,86", "click:356,117"
AP_IAS, AP_MACH = "click:150,9", "click:164,37"
AP_ATS_UP, AP_YAW_ON, AP_AT_ARM = "click:61,47", "click:346,7", "click:54,92"
# The panel's pictures and readouts follow its own variable records, which
# its update routine refreshes after the elements: a change shows one frame
# later, so every step here runs two frames.
AUTOPILOT = Section(
    "CORVANE", "corvane", "Autopilot mode control panel",
    [Scene([
        sets("0x74", 250), sets("0x76", 0.78), sets("0x6D", 12000), sets("0x6B", 270),
        sets("0x2D", 90), sets("0x78", 1500), upd(2),
        Shot("ap-master-off", "master off: R switch at OFF, every hold off"),
        AP_HDG, upd(2), Shot("ap-hdg-master-off",
                             "HDG switch clicked with the master off: sends hold off, nothing moves"),
        AP_MASTER, upd(2), AP_AT_ARM, AP_HDG, AP_ALT, upd(2),
        Shot("ap-holds", "master on (CMD), A/T armed, then HDG and ALT SEL holds on"),
        AP_IAS, upd(2), Shot("ap-ias", "IAS selected: speed hold on, ATS shows the airspeed target"),
        AP_MACH, upd(2), Shot("ap-mach", "MACH selected: ATS shows the Mach target"),
        AP_ATS_UP, upd(2), Shot("ap-mach-up", "ATS knob right half in Mach mode: Mach target up"),
        AP_NAV, upd(2), Shot("ap-nav", "NAV label: mode selector at NAV (releases HDG)"),
        AP_OFF, AP_APR, upd(2), Shot("ap-apr", "OFF, then APR label: selector at APR"),
        AP_OFF, AP_LOC, upd(2), Shot("ap-loc", "OFF, then LOC label: selector at LOC"),
        AP_OFF, AP_BC, upd(2), Shot("ap-bc", "OFF, then BC label: selector at BC"),
        AP_YAW_ON, upd(2), Shot("ap-yaw", "YAW DAMPER ON clicked"),
        AP_AT_ARM, upd(2), Shot("ap-at-off", "A/T ARM clicked again: disarmed, the speed hold drops"),
    ])])

GLIDESLOPE = Section(
    "Orrin", "ORRIN_A", "Glideslope indicator",
    [Scene([
        sets("0x2C", 0), upd(), Shot("gs-hidden", "status 0: scale and pointer hidden, cover drawn"),
        sets("0x2C", 0.5), upd(), Shot("gs-covered", "status 0.5: scale and pointer under the cover"),
        sets("0x2C", 1), sets("0x29", 0), upd(), Shot("gs-centred", "status 1, deviation 0: centred"),
        sets("0x29", 96), upd(), Shot("gs-plus96", "deviation +96: 19 pixels off centre"),
        sets("0x29", -96), upd(), Shot("gs-minus96", "deviation -96: 19 pixels the other way"),
    ])])

# The set value starts at 70; the lamps light from 60, 65 and 70 up to 80.
LAMPS = Section(
    "Greenrow", "GREENROW", "Set-value lamp annunciator",
    [Scene([
        sets("0x3D", 0), upd(), Shot("lamps-dark", "airspeed 0, set value 70: all dark"),
        sets("0x3D", 62), upd(), Shot("lamps-left", "airspeed 62: left lamp (from set - 10)"),
        sets("0x3D", 67), upd(), Shot("lamps-middle", "airspeed 67: left and middle (from set - 5)"),
        sets("0x3D", 75), upd(), Shot("lamps-all", "airspeed 75: all three (from the set value)"),
        sets("0x3D", 81), upd(), Shot("lamps-over", "airspeed 81: more than 10 over, all dark"),
        "click:60,44", "click:60,44", "click:60,44", "click:60,44", "click:60,44", upd(),
        Shot("lamps-set75", "right half clicked five times: set value 75, so airspeed 81 lights all three again"),
    ])])

FLAP_DETENTS = [(0, 0), (1, 3000), (2, 5000), (5, 7000), (10, 9000), (15, 11000),
                (20, 13000), (25, 15000), (30, 16383)]
FLAPS = Section(
    "Flaps", "Stratum. by Norlo", "Flaps tape indicator",
    [Scene([step for d, v in FLAP_DETENTS
            for step in (sets("0x149", v), upd(), Shot(f"flaps-{d:02d}", f"flaps {v}: detent {d}"))])])

SPOILER = Section(
    "Brakewell1", "Moru Brakewell (Toggle type)", "Spoiler auto-arm switch",
    [Scene([
        upd(), Shot("spoiler-disarmed", "disarmed: empty socket, lamp unlit"),
        "click:27,30", upd(), Shot("spoiler-armed", "switch clicked: armed, lever down and lamp lit"),
        sets("0x3C", 1), upd(3),
        Shot("spoiler-deploying", "armed with the deploy condition at 1.0 for three updates"),
        "click:27,30", upd(), Shot("spoiler-disarmed-again", "clicked again: disarmed, nothing sent"),
    ])])

TANDEM = Section(
    "Tandem", "Tandem", "Auto-coordination switch",
    [Scene([
        upd(), Shot("tandem-up", "at load: position 1, lever up"),
        "click:24,35", upd(), Shot("tandem-down", "clicked: position 0, lever down"),
        "click:24,35", upd(), Shot("tandem-up-again", "clicked again: back to position 1"),
    ])])


def gps_section(build_dir):
    """The GPS: its scenes need the companion library and its sample route."""
    # GPS buttons: DLG, INF, AP, Prev, Next along y 84.
    ap, prev, nxt = "click:86,89", "click:118,89", "click:150,89"
    # South of the first item of the sample route, northbound at 150 knots,
    # with a westerly wind.
    start = ["position:47.30,-122.40", sets("0x51", 0), sets("0x3D", 150), sets("0x157", 15),
             sets("0x158", 270), sets("0x49", 600)]
    scenes = [
        Scene(start + [upd(13), Shot("gps-nocompanion",
                                     "no companion library: no route, the buttons still drawn")],
              companion=None),
    ]
    ini = companion_ini(build_dir)
    if ini is not None:
        direct = ini_with(ini_with(ini, "Mode", "0"), "CoupleDirect", "0")
        tour = ini_with(ini_with(ini, "Mode", "1"), "CoupleTour", "0")
        scenes += [
            Scene(start + [upd(13), Shot("gps-direct", "direct mode: one destination, not coupled"),
                           ap, upd(13), Shot("gps-direct-coupled", "AP clicked in direct mode: coupled")],
                  companion=direct),
            Scene(start + [upd(13), Shot("gps-tour", "tour mode: the first route item, not coupled"),
                           nxt, upd(13), Shot("gps-tour-next", "Next clicked: the second item"),
                           prev, upd(13), Shot("gps-tour-prev", "Prev clicked: back to the first"),
                           ap, upd(13), Shot("gps-coupled", "AP clicked: autopilot coupled to the route"),
                           "fly:900", upd(13),
                           Shot("gps-midflight", "coupled, after 15 minutes of flight")],
                  companion=tour, track="gps-track"),
            Scene(start + [upd(13),
                           Shot("gps-tour-16bit", "the same screen drawn into 16-bit image records (--format 16)")],
                  options=["--format", "16"], companion=tour),
        ]
    return Section("Kestrel41", "Kestrel41", "GPS navigator", scenes,
                   "The companion library KestrelDlg.dll keeps the route; the scenes use the sample "
                   "KestrelDlg.ini of the release, with Mode and the coupling flags set as "
                   "each caption says.")


def companion_ini(build_dir):
    for d in (os.path.join(build_dir, "companion"), os.path.join(ROOT, "companion")):
        p = os.path.join(d, "KestrelDlg.ini")
        if os.path.isfile(p):
            with open(p, encoding="latin-1") as f:
                return f.read()
    return None


def ini_with(text, key, value):
    """The ini text with KEY (in any section, any case) set to VALUE."""
    pattern = re.compile(rf"^(\s*{re.escape(key)}\s*=).*$", re.IGNORECASE | re.MULTILINE)
    if pattern.search(text):
        return pattern.sub(lambda m: m.group(1) + value, text, count=1)
    return text


# --- running the bench -------------------------------------------------------

def event_names():
    names = {}
    with open(os.path.join(ROOT, "framework", "sim_ids.h")) as f:
        text = f.read()
    block = re.search(r"namespace event \{(.*?)\}", text, re.S)
    for name, value in re.findall(r"constexpr uint32_t k(\w+) = (0x[0-9A-Fa-f]+);", block.group(1)):
        words = re.sub(r"(?<!^)(?=[A-Z][a-z])|(?<=[a-z])(?=[A-Z0-9])", " ", name).lower()
        names[int(value, 16)] = words
    return names


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path} is not a PNG")
    return struct.unpack(">II", head[16:24])


def wine_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_scene(build_dir, section, scene, img_dir, work_dir):
    exe = os.path.join(build_dir, "bench", "gaugebench.exe")
    module = os.path.join(build_dir, "gauges", section.module + ".gau")
    actions, shots = [], []
    for step in scene.steps:
        if isinstance(step, Shot):
            shots.append((step, [a for a in actions if not a.startswith("png:")]))
            actions.append("png:" + wine_path(os.path.join(img_dir, step.name + ".png")))
        else:
            actions.append(step)
    options = list(scene.options)
    shown_options = list(scene.options)
    if section.module == "Kestrel41":
        companion_dir = os.path.join(work_dir, "no-companion")
        if scene.companion is not None:
            companion_dir = tempfile.mkdtemp(prefix="companion-", dir=work_dir)
            for dll in os.listdir(os.path.join(build_dir, "companion")):
                if dll.lower().endswith(".dll"):
                    shutil.copy(os.path.join(build_dir, "companion", dll), companion_dir)
            with open(os.path.join(companion_dir, "KestrelDlg.ini"), "w", encoding="latin-1") as f:
                f.write(scene.companion)
        os.makedirs(companion_dir, exist_ok=True)
        options += ["--companion-dir", wine_path(companion_dir)]
        shown_options += ["--companion-dir", "route/" if scene.companion else "empty/"]
    if scene.track:
        options += ["--track", wine_path(os.path.join(img_dir, scene.track + ".svg"))]
    cmd = [WINE_RUN, exe, "play", module] + actions + options
    proc = subprocess.run(cmd, capture_output=True, text=True, cwd=work_dir,
                          stdin=subprocess.DEVNULL, timeout=600)
    if proc.returncode != 0:
        raise RuntimeError(f"bench failed for {section.module}: {proc.stderr.strip()}\n"
                           f"command: {' '.join(cmd)}")
    report = json.loads(proc.stdout)
    counts = [s["event_count"] for s in report.get("snapshots", [])]
    if len(counts) != len(shots):
        raise RuntimeError(f"{section.module}: expected {len(shots)} snapshots, got {len(counts)}")
    pictures = []
    for (shot, before), count in zip(shots, counts):
        shown = ["./bench", "play", f"dist/gauges/{section.module}.gau"] + before + \
            shown_options + ["--png", shot.name + ".png"]
        pictures.append({
            "shot": shot,
            "file": shot.name + ".png",
            "size": png_size(os.path.join(img_dir, shot.name + ".png")),
            "command": " ".join(quote(a) for a in shown),
            "events": report["events"][:count],
        })
    track = None
    if scene.track:
        svg = os.path.join(img_dir, scene.track + ".svg")
        if os.path.isfile(svg):
            shown = ["./bench", "play", f"dist/gauges/{section.module}.gau"] + \
                [a for a in actions if not a.startswith("png:")] + shown_options + \
                ["--track", scene.track + ".svg"]
            track = {"file": scene.track + ".svg", "command": " ".join(quote(a) for a in shown),
                     "events": report["events"]}
    return pictures, track, report.get("violations", [])


def quote(arg):
    return arg if re.fullmatch(r"[\w.,:=/+\-]+", arg) else "'" + arg.replace("'", "'\\''") + "'"


# --- the page ------------------------------------------------------------------

STYLE = """
body { font-family: sans-serif; background: #20242a; color: #e8e8e8; margin: 2em; }
h1, h2 { font-weight: normal; }
a { color: #9fd0ff; }
h2 { border-bottom: 1px solid #556; padding-bottom: .2em; margin-top: 2em; }
.scene { display: flex; flex-wrap: wrap; gap: 1.5em; }
figure { background: #2c3138; border: 1px solid #445; padding: .8em; margin: 0; max-width: 100%; }
figure .pics { display: flex; flex-wrap: wrap; gap: 1em; align-items: flex-start; overflow-x: auto; }
figure img { background: repeating-conic-gradient(#3a3a3a 0 25%, #303030 0 50%) 0 0 / 16px 16px; }
img.x3 { image-rendering: pixelated; }
figcaption { margin-top: .5em; max-width: 60em; }
code { display: block; font-size: 80%; color: #9fd0ff; white-space: pre-wrap; word-break: break-all;
       margin: .4em 0; }
ol.events { font-size: 80%; margin: .2em 0; color: #c8e6a0; }
.none { font-size: 80%; color: #999; }
details { font-size: 80%; margin-left: 1.5em; }
.missing, .violation { color: #ff9a80; }
"""


def event_item(e, names):
    name = names.get(e["id"], "unknown event")
    return (f"<li>0x{e['id']:X} {html.escape(name)}, value {e['value']} "
            f"<span class=\"none\">({e['from']})</span></li>")


def figure_html(pic, names, is_track=False):
    out = ["<figure>"]
    if is_track:
        out.append(f'<div class="pics"><img class="track" src="img/{pic["file"]}" '
                   f'alt="track of the flown tour"></div>')
    else:
        w, h = pic["size"]
        alt = html.escape(pic["shot"].caption)
        out.append('<div class="pics">'
                   f'<img class="x1" src="img/{pic["file"]}" width="{w}" height="{h}" '
                   f'data-width="{w}" data-height="{h}" alt="{alt}">'
                   f'<img class="x3" src="img/{pic["file"]}" width="{3 * w}" height="{3 * h}" '
                   f'data-width="{w}" data-height="{h}" alt="{alt}, three times"></div>')
    caption = "SVG track of the flown tour" if is_track else pic["shot"].caption
    out.append(f"<figcaption>{html.escape(caption)}")
    out.append(f"<code>{html.escape(pic['command'])}</code>")
    events = pic["events"]
    if events:
        # A long flight sends thousands: the first few stay in view, the rest fold.
        shown = events if len(events) <= 20 else events[:10]
        out.append('<ol class="events">')
        out.extend(event_item(e, names) for e in shown)
        out.append("</ol>")
        if len(events) > len(shown):
            out.append(f'<details><summary>{len(events)} events in all: show the other '
                       f'{len(events) - len(shown)}</summary><ol class="events" start="{len(shown) + 1}">')
            out.extend(event_item(e, names) for e in events[len(shown):])
            out.append("</ol></details>")
    else:
        out.append('<div class="none">no events sent</div>')
    out.append("</figcaption></figure>")
    return "\n".join(out)


def render(build_dir, out_dir):
    sections = [LIGHTS, AUTOPILOT, SPOILER, LAMPS, FLAPS, TANDEM, GLIDESLOPE, gps_section(build_dir)]
    names = event_names()
    img_dir = os.path.join(out_dir, "img")
    shutil.rmtree(out_dir, ignore_errors=True)
    os.makedirs(img_dir)
    body, failures = [], []
    with tempfile.TemporaryDirectory(prefix="gallery-") as work_dir:
        for section in sections:
            body.append(f'<h2 id="{section.module}">{html.escape(section.title)} '
                        f'<small>({html.escape(section.module)}.gau, gauge '
                        f'<q>{html.escape(section.gauge)}</q>)</small></h2>')
            if section.notes:
                body.append(f"<p>{html.escape(section.notes)}</p>")
            module = os.path.join(build_dir, "gauges", section.module + ".gau")
            if not os.path.isfile(module):
                body.append(f'<p class="missing">{html.escape(section.module)}.gau is not built.</p>')
                failures.append(section.module + ".gau missing")
                continue
            for scene in section.scenes:
                try:
                    pictures, track, violations = run_scene(build_dir, section, scene, img_dir,
                                                            work_dir)
                except (RuntimeError, ValueError, OSError, json.JSONDecodeError) as error:
                    body.append(f'<p class="missing">{html.escape(str(error))}</p>')
                    failures.append(str(error))
                    continue
                body.append('<div class="scene">')
                body.extend(figure_html(p, names) for p in pictures)
                if track:
                    body.append(figure_html(track, names, is_track=True))
                body.append("</div>")
                for v in violations:  # shown, and left to the gallery test to fail on
                    body.append(f'<p class="violation">violation: {html.escape(v)}</p>')
                    print(f"gallery: {section.module}: violation {v}", file=sys.stderr)
                print(f"gallery: {section.module}: {len(pictures)} pictures", file=sys.stderr)
    page = ["<!DOCTYPE html>", '<html lang="en"><head><meta charset="utf-8">',
            "<title>Gauge gallery</title>", f"<style>{STYLE}</style></head><body>",
            "<h1>Gauge gallery</h1>",
            "<p>Every picture is the bench's drawing of the real module. Each is shown at its own "
            "size and magnified three times without smoothing. Under it: the bench command that "
            "draws it (on a fresh run) and the events that command sends, in order; "
            "<q>host</q> marks an event the simulator sends for a mouse area, "
            "<q>module</q> one the gauge sends itself.</p>",
            "<p>" + " · ".join(f'<a href="#{s.module}">{html.escape(s.title)}</a>'
                                for s in sections) + "</p>"]
    page += body
    page.append("</body></html>")
    with open(os.path.join(out_dir, "index.html"), "w") as f:
        f.write("\n".join(page) + "\n")
    return failures


def main():
    if len(sys.argv) not in (2, 3):
        print(__doc__, file=sys.stderr)
        return 2
    build_dir = os.path.abspath(sys.argv[1])
    out_dir = os.path.abspath(sys.argv[2] if len(sys.argv) == 3 else os.path.join(ROOT, "dist", "gallery"))
    failures = render(build_dir, out_dir)
    print(f"gallery: {os.path.join(out_dir, 'index.html')}", file=sys.stderr)
    for f in failures:
        print(f"gallery: {f}", file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
