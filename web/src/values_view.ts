// The values of the selected data chunk as a table (a vertex, an index, a key, a bone's vertex
// and weight a row), its rows made only where the box shows them, each column (the rows' keys
// too) as wide as its widest number. A row picked with the mouse or the keys (Up, Down, Home,
// End, Page Up, Page Down) is told, so that its bytes can be marked.
import type { ValuesResult } from "./protocol";

const ROW_HEIGHT = 18;

function cell(text: string, className = "", width = ""): HTMLSpanElement {
  const span = document.createElement("span");
  span.setAttribute("role", "cell");
  if (className) span.className = className;
  if (width) span.style.width = width;
  span.textContent = text;
  return span;
}

function format(value: number, integer: boolean): string {
  if (Number.isNaN(value)) return "";
  return integer ? String(value) : value.toFixed(6);
}

const width = (chars: number) => `calc(${chars}ch + 12px)`;

// The row keys' width: the widest row label or row number.
function keyWidth(v: ValuesResult): string {
  const labels = v.rowLabels.reduce((w, l) => Math.max(w, l.length), 0);
  return width(Math.max(labels, String(Math.max(0, v.count - 1)).length, 1));
}

// Each column's width in characters: its head's, or its widest number's (the largest in size,
// with a sign where any is negative; toFixed grows with the size).
function widths(v: ValuesResult): string[] {
  const columns = v.columns.length;
  const largest = new Float64Array(columns);
  const negative = new Uint8Array(columns);
  for (let i = 0; i < v.count * columns; ++i) {
    const x = v.data[i];
    const c = i % columns;
    if (Math.abs(x) > largest[c]) largest[c] = Math.abs(x);
    if (x < 0) negative[c] = 1;
  }
  return v.columns.map((name, c) => {
    const integer = v.integer[c] ?? false;
    // From 1e21 on, toFixed writes an exponent: shorter than the 28 characters just below it.
    const below = largest[c] >= 1e21 ? format(999999999999999999999, integer).length : 0;
    const shown = format(largest[c], integer).length + negative[c];
    return width(Math.max(name.length, shown, below + negative[c], 4));
  });
}

export class ValuesView {
  private values: ValuesResult | null = null;
  private columnWidths: string[] = [];
  private keyWidth = "";
  private selected = -1;
  private readonly head: HTMLDivElement;
  private readonly spacer: HTMLDivElement;
  private readonly layer: HTMLDivElement;
  onPick: (row: number) => void = () => {};

  constructor(
    private readonly box: HTMLElement,
    private readonly title: HTMLElement,
  ) {
    box.setAttribute("role", "table");
    box.setAttribute("aria-label", "Values of the selected chunk");
    box.tabIndex = 0;
    this.head = document.createElement("div");
    this.head.className = "values-head";
    this.head.setAttribute("role", "row");
    this.spacer = document.createElement("div");
    this.layer = document.createElement("div");
    this.layer.className = "values-rows";
    box.replaceChildren(this.head, this.spacer, this.layer);
    box.addEventListener("scroll", () => this.render());
    box.addEventListener("click", (e) => {
      const row = (e.target as HTMLElement).closest?.("[data-row]") as HTMLElement | null;
      if (row) this.pick(Number(row.dataset.row));
    });
    box.addEventListener("keydown", (e) => this.key(e));
  }

  get count(): number {
    return this.values?.count ?? 0;
  }

  get selectedRow(): number {
    return this.selected;
  }

  show(values: ValuesResult | null): void {
    this.values = values && values.count > 0 ? values : null;
    this.selected = -1;
    this.columnWidths = this.values ? widths(this.values) : [];
    this.keyWidth = this.values ? keyWidth(this.values) : "";
    this.title.textContent = this.values ? `${this.values.title}: ${this.values.count}` : "Values";
    this.head.replaceChildren(
      ...(this.values
        ? [cell("#", "key", this.keyWidth), ...this.values.columns.map((c, i) => cell(c, "", this.columnWidths[i]))]
        : []),
    );
    this.box.scrollTop = 0;
    this.spacer.style.height = (this.values ? this.values.count * ROW_HEIGHT : 0) + "px";
    this.render();
  }

  // No row picked any more (its bytes are no longer marked); the table stays where it is.
  unpick(): void {
    if (this.selected < 0) return;
    this.selected = -1;
    this.render();
  }

  pick(row: number): void {
    if (!this.values || row < 0 || row >= this.values.count) return;
    this.selected = row;
    const first = Math.ceil(this.box.scrollTop / ROW_HEIGHT);
    const page = this.pageRows();
    if (row < first) this.box.scrollTop = row * ROW_HEIGHT;
    else if (row >= first + page) this.box.scrollTop = (row - page + 1) * ROW_HEIGHT;
    this.render();
    this.onPick(row);
  }

  private pageRows(): number {
    return Math.max(1, Math.floor((this.box.clientHeight - ROW_HEIGHT) / ROW_HEIGHT));
  }

  private render(): void {
    const v = this.values;
    if (!v) {
      this.layer.replaceChildren();
      return;
    }
    const columns = v.columns.length;
    const first = Math.floor(this.box.scrollTop / ROW_HEIGHT);
    const count = Math.max(0, Math.min(v.count - first, Math.ceil(this.box.clientHeight / ROW_HEIGHT) + 1));
    this.layer.style.transform = `translateY(${first * ROW_HEIGHT}px)`;
    const rows: HTMLElement[] = [];
    for (let i = 0; i < count; ++i) {
      const k = first + i;
      const row = document.createElement("div");
      row.className = k === this.selected ? "values-row picked" : "values-row";
      row.dataset.row = String(k);
      row.setAttribute("role", "row");
      row.append(cell(v.rowLabels[k] ?? String(k), "key", this.keyWidth));
      for (let c = 0; c < columns; ++c) {
        row.append(cell(format(v.data[k * columns + c], v.integer[c] ?? false), "", this.columnWidths[c]));
      }
      rows.push(row);
    }
    this.layer.replaceChildren(...rows);
  }

  private key(e: KeyboardEvent): void {
    if (!this.values || e.altKey || e.ctrlKey || e.metaKey) return;
    const at = this.selected;
    const last = this.values.count - 1;
    const moves: { [key: string]: number } = {
      ArrowDown: at + 1,
      ArrowUp: at - 1,
      Home: 0,
      End: last,
      PageDown: at + this.pageRows(),
      PageUp: at - this.pageRows(),
    };
    const to = moves[e.key];
    if (to === undefined) return;
    e.preventDefault();
    this.pick(Math.max(0, Math.min(last, to)));
  }
}
