// Benchmarks of the browser's viewer in headless chromium, printed, not asserted: the
// 1,000,000-small-chunk file from open to its first rows on screen (and the core's load in
// the worker against native kxm-dump's on the same file), Expand all, the jump to the last row
// (End), the memory of the page and its worker, each heap collected first; then the search for
// a label that occurs once (its match selected) and for one that occurs a million times
// (counted), go to offset and a click on a byte of the hex pane.
//
//   node web/bench.mjs PAGE.html SMALL-CHUNKS.kxm NATIVE-KXM-DUMP
import { execFileSync } from "node:child_process";
import { readFileSync, statSync } from "node:fs";
import { openPage } from "../tests/web/browser.mjs";
import { mb, median, ms, rendererBytes, watchHeaps } from "./bench_support.mjs";

const [html, file, nativeDump] = process.argv.slice(2);
if (!nativeDump) {
  console.error("usage: node web/bench.mjs PAGE.html SMALL-CHUNKS.kxm NATIVE-KXM-DUMP");
  process.exit(2);
}
const size = statSync(file).size;
const runs = 5;

// Native kxm-dump: the whole load and the tree printed, to /dev/null.
const nativeMs = [];
for (let i = 0; i < runs; ++i) {
  const started = process.hrtime.bigint();
  execFileSync(nativeDump, [file], { stdio: ["ignore", "ignore", "inherit"] });
  nativeMs.push(Number(process.hrtime.bigint() - started) / 1e6);
}

const browser = await openPage(html, { width: 1280, height: 800 });
const { page } = browser;
// The page's and the worker's heaps, each collected first: the page's objects, the worker's
// objects and its arrays' bytes.
const heaps = await watchHeaps(page);
async function heldByHeaps() {
  const held = await heaps.held();
  return { page: held.page, worker: held.worker.get(heaps.workers().at(-1)) ?? 0 };
}

// The bytes go into the page once, as a drop would hand them over.
await page.evaluate(async (b64) => {
  window.benchBytes = Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
}, readFileSync(file).toString("base64"));
// The worker and its core started by the file's first 64 bytes (a file cut short), so that
// what the renderer holds before is all but the file's own share.
await page.evaluate(() => window.kxmViewer.open(window.benchBytes.slice(0, 64), "start.kxm"));
await heldByHeaps();
const rendererBefore = rendererBytes(browser.profile);

const firstRowsMs = [];
const coreMs = [];
const expandMs = [];
const endMs = [];
for (let i = 0; i < runs; ++i) {
  const measured = await page.evaluate(async () => {
    const viewer = window.kxmViewer;
    await viewer.setOptions({ showNames: true, showValues: true, expandAll: false });
    const started = performance.now();
    await viewer.open(window.benchBytes, "small-chunks.kxm");
    // Rows on screen: the open resolves once they are in the DOM; the next frame paints them.
    await new Promise((resolve) => requestAnimationFrame(resolve));
    const firstRows = performance.now() - started;
    if (document.querySelectorAll("#tree [role=treeitem]").length === 0) throw new Error("no rows");
    const expandStarted = performance.now();
    await viewer.setOptions({ expandAll: true });
    await new Promise((resolve) => requestAnimationFrame(resolve));
    const expand = performance.now() - expandStarted;
    return { firstRows, expand, core: viewer.lastLoad().loadMs };
  });
  await page.focus("#tree");
  await page.keyboard.press("Home");
  const endStarted = await page.evaluate(() => performance.now());
  await page.keyboard.press("End");
  const endDone = await page.evaluate(async () => {
    await new Promise((resolve) => requestAnimationFrame(resolve));
    return performance.now();
  });
  const last = await page.$eval("#tree [aria-selected=true] .label", (e) => e.textContent);
  if (last !== "CustomData") throw new Error(`End selected ${last}`);
  firstRowsMs.push(measured.firstRows);
  coreMs.push(measured.core);
  expandMs.push(measured.expand);
  endMs.push(endDone - endStarted);
}

// Search, go to offset and a hex click on the file as it stands (Expand all on), timed in the page.
const searchOnceMs = [];
const searchManyMs = [];
const goToMs = [];
const hexClickMs = [];
for (let i = 0; i < runs; ++i) {
  await page.evaluate(() => window.kxmViewer.selectRow(0));
  const measured = await page.evaluate(async (size) => {
    const viewer = window.kxmViewer;
    const time = (run) => {
      const started = performance.now();
      const result = run();
      return { ms: performance.now() - started, result };
    };
    const once = time(() => viewer.search("end mesh").count);
    const selected = document.querySelector("#tree [aria-selected=true] .label")?.textContent;
    if (once.result !== 1 || selected !== "END Mesh")
      throw new Error(`search found ${once.result}, selected ${selected}`);
    const many = time(() => viewer.search("mesh ").count);
    if (many.result !== 1000000) throw new Error(`search counted ${many.result}`);
    const goTo = time(() => viewer.goToOffset(size - 20));
    // A click on a byte of the selected chunk's payload.
    const byte = document.querySelectorAll("#hex [data-offset]")[8];
    const click = time(() => byte?.dispatchEvent(new MouseEvent("click", { bubbles: true })));
    await new Promise((resolve) => requestAnimationFrame(resolve));
    return { once: once.ms, many: many.ms, goTo: goTo.ms, click: byte ? click.ms : NaN };
  }, size);
  searchOnceMs.push(measured.once);
  searchManyMs.push(measured.many);
  goToMs.push(measured.goTo);
  hexClickMs.push(measured.click);
}

const collected = await heldByHeaps();
const { wasmBytes } = await page.evaluate(() => window.kxmViewer.lastLoad());
const held = await page.evaluate(() => window.kxmViewer.heldBytes());
const rows = await page.evaluate(() => Number(document.body.dataset.rows));
const rendererAfter = rendererBytes(browser.profile);
await browser.close();

const budget = 4 * size + 100 * 1048576;
console.log(`file: ${file}, ${mb(size)}, ${rows} rows; median of ${runs} runs`);
console.log(`native kxm-dump, load and print:        ${ms(median(nativeMs))}`);
console.log(
  `WebAssembly load in the worker (rows):  ${ms(median(coreMs))}  (${(median(coreMs) / median(nativeMs)).toFixed(2)} x native; at most 2 x)`,
);
console.log(`open to first rows on screen:           ${ms(median(firstRowsMs))}  (at most 1500 ms)`);
console.log(`Expand all:                             ${ms(median(expandMs))}  (at most 1000 ms)`);
console.log(`jump to the last row (End):             ${ms(median(endMs))}  (at most 1000 ms)`);
console.log(`search, a label found once, selected:   ${ms(median(searchOnceMs))}  (at most 300 ms)`);
console.log(`search, a label found 1,000,000 times:  ${ms(median(searchManyMs))}  (at most 1000 ms)`);
console.log(`go to offset:                           ${ms(median(goToMs))}  (at most 100 ms)`);
console.log(`a click on a byte of the hex pane:      ${ms(median(hexClickMs))}  (at most 100 ms)`);
console.log(`page: JavaScript heap and arrays:       ${mb(collected.page + held)}`);
console.log(`worker: JavaScript heap and arrays:     ${mb(collected.worker)}`);
console.log(`worker: WebAssembly memory:             ${mb(wasmBytes)}`);
console.log(
  `page and worker together:               ${mb(collected.page + held + collected.worker + wasmBytes)}  (at most 4 x file + 100 MB = ${mb(budget)})`,
);
console.log(
  `renderer processes, resident:           +${mb(rendererAfter - rendererBefore)} with the file open (${mb(rendererBefore)} with a 64-byte file)`,
);
