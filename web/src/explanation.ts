// The explanation of a failure under the status line, with its offset ("at 0x00000091") as a
// link that goes to that byte.
export function showExplanation(box: HTMLElement, text: string, goTo: (offset: number) => void): void {
  const match = / at (0x[0-9A-F]{8})/.exec(text);
  if (!match) {
    box.textContent = text;
    return;
  }
  const at = match.index + 4;
  const link = document.createElement("a");
  link.href = "#";
  link.className = "offset-link";
  link.textContent = match[1];
  link.title = "Go to this byte";
  link.addEventListener("click", (e) => {
    e.preventDefault();
    goTo(parseInt(match[1], 16));
  });
  box.replaceChildren(text.slice(0, at), link, text.slice(at + match[1].length));
}
