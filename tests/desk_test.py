#!/usr/bin/env python3
"""GLIMMET2 on a desk as a person has it: real terminal emulators (xterm,
which speaks SGR mouse reports, and rxvt-unicode, which speaks the old ones
and obeys requests to resize) under a real window manager (openbox, icewm),
on one screen and on two monitors, worked with the real pointer through
xdotool; GNU screen with its defaults, which has no alternate screen; sway
and weston; and the desks most people have, GNOME on Wayland and on Xorg
and KDE's kwin on Wayland, with GNOME Terminal and Konsole maximized.

What is checked is what a person would see: the terminal's window before
and after the program, pixel for pixel; the panel read off the terminal's
own pixels (a red X where a count is on, the counter's digits matched
against the panel's own "012345678"); the field window's pixels on the
screen. Each terminal is a place of the laboratory's (lab.Place), and each
desk a row of DESKS, which names the scenarios (lab.SCENARIOS) and the
desk's own checks run there.

Usage: desk_test.py PROGRAM XCLOSE   (DISPLAY set to a private X server
without a window manager; the test starts the window managers itself)
"""
import json
import os
import shlex
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest

import lab
from lab import (LAYOUT, Image, PanelReader, Place, click_at, find_red_cell,
                 find_window, frame_of, geometry, output, point_to, read_file, read_status,
                 start_once_again, wait, within)

PROGRAM = XCLOSE = None
# The terminals' background, a colour none of the three schemes can give a
# cell (they have no green unless red is full, or are grey), so a terminal
# over the field window shows at once.
BACKGROUND = (0x20, 0x28, 0x30)
BORDER = 2  # xterm's and rxvt-unicode's, around the "fixed" font
COLUMNS, ROWS = 100, 40  # large enough to cover the field window at (300, 300)


def xprop(window, name):
    return output("xprop", "-id", str(window), name).strip()


def save_failure(name, **images):
    """Keeps pictures of a failed check beside the build; says where."""
    keep = os.path.join(os.path.dirname(PROGRAM), "test-failures", f"desk-{name}")
    os.makedirs(keep, exist_ok=True)
    for label, image in images.items():
        image.save(os.path.join(keep, f"{label}.png"))
    return keep


class Terminal(PanelReader, Place):
    """A terminal emulator on an X desk that shows earlier work and marks
    its top-left cell, then runs the program each time it is released,
    `runs` times; after each run its shell reads, for half a second,
    whatever input is left for it. Then it waits without writing anything."""

    def __init__(self, kind, runs=1, place="+0+0", columns=COLUMNS, rows=ROWS, font=None,
                 monitors=None):
        self.kind, self.monitors = kind, monitors
        self.dir = tempfile.mkdtemp(prefix="glimmet2-desk-")
        self.go = os.path.join(self.dir, "go")
        os.mkfifo(self.go)
        self.status_file = os.path.join(self.dir, "status")
        self.stderr = lab.log_path(f"glimmet2-in-{kind}")
        self.left = os.path.join(self.dir, "left")
        ready = os.path.join(self.dir, "ready")
        # Echo off, so that nothing the test does shows on the main screen;
        # the red cell at the top-left gives the cells' place and size.
        script = (f'seq -f "earlier line %g" 1 60; printf "$ "; stty -echo; '
                  f'printf "\\033[H\\033[41m \\033[0m"; : >{ready}; '
                  f'for run in $(seq {runs}); do read _ <{self.go}; '
                  f'{PROGRAM} 2>>{self.stderr}; echo $? >>{self.status_file}; '
                  f'stty -icanon min 0 time 5; dd bs=4096 count=1 2>/dev/null >>{self.left}; '
                  f'stty icanon; done; read _ <{self.go}')
        title = f"glimmet2-desk-{kind}"
        colours = ["-bg", "#%02x%02x%02x" % BACKGROUND, "-fg", "grey"]
        common = ["-geometry", f"{columns}x{rows}{place}", *(font or ["-fn", "fixed"]),
                  "-b", str(BORDER), *colours]
        env = dict(os.environ, XDG_CONFIG_HOME=self.dir)  # GTK terminals keep theirs here
        if kind == "xterm":
            # Resize requests obeyed, as some users have it.
            argv = ["xterm", *common, "-T", title, "-xrm", "XTerm*allowWindowOps: true"]
        elif kind == "urxvt":
            argv = ["urxvt", *common, "+sb", "-title", title]
        command = ["-e", "sh", "-c", script]
        if kind == "sakura":
            # Both GTK terminals take their command as one string, parsed as
            # a shell would.
            argv, command = ["sakura", "-c", str(columns), "-r", str(rows)], ["-x"]
        elif kind == "lxterminal":
            argv, command = ["lxterminal", "--no-remote", f"--geometry={columns}x{rows}"], ["-e"]
        if kind in ("sakura", "lxterminal"):
            command.append("sh -c " + shlex.quote(script))
        self.process = None

        def start():
            self.process = lab.start(argv + command, kind, env=env)
            wait(lambda: self.find() is not None and os.path.exists(ready), f"{kind} to start",
                 logs=[self.process], alive=self.process)
            self.window = self.find()
            wait(self.measure, f"the marked cell in {kind}", logs=[self.process],
                 alive=self.process)
        try:
            start_once_again(start, kind, stop=self.stop)
        except AssertionError:
            shutil.rmtree(self.dir, ignore_errors=True)
            raise

    def stop(self):
        if self.process is not None:
            self.process.kill()
            self.process.wait()

    def find(self):
        if self.kind in ("xterm", "urxvt"):
            return find_window(f"glimmet2-desk-{self.kind}")
        # The GTK terminals name their window after what runs in them.
        ids = output("xdotool", "search", "--onlyvisible", "--pid",
                     str(self.process.pid)).split()
        return int(ids[-1]) if ids else None

    def measure(self):
        """Finds the red cell: the origin of the text and the cells' size."""
        image = self.shot()
        found = find_red_cell(image.crop(0, 0, min(image.width, 80), min(image.height, 80)))
        if found:
            self.origin, self.cell_size = found
        return found is not None

    def close(self):
        self.stop()
        shutil.rmtree(self.dir, ignore_errors=True)

    def logs(self):
        return [self.process, self.stderr]

    def runs_done(self):
        return len(read_file(self.status_file).split())

    def release(self):
        """Lets the script go on to its next step."""
        with open(self.go, "w") as f:
            f.write("\n")

    def start(self):
        """Once the terminal shows the same twice in a row, the program."""
        shots = [self.shot()]
        wait(lambda: shots.append(self.shot()) or shots[-1] == shots[-2],
             "the terminal to settle")
        self.before, self.size = shots[-1], geometry(self.window)[2:]
        self.release()
        wait(lambda: find_window("Glimmet") is not None, "the field window", logs=self.logs())
        wait(lambda: (self.counter() or 0) > 0, "the generations", logs=self.logs())

    def status(self):
        """The exit status of the last run, or None before the first ends."""
        statuses = read_file(self.status_file).split()
        return int(statuses[-1]) if statuses else None

    def errors(self):
        return read_file(self.stderr)

    def leftover(self):
        """What the shell read after the runs: input that nobody typed."""
        with open(self.left, "rb") as f:
            return f.read()

    def shot(self):
        return Image(self.window)

    def on(self, cell):
        return self.red(*cell)

    def picture(self):
        return Image(find_window("Glimmet")).data

    def close_field(self):
        subprocess.run([XCLOSE, "Glimmet"], check=True)

    def field_frame(self):
        glimmet = find_window("Glimmet")
        return frame_of(glimmet) if glimmet else None

    def cell_rect(self, row, column):
        """(x, y, width, height) of a cell of the terminal on the screen."""
        x, y = geometry(self.window)[:2]
        width, height = self.cell_size
        return (x + self.origin[0] + (column - 1) * width,
                y + self.origin[1] + (row - 1) * height, width, height)

    def centre(self, row, column):
        x, y, width, height = self.cell_rect(row, column)
        return x + width // 2, y + height // 2

    def click(self, cell, times=1):
        click_at(*self.centre(*cell), times)

    def given_back(self, test):
        """The terminal's size never changed, and it shows what it showed
        before, pixel for pixel."""
        test.assertEqual(geometry(self.window)[2:], self.size, "the terminal changed its size")
        try:
            wait(lambda: self.shot() == self.before, "the terminal to show what it showed before")
        except AssertionError as e:
            test.fail(f"{e}; see {save_failure(self.kind, before=self.before, after=self.shot())}")


# A laptop's screen at x = 0, bottom-aligned beside a larger one, as Xorg's
# dummy driver gives them: (300, 300) lies above the laptop's screen, off
# both.
LAPTOP_BESIDE_LARGER = [(0, 672, 1368, 768), (1368, 0, 2560, 1440)]
LARGE_CELLS = ["-fa", "DejaVuSansMono", "-fs", "13"]

DUMMY_CONFIG = """Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 256000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0 - 1000.0
  VertRefresh 5.0 - 200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 3928 1440
  EndSubSection
EndSection
"""


class Desk(unittest.TestCase):
    """A kind of desk: each of a row's checks runs on the desk as the row
    starts it (`start_desk`, which gives the place the check works on) and
    ends with everything the check and the start left behind. A check is a
    scenario of lab.SCENARIOS, or a method check_<name> of the kind."""

    def run_desk(self, name):
        row = DESKS[name]
        for check in row["checks"]:
            with self.subTest(check=check):
                try:
                    place = self.start_desk(name, row, check)
                    if check in lab.SCENARIOS:
                        lab.run_scenario(self, place, check)
                    else:
                        getattr(self, "check_" + check)(place, name)
                finally:
                    self.doCleanups()

    def use_display(self, display):
        """DISPLAY names this desk's X server until the check ends."""
        former = os.environ.get("DISPLAY")
        os.environ["DISPLAY"] = display
        self.addCleanup(os.environ.__setitem__, "DISPLAY", former)


class X11Desks(Desk):
    """An X server (one Xvfb screen, or two monitors on Xorg's dummy
    driver), a window manager, and the row's terminal showing earlier work,
    started afresh for each check."""

    def start_desk(self, name, desk, check):
        monitors = desk.get("monitors")
        if monitors:
            self.start_monitors(monitors)
        wm = lab.start(desk["wm"])
        self.addCleanup(wm.end)
        self.wait_for_window_manager(wm)
        columns, rows = desk.get("size", (COLUMNS, ROWS))
        term = Terminal(desk["terminal"], runs=16 if check == "quick_quits" else 1,
                        place=desk.get("place", "+0+0"), columns=columns, rows=rows,
                        font=desk.get("font"), monitors=monitors)
        self.addCleanup(term.close)
        # Focused, as it is when the user types the command.
        subprocess.run(["xdotool", "windowactivate", "--sync", str(term.window)], check=True)
        return term

    def wait_for_window_manager(self, wm):
        """Returns once the window manager frames new windows. It says it
        runs before it is ready for them, and a window mapped meanwhile
        may never show (openbox: one start in eight here): probe windows
        are mapped until one is framed."""
        for _ in range(5):
            probe = lab.start(["xterm", "-T", "glimmet2-wm-probe", "-geometry", "10x2+900+900",
                               "-e", "sleep", "600"], "wm-probe")
            try:
                framed = within(lambda: find_window("glimmet2-wm-probe") is not None and "=" in
                                xprop(find_window("glimmet2-wm-probe"), "_NET_FRAME_EXTENTS"), 10)
            finally:
                probe.kill()
                probe.wait()
            wait(lambda: find_window("glimmet2-wm-probe") is None, "the probe window to go")
            if framed:
                return
        self.fail(f"{wm.name} framed none of five windows{lab.tail(wm.log)}")

    def start_monitors(self, monitors):
        """An Xorg of its own on the dummy driver, its outputs laid out as
        `monitors`; DISPLAY names it until the check ends."""
        if os.geteuid() != 0:
            self.skipTest("Xorg takes a configuration of the test's own only from root")
        folder = tempfile.mkdtemp(prefix="glimmet2-monitors-")
        self.addCleanup(shutil.rmtree, folder, True)
        config = os.path.join(folder, "xorg.conf")
        with open(config, "w") as f:
            f.write(DUMMY_CONFIG)
        xorg = lab.XServer(["Xorg", "-config", config, "-logfile", lab.log_path("Xorg-own")],
                           "Xorg")
        self.addCleanup(xorg.stop)
        self.use_display(xorg.display)
        layout = ["xrandr"]
        for number, (x, y, width, height) in enumerate(monitors):
            mode = f"{width}x{height}"
            if mode not in output("xrandr"):
                subprocess.run(["xrandr", "--newmode", mode, "200", str(width), str(width + 8),
                                str(width + 16), str(width + 24), str(height), str(height + 1),
                                str(height + 2), str(height + 3)], check=True)
            subprocess.run(["xrandr", "--addmode", f"DUMMY{number}", mode], check=True)
            layout += ["--output", f"DUMMY{number}", "--mode", mode, "--pos", f"{x}x{y}"]
        subprocess.run(layout, check=True)
        wait(lambda: output("xrandr", "--listmonitors").startswith(f"Monitors: {len(monitors)}"),
             "the monitors to be laid out")

    def check_quick_quits(self, term, name):
        """A tap on QUIT, the button held 2 ms, sixteen times: the release
        that follows the press so closely must never reach the shell."""
        runs = 16
        for run in range(1, runs + 1):
            term.release()
            wait(lambda: find_window("Glimmet") is not None, f"run {run}: the field window",
                 logs=term.logs())
            wait(lambda: (term.counter() or 0) > 0, f"run {run}: the generations")
            point_to(*term.centre(*LAYOUT.button("QUIT", 1)))
            subprocess.run(["xdotool", "mousedown", "1", "sleep", "0.002", "mouseup", "1"],
                           check=True)
            wait(lambda: term.runs_done() == run, f"run {run}: QUIT to end the program",
                 logs=term.logs())
            wait(lambda: find_window("Glimmet") is None, f"run {run}: the window to close")
        self.assertEqual(read_file(term.status_file).split(), ["0"] * runs)
        self.assertEqual(term.errors(), "")
        self.assertEqual(term.leftover(), b"", "typed at the shell after QUIT")

    def check_above_its_terminal_only(self, term, name):
        """A terminal without WINDOWID: the field becomes a transient of the
        window that had the focus, the terminal's, and another window raised
        over the terminal covers the field too."""
        term.start()
        glimmet = find_window("Glimmet")
        self.assertEqual(xprop(glimmet, "WM_TRANSIENT_FOR"),
                         f"WM_TRANSIENT_FOR(WINDOW): window id # {hex(term.window)}")
        self.assertNotIn("_NET_WM_STATE_ABOVE", xprop(glimmet, "_NET_WM_STATE"))
        x, y, width, height = geometry(glimmet)
        other = lab.start(["xterm", "-geometry", "60x30+%d+%d" % (x - 40, y - 40),
                           "-bg", "#%02x%02x%02x" % BACKGROUND, "-T", "glimmet2-other"], "other")
        self.addCleanup(other.end)
        wait(lambda: find_window("glimmet2-other") is not None, "the other window",
             logs=[other])
        subprocess.run(["xdotool", "windowactivate", "--sync", str(find_window("glimmet2-other"))],
                       check=True)
        wait(lambda: all(p == BACKGROUND for p in Image().block(x, y, width, height)),
             "the other window to cover the field")
        subprocess.run(["xdotool", "windowactivate", "--sync", str(term.window)], check=True)
        lab.step_quit(self, term)

    def check_at_its_corner(self, term, name):
        term.start()
        self.assertEqual(frame_of(find_window("Glimmet"))[:2], (300, 300))
        lab.step_quit(self, term)


class ScreenDefaults(unittest.TestCase):
    """GNU screen ignores the alternate screen unless told otherwise."""

    def test_no_panel_left_after_quit(self):
        folder = tempfile.mkdtemp(prefix="glimmet2-desk-screen-")
        self.addCleanup(shutil.rmtree, folder, True)
        name = f"glimmet2-desk-{os.getpid()}"
        status = os.path.join(folder, "status")
        stderr = lab.log_path("glimmet2-in-screen")
        subprocess.run(["screen", "-c", "/dev/null", "-dmS", name, "sh", "-c",
                        f"echo earlier work; {PROGRAM} 2>{stderr}; echo $? >{status}; "
                        "exec sleep 600"], check=True)
        self.addCleanup(subprocess.run, ["screen", "-S", name, "-X", "quit"], capture_output=True)

        def shown():
            copy = os.path.join(folder, f"copy-{time.monotonic_ns()}")
            # The session may not take commands yet right after it starts.
            if subprocess.run(["screen", "-S", name, "-X", "hardcopy", copy],
                              capture_output=True).returncode != 0:
                return ""
            wait(lambda: os.path.exists(copy), "screen's hardcopy")
            return read_file(copy)

        wait(lambda: "GLIMMET2 - Cellular Automata Toy" in shown(), "the panel in screen",
             logs=[stderr])
        row, column = LAYOUT.button("QUIT", 2)
        subprocess.run(["screen", "-S", name, "-X", "stuff",
                        lab.click_bytes(row, column).decode()], check=True)
        wait(lambda: read_file(status) != "", "QUIT to end the program", logs=[stderr])
        self.assertEqual(read_file(status).strip(), "0")
        left = shown()
        for text in ("GLIMMET2", "neighbors", "Generation", "QUIT"):
            self.assertNotIn(text, left, "the panel was left on the screen")


# The script a Wayland terminal runs: the red cell, then the program when
# told, its status, and a wait.
def wayland_script(folder, program):
    return (f'printf "\\033[H\\033[2J\\033[41m \\033[0m"; : >{folder}/ready; '
            f'read _ <{folder}/go; {program} 2>{folder}/stderr; echo $? >{folder}/status; '
            f'read _ <{folder}/go')


class WaylandTerminal(PanelReader, Place):
    """A terminal of a Wayland desk (foot, GNOME Terminal, Konsole), which
    the program cannot see, running the program once. The desk gives what
    differs from desk to desk: `run` starts a command there, `shoot` gives
    a PPM of the screen, `click_at` clicks a point of it, and `desk` answers
    for the field window (field_frame, picture, close_field)."""

    def __init__(self, folder, program, run, shoot, click_at, terminal, desk, cannot=None):
        self.folder, self.shoot, self.click_at, self.desk = folder, shoot, click_at, desk
        self.cannot = cannot or {}
        os.mkfifo(os.path.join(folder, "go"), 0o666)
        self.process = None

        # foot stays up as it runs its command; GNOME Terminal's client
        # hands it to a server and ends.
        def start():
            self.process = run([*terminal, "sh", "-c", wayland_script(folder, program)])
            stays = self.process if terminal[0] == "foot" else None
            wait(lambda: os.path.exists(os.path.join(folder, "ready")), f"{terminal[0]} to start",
                 logs=self.logs(), alive=stays)
            wait(self.measure, f"the marked cell in {terminal[0]}", logs=self.logs(), alive=stays)
        start_once_again(start, terminal[0], stop=self.close)

    def measure(self):
        found = find_red_cell(Image(ppm=self.shoot))
        if found:
            self.screen_origin, self.cell_size = found
            self.origin = self.screen_origin
        return found is not None

    def shot(self):
        return Image(ppm=self.shoot)

    def cell_rect(self, row, column):
        width, height = self.cell_size
        return (self.screen_origin[0] + (column - 1) * width,
                self.screen_origin[1] + (row - 1) * height, width, height)

    def cell_centre(self, row, column):
        x, y, width, height = self.cell_rect(row, column)
        return x + width // 2, y + height // 2

    def click(self, cell, times=1):
        for _ in range(times):
            self.click_at(*self.cell_centre(*cell))

    def release(self):
        with open(os.path.join(self.folder, "go"), "w") as f:
            f.write("\n")

    def start(self):
        self.marked_at = (self.screen_origin, self.cell_size)
        self.release()
        self.desk.wait_for_field(self)
        wait(lambda: (self.counter() or 0) > 0, "the generations", logs=self.logs())

    def on(self, cell):
        return self.red(*cell)

    def picture(self):
        return self.desk.picture(self)

    def close_field(self):
        self.desk.close_field(self)

    def field_frame(self):
        return self.desk.field_frame()

    def status(self):
        return read_status(os.path.join(self.folder, "status"))

    def errors(self):
        return read_file(os.path.join(self.folder, "stderr"))

    def logs(self):
        return [self.process, os.path.join(self.folder, "stderr")]

    def given_back(self, test):
        """The terminal's main screen is back: its marked cell shows where
        it did (the panel has none there)."""
        wait(lambda: self.measure() and (self.screen_origin, self.cell_size) == self.marked_at,
             "the terminal's marked cell to show again")

    def close(self):
        if self.process is not None:
            self.process.kill()
            self.process.wait()


# What a terminal's place cannot do where the program is a native Wayland
# client (sway, weston).
NATIVE_WAYLAND = {"covers no control": "Wayland lets no program choose where its window goes"}


def find_node(tree, name):
    """A window's node in sway's tree, or None."""
    if tree.get("name") == name:
        return tree
    for child in tree.get("nodes", []) + tree.get("floating_nodes", []):
        if found := find_node(child, name):
            return found
    return None


class Sway(Desk):
    """Native Wayland: sway without a display of its own (headless, no
    Xwayland), started once for all its checks, the row's terminal in it,
    and the program with only WAYLAND_DISPLAY set. sway will not run as
    root, so everything there runs as nobody then; wayvnc gives the
    headless seat its pointer."""

    @classmethod
    def setUpClass(cls):
        # A folder of its own in /tmp: the test run's scratch folder is closed
        # to other users.
        cls.dir = tempfile.mkdtemp(prefix="glimmet2-sway-", dir="/tmp")
        os.chmod(cls.dir, 0o755)
        cls.runtime = os.path.join(cls.dir, "run")
        os.mkdir(cls.runtime, 0o700)
        cls.program = os.path.join(cls.dir, "glimmet2")
        shutil.copy(PROGRAM, cls.program)
        config = os.path.join(cls.dir, "config")
        with open(config, "w") as f:
            f.write("output HEADLESS-1 resolution 1280x1024\nxwayland disable\n"
                    "default_border normal\n")
        cls.as_user = []
        if os.geteuid() == 0:
            os.chown(cls.runtime, 65534, 65534)
            cls.as_user = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
        cls.env = {"PATH": os.environ["PATH"], "HOME": cls.runtime,
                   "XDG_RUNTIME_DIR": cls.runtime, "WLR_BACKENDS": "headless",
                   "WLR_LIBINPUT_NO_DEVICES": "1", "WLR_RENDERER": "pixman",
                   "GLIMMET2_TEST_RUN": os.environ.get("GLIMMET2_TEST_RUN", "")}
        cls.sway = cls.vnc = None

        def start():
            cls.env.pop("WAYLAND_DISPLAY", None)
            cls.env.pop("SWAYSOCK", None)
            for name in os.listdir(cls.runtime):
                path = os.path.join(cls.runtime, name)
                shutil.rmtree(path) if os.path.isdir(path) else os.remove(path)
            cls.sway = cls.start(["sway", "-c", config])
            wait(lambda: cls.sockets(), "sway's sockets", logs=[cls.sway])
            cls.env["WAYLAND_DISPLAY"], cls.env["SWAYSOCK"] = cls.sockets()
            with socket.socket() as probe:  # a free port for wayvnc
                probe.bind(("127.0.0.1", 0))
                port = probe.getsockname()[1]
            cls.vnc = cls.start(["wayvnc", "127.0.0.1", str(port)])
            wait(lambda: "pointer" in cls.swaymsg("-t", "get_seats"), "wayvnc's pointer",
                 logs=[cls.sway, cls.vnc])
        try:
            start_once_again(start, "sway with wayvnc", stop=cls.stop)
        except AssertionError:
            shutil.rmtree(cls.dir, ignore_errors=True)
            raise

    @classmethod
    def stop(cls):
        for process in (cls.vnc, cls.sway):
            if process is not None:
                process.end()
        cls.sway = cls.vnc = None

    @classmethod
    def tearDownClass(cls):
        cls.stop()
        shutil.rmtree(cls.dir, ignore_errors=True)

    @classmethod
    def start(cls, argv):
        return lab.start(cls.as_user + ["env", "-i"] +
                         [f"{k}={v}" for k, v in cls.env.items()] + argv, argv[0])

    @classmethod
    def sockets(cls):
        names = os.listdir(cls.runtime)
        wayland = [n for n in names if n.startswith("wayland-") and not n.endswith(".lock")]
        ipc = [n for n in names if n.startswith("sway-ipc")]
        return (wayland[0], os.path.join(cls.runtime, ipc[0])) if wayland and ipc else None

    @classmethod
    def swaymsg(cls, *args):
        return subprocess.run(cls.as_user + ["env", "-i"] +
                              [f"{k}={v}" for k, v in cls.env.items()] + ["swaymsg", *args],
                              capture_output=True, text=True).stdout

    def start_desk(self, name, row, check):
        if check == "crisp_on_an_output_at_200_percent":
            self.swaymsg("output", "HEADLESS-1", "scale", "2", "scale_filter", "linear")
            self.addCleanup(self.swaymsg, "output", "HEADLESS-1", "scale", "1",
                            "scale_filter", "smart")
        folder = tempfile.mkdtemp(dir=self.dir)
        os.chmod(folder, 0o777)
        term = WaylandTerminal(folder, self.program, self.start, self.grim, self.click_at,
                               row["terminal"], self, NATIVE_WAYLAND)
        self.addCleanup(term.close)
        return term

    def grim(self):
        return subprocess.run(self.as_user + ["env", "-i"] +
                              [f"{k}={v}" for k, v in self.env.items()] +
                              ["grim", "-t", "ppm", "-"], capture_output=True).stdout

    def field(self):
        """The field window's node in sway's tree, or None."""
        tree = self.swaymsg("-t", "get_tree")
        return find_node(json.loads(tree), "Glimmet") if tree else None

    def wait_for_field(self, term):
        wait(lambda: self.field() is not None, "the field window", logs=term.logs())

    def field_frame(self):
        node = self.field()
        if node is None:
            return None
        rect = node["rect"]
        return rect["x"], rect["y"], rect["width"], rect["height"]

    def picture(self, term):
        node = self.field()
        x = node["rect"]["x"] + node["window_rect"]["x"]
        y = node["rect"]["y"] + node["window_rect"]["y"]
        return Image(ppm=self.grim).crop(x, y, 100, 100).data

    def close_field(self, term):
        self.swaymsg('[title="Glimmet"]', "kill")

    def click_at(self, x, y):
        self.swaymsg("seat", "-", "cursor", "set", str(x), str(y))
        self.swaymsg("seat", "-", "cursor", "press", "button1")
        self.swaymsg("seat", "-", "cursor", "release", "button1")
        # sway draws the pointer into its screenshots: out of the panel's way.
        self.swaymsg("seat", "-", "cursor", "set", "1270", "1010")

    def check_floats_at_its_size(self, term, name):
        term.start()
        node = self.field()
        self.assertEqual(node["type"], "floating_con", "the field window is tiled")
        self.assertEqual((node["window_rect"]["width"], node["window_rect"]["height"]), (100, 100))
        shown = term.picture()
        self.assertGreater(len(set(shown[i:i + 3] for i in range(0, len(shown), 3))), 2,
                           "no field in the window")
        lab.step_close_box(self, term)

    def check_crisp_on_an_output_at_200_percent(self, term, name):
        """An output scaled to 200 %, and the smoothing some compositors
        scale with (set as the desk starts): the field, drawn in the
        output's own pixels, shows every cell as a 2 x 2 square of one
        colour."""
        term.start()
        node = self.field()
        self.assertEqual((node["window_rect"]["width"], node["window_rect"]["height"]), (100, 100))
        x = 2 * (node["rect"]["x"] + node["window_rect"]["x"])
        y = 2 * (node["rect"]["y"] + node["window_rect"]["y"])
        shown = Image(ppm=self.grim)
        self.assertGreater(len(set(shown.block(x, y, 200, 200))), 2, "no field in the window")
        blurred = [(i, j) for j in range(y, y + 200, 2) for i in range(x, x + 200, 2)
                   if len(set(shown.block(i, j, 2, 2))) != 1]
        self.assertEqual(blurred, [], "cells that are not 2 x 2 squares of one colour")
        lab.step_close_box(self, term)


class Weston(Desk):
    """Native Wayland with a frame drawn by the program's side (libdecor):
    weston's X11 backend, a window on the test's X server that gives weston
    a seat and takes xdotool's clicks, the row's terminal in it, the
    program with only WAYLAND_DISPLAY set."""

    # A weston of its own for each check: it places windows where its random
    # numbers say, the same sequence each time it starts.
    def start_desk(self, name, row, check):
        self.dir = tempfile.mkdtemp(prefix="glimmet2-weston-")
        os.chmod(self.dir, 0o700)
        self.env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        self.env.update(XDG_RUNTIME_DIR=self.dir, WAYLAND_DISPLAY="wayland-glimmet2")
        self.weston = None

        def stop():
            if self.weston is not None:
                self.weston.end()
                self.weston = None

        def start():
            self.weston = lab.start(
                ["weston", "--backend=x11-backend.so", "--width=1000", "--height=700",
                 "--socket=wayland-glimmet2", "--idle-time=0"],
                env=dict(os.environ, XDG_RUNTIME_DIR=self.dir))
            wait(lambda: os.path.exists(os.path.join(self.dir, "wayland-glimmet2")), "weston",
                 logs=[self.weston])
            wait(lambda: self.output() is not None, "weston's window", logs=[self.weston])
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.addCleanup(stop)
        start_once_again(start, "weston", stop=stop)
        # weston follows the pointer only once it has entered its window, and
        # the window opened under it: out, and in again.
        subprocess.run(["xdotool", "mousemove", "1270", "1010"], check=True)
        wait(lambda: output("xdotool", "getmouselocation").startswith("x:1270 "), "the pointer")
        folder = tempfile.mkdtemp(dir=self.dir)
        term = WaylandTerminal(folder, PROGRAM, self.run_there, self.shoot, self.click_at,
                               row["terminal"], self, NATIVE_WAYLAND)
        self.addCleanup(term.close)
        return term

    def output(self):
        """weston's window on the X server: (id, x, y)."""
        for line in output("xwininfo", "-root", "-tree").splitlines():
            if "Weston Compositor" in line:
                window = int(line.split()[0], 16)
                return (window, *geometry(window)[:2])
        return None

    def shoot(self):
        return subprocess.run(["import", "-window", str(self.output()[0]), "-depth", "8", "ppm:-"],
                              capture_output=True).stdout

    def run_there(self, argv):
        return lab.start(argv, env=self.env)

    def click_at(self, x, y):
        _, left, top = self.output()
        click_at(left + x, top + y)

    def changes(self, term):
        """The field window's picture on weston's screen, (x, y, width,
        height): where the screen changes beside the counter as
        generations run; None while nothing changes there."""
        row, first = LAYOUT.counter()
        counter = (*term.cell_centre(row, first), *term.cell_size)
        before = Image(ppm=self.shoot)
        time.sleep(0.3)  # a sample of the running field, not a wait for it
        after = Image(ppm=self.shoot)
        changed = [(x, y) for y in range(40, after.height) for x in range(after.width)
                   if before.pixel(x, y) != after.pixel(x, y) and
                   not (abs(y - counter[1]) <= counter[3] and
                        counter[0] - counter[2] <= x <= counter[0] + 8 * counter[2])]
        if not changed:
            return None
        xs, ys = [x for x, _ in changed], [y for _, y in changed]
        return min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1

    def whole_field(self, term):
        found = []
        wait(lambda: found.append(self.changes(term)) or
             (found[-1] or (0, 0, 0, 0))[2:] == (100, 100), "the field window to show the field",
             logs=term.logs())
        return found[-1]

    def wait_for_field(self, term):
        self.field = self.whole_field(term)
        # weston places windows where it likes and raises what is clicked:
        # a click on an empty cell beside the panel brings the terminal up.
        term.click((20, 60))

    def field_frame(self):
        return self.field

    def picture(self, term):
        x, y, width, height = self.field
        return Image(ppm=self.shoot).crop(x, y, width, height).data

    def close_field(self, term):
        """A click on the field brings its window up, another on libdecor's
        close button, at its top right, closes it."""
        found = []
        wait(lambda: found.append(self.changes(term)) or found[-1] is not None,
             "a part of the field in view")
        x, y, width, height = found[-1]
        self.click_at(x + width // 2, y + height // 2)
        x, y, width, height = self.whole_field(term)
        self.click_at(x + width - 12, y - 16)


class BigDesks(Desk):
    """The desks most people have: a compositor or window manager started
    on an X server of the test's own, in a D-Bus session of its own, the
    row's terminal maximized, its panel at the screen's top-left. On
    Wayland the terminal is a Wayland client that the program cannot see,
    and the program's X server is the compositor's Xwayland."""

    def start_desk(self, name, row, check):
        self.start_x_server()
        self.start_session(name, row)
        return self.maximized_terminal(name, row)

    def start_x_server(self):
        self.dir = tempfile.mkdtemp(prefix="glimmet2-big-", dir="/tmp")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.marker = f"GLIMMET2_DESK={self.dir}"
        server = lab.xvfb(env=dict(os.environ, GLIMMET2_DESK=self.dir))
        self.addCleanup(server.stop)
        self.display = server.display
        self.started = []
        self.addCleanup(lambda: [p.wait() for p in self.started])
        self.addCleanup(self.end_desk)
        self.use_display(self.display)  # for xdotool, import and xwininfo
        # One move made through XTEST after the server starts: without it
        # mutter passes warped pointers on to no Wayland client.
        subprocess.run(["xdotool", "mousemove_relative", "1", "0"], check=True)

    def end_desk(self):
        """Ends everything the desk started. An Xwayland that had to be
        killed leaves its socket and lock behind: the displays whose lock
        names a process of the desk's are noted with the run, and their
        files go once their servers have."""
        ours = set(lab.marked(self.marker))
        numbers = set()
        for name in os.listdir("/tmp"):
            if name.startswith(".X") and name.endswith("-lock"):
                try:
                    if int(read_file(f"/tmp/{name}").strip()) in ours:
                        numbers.add(name[2:-5])
                except ValueError:
                    pass
        for number in numbers:
            lab.register_x_display(number)
        lab.end_marked(self.marker)
        for number in numbers:
            lab.remove_dead_x_files(number)

    def start_session(self, name, desk):
        """gnome-shell now and then hangs as it starts (a child it forks
        stalls before it runs Xwayland): a desk that is not ready in a
        minute is ended and started again, twice at most."""
        for path, text in desk.get("files", {}).items():
            os.makedirs(os.path.dirname(os.path.join(self.dir, path)), exist_ok=True)
            with open(os.path.join(self.dir, path), "w") as f:
                f.write(text)
        for attempt in range(3):
            if self.try_desk(name, desk):
                break
            self.end_desk()
        else:
            self.fail(f"{name} did not start in three tries" +
                      "".join(lab.tail(p.log) for p in self.started))
        # D-Bus starts GNOME Terminal's server with the bus's environment.
        subprocess.run(["dbus-update-activation-environment", "DISPLAY", "WAYLAND_DISPLAY",
                        "XAUTHORITY", "XDG_RUNTIME_DIR", "GLIMMET2_DESK", "HOME",
                        "XDG_CONFIG_HOME", "XDG_DATA_HOME"], env=self.env, check=True,
                       capture_output=True, timeout=60)

    def try_desk(self, name, desk):
        """One start of the desk, in a runtime folder of its own; true once
        it is ready for the terminal."""
        self.runtime = tempfile.mkdtemp(prefix="run-", dir=self.dir)
        # kwin_wayland carries a file capability that root may not use: a
        # copy has none.
        kwin = os.path.join(self.dir, "kwin_wayland")
        if "{kwin}" in desk["session"] and not os.path.exists(kwin):
            shutil.copy(shutil.which("kwin_wayland"), kwin)
        system_bus = os.path.join(self.runtime, "system-bus")
        self.env = dict(os.environ, GLIMMET2_DESK=self.dir, HOME=self.dir,
                        XDG_RUNTIME_DIR=self.runtime, XDG_CONFIG_HOME=self.dir + "/config",
                        XDG_DATA_HOME=self.dir + "/data",
                        DBUS_SYSTEM_BUS_ADDRESS=f"unix:path={system_bus}", **desk["env"])
        self.env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        # gnome-shell will not start without a system bus to ask.
        self.run_there(["dbus-daemon", "--session", "--nofork",
                        f"--address=unix:path={system_bus}"])
        session = [a.format(kwin=kwin, display=self.display) for a in desk["session"]]
        bus = os.path.join(self.runtime, "session-bus")
        # The session bus's address for the terminal; the compositor runs in
        # that bus's session and the bus ends with it.
        self.run_there(["dbus-run-session", "--", "sh", "-c",
                        f'echo "$DBUS_SESSION_BUS_ADDRESS" >{bus}.new && mv {bus}.new {bus}'
                        ' && exec "$@"', "session", *session])
        if not within(lambda: os.path.exists(bus) and os.path.exists(system_bus), 60):
            return False
        self.env["DBUS_SESSION_BUS_ADDRESS"] = read_file(bus).strip()
        if not desk["wayland"]:
            return within(lambda: "window id" in output("xprop", "-root",
                                                        "_NET_SUPPORTING_WM_CHECK"), 60)
        if not within(lambda: self.wayland_socket() is not None and
                      self.xwayland() is not None, 60):
            return False
        self.env["WAYLAND_DISPLAY"] = self.wayland_socket()
        # The program's X server: the compositor's Xwayland.
        self.env["DISPLAY"], auth = self.xwayland()
        if auth:
            self.env["XAUTHORITY"] = auth
        return True

    def wayland_socket(self):
        names = [n for n in os.listdir(self.runtime)
                 if n.startswith("wayland-") and not n.endswith(".lock")]
        return names[0] if names else None

    def xwayland(self):
        """(DISPLAY, XAUTHORITY) of the desk's Xwayland, once it answers."""
        for pid in lab.marked(self.marker):
            try:
                with open(f"/proc/{pid}/cmdline", "rb") as f:
                    words = f.read().decode(errors="replace").split("\0")
            except OSError:
                continue
            if not (words[0].endswith("Xwayland") and len(words) > 1 and
                    words[1].startswith(":")):
                continue
            auth = words[words.index("-auth") + 1] if "-auth" in words else ""
            env = dict(self.env, DISPLAY=words[1], XAUTHORITY=auth)
            try:
                answered = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                          env=env, capture_output=True, timeout=10)
            except subprocess.TimeoutExpired:
                continue
            if answered.returncode == 0:
                return words[1], auth
        return None

    def maximized_terminal(self, name, desk):
        folder = os.path.join(self.dir, "term")
        os.mkdir(folder)
        term = WaylandTerminal(folder, PROGRAM, self.run_there, self.shoot,
                               self.click_at, desk["terminal"], self)
        if "maximize_key" in desk:
            subprocess.run(["xdotool", "key", desk["maximize_key"]], check=True)

        # Maximized, the panel's corner is the work area's. GNOME starts in
        # its overview, where Escape leads to the desktop.
        def maximized():
            if term.measure() and term.origin[0] < 10 and term.origin[1] < 120:
                return True
            subprocess.run(["xdotool", "key", "Escape"], check=True)
            time.sleep(0.5)  # the overview's animation, before the next look
            return False
        wait(maximized, f"{name}'s terminal to be maximized", logs=term.logs())
        return term

    def field_window(self):
        ids = output("xdotool", "search", "--name", "^Glimmet$", env=self.env).split()
        return int(ids[0]) if ids else None

    def wait_for_field(self, term):
        wait(lambda: self.field_window() is not None, "the field window", logs=term.logs())

    def field_frame(self):
        """The field window with its frame, on the program's X server."""
        window = self.field_window()
        return frame_of(window, self.env) if window else None

    def picture(self, term):
        return subprocess.run(["import", "-window", str(self.field_window()), "-depth", "8",
                               "rgb:-"], env=self.env, capture_output=True).stdout

    def close_field(self, term):
        subprocess.run([XCLOSE, "Glimmet"], env=self.env, check=True)

    def run_there(self, argv):
        self.started.append(lab.start(argv, env=self.env))
        return self.started[-1]

    def shoot(self):
        """The screen's top-left, where a maximized terminal's panel is."""
        return subprocess.run(["import", "-window", "root", "-crop", "640x480+0+0", "+repage",
                               "-depth", "8", "ppm:-"], capture_output=True).stdout

    def click_at(self, x, y):
        # A warp alone names no device, and mutter then tells no Wayland
        # client of it: a move through XTEST after it does.
        subprocess.run(["xdotool", "mousemove", str(x + 1), str(y), "mousemove_relative", "--",
                        "-1", "0"], check=True)
        wait(lambda: output("xdotool", "getmouselocation").startswith(f"x:{x} y:{y} "),
             "the pointer")
        subprocess.run(["xdotool", "click", "1"], check=True)


# Every desk, a row each: the kind of desk that starts it (its server,
# compositor or window manager, and how its pointer clicks), what is
# started there, the terminal, and the checks made: scenarios of
# lab.SCENARIOS, or methods of its kind named check_<name>. A new desk of a
# known kind is a row here.
DESKS = {
    "openbox-xterm": dict(desk=X11Desks, wm=["openbox"], terminal="xterm",
                          checks=["work the panel", "close the field", "quick_quits"]),
    "openbox-urxvt": dict(desk=X11Desks, wm=["openbox"], terminal="urxvt",
                          checks=["work the panel"]),
    "openbox-sakura": dict(desk=X11Desks, wm=["openbox"], terminal="sakura",
                           checks=["quick_quits"]),
    "openbox-lxterminal": dict(desk=X11Desks, wm=["openbox"], terminal="lxterminal",
                               size=(80, 24), checks=["above_its_terminal_only"]),
    "icewm-sakura": dict(desk=X11Desks, wm=["icewm"], terminal="sakura", size=(80, 24),
                         checks=["work the panel"]),
    "icewm-xterm-right": dict(desk=X11Desks, wm=["icewm"], terminal="xterm", size=(80, 24),
                              place="+700+0", checks=["at_its_corner"]),
    "two-monitors-openbox": dict(desk=X11Desks, monitors=LAPTOP_BESIDE_LARGER, wm=["openbox"],
                                 terminal="xterm", size=(80, 24), place="+0+672",
                                 font=LARGE_CELLS, checks=["work the panel"]),
    "two-monitors-icewm": dict(desk=X11Desks, monitors=LAPTOP_BESIDE_LARGER, wm=["icewm"],
                               terminal="xterm", size=(80, 24), place="+0+672",
                               checks=["close the field"]),
    "sway-foot": dict(desk=Sway, terminal=("foot", "-e"),
                      checks=["work the panel", "floats_at_its_size",
                              "crisp_on_an_output_at_200_percent"]),
    "weston-foot": dict(desk=Weston, terminal=("foot", "-e"),
                        checks=["work the panel", "close the field"]),
    "gnome-wayland": dict(
        desk=BigDesks, session=["gnome-shell", "--nested", "--wayland"], wayland=True,
        env=dict(XDG_SESSION_TYPE="wayland", XDG_CURRENT_DESKTOP="GNOME",
                 MUTTER_DEBUG_DUMMY_MODE_SPECS="1280x1024"),
        terminal=["gnome-terminal", "--maximize", "--"],
        checks=["work the panel"]),
    "gnome-xorg": dict(
        desk=BigDesks, session=["gnome-shell", "--x11", "--replace"], wayland=False,
        env=dict(XDG_SESSION_TYPE="x11", XDG_CURRENT_DESKTOP="GNOME"),
        terminal=["gnome-terminal", "--maximize", "--"],
        checks=["work the panel"]),
    # Konsole at 11 pt, where the old corner covered STEP and QUIT.
    "kde-wayland": dict(
        desk=BigDesks,
        session=["{kwin}", "--x11-display", "{display}", "--xwayland", "--width", "1280",
                 "--height", "1024", "--socket", "wayland-glimmet2"], wayland=True,
        env=dict(XDG_SESSION_TYPE="wayland", XDG_CURRENT_DESKTOP="KDE",
                 KDE_FULL_SESSION="true", QT_QPA_PLATFORM="wayland"),
        files={"data/konsole/Glimmet.profile":
               "[Appearance]\nFont=DejaVu Sans Mono,11,-1,5,50,0,0,0,0,0\n"
               "[General]\nName=Glimmet\n"},
        terminal=["konsole", "--profile", "Glimmet", "-e"], maximize_key="super+Prior",
        checks=["work the panel"]),
}

for _name, _row in DESKS.items():
    setattr(_row["desk"], "test_" + _name.replace("-", "_"),
            lambda self, name=_name: self.run_desk(name))


if __name__ == "__main__":
    PROGRAM, XCLOSE = sys.argv[1], sys.argv[2]
    lab.use_logs(os.path.join(os.path.dirname(os.path.abspath(PROGRAM)), "test-logs"))
    # Without a session bus, GLib and SDL would each start one of their own
    # that outlives the test: the desks that want one make one.
    os.environ.setdefault("DBUS_SESSION_BUS_ADDRESS", "disabled:")
    os.environ["NO_AT_BRIDGE"] = "1"
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
