// A bar between two panes that resizes the first: dragged with the mouse, or moved with the
// arrow keys (16 pixels a press, Home and End to the limits) when it has the focus. The size is
// a CSS variable on the grid that holds both panes.
const STEP = 16;

export function splitter(bar: HTMLElement, grid: HTMLElement, variable: string, pane: HTMLElement, min = 120): void {
  const vertical = bar.getAttribute("aria-orientation") === "vertical";
  const extent = () => (vertical ? grid.clientWidth : grid.clientHeight);
  const current = () => (vertical ? pane.getBoundingClientRect().width : pane.getBoundingClientRect().height);
  const set = (pixels: number) => {
    const size = Math.round(Math.max(min, Math.min(extent() - min, pixels)));
    grid.style.setProperty(variable, size + "px");
    bar.setAttribute("aria-valuenow", String(Math.round((100 * size) / Math.max(1, extent()))));
  };
  bar.setAttribute("aria-valuemin", "0");
  bar.setAttribute("aria-valuemax", "100");
  bar.addEventListener("pointerdown", (e) => {
    e.preventDefault();
    bar.setPointerCapture(e.pointerId);
    const start = vertical ? e.clientX : e.clientY;
    const from = current();
    const move = (m: PointerEvent) => set(from + (vertical ? m.clientX : m.clientY) - start);
    const up = () => {
      bar.removeEventListener("pointermove", move);
      bar.removeEventListener("pointerup", up);
    };
    bar.addEventListener("pointermove", move);
    bar.addEventListener("pointerup", up);
  });
  bar.addEventListener("keydown", (e) => {
    const less = vertical ? "ArrowLeft" : "ArrowUp";
    const more = vertical ? "ArrowRight" : "ArrowDown";
    if (e.key === less) set(current() - STEP);
    else if (e.key === more) set(current() + STEP);
    else if (e.key === "Home") set(min);
    else if (e.key === "End") set(extent());
    else return;
    e.preventDefault();
  });
}
