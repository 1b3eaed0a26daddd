#!/usr/bin/env python3
"""The laboratory's machinery, written once for every suite that drives
GLIMMET2 from outside: the panel's layout read from its one golden file;
processes started with their output in a log that a failed wait shows;
waits that name what they wait for; X servers of the tests' own; pixels
read back from the X server and the panel read off a terminal's pixels;
the real pointer; and `Place`, the program running somewhere as a person
meets it, with the one table of scenarios that every place runs.

Run as a program, `lab.py with-xvfb COMMAND...` runs a command on an Xvfb
of its own (what scripts/with-xvfb does)."""
import collections
import itertools
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
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


def read_file(path):
    try:
        with open(path, errors="replace") as f:
            return f.read()
    except (FileNotFoundError, TypeError):
        return ""


# Where the processes a test starts write their output: the run's log
# folder where the runner names one, else one beside the build.
_logs = {"folder": os.environ.get("GLIMMET2_TEST_LOGS"), "count": itertools.count(1)}


def use_logs(folder):
    """Sets the log folder unless the runner has named one."""
    if not _logs["folder"]:
        _logs["folder"] = folder
    os.makedirs(_logs["folder"], exist_ok=True)


def log_path(name):
    """A new log file's path, named after what writes it."""
    folder = _logs["folder"] or os.path.join(os.environ.get("TMPDIR", "/tmp"), "glimmet2-logs")
    os.makedirs(folder, exist_ok=True)
    safe = re.sub(r"[^A-Za-z0-9_.-]+", "-", name)
    return os.path.join(folder, f"{os.getpid()}-{next(_logs['count']):03d}-{safe}.log")


def tail(path, size=3000):
    text = read_file(path)
    return f"\n---- the last of {path}:\n{text[-size:]}" if text else f"\n---- {path} is empty"


class Started(subprocess.Popen):
    """A process with its standard output and error in a log of its own."""

    def __init__(self, argv, name=None, **kwargs):
        self.name = name or os.path.basename(argv[0])
        self.log = log_path(self.name)
        with open(self.log, "ab") as out:
            super().__init__(argv, stdout=out, stderr=subprocess.STDOUT,
                             stdin=kwargs.pop("stdin", subprocess.DEVNULL), **kwargs)

    def end(self):
        """Asked to end, then killed when it will not."""
        if self.poll() is None:
            self.terminate()
            try:
                self.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.kill()
                self.wait()


def start(argv, name=None, **kwargs):
    return Started(argv, name, **kwargs)


def wait(predicate, what, timeout=DEADLINE, logs=(), alive=None):
    """Returns as soon as predicate() is true, polling every 50 ms; fails,
    naming what it waited for and showing the tail of each log given
    (paths, or processes started here), when it is still false after
    timeout s, or at once when `alive`, a process that must stay up for
    it, has ended."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if predicate():
            return
        if alive is not None and alive.poll() is not None:
            shown = "".join(tail(getattr(log, "log", log)) for log in logs)
            raise AssertionError(f"{alive.name} ended with status {alive.returncode} while "
                                 f"waiting for: {what}{shown}")
        time.sleep(0.05)
    if not predicate():
        shown = "".join(tail(getattr(log, "log", log)) for log in logs)
        raise AssertionError(f"gave up after {timeout:.0f} s waiting for: {what}{shown}")


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


def output(*argv, env=None):
    return subprocess.run(argv, capture_output=True, text=True, env=env).stdout


def find_window(name, env=None):
    ids = output("xdotool", "search", "--name", f"^{name}$", env=env).split()
    return int(ids[0]) if ids else None


def geometry(window, env=None):
    """(x, y, width, height) of the window's client area on the screen."""
    fields = {}
    for line in output("xwininfo", "-id", str(window), env=env).splitlines():
        key, _, value = line.strip().partition(":")
        fields[key] = value.strip()
    return tuple(int(fields[k]) for k in ("Absolute upper-left X", "Absolute upper-left Y",
                                          "Width", "Height"))


def frame_of(window, env=None):
    """(x, y, width, height) of a window with its window manager's frame."""
    x, y, width, height = geometry(window, env)
    extents = output("xprop", "-id", str(window), "_NET_FRAME_EXTENTS",
                     env=env).partition("=")[2]
    left, right, top, bottom = (int(v) for v in extents.split(",")) if extents else (0,) * 4
    return x - left, y - top, width + left + right, height + top + bottom


def overlap(a, b):
    return a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3] and b[1] < a[1] + a[3]


def inside(a, b):
    return b[0] <= a[0] and b[1] <= a[1] and a[0] + a[2] <= b[0] + b[2] and a[1] + a[3] <= b[1] + b[3]


def marked(marker, exclude=()):
    """The live processes whose environment holds `marker` (NAME=VALUE),
    this one and `exclude` left out: what a run or a desk started, also
    what left its session (tmux servers, D-Bus services)."""
    needle = marker.encode()
    found = []
    for entry in filter(str.isdigit, os.listdir("/proc")):
        pid = int(entry)
        if pid == os.getpid() or pid in exclude:
            continue
        try:
            with open(f"/proc/{pid}/environ", "rb") as f:
                if needle not in f.read().split(b"\0"):
                    continue
        except OSError:  # gone meanwhile, or not ours to read
            continue
        if alive(pid):
            found.append(pid)
    return found


def end_marked(marker, exclude=()):
    """Ends every process that marked() finds: asked first, so that an X
    server takes its socket and lock with it; killed when it will not go.
    Returns those it found."""
    found = marked(marker, exclude)
    for signal_number in (signal.SIGTERM, signal.SIGKILL):
        for pid in marked(marker, exclude):
            try:
                os.kill(pid, signal_number)
            except OSError:
                pass
        within(lambda: not marked(marker, exclude), 10)
    return found


def register_x_display(number):
    """Notes a display this run's servers hold, so that the check for what
    the run left behind looks at its files and at no one else's."""
    register = os.environ.get("GLIMMET2_X_REGISTER")
    if register:
        with open(register, "a") as f:
            f.write(f"{number}\n")


def remove_dead_x_files(number):
    """A display's socket and lock, once the server that held them is gone
    (a killed server leaves them)."""
    lock = f"/tmp/.X{number}-lock"
    try:
        if alive(int(read_file(lock).strip())):
            return
    except ValueError:
        pass
    for path in (lock, f"/tmp/.X11-unix/X{number}"):
        try:
            os.remove(path)
        except OSError:
            pass


class XServer:
    """An X server of the test's own, Xvfb or Xorg, that picks a free
    display itself (so several can start at once), logs to a file, and is
    registered with the run. -noreset keeps it from resetting when its last
    client leaves: a connection made during such a reset fails."""

    def __init__(self, argv, name, env=None):
        read, write = os.pipe()
        try:
            self.process = start([*argv, "-displayfd", str(write), "-noreset", "-nolisten", "tcp"],
                                 name, pass_fds=(write,), env=env)
        finally:
            os.close(write)
        number = b""
        with os.fdopen(read, "rb") as answer:
            while not number.endswith(b"\n"):
                ready, _, _ = select.select([answer], [], [], DEADLINE)
                piece = os.read(answer.fileno(), 16) if ready else b""
                if not piece:
                    break
                number += piece
        if not number.strip().isdigit():
            self.process.end()
            raise AssertionError(f"{name} did not start{tail(self.process.log)}")
        self.number = number.strip().decode()
        self.display = ":" + self.number
        register_x_display(self.number)

    def stop(self):
        self.process.end()
        remove_dead_x_files(self.number)


def xvfb(screen="1280x1024x24", env=None, name="Xvfb"):
    return XServer(["Xvfb", "-screen", "0", screen], name, env)


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


def settle(place, rate=4):
    """Returns once every click made before has been handled: two clicks on
    the growth track after them, one away from `rate` and one back, have
    each moved the slider's marker there. The program handles clicks in
    order, and a click on the track sets the rate whatever came before."""
    for at in (9 if rate != 9 else 0, rate):
        place.click(LAYOUT.growth(at))
        wait(lambda: place.on(LAYOUT.growth(at)), f"a click on the growth track at {at}",
             logs=place.logs())


class Place:
    """The program running somewhere, seen and clicked as a person would:
    one driver per place it runs (a tmux pane, a terminal on a desk, Wine's
    console, the browser page), each with the same calls:

      start()            starts the program; returns once its generations run
      click(cell, times) left clicks on a cell, (row, column) named through LAYOUT
      on(cell)           true when a count's cell shows the count in its rule
      counter()          the generation counter, or None while it cannot be read
      picture()          what the field window shows, as bytes to compare
      close_field()      closes the field's window as its close box does
      status()           the program's exit status, or None while it runs
      field_frame()      the field window with its frame, (x, y, width, height),
      cell_rect(r, c)    and a cell of the panel, where the screen has them
      given_back(test)   asserts that the terminal or console is as it was

    `cannot` names the steps a place cannot take, and why; `monitors` lists
    the desk's monitors where it has several."""

    cannot = {}
    monitors = None

    def errors(self):
        """What the program wrote to its standard error."""
        return ""

    def logs(self):
        """The logs a failed wait shows: what this place started."""
        return []

    def close(self):
        pass


# The steps of the scenarios, each written once against Place.
def step_panel(test, place):
    """Drawn with the default rules, the counter going."""
    wait(lambda: (place.counter() or 0) > 0, "the generations", logs=place.logs())
    for label, counts in ((SURVIVE, {5}), (BIRTH, {3, 4, 5})):
        shown = {n for n in range(9) if place.on(LAYOUT.count(label, n))}
        test.assertEqual(shown, counts, f"the counts shown on in {label!r}")


def step_covers_no_control(test, place):
    """The field window, frame included, covers no cell of any control,
    and lies on one monitor where there are several."""
    field = place.field_frame()
    test.assertIsNotNone(field, "no field window")
    for control, (row, first, last) in LAYOUT.controls().items():
        for column in range(first, last + 1):
            test.assertFalse(overlap(place.cell_rect(row, column), field),
                             f"the field window {field} covers {control} at {row},{column}")
    if place.monitors:
        test.assertTrue(any(inside(field, m) for m in place.monitors),
                        f"the field window {field} lies on no monitor {place.monitors}")


def step_toggle(test, place):
    cell = LAYOUT.count(SURVIVE, 0)
    place.click(cell)
    wait(lambda: place.on(cell), "survive with 0 neighbours to turn on", logs=place.logs())
    place.click(cell)
    wait(lambda: not place.on(cell), "survive with 0 neighbours to turn off", logs=place.logs())


def step_pause_holds(test, place):
    place.click(LAYOUT.button("PAUSE", 1))
    settle(place)
    place.held, place.held_picture = place.counter(), place.picture()
    settle(place)
    test.assertEqual(place.counter(), place.held, "generations ran while paused")
    test.assertEqual(place.picture(), place.held_picture, "the picture changed while paused")


def step_step(test, place):
    place.click(LAYOUT.button("STEP", 1))
    wait(lambda: place.counter() == place.held + 1, "STEP to run one generation",
         logs=place.logs())
    wait(lambda: place.picture() != place.held_picture, "the picture to change after STEP",
         logs=place.logs())
    settle(place)
    test.assertEqual(place.counter(), place.held + 1, "STEP ran more than one generation")


def step_double_click(test, place):
    place.click(LAYOUT.button("STEP", 2), times=2)
    wait(lambda: place.counter() == place.held + 3, "a double click on STEP to step twice",
         logs=place.logs())
    settle(place)
    test.assertEqual(place.counter(), place.held + 3, "a double click stepped more than twice")


def step_reseed(test, place):
    before = place.picture()
    place.click(LAYOUT.density(9))
    settle(place)
    test.assertEqual(place.picture(), before, "a reseed showed before the next generation")
    place.click(LAYOUT.button("STEP", 3))
    wait(lambda: place.counter() == 1, "STEP after the reseed to count 1", logs=place.logs())
    wait(lambda: place.picture() != before, "the reseeded field to show", logs=place.logs())


def step_quit(test, place):
    place.click(LAYOUT.button("QUIT", 2))
    wait(lambda: place.status() is not None, "QUIT to end the program", logs=place.logs())
    test.assertEqual(place.status(), 0)
    test.assertEqual(place.errors(), "")


def step_close_box(test, place):
    place.close_field()
    wait(lambda: place.status() is not None, "the close box to end the program",
         logs=place.logs())
    test.assertEqual(place.status(), 0)
    test.assertEqual(place.errors(), "")


def step_given_back(test, place):
    place.given_back(test)


STEPS = {"panel": step_panel, "covers no control": step_covers_no_control,
         "toggle": step_toggle, "pause holds": step_pause_holds, "step": step_step,
         "double click": step_double_click, "reseed": step_reseed, "quit": step_quit,
         "close box": step_close_box, "given back": step_given_back}

# Every place runs the scenarios its row names, each in one start of the
# program; a step the place cannot take is reported as skipped, by name.
SCENARIOS = {
    "work the panel": ["panel", "covers no control", "toggle", "pause holds", "step",
                       "double click", "reseed", "quit", "given back"],
    "close the field": ["panel", "covers no control", "close box", "given back"],
}


def run_scenario(test, place, scenario):
    """Runs a scenario's steps on a place started afresh; ends it after."""
    test.addCleanup(place.close)
    place.start()
    for name in SCENARIOS[scenario]:
        if name in place.cannot:
            with test.subTest(step=name):
                test.skipTest(f"{name}: {place.cannot[name]}")
            continue
        # The first step that fails ends the scenario: the later ones
        # build on it.
        try:
            STEPS[name](test, place)
        except AssertionError as failure:
            raise AssertionError(f"step {name!r}: {failure}") from None


def add_scenario_tests(case, places):
    """Adds a test to a TestCase for each place and scenario its row names:
    places maps a name to (a function that makes the place, scenarios)."""
    for name, (make, scenarios) in places.items():
        for scenario in scenarios:
            method = "test_" + re.sub(r"\W+", "_", f"{name} {scenario}")
            setattr(case, method, lambda self, make=make, scenario=scenario:
                    run_scenario(self, make(self), scenario))


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
        raise AssertionError(f"{what} did not start, twice: {failure}" +
                             (tail(log) if log else "")) from None


def with_xvfb(argv):
    """Runs a command on an Xvfb of its own, DISPLAY and XVFB_PID naming it;
    XVFB_SCREEN sets the screen's size, XVFB_CPU the one CPU it runs on."""
    pin = ["taskset", "-c", os.environ["XVFB_CPU"]] if os.environ.get("XVFB_CPU") else []
    own_logs = None
    if not _logs["folder"]:  # outside a run: the server's log goes with it
        own_logs = _logs["folder"] = tempfile.mkdtemp(prefix="glimmet2-xvfb-")
    server = XServer([*pin, "Xvfb", "-screen", "0",
                      os.environ.get("XVFB_SCREEN", "1280x1024x24")], "Xvfb")
    try:
        env = dict(os.environ, DISPLAY=server.display, XVFB_PID=str(server.process.pid))
        command = subprocess.Popen(argv, env=env)
        # The command's own signals end it; this one waits for it.
        for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            signal.signal(number, lambda n, _: command.send_signal(n))
        status = command.wait()
        if status != 0 and own_logs:
            print(tail(server.process.log), file=sys.stderr)
        return status
    finally:
        server.stop()
        if own_logs:
            shutil.rmtree(own_logs, ignore_errors=True)


if __name__ == "__main__":
    if len(sys.argv) > 2 and sys.argv[1] == "with-xvfb":
        sys.exit(with_xvfb(sys.argv[2:]))
    print("usage: lab.py with-xvfb COMMAND...", file=sys.stderr)
    sys.exit(2)
