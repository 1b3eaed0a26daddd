#!/usr/bin/env python3
"""The machinery every suite that drives GLIMMET2 from outside shares:
waits that name what they wait for, the panel's layout read from its one
golden file, pixels read back from the X server, the panel read off a
terminal's pixels, the real pointer, the mouse reports a terminal sends,
and a start that is tried again once when it does not come up."""
import collections
import os
import re
import subprocess
import sys
import time

# How long any wait may take: enough for a sanitized build on a two-core
# machine whose cores are both kept busy. A healthy run waits far less.
DEADLINE = 120.0

# The panel as a person sees it when the program has started: the default
# rules, the growth rate 4, the counter's digits marked #.
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "panel.txt")) as f:
    STATIC = f.read().split("\n")[:14]
assert len(STATIC) == 14, "panel.txt holds the panel's 14 rows"


# The labels that name the panel's rows of controls.
SURVIVE, BIRTH = "Survive with # neighbors:", "Born with # neighbors:"
GROWTH, DENSITY, GENERATION = "Growth rate:", "New random array:", "Generation:"


class Layout:
    """Where the panel's controls are, found by their texts on a screen
    (its rows of text, row 1 first; positions are (row, column) from 1).
    The count cells stand under the heading "012345678", a rule's "?" at the
    end of its row, the tracks after "0" and "E", the counter after its
    label; a button is its own text."""

    def __init__(self, rows):
        self.rows = list(rows)

    def find(self, text):
        for row, line in enumerate(self.rows, 1):
            column = line.find(text)
            if column >= 0:
                return row, column + 1
        raise AssertionError(f"{text!r} is not on the panel")

    def row_of(self, label):
        return self.find(label)[0]

    def counts(self, label):
        """The first of the nine count cells of a rule's row."""
        return self.row_of(label), self.find("012345678")[1]

    def count(self, label, count):
        row, column = self.counts(label)
        return row, column + count

    def random_rule(self, label):
        row = self.row_of(label)
        return row, self.rows[row - 1].index("?") + 1

    def track(self, label):
        """The first cell of the ten-cell track after the label and its end mark."""
        row, column = self.find(label)
        line = self.rows[row - 1]
        mark_end = line.index(" ", column + len(label))  # 0-based, after "0" or "E"
        return row, mark_end + 2

    def growth(self, rate):
        row, column = self.track(GROWTH)
        return row, column + rate

    def density(self, step):
        row, column = self.track(DENSITY)
        return row, column + step

    def counter(self):
        row, column = self.find(GENERATION)
        return row, column + len(GENERATION) + 1

    def button(self, name, offset=0):
        row, column = self.find(name)
        return row, column + offset

    def controls(self):
        """Every control as name: (row, first column, last column)."""
        named = {}
        for name, label in (("survive", SURVIVE), ("birth", BIRTH)):
            row, column = self.counts(label)
            named[name] = (row, column, column + 8)
            row, column = self.random_rule(label)
            named[name + "?"] = (row, column, column)
        for name, label in (("growth", GROWTH), ("density", DENSITY)):
            row, column = self.track(label)
            named[name] = (row, column, column + 9)
        for name in ("PAUSE", "STEP", "QUIT"):
            row, column = self.find(name)
            named[name] = (row, column, column + len(name) - 1)
        return named

    def control_at(self, row, column):
        """(name, cells from the control's first) of the control there, or (None, 0)."""
        for name, (r, first, last) in self.controls().items():
            if r == row and first <= column <= last:
                return name, column - first
        return None, 0


LAYOUT = Layout(STATIC)


def read_status(path):
    """The exit status the shell wrote to path, or None while there is none."""
    try:
        with open(path) as f:
            return int(f.read())
    except (OSError, ValueError):
        return None


def wait(predicate, what, timeout=DEADLINE):
    """Returns as soon as predicate() is true, polling every 50 ms; fails,
    naming what it waited for, when it is still false after timeout s."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if predicate():
            return
        time.sleep(0.05)
    if not predicate():
        raise AssertionError(f"gave up after {timeout:.0f} s waiting for: {what}")


def alive(pid):
    """True while the process exists and is not a zombie."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except FileNotFoundError:
        return False


def within(predicate, seconds):
    """True as soon as predicate() is, false when it is still false after
    `seconds`: for what may be tried again."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if predicate():
            return True
        time.sleep(0.1)
    return predicate()


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

    def __init__(self, window="root", ppm=None):
        if ppm is None:
            wait(lambda: self.capture(window), f"a whole screenshot of window {window}")
        elif not self.parse(ppm()):
            wait(lambda: self.parse(ppm()), "a whole screenshot")

    def parse(self, data):
        """Takes a binary PPM (P6, 8 bits), as grim writes it."""
        header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
        if header is None:
            return False
        self.width, self.height = int(header[1]), int(header[2])
        self.data = data[header.end():header.end() + 3 * self.width * self.height]
        return self.width > 0 and len(self.data) == 3 * self.width * self.height

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

    def crop(self, x, y, width, height):
        image = Image.__new__(Image)
        image.width, image.height = width, height
        image.data = b"".join(self.data[3 * ((y + j) * self.width + x):
                                        3 * ((y + j) * self.width + x + width)]
                              for j in range(height))
        return image


def reddish(r, g, b):
    """The terminals' reds: xterm's cd0000 and ff0000, foot's cc9393 and dca3a3."""
    return r > 100 and r - max(g, b) > 40


def find_red_cell(image):
    """The origin and size of the red cell a terminal's script marks, near
    the top-left of `image`; None while there is none."""
    marked = reddish

    red = [(x, y) for y in range(image.height) for x in range(image.width)
           if marked(*image.pixel(x, y))]
    if not red:
        return None
    # The cell is one solid patch of one colour; reddish fringes of text,
    # and stray pixels of that colour elsewhere, are not.
    colour = collections.Counter(image.pixel(x, y) for x, y in red).most_common(1)[0][0]
    left = {(x, y) for x, y in red if image.pixel(x, y) == colour}
    patches = []
    while left:
        patch, edge = set(), [left.pop()]
        while edge:
            x, y = edge.pop()
            patch.add((x, y))
            for near in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
                if near in left:
                    left.remove(near)
                    edge.append(near)
        patches.append(patch)
    red = max(patches, key=len)
    xs, ys = [x for x, _ in red], [y for _, y in red]
    size = (max(xs) - min(xs) + 1, max(ys) - min(ys) + 1)
    if not all(3 <= side <= 64 for side in size) or len(red) != size[0] * size[1]:
        return None  # not a cell: a screen still being drawn
    return (min(xs), min(ys)), size


class PanelReader:
    """Reads the panel off a terminal's pixels: shot() gives an image whose
    origin is `origin` from the text's top-left, cells of `cell_size`."""

    def cell(self, image, row, column):
        width, height = self.cell_size
        return image.block(self.origin[0] + (column - 1) * width,
                           self.origin[1] + (row - 1) * height, width, height)

    def red(self, row, column):
        return any(reddish(*p) for p in self.cell(self.shot(), row, column))

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


def click_bytes(row, column, times=1):
    """What a terminal sends for left clicks on a cell: SGR press and release."""
    return (times * f"\x1b[<0;{column};{row}M\x1b[<0;{column};{row}m").encode()


def point_to(x, y):
    """Moves the real pointer to (x, y) and waits until it is there."""
    # Not --sync: it waits many seconds when the pointer is there already.
    subprocess.run(["xdotool", "mousemove", str(x), str(y)], check=True)
    wait(lambda: output("xdotool", "getmouselocation").startswith(f"x:{x} y:{y} "),
         f"the pointer to get to {x}, {y}")


def click_at(x, y, times=1):
    """Clicks the left button at (x, y) with the real pointer."""
    point_to(x, y)
    subprocess.run(["xdotool", "click", "--repeat", str(times), "--delay", "80", "1"],
                   check=True)


def settle(term):
    """Returns once every click made before has been handled: a count
    clicked after them has turned red, and clicked again, grey."""
    for red in (True, False):
        term.click(*LAYOUT.count(SURVIVE, 8))
        wait(lambda: term.red(*LAYOUT.count(SURVIVE, 8)) == red, "a click to be answered")


def start_once_again(start, what, log=None, stop=lambda: None):
    """start() brings something up and waits for it, raising AssertionError
    when it does not come up in time; then stop() ends what it started and
    it is tried once more, as a loaded machine can make a first start miss
    its deadline. A second failure is stopped too, and says what did not
    start and shows its log."""
    try:
        return start()
    except AssertionError as failure:
        print(f"{what} did not start ({failure}); starting it again", file=sys.stderr)
        stop()
    try:
        return start()
    except AssertionError as failure:
        stop()
        shown = read_file(log)[-4000:] if log else ""
        raise AssertionError(f"{what} did not start, twice: {failure}" +
                             (f"\n---- its log:\n{shown}" if shown else "")) from None
