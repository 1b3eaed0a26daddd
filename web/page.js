// The page around GLIMMET2: it gives the program a 44 x 14 terminal
// (xterm.js) for its panel and a canvas in a small frame for its field, and
// moves bytes and pictures between them and the program, which does all
// the rest. One run at a time; after the end a button starts a new one.
'use strict';
(function () {
  const kColumns = 44;
  const kRows = 14;
  // The console's sixteen colours, in the order of the terminal's colour
  // numbers.
  const kTheme = {
    background: '#000000', foreground: '#c0c0c0', cursor: '#c0c0c0',
    black: '#000000', red: '#800000', green: '#008000', yellow: '#808000',
    blue: '#000080', magenta: '#800080', cyan: '#008080', white: '#c0c0c0',
    brightBlack: '#808080', brightRed: '#ff0000', brightGreen: '#00ff00',
    brightYellow: '#ffff00', brightBlue: '#0000ff', brightMagenta: '#ff00ff',
    brightCyan: '#00ffff', brightWhite: '#ffffff',
  };
  const $ = (id) => document.getElementById(id);
  const frame = $('window');
  const canvas = $('field');
  const context = canvas.getContext('2d');
  let program = null;  // the loaded module
  let run = null;      // the running program, while it runs
  let input = [];      // what the user did in the terminal, not read yet

  function say(text, again) {
    $('message').textContent = text;
    $('again').hidden = !again;
    $('status').hidden = false;
  }

  if (typeof WebAssembly !== 'object' || typeof Terminal !== 'function' ||
      typeof GlimmetProgram !== 'function') {
    say('GLIMMET2 cannot run here: open this page in a current browser.', false);
    return;
  }

  const terminal = new Terminal({
    cols: kColumns, rows: kRows, theme: kTheme, scrollback: 0, cursorBlink: false,
    fontFamily: '"DejaVu Sans Mono", "Cascadia Mono", Menlo, Consolas, monospace',
    fontSize: 15,
  });
  terminal.open($('panel'));
  const encoder = new TextEncoder();
  terminal.onData((text) => {
    for (const byte of encoder.encode(text)) input.push(byte);
    if (run !== null) program._glimmet_input(run);
  });

  // One cell a square of whole device pixels, as many as the display's
  // scale rounded, so the field stays sharp at any zoom.
  function fitField() {
    const ratio = window.devicePixelRatio || 1;
    const scale = Math.max(1, Math.round(ratio));
    canvas.style.width = (canvas.width * scale / ratio) + 'px';
    canvas.style.height = (canvas.height * scale / ratio) + 'px';
  }
  window.addEventListener('resize', fitField);

  const page = {
    write(bytes) { terminal.write(bytes); },
    read(into) {
      const n = Math.min(into.length, input.length);
      into.set(input.slice(0, n));
      input = input.slice(n);
      return n;
    },
    hasInput() { return input.length > 0; },
    openWindow(caption, width, height) {
      $('caption').textContent = caption;
      canvas.width = width;
      canvas.height = height;
      fitField();
      frame.hidden = false;
    },
    putPicture(rgba, width, height) {
      const pixels = new Uint8ClampedArray(rgba.buffer, rgba.byteOffset, rgba.length);
      context.putImageData(new ImageData(pixels, width, height), 0, 0);
    },
    closeWindow() { frame.hidden = true; },
    ended(status, message) {
      run = null;
      document.body.dataset.status = String(status);
      say(status === 0 ? 'GLIMMET2 has ended.' : 'GLIMMET2 stopped: ' + message + '.', true);
    },
  };

  function start() {
    $('status').hidden = true;
    delete document.body.dataset.status;
    input = [];
    run = program._glimmet_start() || null;
  }

  $('close').addEventListener('click', () => {
    program._glimmet_close_window();
    if (run !== null) program._glimmet_input(run);
  });
  $('again').addEventListener('click', start);

  GlimmetProgram({
    page: page,
    onAbort: () => say('GLIMMET2 stopped with an internal error: reload the page.', false),
  }).then((loaded) => {
    program = loaded;
    window.glimmet = { terminal: terminal };  // for tests and assistive tools
    start();
  }, () => say('GLIMMET2 could not load its program: reload the page.', false));
})();
