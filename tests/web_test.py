#!/usr/bin/env python3
"""The browser build as a person meets it: the built site served from
127.0.0.1 and opened in headless Chromium (through tests/web_driver.js,
which answers one JSON request a line), worked with real mouse events on
the panel's cells (found from the terminal's own rectangle), the panel read
back from the terminal, the field read back from the canvas. The page is a
place of the laboratory's (lab.Place): it runs the scenarios every place
runs, and the page's own checks below.

Usage: web_test.py SITE-FOLDER   (NODE_PATH reaching puppeteer-core)
"""
import json
import os
import select
import subprocess
import sys
import unittest

import lab
from lab import LAYOUT, STATIC, Place, wait

SITE = None
COLUMNS, ROWS = 44, 14

ROWS_JS = """(() => {
  if (window.glimmet === undefined) return [];
  const buffer = window.glimmet.terminal.buffer.active;
  return [...Array(14).keys()].map((i) => buffer.getLine(i).translateToString(true));
})()"""
SCREEN_JS = """(() => {
  const r = document.querySelector('#panel .xterm-screen').getBoundingClientRect();
  return [r.x, r.y, r.width, r.height];
})()"""
FRAME_JS = """(() => {
  const w = document.getElementById('window');
  if (w.hidden) return null;
  const r = w.getBoundingClientRect();
  return [r.x, r.y, r.width, r.height];
})()"""
# The canvas's pixels, whether they are the last picture put there, its
# size, its width in device pixels and whether it is opaque.
CANVAS_JS = """(() => {
  const c = document.getElementById('field');
  const data = Array.from(c.getContext('2d').getImageData(0, 0, c.width, c.height).data);
  return { data: data.join(','), size: [c.width, c.height],
           same: window.lastPut !== undefined && data.every((v, i) => v === window.lastPut[i]),
           device: Math.round(c.getBoundingClientRect().width * devicePixelRatio * 1000) / 1000,
           opaque: data.every((v, i) => i % 4 !== 3 || v === 255) };
})()"""
SELECTED_JS = "window.glimmet.terminal.getSelection() + document.getSelection().toString()"


class WebPage(Place):
    """The page in a browser of its own, driven through the driver process."""

    def __init__(self, refuse=()):
        self.log = lab.log_path("web-driver")
        with open(self.log, "ab") as err:
            self.driver = subprocess.Popen(["node", os.path.join(os.path.dirname(__file__),
                                                                 "web_driver.js"), SITE],
                                           stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                           stderr=err)
        self.request("open", refuse=list(refuse))

    def request(self, do, **arguments):
        """The driver's answer to one request; a failure says what failed."""
        self.driver.stdin.write((json.dumps(dict(arguments, do=do)) + "\n").encode())
        self.driver.stdin.flush()
        ready, _, _ = select.select([self.driver.stdout], [], [], lab.DEADLINE)
        line = self.driver.stdout.readline() if ready else b""
        if not line:
            raise AssertionError(f"the browser driver gave no answer to {do}{lab.tail(self.log)}")
        answer = json.loads(line)
        if "error" in answer:
            raise AssertionError(f"the browser driver failed at {do}: {answer['error']}")
        return answer["value"]

    def eval(self, js):
        return self.request("eval", js=js)

    def logs(self):
        return [self.log]

    def start(self):
        generation = LAYOUT.counter()

        def masked(lines):
            return [(line[:generation[1] - 1] if row == generation[0] else line).rstrip()
                    for row, line in enumerate(lines, 1)]
        wait(lambda: masked(self.eval(ROWS_JS)) == masked(STATIC) and (self.counter() or 0) > 0,
             "the panel as drawn and the counter going", logs=self.logs())

    def counter(self):
        rows = self.eval(ROWS_JS)
        row, column = LAYOUT.counter()
        digits = rows[row - 1][column - 1:column + 7] if rows else ""
        return int(digits) if digits.isdigit() else None

    def on(self, cell):
        rows = self.eval(ROWS_JS)
        return bool(rows) and rows[cell[0] - 1][cell[1] - 1] == "X"

    def cell_rect(self, row, column):
        x, y, width, height = self.eval(SCREEN_JS)
        return (x + (column - 1) * width / COLUMNS, y + (row - 1) * height / ROWS,
                width / COLUMNS, height / ROWS)

    def click(self, cell, times=1):
        x, y, width, height = self.cell_rect(*cell)
        self.request("click", x=x + width / 2, y=y + height / 2, count=times)

    def picture(self):
        return self.eval(CANVAS_JS)["data"]

    def close_field(self):
        self.request("clickSelector", selector='button[aria-label="Close"]')

    def status(self):
        status = self.eval("document.body.dataset.status ?? null")
        return None if status is None else int(status)

    def errors(self):
        return "\n".join(self.request("errors"))

    def field_frame(self):
        return self.eval(FRAME_JS)

    def given_back(self, test):
        after = self.eval("""({
          window: document.getElementById('window').hidden,
          buffer: window.glimmet.terminal.buffer.active.type,
          mouse: window.glimmet.terminal.modes.mouseTrackingMode,
          message: document.getElementById('message').textContent })""")
        test.assertEqual(after, {"window": True, "buffer": "normal", "mouse": "none",
                                 "message": "GLIMMET2 has ended."})

    def drag_across_title(self):
        """What a drag along the panel's first row selects."""
        x, y, width, height = self.cell_rect(1, 2)
        self.request("drag", x=x + width / 2, y=y + height / 2, dx=20 * width)
        return self.eval(SELECTED_JS)

    def close(self):
        self.driver.stdin.close()
        try:
            self.driver.wait(timeout=lab.DEADLINE)
        except subprocess.TimeoutExpired:
            self.driver.kill()
            self.driver.wait()
        self.driver.stdout.close()


class Page(unittest.TestCase):
    """What only the page has: its frame and canvas, selection, a second
    start at another scale, a program that cannot be fetched. The
    scenarios every place runs are added from PLACES below."""

    def open(self, **kwargs):
        page = WebPage(**kwargs)
        self.addCleanup(page.close)
        return page

    def assert_field_beside_the_panel(self, page, device):
        """The field's frame lies clear of the panel, and its canvas is
        `device` device pixels across, a whole number of them a cell."""
        lab.step_covers_no_control(self, page)
        self.assertEqual(page.eval(CANVAS_JS)["device"], device, "the field is scaled")

    def test_the_frame_and_its_canvas(self):
        page = self.open()
        page.start()
        self.assertEqual(page.eval("document.getElementById('caption').textContent"), "Glimmet")
        self.assert_field_beside_the_panel(page, 100)
        page.click(LAYOUT.button("PAUSE"))
        lab.settle(page)
        canvas = page.eval(CANVAS_JS)
        self.assertTrue(canvas["same"], "the canvas does not hold the picture put on it")
        self.assertEqual(canvas["size"], [100, 100])
        self.assertTrue(canvas["opaque"], "the field is not opaque")
        self.assertEqual(page.errors(), "")

    def test_a_drag_selects_only_once_given_back(self):
        page = self.open()
        page.start()
        self.assertEqual(page.drag_across_title(), "", "a drag over the panel selected text")
        lab.step_quit(self, page)
        page.eval("new Promise((done) => window.glimmet.terminal.write('\\r words', done))")
        self.assertIn("words", page.drag_across_title(),
                      "the terminal given back selects nothing")

    def test_a_second_start_narrow_at_200_percent(self):
        page = self.open()
        page.start()
        lab.step_quit(self, page)
        page.request("viewport", width=420, height=700, deviceScaleFactor=2)
        page.request("clickSelector", selector="#again")
        wait(lambda: page.eval("document.body.dataset.status === undefined") and
             (page.counter() or 0) > 0, "the second start going", logs=page.logs())
        self.assert_field_beside_the_panel(page, 200)
        lab.step_close_box(self, page)

    def test_a_program_that_cannot_be_fetched_says_so(self):
        page = self.open(refuse=[".wasm"])
        wait(lambda: page.eval("!document.getElementById('status').hidden"),
             "the page's status line", logs=page.logs())
        self.assertEqual(page.eval("document.getElementById('message').textContent"),
                         "GLIMMET2 could not load its program: reload the page.")


PLACES = {"chromium": (lambda test: WebPage(), ["work the panel", "close the field"])}
lab.add_scenario_tests(Page, PLACES)


if __name__ == "__main__":
    SITE = os.path.abspath(sys.argv[1])
    lab.use_logs(os.path.join(os.path.dirname(SITE), "test-logs"))
    unittest.main(argv=sys.argv[:1] + sys.argv[2:], verbosity=2)
