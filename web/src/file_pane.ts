// The files of a folder, a row each with its path and what kxm check says of it, made only
// where the box shows them. A listbox for the keyboard: Up, Down, Home, End, Page Up and Page
// Down move the cursor, Enter opens the file under it; a click opens a file. "Failed only"
// shows only the files that failed to load.
import { FolderList, stateText } from "./folder_list";

const ROW_HEIGHT = 20;

export class FilePane {
  // The open file's place in the list, -1 for none; the cursor's place among the shown rows.
  current = -1;
  private cursor = 0;
  private shown: number[] = [];
  private failedOnly = false;
  private readonly spacer: HTMLDivElement;
  private readonly layer: HTMLDivElement;
  onOpen: (index: number) => void = () => {};

  constructor(
    readonly list: FolderList,
    private readonly pane: HTMLElement,
    private readonly box: HTMLElement,
    private readonly title: HTMLElement,
  ) {
    box.setAttribute("role", "listbox");
    box.setAttribute("aria-label", "Files of the folder");
    box.tabIndex = 0;
    this.spacer = document.createElement("div");
    this.layer = document.createElement("div");
    this.layer.className = "rows";
    box.replaceChildren(this.spacer, this.layer);
    box.addEventListener("scroll", () => this.render());
    box.addEventListener("keydown", (e) => this.key(e));
    box.addEventListener("click", (e) => {
      const row = (e.target as HTMLElement).closest?.("[data-index]") as HTMLElement | null;
      if (row) this.onOpen(Number(row.dataset.index));
    });
    // A state a file: the pane is made again once a frame, however many came in it.
    let frame = 0;
    list.onChange = () => {
      if (frame) return;
      frame = requestAnimationFrame(() => {
        frame = 0;
        this.refresh();
      });
    };
  }

  setFailedOnly(on: boolean): void {
    this.failedOnly = on;
    this.refresh();
  }

  // The files shown, in list order.
  get shownFiles(): number[] {
    return this.shown;
  }

  // The shown file after (step 1) or before (step -1) the open one; -1 when there is none.
  neighbour(step: 1 | -1): number {
    const shown = this.shown;
    if (shown.length === 0) return -1;
    if (this.current < 0) return step > 0 ? shown[0] : shown[shown.length - 1];
    // The open file may be filtered out: the next shown one after its place.
    let low = 0;
    let high = shown.length;
    while (low < high) {
      const middle = (low + high) >>> 1;
      if (shown[middle] < this.current) low = middle + 1;
      else high = middle;
    }
    const at = step > 0 ? (shown[low] === this.current ? low + 1 : low) : low - 1;
    return at >= 0 && at < shown.length ? shown[at] : -1;
  }

  setCurrent(index: number): void {
    this.current = index;
    const at = this.shown.indexOf(index);
    if (at >= 0) {
      this.cursor = at;
      this.scrollTo(at);
    }
    this.render();
  }

  refresh(): void {
    const { files, states } = this.list;
    this.pane.hidden = !this.list.opened;
    this.shown = [];
    let failed = 0;
    let warned = 0;
    let checking = 0;
    for (let i = 0; i < files.length; ++i) {
      const s = states[i];
      if (s.kind === "failed") ++failed;
      else if (s.kind === "checking") ++checking;
      else if (s.numWarnings > 0 || s.numErrors > 0) ++warned;
      if (!this.failedOnly || s.kind === "failed") this.shown.push(i);
    }
    this.cursor = Math.max(0, Math.min(this.cursor, this.shown.length - 1));
    this.title.textContent =
      files.length === 0
        ? "Files: no .kxm files in this folder"
        : `Files: ${files.length}, ${failed} failed, ${warned} with warnings` +
          (checking ? `, ${checking} being checked` : "");
    this.spacer.style.height = this.shown.length * ROW_HEIGHT + "px";
    this.render();
  }

  private pageRows(): number {
    return Math.max(1, Math.floor(this.box.clientHeight / ROW_HEIGHT));
  }

  private scrollTo(at: number): void {
    const first = Math.ceil(this.box.scrollTop / ROW_HEIGHT);
    const page = this.pageRows();
    if (at < first) this.box.scrollTop = at * ROW_HEIGHT;
    else if (at >= first + page) this.box.scrollTop = (at - page + 1) * ROW_HEIGHT;
  }

  render(): void {
    const { files, states } = this.list;
    const first = Math.floor(this.box.scrollTop / ROW_HEIGHT);
    const count = Math.max(0, Math.min(this.shown.length - first, this.pageRows() + 2));
    this.layer.style.transform = `translateY(${first * ROW_HEIGHT}px)`;
    const rows: HTMLElement[] = [];
    let active = "";
    for (let k = first; k < first + count; ++k) {
      const index = this.shown[k];
      const state = states[index];
      const row = document.createElement("div");
      row.className = "file-row " + state.kind + (k === this.cursor ? " cursor" : "");
      row.id = "file-" + index;
      row.dataset.index = String(index);
      row.setAttribute("role", "option");
      row.setAttribute("aria-selected", index === this.current ? "true" : "false");
      const path = document.createElement("span");
      path.className = "path";
      path.textContent = files[index].path;
      const what = document.createElement("span");
      what.className = "state";
      what.textContent = stateText(state);
      if (state.kind === "failed") what.title = state.message;
      row.append(path, what);
      rows.push(row);
      if (k === this.cursor) active = row.id;
    }
    this.layer.replaceChildren(...rows);
    if (active) this.box.setAttribute("aria-activedescendant", active);
    else this.box.removeAttribute("aria-activedescendant");
  }

  private key(e: KeyboardEvent): void {
    if (e.altKey || e.ctrlKey || e.metaKey || this.shown.length === 0) return;
    const last = this.shown.length - 1;
    const go = (at: number) => {
      this.cursor = Math.max(0, Math.min(last, at));
      this.scrollTo(this.cursor);
      this.render();
    };
    switch (e.key) {
      case "ArrowDown":
        go(this.cursor + 1);
        break;
      case "ArrowUp":
        go(this.cursor - 1);
        break;
      case "Home":
        go(0);
        break;
      case "End":
        go(last);
        break;
      case "PageDown":
        go(this.cursor + this.pageRows() - 1);
        break;
      case "PageUp":
        go(this.cursor - this.pageRows() + 1);
        break;
      case "Enter":
      case " ":
        this.onOpen(this.shown[this.cursor]);
        break;
      default:
        return;
    }
    e.preventDefault();
  }
}
