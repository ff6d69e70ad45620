// A whole game folder at hand: the folder's files listed with their states, opened one by one
// (Previous and Next, Alt+Up and Alt+Down); the search box and go to offset over the open
// file's tree; and the page's keys: Ctrl+O opens a file, Ctrl+F finds, F3 and Shift+F3 go to
// the next and previous match, Ctrl+G goes to an offset.
import { FilePane } from "./file_pane";
import { FolderList, type FileState, type ListedFile } from "./folder_list";
import type { Files } from "./open_files";
import type { Rows } from "./protocol";
import { SearchBar } from "./search_bar";
import { splitter } from "./splitter";
import { IMAGE, relativeTo, TextureFolders } from "./texture_folders";

export interface Page<Result> {
  open(bytes: Uint8Array | null, name: string, files: Files, textureFolders: string[]): Promise<Result>;
  rows(): Rows | null;
  file(): Uint8Array;
  select(row: number): void;
  markByte(offset: number): void;
}

const $ = <T extends HTMLElement>(id: string) => document.getElementById(id) as T;

export class Workbench<Result> {
  readonly folder = new FolderList();
  readonly pane: FilePane;
  readonly search: SearchBar;
  readonly textures = new TextureFolders($("texture-folders"));
  private opening: Promise<Result | null> = Promise.resolve(null);

  constructor(private readonly page: Page<Result>) {
    this.pane = new FilePane(this.folder, $("file-pane"), $("files"), $("files-title"));
    this.pane.onOpen = (index) => void this.openListed(index);
    this.search = new SearchBar(
      page,
      $<HTMLInputElement>("search"),
      $<HTMLInputElement>("match-case"),
      $("search-count"),
    );
    $<HTMLInputElement>("failed-only").addEventListener("change", (e) =>
      this.pane.setFailedOnly((e.target as HTMLInputElement).checked),
    );
    $("previous-file").addEventListener("click", () => void this.step(-1));
    $("next-file").addEventListener("click", () => void this.step(1));
    $("find-previous").addEventListener("click", () => this.search.step(-1));
    $("find-next").addEventListener("click", () => this.search.step(1));
    $("open-file").addEventListener("click", () => $("file-input").click());
    $("open-folder").addEventListener("click", () => $("folder-input").click());
    document.addEventListener("keydown", (e) => this.key(e));
    // Another choice of texture folders shows in the open file at once.
    this.textures.onChange = () => void (this.pane.current >= 0 && this.openListed(this.pane.current));
    splitter($("split-sides"), document.querySelector("main") as HTMLElement, "--tree-width", $("tree-pane"), 200);
    splitter($("split-scene"), $("side"), "--scene-height", $("scene-pane"), 120);
  }

  // Lists the folder's .kxm files, starts checking them and opens the first.
  async openFolder(files: ListedFile[]): Promise<Result | null> {
    this.folder.set(files);
    this.textures.set(this.folder.others);
    this.pane.current = -1;
    this.pane.refresh();
    return this.folder.files.length > 0 ? this.openListed(0) : null;
  }

  // Opens the file at `index` of the list, with the images of its folder and below, and of the
  // texture folders chosen.
  openListed(index: number): Promise<Result | null> {
    const file = this.folder.files[index];
    if (!file) return Promise.resolve(null);
    this.pane.setCurrent(index);
    const run = async () => {
      const slash = file.path.lastIndexOf("/");
      const folder = slash < 0 ? "" : file.path.slice(0, slash + 1);
      const chosen = this.textures.ordered;
      const wanted = (path: string) =>
        path.startsWith(folder) || chosen.some((f) => path.startsWith(f === "" ? "" : f + "/"));
      const files: Files = {};
      for (const other of this.folder.others) {
        if (!IMAGE.test(other.path) || !wanted(other.path)) continue;
        const bytes = await other.read();
        if (bytes) files[relativeTo(folder.slice(0, -1), other.path)] = bytes;
      }
      // A later choice wins: the list moved on while the images were read.
      if (this.pane.current !== index) return null;
      return this.page.open(await file.read(), file.path, files, chosen);
    };
    this.opening = run();
    return this.opening;
  }

  // The next (1) or previous (-1) file that the list shows.
  step(direction: 1 | -1): Promise<Result | null> {
    const index = this.pane.neighbour(direction);
    return index < 0 ? Promise.resolve(null) : this.openListed(index);
  }

  // A file opened from outside the list: the list no longer has an open file.
  opened(name: string): void {
    document.title = `${name} - KXM Chunk Viewer`;
    $("open-path").textContent = name;
    const current = this.folder.files[this.pane.current];
    if (!current || current.path !== name) this.pane.setCurrent(-1);
  }

  // Once every file is checked (and the pane shows it): each file's path and state.
  async states(): Promise<{ path: string; state: FileState }[]> {
    await this.folder.checked();
    this.pane.refresh();
    return this.folder.files.map((f, i) => ({ path: f.path, state: this.folder.states[i] }));
  }

  // What window.kxmViewer offers of the workbench.
  api() {
    return {
      // Counts the rows whose labels hold `text` and selects the first: {count, rows}.
      search: (text: string, caseSensitive = false) => {
        $<HTMLInputElement>("match-case").checked = caseSensitive;
        return this.search.search(text);
      },
      // Selects the innermost node whose bytes hold `offset`: its row, -1 for none.
      goToOffset: (offset: number): number => this.search.goToOffset(offset),
      // Lists files as an opened folder: {relativePath: bytes}, null for one that cannot be read.
      openFolder: (files: { [path: string]: Uint8Array | null }) =>
        this.openFolder(
          Object.entries(files).map(([path, bytes]) => ({ path, read: async () => bytes && bytes.slice() })),
        ),
      // The folder's files in list order with what kxm check says of each, once all are checked.
      folder: () => this.states(),
      openListed: (index: number) => this.openListed(index),
      nextFile: () => this.step(1),
      previousFile: () => this.step(-1),
    };
  }

  private key(e: KeyboardEvent): void {
    const ctrl = e.ctrlKey || e.metaKey;
    if (ctrl && !e.altKey && (e.key === "o" || e.key === "O")) $("file-input").click();
    else if (ctrl && !e.altKey && (e.key === "f" || e.key === "F")) this.search.focus();
    else if (ctrl && !e.altKey && (e.key === "g" || e.key === "G")) this.goToPrompt();
    else if (e.key === "F3") this.search.step(e.shiftKey ? -1 : 1);
    else if (e.altKey && !ctrl && e.key === "ArrowDown") void this.step(1);
    else if (e.altKey && !ctrl && e.key === "ArrowUp") void this.step(-1);
    else return;
    e.preventDefault();
  }

  // Ctrl+G: the search box, ready for an offset.
  private goToPrompt(): void {
    const input = $<HTMLInputElement>("search");
    input.value = "0x";
    input.focus();
    input.setSelectionRange(2, 2);
  }
}
