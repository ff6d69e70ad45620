// Files from the picker or a drop. A folder, or several .kxm files, is a list of files: the
// page lists them and opens the first. Otherwise the first .kxm (or the first file) is the
// model, every file goes with it under its path relative to the model's folder, so that its
// textures are found. Folders dropped are read through; the page's open() does the rest.
import { isModelPath, type ListedFile } from "./folder_list";

export type Files = { [relativePath: string]: Uint8Array };
export type Open = (bytes: Uint8Array | null, name: string, files?: Files) => Promise<unknown>;
export type OpenFolder = (files: ListedFile[]) => Promise<unknown>;
type Entry = { path: string; file: File };

const listed = (entries: Entry[]): ListedFile[] =>
  entries.map((e) => ({
    path: e.path,
    read: () =>
      e.file.arrayBuffer().then(
        (b) => new Uint8Array(b),
        () => null,
      ),
  }));

// A folder, or more than one model: a list of files.
const isList = (entries: Entry[], folder: boolean) => folder || entries.filter((e) => isModelPath(e.path)).length > 1;

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

// Opens what the two pickers give and what is dropped on the page.
export function listenForFiles(open: Open, openFolder: OpenFolder): void {
  for (const id of ["file-input", "folder-input"]) {
    const input = document.getElementById(id) as HTMLInputElement;
    input.addEventListener("change", () => {
      const entries = pickerEntries(input);
      if (isList(entries, id === "folder-input")) void openFolder(listed(entries));
      else void openFiles(open, entries);
      input.value = "";
    });
  }

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
      if (
        isList(
          out,
          entries.some((entry) => entry.isDirectory),
        )
      )
        await openFolder(listed(out));
      else await openFiles(open, out);
    })();
  });
}
