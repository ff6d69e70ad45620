// The values of the selected data chunk as a table (a vertex, an index, a key a row), its rows
// made only where the box shows them.
import type { ValuesResult } from "./protocol";

const ROW_HEIGHT = 18;

function cell(text: string, className = ""): HTMLSpanElement {
  const span = document.createElement("span");
  span.setAttribute("role", "cell");
  if (className) span.className = className;
  span.textContent = text;
  return span;
}

export class ValuesView {
  private values: ValuesResult | null = null;
  private readonly head: HTMLDivElement;
  private readonly spacer: HTMLDivElement;
  private readonly layer: HTMLDivElement;

  constructor(private readonly box: HTMLElement, private readonly title: HTMLElement) {
    box.setAttribute("role", "table");
    this.head = document.createElement("div");
    this.head.className = "values-head";
    this.head.setAttribute("role", "row");
    this.spacer = document.createElement("div");
    this.layer = document.createElement("div");
    this.layer.className = "values-rows";
    box.replaceChildren(this.head, this.spacer, this.layer);
    box.addEventListener("scroll", () => this.render());
  }

  show(values: ValuesResult | null): void {
    this.values = values && values.count > 0 ? values : null;
    this.title.textContent = this.values ? `${this.values.title}: ${this.values.count}` : "Values";
    this.head.replaceChildren(...(this.values ? [cell("#", "key"), ...this.values.columns.map((c) => cell(c))] : []));
    this.box.scrollTop = 0;
    this.spacer.style.height = (this.values ? this.values.count * ROW_HEIGHT : 0) + "px";
    this.render();
  }

  private format(value: number, column: string): string {
    if (Number.isNaN(value)) return "";
    return column === "index" ? String(value) : value.toFixed(6);
  }

  private render(): void {
    const v = this.values;
    if (!v) {
      this.layer.replaceChildren();
      return;
    }
    const width = v.columns.length;
    const first = Math.floor(this.box.scrollTop / ROW_HEIGHT);
    const count = Math.max(0, Math.min(v.count - first, Math.ceil(this.box.clientHeight / ROW_HEIGHT) + 1));
    this.layer.style.transform = `translateY(${first * ROW_HEIGHT}px)`;
    const rows: HTMLElement[] = [];
    for (let i = 0; i < count; ++i) {
      const k = first + i;
      const row = document.createElement("div");
      row.className = "values-row";
      row.setAttribute("role", "row");
      row.append(cell(v.rowLabels[k] ?? String(k), "key"));
      for (let c = 0; c < width; ++c) row.append(cell(this.format(v.data[k * width + c], v.columns[c])));
      rows.push(row);
    }
    this.layer.replaceChildren(...rows);
  }
}
