// Finding rows: labels as the tree shows them (kxm-dump's escapes) searched for a text, and
// the innermost node whose bytes hold a file offset. Both walk the rows' own arrays, collapsed
// rows included, without making a string per row where the label needs no escape.
import type { Rows } from "./protocol";
import { escapeLabel } from "./rows";

// ASCII letters folded to lower case; every other byte as it is.
const fold = (b: number) => (b >= 0x41 && b <= 0x5a ? b + 32 : b);

// Every row whose label, as shown, holds `query`; in row order.
export function findRows(rows: Rows, query: string, caseSensitive: boolean): Uint32Array {
  const found = new Uint32Array(rows.count);
  if (query === "") return found.subarray(0, 0);
  const wanted = caseSensitive ? query : query.toLowerCase();
  // The query as bytes, when it is plain ASCII: most labels then are searched in place.
  const plain = /^[\x20-\x7e]*$/.test(query);
  const needle = Uint8Array.from(wanted, (c) => c.charCodeAt(0));
  if (!caseSensitive) for (let i = 0; i < needle.length; ++i) needle[i] = fold(needle[i]);
  const { labels, labelStart } = rows;
  const first = needle[0];
  let n = 0;
  for (let row = 0; row < rows.count; ++row) {
    const start = labelStart[row];
    const end = labelStart[row + 1];
    // A label with a byte that shows escaped is searched as the text it shows.
    let escaped = !plain;
    for (let i = start; i < end && !escaped; ++i) {
      const b = labels[i];
      escaped = b < 0x20 || b > 0x7e || b === 0x5c;
    }
    let hit = false;
    if (escaped) {
      const shown = escapeLabel(labels, start, end - start);
      hit = (caseSensitive ? shown : shown.toLowerCase()).includes(wanted);
    } else {
      const last = end - needle.length;
      for (let i = start; i <= last && !hit; ++i) {
        if ((caseSensitive ? labels[i] : fold(labels[i])) !== first) continue;
        let k = 1;
        while (k < needle.length && (caseSensitive ? labels[i + k] : fold(labels[i + k])) === needle[k]) ++k;
        hit = k === needle.length;
      }
    }
    if (hit) found[n++] = row;
  }
  return found.subarray(0, n);
}

// A chunk's payload length: the four bytes after its code, as the file holds them.
export function payloadLength(file: Uint8Array, offset: number): number {
  if (offset + 8 > file.length) return 0;
  return (file[offset + 4] | (file[offset + 5] << 8) | (file[offset + 6] << 16) | (file[offset + 7] << 24)) >>> 0;
}

// A row's bytes: a chunk's head [start, headEnd) and payload [headEnd, end), a header field's
// bytes; none for a root (or no row).
export function extentOf(rows: Rows, file: Uint8Array, row: number): { start: number; headEnd: number; end: number } {
  const at = rows.offset[row];
  if (row >= 0 && rows.kind[row] === 2) return { start: at, headEnd: at + 8, end: at + 8 + payloadLength(file, at) };
  if (row >= 0 && rows.kind[row] === 1) return { start: at, headEnd: at, end: at + (rows.fieldBytes[row - 1] ?? 0) };
  return { start: 0, headEnd: 0, end: 0 };
}

// Where each row's bytes end, cut at the end of the file; 0 for a root, which has none.
export function extentEnds(rows: Rows, file: Uint8Array): Uint32Array {
  const ends = new Uint32Array(rows.count);
  for (let row = 0; row < rows.count; ++row) {
    if (rows.kind[row] !== 0) ends[row] = Math.min(file.length, extentOf(rows, file, row).end);
  }
  return ends;
}

// The innermost row whose bytes hold `offset`: the deepest, the first of equals; -1 for none.
export function rowAtOffset(rows: Rows, ends: Uint32Array, offset: number): number {
  let best = -1;
  let bestDepth = -1;
  const { offset: starts, depth, kind } = rows;
  for (let row = 0; row < rows.count; ++row) {
    if (kind[row] === 0 || starts[row] > offset || ends[row] <= offset) continue;
    if (depth[row] > bestDepth) {
      best = row;
      bestDepth = depth[row];
    }
  }
  return best;
}

// "0x1A2B" (or "0X1a2b") as an offset; null for any other text.
export function offsetOf(text: string): number | null {
  const match = /^\s*0x([0-9a-f]{1,8})\s*$/i.exec(text);
  return match ? parseInt(match[1], 16) : null;
}
