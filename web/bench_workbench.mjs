// Benchmarks of the browser's workbench in headless chromium, printed, not asserted:
// - the hex pane on a model of 1,000,000 vertices, its vertex data chunk selected: go to the
//   chunk's last byte, until the pane shows that byte's line; beside it, its first byte from
//   there, a click on the last byte, and the last byte gone to from the file's first row (which
//   lights the mesh in the 3D view anew);
// - a game's folder of 300 models picked with "Open folder...": from the picker's change to
//   the list shown and to every file's state shown, against native `kxm check -j 1` over the
//   same folder; and the memory the list holds once every state shows, each heap collected
//   first: the page's, the workers' that the folder started (the one that checks the files)
//   and the renderer's from outside, against the page with the folder's first model open on its
//   own.
//
//   node web/bench_workbench.mjs PAGE.html LARGE.kxm GAME-FOLDER NATIVE-KXM
import { spawnSync } from "node:child_process";
import { readdirSync, readFileSync, statSync } from "node:fs";
import { basename, dirname, join, resolve } from "node:path";
import { openBytes, openPage } from "../tests/web/browser.mjs";
import { mb, median, ms, rendererBytes, watchHeaps } from "./bench_support.mjs";

const [html, large, folderArgument, kxmArgument] = process.argv.slice(2);
if (!kxmArgument) {
  console.error("usage: node web/bench_workbench.mjs PAGE.html LARGE.kxm GAME-FOLDER NATIVE-KXM");
  process.exit(2);
}
const folder = resolve(folderArgument);
const nativeKxm = resolve(kxmArgument);
const runs = 5;

// The hex pane at the end of the vertex data chunk.
async function hexEnd() {
  const browser = await openPage(html, { width: 1280, height: 800 });
  const { page } = browser;
  try {
    await page.setInputFiles("#file-input", large);
    await page.waitForFunction(
      (name) => document.getElementById("open-path").textContent === name && document.body.dataset.rows > 4,
      basename(large),
      { timeout: 300000, polling: 100 },
    );
    await page.evaluate(() => window.kxmViewer.sceneReady());
    const chunk = await page.evaluate(() => {
      const found = window.kxmViewer.search("Mesh Vertex Data", true);
      // "Bytes of Mesh Vertex Data: head at 0x..., N bytes of payload"
      const title = document.getElementById("bytes-title").textContent;
      const [, head, length] = /head at 0x([0-9A-F]+), (\d+) bytes/.exec(title) ?? [];
      return { count: found.count, row: found.rows[0], head: parseInt(head, 16), length: Number(length) };
    });
    if (chunk.count !== 1 || !(chunk.length > 0)) throw new Error(`vertex data: ${JSON.stringify(chunk)}`);
    const times = { end: [], endInDom: [], start: [], click: [], fromTop: [] };
    for (let i = 0; i < runs; ++i) {
      // The chunk selected anew (the pane at its first byte) and its values shown.
      await page.evaluate(async (row) => {
        window.kxmViewer.selectRow(row);
        await window.kxmViewer.valuesReady();
      }, chunk.row);
      const measured = await page.evaluate(
        async ({ row, first, last }) => {
          const viewer = window.kxmViewer;
          const hex = document.getElementById("hex");
          // Shown: the first task after the next frame, which is when that frame has been drawn.
          const painted = () =>
            new Promise((resolve) =>
              requestAnimationFrame(() => {
                const channel = new MessageChannel();
                channel.port1.onmessage = resolve;
                channel.port2.postMessage(0);
              }),
            );
          // What the last step set going (the values asked for, a frame) done first.
          const settle = async () => {
            await viewer.valuesReady();
            await painted();
            await painted();
          };
          // Whether the byte's line is in the pane and inside its box.
          const shown = (offset) => {
            const cell = hex.querySelector(`[data-offset="${offset}"]`);
            if (!cell) return false;
            const box = hex.getBoundingClientRect();
            const at = cell.getBoundingClientRect();
            return at.top >= box.top && at.bottom <= box.bottom;
          };
          const goTo = async (offset) => {
            await settle();
            const started = performance.now();
            const selected = viewer.goToOffset(offset);
            const inDom = performance.now() - started;
            if (selected !== row || !shown(offset) || viewer.markedByte() !== offset) {
              throw new Error(`go to ${offset}: row ${selected}, shown ${shown(offset)}`);
            }
            await painted();
            return { inDom, painted: performance.now() - started };
          };
          const end = await goTo(last);
          const start = await goTo(first);
          await goTo(last);
          await settle();
          const clickStarted = performance.now();
          hex.querySelector(`[data-offset="${last}"]`).dispatchEvent(new MouseEvent("click", { bubbles: true }));
          await painted();
          const click = performance.now() - clickStarted;
          if (viewer.selectedRow() !== row || !shown(last)) throw new Error("the click lost the byte");
          // From the file's first row, which is in no frame: the 3D view lights the mesh anew.
          viewer.selectRow(0);
          const fromTop = await goTo(last);
          return { end, start, click, fromTop };
        },
        { row: chunk.row, first: chunk.head + 8, last: chunk.head + 8 + chunk.length - 1 },
      );
      times.end.push(measured.end.painted);
      times.endInDom.push(measured.end.inDom);
      times.start.push(measured.start.painted);
      times.click.push(measured.click);
      times.fromTop.push(measured.fromTop.painted);
    }
    return { chunk, size: statSync(large).size, times };
  } finally {
    await browser.close();
  }
}

// Every file below `root` as the picker hands it over: its path from the folder picked, which
// the page sorts by. Links are not followed, as kxm's walk does not follow them.
function walk(root, prefix = basename(root)) {
  const out = [];
  for (const entry of readdirSync(root, { withFileTypes: true })) {
    if (entry.isDirectory()) out.push(...walk(join(root, entry.name), `${prefix}/${entry.name}`));
    else if (entry.isFile()) out.push(`${prefix}/${entry.name}`);
  }
  return out;
}

// Native kxm check over the folder, by its name from the folder above, as the page names the
// files; it exits with 1 when a file fails.
function check(args) {
  const run = spawnSync(nativeKxm, ["check", ...args, basename(folder)], {
    cwd: dirname(folder),
    stdio: ["ignore", "pipe", "ignore"],
    maxBuffer: 1 << 28,
  });
  if (run.status !== 0 && run.status !== 1) throw new Error(`kxm check exited with ${run.status}`);
  return run.stdout.toString();
}

// What kxm check says of each file, as the page's folder() gives it.
function nativeStates() {
  const reports = JSON.parse(check(["--json", "-j", "1"]));
  return reports.map((r) => ({
    path: r.file,
    kind: r.outcome === "failed" ? "failed" : "loaded",
    numErrors: r.issues.numErrors,
    numWarnings: r.issues.numWarnings,
  }));
}

// Once: the folder picked in a fresh page whose first model is already open on its own.
async function folderOnce(expected) {
  const browser = await openPage(html, { width: 1280, height: 800 });
  const { page } = browser;
  try {
    const heaps = await watchHeaps(page);
    // The first model of the list, opened as the list will open it (with the image beside it).
    const first = expected[0].path;
    const images = {};
    for (const path of walk(folder)) {
      if (dirname(path) === dirname(first) && /\.png$/i.test(path)) {
        images[basename(path)] = readFileSync(join(dirname(folder), path));
      }
    }
    await openBytes(page, readFileSync(join(dirname(folder), first)), first, images);
    await page.evaluate(() => window.kxmViewer.sceneReady());
    const before = await heaps.held();
    const rendererBefore = rendererBytes(browser.profile);
    // From the picker's change: each frame looks at the file pane until every state shows.
    await page.evaluate((count) => {
      const marks = (window.benchFolder = {});
      document.addEventListener(
        "change",
        (e) => {
          if (e.target.id !== "folder-input") return;
          const started = performance.now();
          const title = document.getElementById("files-title");
          const rows = document.getElementById("files");
          const look = () => {
            const listed =
              !document.getElementById("file-pane").hidden && title.textContent.startsWith(`Files: ${count},`);
            const shown = rows.querySelectorAll(".file-row").length;
            if (listed && shown > 0 && marks.listed === undefined) marks.listed = performance.now() - started;
            const checking = title.textContent.includes("being checked") || rows.querySelector(".checking");
            if (marks.listed !== undefined && !checking) marks.states = performance.now() - started;
            else requestAnimationFrame(look);
          };
          requestAnimationFrame(look);
        },
        true,
      );
    }, expected.length);
    await page.setInputFiles("#folder-input", folder);
    await page.waitForFunction(() => window.benchFolder.states !== undefined, null, { timeout: 60000 });
    const marks = await page.evaluate(() => window.benchFolder);
    // The list's states against kxm check's, and the first model open again.
    const states = await page.evaluate(async () => {
      await window.kxmViewer.sceneReady();
      return window.kxmViewer.folder();
    });
    const shown = states.map((s) => ({
      path: s.path,
      kind: s.state.kind,
      numErrors: s.state.numErrors,
      numWarnings: s.state.numWarnings,
    }));
    if (JSON.stringify(shown) !== JSON.stringify(expected)) throw new Error("the list is not kxm check's");
    if ((await page.$eval("#open-path", (e) => e.textContent)) !== first) throw new Error("the first file is not open");
    const after = await heaps.held();
    const rendererAfter = rendererBytes(browser.profile);
    // The workers that came with the folder (the one that checks the files) and still run; the
    // open file's was there before.
    const checkers = [...after.worker.keys()].filter((w) => !before.worker.has(w));
    const sum = (map, keys) => keys.reduce((n, k) => n + (map.get(k) ?? 0), 0);
    const kept = [...before.worker.keys()];
    return {
      listed: marks.listed,
      states: marks.states,
      page: after.page + after.pageArrays - (before.page + before.pageArrays),
      openWorker: sum(after.worker, kept) - sum(before.worker, kept),
      checkers: checkers.length,
      checker: sum(after.worker, checkers),
      checkerWasm: sum(after.wasm, checkers),
      renderer: rendererAfter - rendererBefore,
    };
  } finally {
    await browser.close();
  }
}

async function gameFolder() {
  const expected = nativeStates();
  const nativeMs = [];
  for (let i = 0; i < runs; ++i) {
    const started = process.hrtime.bigint();
    check(["-j", "1", "--quiet"]);
    nativeMs.push(Number(process.hrtime.bigint() - started) / 1e6);
  }
  const measured = [];
  for (let i = 0; i < runs; ++i) measured.push(await folderOnce(expected));
  const of = (key) => median(measured.map((m) => m[key]));
  return {
    files: expected.length,
    failed: expected.filter((s) => s.kind === "failed").length,
    nativeMs: median(nativeMs),
    listed: of("listed"),
    states: of("states"),
    page: of("page"),
    openWorker: of("openWorker"),
    checkers: of("checkers"),
    checker: of("checker"),
    checkerWasm: of("checkerWasm"),
    renderer: of("renderer"),
  };
}

const hex = await hexEnd();
const game = await gameFolder();
// A figure, its label in a column of its own; `note` the budget or what it is beside.
const line = (label, value, note = "") =>
  console.log(`${(label + ":").padEnd(48)}${value}${note ? "  (" + note + ")" : ""}`);
const last = hex.chunk.head + 8 + hex.chunk.length - 1;
const lastLine = (last - (last % 16)).toString(16).toUpperCase().padStart(8, "0");
console.log(
  `file: ${large}, ${mb(hex.size)}; its vertex data ${mb(hex.chunk.length)}, the last byte on line 0x${lastLine}; median of ${runs} runs`,
);
const times = Object.fromEntries(Object.entries(hex.times).map(([k, v]) => [k, ms(median(v))]));
line("go to the chunk's last byte, its line shown", times.end, `in the pane after ${times.endInDom}; at most 100 ms`);
line("go to the chunk's first byte, its line shown", times.start);
line("a click on the last byte, shown selected", times.click, "at most 100 ms");
line("go to the last byte from the file's first row", times.fromTop, "the 3D view lights the mesh anew");
console.log(
  `folder: ${folder}, ${game.files} models (${game.failed} broken), picked with Open folder; median of ${runs} runs`,
);
line("native kxm check -j 1 over the folder", ms(game.nativeMs));
line("picked to the list shown", ms(game.listed));
line("picked to every file's state shown", ms(game.states), "at most 3000 ms");
line("page: JavaScript heap and arrays, the list", "+" + mb(game.page), "at most 10 MB");
line("the open file's worker: heap and arrays", "+" + mb(game.openWorker));
line("workers started by the folder, still running", String(game.checkers));
line("their heaps and arrays", mb(game.checker));
line("their WebAssembly memory", mb(game.checkerWasm));
line("renderer processes, resident", "+" + mb(game.renderer));
