// Takes the README's picture of the page: the sample with its texture, Expand all, a chunk
// selected so that its bytes and values show, the animation stopped at one second.
//
//   node web/screenshot.mjs build/web/kxm-viewer.html build/web/sample.kxm docs/web-viewer.png
import { readFileSync } from "node:fs";
import { dirname, join } from "node:path";
import { openBytes, openPage } from "../tests/web/browser.mjs";

const [html, sample, output] = process.argv.slice(2);
if (!output) {
  console.error("usage: node web/screenshot.mjs PAGE.html SAMPLE.kxm OUTPUT.png");
  process.exit(2);
}
const browser = await openPage(html, { width: 1280, height: 800 });
const { page } = browser;
const result = await openBytes(page, readFileSync(sample), "sample.kxm", {
  "wood.png": readFileSync(join(dirname(sample), "wood.png")),
});
if (result.outcome !== "loaded") throw new Error(`the sample did not load: ${result.status}`);
await page.evaluate(() => window.kxmViewer.sceneReady());
await page.evaluate(() => {
  window.kxmViewer.seek(1);
  const lines = window.kxmViewer.treeText().split("\n");
  window.kxmViewer.selectRow(lines.findIndex((l) => l.trim() === "Mesh Vertex Data"));
});
await page.evaluate(() => window.kxmViewer.valuesReady());
await page.focus("#tree");
await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));
await page.screenshot({ path: output });
if (browser.requests.length) throw new Error(`the page asked for ${browser.requests.join(", ")}`);
await browser.close();
console.log(`wrote ${output}`);
