// What kxm check finds in the open file, a line a finding; a click on one (or Enter) selects
// its chunk.
// Messages and paths come from the file, so they go in as text.
import type { FindingsJson } from "./protocol";

export class FindingsView {
  // As `kxm check --json` gives them; null when nothing was checked.
  findings: FindingsJson | null = null;
  onPick: (offset: number | null) => void = () => {};

  constructor(
    private readonly list: HTMLUListElement,
    private readonly title: HTMLElement,
  ) {}

  show(shown: FindingsJson | undefined): void {
    this.findings = shown ?? null;
    const items: HTMLElement[] = [];
    for (const f of shown?.messages ?? []) {
      const li = document.createElement("li");
      li.className = f.severity;
      // A button, so that the keyboard reaches each finding and Enter follows it.
      const follow = document.createElement("button");
      follow.type = "button";
      const at = f.offset === null ? "" : "0x" + f.offset.toString(16).toUpperCase().padStart(8, "0") + ": ";
      const where = f.path.length
        ? " in " + f.path.map((c) => c.name + (c.objectName !== undefined ? ' "' + c.objectName + '"' : "")).join(" > ")
        : "";
      follow.textContent = `${at}${f.severity}: ${f.message} [${f.code}]${where}`;
      follow.addEventListener("click", () => this.onPick(f.chunk ? f.chunk.offset : f.offset));
      li.append(follow);
      items.push(li);
    }
    this.list.replaceChildren(...items);
    const errors = shown?.numErrors ?? 0;
    const warnings = shown?.numWarnings ?? 0;
    this.title.textContent = shown
      ? `Findings: ${errors} ${errors === 1 ? "error" : "errors"}, ${warnings} ${warnings === 1 ? "warning" : "warnings"}` +
        (shown.truncated ? ` (${errors + warnings - shown.messages.length} not listed)` : "")
      : "Findings";
  }
}

// The export's warnings as a list under the 3D view, each a button, so that the keyboard reaches
// it and Enter (or a click) follows it to the chunk it is about: its frame, mesh, animation set
// or animation. One about the whole model goes nowhere.
export class WarningsView {
  onPick: (offset: number) => void = () => {};

  constructor(private readonly list: HTMLUListElement) {}

  show(warnings: string[], chunks: (number | null)[] = []): void {
    this.list.replaceChildren(
      ...warnings.map((w, i) => {
        const li = document.createElement("li");
        const follow = document.createElement("button");
        follow.type = "button";
        follow.textContent = w;
        const chunk = chunks[i] ?? null;
        if (chunk === null) follow.setAttribute("aria-disabled", "true");
        else follow.addEventListener("click", () => this.onPick(chunk));
        li.append(follow);
        return li;
      }),
    );
    this.list.hidden = warnings.length === 0;
  }
}
