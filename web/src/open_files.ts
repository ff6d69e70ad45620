// Files from the picker or a drop. A folder, or more than two .kxm files, is a list of files:
// the page lists them and opens the first. Two .kxm files are compared: the first is opened, the
// second compared with it. Otherwise the first .kxm (or the first file) is the model, every file
// goes with it under its path relative to the model's folder, so that its textures are found.
// Folders dropped are read through; the page's open() does the rest.
import { byteOrder, isModelPath, type ListedFile } from "./folder_list";

export type Files = { [relativePath: string]: Uint8Array };
export type Open = (bytes: Uint8Array | null, name: string, files?: Files) => Promise<unknown>;
export type OpenFolder = (files: ListedFile[]) => Promise<unknown>;
export type Compare = (bytes: Uint8Array | null, name: string) => Promise<unknown>;
type Entry = { path: string; file: File };

const bytesOf = (entry: Entry) =>
  entry.file.arrayBuffer().then(
    (b) => new Uint8Array(b),
    () => null,
  );

const listed = (entries: Entry[]): ListedFile[] => entries.map((e) => ({ path: e.path, read: () => bytesOf(e) }));

// In the order kxm's walk takes them, so that two models dropped together are compared as
// `kxm diff` compares them named in that order, whatever order the browser hands them over in.
const models = (entries: Entry[]) =>
  entries.filter((e) => isModelPath(e.path)).sort((a, b) => byteOrder(a.path, b.path));
// A folder, or more than two models: a list of files.
const isList = (entries: Entry[], folder: boolean) => folder || models(entries).length > 2;

export function fileFolder(name: string): string {
  const slash = name.lastIndexOf("/");
  return slash < 0 ? "" : name.slice(0, slash);
}

async function openFiles(open: Open, entries: Entry[]): Promise<void> {
  if (entries.length === 0) return;
  const model = entries.find((e) => /\.kxm$/i.test(e.path)) ?? entries[0];
  const folder = fileFolder(model.path);
  const files: Files = {};
  for (const e of entries) {
    if (e === model) continue;
    if (folder && !e.path.startsWith(folder + "/")) continue;
    try {
      files[folder ? e.path.slice(folder.length + 1) : e.path] = new Uint8Array(await e.file.arrayBuffer());
    } catch {
      // A file beside the model that cannot be read is as good as absent.
    }
  }
  let bytes: Uint8Array | null = null;
  try {
    bytes = new Uint8Array(await model.file.arrayBuffer());
  } catch {
    bytes = null;
  }
  // The model is opened by its own name; its folder is where its textures were looked for.
  await open(bytes, model.path.slice(folder ? folder.length + 1 : 0), files).catch(() => {});
}

// What a pick or a drop gives: a list (a folder, or more than two models), two models compared,
// or one model with the files beside it.
async function openEntries(open: Open, openFolder: OpenFolder, compare: Compare, entries: Entry[], folder: boolean) {
  if (isList(entries, folder)) return openFolder(listed(entries));
  const pair = models(entries);
  if (pair.length < 2) return openFiles(open, entries);
  await openFiles(
    open,
    entries.filter((e) => e !== pair[1]),
  );
  return compare(await bytesOf(pair[1]), pair[1].path).catch(() => {});
}

function pickerEntries(input: HTMLInputElement): Entry[] {
  return Array.from(input.files ?? []).map((file) => ({ path: file.webkitRelativePath || file.name, file }));
}

async function entriesOf(entry: FileSystemEntry, out: Entry[]): Promise<void> {
  if (entry.isFile) {
    const file = await new Promise<File>((resolve, reject) => (entry as FileSystemFileEntry).file(resolve, reject));
    out.push({ path: entry.fullPath.replace(/^\//, ""), file });
  } else if (entry.isDirectory) {
    const reader = (entry as FileSystemDirectoryEntry).createReader();
    for (;;) {
      const batch = await new Promise<FileSystemEntry[]>((resolve, reject) => reader.readEntries(resolve, reject));
      if (batch.length === 0) break;
      for (const child of batch) await entriesOf(child, out);
    }
  }
}

// Opens what the pickers give and what is dropped on the page; "Compare with..." compares the
// file it picks with the open one.
export function listenForFiles(open: Open, openFolder: OpenFolder, compare: Compare): void {
  for (const id of ["file-input", "folder-input"]) {
    const input = document.getElementById(id) as HTMLInputElement;
    input.addEventListener("change", () => {
      void openEntries(open, openFolder, compare, pickerEntries(input), id === "folder-input");
      input.value = "";
    });
  }
  const other = document.getElementById("compare-input") as HTMLInputElement;
  other.addEventListener("change", () => {
    const [entry] = pickerEntries(other);
    if (entry) void bytesOf(entry).then((bytes) => compare(bytes, entry.path));
    other.value = "";
  });

  document.addEventListener("dragover", (e) => {
    e.preventDefault();
    document.body.classList.add("dragging");
  });
  document.addEventListener("dragleave", () => document.body.classList.remove("dragging"));
  document.addEventListener("drop", (e) => {
    e.preventDefault();
    document.body.classList.remove("dragging");
    const items = Array.from(e.dataTransfer?.items ?? []);
    const entries = items.map((i) => i.webkitGetAsEntry()).filter((x): x is FileSystemEntry => x !== null);
    // Where the browser gives no entries (files handed over by a script), the files themselves.
    const plain = entries.length === 0 ? Array.from(e.dataTransfer?.files ?? []) : [];
    void (async () => {
      const out: Entry[] = plain.map((file) => ({ path: file.name, file }));
      for (const entry of entries) await entriesOf(entry, out).catch(() => {});
      if (out.length === 0 && entries.length > 0) {
        await open(null, entries[0].name);
        return;
      }
      await openEntries(
        open,
        openFolder,
        compare,
        out,
        entries.some((entry) => entry.isDirectory),
      );
    })();
  });
}
