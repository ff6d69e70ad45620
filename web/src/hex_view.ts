// The whole file's bytes, sixteen a line, the lines made only where the box shows them. The
// selected node's head and payload show in two colours and its parent's extent shaded; a byte
// can be marked (a byte cursor). A click on a byte, or the arrow keys moving the cursor, pick
// the byte: the page then selects the innermost node that holds it.
const LINE_HEIGHT = 16;
// Browsers cap an element's height; past this the scroll position is scaled onto the lines.
const MAX_SCROLL_HEIGHT = 10_000_000;
const hex = "0123456789ABCDEF";

function hex8(n: number): string {
  return n.toString(16).toUpperCase().padStart(8, "0");
}

// One line as it shows: "00000020  01 00 00 00 ...  |....|".
export function hexLine(bytes: Uint8Array, start: number, end: number): string {
  let codes = "";
  let text = "";
  for (let i = start; i < start + 16; ++i) {
    if (i < end) {
      const b = bytes[i];
      codes += hex[b >> 4] + hex[b & 15] + " ";
      text += b >= 0x20 && b <= 0x7e ? String.fromCharCode(b) : ".";
    } else {
      codes += "   ";
    }
  }
  return hex8(start) + "  " + codes + " " + text;
}

// The bytes of a node: [start, headEnd) its head, [headEnd, end) its payload; its parent's.
export interface Extent {
  start: number;
  headEnd: number;
  end: number;
  parentStart: number;
  parentEnd: number;
}

const NONE: Extent = { start: 0, headEnd: 0, end: 0, parentStart: 0, parentEnd: 0 };

export class HexView {
  private bytes: Uint8Array = new Uint8Array(0);
  private extent: Extent = NONE;
  // The byte marked (gone to, clicked, the cursor), -1 for none.
  private marked = -1;
  // The bytes of the row picked in the values table: [start, end).
  private valueRow = [0, 0];
  private readonly spacer: HTMLDivElement;
  private readonly layer: HTMLDivElement;
  private frame = 0;
  onPick: (offset: number) => void = () => {};

  constructor(private readonly box: HTMLElement) {
    box.setAttribute("role", "grid");
    box.setAttribute("aria-label", "Bytes of the file; arrow keys move the byte cursor");
    box.setAttribute("aria-readonly", "true");
    this.spacer = document.createElement("div");
    this.layer = document.createElement("div");
    this.layer.className = "lines";
    box.replaceChildren(this.spacer, this.layer);
    box.addEventListener("scroll", () => this.schedule());
    box.addEventListener("click", (e) => {
      const cell = (e.target as HTMLElement).closest?.("[data-offset]") as HTMLElement | null;
      if (cell) this.pick(Number(cell.dataset.offset));
    });
    box.addEventListener("keydown", (e) => this.key(e));
    new ResizeObserver(() => this.schedule()).observe(box);
  }

  // The file shown anew: nothing selected, nothing marked, at its top.
  setFile(bytes: Uint8Array): void {
    this.bytes = bytes;
    this.extent = NONE;
    this.marked = -1;
    this.valueRow = [0, 0];
    this.spacer.style.height = Math.min(this.lineCount() * LINE_HEIGHT, MAX_SCROLL_HEIGHT) + "px";
    this.box.scrollTop = 0;
    this.render();
  }

  // Shows a node's bytes in colour; with `scroll`, its first byte's line goes to the top.
  show(extent: Extent, scroll: boolean): void {
    const clamp = (n: number) => Math.max(0, Math.min(n, this.bytes.length));
    this.valueRow = [0, 0];
    this.extent = {
      start: clamp(extent.start),
      headEnd: clamp(extent.headEnd),
      end: clamp(extent.end),
      parentStart: clamp(extent.parentStart),
      parentEnd: clamp(extent.parentEnd),
    };
    if (scroll && extent.end > extent.start) this.setFirstLine(Math.floor(this.extent.start / 16));
    this.render();
  }

  // Marks the byte at `offset` and scrolls its line into the box.
  mark(offset: number): void {
    if (offset < 0 || offset >= this.bytes.length) return;
    this.marked = offset;
    const line = Math.floor(offset / 16);
    const first = this.firstLine();
    if (line < first || line >= first + this.pageLines()) this.setFirstLine(Math.max(0, line - 1));
    this.render();
  }

  // Marks the bytes [start, end) of a row of values, its first byte the cursor.
  markRange(start: number, end: number): void {
    this.valueRow = [start, Math.min(end, this.bytes.length)];
    this.mark(start);
  }

  get markedByte(): number {
    return this.marked;
  }

  private pick(offset: number): void {
    this.mark(offset);
    this.onPick(offset);
  }

  private lineCount(): number {
    return Math.ceil(this.bytes.length / 16);
  }

  private pageLines(): number {
    return Math.max(1, Math.floor(this.box.clientHeight / LINE_HEIGHT));
  }

  private scale(): number {
    const full = this.lineCount() * LINE_HEIGHT;
    if (full <= MAX_SCROLL_HEIGHT) return 1;
    const page = this.box.clientHeight;
    return (full - page) / Math.max(1, MAX_SCROLL_HEIGHT - page);
  }

  private firstLine(): number {
    return Math.floor((this.box.scrollTop * this.scale()) / LINE_HEIGHT);
  }

  private setFirstLine(line: number): void {
    this.box.scrollTop = (line * LINE_HEIGHT) / this.scale();
  }

  private schedule(): void {
    if (this.frame) return;
    this.frame = requestAnimationFrame(() => {
      this.frame = 0;
      this.render();
    });
  }

  // The class of the byte at `i`: head, payload, parent or none; marked.
  private classOf(i: number): string {
    const x = this.extent;
    let c = "byte";
    if (i >= x.start && i < x.headEnd) c += " head";
    else if (i >= x.headEnd && i < x.end) c += " payload";
    else if (i >= x.parentStart && i < x.parentEnd) c += " parent";
    if (i >= this.valueRow[0] && i < this.valueRow[1]) c += " value-row";
    return i === this.marked ? c + " marked" : c;
  }

  private render(): void {
    const exact = (this.box.scrollTop * this.scale()) / LINE_HEIGHT;
    const first = Math.floor(exact);
    const count = Math.max(0, Math.min(this.lineCount() - first, this.pageLines() + 2));
    this.layer.style.transform = `translateY(${this.box.scrollTop - (exact - first) * LINE_HEIGHT}px)`;
    const lines: HTMLElement[] = [];
    const size = this.bytes.length;
    for (let k = 0; k < count; ++k) {
      const at = (first + k) * 16;
      const text = hexLine(this.bytes, at, size);
      const line = document.createElement("div");
      line.className = "hexline";
      line.setAttribute("role", "row");
      line.append(text.slice(0, 10));
      const chars: (HTMLElement | string)[] = [];
      for (let i = 0; i < 16; ++i) {
        if (at + i >= size) {
          line.append(text.slice(10 + 3 * i, 13 + 3 * i));
          continue;
        }
        const cell = document.createElement("span");
        cell.className = this.classOf(at + i);
        cell.dataset.offset = String(at + i);
        cell.setAttribute("role", "gridcell");
        cell.textContent = text.slice(10 + 3 * i, 12 + 3 * i);
        line.append(cell, " ");
        const char = document.createElement("span");
        char.className = cell.className;
        char.textContent = text[59 + i];
        chars.push(char);
      }
      line.append(" ", ...chars);
      lines.push(line);
    }
    this.layer.replaceChildren(...lines);
  }

  private key(e: KeyboardEvent): void {
    if (e.altKey || e.ctrlKey || e.metaKey || this.bytes.length === 0) return;
    const at = this.marked >= 0 ? this.marked : this.extent.start;
    const moves: { [key: string]: number } = {
      ArrowLeft: -1,
      ArrowRight: 1,
      ArrowUp: -16,
      ArrowDown: 16,
      PageUp: -16 * this.pageLines(),
      PageDown: 16 * this.pageLines(),
      Home: -(at % 16),
      End: 15 - (at % 16),
    };
    const move = moves[e.key];
    if (move === undefined) return;
    e.preventDefault();
    this.pick(Math.max(0, Math.min(this.bytes.length - 1, at + move)));
  }
}
