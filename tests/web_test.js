// The browser build as a person meets it: the built site served from
// 127.0.0.1 and opened in headless Chromium, worked with real mouse events
// on the panel's cells (found from the terminal's own rectangle), the
// panel read back from the terminal, the field read back from the canvas.
// Usage: node web_test.js SITE-FOLDER (NODE_PATH reaching puppeteer-core).
'use strict';
const assert = require('node:assert/strict');
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const puppeteer = require('puppeteer-core');

const kDeadlineMs = 60000;  // generous for a loaded machine
const kColumns = 44;
const kRows = 14;
const site = process.argv[2];
const golden = fs.readFileSync(path.join(__dirname, 'panel.txt'), 'utf8').split('\n').slice(0, kRows);

const kTypes = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
                 '.wasm': 'application/wasm', '.txt': 'text/plain', '.png': 'image/png' };

function serve(folder) {
  const server = http.createServer((request, response) => {
    const name = path.normalize(decodeURIComponent(new URL(request.url, 'http://x').pathname));
    const file = path.join(folder, name === '/' ? 'index.html' : name);
    fs.readFile(file, (error, data) => {
      if (error || !file.startsWith(folder)) {
        response.writeHead(404).end();
        return;
      }
      response.writeHead(200, { 'Content-Type': kTypes[path.extname(file)] || 'application/octet-stream' });
      response.end(data);
    });
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// Where text first stands in the golden panel: its row and column, from 1.
function find(text) {
  for (let row = 0; row < kRows; ++row) {
    const at = golden[row].indexOf(text);
    if (at >= 0) return { row: row + 1, column: at + 1 };
  }
  throw new Error(`"${text}" is not on the panel`);
}

async function main() {
  const server = await serve(path.resolve(site));
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--disable-quic'],
  });
  const errors = [];
  try {
    const page = await browser.newPage();
    page.setDefaultTimeout(kDeadlineMs);
    page.on('pageerror', (e) => errors.push(e.message));
    page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
    // Keeps a copy of every picture put on the canvas, to compare with what
    // the canvas then holds.
    await page.evaluateOnNewDocument(() => {
      const put = CanvasRenderingContext2D.prototype.putImageData;
      CanvasRenderingContext2D.prototype.putImageData = function (image, ...rest) {
        window.lastPut = Array.from(image.data);
        return put.call(this, image, ...rest);
      };
    });
    await page.goto(`http://127.0.0.1:${server.address().port}/`);
    await run(page);
    assert.deepEqual(errors, [], 'the page reported errors');
    await cannotLoad(browser, `http://127.0.0.1:${server.address().port}/`);
    console.log('web page: every check passed');
  } finally {
    await browser.close();
    server.close();
  }
}

// The terminal's rows as it shows them (blank until the program has loaded).
const rows = (page) => page.evaluate(() => {
  const lines = [];
  if (window.glimmet === undefined) return Array(14).fill('');
  const buffer = window.glimmet.terminal.buffer.active;
  for (let i = 0; i < 14; ++i) lines.push(buffer.getLine(i).translateToString(true));
  return lines;
});

async function counter(page) {
  const line = (await rows(page))[find('Generation:').row - 1];
  const digits = line.slice(find('Generation:').column + 'Generation:'.length).trim();
  return /^\d+$/.test(digits) ? Number(digits) : -1;
}

async function waitFor(page, what, predicate) {
  const start = Date.now();
  for (;;) {
    if (await predicate()) return;
    if (Date.now() - start > kDeadlineMs) throw new Error(`gave up waiting for: ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
}

// The middle of a panel cell on the page, and a cell's width.
async function cellPoint(page, { row, column }) {
  const box = await (await page.$('#panel .xterm-screen')).boundingBox();
  return { x: box.x + (column - 0.5) * box.width / kColumns,
           y: box.y + (row - 0.5) * box.height / kRows, cell: box.width / kColumns };
}

// What a drag along the panel's first row selects.
async function dragAcrossTitle(page) {
  const from = await cellPoint(page, { row: 1, column: 2 });
  await page.mouse.move(from.x, from.y);
  await page.mouse.down();
  await page.mouse.move(from.x + 20 * from.cell, from.y, { steps: 8 });
  await page.mouse.up();
  return page.evaluate(() =>
    window.glimmet.terminal.getSelection() + document.getSelection().toString());
}

async function click(page, cell, count = 1) {
  const { x, y } = await cellPoint(page, cell);
  await page.mouse.click(x, y, { count });
}

// The canvas's pixels, and whether they are the last picture put there.
const canvas = (page) => page.evaluate(() => {
  const c = document.getElementById('field');
  const data = Array.from(c.getContext('2d').getImageData(0, 0, c.width, c.height).data);
  return { data, same: window.lastPut !== undefined &&
           data.every((v, i) => v === window.lastPut[i]), size: [c.width, c.height] };
});

// Lets the page run a fixed number of its frames.
const frames = (page, n) => page.evaluate((n) => new Promise((resolve) => {
  const next = (left) => left === 0 ? resolve() : requestAnimationFrame(() => next(left - 1));
  next(n);
}), n);

// The field's frame lies clear of the panel, and its canvas is `device`
// device pixels across, a whole number of them a cell.
async function checkPlace(page, device) {
  const place = await page.evaluate(() => {
    const a = document.getElementById('panel').getBoundingClientRect();
    const b = document.getElementById('window').getBoundingClientRect();
    const c = document.getElementById('field').getBoundingClientRect();
    return { over: a.right > b.left && b.right > a.left && a.bottom > b.top && b.bottom > a.top,
             device: Math.round(c.width * window.devicePixelRatio * 1000) / 1000 };
  });
  assert.deepEqual(place, { over: false, device }, 'the field is over the panel, or scaled');
}

// A page whose program cannot be fetched says so in one line.
async function cannotLoad(browser, url) {
  const page = await browser.newPage();
  page.setDefaultTimeout(kDeadlineMs);
  await page.setRequestInterception(true);
  page.on('request', (r) => r.url().endsWith('.wasm') ? r.abort() : r.continue());
  await page.goto(url);
  await page.waitForSelector('#status:not([hidden])');
  const shown = await page.$eval('#message', (m) => m.textContent);
  assert.equal(shown, 'GLIMMET2 could not load its program: reload the page.');
  await page.close();
}

async function run(page) {
  const generation = find('Generation:');
  const masked = (lines) => lines.map((l, i) =>
    (i === generation.row - 1 ? l.slice(0, generation.column + 10) : l).trimEnd());
  await waitFor(page, 'the panel as drawn and the counter going',
                async () => JSON.stringify(masked(await rows(page))) ===
                            JSON.stringify(masked(golden)) &&
                            await counter(page) > 0);
  const frame = await page.$eval('#window', (w) => ({ hidden: w.hidden,
    caption: w.querySelector('#caption').textContent }));
  assert.deepEqual(frame, { hidden: false, caption: 'Glimmet' });
  await checkPlace(page, 100);
  const early = await canvas(page);
  await waitFor(page, 'the field to change while running',
                async () => JSON.stringify((await canvas(page)).data) !== JSON.stringify(early.data));

  // A count toggles: survive with 0 neighbours, off to on.
  const heading = find('012345678');
  const survive0 = { row: find('Survive with').row, column: heading.column };
  const at = (lines, p) => lines[p.row - 1][p.column - 1];
  assert.equal(at(await rows(page), survive0), '|');
  await click(page, survive0);
  await waitFor(page, 'survive 0 toggled on', async () => at(await rows(page), survive0) === 'X');

  // PAUSE holds the counter and the picture.
  await click(page, find('PAUSE'));
  let held = -1;
  await waitFor(page, 'the counter to hold', async () => {
    const before = await counter(page);
    await frames(page, 5);
    held = await counter(page);
    return held === before;
  });
  // A drag across the title is a click the panel ignores, not a selection.
  assert.equal(await dragAcrossTitle(page), '', 'a drag over the panel selected text');
  const still = await canvas(page);
  await frames(page, 30);
  assert.equal(await counter(page), held, 'the counter moved while paused');
  assert.deepEqual((await canvas(page)).data, still.data, 'the picture changed while paused');
  assert.ok(still.same, 'the canvas does not hold the picture put on it');
  assert.deepEqual(still.size, [100, 100]);
  assert.ok(still.data.every((v, i) => i % 4 !== 3 || v === 255), 'the field is not opaque');

  // STEP adds one; a double click on STEP adds two.
  await click(page, find('STEP'));
  await waitFor(page, 'one step', async () => await counter(page) === held + 1);
  await click(page, find('STEP'), 2);
  await waitFor(page, 'two steps more', async () => await counter(page) === held + 3);
  const stepped = await canvas(page);
  assert.ok(stepped.same, 'the canvas does not hold the picture put on it');
  assert.notDeepEqual(stepped.data, still.data, 'three steps changed nothing');

  // A reseed, then a step: the count starts again, the picture is new.
  const track = find('E ----------');
  await click(page, { row: track.row, column: track.column + 11 });  // its densest
  await click(page, find('STEP'));
  await waitFor(page, 'the count of the reseeded field', async () => await counter(page) === 1);
  const reseeded = await canvas(page);
  assert.ok(reseeded.same);
  assert.notDeepEqual(reseeded.data, stepped.data, 'the reseed changed nothing');

  // QUIT ends it with status 0 and gives the terminal back.
  await click(page, find('QUIT'));
  await page.waitForSelector('body[data-status="0"]');
  const after = await page.evaluate(() => ({
    window: document.getElementById('window').hidden,
    buffer: window.glimmet.terminal.buffer.active.type,
    mouse: window.glimmet.terminal.modes.mouseTrackingMode,
    message: document.getElementById('message').textContent,
  }));
  assert.deepEqual(after, { window: true, buffer: 'normal', mouse: 'none',
                            message: 'GLIMMET2 has ended.' });
  // Given back, the terminal selects again what a drag goes over.
  await page.evaluate(() => new Promise((done) => window.glimmet.terminal.write('\r words', done)));
  assert.match(await dragAcrossTitle(page), /words/, 'the terminal given back selects nothing');

  // A second start on a narrow page of a display at 200 %, ended with the
  // field's close box while it runs.
  await page.setViewport({ width: 420, height: 700, deviceScaleFactor: 2 });
  await page.click('#again');
  await waitFor(page, 'the second start going', async () =>
    await page.evaluate(() => document.body.dataset.status === undefined) &&
    await counter(page) > 0);
  await checkPlace(page, 200);
  await page.click('button[aria-label="Close"]');
  await page.waitForSelector('body[data-status="0"]');
}

main().catch((error) => {
  console.error(`web page: ${error.stack || error}`);
  process.exitCode = 1;
});
