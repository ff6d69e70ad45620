// Takes the README's picture of the page as a workbench: a game's folder open (the browser tests'
// folder of models, the sample and its texture among them), its files listed with what kxm
// check says of each, the sample opened from the list, a search with its matches, and the match
// selected with its bytes in the hex pane and its values in the table.
//
//   node web/screenshot.mjs build/web/kxm-viewer.html build/web/sample.kxm \
//     build/web/web-cases/game docs/web-viewer.png
import { readdirSync, readFileSync, statSync } from "node:fs";
import { dirname, join } from "node:path";
import { openPage } from "../tests/web/browser.mjs";

const [html, sample, folder, output] = process.argv.slice(2);
if (!output) {
  console.error("usage: node web/screenshot.mjs PAGE.html SAMPLE.kxm FOLDER OUTPUT.png");
  process.exit(2);
}

// Every file below the folder, by its path as a dropped folder gives it, as base64.
function filesOf(path, name, out = {}) {
  for (const entry of readdirSync(path)) {
    const child = join(path, entry);
    if (statSync(child).isDirectory()) filesOf(child, `${name}/${entry}`, out);
    else out[`${name}/${entry}`] = readFileSync(child).toString("base64");
  }
  return out;
}
const files = filesOf(folder, "game");
files["game/sample/sample.kxm"] = readFileSync(sample).toString("base64");
files["game/sample/wood.png"] = readFileSync(join(dirname(sample), "wood.png")).toString("base64");

const browser = await openPage(html, { width: 1280, height: 800 });
const { page } = browser;
await page.evaluate(async (encoded) => {
  const decode = (b64) => Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
  const viewer = window.kxmViewer;
  await viewer.openFolder(Object.fromEntries(Object.entries(encoded).map(([k, v]) => [k, decode(v)])));
  const listed = await viewer.folder();
  const result = await viewer.openListed(listed.findIndex((f) => f.path === "game/sample/sample.kxm"));
  if (result?.outcome !== "loaded") throw new Error(`the sample did not load: ${result?.status}`);
  await viewer.sceneReady();
  viewer.seek(1);
  const input = document.getElementById("search");
  input.value = "vertex data";
  input.dispatchEvent(new Event("input"));
  document.getElementById("find-next").click();
  await viewer.valuesReady();
}, files);
await page.focus("#tree");
await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));
await page.screenshot({ path: output });
if (browser.requests.length) throw new Error(`the page asked for ${browser.requests.join(", ")}`);
await browser.close();
console.log(`wrote ${output}`);
