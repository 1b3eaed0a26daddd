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
from e2e_test import GREY, RED, STATIC, Pane, window_id

# Every hit area and every gap of the panel, QUIT left out.
CLICKABLE = ([(r, c) for r in (5, 6) for c in range(26, 40)] +
             [(8, c) for c in range(27, 44)] + [(10, c) for c in range(27, 42)] +
             [(14, c) for c in range(26, 40)] + [(r, c) for r in (1, 3, 7, 9, 12, 13)
                                                 for c in (1, 20, 30, 44)])


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
    def start(self, **kwargs):
        pane = Pane(**kwargs)
        self.addCleanup(pane.close)
        self.assertTrue(pane.wait(lambda: window_id() is not None or pane.dead(), 10), "no window")
        self.assertTrue(pane.wait(lambda: pane.counter() not in ("", "00000000"), 10))
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
        pane = self.start()
        pid = pane.program_pid()
        self.assertTrue(pane.wait(lambda: int(pane.counter() or 0) >= 10000, 30))
        baseline = resident_kib(pid)
        rng = random.Random(20261209)
        total, previous, reseeded, pending_pause = 0, int(pane.counter()), False, False
        clicks, started = 0, time.time()
        deadline = started + 240
        while total < 200000 and time.time() < deadline:
            # A PAUSE is undone by the next click, so the run is seldom paused.
            cell = (14, 28) if pending_pause else rng.choice(CLICKABLE)
            pending_pause = cell[0] == 14 and 27 <= cell[1] <= 31 and not pending_pause
            pane.click(*cell)
            clicks += 1
            reseeded |= cell[0] == 10 and 30 <= cell[1] <= 39
            time.sleep(0.014)
            now = int(pane.counter())
            if now < previous:
                self.assertTrue(reseeded, f"counter fell from {previous} to {now} without a reseed")
                total += now
            else:
                total += now - previous
            if now != previous:
                reseeded = reseeded and now < previous
            previous = now
            self.assertFalse(pane.dead(), "the program ended")
        rate = clicks / (time.time() - started)
        self.assertGreaterEqual(total, 200000)
        self.assertGreater(rate, 35, "clicks came too slowly")
        if pending_pause:
            pane.click(14, 28)
        time.sleep(0.5)
        self.assert_panel_intact(pane)
        growth = resident_kib(pid) - baseline
        print(f"\nsoak: {total} generations, {clicks} clicks at {rate:.0f}/s, "
              f"resident {baseline} KiB after 10 000 generations, {baseline + growth} KiB "
              f"at the end", file=sys.stderr)
        self.assertLess(abs(growth), 1024, f"resident memory grew by {growth} KiB")
        pane.click(14, 41)
        self.assertTrue(pane.wait(pane.dead))
        self.assertEqual(pane.status(), 0)

    def test_garbage_on_the_terminal(self):
        pane = self.start()
        before = [pane.text(r) for r in (5, 6, 8)]
        rng = random.Random(7)
        end = time.time() + 4
        while time.time() < end:
            pane.send(garbage(rng, 300))
        time.sleep(0.3)
        self.assertFalse(pane.dead())
        self.assertEqual([pane.text(r) for r in (5, 6, 8)], before)
        self.assert_panel_intact(pane)
        first = int(pane.counter())
        self.assertTrue(pane.wait(lambda: int(pane.counter()) > first))
        pane.click(14, 43)
        self.assertTrue(pane.wait(pane.dead))
        self.assertEqual(pane.status(), 0)
        self.assertNotRegex(pane.errors(), "Sanitizer|runtime error")

    def test_the_terminal_goes_away(self):
        pane = self.start()
        pid = pane.program_pid()
        subprocess.run(pane.tmux + ["kill-pane", "-t", "g"])
        end = time.time() + 1.0
        while time.time() < end and os.path.exists(f"/proc/{pid}"):
            time.sleep(0.02)
        self.assertFalse(os.path.exists(f"/proc/{pid}") and
                         open(f"/proc/{pid}/stat").read().split()[2] != "Z",
                         "still running a second after its terminal went away")

    def test_the_x_server_goes_away(self):
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "640x480x24",
                                 "-nolisten", "tcp"], stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL)
        display = ":" + xvfb.stdout.readline().decode().strip()
        xvfb.stdout.close()
        try:
            pane = Pane(display=display)
            self.addCleanup(pane.close)
            self.assertTrue(pane.wait(lambda: pane.counter() not in ("", "00000000"), 10))
        finally:
            xvfb.kill()
            xvfb.wait()
        self.assertTrue(pane.wait(pane.dead, 1.0), "still running a second after X went away")
        self.assertNotEqual(pane.status(), 0)
        lines = pane.errors().splitlines()
        self.assertEqual(lines, ["glimmet2: lost the connection to the X server"])
        flags = pane.display("#{alternate_on} #{mouse_any_flag} #{cursor_flag}")
        self.assertEqual(flags, "0 0 1")

    def test_window_closed_while_paused(self):
        pane = self.start()
        pane.click(14, 27)
        time.sleep(0.3)
        count = pane.counter()
        subprocess.run([e2e_test.XCLOSE, "Glimmet"], check=True)
        self.assertTrue(pane.wait(lambda: window_id() is None))
        time.sleep(0.5)
        self.assertFalse(pane.dead(), "ended while paused")
        self.assertEqual(pane.counter(), count)
        pane.click(14, 40)
        self.assertTrue(pane.wait(pane.dead, 1.0))
        self.assertEqual(pane.status(), 0)

    def test_window_closed_while_paused_then_step(self):
        pane = self.start()
        pane.click(14, 27)
        time.sleep(0.3)
        subprocess.run([e2e_test.XCLOSE, "Glimmet"], check=True)
        self.assertTrue(pane.wait(lambda: window_id() is None))
        time.sleep(0.3)
        self.assertFalse(pane.dead())
        pane.click(14, 33)
        self.assertTrue(pane.wait(pane.dead, 1.0))
        self.assertEqual(pane.status(), 0)

    def test_sanitized_run(self):
        """A few seconds of clicks, then the window closed mid-run; run with a
        sanitizer build, its report would land on standard error."""
        pane = self.start()
        rng = random.Random(3)
        end = time.time() + 3
        while time.time() < end:
            pane.click(*rng.choice(CLICKABLE))
            time.sleep(0.03)
        subprocess.run([e2e_test.XCLOSE, "Glimmet"], check=True)
        pane.click(14, 34)  # in case the clicks left it paused
        self.assertTrue(pane.wait(pane.dead, 10))
        self.assertEqual(pane.errors(), "")
        self.assertEqual(pane.status(), 0)


if __name__ == "__main__":
    e2e_test.PROGRAM, e2e_test.XCLOSE = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
