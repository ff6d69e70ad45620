// The tree: the sample under the four option settings equals the golden dumps byte for byte,
// through treeText() and row by row in the DOM of the first screen; options re-show the tree
// at once from the bytes already read; the ARIA tree answers the keys of a native tree view and
// makes rows only where they show.
import assert from "node:assert/strict";
import { describe, test } from "node:test";
import { openBytes } from "./browser.mjs";
import { pageSession } from "./session.mjs";
import { casePath, golden, nativeDump, read, samplePath, settings } from "./support.mjs";

// The rows the DOM holds: level and label text, in screen order.
const domRows = (page) =>
  page.$$eval("#tree [role=treeitem]", (items) =>
    items.map((i) => ({ level: Number(i.getAttribute("aria-level")), text: i.querySelector(".label").textContent })));

// A golden dump's lines as rows: the level from the indentation, the label after it.
const goldenRows = (text) =>
  text.split("\n").filter((l) => l !== "").map((line) => {
    const indent = line.length - line.trimStart().length;
    return { level: indent / 2 + 1, text: line.slice(indent) };
  });

const browser = pageSession();

describe("the sample under each option setting equals kxm-dump's golden dump", () => {
  for (const s of settings) {
    test(`opened with ${s.golden}'s options`, async () => {
      const { page } = browser;
      await page.evaluate((o) => window.kxmViewer.setOptions({ ...o, expandAll: true }), { showNames: s.showNames, showValues: s.showValues });
      const result = await openBytes(page, read(samplePath), "sample.kxm");
      assert.deepEqual(result, { outcome: "loaded", status: "Ready.", failure: null });
      const expected = golden(s.golden);
      assert.equal(await page.evaluate(() => window.kxmViewer.treeText()), expected);
      const shown = await domRows(page);
      assert.ok(shown.length > 20, `the first screen shows ${shown.length} rows`);
      assert.deepEqual(shown, goldenRows(expected).slice(0, shown.length));
    });
  }

  test("changing an option re-shows the tree at once from the bytes already read", async () => {
    const { page } = browser;
    await page.evaluate(() => window.kxmViewer.setOptions({ showNames: true, showValues: true, expandAll: true }));
    await openBytes(page, read(samplePath), "sample.kxm");
    for (const s of settings) {
      await page.evaluate((o) => window.kxmViewer.setOptions(o), { showNames: s.showNames, showValues: s.showValues });
      assert.equal(await page.evaluate(() => window.kxmViewer.treeText()), golden(s.golden), s.golden);
      assert.deepEqual(await domRows(page), goldenRows(golden(s.golden)).slice(0, (await domRows(page)).length));
    }
  });

  test("the check boxes do what setOptions does", async () => {
    const { page } = browser;
    await page.evaluate(() => window.kxmViewer.setOptions({ showNames: true, showValues: true, expandAll: true }));
    await openBytes(page, read(samplePath), "sample.kxm");
    await page.uncheck("#show-names");
    await page.waitForFunction((g) => window.kxmViewer.treeText() === g, golden("sample.no-names.dump"));
    await page.check("#show-names");
    await page.waitForFunction((g) => window.kxmViewer.treeText() === g, golden("sample.dump"));
  });
});

describe("expand all and the ARIA tree", () => {
  test("more rows than the core keeps in a block, and a frame named blocks after its row, under each setting", async () => {
    const { page } = browser;
    const path = casePath("late-name.kxm");
    for (const s of settings) {
      await page.evaluate((o) => window.kxmViewer.setOptions({ ...o, expandAll: false }), { showNames: s.showNames, showValues: s.showValues });
      await openBytes(page, read(path), "late-name.kxm");
      const args = [...(s.showNames ? [] : ["--no-names"]), ...(s.showValues ? [] : ["--no-values"])];
      assert.equal(await page.evaluate(() => window.kxmViewer.treeText()), nativeDump(path, args).stdout, s.golden);
    }
  });

  test("with Expand all off only the four roots show, and treeText still holds every node", async () => {
    const { page } = browser;
    await page.evaluate(() => window.kxmViewer.setOptions({ showNames: true, showValues: true, expandAll: false }));
    await openBytes(page, read(samplePath), "sample.kxm");
    const rows = await page.$$eval("#tree [role=treeitem]", (items) =>
      items.map((i) => [i.textContent.replace(/^[\u25b8\u25be]/, ""), i.getAttribute("aria-level"), i.getAttribute("aria-expanded")]));
    assert.deepEqual(rows, [
      ["FileHeader", "1", "false"], ["Frames", "1", "false"], ["AnimationSets", "1", "false"], ["CustomData", "1", "false"],
    ]);
    assert.equal(await page.evaluate(() => window.kxmViewer.treeText()), golden("sample.dump"));
    await page.evaluate(() => window.kxmViewer.setOptions({ expandAll: true }));
    assert.ok((await page.$$("#tree [role=treeitem]")).length > 20);
  });

  test("keys move and expand as in a native tree view", async () => {
    const { page } = browser;
    await page.evaluate(() => window.kxmViewer.setOptions({ showNames: true, showValues: true, expandAll: false }));
    await openBytes(page, read(samplePath), "sample.kxm");
    const selected = () => page.$eval("#tree [aria-selected=true] .label", (e) => e.textContent).catch(() => null);
    await page.focus("#tree");
    await page.keyboard.press("Home");
    assert.equal(await selected(), "FileHeader");
    await page.keyboard.press("ArrowDown");
    assert.equal(await selected(), "Frames");
    await page.keyboard.press("ArrowRight"); // expands
    assert.equal(await page.$eval("#tree [aria-selected=true]", (e) => e.getAttribute("aria-expanded")), "true");
    await page.keyboard.press("ArrowRight"); // to the first child
    assert.equal(await selected(), 'Frame ROOT: "Lamp"');
    assert.equal(await page.$eval("#tree [aria-selected=true]", (e) => e.getAttribute("aria-level")), "2");
    await page.keyboard.press("+");
    await page.keyboard.press("ArrowDown");
    assert.equal(await selected(), 'Frame Name: "Lamp"');
    await page.keyboard.press("ArrowLeft"); // to the parent
    assert.equal(await selected(), 'Frame ROOT: "Lamp"');
    await page.keyboard.press("-");
    assert.equal(await page.$eval("#tree [aria-selected=true]", (e) => e.getAttribute("aria-expanded")), "false");
    await page.keyboard.press("End");
    assert.equal(await selected(), "CustomData");
    assert.equal(await page.$eval("#tree", (e) => e.getAttribute("aria-activedescendant")), await page.$eval("#tree [aria-selected=true]", (e) => e.id));
  });

  test("rows are made only where the box shows them", async () => {
    const { page } = browser;
    await page.evaluate(() => window.kxmViewer.setOptions({ showNames: true, showValues: true, expandAll: true }));
    await openBytes(page, read(samplePath), "sample.kxm");
    const total = golden("sample.dump").split("\n").length - 1;
    const made = (await page.$$("#tree [role=treeitem]")).length;
    assert.ok(made < total / 2, `${made} rows made of ${total}`);
    await page.focus("#tree");
    await page.keyboard.press("End");
    const last = goldenRows(golden("sample.dump")).at(-1);
    assert.equal(await page.$eval("#tree [aria-selected=true] .label", (e) => e.textContent), last.text);
    assert.ok((await page.$$("#tree [role=treeitem]")).length < total / 2);
  });
});
