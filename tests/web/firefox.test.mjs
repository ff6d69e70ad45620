// The page in Firefox (Debian's firefox-esr), where its scripts, worker, WebAssembly and WebGL run
// on another engine: the sample's tree under each option setting byte for byte, a file of more
// rows than the core keeps in a block, a failure's status and explanation, the findings, the
// hex pane, the 3D view drawing and playing, a hostile name as text, and no request leaving.
import assert from "node:assert/strict";
import { describe, test } from "node:test";
import { drawn, openBytes } from "./browser.mjs";
import { pageSession } from "./session.mjs";
import {
  casePath, golden, nativeCheckJson, nativeDump, nativeDumpJson, read, samplePath, sampleTexture, settings,
} from "./support.mjs";

const browser = pageSession({ firefox: true });

const treeText = () => browser.page.evaluate(() => window.kxmViewer.treeText());
const setOptions = (options) => browser.page.evaluate((o) => window.kxmViewer.setOptions(o), options);
const firstScreen = () =>
  browser.page.$$eval("#tree [role=treeitem]", (items) =>
    items.map((i) => "  ".repeat(Number(i.getAttribute("aria-level")) - 1) + i.querySelector(".label").textContent));

describe("in Firefox", () => {
  test("the sample under each option setting equals kxm-dump's golden dump", async () => {
    for (const s of settings) {
      await setOptions({ showNames: s.showNames, showValues: s.showValues, expandAll: true });
      assert.deepEqual(await openBytes(browser.page, read(samplePath), "sample.kxm"), { outcome: "loaded", status: "Ready.", failure: null });
      const expected = golden(s.golden);
      assert.equal(await treeText(), expected, s.golden);
      const shown = await firstScreen();
      assert.ok(shown.length > 10);
      assert.deepEqual(shown, expected.split("\n").slice(0, shown.length), s.golden);
    }
  });

  test("more rows than the core keeps in a block, and a frame named blocks after its row", async () => {
    const path = casePath("late-name.kxm");
    await setOptions({ showNames: true, showValues: true, expandAll: false });
    await openBytes(browser.page, read(path), "late-name.kxm");
    assert.equal(await treeText(), nativeDump(path).stdout);
  });

  test("a file that fails part-way: its status, its explanation and the nodes read before", async () => {
    const path = casePath("cut.kxm");
    const native = nativeDumpJson(path);
    const result = await openBytes(browser.page, read(path), "cut.kxm");
    assert.deepEqual(result, { outcome: "failed", status: 'Error reading: "cut.kxm"', failure: native.failure });
    assert.match(await browser.page.$eval("#explanation", (e) => e.textContent), /^count-exceeds-file at 0x00000091 in Frame ROOT "Scene" > /);
    assert.equal(await treeText(), nativeDump(path).stdout);
  });

  test("the findings of kxm check --json, and a chunk's bytes in the hex pane", async () => {
    const path = casePath("findings.kxm");
    const bytes = read(path);
    await setOptions({ expandAll: true });
    await openBytes(browser.page, bytes, "findings.kxm");
    assert.deepEqual(await browser.page.evaluate(() => window.kxmViewer.findings()), nativeCheckJson(path).issues);
    await browser.page.evaluate(() => window.kxmViewer.selectRow(7));
    const first = await browser.page.$eval("#hex .hexline", (line) => line.textContent);
    const offset = parseInt(first.slice(0, 8), 16);
    const head = [...bytes.subarray(offset, offset + 8)].map((b) => b.toString(16).toUpperCase().padStart(2, "0")).join(" ");
    assert.equal(first.slice(10, 10 + head.length), head);
  });

  test("a frame named as markup shows as those characters", async () => {
    await openBytes(browser.page, read(casePath("hostile-name.kxm")), "hostile-name.kxm");
    assert.ok((await treeText()).includes('Frame ROOT: "<img src=x onerror=alert(1)>"'));
    assert.equal(await browser.page.$$eval("#tree img", (images) => images.length), 0);
  });

  test("the 3D view draws the sample, textured, and plays its animation", async () => {
    const { page } = browser;
    await openBytes(page, read(samplePath), "sample.kxm", { "wood.png": sampleTexture() });
    await page.evaluate(() => window.kxmViewer.sceneReady());
    assert.deepEqual(await page.evaluate(() => window.kxmViewer.textures()), ["wood.png"]);
    const pixels = await drawn(page);
    assert.ok(pixels.count > pixels.total * 0.03, `${pixels.count} of ${pixels.total} pixels drawn`);
    const start = await page.evaluate(() => window.kxmViewer.animation());
    assert.equal(start.playing, true);
    await page.waitForFunction((t) => window.kxmViewer.animation().time !== t, {}, start.time);
  });
});
