// The page: opens a file (drop, picker or window.kxmViewer.open), has the worker load it, and
// shows the tree, the status line with the viewer's texts, the explanation of a failure, the
// bytes of the selected node, what kxm check finds and the model in 3D (selection.ts,
// model_panel.ts); a folder of files, search and go to offset (workbench.ts); a second file
// compared with it (compare.ts). Every name from a file goes in as text (textContent), never as
// markup.
import { Comparison } from "./compare";
import { showExplanation } from "./explanation";
import { OpenFile } from "./file_state";
import { FindingsView } from "./findings_view";
import { HexView } from "./hex_view";
import { ModelPanel } from "./model_panel";
import { fileFolder, listenForFiles, type Files } from "./open_files";
import type { FailureJson, Reply, ViewResult } from "./protocol";
import { emptyRows, TreeRows } from "./rows";
import { SceneView } from "./scene_view";
import { Selection } from "./selection";
import { joinPath } from "./texture_folders";
import { TreeView } from "./tree_view";
import { ValuesView } from "./values_view";
import { viewerApi } from "./viewer_api";
import { ask, stopWorker } from "./worker_client";
import { Workbench } from "./workbench";

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

const file = new OpenFile();
const treeView = new TreeView($("tree"));
const hexView = new HexView($("hex"));
const valuesView = new ValuesView($("values"), $("values-title"));
const findingsView = new FindingsView($<HTMLUListElement>("findings"), $<HTMLHeadingElement>("findings-title"));
const model = new ModelPanel(new SceneView($<HTMLCanvasElement>("scene")), file, (row) => treeView.select(row));
const selection = new Selection(
  { tree: treeView, hex: hexView, scene: model.scene, values: valuesView, bytesTitle: $("bytes-title") },
  file,
);

let options: Options = { showNames: true, showValues: true, expandAll: true };
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
  if (failure.chunk) selection.selectChunk(failure.chunk.offset);
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
  const result = await load(bytes, name, files, textureFolders);
  // A file compared with another: the new one is compared with it.
  await comparison.refresh(false);
  return result;
}

async function load(
  bytes: Uint8Array | null,
  name: string,
  files: Files,
  textureFolders: string[],
): Promise<OpenResult> {
  const ticket = ++loading;
  file.name = name;
  workbench.opened(name);
  $<HTMLButtonElement>("compare-file").disabled = bytes === null;
  file.setFrames([]);
  model.clear();
  valuesView.show(null); // the last file's values are not this one's
  hexView.setFile(new Uint8Array(0));
  if (bytes === null) {
    // Nothing could be read under that name: the four empty roots, as the viewer shows them.
    file.bytes = new Uint8Array(0);
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
  file.bytes = bytes.slice();
  hexView.setFile(file.bytes);
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
  file.setFrames(result.frameRows);
  showTree(result.rows, false);
  findingsView.show(result.findings);
  setStatus(statusFor(result.outcome, name), result.outcome === "loaded" ? "" : result.explanation);
  showFailure(result.failure);
  if (result.outcome === "loaded") model.show();
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
  const relabelled = before.showNames !== options.showNames || before.showValues !== options.showValues;
  if (relabelled && file.bytes.length > 0) {
    const reply = await ask({ type: "view", showNames: options.showNames, showValues: options.showValues });
    if (reply.type === "view") showTree(reply.result.rows, true);
  }
  if (before.expandAll !== options.expandAll) {
    treeView.setAllExpanded(options.expandAll);
    comparison.setAllExpanded(options.expandAll);
  }
  if (relabelled) await comparison.refresh(true);
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

findingsView.onPick = (offset) => selection.selectChunk(offset);
model.warnings.onPick = (offset) => selection.selectChunk(offset);

const workbench = new Workbench<OpenResult>({
  open,
  rows: () => treeView.rows?.rows ?? null,
  file: () => file.bytes,
  select: (row) => treeView.select(row),
  markByte: (offset) => hexView.mark(offset),
});
selection.goToOffset = (offset) => workbench.search.goToOffset(offset);

const comparison = new Comparison({
  name: () => file.name,
  bytes: () => file.bytes,
  tree: treeView,
  options: () => options,
  goToOffset: (offset) => workbench.search.goToOffset(offset),
});
selection.onSelected = (row) => comparison.firstSelected(row);
$("compare-file").addEventListener("click", () => $("compare-input").click());
listenForFiles(
  open,
  (files) => workbench.openFolder(files),
  (bytes, name) => comparison.compareWith(bytes, name),
);

showTree(emptyRows(), false);

const api = viewerApi({
  open: (bytes, name, files) => open(bytes, name, files),
  setOptions,
  cancel,
  file,
  tree: treeView,
  hex: hexView,
  findings: findingsView,
  model,
  selection,
  workbench,
  comparison,
  lastLoad: () => lastLoad,
});
declare global {
  interface Window {
    kxmViewer: typeof api;
  }
}
window.kxmViewer = api;
document.body.dataset.ready = "true";
