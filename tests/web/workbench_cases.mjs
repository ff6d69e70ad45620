// The workbench's cases, run in chromium (workbench.test.mjs) and in Firefox
// (firefox_workbench.test.mjs) alike: a folder of models listed with the states kxm check gives,
// opened one by one; the search over every label; go to offset against the offsets kxm dump
// --offsets gives; and the keys that reach all of it. `page()` is the page of either driver.
import assert from "node:assert/strict";
import { mkdtempSync, readdirSync, readFileSync, rmSync, statSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join } from "node:path";
import { test } from "node:test";
import { openBytes } from "./browser.mjs";
import { casePath, casesDir, nativeDump, nativeKxm, read, samplePath } from "./support.mjs";
import { spawnSync } from "node:child_process";

// Every file below the folder, by its path from the folder's parent, as a dropped folder gives it.
export function folderFiles(folder, name) {
  const out = {};
  for (const entry of readdirSync(folder)) {
    const path = join(folder, entry);
    if (statSync(path).isDirectory()) Object.assign(out, folderFiles(path, `${name}/${entry}`));
    else out[`${name}/${entry}`] = read(path).toString("base64");
  }
  return out;
}

// kxm check --json over the folder: each file's path, outcome, failure and counts.
export function nativeFolderStates(name) {
  const run = spawnSync(nativeKxm, ["check", "--json", name], { cwd: casesDir, encoding: "utf8" });
  return run.stdout.trim().split("\n").map((line) => JSON.parse(line)).flat().filter((d) => d.file !== undefined);
}

// The page's state of a file in the terms of kxm check --json.
const asNative = ({ path, state }) => ({
  path,
  outcome: state.kind,
  cause: state.kind === "failed" ? state.cause : null,
  offset: state.kind === "failed" ? state.offset : null,
  numErrors: state.numErrors,
  numWarnings: state.numWarnings,
});

// Presses keys such as "Shift+F3" with keyboard.down and up, which both drivers have.
export async function press(page, keys) {
  const parts = keys.split("+");
  for (const k of parts.slice(0, -1)) await page.keyboard.down(k);
  await page.keyboard.press(parts.at(-1));
  for (const k of parts.slice(0, -1).reverse()) await page.keyboard.up(k);
}

const selectedLabel = (page) => page.$eval("#tree [aria-selected=true] .label", (e) => e.textContent).catch(() => null);
const settle = (page) => page.evaluate(() => new Promise((r) => requestAnimationFrame(() => setTimeout(r, 0))));
const openPath = (page) => page.$eval("#open-path", (e) => e.textContent);

// The open file's path once it is `path`, or what it is after a few seconds.
async function opened(page, path) {
  for (let i = 0; i < 200 && (await openPath(page)) !== path; ++i) await settle(page);
  return openPath(page);
}

// kxm export of the crate in the game folder, with these options.
function nativeGlb(options) {
  const out = join(mkdtempSync(join(tmpdir(), "kxm-web-crate-")), "crate.glb");
  const run = spawnSync(nativeKxm, ["export", "--quiet", ...options, "game/models/crate.kxm", out], { cwd: casesDir });
  assert.equal(run.status, 0, String(run.stderr));
  const glb = readFileSync(out);
  rmSync(dirname(out), { recursive: true, force: true });
  return glb;
}

// The page's GLB, as base64 on the way.
async function pageGlb(page) {
  const base64 = await page.evaluate(() => {
    const glb = window.kxmViewer.glb();
    let text = "";
    for (let at = 0; at < glb.length; at += 0x8000) text += String.fromCharCode(...glb.subarray(at, at + 0x8000));
    return btoa(text);
  });
  return Buffer.from(base64, "base64");
}

export function folderCases(page) {
  test("a folder lists every .kxm in kxm's order, each with the state kxm check --json gives", async () => {
    const p = page();
    const files = folderFiles(casePath("game"), "game");
    const result = await p.evaluate(async (files) => {
      const decode = (b64) => Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
      return window.kxmViewer.openFolder(Object.fromEntries(Object.entries(files).map(([k, v]) => [k, decode(v)])));
    }, files);
    const states = await p.evaluate(() => window.kxmViewer.folder());
    // A failed load is kxm check's one error.
    const native = nativeFolderStates("game").map((doc) => {
      const failure = doc.outcome === "failed" ? doc.issues.messages.find((m) => m.severity === "error") : null;
      return {
        path: doc.file,
        outcome: doc.outcome,
        cause: failure?.code ?? null,
        offset: failure ? failure.offset : null,
        numErrors: doc.issues.numErrors,
        numWarnings: doc.issues.numWarnings,
      };
    });
    assert.equal(native.length, 8);
    assert.deepEqual(states.map(asNative), native);
    // The first file is opened: its path in the title, the status bar and the list.
    assert.equal(result.status, "Ready.");
    assert.equal(await p.title(), `${native[0].path} - KXM Chunk Viewer`);
    assert.equal(await p.$eval("#open-path", (e) => e.textContent), native[0].path);
    assert.equal(await p.$eval("#files [aria-selected=true] .path", (e) => e.textContent), native[0].path);
    const rows = await p.$$eval("#files [role=option]", (o) => o.map((r) => [r.querySelector(".path").textContent, r.querySelector(".state").textContent]));
    assert.deepEqual(rows.map((r) => r[0]), native.map((n) => n.path));
    assert.deepEqual(rows.map((r) => r[1]), [
      "loaded", "failed: truncated at 0x00000000", "loaded with 5 warnings", "failed: count-exceeds-file at 0x00000091",
      "loaded", "failed: bad-header at 0x0000000C", "loaded", "loaded",
    ]);
  });

  test("a folder without models says so and keeps the open file", async () => {
    const p = page();
    const before = await openPath(p);
    const none = await p.evaluate(() => window.kxmViewer.openFolder({ "art/readme.txt": new Uint8Array([104, 105]) }));
    assert.equal(none, null);
    assert.equal(await p.$eval("#files-title", (e) => e.textContent), "Files: no .kxm files in this folder");
    assert.equal(await openPath(p), before);
    assert.deepEqual(await p.evaluate(() => window.kxmViewer.folder()), []);
    // The game folder again, for the cases that follow.
    await p.evaluate(async (files) => {
      const decode = (b64) => Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
      return window.kxmViewer.openFolder(Object.fromEntries(Object.entries(files).map(([k, v]) => [k, decode(v)])));
    }, folderFiles(casePath("game"), "game"));
  });

  test("textures are found in the texture folders chosen, as kxm export --texture-dir finds them", async () => {
    const p = page();
    const offered = await p.$$eval("#texture-folders label", (l) => l.map((e) => [e.textContent.trim(), e.querySelector("input").checked]));
    assert.deepEqual(offered, [["game/textures", true]]);
    const states = await p.evaluate(() => window.kxmViewer.folder());
    const crate = states.findIndex((s) => s.path === "game/models/crate.kxm");
    await p.evaluate((i) => window.kxmViewer.openListed(i), crate);
    await p.evaluate(() => window.kxmViewer.sceneReady());
    assert.deepEqual(await pageGlb(p), nativeGlb(["--texture-dir", "game/textures"]));
    assert.equal((await p.evaluate(() => window.kxmViewer.textures())).length, 1);
    // Without the folder, nothing stands in for the texture.
    await p.click("#texture-folders input");
    for (let i = 0; i < 100 && (await p.evaluate(() => window.kxmViewer.textures())).length > 0; ++i) await settle(p);
    await p.evaluate(() => window.kxmViewer.sceneReady());
    assert.deepEqual(await p.evaluate(() => window.kxmViewer.textures()), []);
    assert.deepEqual(await pageGlb(p), nativeGlb([]));
    await p.click("#texture-folders input");
  });

  test("next and previous move through the list; Failed only shows the broken files", async () => {
    const p = page();
    const states = await p.evaluate(() => window.kxmViewer.folder());
    await p.evaluate(() => window.kxmViewer.openListed(0));
    for (let i = 1; i < states.length; ++i) {
      const result = await p.evaluate(() => window.kxmViewer.nextFile());
      const failed = states[i].state.kind === "failed";
      assert.equal(result.status, failed ? `Error reading: "${states[i].path}"` : "Ready.", states[i].path);
      assert.equal(await openPath(p), states[i].path);
    }
    assert.equal(await p.evaluate(() => window.kxmViewer.nextFile()), null, "no file after the last");
    await p.evaluate(() => window.kxmViewer.previousFile());
    assert.equal(await openPath(p), states.at(-2).path);
    await p.click("#failed-only");
    const shown = await p.$$eval("#files [role=option] .path", (o) => o.map((e) => e.textContent));
    assert.deepEqual(shown, states.filter((s) => s.state.kind === "failed").map((s) => s.path));
    await p.evaluate(() => window.kxmViewer.openListed(0));
    await p.click("#next-file");
    assert.equal(await opened(p, shown[0]), shown[0], "the first failed file after the open one");
    await p.click("#next-file");
    assert.equal(await opened(p, shown[1]), shown[1]);
    await p.click("#previous-file");
    assert.equal(await opened(p, shown[0]), shown[0]);
    await p.click("#failed-only");
  });

  test("the file pane and Alt+Down, Alt+Up open files from the keyboard", async () => {
    const p = page();
    const states = await p.evaluate(() => window.kxmViewer.folder());
    await p.evaluate(() => window.kxmViewer.openListed(0));
    await p.focus("#files");
    await press(p, "ArrowDown");
    await press(p, "ArrowDown");
    await press(p, "Enter");
    assert.equal(await opened(p, states[2].path), states[2].path);
    await press(p, "Alt+ArrowDown");
    assert.equal(await opened(p, states[3].path), states[3].path);
    await press(p, "Alt+ArrowUp");
    assert.equal(await opened(p, states[2].path), states[2].path);
  });
}

// The innermost node of `kxm dump --offsets` whose bytes hold each offset: its line number.
function nativeInnermost(path, offsets) {
  const lines = nativeDump(path, ["--offsets"]).stdout.split("\n").filter((l) => l !== "");
  const size = read(path).length;
  const nodes = lines.map((line, row) => {
    const depth = (line.length - line.slice(18).trimStart().length - 18) / 2;
    const start = line.startsWith("-") ? -1 : parseInt(line.slice(0, 8), 16);
    const length = line.slice(9, 17);
    const label = line.slice(18).trimStart();
    // A header field: its bytes run to the next field (the file id's characters, four otherwise).
    const end = start < 0 ? -1 : length === "--------" ? null : Math.min(size, start + 8 + parseInt(length, 16));
    return { row, depth, start, end, label };
  });
  nodes.forEach((n, i) => {
    if (n.end === null) n.end = nodes[i + 1]?.end === null || nodes[i + 1]?.start > n.start ? nodes[i + 1].start : n.start + 4;
  });
  return offsets.map((offset) => {
    let best = -1;
    for (const n of nodes) if (n.start >= 0 && n.start <= offset && offset < n.end && (best < 0 || n.depth > nodes[best].depth)) best = n.row;
    return best;
  });
}

export function searchCases(page) {
  test("search counts every label that holds the text, collapsed rows included, and goes from match to match", async () => {
    const p = page();
    await p.evaluate(() => window.kxmViewer.setOptions({ showNames: true, showValues: true, expandAll: false }));
    await openBytes(p, read(samplePath), "sample.kxm");
    const lines = (await p.evaluate(() => window.kxmViewer.treeText())).split("\n").slice(0, -1);
    const cases = [
      ["frame name", false],
      ["Frame Name", true],
      ["FRAME NAME", true],
      ["end", false],
      ["0.000000, 1", false],
      ["no such label", false],
    ];
    for (const [text, matchCase] of cases) {
      const expected = lines.flatMap((l, row) => ((matchCase ? l.trimStart() : l.trimStart().toLowerCase()).includes(matchCase ? text : text.toLowerCase()) ? [row] : []));
      const found = await p.evaluate(([t, c]) => window.kxmViewer.search(t, c), [text, matchCase]);
      assert.deepEqual(found, { count: expected.length, rows: expected }, text);
      if (expected.length > 0) {
        assert.equal(await p.evaluate(() => window.kxmViewer.selectedRow()), expected[0], text);
        assert.equal(await selectedLabel(p), lines[expected[0]].trimStart(), `${text}: the match is expanded to and shown`);
      }
    }
    // From the keyboard: Ctrl+F, the text typed, Enter and Shift+Enter, F3 and Shift+F3.
    const expected = lines.flatMap((l, row) => (l.toLowerCase().includes("frame name") ? [row] : []));
    assert.ok(expected.length >= 3);
    await p.focus("#tree");
    await press(p, "Control+f");
    assert.equal(await p.evaluate(() => document.activeElement.id), "search");
    await p.keyboard.type("FRAME NAME");
    assert.equal(await p.evaluate(() => window.kxmViewer.selectedRow()), expected[0]);
    assert.equal(await p.$eval("#search-count", (e) => e.textContent), `1 of ${expected.length} matches`);
    const steps = [["Enter", 1], ["Enter", 2], ["Shift+Enter", 1], ["F3", 2], ["Shift+F3", 1], ["Shift+Enter", 0], ["Shift+Enter", expected.length - 1]];
    for (const [key, at] of steps) {
      await press(p, key);
      assert.equal(await p.evaluate(() => window.kxmViewer.selectedRow()), expected[at], key);
    }
  });

  test("a label with bytes shown escaped is found as it shows", async () => {
    const p = page();
    await openBytes(p, read(casePath("hostile-name.kxm")), "hostile-name.kxm");
    const lines = (await p.evaluate(() => window.kxmViewer.treeText())).split("\n");
    for (const text of ["\\x01\\xe9", "\\\\back\\\\", "<IMG SRC"]) {
      const expected = lines.flatMap((l, row) => (l.toLowerCase().includes(text.toLowerCase()) ? [row] : []));
      assert.ok(expected.length > 0, text);
      assert.deepEqual(await p.evaluate((t) => window.kxmViewer.search(t), text), { count: expected.length, rows: expected }, text);
    }
  });

  test("go to offset selects the innermost node whose bytes hold it, as kxm dump --offsets places them", async () => {
    const p = page();
    await openBytes(p, read(samplePath), "sample.kxm");
    const size = read(samplePath).length;
    const offsets = [0, 3, 4, 11, 12, 16, 20, 0x18, 0x1c, 0x20, 0x27, size - 1];
    for (let o = 29; o < size; o += 61) offsets.push(o);
    const expected = nativeInnermost(samplePath, offsets);
    const shown = await p.evaluate((os) => os.map((o) => window.kxmViewer.goToOffset(o)), offsets);
    assert.deepEqual(shown, expected);
    assert.equal(await p.evaluate((s) => window.kxmViewer.goToOffset(s), size), -1, "past the end");
    // Typed into the search box: the node is selected and the byte marked in the hex pane.
    await p.focus("#tree");
    await press(p, "Control+g");
    await p.keyboard.type("1C");
    assert.equal(await p.evaluate(() => window.kxmViewer.selectedRow()), expected[offsets.indexOf(0x1c)]);
    assert.equal(await p.evaluate(() => window.kxmViewer.markedByte()), 0x1c);
    const marked = await p.$$eval("#hex .hexline .marked", (m) => m.map((e) => e.textContent));
    const byte = read(samplePath)[0x1c];
    assert.equal(marked[0], byte.toString(16).toUpperCase().padStart(2, "0"));
  });
}

export function failureCases(page) {
  test("a failed load selects the deepest chunk read and marks its failing byte; the offset links there", async () => {
    const p = page();
    await p.evaluate(() => window.kxmViewer.setOptions({ showNames: true, showValues: true, expandAll: false }));
    const result = await openBytes(p, read(casePath("cut.kxm")), "cut.kxm");
    assert.equal(result.failure.offset, 0x91);
    assert.equal(await selectedLabel(p), "Mesh Index Data");
    assert.equal(await p.evaluate(() => window.kxmViewer.markedByte()), 0x91);
    assert.equal(await p.$eval("#hex .marked", (e) => e.textContent), read(casePath("cut.kxm"))[0x91].toString(16).toUpperCase().padStart(2, "0"));
    await p.evaluate(() => window.kxmViewer.selectRow(0));
    assert.equal(await p.$eval("#explanation .offset-link", (e) => e.textContent), "0x00000091");
    await p.click("#explanation .offset-link");
    assert.equal(await selectedLabel(p), "Mesh Index Data");
    assert.equal(await p.evaluate(() => window.kxmViewer.markedByte()), 0x91);
    // A header that fails makes no node: nothing is selected, the byte is marked all the same.
    const header = await openBytes(p, read(casePath("game/bad-version.kxm")), "bad-version.kxm");
    assert.equal(header.failure.offset, 0x0c);
    assert.equal(await p.evaluate(() => window.kxmViewer.selectedRow()), -1);
    assert.equal(await p.evaluate(() => window.kxmViewer.markedByte()), 0x0c);
  });
}

export function keyboardCases(page) {
  test("Tab reaches every control; a finding followed with Enter selects its chunk", async () => {
    const p = page();
    await openBytes(p, read(casePath("findings.kxm")), "findings.kxm");
    await p.evaluate(() => window.kxmViewer.sceneReady());
    await p.focus("#open-file");
    const wanted = ["open-file", "open-folder", "compare-file", "show-names", "show-values", "expand-all", "search", "match-case",
      "find-previous", "find-next", "tree", "split-sides", "wireframe", "download", "split-scene", "hex", "values", "finding"];
    if (!(await p.$eval("#file-pane", (e) => e.hidden))) wanted.push("files", "previous-file", "next-file", "failed-only");
    // From the first control on, once through the page and not out of it: past its end the
    // browser's own controls take the focus, and Firefox's window may not give it back.
    const reached = ["open-file"];
    for (let i = 0; i < 60 && !wanted.every((id) => reached.includes(id)); ++i) {
      await press(p, "Tab");
      reached.push(await p.evaluate(() => {
        const e = document.activeElement;
        return e.id || (e.closest("#findings") ? "finding" : e.tagName);
      }));
    }
    for (const id of wanted) assert.ok(reached.includes(id), `${id} is reached: ${reached.join(" ")}`);
    // The fifth finding, followed from the keyboard.
    await p.focus("#findings li:nth-child(5) button");
    await press(p, "Enter");
    for (let i = 0; i < 100 && (await selectedLabel(p)) !== "Mesh Index Data"; ++i) await settle(p);
    assert.equal(await selectedLabel(p), "Mesh Index Data");
  });

  test("the splitters resize the tree and the 3D view from the keyboard", async () => {
    const p = page();
    const width = () => p.$eval("#tree-pane", (e) => e.getBoundingClientRect().width);
    const height = () => p.$eval("#scene-pane", (e) => e.getBoundingClientRect().height);
    const w = await width();
    await p.focus("#split-sides");
    for (let i = 0; i < 3; ++i) await press(p, "ArrowRight");
    assert.ok(Math.abs((await width()) - (w + 48)) <= 1, `${w} to ${await width()}`);
    await press(p, "ArrowLeft");
    assert.ok(Math.abs((await width()) - (w + 32)) <= 1);
    const h = await height();
    await p.focus("#split-scene");
    await press(p, "ArrowUp");
    await press(p, "ArrowUp");
    assert.ok(Math.abs((await height()) - (h - 32)) <= 1, `${h} to ${await height()}`);
  });

  test("a label longer than the pane scrolls sideways and is not cut", async () => {
    const p = page();
    await p.evaluate(() => window.kxmViewer.setOptions({ showNames: true, showValues: true, expandAll: true }));
    await openBytes(p, read(casePath("deep.kxm")), "deep.kxm");
    // The row that reaches furthest right: deepest and longest.
    const lines = (await p.evaluate(() => window.kxmViewer.treeText())).split("\n");
    const reach = (l) => 8 * (l.length - l.trimStart().length) + l.trimStart().length;
    const row = lines.reduce((best, l, i) => (reach(l) > reach(lines[best]) ? i : best), 0);
    await p.evaluate((r) => window.kxmViewer.selectRow(r), row);
    const seen = await p.evaluate(() => {
      const tree = document.getElementById("tree");
      const label = tree.querySelector("[aria-selected=true] .label");
      const row = label.parentElement;
      tree.scrollLeft = tree.scrollWidth;
      const t = tree.getBoundingClientRect();
      const l = label.getBoundingClientRect();
      const r = row.getBoundingClientRect();
      return { scrolls: tree.scrollWidth > tree.clientWidth, labelRight: l.right, rowRight: r.right, treeRight: t.right, width: l.width };
    });
    assert.ok(seen.scrolls, "the tree scrolls sideways");
    assert.ok(seen.width > 0 && seen.labelRight <= seen.treeRight + 1, JSON.stringify(seen));
    assert.ok(seen.rowRight >= seen.labelRight - 1, `the row holds its label: ${JSON.stringify(seen)}`);
  });
}
