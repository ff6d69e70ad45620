// Two files compared, in chromium (workbench.test.mjs) and in Firefox (firefox_workbench.test.mjs)
// alike: versions of one model written by our writer (make_web_cases.cpp), whose differences the
// page must list as `kxm diff --json` lists them, mark in both trees, go to one by one and show
// with both values. `page()` is the page of either driver.
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import { test } from "node:test";
import { openBytes } from "./browser.mjs";
import { casePath, casesDir, nativeDump, nativeKxm, read } from "./support.mjs";
import { press } from "./workbench_cases.mjs";

// kxm diff --json of two of the cases: what the page lists must be this.
function nativeDiff(first, second, args = []) {
  const run = spawnSync(nativeKxm, ["diff", "--json", ...args, first, second], { cwd: casesDir, encoding: "utf8" });
  const { differences, count, truncated } = JSON.parse(run.stdout);
  return { differences, count, truncated };
}

// Opens `first` and compares it with `second` through window.kxmViewer.
async function compare(page, first, second) {
  await openBytes(page, read(casePath(first)), first);
  return page.evaluate(
    ([data, name]) => window.kxmViewer.compareWith(Uint8Array.from(atob(data), (c) => c.charCodeAt(0)), name),
    [read(casePath(second)).toString("base64"), second],
  );
}

const selected = (page, tree) =>
  page.$eval(`#${tree} [aria-selected=true] .label`, (e) => e.textContent).catch(() => null);
const both = async (page) => [await selected(page, "tree"), await selected(page, "other-tree")];
const marked = (page, tree, mark) =>
  page.$$eval(`#${tree} .treeitem.${mark} .label`, (items) => items.map((e) => e.textContent));
const settle = (page) => page.evaluate(() => new Promise((r) => requestAnimationFrame(() => setTimeout(r, 0))));

// Waits for the page to say the two files' differences, or for a few seconds.
async function compared(page, count) {
  for (let i = 0; i < 200 && (await page.evaluate(() => window.kxmViewer.differences()?.count)) !== count; ++i)
    await settle(page);
  return page.evaluate(() => window.kxmViewer.differences());
}

export function compareCases(page) {
  test("an inserted frame is one difference, as kxm diff --json says, marked where the second file has it", async () => {
    const p = page();
    await p.evaluate(() => window.kxmViewer.setOptions({ showNames: true, showValues: true, expandAll: true }));
    const result = await compare(p, "knight.kxm", "knight-inserted.kxm");
    const native = nativeDiff("knight.kxm", "knight-inserted.kxm");
    assert.equal(native.count, 1);
    assert.deepEqual(result, { outcome: "loaded", status: "Ready.", ...native });
    assert.deepEqual(await p.evaluate(() => window.kxmViewer.differences()), native);
    const [d] = native.differences;
    assert.deepEqual(await p.$$eval("#differences li", (li) => li.map((e) => e.textContent)), [`${d.path}: ${d.text}`]);
    assert.equal(await p.$eval("#differences-title", (e) => e.textContent), "Differences: 1");
    // The second tree is the second file's, as kxm-dump prints it; the frame is marked there,
    // the rows that hold it shaded, and the first tree has nothing that differs.
    assert.equal(await p.evaluate(() => window.kxmViewer.otherTreeText()), nativeDump(casePath("knight-inserted.kxm")).stdout);
    assert.deepEqual(await marked(p, "other-tree", "differs"), ['Frame CHILD: "Sword"']);
    assert.deepEqual(await marked(p, "other-tree", "holds-difference"), ["Frames", 'Frame ROOT: "knight"']);
    assert.deepEqual(await marked(p, "tree", "differs"), []);
  });

  test("each pair's differences are kxm diff --json's, names shown or not, and the second tree kxm-dump's", async () => {
    const p = page();
    for (const showNames of [true, false]) {
      await p.evaluate((s) => window.kxmViewer.setOptions({ showNames: s, showValues: true, expandAll: true }), showNames);
      for (const second of ["knight-inserted.kxm", "knight-changed.kxm", "knight-cut.kxm"]) {
        const what = `${second}, names ${showNames ? "shown" : "not shown"}`;
        const native = nativeDiff("knight.kxm", second, showNames ? [] : ["--no-names"]);
        const result = await compare(p, "knight.kxm", second);
        assert.deepEqual(result.differences, native.differences, what);
        assert.equal(result.count, native.count, what);
        const dump = nativeDump(casePath(second), showNames ? [] : ["--no-names"]).stdout;
        assert.equal(await p.evaluate(() => window.kxmViewer.otherTreeText()), dump, what);
      }
      // The options changed while comparing: both files are shown and compared again.
      await p.evaluate((s) => window.kxmViewer.setOptions({ showNames: s }), !showNames);
      const again = await compared(p, nativeDiff("knight.kxm", "knight-cut.kxm", showNames ? ["--no-names"] : []).count);
      assert.deepEqual(again, nativeDiff("knight.kxm", "knight-cut.kxm", showNames ? ["--no-names"] : []));
    }
    await p.evaluate(() => window.kxmViewer.setOptions({ showNames: true }));
  });

  test("Next and Previous, F8 and Shift+F8 go to each difference in both trees and show both values", async () => {
    const p = page();
    const result = await compare(p, "knight.kxm", "knight-changed.kxm");
    assert.deepEqual(result.differences.map((d) => d.kind), ["added", "content", "value"]);
    const values = () => p.$$eval("#difference-values div", (d) => d.map((e) => e.textContent));
    // The frame only the second file has: the first tree shows where it would be.
    await p.focus("#tree");
    await press(p, "F8");
    assert.deepEqual(await both(p), ['Frame ROOT: "knight"', 'Frame CHILD: "Sword"']);
    // A vertex moved: the chunk in both, the first file's byte of the field marked.
    await press(p, "F8");
    assert.deepEqual(await both(p), ["Mesh Vertex Data", "Mesh Vertex Data"]);
    assert.equal(await p.evaluate(() => window.kxmViewer.markedByte()), 0x89);
    assert.deepEqual(await values(), ["knight.kxm: (1, 0, 0)", "knight-changed.kxm: (1, 0.5, 0)"]);
    await p.click("#next-difference");
    assert.deepEqual(await both(p), ["Mesh Ghost Mode: -1", "Mesh Ghost Mode: 2"]);
    assert.deepEqual(await values(), ["knight.kxm: -1", "knight-changed.kxm: 2"]);
    assert.equal(await p.$eval("#differences li[aria-current=true]", (e) => e.textContent), `${result.differences[2].path}: -1 -> 2`);
    // Round the end and back, from the keys and the buttons; a difference followed with Enter.
    await press(p, "F8");
    assert.deepEqual(await both(p), ['Frame ROOT: "knight"', 'Frame CHILD: "Sword"']);
    await press(p, "Shift+F8");
    assert.deepEqual(await both(p), ["Mesh Ghost Mode: -1", "Mesh Ghost Mode: 2"]);
    await p.click("#previous-difference");
    assert.deepEqual(await both(p), ["Mesh Vertex Data", "Mesh Vertex Data"]);
    await p.focus("#differences li:nth-child(3) button");
    await press(p, "Enter");
    assert.deepEqual(await both(p), ["Mesh Ghost Mode: -1", "Mesh Ghost Mode: 2"]);
  });

  test("a row selected in either tree selects its counterpart in the other", async () => {
    const p = page();
    await compare(p, "knight.kxm", "knight-changed.kxm");
    const rowOf = (tree, label) =>
      p.evaluate(
        ([t, l]) => (t === "tree" ? window.kxmViewer.treeText() : window.kxmViewer.otherTreeText()).split("\n").findIndex((x) => x.trim() === l),
        [tree, label],
      );
    // The first file's rows stand two before the second's, which has the inserted frame.
    for (const [label, other] of [['Frame CHILD: "Leg"', 'Frame CHILD: "Leg"'], ["Frame Name: \"Arm\"", "Frame Name: \"Arm\""], ["Mesh Ghost Mode: -1", "Mesh Ghost Mode: 2"], ['END AnimData "Leg"', 'END AnimData "Leg"']]) {
      const row = await rowOf("tree", label);
      await p.evaluate((r) => window.kxmViewer.selectRow(r), row);
      assert.deepEqual(await both(p), [label, other]);
      assert.equal(await p.evaluate(() => window.kxmViewer.otherSelectedRow()), await rowOf("other-tree", other));
    }
    // From the second tree, with a click: the first follows; from the inserted frame's name, to
    // where it would be.
    const click = async (label) => {
      const row = await rowOf("other-tree", label);
      await p.evaluate((r) => {
        document.getElementById("other-tree").scrollTop = r * 20 - 40;
      }, row);
      await settle(p);
      await p.click(`#other-row-${row} .label`);
    };
    await click("Mesh Vertex Count: 3");
    assert.deepEqual(await both(p), ["Mesh Vertex Count: 3", "Mesh Vertex Count: 3"]);
    await click('Frame Name: "Sword"');
    assert.deepEqual(await both(p), ['Frame ROOT: "knight"', 'Frame Name: "Sword"']);
  });

  test("two models dropped together are compared; a file opened then is compared with the second; Close ends it", async () => {
    const p = page();
    // No comparison before the drop: what the page then compares is the drop's.
    await p.evaluate(() => window.kxmViewer.closeComparison());
    await p.evaluate(
      ([a, b]) => {
        const decode = (b64) => Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
        const transfer = new DataTransfer();
        transfer.items.add(new File([decode(a)], "knight.kxm"));
        transfer.items.add(new File([decode(b)], "knight-changed.kxm"));
        document.getElementById("tree").dispatchEvent(new DragEvent("drop", { dataTransfer: transfer, bubbles: true, cancelable: true }));
      },
      [read(casePath("knight.kxm")).toString("base64"), read(casePath("knight-changed.kxm")).toString("base64")],
    );
    // Handed over out of the walk's order: the first in that order is the first file.
    const native = nativeDiff("knight-changed.kxm", "knight.kxm");
    assert.deepEqual(await compared(p, native.count), native);
    assert.equal(await p.$eval("#compare-title", (e) => e.textContent), "knight.kxm: Ready.");
    assert.equal(await p.$eval("#open-path", (e) => e.textContent), "knight-changed.kxm");
    // The second file itself opened: the two hold the same.
    await openBytes(p, read(casePath("knight.kxm")), "knight.kxm");
    assert.deepEqual(await p.evaluate(() => window.kxmViewer.differences()), { differences: [], count: 0, truncated: false });
    assert.equal(await p.$eval("#differences-title", (e) => e.textContent), "Differences: the files hold the same");
    assert.deepEqual(await marked(p, "tree", "differs"), []);
    await p.click("#close-compare");
    assert.equal(await p.evaluate(() => window.kxmViewer.differences()), null);
    assert.deepEqual(await p.$$eval("#compare-pane, #differences-pane", (e) => e.map((x) => x.hidden)), [true, true]);
  });
}
