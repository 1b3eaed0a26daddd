// The browser as the laboratory drives it: a thin process that serves the
// built site from 127.0.0.1, starts headless Chromium and answers one JSON
// request a line on standard input with one JSON line on standard output.
// What the requests mean is the Python side's (tests/web_test.py); here is
// only how a browser does each: open a page, evaluate an expression in it,
// real mouse events, the viewport, the requests the page may make.
// Usage: node web_driver.js SITE-FOLDER (NODE_PATH reaching puppeteer-core).
'use strict';
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const readline = require('node:readline');
const puppeteer = require('puppeteer-core');

const kDeadlineMs = 120000;  // generous for a sanitized build on a loaded machine
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

// Keeps a copy of every picture put on the canvas, to compare with what the
// canvas then holds.
function recordPuts() {
  const put = CanvasRenderingContext2D.prototype.putImageData;
  CanvasRenderingContext2D.prototype.putImageData = function (image, ...rest) {
    window.lastPut = Array.from(image.data);
    return put.call(this, image, ...rest);
  };
}

async function main() {
  const site = path.resolve(process.argv[2]);
  const server = await serve(site);
  const origin = `http://127.0.0.1:${server.address().port}`;
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--disable-quic'],
  });
  let page = null;
  const errors = [];
  const requests = {
    // A page of its own; `refuse` names the ends of the addresses whose
    // requests fail, as with a site that lacks them.
    async open({ refuse = [] }) {
      if (page) await page.close();
      page = await browser.newPage();
      page.setDefaultTimeout(kDeadlineMs);
      page.on('pageerror', (e) => errors.push(e.message));
      page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
      if (refuse.length) {
        await page.setRequestInterception(true);
        page.on('request', (r) => refuse.some((end) => r.url().endsWith(end)) ? r.abort()
                                                                                : r.continue());
      }
      await page.evaluateOnNewDocument(recordPuts);
      await page.goto(`${origin}/`);
      return null;
    },
    async eval({ js }) { return page.evaluate(js); },
    async click({ x, y, count = 1 }) { await page.mouse.click(x, y, { count }); return null; },
    async clickSelector({ selector }) { await page.click(selector); return null; },
    async drag({ x, y, dx }) {
      await page.mouse.move(x, y);
      await page.mouse.down();
      await page.mouse.move(x + dx, y, { steps: 8 });
      await page.mouse.up();
      return null;
    },
    async viewport(size) { await page.setViewport(size); return null; },
    async errors() { return errors.splice(0); },
  };
  const lines = readline.createInterface({ input: process.stdin });
  for await (const line of lines) {
    const request = JSON.parse(line);
    let answer;
    try {
      answer = { value: (await requests[request.do](request)) ?? null };
    } catch (error) {
      answer = { error: String(error.stack || error) };
    }
    process.stdout.write(JSON.stringify(answer) + '\n');
  }
  await browser.close();
  server.close();
}

main().catch((error) => {
  console.error(`web driver: ${error.stack || error}`);
  process.exitCode = 1;
});
