#!/usr/bin/env python3
"""GLIMMET2 under load, faults and hostile input, used as in e2e_test.py:
a long run under random clicks, garbage on the terminal, the terminal or the
X server going away, the window closed while paused, and a short run that a
sanitizer build must get through without a report.

Usage: faults_test.py PROGRAM XCLOSE [unittest arguments]   (DISPLAY set)
"""
import os
import random
import subprocess
import sys
import time
import unittest

import e2e_test
from e2e_test import GREY, RED, STATIC, Pane, alive, window_id

# Every hit area and every gap of the panel, QUIT left out.
CLICKABLE = ([(r, c) for r in (5, 6) for c in range(26, 40)] +
             [(8, c) for c in range(27, 44)] + [(10, c) for c in range(27, 42)] +
             [(14, c) for c in range(26, 40)] + [(r, c) for r in (1, 3, 7, 9, 12, 13)
                                                 for c in (1, 20, 30, 44)])


GARBAGE_SENDS = 100  # of 300 bytes each
SOAK_GENERATIONS = 200000
SOAK_CLICKS = 3000
SOAK_DEADLINE = 300  # seconds; a healthy run on a busy 2-core machine needs a third

PAUSE = (14, 28)
RANDOM_RULE = {(5, 38), (6, 38)}
RESEED = {(10, c) for c in range(30, 40)}
ORDINARY = [cell for cell in CLICKABLE if cell not in RANDOM_RULE | RESEED]


def click_bytes(row, col):
    return f"\x1b[<0;{col};{row}M\x1b[<0;{col};{row}m".encode()


class PanelModel:
    """What the panel's widgets must show after a series of clicks."""

    def __init__(self):
        self.rules = {5: {5}, 6: {3, 4, 5}}
        self.drawn = set()  # rows whose rule was drawn at random since last read
        self.growth = 4
        self.paused = False

    def click(self, row, col):
        if row in (5, 6) and 28 <= col <= 36:
            self.rules[row] ^= {col - 28}
        elif row in (5, 6) and col == 38:
            self.drawn.add(row)
        elif row == 8 and 30 <= col <= 39:
            self.growth = col - 30
        elif row == 14 and 27 <= col <= 31:
            self.paused = not self.paused

    def rows(self):
        rule = lambda row: "".join("X" if d in self.rules[row] else "|" for d in range(9))
        slider = "-" * self.growth + "X" + "-" * (9 - self.growth)
        return [rule(5), rule(6), slider]

    def matches(self, pane):
        shown, want = pane.widgets(), self.rows()
        for i, row in enumerate((5, 6)):
            if row in self.drawn:
                if len(shown[i]) != 9 or set(shown[i]) - set("X|"):
                    return False
            elif shown[i] != want[i]:
                return False
        return shown[2] == want[2]

    def read_drawn_rules(self, pane):
        shown = pane.widgets()
        for i, row in enumerate((5, 6)):
            if row in self.drawn:
                self.rules[row] = {d for d in range(9) if shown[i][d] == "X"}
        self.drawn.clear()


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def remove_files(*paths):
    for path in paths:
        try:
            os.remove(path)
        except FileNotFoundError:
            pass


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
    def start(self, **kwargs):
        pane = Pane(**kwargs)
        self.addCleanup(pane.close)
        pane.wait(lambda: window_id() is not None or pane.dead(), "no window")
        pane.wait(lambda: pane.counter() not in ("", "00000000"), "the first generations")
        return pane

    def assert_panel_intact(self, pane):
        rows = pane.capture()
        for r in range(1, 15):
            line = "".join(ch for ch, _ in rows[r - 1])[:44]
            if r in (5, 6):
                self.assertEqual(line[:27], STATIC[r - 1][:27])
                self.assertEqual(line[36:].rstrip(), " ?")
                for ch, colour in rows[r - 1][27:36]:
                    self.assertIn(ch, "X|")
                    self.assertEqual(colour, RED if ch == "X" else GREY)
            elif r == 8:
                self.assertRegex(line.rstrip(), r"^              Growth rate: 0 -*X-* 100$")
                self.assertEqual(len(line.rstrip()), 43)
            elif r == 12:
                self.assertRegex(line.rstrip(), r"^               Generation: \d{8}$")
            else:
                self.assertEqual(line.rstrip(), STATIC[r - 1], f"row {r}")

    def test_soak_under_random_clicks(self):
        """Batches of random clicks, each written to the terminal at once; after
        every batch the panel must show exactly what the clicks made of it, so
        no click is lost or doubled, and the generations must go on."""
        pane = self.start()
        pid = pane.program_pid()
        pane.wait(lambda: int(pane.counter() or 0) >= 10000, "10 000 generations")
        baseline = resident_kib(pid)
        rng = random.Random(20261209)
        model = PanelModel()
        total, previous, clicks, batches = 0, int(pane.counter()), 0, 0
        started = time.time()
        while (total < SOAK_GENERATIONS or clicks < SOAK_CLICKS) and \
                time.time() < started + SOAK_DEADLINE:
            batch = [rng.choice(ORDINARY) for _ in range(25)]
            # A reseed sets the counter back, so seldom one, or the run
            # would need long to reach its generations.
            if rng.random() < 0.1:
                batch.insert(rng.randrange(len(batch)), rng.choice(sorted(RESEED)))
            # The slider moved after the draw shows when it has been made, if
            # it goes where no click before it took it.
            unused = set(range(10)) - {model.growth} - {c - 30 for r, c in batch if r == 8}
            for cell in batch:
                model.click(*cell)
            # A drawn rule cannot be foreseen: draw at most one, last, and
            # read it back once everything before it has shown.
            if unused and rng.random() < 0.3:
                drawn = rng.choice(sorted(RANDOM_RULE))
                for cell in (drawn, (8, 30 + rng.choice(sorted(unused)))):
                    batch.append(cell)
                    model.click(*cell)
            if model.paused:  # end each batch running, so generations go on
                batch.append(PAUSE)
                model.click(*PAUSE)
            pane.send(b"".join(click_bytes(*cell) for cell in batch))
            clicks += len(batch)
            batches += 1
            pane.wait(lambda: model.matches(pane),
                      f"batch {batches}: the panel shows {pane.widgets()}, "
                            f"the clicks made {model.rows()}")
            model.read_drawn_rules(pane)
            now = int(pane.counter())
            reseeded = any(cell in RESEED for cell in batch)
            total += now if now < previous or reseeded else now - previous
            if now < previous:
                self.assertTrue(reseeded, f"counter fell from {previous} to {now} without a reseed")
            first = now
            pane.wait(lambda: int(pane.counter()) != first,
                      f"batch {batches}: the generations stopped")
            previous = int(pane.counter())
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
        pane.click(14, 41)
        pane.wait(pane.dead, "the program to end")
        self.assertEqual(pane.status(), 0)

    def test_garbage_on_the_terminal(self):
        pane = self.start()
        before = [pane.text(r) for r in (5, 6, 8)]
        rng = random.Random(7)
        for _ in range(GARBAGE_SENDS):
            pane.send(garbage(rng, 300))
        pane.settle()
        self.assertFalse(pane.dead())
        self.assertEqual([pane.text(r) for r in (5, 6, 8)], before)
        self.assert_panel_intact(pane)
        first = int(pane.counter())
        pane.wait(lambda: int(pane.counter()) > first, "the counter to go on")
        pane.click(14, 43)
        pane.wait(pane.dead, "the program to end")
        self.assertEqual(pane.status(), 0)
        self.assertNotRegex(pane.errors(), "Sanitizer|runtime error")

    def test_the_terminal_goes_away(self):
        pane = self.start()
        pid = pane.program_pid()
        subprocess.run(pane.tmux + ["kill-pane", "-t", "g"])
        pane.wait(lambda: not alive(pid), "still running after its terminal went away")

    def test_the_terminal_goes_away_under_nohup(self):
        """With hang-ups ignored, the failing reads end the program instead."""
        pane = self.start(program=f"trap '' HUP; {e2e_test.PROGRAM}")
        subprocess.run(pane.tmux + ["kill-pane", "-t", "g"])
        pane.wait(pane.dead, "still running after its terminal went away")
        self.assertEqual(pane.status(), 1)
        self.assertEqual(pane.errors(), "glimmet2: the terminal went away\n")

    def test_the_x_server_goes_away(self):
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-noreset", "-screen", "0",
                                 "640x480x24", "-nolisten", "tcp"], stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL)
        number = xvfb.stdout.readline().decode().strip()
        xvfb.stdout.close()
        # A killed server leaves its socket and lock behind.
        self.addCleanup(remove_files, f"/tmp/.X11-unix/X{number}", f"/tmp/.X{number}-lock")
        try:
            pane = Pane(display=":" + number)
            self.addCleanup(pane.close)
            pane.wait(lambda: pane.counter() not in ("", "00000000"), "the first generations")
        finally:
            xvfb.kill()
            xvfb.wait()
        pane.wait(pane.dead, "still running after X went away")
        self.assertNotEqual(pane.status(), 0)
        lines = pane.errors().splitlines()
        self.assertEqual(lines, ["glimmet2: lost the connection to the X server"])
        flags = pane.display("#{alternate_on} #{mouse_any_flag} #{cursor_flag}")
        self.assertEqual(flags, "0 0 1")

    def test_window_closed_while_paused(self):
        pane = self.start()
        pane.click(14, 27)
        pane.settle()
        count = pane.counter()
        subprocess.run([e2e_test.XCLOSE, "Glimmet"], check=True)
        pane.wait(lambda: window_id() is None, "the window to close")
        pane.settle()
        self.assertFalse(pane.dead(), "ended while paused")
        self.assertEqual(pane.counter(), count)
        pane.click(14, 40)
        pane.wait(pane.dead, "the program to end")
        self.assertEqual(pane.status(), 0)

    def test_window_closed_while_paused_then_step(self):
        pane = self.start()
        pane.click(14, 27)
        pane.settle()
        subprocess.run([e2e_test.XCLOSE, "Glimmet"], check=True)
        pane.wait(lambda: window_id() is None, "the window to close")
        pane.settle()
        self.assertFalse(pane.dead())
        pane.click(14, 33)
        pane.wait(pane.dead, "the program to end")
        self.assertEqual(pane.status(), 0)

    def test_sanitized_run(self):
        """A few seconds of clicks, then the window closed mid-run; run with a
        sanitizer build, its report would land on standard error."""
        pane = self.start()
        rng = random.Random(3)
        for _ in range(10):
            pane.send(b"".join(click_bytes(*rng.choice(CLICKABLE)) for _ in range(10)))
            pane.settle()
        subprocess.run([e2e_test.XCLOSE, "Glimmet"], check=True)
        pane.click(14, 34)  # in case the clicks left it paused
        pane.wait(pane.dead, "the program to end")
        self.assertEqual(pane.errors(), "")
        self.assertEqual(pane.status(), 0)


if __name__ == "__main__":
    e2e_test.PROGRAM, e2e_test.XCLOSE = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
