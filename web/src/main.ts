// The page: opens a file (drop, picker or window.kxmViewer.open), has the worker load it, and
// shows the tree, the status line with the viewer's texts, the explanation of a failure, the
// bytes of the selected node, what kxm check finds and the model in 3D. Every name from a file
// goes in as text (textContent), never as markup.
import type { ExportResult, FailureJson, FindingsJson, Reply, ViewResult } from "./protocol";
import { emptyRows, TreeRows } from "./rows";
import { showWarnings } from "./findings_view";
import { TreeView } from "./tree_view";
import { HexView } from "./hex_view";
import { SceneView } from "./scene_view";
import { ValuesView } from "./values_view";
import { FindingsView } from "./findings_view";
import { fileFolder, listenForFiles, type Files } from "./open_files";
import { ask, stopWorker } from "./worker_client";
import { Workbench } from "./workbench";
import { showExplanation } from "./explanation";
import { extentOf, payloadLength } from "./search";
import { joinPath } from "./texture_folders";

export interface OpenResult {
  outcome: "loaded" | "failed" | "missing";
  status: string;
  failure: FailureJson | null;
}

export interface Options {
  showNames: boolean;
  showValues: boolean;
  expandAll: boolean;
}

const $ = <T extends HTMLElement>(id: string) => document.getElementById(id) as T;

const statusLine = $<HTMLDivElement>("status");
const explanation = $<HTMLDivElement>("explanation");
const showNamesBox = $<HTMLInputElement>("show-names");
const showValuesBox = $<HTMLInputElement>("show-values");
const expandAllBox = $<HTMLInputElement>("expand-all");
const busy = $<HTMLSpanElement>("busy");
const bytesTitle = $<HTMLHeadingElement>("bytes-title");
const playButton = $<HTMLButtonElement>("play");
const timeSlider = $<HTMLInputElement>("time");
const timeText = $<HTMLSpanElement>("time-text");
const downloadButton = $<HTMLButtonElement>("download");
const sceneNote = $<HTMLSpanElement>("scene-note");

const treeView = new TreeView($("tree"));
const hexView = new HexView($("hex"));
const sceneView = new SceneView($<HTMLCanvasElement>("scene"));
const valuesView = new ValuesView($("values"), $("values-title"));
const findingsView = new FindingsView($<HTMLUListElement>("findings"), $<HTMLHeadingElement>("findings-title"));

// What the page holds of the open file.
let fileName = "";
let fileBytes: Uint8Array = new Uint8Array(0);
let frameRows: number[] = [];
// Frame k's row, and back: a model may have a hundred thousand frames nested as deep.
let frameOfRow = new Map<number, number>();
let exported: ExportResult | null = null;
let options: Options = { showNames: true, showValues: true, expandAll: true };
let sceneDone: Promise<void> = Promise.resolve();
let lastLoad = { loadMs: 0, wasmBytes: 0 };
let loading = 0;

function setStatus(text: string, why: string): void {
  statusLine.textContent = text;
  showExplanation(explanation, why, (offset) => workbench.search.goToOffset(offset));
}

// A failed load: the deepest chunk read is selected (else the node that holds the failing
// byte, if any) and the failing byte marked.
function showFailure(failure: FailureJson | null): void {
  if (!failure) return;
  if (failure.chunk) selectChunk(failure.chunk.offset);
  else if (failure.offset !== null) workbench.search.goToOffset(failure.offset);
  if (failure.offset !== null) hexView.mark(failure.offset);
}

function showTree(result: ViewResult["rows"], keep: boolean): void {
  const previous = keep ? treeView.rows : null;
  const tree = new TreeRows(result, previous && previous.count === result.count ? previous.expanded : undefined);
  if (!previous || previous.count !== result.count) tree.setAll(options.expandAll);
  treeView.show(tree, keep);
  document.body.dataset.rows = String(result.count);
  workbench.search.refresh();
}

// Selects the chunk row whose head is at `offset`.
function selectChunk(offset: number | null): void {
  const tree = treeView.rows;
  if (!tree || offset === null) return;
  for (let row = 0; row < tree.count; ++row) {
    if (tree.rows.kind[row] === 2 && tree.rows.offset[row] === offset) {
      treeView.select(row);
      return;
    }
  }
}

// Set while a byte picked in the hex pane selects its node: the pane stays where it is.
let pickedInHex = false;

function onSelect(row: number): void {
  const tree = treeView.rows;
  if (!tree) return;
  const r = tree.rows;
  const extent = extentOf(r, fileBytes, row);
  const parent = extentOf(r, fileBytes, r.parent[row]);
  if (r.kind[row] === 2) {
    const length = payloadLength(fileBytes, r.offset[row]);
    bytesTitle.textContent = `Bytes of ${tree.label(row)}: head at 0x${r.offset[row].toString(16).toUpperCase().padStart(8, "0")}, ${length} bytes of payload`;
  } else {
    bytesTitle.textContent = r.kind[row] === 1 ? `Bytes of ${tree.label(row)}` : "Bytes";
  }
  hexView.show({ ...extent, parentStart: parent.start, parentEnd: parent.end }, !pickedInHex);
  sceneView.highlight(frameNodeOf(row));
  valuesDone = showValues(row);
}

// The values of a data chunk, when the worker has them; a later selection wins.
let valuesTicket = 0;
async function showValues(row: number): Promise<void> {
  const ticket = ++valuesTicket;
  valuesView.show(null);
  const r = treeView.rows?.rows;
  if (!r || r.kind[row] !== 2 || fileBytes.length === 0) return;
  const parent = r.parent[row];
  const parentOffset = parent >= 0 && r.kind[parent] === 2 ? r.offset[parent] : -1;
  const reply = await ask({ type: "values", offset: r.offset[row], parentOffset }).catch(() => null);
  if (reply?.type === "values" && ticket === valuesTicket) valuesView.show(reply.result);
}
let valuesDone: Promise<void> = Promise.resolve();

// The export's node for a frame row, or for a row inside a frame (its mesh, say).
function frameNodeOf(row: number): number | null {
  const tree = treeView.rows;
  for (let r = row; tree && r >= 0; r = tree.rows.parent[r]) {
    const frame = frameOfRow.get(r);
    if (frame !== undefined) return frame;
  }
  return null;
}

treeView.onSelect = onSelect;
// A row of values: its bytes, where the chunk's payload holds the rows at one size each.
valuesView.onPick = (k) => {
  const r = treeView.rows?.rows;
  const count = valuesView.count;
  if (!r || treeView.selectedRow < 0 || count === 0) return;
  const { headEnd, end } = extentOf(r, fileBytes, treeView.selectedRow);
  const size = (end - headEnd) / count;
  if (Number.isInteger(size) && size > 0) hexView.markRange(headEnd + k * size, headEnd + (k + 1) * size);
};
hexView.onPick = (offset) => {
  pickedInHex = true;
  try {
    workbench.search.goToOffset(offset);
  } finally {
    pickedInHex = false;
  }
};
findingsView.onPick = selectChunk;
sceneView.onPick = (frame) => {
  if (frame >= 0 && frame < frameRows.length) treeView.select(frameRows[frame]);
};
sceneView.onTime = (time, duration) => {
  timeSlider.value = String(duration > 0 ? time / duration : 0);
  timeText.textContent = `${time.toFixed(2)} / ${duration.toFixed(2)} s`;
};

async function showModel(): Promise<void> {
  exported = null;
  sceneView.clear();
  showWarnings([]);
  playButton.disabled = timeSlider.disabled = downloadButton.disabled = true;
  timeText.textContent = "";
  sceneNote.textContent = sceneView.error;
  const reply = await ask({ type: "export" });
  if (reply.type !== "export") return;
  exported = reply.result;
  if (!exported.ok || !exported.glb) {
    sceneNote.textContent = exported.error;
    return;
  }
  downloadButton.disabled = false;
  const warnings = exported.warnings.length;
  sceneNote.textContent = warnings === 0 ? "" : `${warnings} export ${warnings === 1 ? "warning" : "warnings"}`;
  sceneNote.title = exported.warnings.join("\n");
  showWarnings(exported.warnings);
  sceneView.frames = frameRows.length;
  await sceneView.show(exported.glb);
  const animated = sceneView.animationDuration > 0;
  playButton.disabled = timeSlider.disabled = !animated;
  playButton.textContent = sceneView.isPlaying ? "Pause" : "Play";
}

// The outcome texts of the viewer's Load command.
function statusFor(outcome: OpenResult["outcome"], name: string): string {
  if (outcome === "loaded") return "Ready.";
  if (outcome === "missing") return `File doesn't exist: "${name}"`;
  return `Error reading: "${name}"`;
}

async function open(
  bytes: Uint8Array | null,
  name: string,
  files: Files = {},
  textureFolders: string[] = [],
): Promise<OpenResult> {
  const ticket = ++loading;
  fileName = name;
  workbench.opened(name);
  frameRows = [];
  frameOfRow = new Map();
  sceneView.clear();
  hexView.setFile(new Uint8Array(0));
  if (bytes === null) {
    // Nothing could be read under that name: the four empty roots, as the viewer shows them.
    fileBytes = new Uint8Array(0);
    const failure: FailureJson = {
      cause: "file-not-found",
      offset: null,
      message: "No such file or directory",
      chunk: null,
      path: [],
    };
    showTree(emptyRows(), false);
    findingsView.show(undefined);
    setStatus(statusFor("missing", name), "file-not-found: No such file or directory");
    return { outcome: "missing", status: statusLine.textContent ?? "", failure };
  }
  fileBytes = bytes.slice();
  hexView.setFile(fileBytes);
  $("busy-name").textContent = name;
  busy.hidden = false;
  let reply: Reply;
  try {
    // The worker's copy is handed over, not copied again on the way.
    const forWorker = bytes.slice();
    // The files beside the model go where they lie below the model's folder.
    const folder = fileFolder(name);
    const placed = Object.fromEntries(Object.entries(files).map(([k, v]) => [joinPath(folder, k), v]));
    reply = await ask(
      {
        type: "open",
        bytes: forWorker,
        files: placed,
        modelFolder: folder,
        textureFolders,
        showNames: options.showNames,
        showValues: options.showValues,
      },
      [forWorker.buffer],
    );
  } catch (error) {
    if ((error as Error).message === "cancelled") throw error;
    // The worker itself failed: memory it could not have. The page goes on.
    return failedInWorker(name, "out-of-memory", String((error as Error).message));
  } finally {
    if (ticket === loading) busy.hidden = true;
  }
  if (reply.type === "error") return failedInWorker(name, reply.cause, reply.message);
  if (reply.type !== "view") throw new Error("unexpected reply");
  const result = reply.result;
  lastLoad = { loadMs: result.loadMs, wasmBytes: result.wasmBytes };
  frameRows = result.frameRows;
  frameOfRow = new Map(frameRows.map((r, k) => [r, k]));
  showTree(result.rows, false);
  findingsView.show(result.findings);
  setStatus(statusFor(result.outcome, name), result.outcome === "loaded" ? "" : result.explanation);
  showFailure(result.failure);
  if (result.outcome === "loaded")
    sceneDone = showModel().catch((e) => {
      sceneNote.textContent = String(e);
    });
  return { outcome: result.outcome, status: statusLine.textContent ?? "", failure: result.failure };
}

// A load the worker could not make: the four empty roots, and why.
function failedInWorker(name: string, cause: string, message: string): OpenResult {
  const failure: FailureJson = { cause, offset: null, message, chunk: null, path: [] };
  showTree(emptyRows(), false);
  findingsView.show(undefined);
  setStatus(statusFor("failed", name), `${cause}: ${message}`);
  return { outcome: "failed", status: statusLine.textContent ?? "", failure };
}

// A load that runs too long ends with its worker; the page keeps what it showed before.
function cancel(): void {
  if (!stopWorker()) return;
  busy.hidden = true;
}

async function setOptions(next: Partial<Options>): Promise<void> {
  const before = options;
  options = { ...options, ...next };
  showNamesBox.checked = options.showNames;
  showValuesBox.checked = options.showValues;
  expandAllBox.checked = options.expandAll;
  if ((before.showNames !== options.showNames || before.showValues !== options.showValues) && fileBytes.length > 0) {
    const reply = await ask({ type: "view", showNames: options.showNames, showValues: options.showValues });
    if (reply.type === "view") showTree(reply.result.rows, true);
  }
  if (before.expandAll !== options.expandAll) treeView.setAllExpanded(options.expandAll);
  treeView.render();
}

for (const box of [showNamesBox, showValuesBox, expandAllBox]) {
  box.addEventListener("change", () => {
    void setOptions({
      showNames: showNamesBox.checked,
      showValues: showValuesBox.checked,
      expandAll: expandAllBox.checked,
    });
  });
}
$("cancel").addEventListener("click", cancel);
playButton.addEventListener("click", () => {
  sceneView.setPlaying(!sceneView.isPlaying);
  playButton.textContent = sceneView.isPlaying ? "Pause" : "Play";
});
timeSlider.addEventListener("input", () => {
  sceneView.setPlaying(false);
  playButton.textContent = "Play";
  sceneView.seek(Number(timeSlider.value) * sceneView.animationDuration);
});
$<HTMLInputElement>("wireframe").addEventListener("change", (e) =>
  sceneView.setWireframe((e.target as HTMLInputElement).checked),
);
downloadButton.addEventListener("click", () => {
  if (exported?.glb)
    sceneView.download(exported.glb, (fileName.split("/").pop() ?? "model").replace(/\.kxm$/i, "") + ".glb");
});

const workbench = new Workbench<OpenResult>({
  open,
  rows: () => treeView.rows?.rows ?? null,
  file: () => fileBytes,
  select: (row) => treeView.select(row),
  markByte: (offset) => hexView.mark(offset),
});
listenForFiles(open, (files) => workbench.openFolder(files));

showTree(emptyRows(), false);

// For scripts and tests: the page as a program sees it.
const api = {
  open: (bytes: Uint8Array | null, name: string, files?: Files) => open(bytes, name, files),
  setOptions,
  cancel,
  treeText: (): string => treeView.rows?.text() ?? "",
  // What kxm check finds in the open file, as `kxm check --json` gives a file's issues.
  findings: (): FindingsJson | null => findingsView.findings,
  // Settles when the 3D view shows the last file opened (or has said why it cannot).
  sceneReady: (): Promise<void> => sceneDone,
  // Stops the animation at this time, in seconds.
  seek: (time: number) => {
    sceneView.setPlaying(false);
    playButton.textContent = "Play";
    sceneView.seek(time);
  },
  animation: () => ({ playing: sceneView.isPlaying, time: sceneView.time, duration: sceneView.animationDuration }),
  selectedRow: () => treeView.selectedRow,
  selectRow: (row: number) => treeView.select(row),
  // Counts the rows whose labels hold `text` and selects the first: {count, rows}.
  ...workbench.api(),
  markedByte: (): number => hexView.markedByte,
  // Settles when the values pane shows the selected row's values (or that it has none).
  valuesReady: (): Promise<void> => valuesDone,
  // Bytes the page holds in arrays: the file, the rows and their layout, the GLB.
  heldBytes: (): number => {
    const tree = treeView.rows;
    let bytes = fileBytes.byteLength + (exported?.glb?.byteLength ?? 0);
    if (tree) {
      const r = tree.rows;
      for (const a of [r.parent, r.depth, r.subtreeEnd, r.offset, r.kind, r.labelStart, r.labels, r.fieldBytes])
        bytes += a.byteLength;
      bytes += tree.expanded.byteLength + tree.visible.buffer.byteLength;
    }
    return bytes;
  },
  // The last load in the worker: the core's milliseconds and the worker's WebAssembly memory.
  lastLoad: () => lastLoad,
  glb: (): Uint8Array | null => exported?.glb ?? null,
  // The files whose images the 3D view shows (the GLB holds them).
  textures: (): string[] => exported?.images ?? [],
};
declare global {
  interface Window {
    kxmViewer: typeof api;
  }
}
window.kxmViewer = api;
document.body.dataset.ready = "true";
