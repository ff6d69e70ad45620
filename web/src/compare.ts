// Two files side by side: "Compare with..." (or two models dropped together) opens a second file
// in a worker of its own and shows its tree beside the open file's, the two paired as kxm diff
// pairs them, by the same walk in the core: each difference marked in both trees (and the rows
// that hold one), listed, gone to from the list or with Next and Previous (F8, Shift+F8), its
// two values shown. Selecting a row in either tree selects its counterpart in the other, or
// where it would be. Another file opened, or other options, are compared again at once.
import { DifferencesView } from "./differences_view";
import type { CompareResult, DifferenceJson, Rows } from "./protocol";
import { emptyRows, TreeRows } from "./rows";
import { extentEnds, rowAtOffset } from "./search";
import { DIFFERS, HOLDS_DIFFERENCE, TreeView } from "./tree_view";
import { WorkerClient } from "./worker_client";

// The open file, to which the second is compared.
export interface FirstFile {
  name(): string;
  bytes(): Uint8Array;
  readonly tree: TreeView;
  options(): { showNames: boolean; showValues: boolean; expandAll: boolean };
  // Selects the innermost node whose bytes hold the offset, and marks the byte.
  goToOffset(offset: number): number;
}

export interface CompareOutcome {
  outcome: "loaded" | "failed" | "missing";
  status: string;
  // As kxm diff --json gives them.
  differences: { kind: string; path: string; text: string }[];
  count: number;
  truncated: boolean;
}

// How many differences the page lists; every one is counted.
export const LISTED = 1000;

const $ = <T extends HTMLElement>(id: string) => document.getElementById(id) as T;

// Each tree's rows by offset, made once: a selection followed up a deep chain asks at every level.
const rowsByOffset = new WeakMap<Rows, Map<number, number>>();

// The row of the header field or chunk at `offset`, the first of several, -1 for none.
function rowAt(rows: Rows, offset: number): number {
  if (offset < 0) return -1;
  let index = rowsByOffset.get(rows);
  if (!index) {
    index = new Map<number, number>();
    for (let row = 0; row < rows.count; ++row) {
      if (rows.kind[row] !== 0 && !index.has(rows.offset[row])) index.set(rows.offset[row], row);
    }
    rowsByOffset.set(rows, index);
  }
  return index.get(offset) ?? -1;
}

// The rows of the nodes at these offsets, by one walk over the rows.
function rowsAt(rows: Rows, offsets: Set<number>): Map<number, number> {
  const found = new Map<number, number>();
  for (let row = 0; row < rows.count; ++row) {
    if (rows.kind[row] !== 0 && offsets.has(rows.offset[row]) && !found.has(rows.offset[row]))
      found.set(rows.offset[row], row);
  }
  return found;
}

// The counterpart of `offset` in pairs (key, value) sorted by key; -1 for none.
function counterpart(pairs: Uint32Array, offset: number): number {
  let low = 0;
  let high = pairs.length / 2;
  while (low < high) {
    const middle = (low + high) >>> 1;
    if (pairs[2 * middle] < offset) low = middle + 1;
    else high = middle;
  }
  return 2 * low < pairs.length && pairs[2 * low] === offset ? pairs[2 * low + 1] : -1;
}

// The rows of the roots, in order: each root's subtree ends where the next begins.
function roots(rows: Rows): number[] {
  const found: number[] = [];
  for (let row = 0; row < rows.count; row = rows.subtreeEnd[row]) found.push(row);
  return found;
}

// Marks the rows of the differences, and shades each row above one.
function marksOf(rows: Rows, marked: number[]): Uint8Array {
  const marks = new Uint8Array(rows.count);
  for (const row of marked) if (row >= 0) marks[row] = DIFFERS;
  for (const row of marked) {
    for (let p = row >= 0 ? rows.parent[row] : -1; p >= 0 && !marks[p]; p = rows.parent[p]) marks[p] = HOLDS_DIFFERENCE;
  }
  return marks;
}

export class Comparison {
  readonly other = new TreeView($("other-tree"), "Chunks of the compared file", "other-row-");
  private readonly list = new DifferencesView(
    $<HTMLUListElement>("differences"),
    $("differences-title"),
    $("difference-values"),
  );
  private worker: WorkerClient | null = null;
  private otherName = "";
  private otherBytes = new Uint8Array(0);
  private result: CompareResult | null = null;
  // Each listed difference's row in the first tree and in the second, -1 for none.
  private firstRows: number[] = [];
  private secondRows: number[] = [];
  private at = -1;
  private ticket = 0;
  // Set while the first tree follows the second (or a difference): it must not lead back.
  private following = false;

  constructor(private readonly first: FirstFile) {
    this.other.onSelect = (row) => this.otherSelected(row);
    this.list.onPick = (k) => this.goTo(k);
    $("previous-difference").addEventListener("click", () => this.step(-1));
    $("next-difference").addEventListener("click", () => this.step(1));
    $("close-compare").addEventListener("click", () => this.close());
    document.addEventListener("keydown", (e) => {
      if (e.key !== "F8" || !this.comparing || e.ctrlKey || e.altKey || e.metaKey) return;
      e.preventDefault();
      this.step(e.shiftKey ? -1 : 1);
    });
  }

  get comparing(): boolean {
    return this.worker !== null;
  }

  // Opens `bytes` as the second file and compares the open file with it.
  async compareWith(bytes: Uint8Array | null, name: string): Promise<CompareOutcome> {
    const ticket = ++this.ticket;
    this.worker?.end("another file is compared");
    this.worker = new WorkerClient();
    this.otherName = name;
    this.otherBytes = bytes ? bytes.slice() : new Uint8Array(0);
    this.panes(true);
    this.showDifferences(null);
    const none = { differences: [], count: 0, truncated: false };
    if (bytes === null) {
      this.showOther(emptyRows(), `File doesn't exist: "${name}"`);
      return { outcome: "missing", status: `File doesn't exist: "${name}"`, ...none };
    }
    const forWorker = bytes.slice();
    const o = this.first.options();
    const request = {
      files: {},
      modelFolder: "",
      textureFolders: [],
      showNames: o.showNames,
      showValues: o.showValues,
    };
    const reply = await this.worker
      .ask({ type: "open", bytes: forWorker, ...request }, [forWorker.buffer])
      .catch((e) => e);
    if (ticket !== this.ticket) return { outcome: "failed", status: "", ...none };
    if (reply?.type !== "view") {
      const why = reply?.type === "error" ? reply.message : String((reply as Error)?.message ?? reply);
      this.showOther(emptyRows(), `Error reading: "${name}": ${why}`);
      return { outcome: "failed", status: `Error reading: "${name}"`, ...none };
    }
    const loaded = reply.result.outcome === "loaded";
    const status = loaded ? "Ready." : `Error reading: "${name}"`;
    this.showOther(reply.result.rows, loaded ? status : `${status} ${reply.result.explanation}`);
    await this.diff();
    return { outcome: reply.result.outcome, status, ...(this.differences() ?? none) };
  }

  // The open file changed (`views` false) or the options did: the second file's tree is made
  // again under the options, and the two are compared again.
  async refresh(views: boolean): Promise<void> {
    if (!this.worker) return;
    if (views) {
      const o = this.first.options();
      const reply = await this.worker.ask({ type: "view", showNames: o.showNames, showValues: o.showValues });
      if (reply.type === "view") this.showOther(reply.result.rows, null);
    }
    await this.diff();
  }

  setAllExpanded(expanded: boolean): void {
    if (this.comparing) this.other.setAllExpanded(expanded);
  }

  close(): void {
    ++this.ticket;
    this.worker?.end("closed");
    this.worker = null;
    this.result = null;
    this.first.tree.setMarks(null);
    this.panes(false);
  }

  // As kxm diff --json lists them; null when nothing is compared.
  differences(): {
    differences: { kind: string; path: string; text: string }[];
    count: number;
    truncated: boolean;
  } | null {
    const r = this.result;
    if (!r) return null;
    return {
      differences: r.differences.map(({ kind, path, text }) => ({ kind, path, text })),
      count: r.count,
      truncated: r.truncated,
    };
  }

  otherText(): string {
    return this.comparing ? (this.other.rows?.text() ?? "") : "";
  }

  // The next (1) or previous (-1) difference, round the end: its place, -1 for none.
  step(direction: 1 | -1): number {
    const n = this.result?.differences.length ?? 0;
    if (n === 0) return -1;
    return this.goTo(this.at < 0 ? (direction > 0 ? 0 : n - 1) : (this.at + direction + n) % n);
  }

  // Goes to difference k: its node selected in both trees (or where it would be), the bytes of a
  // differing field or a failure marked, its values shown. Its place, -1 for none.
  goTo(k: number): number {
    const r = this.result;
    if (!r || k < 0 || k >= r.differences.length) return -1;
    this.at = k;
    const d = r.differences[k];
    const [rowA, rowB] = [this.firstRows[k], this.secondRows[k]];
    this.following = true;
    try {
      if (d.a?.byte != null) this.first.goToOffset(d.a.byte);
      else if (rowA >= 0) this.first.tree.select(rowA);
      else if (rowB >= 0) this.selectCounterpart(this.other, rowB, r.bySecond, this.first.tree, true);
    } finally {
      this.following = false;
    }
    if (rowB >= 0) this.other.select(rowB, true, false);
    else if (d.b?.byte != null) this.other.select(this.otherRowAtByte(d.b.byte), true, false);
    else if (this.first.tree.selectedRow >= 0) this.firstSelected(this.first.tree.selectedRow);
    this.list.setCurrent(k, d, this.first.name(), this.otherName);
    return k;
  }

  // A row of the first tree was selected: the second follows to its counterpart.
  firstSelected(row: number): void {
    if (this.result && !this.following)
      this.selectCounterpart(this.first.tree, row, this.result.byFirst, this.other, false);
  }

  private otherSelected(row: number): void {
    if (!this.result) return;
    this.following = true;
    try {
      this.selectCounterpart(this.other, row, this.result.bySecond, this.first.tree, true);
    } finally {
      this.following = false;
    }
  }

  // Selects in `to` the counterpart of `row` of `from`, or of its nearest ancestor that has one.
  private selectCounterpart(from: TreeView, row: number, pairs: Uint32Array, to: TreeView, tell: boolean): void {
    const rows = from.rows?.rows;
    const target = to.rows?.rows;
    if (!rows || !target) return;
    for (let r = row; r >= 0; r = rows.parent[r]) {
      const found =
        rows.parent[r] < 0 ? roots(target)[roots(rows).indexOf(r)] : rowAt(target, counterpart(pairs, rows.offset[r]));
      if (found === undefined || found < 0) continue;
      if (to.selectedRow !== found) to.select(found, true, tell);
      return;
    }
  }

  private otherRowAtByte(offset: number): number {
    const rows = this.other.rows?.rows;
    return rows ? rowAtOffset(rows, extentEnds(rows, this.otherBytes), offset) : -1;
  }

  private async diff(): Promise<void> {
    const worker = this.worker;
    if (!worker) return;
    const ticket = ++this.ticket;
    const first = this.first.bytes().slice();
    const o = this.first.options();
    const reply = await worker
      .ask({ type: "compare", first, showNames: o.showNames, showValues: o.showValues, most: LISTED }, [first.buffer])
      .catch(() => null);
    if (ticket !== this.ticket) return;
    if (reply?.type === "error") $("differences-title").textContent = `Differences: ${reply.message}`;
    this.showDifferences(reply?.type === "compare" ? reply.result : null);
  }

  private showDifferences(result: CompareResult | null): void {
    this.result = result;
    this.at = -1;
    const differences: DifferenceJson[] = result?.differences ?? [];
    const place = (tree: TreeView, side: "a" | "b") => {
      const rows = tree.rows?.rows;
      const offsets = new Set(differences.flatMap((d) => (d[side]?.offset != null ? [d[side]!.offset!] : [])));
      const found = rows ? rowsAt(rows, offsets) : new Map<number, number>();
      const placed = differences.map((d) => found.get(d[side]?.offset ?? -1) ?? -1);
      tree.setMarks(rows && result ? marksOf(rows, placed) : null);
      return placed;
    };
    this.firstRows = place(this.first.tree, "a");
    this.secondRows = place(this.other, "b");
    if (result) this.list.show(differences, result.count);
  }

  private showOther(rows: Rows, status: string | null): void {
    const previous = this.other.rows;
    const same = previous !== null && status === null && previous.count === rows.count;
    const tree = new TreeRows(rows, same ? previous.expanded : undefined);
    if (!same) tree.setAll(this.first.options().expandAll);
    this.other.show(tree, same);
    if (status !== null) $("compare-title").textContent = `${this.otherName}: ${status}`;
  }

  private panes(shown: boolean): void {
    $("compare-pane").hidden = !shown;
    $("differences-pane").hidden = !shown;
    document.body.classList.toggle("comparing", shown);
  }
}
