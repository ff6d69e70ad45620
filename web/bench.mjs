// Benchmarks of the browser's viewer in headless chromium, printed, not asserted: the
// 1,000,000-small-chunk file from open to its first rows on screen (and the core's load in
// the worker against native kxm-dump's on the same file), Expand all, the jump to the last row
// (End), and the page's memory.
//
//   node web/bench.mjs PAGE.html SMALL-CHUNKS.kxm NATIVE-KXM-DUMP
import { execFileSync } from "node:child_process";
import { readFileSync, statSync } from "node:fs";
import { openPage } from "../tests/web/browser.mjs";

const [html, file, nativeDump] = process.argv.slice(2);
if (!nativeDump) {
  console.error("usage: node web/bench.mjs PAGE.html SMALL-CHUNKS.kxm NATIVE-KXM-DUMP");
  process.exit(2);
}
const size = statSync(file).size;
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
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
// The bytes go into the page once, as a drop would hand them over.
await page.evaluate(async (b64) => {
  window.benchBytes = Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
}, readFileSync(file).toString("base64"));

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

const session = await page.context().newCDPSession(page);
await session.send("HeapProfiler.collectGarbage");
await session.send("Performance.enable");
const { metrics } = await session.send("Performance.getMetrics");
const heap = metrics.find((m) => m.name === "JSHeapUsedSize").value;
const { wasmBytes } = await page.evaluate(() => window.kxmViewer.lastLoad());
const held = await page.evaluate(() => window.kxmViewer.heldBytes());
const rows = await page.evaluate(() => Number(document.body.dataset.rows));
await browser.close();

const mb = (bytes) => (bytes / 1048576).toFixed(1) + " MB";
const ms = (v) => v.toFixed(0) + " ms";
const budget = 4 * size + 100 * 1048576;
console.log(`file: ${file}, ${mb(size)}, ${rows} rows; median of ${runs} runs`);
console.log(`native kxm-dump, load and print:        ${ms(median(nativeMs))}`);
console.log(`WebAssembly load in the worker (rows):  ${ms(median(coreMs))}  (${(median(coreMs) / median(nativeMs)).toFixed(2)} x native; at most 2 x)`);
console.log(`open to first rows on screen:           ${ms(median(firstRowsMs))}  (at most 1500 ms)`);
console.log(`Expand all:                             ${ms(median(expandMs))}  (at most 1000 ms)`);
console.log(`jump to the last row (End):             ${ms(median(endMs))}  (at most 1000 ms)`);
console.log(`page: JavaScript heap and arrays:       ${mb(heap + held)}  (at most 4 x file + 100 MB = ${mb(budget)})`);
console.log(`worker: WebAssembly memory:             ${mb(wasmBytes)}`);
console.log(`page and worker together:               ${mb(heap + held + wasmBytes)}`);
