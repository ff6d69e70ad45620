// The differences of two files, a line each as kxm diff writes it ("PATH: TEXT"), each a button
// that the keyboard reaches and Enter (or a click) goes to; the one gone to is marked, and its
// two values are shown, each beside its file's name. Paths and values come from the files, so
// they go in as text.
import type { DifferenceJson } from "./protocol";

export class DifferencesView {
  onPick: (index: number) => void = () => {};
  private items: HTMLLIElement[] = [];

  constructor(
    private readonly list: HTMLUListElement,
    private readonly title: HTMLElement,
    private readonly values: HTMLElement,
  ) {}

  show(differences: DifferenceJson[], count: number): void {
    this.items = differences.map((d, k) => {
      const li = document.createElement("li");
      li.className = d.kind;
      const go = document.createElement("button");
      go.type = "button";
      go.textContent = d.path === "" ? d.text : `${d.path}: ${d.text}`;
      go.addEventListener("click", () => this.onPick(k));
      li.append(go);
      return li;
    });
    this.list.replaceChildren(...this.items);
    const unlisted = count - differences.length;
    this.title.textContent =
      count === 0
        ? "Differences: the files hold the same"
        : `Differences: ${count}` + (unlisted > 0 ? ` (${unlisted} not listed)` : "");
    this.values.replaceChildren();
  }

  // Marks the difference gone to, scrolls it into view and shows its values in both files.
  setCurrent(index: number, d: DifferenceJson, firstName: string, secondName: string): void {
    this.items.forEach((li, k) => {
      if (k === index) li.setAttribute("aria-current", "true");
      else li.removeAttribute("aria-current");
    });
    this.items[index]?.scrollIntoView({ block: "nearest" });
    const line = (name: string, text: string) => {
      const div = document.createElement("div");
      const file = document.createElement("span");
      file.className = "file";
      file.textContent = name + ": ";
      div.append(file, text);
      return div;
    };
    if (d.from !== "" || d.to !== "") this.values.replaceChildren(line(firstName, d.from), line(secondName, d.to));
    else this.values.replaceChildren(line(d.kind, d.text));
  }
}
