#!/usr/bin/env python3
"""GLIMMET2 on a desk as a person has it: real terminal emulators (xterm,
which speaks SGR mouse reports, and rxvt-unicode, which speaks the old ones
and obeys requests to resize) under a real window manager (openbox), worked
with the real pointer through xdotool; and GNU screen with its defaults,
which has no alternate screen.

What is checked is what a person would see: the terminal's window before
and after the program, pixel for pixel; the panel read off the terminal's
own pixels (a red X where a count is on, the counter's digits matched
against the panel's own "012345678"); the field window's pixels on the
screen after the terminal was clicked and raised.

Usage: desk_test.py PROGRAM   (DISPLAY set to a private X server without a
window manager; the test starts openbox itself)
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import e2e_test

PROGRAM = None
# The terminals' background, a colour none of the three schemes can give a
# cell (they have no green unless red is full, or are grey), so a terminal
# over the field window shows at once.
BACKGROUND = (0x20, 0x28, 0x30)
CELL_WIDTH, CELL_HEIGHT, BORDER = 6, 13, 2  # the "fixed" font, a 2-pixel border
COLUMNS, ROWS = 100, 40  # large enough to cover the field window at (300, 300)
# The pixels show no text to search, so the controls are found on the panel
# as the end-to-end tests read it off their terminal.
LAYOUT = e2e_test.Layout(e2e_test.STATIC)
SURVIVE = e2e_test.SURVIVE


wait = e2e_test.wait


def read_file(path):
    try:
        with open(path, errors="replace") as f:
            return f.read()
    except FileNotFoundError:
        return ""


def output(*argv):
    return subprocess.run(argv, capture_output=True, text=True).stdout


def find_window(name):
    ids = output("xdotool", "search", "--name", f"^{name}$").split()
    return int(ids[0]) if ids else None


def geometry(window):
    """(x, y, width, height) of the window's client area on the screen."""
    fields = {}
    for line in output("xwininfo", "-id", str(window)).splitlines():
        key, _, value = line.strip().partition(":")
        fields[key] = value.strip()
    return tuple(int(fields[k]) for k in ("Absolute upper-left X", "Absolute upper-left Y",
                                          "Width", "Height"))


class Image:
    """Pixels read back from the X server, as (r, g, b) bytes. A capture
    that comes back empty or short is a failed one and is taken again: two
    failed captures would compare equal."""

    def __init__(self, window="root"):
        wait(lambda: self.capture(window), f"a whole screenshot of window {window}")

    def capture(self, window):
        size = output("xwininfo", *(["-root"] if window == "root" else ["-id", str(window)]))
        try:
            self.width = int(size.split("Width:")[1].split()[0])
            self.height = int(size.split("Height:")[1].split()[0])
        except (IndexError, ValueError):
            return False
        self.data = subprocess.run(["import", "-window", str(window), "-depth", "8", "rgb:-"],
                                   capture_output=True).stdout
        return self.width > 0 and len(self.data) == 3 * self.width * self.height

    def pixel(self, x, y):
        at = 3 * (y * self.width + x)
        return tuple(self.data[at:at + 3])

    def block(self, x, y, width, height):
        return [self.pixel(x + i, y + j) for j in range(height) for i in range(width)]

    def save(self, path):
        subprocess.run(["convert", "-size", f"{self.width}x{self.height}", "-depth", "8",
                        "rgb:-", path], input=self.data)

    def __eq__(self, other):
        return self.data == other.data


class Terminal:
    """A terminal emulator that shows earlier work, then runs the program
    when told and, after it, waits without writing anything."""

    def __init__(self, kind):
        self.kind = kind
        self.dir = tempfile.mkdtemp(prefix="glimmet2-desk-")
        self.go = os.path.join(self.dir, "go")
        os.mkfifo(self.go)
        self.status_file = os.path.join(self.dir, "status")
        self.stderr = os.path.join(self.dir, "stderr")
        ready = os.path.join(self.dir, "ready")
        # Echo off, so that nothing the test does shows on the main screen.
        script = (f'seq -f "earlier line %g" 1 60; printf "$ "; stty -echo; : >{ready}; '
                  f'read _ <{self.go}; {PROGRAM} 2>{self.stderr}; echo $? >{self.status_file}; '
                  f'read _ <{self.go}')
        title = f"glimmet2-desk-{kind}"
        common = ["-geometry", f"{COLUMNS}x{ROWS}+0+0", "-fn", "fixed", "-b", str(BORDER),
                  "-bg", "#%02x%02x%02x" % BACKGROUND, "-fg", "grey"]
        if kind == "xterm":
            # Resize requests obeyed, as some users have it.
            argv = ["xterm", *common, "-T", title, "-xrm", "XTerm*allowWindowOps: true"]
        else:
            argv = ["urxvt", *common, "+sb", "-title", title]
        self.process = subprocess.Popen(argv + ["-e", "sh", "-c", script],
                                        stderr=subprocess.DEVNULL)
        wait(lambda: find_window(title) is not None and os.path.exists(ready), f"{kind} to start")
        self.window = find_window(title)

    def close(self):
        self.process.kill()
        self.process.wait()
        shutil.rmtree(self.dir, ignore_errors=True)

    def release(self):
        """Lets the script go on to its next step."""
        with open(self.go, "w") as f:
            f.write("\n")

    def status(self):
        return e2e_test.read_status(self.status_file)

    def errors(self):
        with open(self.stderr) as f:
            return f.read()

    def shot(self):
        return Image(self.window)

    def click(self, row, column, times=1):
        x, y = geometry(self.window)[:2]
        x += BORDER + (column - 1) * CELL_WIDTH + CELL_WIDTH // 2
        y += BORDER + (row - 1) * CELL_HEIGHT + CELL_HEIGHT // 2
        # Not --sync: it waits many seconds when the pointer is there already.
        subprocess.run(["xdotool", "mousemove", str(x), str(y)], check=True)
        wait(lambda: output("xdotool", "getmouselocation").startswith(f"x:{x} y:{y} "),
             f"the pointer to get to {x}, {y}")
        subprocess.run(["xdotool", "click", "--repeat", str(times), "--delay", "80", "1"],
                       check=True)

    # Reading the panel off the terminal's pixels.
    def cell(self, image, row, column):
        return image.block(BORDER + (column - 1) * CELL_WIDTH, BORDER + (row - 1) * CELL_HEIGHT,
                           CELL_WIDTH, CELL_HEIGHT)

    def red(self, row, column):
        return any(r > 150 and g < 100 and b < 100 for r, g, b in self.cell(self.shot(), row, column))

    def counter(self):
        """The generation counter as a number, or None while it cannot be read.
        Digits 0 to 8 stand in the heading of the rule rows in the same
        colours; the one digit that matches none of them is 9."""
        image = self.shot()
        heading_row, heading = LAYOUT.find("012345678")
        digits = {tuple(self.cell(image, heading_row, heading + d)): str(d) for d in range(9)}
        row, first = LAYOUT.counter()
        blank = tuple(self.cell(image, row, first - 1))
        text = ""
        for column in range(first, first + 8):
            cell = tuple(self.cell(image, row, column))
            if cell == blank:
                return None
            text += digits.get(cell, "9")
        return int(text)


class Desk(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.wm = subprocess.Popen(["openbox"], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
        wait(lambda: "window id" in output("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"),
             "openbox to start")

    @classmethod
    def tearDownClass(cls):
        cls.wm.terminate()
        cls.wm.wait()

    def settle(self, term):
        """Returns once every click made before has been handled: a count
        clicked after them has turned red, and clicked again, grey."""
        for red in (True, False):
            term.click(*LAYOUT.count(SURVIVE, 8))
            wait(lambda: term.red(*LAYOUT.count(SURVIVE, 8)) == red, "a click to be answered")

    def assert_field_in_view(self):
        glimmet = find_window("Glimmet")
        self.assertIsNotNone(glimmet, "no field window")
        x, y, width, height = geometry(glimmet)
        screen = Image().block(x, y, width, height)
        covered = sum(p == BACKGROUND for p in screen)
        self.assertEqual(covered, 0, f"the terminal covers {covered} pixels of the field window")

    def work_the_panel(self, kind):
        term = Terminal(kind)
        self.addCleanup(term.close)
        # Focused, as it is when the user types the command, and as it is
        # again after the click on QUIT: a terminal draws its cursor hollow
        # without the focus.
        subprocess.run(["xdotool", "windowactivate", "--sync", str(term.window)], check=True)
        shots = [term.shot()]
        wait(lambda: shots.append(term.shot()) or shots[-1] == shots[-2],
             "the terminal does not settle")
        before = shots[-1]
        size = geometry(term.window)[2:]
        term.release()
        wait(lambda: find_window("Glimmet") is not None, "no field window")
        wait(lambda: (term.counter() or 0) > 0, "no panel in the terminal")

        term.click(*LAYOUT.count(SURVIVE, 0))  # survive with 0 neighbours: on
        wait(lambda: term.red(*LAYOUT.count(SURVIVE, 0)), "the toggle to show")
        self.assert_field_in_view()

        term.click(*LAYOUT.button("PAUSE", 1))
        self.settle(term)
        count, picture = term.counter(), Image(find_window("Glimmet"))
        self.settle(term)
        self.assertEqual(term.counter(), count, "generations ran while paused")
        self.assertEqual(Image(find_window("Glimmet")), picture)
        self.assert_field_in_view()

        term.click(*LAYOUT.button("STEP", 1))
        wait(lambda: term.counter() == count + 1, "STEP ran no generation")
        wait(lambda: Image(find_window("Glimmet")) != picture,
             "the field window to change after STEP")
        term.click(*LAYOUT.button("STEP", 1), times=2)  # a double click is two clicks
        wait(lambda: term.counter() == count + 3, "a double click on STEP")
        self.settle(term)
        self.assertEqual(term.counter(), count + 3)
        self.assertEqual(geometry(term.window)[2:], size, "the terminal changed its size")

        term.click(*LAYOUT.button("QUIT", 2))
        wait(lambda: term.status() is not None, "QUIT did not end the program")
        self.assertEqual(term.status(), 0)
        self.assertEqual(term.errors(), "")
        self.assertEqual(geometry(term.window)[2:], size, "the terminal changed its size")
        try:
            wait(lambda: term.shot() == before, "the terminal to show what it showed before")
        except AssertionError as e:
            keep = os.path.join(os.path.dirname(PROGRAM), "test-failures", f"desk-{kind}")
            os.makedirs(keep, exist_ok=True)
            before.save(os.path.join(keep, "before.png"))
            term.shot().save(os.path.join(keep, "after.png"))
            self.fail(f"{e}; see {keep}")

    def test_xterm(self):
        self.work_the_panel("xterm")

    def test_rxvt_unicode(self):
        self.work_the_panel("urxvt")


class ScreenDefaults(unittest.TestCase):
    """GNU screen ignores the alternate screen unless told otherwise."""

    def test_no_panel_left_after_quit(self):
        folder = tempfile.mkdtemp(prefix="glimmet2-desk-screen-")
        self.addCleanup(shutil.rmtree, folder, True)
        name = f"glimmet2-desk-{os.getpid()}"
        status = os.path.join(folder, "status")
        subprocess.run(["screen", "-c", "/dev/null", "-dmS", name, "sh", "-c",
                        f"echo earlier work; {PROGRAM} 2>/dev/null; echo $? >{status}; "
                        "exec sleep 600"], check=True)
        self.addCleanup(subprocess.run, ["screen", "-S", name, "-X", "quit"],
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def shown():
            copy = os.path.join(folder, f"copy-{time.monotonic_ns()}")
            # The session may not take commands yet right after it starts.
            if subprocess.run(["screen", "-S", name, "-X", "hardcopy", copy],
                              capture_output=True).returncode != 0:
                return ""
            wait(lambda: os.path.exists(copy), "screen's hardcopy")
            return read_file(copy)

        wait(lambda: "GLIMMET2 - Cellular Automata Toy" in shown(), "no panel in screen")
        row, column = LAYOUT.button("QUIT", 2)
        subprocess.run(["screen", "-S", name, "-X", "stuff",
                        f"\x1b[<0;{column};{row}M\x1b[<0;{column};{row}m"],
                       check=True)
        wait(lambda: read_file(status) != "", "QUIT did not end the program")
        self.assertEqual(read_file(status).strip(), "0")
        left = shown()
        for text in ("GLIMMET2", "neighbors", "Generation", "QUIT"):
            self.assertNotIn(text, left, "the panel was left on the screen")


if __name__ == "__main__":
    PROGRAM = sys.argv[1]
    unittest.main(argv=sys.argv[:1] + sys.argv[2:], verbosity=2)
