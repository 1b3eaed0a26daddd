// The browser build's speed and cost, in headless Chromium: the whole
// program's generations a second and frames shown a second, beside a floor
// page that only steps the same WebAssembly field and puts it once a frame
// (bench/web_floor.cpp), in alternating spells on one browser; then the
// browser's CPU while the program is paused. Medians over the spells.
// Usage: node web.js BUILD-FOLDER [SECONDS-A-SPELL] (NODE_PATH reaching
// puppeteer-core).
'use strict';
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const puppeteer = require('puppeteer-core');

const build = path.resolve(process.argv[2]);
const kSpellMs = 1000 * Number(process.argv[3] || 5);
const kSpells = 5;
const kPausedMs = 10000;
const kSettleMs = 12000;
const kTicks = 100;  // the kernel's clock ticks a second (USER_HZ)

const kTypes = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
                 '.wasm': 'application/wasm', '.png': 'image/png' };

function serve() {
  const server = http.createServer((request, response) => {
    const name = path.normalize(new URL(request.url, 'http://x').pathname);
    const file = name === '/' ? path.join(build, 'site', 'index.html')
               : name.startsWith('/floor/') ? path.join(build, name.slice(7))
               : path.join(build, 'site', name);
    fs.readFile(file, (error, data) => {
      if (error) return response.writeHead(404).end();
      response.writeHead(200, { 'Content-Type': kTypes[path.extname(file)] || 'text/plain' });
      response.end(data);
    });
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

// The program's generations and frames shown over a spell: its counter
// read from the terminal, its frames counted where it puts the picture.
async function programSpell(page) {
  const read = () => page.evaluate(() => {
    const line = window.glimmet.terminal.buffer.active.getLine(11).translateToString(true);
    return { count: Number(line.replace(/.*Generation: */, '').trim()), shown: window.shown,
             at: performance.now() };
  });
  const a = await read();
  await new Promise((resolve) => setTimeout(resolve, kSpellMs));
  const b = await read();
  const seconds = (b.at - a.at) / 1000;
  return { generations: (b.count - a.count) / seconds, frames: (b.shown - a.shown) / seconds };
}

async function floorSpell(page) {
  const read = () => page.evaluate(() => ({ ...window.floor, at: performance.now() }));
  const a = await read();
  await new Promise((resolve) => setTimeout(resolve, kSpellMs));
  const b = await read();
  const seconds = (b.at - a.at) / 1000;
  return { generations: (b.generations - a.generations) / seconds,
           frames: (b.shown - a.shown) / seconds };
}

// CPU ticks so far of the browser's process and all it started.
function browserTicks(root) {
  const parents = new Map();
  const ticks = new Map();
  for (const pid of fs.readdirSync('/proc').filter((n) => /^\d+$/.test(n))) {
    try {
      const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      parents.set(Number(pid), Number(fields[1]));
      ticks.set(Number(pid), Number(fields[11]) + Number(fields[12]));
    } catch (e) { /* ended meanwhile */ }
  }
  let total = 0;
  for (const [pid, t] of ticks) {
    for (let p = pid; p > 1; p = parents.get(p)) {
      if (p === root) { total += t; break; }
      if (!parents.has(p)) break;
    }
  }
  return total;
}

async function main() {
  const server = await serve();
  const base = `http://127.0.0.1:${server.address().port}`;
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium', headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--disable-quic'],
  });
  try {
    const program = await browser.newPage();
    await program.evaluateOnNewDocument(() => {
      window.shown = 0;
      window.asked = 0;  // frames asked for
      const ask = window.requestAnimationFrame.bind(window);
      window.requestAnimationFrame = (callback) => { ++window.asked; return ask(callback); };
      const put = CanvasRenderingContext2D.prototype.putImageData;
      CanvasRenderingContext2D.prototype.putImageData = function (...args) {
        ++window.shown;
        return put.apply(this, args);
      };
    });
    await program.goto(`${base}/`);
    await program.waitForFunction(() => window.glimmet !== undefined && window.shown > 10);
    const floor = await browser.newPage();
    await floor.goto(`${base}/floor/web_floor.html`);
    await floor.waitForFunction(() => window.floor.shown > 10);
    const rows = { program: [], floor: [] };
    for (let i = 0; i < kSpells; ++i) {
      // The page measured is brought to the front; the other's frames stop.
      await program.bringToFront();
      rows.program.push(await programSpell(program));
      await floor.bringToFront();
      rows.floor.push(await floorSpell(floor));
    }
    await floor.close();
    await program.bringToFront();
    // Paused: PAUSE is the panel's row 14, the word's first column 27.
    const box = await (await program.$('#panel .xterm-screen')).boundingBox();
    await program.mouse.click(box.x + 28.5 * box.width / 44, box.y + 13.5 * box.height / 14);
    // The engine finishes what the busy spells left it (collection,
    // compilation; measured: 2 % of a core over the first few seconds)
    // before the quiet is measured.
    await new Promise((resolve) => setTimeout(resolve, kSettleMs));
    const root = browser.process().pid;
    const cdp = await browser.target().createCDPSession();
    // CPU seconds so far of the page's renderer processes.
    const renderer = async () => (await cdp.send('SystemInfo.getProcessInfo')).processInfo
      .filter((p) => p.type === 'renderer').reduce((sum, p) => sum + p.cpuTime, 0);
    const idle = async () => {
      const ticks = browserTicks(root), cpu = await renderer();
      const asked = await program.evaluate(() => window.asked);
      await new Promise((resolve) => setTimeout(resolve, kPausedMs));
      return { browser: 100 * (browserTicks(root) - ticks) / kTicks / (kPausedMs / 1000),
               renderer: 100 * (await renderer() - cpu) / (kPausedMs / 1000),
               asked: await program.evaluate(() => window.asked) - asked };
    };
    const paused = await idle();
    // The same browser with a page that does nothing: what it costs idle.
    await program.goto(`${base}/floor/idle.html`);
    await new Promise((resolve) => setTimeout(resolve, kSettleMs));
    const blank = await idle();
    const g = median(rows.program.map((r) => r.generations));
    const f = median(rows.floor.map((r) => r.generations));
    console.log(`spells of ${kSpellMs / 1000} s, ${kSpells} each, alternating; medians`);
    console.log(`program: ${g.toFixed(0)} generations/s, ` +
                `${median(rows.program.map((r) => r.frames)).toFixed(1)} frames shown/s`);
    console.log(`floor:   ${f.toFixed(0)} generations/s, ` +
                `${median(rows.floor.map((r) => r.frames)).toFixed(1)} frames shown/s`);
    console.log(`program / floor: ${(100 * g / f).toFixed(1)} %`);
    const cost = (r) => `the page's renderer ${r.renderer.toFixed(2)} %, the whole browser ` +
                        `${r.browser.toFixed(2)} % of a core, ${r.asked} frames asked for`;
    console.log(`paused, over ${kPausedMs / 1000} s: ${cost(paused)}`);
    console.log(`an empty page instead:   ${cost(blank)}`);
  } finally {
    await browser.close();
    server.close();
  }
}

main().catch((error) => {
  console.error(`bench-web: ${error.stack || error}`);
  process.exitCode = 1;
});
