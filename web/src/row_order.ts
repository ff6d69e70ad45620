// The rows as the core keeps them, put into the pre-order the page shows them in. The core keeps
// its rows in the order the reader told them, in fixed blocks of columns, and its labels in
// fixed blocks of one stream; they are read here in place, and what the page gets is made in
// memory the worker gives up when it hands the rows over.
import type { Rows } from "./protocol";

export const LABEL_BLOCK = 1 << 20; // LabelStream::kBlock

// One block of rows in the order told. A row's parent is a row told before it (-1 for the four
// roots); its label is `labelLength` bytes at `labelStart` in the label stream.
export interface ToldBlock {
  parent: Int32Array;
  offset: Uint32Array;
  labelStart: Uint32Array;
  labelLength: Uint32Array;
  kind: Uint8Array;
}

// `blocks` hold `count` rows, `blockRows` to a block; `labelBlocks` are the stream's blocks of
// LABEL_BLOCK bytes. `fieldBytes`: (row, bytes) for each header field; `frameRows`: frame k's
// row. Rows in both are in the order told.
export function preOrder(
  count: number,
  blockRows: number,
  blocks: ToldBlock[],
  labelBlocks: Uint8Array[],
  fieldBytes: Uint32Array,
  frameRows: Uint32Array,
): { rows: Rows; frameRows: number[] } {
  const n = count;
  const block = (i: number) => blocks[Math.floor(i / blockRows)];
  // Subtree sizes: a parent is told before its children, so one pass backwards adds every
  // subtree into its parent.
  const size = new Uint32Array(n).fill(1);
  for (let i = n - 1; i >= 0; --i) {
    const p = block(i).parent[i % blockRows];
    if (p >= i) throw new Error(`row ${i} was told before its parent ${p}`);
    if (p >= 0) size[p] += size[i];
  }
  // Each row's place: the roots one after another, each child at the next free place in its
  // parent's subtree, siblings in the order told.
  const place = new Uint32Array(n);
  const free = new Uint32Array(n);
  let nextRoot = 0;
  const parent = new Int32Array(n);
  const depth = new Uint32Array(n);
  const subtreeEnd = new Uint32Array(n);
  const offset = new Uint32Array(n);
  const kind = new Uint8Array(n);
  const labelStart = new Uint32Array(n + 1);
  for (let i = 0; i < n; ++i) {
    const b = block(i);
    const j = i % blockRows;
    const p = b.parent[j];
    let at: number;
    if (p < 0) {
      at = nextRoot;
      nextRoot += size[i];
      parent[at] = -1;
    } else {
      at = free[p];
      free[p] += size[i];
      parent[at] = place[p];
      depth[at] = depth[place[p]] + 1;
    }
    place[i] = at;
    free[i] = at + 1;
    subtreeEnd[at] = at + size[i];
    offset[at] = b.offset[j];
    kind[at] = b.kind[j];
    labelStart[at + 1] = b.labelLength[j];
  }
  for (let at = 0; at < n; ++at) labelStart[at + 1] += labelStart[at];
  // The labels in pre-order too, so that a row's label runs to the next row's start.
  const labels = new Uint8Array(labelStart[n]);
  for (let i = 0; i < n; ++i) {
    const b = block(i);
    const j = i % blockRows;
    let to = labelStart[place[i]];
    for (let s = b.labelStart[j], end = s + b.labelLength[j]; s < end; ++s) {
      labels[to++] = labelBlocks[Math.floor(s / LABEL_BLOCK)][s % LABEL_BLOCK];
    }
  }
  // The header fields are the first root's children, rows 1 on.
  const fields = new Uint32Array(n > 0 ? subtreeEnd[0] - 1 : 0);
  for (let k = 0; k + 1 < fieldBytes.length; k += 2) {
    const at = place[fieldBytes[k]];
    if (at >= 1 && at - 1 < fields.length) fields[at - 1] = fieldBytes[k + 1];
  }
  return {
    rows: { count: n, parent, depth, subtreeEnd, offset, kind, labelStart, labels, fieldBytes: fields },
    frameRows: Array.from(frameRows, (row) => place[row]),
  };
}
