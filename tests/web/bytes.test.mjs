// The hex pane: the whole file, the selected node's bytes in colour (a chunk's 8-byte head and
// payload, a header field's bytes) at their offsets, a byte clicked or moved to selecting the
// node that holds it; and what kxm check finds beside the tree: the same findings as
// `kxm check --json`, each of which selects its chunk.
import assert from "node:assert/strict";
import { describe, test } from "node:test";
import { openBytes } from "./browser.mjs";
import { pageSession } from "./session.mjs";
import { casePath, nativeCheckJson, nativeDump, read, samplePath } from "./support.mjs";

const browser = pageSession({
  width: 1280,
  height: 1000,
  setUp: (page) => page.evaluate(() => window.kxmViewer.setOptions({ showNames: true, showValues: true, expandAll: true })),
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

// Clicks the row with this label (the nth of that label), scrolling the tree to it.
async function clickRow(page, label, nth = 0) {
  const row = await page.evaluate(([wanted, n]) => {
    const lines = window.kxmViewer.treeText().split("\n");
    return lines.findIndex((l, i) => l.trimStart() === wanted && lines.slice(0, i).filter((x) => x.trimStart() === wanted).length === n);
  }, [label, nth]);
  assert.ok(row >= 0, `no row ${label}`);
  await page.evaluate((r) => window.kxmViewer.selectRow(r), row);
  await page.click(`#row-${row} .label`);
  return row;
}

const hexLines = (page) => page.$$eval("#hex .hexline", (lines) => lines.map((l) => l.textContent.trimEnd()));
// The bytes of the hex pane shown in a colour: the offsets of the head's, payload's or parent's.
const coloured = (page, kind) =>
  page.$$eval(`#hex [data-offset].${kind}`, (cells) => cells.map((c) => Number(c.dataset.offset)));
// Their digits, as the pane shows them.
const colouredText = (page, kind) =>
  page.$$eval(`#hex [data-offset].${kind}`, (cells) => cells.map((c) => c.textContent).join(" "));
const range = (from, to) => Array.from({ length: to - from }, (_, i) => from + i);

// The sample's nodes as kxm dump --offsets places them: line, depth, label, chunk offset, length.
function nodesWithOffsets() {
  return nativeDump(samplePath, ["--offsets"]).stdout.split("\n").filter((l) => l !== "").map((line, row) => {
    const text = line.slice(18);
    const label = text.trimStart();
    const chunk = /^[0-9A-F]{8} [0-9A-F]{8}$/.test(line.slice(0, 17));
    return { row, depth: (text.length - label.length) / 2, label, offset: chunk ? parseInt(line.slice(0, 8), 16) : -1,
      length: chunk ? parseInt(line.slice(9, 17), 16) : -1 };
  });
}

describe("the hex pane", () => {
  test("the whole file, the selected chunk's head and payload in colour, its parent's extent shaded", async () => {
    const { page } = browser;
    const bytes = read(samplePath);
    await openBytes(page, bytes, "sample.kxm");
    const nodes = nodesWithOffsets();
    const node = nodes.find((n) => n.label === "Mesh Vertex Count: 24");
    const parent = nodes.slice(0, node.row).reverse().find((n) => n.depth === node.depth - 1);
    assert.equal(node.length, 4);
    await clickRow(page, "Mesh Vertex Count: 24");
    // Scrolled to the chunk's first byte; the lines are the file's, sixteen bytes from 0 on.
    const lines = await hexLines(page);
    assert.equal(lines[0], expectedLine(bytes, node.offset - (node.offset % 16), bytes.length).trimEnd());
    lines.forEach((line, k) => assert.equal(line, expectedLine(bytes, parseInt(line.slice(0, 8), 16), bytes.length).trimEnd(), `line ${k}`));
    assert.deepEqual(await coloured(page, "head"), range(node.offset, node.offset + 8));
    assert.deepEqual(await coloured(page, "payload"), range(node.offset + 8, node.offset + 12));
    // The head: code 113, length 4; the value 24.
    assert.equal(await colouredText(page, "head"), "71 00 00 00 04 00 00 00");
    assert.equal(await colouredText(page, "payload"), "18 00 00 00");
    const shaded = await coloured(page, "parent");
    assert.ok(shaded.length > 0);
    assert.ok(shaded.every((o) => o >= parent.offset && o < parent.offset + 8 + parent.length), "shaded inside the parent");
  });

  test("a header field's bytes", async () => {
    const { page } = browser;
    const bytes = read(samplePath);
    await openBytes(page, bytes, "sample.kxm");
    await clickRow(page, 'file_id: "MAGICKXM"');
    assert.equal((await hexLines(page))[0], expectedLine(bytes, 0, bytes.length).trimEnd());
    assert.deepEqual(await coloured(page, "payload"), range(4, 12));
    assert.deepEqual(await coloured(page, "head"), []);
  });

  test("a file of many lines makes only the lines that show, and every line can be reached", async () => {
    const { page } = browser;
    const bytes = read(casePath("late-name.kxm"));
    await openBytes(page, bytes, "late-name.kxm");
    const all = Math.ceil(bytes.length / 16);
    assert.ok(all > 50000, `the file's ${all} lines`);
    const lines = await hexLines(page);
    assert.ok(lines.length > 3 && lines.length < 100, `${lines.length} lines made`);
    // The last bytes of the file, past any cap.
    const last = await page.evaluate((size) => {
      window.kxmViewer.goToOffset(size - 1);
      return Array.from(document.querySelectorAll("#hex .hexline"), (l) => l.textContent.trimEnd());
    }, bytes.length);
    const lastAt = (all - 1) * 16;
    assert.ok(last.includes(expectedLine(bytes, lastAt, bytes.length).trimEnd()), "the last line shows");
  });

  test("a click on a byte and the byte cursor's keys select the innermost node that holds it", async () => {
    const { page } = browser;
    const bytes = read(samplePath);
    await openBytes(page, bytes, "sample.kxm");
    const nodes = nodesWithOffsets();
    const node = nodes.find((n) => n.label === "Mesh Vertex Count: 24");
    await page.evaluate((o) => window.kxmViewer.goToOffset(o), node.offset - 1);
    await page.click(`#hex [data-offset="${node.offset + 9}"]`);
    assert.equal(await page.evaluate(() => window.kxmViewer.selectedRow()), node.row);
    assert.equal(await page.evaluate(() => window.kxmViewer.markedByte()), node.offset + 9);
    // The innermost chunk that holds a byte, from the offsets alone.
    const innermost = (o) => nodes.filter((n) => n.offset >= 0 && n.offset <= o && o < n.offset + 8 + n.length)
      .reduce((a, b) => (b.depth > a.depth ? b : a)).row;
    // Ten to the left: out of the chunk, into the one before it; a line down: the chunk after.
    for (let i = 0; i < 10; ++i) await page.keyboard.press("ArrowLeft");
    assert.equal(await page.evaluate(() => window.kxmViewer.markedByte()), node.offset - 1);
    assert.equal(await page.evaluate(() => window.kxmViewer.selectedRow()), innermost(node.offset - 1));
    assert.notEqual(innermost(node.offset - 1), node.row);
    await page.keyboard.press("ArrowDown");
    assert.equal(await page.evaluate(() => window.kxmViewer.markedByte()), node.offset + 15);
    assert.equal(await page.evaluate(() => window.kxmViewer.selectedRow()), innermost(node.offset + 15));
    assert.notEqual(innermost(node.offset + 15), node.row);
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
    assert.deepEqual(await coloured(page, "head"), range(0x38, 0x40));
    assert.equal(await colouredText(page, "head"), "8E 00 00 00 04 00 00 00");
    assert.equal(await colouredText(page, "payload"), "01 00 00 00");
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

// No number of the values table cut off, and each column as wide for its head as for its rows.
async function expectColumnsWhole(page) {
  const cut = await page.$$eval("#values [role=cell]", (cells) =>
    cells.filter((c) => c.scrollWidth > c.clientWidth).map((c) => c.textContent));
  assert.deepEqual(cut, []);
  const lefts = await page.$$eval("#values [role=row]", (rows) =>
    rows.map((r) => Array.from(r.querySelectorAll("[role=cell]"), (c) => Math.round(c.getBoundingClientRect().left))));
  lefts.forEach((l) => assert.deepEqual(l, lefts[0]));
}

describe("the values of data chunks", () => {
  // The chunk of this label inside the sample's "Base" frame (or after another line of another
  // file), by kxm dump --offsets.
  function chunkAt(label, after = 'Frame CHILD: "Base"', path = samplePath) {
    const lines = nativeDump(path, ["--offsets"]).stdout.split("\n");
    const from = lines.findIndex((l) => l.endsWith(after));
    const line = lines.slice(from).find((l) => l.trimEnd().endsWith(label));
    return { offset: parseInt(line.slice(0, 8), 16), length: parseInt(line.slice(9, 17), 16) };
  }

  test("a mesh's vertices: position, normal, colour and texture set, as the file holds them", async () => {
    const { page } = browser;
    const bytes = read(samplePath);
    await openBytes(page, bytes, "sample.kxm");
    await clickRow(page, "Mesh Vertex Data");
    const table = await valuesTable(page);
    assert.equal(table.title, "Vertices: 24");
    assert.deepEqual(table.head, ["#", "x", "y", "z", "nx", "ny", "nz", "r", "g", "b", "a", "u0", "v0"]);
    // Format 0x152: position, normal, colour (ARGB bytes), one texture set; 36 bytes a vertex.
    const { offset } = chunkAt("Mesh Vertex Data");
    assert.ok(table.rows.length > 3);
    table.rows.forEach((row, k) => {
      const at = offset + 8 + 36 * k;
      const colour = bytes.readUInt32LE(at + 24);
      assert.deepEqual(row, [String(k),
        f6(bytes.readFloatLE(at)), f6(bytes.readFloatLE(at + 4)), f6(bytes.readFloatLE(at + 8)),
        f6(bytes.readFloatLE(at + 12)), f6(bytes.readFloatLE(at + 16)), f6(bytes.readFloatLE(at + 20)),
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
    // Another file opened: the last file's values go with it.
    await clickRow(page, "Mesh Index Data");
    assert.equal((await valuesTable(page)).title, "Indices: 36");
    await openBytes(page, bytes, "again.kxm");
    assert.deepEqual(await valuesTable(page), { title: "Values", head: [], rows: [] });
  });

  test("a row of values picked with the mouse or the keys marks its bytes in the hex pane", async () => {
    const { page } = browser;
    await openBytes(page, read(samplePath), "sample.kxm");
    await clickRow(page, "Mesh Vertex Data");
    await valuesTable(page);
    const { offset } = chunkAt("Mesh Vertex Data");
    const marked = () => page.$$eval("#hex [data-offset].value-row", (c) => c.map((e) => Number(e.dataset.offset)));
    const vertex = (k) => Array.from({ length: 36 }, (_, i) => offset + 8 + 36 * k + i);
    await page.click('#values .values-row[data-row="2"]');
    assert.deepEqual(await marked(), vertex(2));
    await page.keyboard.press("ArrowDown");
    assert.deepEqual(await marked(), vertex(3));
    await page.keyboard.press("Home");
    assert.deepEqual(await marked(), vertex(0));
    assert.equal(await page.evaluate(() => window.kxmViewer.markedByte()), offset + 8);
    // Indices, two bytes each.
    await clickRow(page, "Mesh Index Data");
    await valuesTable(page);
    const index = chunkAt("Mesh Index Data");
    await page.click('#values .values-row[data-row="5"]');
    assert.deepEqual(await marked(), [index.offset + 8 + 10, index.offset + 8 + 11]);
  });

  test("a byte of the selected chunk picked leaves its values where they were, no longer picked", async () => {
    const { page } = browser;
    await openBytes(page, read(samplePath), "sample.kxm");
    const row = await clickRow(page, "Mesh Vertex Data");
    await valuesTable(page);
    const { offset } = chunkAt("Mesh Vertex Data");
    await page.click('#values .values-row[data-row="2"]');
    await page.keyboard.press("End");
    const scrolled = await page.$eval("#values", (e) => e.scrollTop);
    assert.ok(scrolled > 0, "the table scrolled to its last vertex");
    // A byte of the last vertex, then an offset of the first: both in the chunk selected.
    await page.click(`#hex [data-offset="${offset + 8 + 36 * 23 + 5}"]`);
    await page.evaluate((o) => window.kxmViewer.goToOffset(o), offset + 9);
    assert.equal(await page.evaluate(() => window.kxmViewer.selectedRow()), row);
    const table = await valuesTable(page);
    assert.equal(table.title, "Vertices: 24");
    assert.equal(await page.$eval("#values", (e) => e.scrollTop), scrolled);
    assert.equal(await page.$$eval("#values .values-row.picked", (rows) => rows.length), 0);
    assert.equal(await page.$$eval("#hex .value-row", (cells) => cells.length), 0);
    // Another chunk's values, from the top.
    await clickRow(page, "Mesh Index Data");
    assert.equal((await valuesTable(page)).title, "Indices: 36");
    assert.equal(await page.$eval("#values", (e) => e.scrollTop), 0);
  });

  test("every number shows whole in its column, the largest float and its negative too", async () => {
    const { page } = browser;
    await openBytes(page, read(casePath("wide-values.kxm")), "wide-values.kxm");
    await clickRow(page, "Mesh Vertex Data");
    const table = await valuesTable(page);
    assert.deepEqual(table.rows.map((r) => r.slice(1)), [
      [(3.4028234663852886e38).toFixed(6), Math.fround(-9.0e20).toFixed(6), f6(0.5)],
      [f6(-0.25), f6(1), f6(2)],
      [f6(0), f6(0), (-3.4028234663852886e38).toFixed(6)],
    ]);
    await expectColumnsWhole(page);
  });

  test("a bone's vertices and weights, from either of its chunks, as the file holds them", async () => {
    const { page } = browser;
    const bytes = read(samplePath);
    await openBytes(page, bytes, "sample.kxm");
    const vertices = chunkAt("Bones Vertices", 'Bones Name: "Forearm"');
    const weights = chunkAt("Bones Weights", 'Bones Name: "Forearm"');
    const expected = Array.from({ length: 8 }, (_, k) => [String(k),
      String(bytes.readInt32LE(vertices.offset + 8 + 4 * k)), f6(bytes.readFloatLE(weights.offset + 8 + 4 * k))]);
    // The arm's second bone, "Forearm".
    for (const label of ["Bones Vertices", "Bones Weights"]) {
      await clickRow(page, label, 1);
      const table = await valuesTable(page);
      assert.equal(table.title, "Bone vertices and weights: 8", label);
      assert.deepEqual(table.head, ["#", "vertex", "weight"], label);
      assert.deepEqual(table.rows, expected, label);
    }
    // A row picked marks its four bytes of the chunk selected.
    await page.click('#values .values-row[data-row="3"]');
    const marked = await page.$$eval("#hex [data-offset].value-row", (c) => c.map((e) => Number(e.dataset.offset)));
    assert.deepEqual(marked, range(weights.offset + 8 + 12, weights.offset + 8 + 16));
    // Whatever their weights, chunks of other kinds beside them have no table.
    await clickRow(page, "Bones Num Influences: 8", 1);
    assert.equal((await valuesTable(page)).title, "Values");
  });

  test("vertex indices at both ends of 32 bits and the largest weights show whole in their columns", async () => {
    const { page } = browser;
    await openBytes(page, read(casePath("bones.kxm")), "bones.kxm");
    await clickRow(page, "Bones Weights", 1);
    const table = await valuesTable(page);
    const largest = 3.4028234663852886e38;
    assert.deepEqual(table.rows, [
      ["0", "2147483647", f6(0.5)],
      ["1", "-2147483648", (-largest).toFixed(6)],
      ["2", "7", largest.toFixed(6)],
      ["3", "0", Math.fround(-0.000001).toFixed(6)],
    ]);
    await expectColumnsWhole(page);
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
