// The search box over the tree: as the text is typed, every label that holds it is counted
// (collapsed rows included); Enter, Shift+Enter, F3 and Shift+F3 go to the next and previous
// match, each expanded to, selected and scrolled into view. A text such as 0x1A2B goes to that
// offset instead: the innermost node whose bytes hold it.
import type { Rows } from "./protocol";
import { extentEnds, findRows, offsetOf, rowAtOffset } from "./search";

export interface SearchTarget {
  rows(): Rows | null;
  file(): Uint8Array;
  select(row: number): void;
  // Marks the byte at `offset` in the hex pane.
  markByte(offset: number): void;
}

export class SearchBar {
  private matches: Uint32Array = new Uint32Array(0);
  private at = -1;
  private searchedRows: Rows | null = null;
  private ends: { rows: Rows; file: Uint8Array; ends: Uint32Array } | null = null;

  constructor(
    private readonly target: SearchTarget,
    private readonly input: HTMLInputElement,
    private readonly matchCase: HTMLInputElement,
    private readonly count: HTMLElement,
  ) {
    input.addEventListener("input", () => this.update(true));
    matchCase.addEventListener("change", () => this.update(true));
    input.addEventListener("keydown", (e) => {
      if (e.key === "Enter") {
        e.preventDefault();
        if (offsetOf(input.value) !== null) this.update(true);
        else this.step(e.shiftKey ? -1 : 1);
      } else if (e.key === "Escape" && input.value !== "") {
        e.preventDefault();
        input.value = "";
        this.update(false);
      }
    });
  }

  focus(): void {
    this.input.focus();
    this.input.select();
  }

  // The tree was shown anew: the matches are found again in its rows.
  refresh(): void {
    if (this.input.value !== "" && offsetOf(this.input.value) === null) this.update(false);
  }

  // Searches the labels for `text`; with `jump`, the first match is selected.
  search(text: string, jump = true): { count: number; rows: number[] } {
    this.input.value = text;
    this.update(jump);
    return { count: this.matches.length, rows: Array.from(this.matches) };
  }

  // Selects the innermost node whose bytes hold `offset` and marks the byte: its row, -1 for none.
  goToOffset(offset: number): number {
    const rows = this.target.rows();
    const file = this.target.file();
    if (!rows || !Number.isInteger(offset) || offset < 0 || offset >= file.length) {
      this.count.textContent = `0x${offset.toString(16).toUpperCase()} is not in the file`;
      return -1;
    }
    if (!this.ends || this.ends.rows !== rows || this.ends.file !== file) {
      this.ends = { rows, file, ends: extentEnds(rows, file) };
    }
    const row = rowAtOffset(rows, this.ends.ends, offset);
    this.count.textContent =
      row < 0 ? "no node holds that byte" : `byte 0x${offset.toString(16).toUpperCase().padStart(8, "0")}`;
    if (row >= 0) this.target.select(row);
    this.target.markByte(offset);
    return row;
  }

  private update(jump: boolean): void {
    const text = this.input.value;
    const offset = offsetOf(text);
    if (offset !== null) {
      this.matches = new Uint32Array(0);
      if (jump) this.goToOffset(offset);
      return;
    }
    const rows = this.target.rows();
    this.searchedRows = rows;
    this.matches = rows ? findRows(rows, text, this.matchCase.checked) : new Uint32Array(0);
    this.at = -1;
    if (text === "") {
      this.count.textContent = "";
      return;
    }
    if (this.matches.length === 0) {
      this.count.textContent = "no match";
      return;
    }
    if (jump) this.step(1);
    else this.count.textContent = `${this.matches.length} ${this.matches.length === 1 ? "match" : "matches"}`;
  }

  // Goes to the next (1) or previous (-1) match, round the end.
  step(direction: 1 | -1): void {
    if (this.target.rows() !== this.searchedRows) this.update(false);
    const n = this.matches.length;
    if (n === 0) return;
    if (this.at < 0) this.at = direction > 0 ? 0 : n - 1;
    else this.at = (this.at + direction + n) % n;
    this.count.textContent = `${this.at + 1} of ${n} ${n === 1 ? "match" : "matches"}`;
    this.target.select(this.matches[this.at]);
  }
}
