// The rows of one view and what the page keeps beside them: which are expanded, which are on
// screen in order (the visible rows), and each label as kxm-dump writes it.
import type { Rows } from "./protocol";

const hex = "0123456789abcdef";

// Bytes 0x20 to 0x7E as they are, a backslash doubled, every other byte as \xhh: the label as
// kxm-dump prints it.
export function escapeLabel(bytes: Uint8Array, start: number, length: number): string {
  let out = "";
  for (let i = start; i < start + length; ++i) {
    const b = bytes[i];
    if (b === 0x5c) out += "\\\\";
    else if (b >= 0x20 && b <= 0x7e) out += String.fromCharCode(b);
    else out += "\\x" + hex[b >> 4] + hex[b & 15];
  }
  return out;
}

export class TreeRows {
  readonly rows: Rows;
  readonly expanded: Uint8Array;
  // Row indices in screen order: the roots and every row whose ancestors are all expanded. They
  // rise, so a row's place among them is found by halving.
  visible: Uint32Array = new Uint32Array(0);
  private readonly room: Uint32Array;

  constructor(rows: Rows, expanded?: Uint8Array) {
    this.rows = rows;
    this.expanded = expanded && expanded.length === rows.count ? expanded : new Uint8Array(rows.count);
    this.room = new Uint32Array(rows.count);
    this.layout();
  }

  get count(): number {
    return this.rows.count;
  }

  label(row: number): string {
    const start = this.rows.labelStart[row];
    return escapeLabel(this.rows.labels, start, this.rows.labelStart[row + 1] - start);
  }

  hasChildren(row: number): boolean {
    return this.rows.subtreeEnd[row] > row + 1;
  }

  // Recomputes the visible rows: a walk over the rows that jumps over a collapsed subtree.
  layout(): void {
    const { count, subtreeEnd } = this.rows;
    const visible = this.room;
    let n = 0;
    let row = 0;
    while (row < count) {
      visible[n++] = row;
      row = this.expanded[row] ? row + 1 : subtreeEnd[row];
    }
    this.visible = visible.subarray(0, n);
  }

  // Where `row` stands among the visible rows, -1 when it does not.
  positionOf(row: number): number {
    const visible = this.visible;
    let low = 0;
    let high = visible.length;
    while (low < high) {
      const middle = (low + high) >>> 1;
      if (visible[middle] < row) low = middle + 1;
      else high = middle;
    }
    return low < visible.length && visible[low] === row ? low : -1;
  }

  setAll(expanded: boolean): void {
    this.expanded.fill(expanded ? 1 : 0);
    this.layout();
  }

  // Expands every ancestor of `row`, so that it is on screen.
  reveal(row: number): void {
    let changed = false;
    for (let p = this.rows.parent[row]; p >= 0; p = this.rows.parent[p]) {
      if (!this.expanded[p]) {
        this.expanded[p] = 1;
        changed = true;
      }
    }
    if (changed) this.layout();
  }

  // The whole tree, collapsed rows included, as kxm-dump prints it.
  text(): string {
    const parts: string[] = [];
    for (let row = 0; row < this.rows.count; ++row) {
      parts.push("  ".repeat(this.rows.depth[row]) + this.label(row) + "\n");
    }
    return parts.join("");
  }
}

// The rows of the four empty roots, before any file and after a missing one.
export function emptyRows(): Rows {
  const names = ["FileHeader", "Frames", "AnimationSets", "CustomData"];
  const labelStart = new Uint32Array(5);
  names.forEach((n, i) => {
    labelStart[i + 1] = labelStart[i] + n.length;
  });
  return {
    count: 4,
    parent: new Int32Array([-1, -1, -1, -1]),
    depth: new Uint32Array(4),
    subtreeEnd: new Uint32Array([1, 2, 3, 4]),
    offset: new Uint32Array(4),
    kind: new Uint8Array(4),
    labelStart,
    labels: new TextEncoder().encode(names.join("")),
    fieldBytes: new Uint32Array(0),
  };
}
