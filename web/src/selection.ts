// What selecting a row of the tree shows: the node's bytes in the hex pane (scrolled to its
// first byte, unless the byte was picked there), its frame's meshes lit in the 3D view, and a
// data chunk's values; and the ways into a selection from elsewhere: a chunk by its offset, a
// byte picked in the hex pane, a row of values whose bytes are marked.
import type { OpenFile } from "./file_state";
import type { HexView } from "./hex_view";
import type { TreeRows } from "./rows";
import type { SceneView } from "./scene_view";
import { extentOf, payloadLength } from "./search";
import type { TreeView } from "./tree_view";
import type { ValuesView } from "./values_view";
import { ask } from "./worker_client";

export interface SelectedViews {
  tree: TreeView;
  hex: HexView;
  scene: SceneView;
  values: ValuesView;
  bytesTitle: HTMLElement;
}

const hex8 = (n: number) => "0x" + n.toString(16).toUpperCase().padStart(8, "0");

export class Selection {
  // Settles when the values pane shows the selected row's values (or that it has none).
  valuesDone: Promise<void> = Promise.resolve();
  // The innermost node that holds a byte, selected: set by the page once it can.
  goToOffset: (offset: number) => number = () => -1;
  // Told after each selection has been shown.
  onSelected: (row: number) => void = () => {};
  private valuesTicket = 0;
  // Set while a byte picked in the hex pane selects its node: the pane stays where it is.
  private pickedInHex = false;
  // The row of the tree whose values the table shows, or is about to. A row selected again (a
  // byte of its chunk picked, an offset in it gone to) keeps them: a million vertices are a
  // while to read and to lay out, and the table keeps its place.
  private valuesOf: { tree: TreeRows | null; row: number } = { tree: null, row: -1 };

  constructor(
    private readonly views: SelectedViews,
    private readonly file: OpenFile,
  ) {
    views.tree.onSelect = (row) => this.show(row);
    views.values.onPick = (k) => this.markValueRow(k);
    views.hex.onPick = (offset) => {
      this.pickedInHex = true;
      try {
        this.goToOffset(offset);
      } finally {
        this.pickedInHex = false;
      }
    };
  }

  // Selects the chunk row whose head is at `offset`.
  selectChunk(offset: number | null): void {
    const tree = this.views.tree.rows;
    if (!tree || offset === null) return;
    for (let row = 0; row < tree.count; ++row) {
      if (tree.rows.kind[row] === 2 && tree.rows.offset[row] === offset) {
        this.views.tree.select(row);
        return;
      }
    }
  }

  private show(row: number): void {
    const { tree: treeView, hex, scene, bytesTitle } = this.views;
    const tree = treeView.rows;
    if (!tree) return;
    const r = tree.rows;
    const bytes = this.file.bytes;
    const extent = extentOf(r, bytes, row);
    const parent = extentOf(r, bytes, r.parent[row]);
    if (r.kind[row] === 2) {
      const length = payloadLength(bytes, r.offset[row]);
      bytesTitle.textContent = `Bytes of ${tree.label(row)}: head at ${hex8(r.offset[row])}, ${length} bytes of payload`;
    } else {
      bytesTitle.textContent = r.kind[row] === 1 ? `Bytes of ${tree.label(row)}` : "Bytes";
    }
    hex.show({ ...extent, parentStart: parent.start, parentEnd: parent.end }, !this.pickedInHex);
    scene.highlight(this.frameNodeOf(row));
    if (this.valuesOf.tree === tree && this.valuesOf.row === row) this.views.values.unpick();
    else this.valuesDone = this.showValues(row);
    this.onSelected(row);
  }

  // The values of a data chunk, when the worker has them; a later selection wins.
  private async showValues(row: number): Promise<void> {
    const ticket = ++this.valuesTicket;
    const values = this.views.values;
    values.show(null);
    const tree = this.views.tree.rows;
    this.valuesOf = { tree, row };
    const r = tree?.rows;
    if (!r || r.kind[row] !== 2 || this.file.bytes.length === 0) return;
    const parent = r.parent[row];
    const parentOffset = parent >= 0 && r.kind[parent] === 2 ? r.offset[parent] : -1;
    const reply = await ask({ type: "values", offset: r.offset[row], parentOffset }).catch(() => null);
    if (ticket !== this.valuesTicket) return;
    if (reply?.type === "values") values.show(reply.result);
    // Asked again when the row is selected again.
    else this.valuesOf = { tree: null, row: -1 };
  }

  // The export's node for a frame row, or for a row inside a frame (its mesh, say).
  private frameNodeOf(row: number): number | null {
    const tree = this.views.tree.rows;
    for (let r = row; tree && r >= 0; r = tree.rows.parent[r]) {
      const frame = this.file.frameOfRow(r);
      if (frame !== undefined) return frame;
    }
    return null;
  }

  // A row of values: its bytes, where the chunk's payload holds the rows at one size each.
  private markValueRow(k: number): void {
    const { tree, values, hex } = this.views;
    const r = tree.rows?.rows;
    const count = values.count;
    if (!r || tree.selectedRow < 0 || count === 0) return;
    const { headEnd, end } = extentOf(r, this.file.bytes, tree.selectedRow);
    const size = (end - headEnd) / count;
    if (Number.isInteger(size) && size > 0) hex.markRange(headEnd + k * size, headEnd + (k + 1) * size);
  }
}
