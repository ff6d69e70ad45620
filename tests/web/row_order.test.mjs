// The worker's pre-order (web/src/row_order.ts), checked without a browser against a plain
// recursive walk: random trees told parent first, in blocks of 1 to 16 rows, with labels that
// run on across the label stream's blocks, empty labels, labels made again after later rows
// (a frame named once its children were read), header fields and frames.
import assert from "node:assert/strict";
import { createRequire } from "node:module";
import { readFileSync } from "node:fs";
import { join } from "node:path";
import { test } from "node:test";
import { sourceDir } from "./browser.mjs";

const require = createRequire(join(sourceDir, "web", "package.json"));
const { transformSync } = require("esbuild");
const { code } = transformSync(readFileSync(join(sourceDir, "web/src/row_order.ts"), "utf8"), { loader: "ts", format: "esm" });
const { preOrder, LABEL_BLOCK } = await import("data:text/javascript," + encodeURIComponent(code));

// A small generator with a seed, so that a failing tree can be had again.
function generator(seed) {
  let state = seed >>> 0;
  return (n) => {
    state = (Math.imul(state, 1664525) + 1013904223) >>> 0;
    return Math.floor((state / 2 ** 32) * n);
  };
}

// One tree as the core keeps it: rows in the order told, each after its parent.
function toldTree(random) {
  const count = 4 + random(80);
  const blockRows = [1, 2, 3, 5, 16][random(5)];
  const parent = [-1, -1, -1, -1];
  for (let i = 4; i < count; ++i) parent.push(random(i));
  const text = [];
  const start = [];
  const stream = new Map();
  // The stream starts just before a block's end, so that labels run on into the next block.
  let end = LABEL_BLOCK - 1 - random(8);
  const write = (row, label) => {
    text[row] = label;
    start[row] = end;
    for (const c of label) stream.set(end++, c.charCodeAt(0));
  };
  for (let i = 0; i < count; ++i) write(i, random(4) === 0 ? "" : `row ${i}`.slice(0, 1 + random(6)));
  for (let k = random(4); k > 0; --k) write(random(count), `named ${k}`);
  const labelBlocks = Array.from({ length: Math.ceil(end / LABEL_BLOCK) }, () => new Uint8Array(LABEL_BLOCK));
  for (const [at, byte] of stream) labelBlocks[Math.floor(at / LABEL_BLOCK)][at % LABEL_BLOCK] = byte;
  const blocks = [];
  for (let first = 0; first < count; first += blockRows) {
    const rows = Math.min(blockRows, count - first);
    const column = (make, of) => make.from({ length: rows }, (_, j) => of(first + j));
    blocks.push({
      parent: column(Int32Array, (i) => parent[i]),
      offset: column(Uint32Array, (i) => 10 * i),
      labelStart: column(Uint32Array, (i) => start[i]),
      labelLength: column(Uint32Array, (i) => text[i].length),
      kind: column(Uint8Array, (i) => (i < 4 ? 0 : parent[i] === 0 ? 1 : 2)),
    });
  }
  const fields = [];
  for (let i = 4; i < count; ++i) if (parent[i] === 0) fields.push(i, 100 + i);
  const frames = [];
  for (let i = 4; i < count; ++i) if (random(3) === 0) frames.push(i);
  return { count, blockRows, parent, text, blocks, labelBlocks, fields, frames };
}

test("the pre-order of 500 random trees equals a recursive walk's", () => {
  const decoder = new TextDecoder();
  for (let seed = 1; seed <= 500; ++seed) {
    const t = toldTree(generator(seed));
    const { rows, frameRows } = preOrder(t.count, t.blockRows, t.blocks, t.labelBlocks, Uint32Array.from(t.fields), Uint32Array.from(t.frames));
    const children = Array.from({ length: t.count }, () => []);
    for (let i = 4; i < t.count; ++i) children[t.parent[i]].push(i);
    const expected = [];
    const place = [];
    const visit = (row, depth, parentAt) => {
      const at = expected.length;
      place[row] = at;
      const entry = { row, depth, parentAt, end: 0 };
      expected.push(entry);
      for (const child of children[row]) visit(child, depth + 1, at);
      entry.end = expected.length;
    };
    for (let root = 0; root < 4; ++root) visit(root, 0, -1);
    const shown = expected.map((_, at) => ({
      row: rows.offset[at] / 10,
      depth: rows.depth[at],
      parentAt: rows.parent[at],
      end: rows.subtreeEnd[at],
      label: decoder.decode(rows.labels.subarray(rows.labelStart[at], rows.labelStart[at + 1])),
    }));
    assert.deepEqual(shown, expected.map((e) => ({ ...e, label: t.text[e.row] })), `seed ${seed}`);
    assert.equal(rows.labelStart.length, t.count + 1);
    // A field's bytes at its row less one, over the first root's rows.
    const fieldBytes = new Array(expected[0].end - 1).fill(0);
    for (const row of children[0]) fieldBytes[place[row] - 1] = 100 + row;
    assert.deepEqual([...rows.fieldBytes], fieldBytes, `seed ${seed}`);
    assert.deepEqual(frameRows, t.frames.map((row) => place[row]), `seed ${seed}`);
  }
});

test("a row told before its parent is refused", () => {
  const one = (values) => Int32Array.from(values);
  const block = { parent: one([-1, -1, -1, -1, 5, 4]), offset: new Uint32Array(6), labelStart: new Uint32Array(6), labelLength: new Uint32Array(6), kind: new Uint8Array(6) };
  assert.throws(() => preOrder(6, 16, [block], [], new Uint32Array(0), new Uint32Array(0)), /told before its parent/);
});
