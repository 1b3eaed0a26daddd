#!/usr/bin/env python3
"""GLIMMET2's Windows build in Wine's own console window (wineconsole), as
a Windows user has it: cmd starts the program after some earlier work, and
the panel and the "Glimmet" window are worked with the real pointer through
xdotool and read back from the X server's pixels. The console is a place of
the laboratory's (lab.Place).

Usage: windows_test.py PROGRAM.EXE   (DISPLAY set to a private X server
without a window manager and WINEPREFIX to a booted prefix, as
scripts/with-wine gives them)
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import lab
from lab import (LAYOUT, Image, PanelReader, Place, click_at, find_window, geometry, output,
                 read_file, wait)

PROGRAM = None
EARLIER = 5  # lines of earlier work on the console
STAND_IN_AT = (250, 250)  # where the stand-in for cmd puts its console


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


ICON = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "icons",
                    "glimmet2.ico")


def window_icons(window):
    """The window's icons as Wine gives them to the X server
    (_NET_WM_ICON): {side: [(r, g, b), ...]}."""
    text = output("xprop", "-id", str(window), "-notype", "32c", "_NET_WM_ICON")
    values = [int(v) for v in text.partition("=")[2].split(",") if v.strip()]
    icons = {}
    while len(values) > 2:
        side, count = values[0], values[0] * values[1]
        icons[side] = [(v >> 16 & 255, v >> 8 & 255, v & 255) for v in values[2:2 + count]]
        values = values[2 + count:]
    return icons


def embedded_icon(frame):
    """A frame of the icon the build puts into the exe, as (r, g, b)."""
    data = subprocess.run(["convert", f"{ICON}[{frame}]", "-depth", "8", "rgb:-"],
                          capture_output=True, check=True).stdout
    return [tuple(data[i:i + 3]) for i in range(0, len(data), 3)]


def text_changes(before, after, box):
    """The pixels that differ between two shots inside box (x, y, w, h)."""
    x0, y0, width, height = box
    return [(x, y) for y in range(y0, y0 + height) for x in range(x0, x0 + width)
            if before.pixel(x, y) != after.pixel(x, y)]


class Console(PanelReader, Place):
    """Wine's console window running cmd, which shows earlier work, waits
    for a key, runs the program and keeps the window open afterwards; or,
    to send a control event, a stand-in for cmd that does the same."""

    def __init__(self, through_ctrl_event=False, side=100):
        self.side = side  # the field's client area: 100 x 100 cells at its scale
        self.dir = tempfile.mkdtemp(prefix="glimmet2-wine-")
        self.status_file = os.path.join(self.dir, "status")
        self.trigger = os.path.join(self.dir, "break")
        script = os.path.join(self.dir, "run.bat")
        with open(script, "w", newline="\r\n") as f:
            f.write("@echo off\n")
            for line in range(1, EARLIER + 1):
                f.write(f"echo earlier line {line}\n")
            f.write("pause > nul\n")
            f.write(f"{windows_path(PROGRAM)}\n")
            f.write(f"echo %ERRORLEVEL%> {windows_path(self.status_file)}\n")
            f.write("pause > nul\n")
        self.others = set(self.consoles())
        shell = ["cmd", "/c", windows_path(script)]
        if through_ctrl_event:
            shell = [os.path.join(os.path.dirname(PROGRAM), "glimmet2-ctrl-event.exe"),
                     str(EARLIER), *map(str, STAND_IN_AT), windows_path(self.trigger),
                     windows_path(self.status_file), windows_path(PROGRAM)]
        self.process = lab.start(["wineconsole"] + shell, "wineconsole")
        wait(lambda: self.find() is not None, "the console window", logs=self.logs())
        self.window = self.find()
        wait(lambda: self.earlier_shown(), "the earlier work on the console", logs=self.logs())
        self.before_size = geometry(self.window)[2:]
        self.before = self.shot()

    def logs(self):
        return [self.process]

    @staticmethod
    def consoles():
        return output("xdotool", "search", "--classname", "conhost.exe").split()

    def find(self):
        ids = [i for i in self.consoles() if i not in self.others]
        return int(ids[-1]) if ids else None

    def shot(self):
        return Image(self.window)

    def earlier_shown(self):
        """True once the earlier lines stand on the screen: enough rows of
        pixels hold light text on black. The caption, light on a colour,
        and its icon (left of x = 24) count for nothing: counted, they let
        a console with no text yet pass."""
        image = self.shot()

        def text_row(y):
            row = image.block(24, y, image.width // 3, 1)
            return (0, 0, 0) in row and any(min(p) > 150 for p in row)
        return sum(text_row(y) for y in range(image.height)) > EARLIER * 4

    def start(self):
        """Lets cmd go on to the program; returns once the panel and the
        field are there, the generations going."""
        subprocess.run(["xdotool", "windowfocus", "--sync", str(self.window)], check=True)
        subprocess.run(["xdotool", "key", "space"], check=True)
        wait(lambda: geometry(self.window)[2:] != self.before_size,
             "the console to take the panel's size", logs=self.logs())

        # Wine resizes its console after the call returns, through sizes in
        # between: the cells are measured afresh until the counter reads.
        def counting():
            self.measure()
            return (self.counter() or 0) > 0
        wait(counting, "the panel's generations", logs=self.logs())
        wait(lambda: find_window("Glimmet") is not None, "the Glimmet window", logs=self.logs())
        self.outer, self.client = self.find_field()

    def find_field(self):
        """The window's outer rectangle and the corner of the part of it
        where the field changes, once that is a whole side x side block."""
        side = self.side
        window = find_window("Glimmet")
        outer = geometry(window)
        seen = []

        def whole():
            shots = [Image(window)]
            time.sleep(0.2)  # a sample of the running field, not a wait for it
            shots.append(Image(window))
            changed = text_changes(shots[0], shots[1], (0, 0, outer[2], outer[3]))
            seen.extend(changed)
            xs, ys = [x for x, _ in seen], [y for _, y in seen]
            return seen and (max(xs) - min(xs) + 1, max(ys) - min(ys) + 1) == (side, side)
        wait(whole, f"the field to fill a {side} x {side} client area", logs=self.logs())
        return outer, (min(x for x, _ in seen), min(y for _, y in seen))

    def measure(self):
        """The text's origin and cell size, from the console window's size
        before (80 x 25) and now (44 x 14), its frame being the same."""
        (w0, h0), (w, h) = self.before_size, geometry(self.window)[2:]
        width, height = (w0 - w) // (80 - 44), (h0 - h) // (25 - 14)
        border = (w - 44 * width) // 2
        self.origin = (border, h - border - 14 * height)
        self.cell_size = (width, height)

    def cell_rect(self, row, column):
        x, y = geometry(self.window)[:2]
        width, height = self.cell_size
        return (x + self.origin[0] + (column - 1) * width,
                y + self.origin[1] + (row - 1) * height, width, height)

    def click(self, cell, times=1):
        x, y, width, height = self.cell_rect(*cell)
        click_at(x + width // 2, y + height // 2, times)

    def on(self, cell):
        return self.red(*cell)

    def picture(self):
        return Image(find_window("Glimmet")).crop(*self.client, self.side, self.side).data

    def field_frame(self):
        window = find_window("Glimmet")
        return geometry(window) if window else None

    def close_field(self):
        """Wine's own caption, without a window manager: the close box is
        the last of its buttons, at the top right."""
        (x, y, width, _), (left, top) = self.outer, self.client
        click_at(x + width - left - 8, y + (top - left) // 2 + left)

    def status(self):
        text = read_file(self.status_file).strip()
        return int(text) if text else None

    def given_back(self, test):
        # Wine's console window takes its size back a moment after the call.
        wait(lambda: geometry(self.window)[2:] == self.before_size,
             "the console's size given back")
        after = self.shot()
        # The text only: the caption shows whether the window has the focus.
        rows = (0, self.origin[1], after.width, EARLIER * self.cell_size[1])
        test.assertEqual(text_changes(self.before, after, rows), [],
                         "the earlier work given back")

    def close(self):
        """A key ends cmd's last pause, and with cmd the console; what is
        still there after a failure ends with the whole prefix's processes."""
        if self.find() is not None:
            subprocess.run(["xdotool", "windowfocus", "--sync", str(self.window)])
            subprocess.run(["xdotool", "key", "space"])
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            subprocess.run(["wineserver", "-k"])
            self.process.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


class WineConsole(unittest.TestCase):
    """What only Windows has: the window's place, frame and icons, a
    control event, a display at 200 %, no console at all. The scenarios
    every place runs are added from PLACES below."""

    def start(self, through_ctrl_event=False, side=100):
        console = Console(through_ctrl_event, side)
        self.addCleanup(console.close)
        console.start()
        return console

    def test_the_window_its_corner_frame_and_icons(self):
        console = self.start()
        (x, y, width, height), (left, top) = console.outer, console.client
        self.assertEqual((x, y), (300, 300), "the window's corner")
        # The client area is the field: the frame is as wide on the right and
        # at the bottom as on the left.
        self.assertEqual((width - 100 - left, height - 100 - top), (left, left))
        # The taskbar's and the caption's icons are the program's own.
        icons = window_icons(find_window("Glimmet"))
        self.assertEqual(sorted(icons), [16, 32], "the window's icon sizes")
        self.assertTrue(icons[16] == embedded_icon(0) and icons[32] == embedded_icon(1),
                        "the window's icons are not the program's")
        lab.step_quit(self, console)

    def test_a_control_event(self):
        # The stand-in puts its console where the field usually opens: the
        # field opens beside the panel instead.
        console = self.start(through_ctrl_event=True)
        self.assertEqual(geometry(console.window)[:2], STAND_IN_AT)
        lab.step_covers_no_control(self, console)
        open(console.trigger, "w").close()
        wait(lambda: console.status() is not None, "Ctrl+C as an event to end the program",
             logs=console.logs())
        # The system's default handler ends it: with STATUS_CONTROL_C_EXIT on
        # Windows, 0 in Wine 8. 2 is the stand-in's failure to send.
        self.assertIn(console.status() & 0xFFFFFFFF, (0, 0xC000013A))
        console.given_back(self)

    def test_a_display_at_200_percent(self):
        # Wine's DPI, as Windows' display settings set it; the program says
        # in its manifest that it scales itself, and draws each cell as a
        # 2 x 2 square of its colour, never blurred.
        desktop = r"HKCU\Control Panel\Desktop"
        subprocess.run(["wine", "reg", "add", desktop, "/v", "LogPixels", "/t", "REG_DWORD",
                        "/d", "192", "/f"], check=True, capture_output=True)
        self.addCleanup(subprocess.run, ["wine", "reg", "delete", desktop, "/v", "LogPixels",
                                         "/f"], capture_output=True)
        console = self.start(side=200)
        (_, _, width, height), (left, top) = console.outer, console.client
        self.assertEqual((width - 200 - left, height - 200 - top), (left, left))
        console.click(LAYOUT.button("PAUSE", 1))
        lab.settle(console)
        shot = Image(find_window("Glimmet"))
        blurred = [(x, y) for y in range(top, top + 200, 2) for x in range(left, left + 200, 2)
                   if len(set(shot.block(x, y, 2, 2))) != 1]
        self.assertEqual(blurred, [], "cells that are not 2 x 2 squares of one colour")
        lab.step_quit(self, console)

    def test_without_a_console_it_says_so_and_fails(self):
        ran = subprocess.run(["wine", PROGRAM], stdin=subprocess.DEVNULL, capture_output=True,
                             text=True, timeout=120)
        self.assertEqual(ran.returncode, 1)
        self.assertRegex(ran.stderr, r"^glimmet2: no console to work on; .*wineconsole\)\n$")
        self.assertEqual(ran.stdout, "")


# Wine's console as a place: the scenarios it runs (lab.SCENARIOS).
PLACES = {"wineconsole": (lambda test: Console(), ["work the panel", "close the field"])}
lab.add_scenario_tests(WineConsole, PLACES)


if __name__ == "__main__":
    PROGRAM = sys.argv[1]
    lab.use_logs(os.path.join(os.path.dirname(os.path.abspath(PROGRAM)), "test-logs"))
    unittest.main(argv=sys.argv[:1] + sys.argv[2:], verbosity=2)
