// The bytes of a node in the hex pane (a chunk's 8-byte head and payload, a header field's
// bytes) at their offsets, and what kxm check finds beside the tree: the same findings as
// `kxm check --json`, each of which selects its chunk.
import assert from "node:assert/strict";
import { after, before, describe, test } from "node:test";
import { openBytes, openPage } from "./browser.mjs";
import { casePath, nativeCheckJson, nativeDump, read, samplePath, viewerHtml } from "./support.mjs";

let browser;
before(async () => {
  browser = await openPage(viewerHtml, { width: 1280, height: 1000 });
  await browser.page.evaluate(() => window.kxmViewer.setOptions({ showNames: true, showValues: true, expandAll: true }));
});
after(async () => {
  assert.deepEqual(browser.requests, [], "no request leaves the page");
  assert.deepEqual(browser.errors, []);
  await browser.close();
});

// A line as the hex pane shows it, made here from the file's bytes.
function expectedLine(bytes, at, end) {
  const codes = [];
  let text = "";
  for (let i = at; i < at + 16; ++i) {
    codes.push(i < end ? bytes[i].toString(16).toUpperCase().padStart(2, "0") : "  ");
    if (i < end) text += bytes[i] >= 0x20 && bytes[i] <= 0x7e ? String.fromCharCode(bytes[i]) : ".";
  }
  return at.toString(16).toUpperCase().padStart(8, "0") + "  " + codes.join(" ") + "  " + text;
}

// Clicks the row with this label, scrolling the tree to it with the keyboard.
async function clickRow(page, label) {
  const row = await page.evaluate((wanted) => {
    const lines = window.kxmViewer.treeText().split("\n");
    return lines.findIndex((l) => l.trimStart() === wanted);
  }, label);
  assert.ok(row >= 0, `no row ${label}`);
  await page.evaluate((r) => window.kxmViewer.selectRow(r), row);
  await page.click(`#row-${row} .label`);
  return row;
}

const hexLines = (page) => page.$$eval("#hex .hexline", (lines) => lines.map((l) => l.textContent.trimEnd()));

describe("the hex pane", () => {
  test("a chunk's head and payload, at the offsets kxm dump --offsets gives", async () => {
    const { page } = browser;
    const bytes = read(samplePath);
    await openBytes(page, bytes, "sample.kxm");
    const line = nativeDump(samplePath, ["--offsets"]).stdout.split("\n").find((l) => l.endsWith("Mesh Vertex Count: 24"));
    const offset = parseInt(line.slice(0, 8), 16);
    const length = parseInt(line.slice(9, 17), 16);
    assert.equal(length, 4);
    await clickRow(page, "Mesh Vertex Count: 24");
    const end = offset + 8 + length;
    const expected = [];
    for (let at = offset; at < end; at += 16) expected.push(expectedLine(bytes, at, end).trimEnd());
    assert.deepEqual(await hexLines(page), expected);
    // The head: code 113, length 4; the value 24.
    assert.match(expected[0], /^[0-9A-F]{8} {2}71 00 00 00 04 00 00 00 18 00 00 00/);
  });

  test("a header field's bytes", async () => {
    const { page } = browser;
    const bytes = read(samplePath);
    await openBytes(page, bytes, "sample.kxm");
    await clickRow(page, 'file_id: "MAGICKXM"');
    assert.deepEqual(await hexLines(page), [expectedLine(bytes, 4, 12).trimEnd()]);
    assert.match((await hexLines(page))[0], /^00000004 {2}4D 41 47 49 43 4B 58 4D {26}MAGICKXM$/);
  });

  test("a chunk of many lines makes only the lines that show", async () => {
    const { page } = browser;
    const bytes = read(samplePath);
    await openBytes(page, bytes, "sample.kxm");
    await clickRow(page, 'Frame ROOT: "Lamp"');
    const lines = await hexLines(page);
    const all = Math.ceil((8 + bytes.readUInt32LE(0x18 + 4)) / 16);
    assert.ok(all > 200, `the frame's ${all} lines`);
    assert.ok(lines.length > 3 && lines.length < 100, `${lines.length} lines made`);
    assert.equal(lines[0], expectedLine(bytes, 0x18, 0x18 + 8 + bytes.readUInt32LE(0x1c)));
    assert.match(lines[0], /^00000018 {2}01 00 00 00 /);
  });
});

describe("findings", () => {
  for (const name of ["findings.kxm", "cut.kxm", "chain.kxm", "sample.kxm"]) {
    test(`${name}: the findings of kxm check --json`, async () => {
      const { page } = browser;
      const path = name === "sample.kxm" ? samplePath : casePath(name);
      await openBytes(page, read(path), name);
      const shown = await page.evaluate(() => window.kxmViewer.findings());
      assert.deepEqual(shown, nativeCheckJson(path).issues);
      assert.equal(await page.$$eval("#findings li", (items) => items.length), shown.messages.length);
    });
  }

  test("selecting a finding selects its chunk", async () => {
    const { page } = browser;
    await openBytes(page, read(casePath("findings.kxm")), "findings.kxm");
    const items = await page.$$eval("#findings li", (li) => li.map((l) => l.textContent));
    assert.equal(items[4], `0x000000C8: warning: 1 index refers to vertices past the mesh's 2 (first: 5) [index-out-of-range] in Frame ROOT "Root" > Frame MESH > Mesh Index Data`);
    await page.click("#findings li:nth-child(5)");
    assert.equal(await page.$eval("#tree [aria-selected=true] .label", (e) => e.textContent), "Mesh Index Data");
    await page.click("#findings li:nth-child(2)");
    assert.equal(await page.$eval("#tree [aria-selected=true] .label", (e) => e.textContent), "Texture Stage");
    assert.match((await hexLines(page))[0], /^00000038 {2}8E 00 00 00 04 00 00 00 01 00 00 00/);
  });
});

// The values table, read back from the DOM: the column heads and the rows' cells.
const valuesTable = (page) =>
  page.evaluate(async () => {
    await window.kxmViewer.valuesReady();
    const cells = (row) => Array.from(row.querySelectorAll("[role=cell]"), (c) => c.textContent);
    return {
      title: document.getElementById("values-title").textContent,
      head: cells(document.querySelector("#values .values-head")),
      rows: Array.from(document.querySelectorAll("#values .values-row"), cells),
    };
  });

const f6 = (v) => v.toFixed(6);

describe("the values of data chunks", () => {
  // The chunk of this label inside the sample's "Base" frame, by kxm dump --offsets.
  function chunkAt(label, after = 'Frame CHILD: "Base"') {
    const lines = nativeDump(samplePath, ["--offsets"]).stdout.split("\n");
    const from = lines.findIndex((l) => l.endsWith(after));
    const line = lines.slice(from).find((l) => l.trimEnd().endsWith(label));
    return { offset: parseInt(line.slice(0, 8), 16), length: parseInt(line.slice(9, 17), 16) };
  }

  test("a mesh's vertices: position, colour and texture set, as the file holds them", async () => {
    const { page } = browser;
    const bytes = read(samplePath);
    await openBytes(page, bytes, "sample.kxm");
    await clickRow(page, "Mesh Vertex Data");
    const table = await valuesTable(page);
    assert.equal(table.title, "Vertices: 24");
    assert.deepEqual(table.head, ["#", "x", "y", "z", "r", "g", "b", "a", "u0", "v0"]);
    // Format 0x152: position, normal, colour (ARGB bytes), one texture set; 36 bytes a vertex.
    const { offset } = chunkAt("Mesh Vertex Data");
    assert.ok(table.rows.length > 3);
    table.rows.forEach((row, k) => {
      const at = offset + 8 + 36 * k;
      const colour = bytes.readUInt32LE(at + 24);
      assert.deepEqual(row, [String(k),
        f6(bytes.readFloatLE(at)), f6(bytes.readFloatLE(at + 4)), f6(bytes.readFloatLE(at + 8)),
        f6(((colour >> 16) & 255) / 255), f6(((colour >> 8) & 255) / 255), f6((colour & 255) / 255), f6((colour >>> 24) / 255),
        f6(bytes.readFloatLE(at + 28)), f6(bytes.readFloatLE(at + 32))], `vertex ${k}`);
    });
  });

  test("a mesh's indices and a frame's matrix", async () => {
    const { page } = browser;
    const bytes = read(samplePath);
    await openBytes(page, bytes, "sample.kxm");
    await clickRow(page, "Mesh Index Data");
    let table = await valuesTable(page);
    assert.equal(table.title, "Indices: 36");
    const index = chunkAt("Mesh Index Data");
    table.rows.forEach((row, k) => assert.deepEqual(row, [String(k), String(bytes.readUInt16LE(index.offset + 8 + 2 * k))]));
    await clickRow(page, "Frame Matrix");
    table = await valuesTable(page);
    assert.equal(table.title, "Frame matrix: 4");
    const matrix = chunkAt("Frame Matrix", 'Frame ROOT: "Lamp"');
    table.rows.forEach((row, r) => assert.deepEqual(row, [`row ${r + 1}`,
      ...[0, 1, 2, 3].map((c) => f6(bytes.readFloatLE(matrix.offset + 8 + 4 * (4 * r + c))))]));
    await clickRow(page, "Mesh FVF Size: 36");
    assert.equal((await valuesTable(page)).title, "Values");
  });

  test("the vertices of a mesh whose row was made 120,000 rows before them", async () => {
    const { page } = browser;
    await openBytes(page, read(casePath("late-name.kxm")), "late-name.kxm");
    await clickRow(page, "Mesh Vertex Data");
    const table = await valuesTable(page);
    assert.equal(table.title, "Vertices: 2");
    assert.deepEqual(table.rows, [["0", f6(0), f6(0), f6(0)], ["1", f6(1), f6(2), f6(3)]]);
  });
});
