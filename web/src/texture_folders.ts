// The dropped folders that hold images, offered as texture folders: a model opened from the
// list looks for its textures beside itself, then in each folder checked here, in this order
// (as kxm export does with --texture-dir). Folders named like "textures" are checked at first.
import { byteOrder, type ListedFile } from "./folder_list";

// The images the export may take.
export const IMAGE = /\.(dds|png|tga|bmp|jpe?g)$/i;

const folderOf = (path: string) => path.slice(0, Math.max(0, path.lastIndexOf("/")));

// `path` as seen from `folder` (both below one root), with ".." where it climbs.
export function relativeTo(folder: string, path: string): string {
  const from = folder ? folder.split("/") : [];
  const to = path.split("/");
  let same = 0;
  while (same < from.length && same < to.length - 1 && from[same] === to[same]) ++same;
  return [...from.slice(same).map(() => ".."), ...to.slice(same)].join("/");
}

// `relative` from `folder`, its ".." resolved; never above the root.
export function joinPath(folder: string, relative: string): string {
  const parts = folder ? folder.split("/") : [];
  for (const part of relative.split("/")) {
    if (part === "..") parts.pop();
    else if (part !== "." && part !== "") parts.push(part);
  }
  return parts.join("/");
}

export class TextureFolders {
  folders: string[] = [];
  readonly chosen = new Set<string>();
  onChange: () => void = () => {};

  constructor(private readonly box: HTMLElement) {}

  // The folders of the dropped files that hold images.
  set(files: ListedFile[]): void {
    const folders = new Set(files.filter((f) => IMAGE.test(f.path)).map((f) => folderOf(f.path)));
    this.folders = [...folders].sort(byteOrder);
    this.chosen.clear();
    for (const f of this.folders) if (/textures?$/i.test(f.slice(f.lastIndexOf("/") + 1))) this.chosen.add(f);
    this.render();
  }

  // The chosen folders in the order shown.
  get ordered(): string[] {
    return this.folders.filter((f) => this.chosen.has(f));
  }

  choose(folder: string, on: boolean): void {
    if (on) this.chosen.add(folder);
    else this.chosen.delete(folder);
    this.render();
    this.onChange();
  }

  private render(): void {
    this.box.hidden = this.folders.length === 0;
    const items = this.folders.map((folder) => {
      const label = document.createElement("label");
      const box = document.createElement("input");
      box.type = "checkbox";
      box.checked = this.chosen.has(folder);
      box.addEventListener("change", () => this.choose(folder, box.checked));
      label.append(box, " " + (folder || "(the dropped files)"));
      return label;
    });
    const title = document.createElement("span");
    title.textContent = "Texture folders:";
    this.box.replaceChildren(title, ...items);
  }
}
