#!/usr/bin/env python3
"""GLIMMET2 under load, faults and hostile input, used as in e2e_test.py:
a long run under random clicks, garbage on the terminal, the terminal or the
X server going away, the window closed while paused, and a short run that a
sanitizer build must get through without a report.

Usage: faults_test.py PROGRAM XCLOSE [unittest arguments]   (DISPLAY set)
"""
import os
import random
import signal
import subprocess
import sys
import time
import unittest

import e2e_test
import lab
from e2e_test import GREY, RED, Pane, window_id
from lab import BIRTH, GROWTH, STATIC, SURVIVE, click_bytes

GARBAGE_SENDS = 100  # of 300 bytes each
SOAK_GENERATIONS = 200000
SOAK_CLICKS = 3000
SOAK_DEADLINE = 300  # seconds; a healthy run on a busy 2-core machine needs a third


class Cells:
    """The panel's cells that the random clicks choose from, by what they do,
    found on the pane's panel: every cell of every control but QUIT, the
    cells just beside them, and cells of rows that hold no control."""

    def __init__(self, layout):
        controls = layout.controls()
        near = set()
        for name, (row, first, last) in controls.items():
            if name != "QUIT":
                near |= {(row, c) for c in range(first - 1, last + 2)}
        near -= {(row, c) for row, first, last in [controls["QUIT"]] for c in range(first, last + 1)}
        busy = {row for row, _, _ in controls.values()}
        apart = {(r, c) for r in range(1, 15) if r not in busy for c in (1, 20, 30, 44)}
        clickable = sorted(near | apart)
        self.pause = layout.button("PAUSE", 1)
        self.random_rule = sorted({layout.random_rule(SURVIVE),
                                   layout.random_rule(BIRTH)})
        self.reseed = [layout.density(step) for step in range(10)]
        self.ordinary = [cell for cell in clickable
                         if cell not in self.random_rule and cell not in self.reseed]
        self.all = clickable


class PanelModel:
    """What the panel's widgets must show after a series of clicks."""

    def __init__(self, layout):
        self.layout = layout
        self.rules = {"survive": {5}, "birth": {3, 4, 5}}
        self.drawn = set()  # rules drawn at random since last read
        self.growth = 4
        self.paused = False

    def click(self, row, col):
        name, offset = self.layout.control_at(row, col)
        if name in self.rules:
            self.rules[name] ^= {offset}
        elif name in ("survive?", "birth?"):
            self.drawn.add(name[:-1])
        elif name == "growth":
            self.growth = offset
        elif name == "PAUSE":
            self.paused = not self.paused

    def rows(self):
        rule = lambda name: "".join("X" if d in self.rules[name] else "|" for d in range(9))
        slider = "-" * self.growth + "X" + "-" * (9 - self.growth)
        return [rule("survive"), rule("birth"), slider]

    def matches(self, pane):
        shown, want = pane.widgets(), self.rows()
        for i, name in enumerate(("survive", "birth")):
            if name in self.drawn:
                if len(shown[i]) != 9 or set(shown[i]) - set("X|"):
                    return False
            elif shown[i] != want[i]:
                return False
        return shown[2] == want[2]

    def read_drawn_rules(self, pane):
        shown = pane.widgets()
        for i, name in enumerate(("survive", "birth")):
            if name in self.drawn:
                self.rules[name] = {d for d in range(9) if shown[i][d] == "X"}
        self.drawn.clear()


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def garbage(rng, size):
    """Bytes that look like terminal input gone wrong, none of which can end
    a mouse report (no 'M' or 'm'), so no click can come of them."""
    pieces = [b"\x1b", b"\x1b[", b"\x1b[<", b"\x1bO", b"\x1b[[", b";", b"<", b"~",
              b"\x1b[<0;", b"\x1b[<0;30;8", b"\x1b[<0;31;", b"\x1b[<64;5", b"\x1b[" + b"9" * 300,
              b"\x1b[<" + b"1" * 80 + b";" + b"7" * 80, b"\x03", b"\x1a", b"\x7f", b"\r"]
    out = bytearray()
    while len(out) < size:
        if rng.random() < 0.6:
            out += rng.choice(pieces)
        else:
            out.append(rng.randrange(256))
    return bytes(b for b in out if b not in b"Mm")


class Faults(unittest.TestCase):
    # A sanitizer's report is long; a failure shows all of it.
    maxDiff = None

    def start(self, **kwargs):
        pane = Pane(**kwargs)
        self.addCleanup(pane.close)
        pane.wait(lambda: window_id() is not None or pane.dead(), "the field window")
        pane.wait(lambda: (pane.counter() or 0) > 0, "the first generations")
        return pane

    def assert_panel_intact(self, pane):
        """The panel is the static screen, but for widgets that show values
        in their own form and colours."""
        layout, rows = pane.layout, pane.capture()
        lines = ["".join(ch for ch, _ in row)[:44].ljust(44) for row in rows[:14]]
        expected = [line.ljust(44) for line in STATIC]

        def widget(cell, width, pattern):
            row, column = cell
            shown = lines[row - 1][column - 1:column - 1 + width]
            self.assertRegex(shown, pattern, f"the widget at {cell}")
            expected[row - 1] = expected[row - 1][:column - 1] + shown + \
                expected[row - 1][column - 1 + width:]
            return rows[row - 1][column - 1:column - 1 + width]

        for label in (SURVIVE, BIRTH):
            for ch, colour in widget(layout.counts(label), 9, r"^[X|]{9}$"):
                self.assertEqual(colour, RED if ch == "X" else GREY)
        widget(layout.track(GROWTH), 10, r"^-*X-*$")
        widget(layout.counter(), 8, r"^\d{8}$")
        self.assertEqual([line.rstrip() for line in lines], [line.rstrip() for line in expected])

    def test_soak_under_random_clicks(self):
        """Batches of random clicks, each written to the terminal at once; after
        every batch the panel must show exactly what the clicks made of it, so
        no click is lost or doubled, and the generations must go on."""
        pane = self.start()
        pid = pane.program_pid()
        pane.wait(lambda: (pane.counter() or 0) >= 10000, "10 000 generations")
        baseline = resident_kib(pid)
        rng = random.Random(20261209)
        cells = Cells(pane.layout)
        model = PanelModel(pane.layout)
        total, previous, clicks, batches = 0, pane.counter(), 0, 0
        started = time.time()
        while (total < SOAK_GENERATIONS or clicks < SOAK_CLICKS) and \
                time.time() < started + SOAK_DEADLINE:
            batch = [rng.choice(cells.ordinary) for _ in range(25)]
            # A reseed sets the counter back, so seldom one, or the run
            # would need long to reach its generations.
            if rng.random() < 0.1:
                batch.insert(rng.randrange(len(batch)), rng.choice(cells.reseed))
            # The slider moved after the draw shows when it has been made, if
            # it goes where no click before it took it.
            unused = set(range(10)) - {model.growth} - \
                {pane.layout.control_at(*cell)[1] for cell in batch
                 if pane.layout.control_at(*cell)[0] == "growth"}
            for cell in batch:
                model.click(*cell)
            # A drawn rule cannot be foreseen: draw at most one, last, and
            # read it back once everything before it has shown.
            if unused and rng.random() < 0.3:
                drawn = rng.choice(cells.random_rule)
                for cell in (drawn, pane.layout.growth(rng.choice(sorted(unused)))):
                    batch.append(cell)
                    model.click(*cell)
            if model.paused:  # end each batch running, so generations go on
                batch.append(cells.pause)
                model.click(*cells.pause)
            pane.send(b"".join(click_bytes(*cell) for cell in batch))
            clicks += len(batch)
            batches += 1
            pane.wait(lambda: model.matches(pane),
                      f"batch {batches}: the panel shows {pane.widgets()}, "
                            f"the clicks made {model.rows()}")
            model.read_drawn_rules(pane)
            now = pane.counter()
            reseeded = any(cell in cells.reseed for cell in batch)
            total += now if now < previous or reseeded else now - previous
            if now < previous:
                self.assertTrue(reseeded, f"counter fell from {previous} to {now} without a reseed")
            first = now
            pane.wait(lambda: pane.counter() != first,
                      f"batch {batches}: the generations stopped")
            previous = pane.counter()
            self.assertFalse(pane.dead(), "the program ended")
        self.assertGreaterEqual(total, SOAK_GENERATIONS)
        self.assertGreaterEqual(clicks, SOAK_CLICKS)
        self.assert_panel_intact(pane)
        self.assertTrue(model.matches(pane))
        growth = resident_kib(pid) - baseline
        print(f"\nsoak: {total} generations, {clicks} clicks in {batches} batches, "
              f"{time.time() - started:.0f} s; resident {baseline} KiB after 10 000 "
              f"generations, {baseline + growth} KiB at the end", file=sys.stderr)
        self.assertLess(abs(growth), 1024, f"resident memory grew by {growth} KiB")
        lab.step_quit(self, pane)

    def test_garbage_on_the_terminal(self):
        pane = self.start()
        before = pane.widgets()
        rng = random.Random(7)
        for _ in range(GARBAGE_SENDS):
            pane.send(garbage(rng, 300))
        pane.settle()
        self.assertFalse(pane.dead())
        self.assertEqual(pane.widgets(), before)
        self.assert_panel_intact(pane)
        first = pane.counter()
        pane.wait(lambda: pane.counter() > first, "the counter to go on")
        lab.step_quit(self, pane)

    def test_the_terminal_goes_away(self):
        """The program dies of the hang-up, as terminal programs do; the
        pane's shell outlives it to say so, by a handler of its own (one
        the program does not inherit, unlike an ignored signal)."""
        pane = self.start(program=f"trap : HUP; {e2e_test.PROGRAM}")
        # As a terminal emulator does when its window closes: the hang-up
        # to the terminal's process group, then the terminal gone.
        os.killpg(pane.pane_pid, signal.SIGHUP)
        subprocess.run(pane.tmux + ["kill-pane", "-t", "g"], check=True)
        pane.wait(pane.dead, "the program to end after its terminal went away")
        self.assertEqual(pane.status(), 128 + signal.SIGHUP)

    def test_the_terminal_goes_away_under_nohup(self):
        """With hang-ups ignored, the failing reads end the program instead."""
        pane = self.start(program=f"trap '' HUP; {e2e_test.PROGRAM}")
        subprocess.run(pane.tmux + ["kill-pane", "-t", "g"])
        pane.wait(pane.dead, "still running after its terminal went away")
        self.assertEqual(pane.status(), 1)
        self.assertEqual(pane.errors(), "glimmet2: the terminal went away\n")

    def test_the_x_server_goes_away(self):
        server = lab.xvfb("640x480x24")
        try:
            pane = Pane(display=server.display)
            self.addCleanup(pane.close)
            pane.wait(lambda: (pane.counter() or 0) > 0, "the first generations")
        finally:
            server.stop()
        pane.wait(pane.dead, "still running after X went away")
        self.assertNotEqual(pane.status(), 0)
        lines = pane.errors().splitlines()
        self.assertEqual(lines, ["glimmet2: lost the connection to the X server"])
        flags = pane.display("#{alternate_on} #{mouse_any_flag} #{cursor_flag}")
        self.assertEqual(flags, "0 0 1")

    def test_window_closed_while_paused(self):
        pane = self.start()
        pane.click(pane.layout.button("PAUSE"))
        pane.settle()
        count = pane.counter()
        subprocess.run([e2e_test.XCLOSE, "Glimmet"], check=True)
        pane.wait(lambda: window_id() is None, "the window to close")
        pane.settle()
        self.assertFalse(pane.dead(), "ended while paused")
        self.assertEqual(pane.counter(), count)
        lab.step_quit(self, pane)

    def test_window_closed_while_paused_then_step(self):
        pane = self.start()
        pane.click(pane.layout.button("PAUSE"))
        pane.settle()
        subprocess.run([e2e_test.XCLOSE, "Glimmet"], check=True)
        pane.wait(lambda: window_id() is None, "the window to close")
        pane.settle()
        self.assertFalse(pane.dead())
        pane.click(pane.layout.button("STEP"))
        pane.wait(pane.dead, "the program to end")
        self.assertEqual(pane.status(), 0)

    def test_sanitized_run(self):
        """A few seconds of clicks, then the window closed mid-run; run with a
        sanitizer build, its report would land on standard error."""
        pane = self.start()
        rng = random.Random(3)
        cells = Cells(pane.layout)
        for _ in range(10):
            pane.send(b"".join(click_bytes(*rng.choice(cells.all)) for _ in range(10)))
            pane.settle()
        subprocess.run([e2e_test.XCLOSE, "Glimmet"], check=True)
        pane.click(pane.layout.button("STEP", 1))  # in case the clicks left it paused
        pane.wait(pane.dead, "the program to end")
        self.assertEqual(pane.errors(), "")
        self.assertEqual(pane.status(), 0)


if __name__ == "__main__":
    e2e_test.PROGRAM, e2e_test.XCLOSE = sys.argv[1], sys.argv[2]
    lab.use_logs(os.path.join(os.path.dirname(os.path.abspath(sys.argv[1])), "test-logs"))
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
