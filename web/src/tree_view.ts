// The chunk tree on screen: an ARIA tree whose rows are made only where the scroll box shows
// them, so a million rows scroll as smoothly as ten. Keys as in a native tree view: Up, Down,
// Home, End, Page Up, Page Down, Right (expand, then to the first child), Left (collapse, then
// to the parent), + and - (expand, collapse). Rows can be marked: one that differs from its
// counterpart in another file, and one that holds such a row.
import { TreeRows } from "./rows";

export const ROW_HEIGHT = 20;

// A row's mark.
export const DIFFERS = 1;
export const HOLDS_DIFFERENCE = 2;
// Browsers cap an element's height; past this the scroll position is scaled onto the rows.
const MAX_SCROLL_HEIGHT = 10_000_000;

export class TreeView {
  private tree: TreeRows | null = null;
  private selected = -1;
  private readonly spacer: HTMLDivElement;
  private readonly layer: HTMLDivElement;
  private frame = 0;
  // Each row's mark (DIFFERS, HOLDS_DIFFERENCE), none when null.
  private marks: Uint8Array | null = null;
  onSelect: (row: number) => void = () => {};

  // Rows have the ids `idPrefix` and their number.
  constructor(
    private readonly box: HTMLElement,
    label = "Chunks",
    private readonly idPrefix = "row-",
  ) {
    box.setAttribute("role", "tree");
    box.setAttribute("aria-label", label);
    box.tabIndex = 0;
    this.spacer = document.createElement("div");
    this.spacer.className = "spacer";
    this.layer = document.createElement("div");
    this.layer.className = "rows";
    box.replaceChildren(this.spacer, this.layer);
    box.addEventListener("scroll", () => this.schedule());
    box.addEventListener("keydown", (e) => this.key(e));
    box.addEventListener("click", (e) => this.click(e));
    box.addEventListener("dblclick", (e) => this.doubleClick(e));
    new ResizeObserver(() => this.schedule()).observe(box);
  }

  get rows(): TreeRows | null {
    return this.tree;
  }

  get selectedRow(): number {
    return this.selected;
  }

  show(tree: TreeRows, keepSelection: boolean): void {
    this.tree = tree;
    if (!keepSelection || this.selected >= tree.count) this.selected = -1;
    if (this.marks && this.marks.length !== tree.count) this.marks = null;
    this.relayout();
  }

  // Marks rows (a mark a row, as many as the tree has), or none.
  setMarks(marks: Uint8Array | null): void {
    this.marks = marks && this.tree && marks.length === this.tree.count ? marks : null;
    this.render();
  }

  // After the expanded rows changed: the spacer's height, then the rows on screen.
  relayout(): void {
    const n = this.tree ? this.tree.visible.length : 0;
    this.spacer.style.height = Math.min(n * ROW_HEIGHT, MAX_SCROLL_HEIGHT) + "px";
    this.render();
  }

  setAllExpanded(expanded: boolean): void {
    if (!this.tree) return;
    this.tree.setAll(expanded);
    if (this.selected >= 0 && this.tree.positionOf(this.selected) < 0) this.tree.reveal(this.selected);
    this.relayout();
  }

  // Selects the row; with `tell`, onSelect hears of it.
  select(row: number, scroll = true, tell = true): void {
    if (!this.tree || row < 0 || row >= this.tree.count) return;
    this.tree.reveal(row);
    this.selected = row;
    this.relayout();
    if (scroll) this.scrollTo(this.tree.positionOf(row));
    this.render();
    if (tell) this.onSelect(row);
  }

  // Scrolls so that the visible row at `position` is inside the box.
  scrollTo(position: number): void {
    const first = this.firstPosition();
    const page = this.pageRows();
    if (position < first) this.setFirstPosition(position);
    else if (position >= first + page) this.setFirstPosition(position - page + 1);
  }

  private pageRows(): number {
    return Math.max(1, Math.floor(this.box.clientHeight / ROW_HEIGHT));
  }

  private scale(): number {
    const n = this.tree ? this.tree.visible.length : 0;
    const full = n * ROW_HEIGHT;
    if (full <= MAX_SCROLL_HEIGHT) return 1;
    const page = this.box.clientHeight;
    return (full - page) / Math.max(1, MAX_SCROLL_HEIGHT - page);
  }

  private firstPosition(): number {
    return Math.floor((this.box.scrollTop * this.scale()) / ROW_HEIGHT);
  }

  private setFirstPosition(position: number): void {
    this.box.scrollTop = (position * ROW_HEIGHT) / this.scale();
    this.render();
  }

  private schedule(): void {
    if (this.frame) return;
    this.frame = requestAnimationFrame(() => {
      this.frame = 0;
      this.render();
    });
  }

  // Makes the rows that the box shows, and no others.
  render(): void {
    const tree = this.tree;
    if (!tree) {
      this.layer.replaceChildren();
      return;
    }
    const scale = this.scale();
    const exact = (this.box.scrollTop * scale) / ROW_HEIGHT;
    const first = Math.floor(exact);
    const count = Math.min(tree.visible.length - first, this.pageRows() + 2);
    // The layer sits where the first row's top would be, on the unscaled scroll position.
    this.layer.style.transform = `translateY(${this.box.scrollTop - (exact - first) * ROW_HEIGHT}px)`;
    const items: HTMLElement[] = [];
    let active = "";
    for (let i = 0; i < count; ++i) {
      const row = tree.visible[first + i];
      const item = document.createElement("div");
      item.className = "treeitem";
      item.id = this.idPrefix + row;
      item.dataset.row = String(row);
      item.setAttribute("role", "treeitem");
      item.setAttribute("aria-level", String(tree.rows.depth[row] + 1));
      if (tree.hasChildren(row)) item.setAttribute("aria-expanded", tree.expanded[row] ? "true" : "false");
      item.setAttribute("aria-selected", row === this.selected ? "true" : "false");
      item.style.paddingLeft = tree.rows.depth[row] * 16 + 4 + "px";
      const twisty = document.createElement("span");
      twisty.className = "twisty";
      twisty.textContent = tree.hasChildren(row) ? (tree.expanded[row] ? "\u25be" : "\u25b8") : "";
      const label = document.createElement("span");
      label.className = "label";
      label.textContent = tree.label(row);
      item.append(twisty, label);
      const mark = this.marks ? this.marks[row] : 0;
      if (mark) {
        item.classList.add(mark === DIFFERS ? "differs" : "holds-difference");
        const badge = document.createElement("span");
        badge.className = "mark";
        badge.textContent = mark === DIFFERS ? " \u2260 differs" : " \u2022";
        item.append(badge);
      }
      items.push(item);
      if (row === this.selected) active = item.id;
    }
    this.layer.replaceChildren(...items);
    if (active) this.box.setAttribute("aria-activedescendant", active);
    else this.box.removeAttribute("aria-activedescendant");
  }

  private toggle(row: number, expand?: boolean): void {
    const tree = this.tree;
    if (!tree || !tree.hasChildren(row)) return;
    const next = expand ?? !tree.expanded[row];
    if (Boolean(tree.expanded[row]) === next) return;
    tree.expanded[row] = next ? 1 : 0;
    tree.layout();
    this.relayout();
  }

  private rowOf(target: EventTarget | null): number {
    const item = (target as HTMLElement | null)?.closest?.(".treeitem") as HTMLElement | null;
    return item ? Number(item.dataset.row) : -1;
  }

  private click(e: MouseEvent): void {
    const row = this.rowOf(e.target);
    if (row < 0) return;
    if ((e.target as HTMLElement).classList.contains("twisty")) this.toggle(row);
    this.select(row);
  }

  private doubleClick(e: MouseEvent): void {
    const row = this.rowOf(e.target);
    if (row >= 0 && !(e.target as HTMLElement).classList.contains("twisty")) this.toggle(row);
  }

  private key(e: KeyboardEvent): void {
    // Keys with a modifier are the page's (Alt+Down opens the next file of a folder).
    if (e.altKey || e.ctrlKey || e.metaKey) return;
    const tree = this.tree;
    if (!tree || tree.visible.length === 0) return;
    const position = this.selected >= 0 ? tree.positionOf(this.selected) : -1;
    const last = tree.visible.length - 1;
    const go = (p: number) => this.select(tree.visible[Math.max(0, Math.min(last, p))]);
    const row = this.selected;
    switch (e.key) {
      case "ArrowDown":
        go(position + 1);
        break;
      case "ArrowUp":
        go(position < 0 ? 0 : position - 1);
        break;
      case "Home":
        go(0);
        break;
      case "End":
        go(last);
        break;
      case "PageDown":
        go(position + this.pageRows() - 1);
        break;
      case "PageUp":
        go(position - this.pageRows() + 1);
        break;
      case "ArrowRight":
        if (row < 0) go(0);
        else if (tree.hasChildren(row) && !tree.expanded[row]) this.toggle(row, true);
        else if (tree.hasChildren(row)) this.select(row + 1);
        break;
      case "ArrowLeft":
        if (row < 0) go(0);
        else if (tree.hasChildren(row) && tree.expanded[row]) this.toggle(row, false);
        else if (tree.rows.parent[row] >= 0) this.select(tree.rows.parent[row]);
        break;
      case "+":
        if (row >= 0) this.toggle(row, true);
        break;
      case "-":
        if (row >= 0) this.toggle(row, false);
        break;
      default:
        return;
    }
    e.preventDefault();
  }
}
