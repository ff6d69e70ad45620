// The bytes of the selected node: offsets and sixteen bytes a line, made only where the box
// shows them.
const LINE_HEIGHT = 16;
const MAX_LINES = 500_000;
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

export class HexView {
  private bytes: Uint8Array = new Uint8Array(0);
  private start = 0;
  private end = 0;
  private readonly spacer: HTMLDivElement;
  private readonly layer: HTMLDivElement;

  constructor(private readonly box: HTMLElement) {
    this.spacer = document.createElement("div");
    this.layer = document.createElement("div");
    this.layer.className = "lines";
    box.replaceChildren(this.spacer, this.layer);
    box.addEventListener("scroll", () => this.render());
  }

  // Shows bytes [start, end) of the file, lines aligned on their own start.
  show(bytes: Uint8Array, start: number, end: number): void {
    this.bytes = bytes;
    this.start = Math.min(start, bytes.length);
    this.end = Math.min(Math.max(end, this.start), bytes.length);
    this.box.scrollTop = 0;
    this.spacer.style.height = this.lineCount() * LINE_HEIGHT + "px";
    this.render();
  }

  private lineCount(): number {
    return Math.min(MAX_LINES, Math.ceil((this.end - this.start) / 16));
  }

  private render(): void {
    const first = Math.floor(this.box.scrollTop / LINE_HEIGHT);
    const count = Math.min(this.lineCount() - first, Math.ceil(this.box.clientHeight / LINE_HEIGHT) + 1);
    this.layer.style.transform = `translateY(${first * LINE_HEIGHT}px)`;
    const lines: HTMLElement[] = [];
    for (let i = 0; i < count; ++i) {
      const line = document.createElement("div");
      line.className = "hexline";
      const at = this.start + (first + i) * 16;
      line.textContent = hexLine(this.bytes, at, this.end);
      lines.push(line);
    }
    this.layer.replaceChildren(...lines);
  }
}
