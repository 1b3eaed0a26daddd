#!/usr/bin/env python3
"""GLIMMET2 used as a person uses it: the built program runs in tmux, a real
terminal emulator, beside its window on an X server. Clicks are real mouse
reports written to the pane; what the person sees is read back from the pane
(text and colours) and from the window (a screenshot). The pane is a place
of the laboratory's (lab.Place): it runs the scenarios every place runs,
and the checks below, which need a terminal's text.

Usage: e2e_test.py PROGRAM XCLOSE   (with DISPLAY set to a private server)
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest

import lab
from lab import (BIRTH, DEADLINE, GROWTH, STATIC, SURVIVE, Layout, Place, alive, click_bytes,
                 read_file, read_status, wait)

PROGRAM = XCLOSE = None
WHITE, GREY, RED = (97, 40), (37, 40), (91, 40)
MAIN_SCREEN = "typed-before-glimmet2"  # what the pane shows before the program


def expected_colour(row, col):
    """The colours of a cell of the panel at the start of the main loop."""
    text = STATIC[row - 1]
    if row <= 2 and col <= len(text):
        return WHITE
    if text[col - 1:col] == "X":
        return RED
    return GREY


def parse_capture(text):
    """Rows of (character, (fg, bg)) from `capture-pane -p -e` output."""
    rows = []
    fg, bg = 39, 49
    for line in text.split("\n"):
        cells = []
        for part in re.split(r"(\x1b\[[0-9;]*m)", line):
            if part.startswith("\x1b["):
                codes = [int(c) if c else 0 for c in part[2:-1].split(";")]
                for c in codes:
                    if c == 0:
                        fg, bg = 39, 49
                    elif 30 <= c <= 37 or 90 <= c <= 97 or c == 39:
                        fg = c
                    elif 40 <= c <= 47 or 100 <= c <= 107 or c == 49:
                        bg = c
            else:
                cells.extend((ch, (fg, bg)) for ch in part)
        rows.append(cells)
    return rows


class Pane(Place):
    """One program run in a tmux server of its own."""

    cannot = {"covers no control": "a tmux pane has no place on the screen"}

    def __init__(self, columns=80, rows=24, program=None, display=None):
        self.dir = tempfile.mkdtemp(prefix="glimmet2-e2e-")
        conf = os.path.join(self.dir, "tmux.conf")
        with open(conf, "w") as f:
            f.write("set -g status off\n")
        self.tmux = ["tmux", "-S", os.path.join(self.dir, "socket"), "-f", conf]
        self.stderr = os.path.join(self.dir, "stderr")
        self.status_file = os.path.join(self.dir, "status")
        # A shell stays in the pane after the program, so the terminal's state
        # can be read as the program left it; it takes hang-ups again, in case
        # the program ran with them ignored.
        program = program or PROGRAM
        env = f"DISPLAY={display} " if display else ""
        command = (f"echo {MAIN_SCREEN}; {env}{program} 2>{self.stderr}; "
                   f"echo $? >{self.status_file}; trap - HUP; exec sleep 600")
        subprocess.run(self.tmux + ["new-session", "-d", "-x", str(columns), "-y", str(rows),
                                    "-s", "g", command], check=True)
        self.server_pid, self.pane_pid = map(int, self.display("#{pid} #{pane_pid}").split())
        self._layout = None

    def start(self):
        self.wait(lambda: window_id() is not None, "the field window")
        self.wait(lambda: (self.counter() or 0) > 0, "the first generations")

    def close(self):
        """Ends the tmux server and whatever still runs in its pane: a
        process that ignores the hang-up would outlive the server."""
        subprocess.run(self.tmux + ["kill-server"], capture_output=True)
        try:
            os.killpg(self.pane_pid, signal.SIGKILL)  # the pane's shell leads its group
        except ProcessLookupError:
            pass
        # The server removes its socket as it goes; the folder goes after it.
        self.wait(lambda: not alive(self.server_pid), "the tmux server to end")
        shutil.rmtree(self.dir, ignore_errors=True)

    def errors(self):
        return read_file(self.stderr)

    def logs(self):
        return [self.stderr]

    def display(self, fmt):
        return subprocess.run(self.tmux + ["display", "-p", "-t", "g", fmt], capture_output=True,
                              text=True).stdout.strip()

    def capture(self):
        out = subprocess.run(self.tmux + ["capture-pane", "-p", "-e", "-t", "g"],
                             capture_output=True, text=True).stdout
        return parse_capture(out)

    def text(self, row):
        return "".join(ch for ch, _ in self.capture()[row - 1])

    @property
    def layout(self):
        """The panel's layout, read off the pane once the panel shows."""
        if self._layout is None:
            self.wait(lambda: any("GLIMMET2 - Cellular" in self.text(r) for r in (1, 2)),
                      "the panel")
            self._layout = Layout(self.text(r) for r in range(1, 15))
        return self._layout

    def cells(self, cell, width):
        row, column = cell
        return self.text(row)[column - 1:column - 1 + width]

    def counter(self):
        digits = self.cells(lab.LAYOUT.counter(), 8)
        return int(digits) if digits.isdigit() else None

    def on(self, cell):
        return self.cells(cell, 1) == "X"

    def picture(self):
        return screenshot()

    def close_field(self):
        subprocess.run([XCLOSE, "Glimmet"], check=True)

    def rule(self, label):
        return self.cells(self.layout.counts(label), 9)

    def slider(self):
        return self.cells(self.layout.track(GROWTH), 10)

    def widgets(self):
        """The survive and birth count cells and the growth track, read at once."""
        rows = ["".join(ch for ch, _ in row) for row in self.capture()]
        return [rows[r - 1][c - 1:c - 1 + n] for (r, c), n in
                ((self.layout.counts(SURVIVE), 9), (self.layout.counts(BIRTH), 9),
                 (self.layout.track(GROWTH), 10))]

    def settle(self):
        """lab.settle, back to the rate the slider shows, whatever earlier
        clicks made of it."""
        lab.settle(self, self.slider().find("X"))

    def send(self, data):
        subprocess.run(self.tmux + ["send-keys", "-t", "g", "-H"] + [f"{b:02x}" for b in data],
                       check=True)

    def click(self, cell, times=1):
        self.send(click_bytes(*cell, times))

    def resize(self, columns, rows):
        subprocess.run(self.tmux + ["resize-window", "-t", "g", "-x", str(columns), "-y", str(rows)],
                       check=True)

    def status(self):
        """The program's exit status (128 + the signal that ended it), or None."""
        return read_status(self.status_file)

    def dead(self):
        return self.status() is not None

    def program_pid(self):
        shell = self.display("#{pane_pid}")
        return int(subprocess.run(["pgrep", "-P", shell], capture_output=True,
                                  text=True).stdout.split()[0])

    def given_back(self, test):
        self.wait(self.dead, "the program to end")
        flags = self.display("#{alternate_on} #{mouse_any_flag} #{mouse_sgr_flag} #{cursor_flag}")
        test.assertEqual(flags, "0 0 0 1")
        test.assertEqual(self.text(1).rstrip(), MAIN_SCREEN)
        screen = [self.text(r) for r in range(1, 25)]
        test.assertFalse([line for line in screen if "GLIMMET2" in line or "neighbors" in line])
        attributes = {colour for row in self.capture()[:3] for _, colour in row}
        test.assertLessEqual(attributes, {(39, 49)}, "colours left behind")

    def wait(self, predicate, what, timeout=DEADLINE):
        wait(predicate, what, timeout, logs=self.logs())


def window_id():
    return lab.find_window("Glimmet")


def screenshot():
    window = window_id()
    return None if window is None else lab.Image(window).data


class EndToEnd(unittest.TestCase):
    """What only a terminal's text shows: every cell's character and colour,
    the widgets' own forms, keys, signals and resizes."""

    def setUp(self):
        self.pane = Pane()
        self.addCleanup(self.pane.close)
        self.pane.start()

    def assert_static_screen(self):
        rows = self.pane.capture()
        for r in range(1, 15):
            line = "".join(ch for ch, _ in rows[r - 1])
            want = STATIC[r - 1]
            if r == 12:
                self.assertRegex(line[:35], r"^               Generation: \d{8}$")
            else:
                self.assertEqual(line[:44].rstrip(), want, f"row {r}")
            for c in range(1, 45):
                if c <= len(rows[r - 1]):
                    self.assertEqual(rows[r - 1][c - 1][1], expected_colour(r, c), f"cell {r},{c}")

    def assert_counter_goes_on(self):
        first = self.pane.counter()
        self.pane.wait(lambda: self.pane.counter() > first, "the counter to go on")

    def test_static_screen_with_its_colours(self):
        self.assert_static_screen()
        self.assert_counter_goes_on()

    def test_rule_rows_and_slider(self):
        p, layout = self.pane, self.pane.layout
        p.click(layout.count(SURVIVE, 0))
        p.wait(lambda: p.rule(SURVIVE) == "X||||X|||", "survive to read X||||X|||")
        p.click(layout.count(BIRTH, 4))
        p.wait(lambda: p.rule(BIRTH) == "|||X|X|||", "birth to read |||X|X|||")
        p.click(layout.growth(0))
        p.wait(lambda: p.slider() == "X---------", "the slider to read X---------")
        p.click(layout.growth(9))
        p.wait(lambda: p.slider() == "---------X", "the slider to read ---------X")
        for _ in range(5):
            p.click(layout.random_rule(BIRTH))
        p.settle()
        row, column = layout.counts(BIRTH)
        cells = p.capture()[row - 1][column - 1:column + 8]
        self.assertTrue(all(ch in "X|" for ch, _ in cells))
        self.assertTrue(all(colour == (RED if ch == "X" else GREY) for ch, colour in cells))
        self.assertEqual(p.text(row)[column + 8:column + 10], " ?")

    def test_keys_change_nothing(self):
        p = self.pane
        p.send(b"\x03q\x1b[A\x1bOP\x1b\x1a\x1c")
        p.settle()
        self.assertFalse(p.dead())
        self.assert_static_screen()
        self.assert_counter_goes_on()

    def test_window_class_and_icon(self):
        window = window_id()
        self.assertEqual(lab.output("xprop", "-id", str(window), "WM_CLASS").strip(),
                         'WM_CLASS(STRING) = "glimmet2", "glimmet2"')
        self.assertIn("Icon (32 x 32)", lab.output("xprop", "-id", str(window), "_NET_WM_ICON"),
                      "the window has no icon of its own")

    def test_sigterm(self):
        os.kill(self.pane.program_pid(), 15)
        self.pane.given_back(self)
        self.assertEqual(self.pane.status(), 128 + 15)

    def test_resize_repaints_whole_panel(self):
        p = self.pane
        p.resize(100, 30)
        p.settle()
        self.assert_static_screen()
        p.click(p.layout.button("PAUSE"))
        p.settle()
        p.resize(60, 20)
        p.settle()
        self.assert_static_screen()
        p.click(p.layout.count(SURVIVE, 2))
        p.wait(lambda: p.rule(SURVIVE) == "||X||X|||", "survive to read ||X||X|||")


class Scenarios(unittest.TestCase):
    """The scenarios every place runs (lab.SCENARIOS), each on a pane of
    its own."""


PLACES = {"tmux": (lambda test: Pane(), ["work the panel", "close the field"])}
lab.add_scenario_tests(Scenarios, PLACES)


class SmallTerminal(unittest.TestCase):
    def test_size_message_then_the_panel(self):
        pane = Pane(40, 12)
        self.addCleanup(pane.close)
        pane.wait(lambda: "44 x 14" in pane.text(6), "the size message")
        self.assertIn("GLIMMET2 needs at least 44 x 14", pane.text(6))
        # That clicks on the size line are dropped is checked on a
        # pseudo-terminal (console_test): from here, when the program reads
        # a click cannot be told apart from when tmux passes it on.
        pane.resize(44, 14)
        pane.wait(lambda: pane.text(1).startswith("GLIMMET2 - Cellular"), "the panel after growing")
        self.assertEqual(pane.rule(SURVIVE), "|||||X|||")
        pane.click(pane.layout.count(SURVIVE, 0))
        pane.wait(lambda: pane.rule(SURVIVE) == "X||||X|||", "survive to read X||||X|||")
        lab.step_quit(self, pane)


if __name__ == "__main__":
    PROGRAM, XCLOSE = sys.argv[1], sys.argv[2]
    lab.use_logs(os.path.join(os.path.dirname(PROGRAM), "test-logs"))
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
