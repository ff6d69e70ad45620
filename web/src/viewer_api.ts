// window.kxmViewer: the page as scripts and tests see it (the README's table says each member).
import type { Comparison, CompareOutcome } from "./compare";
import type { OpenFile } from "./file_state";
import type { FindingsView } from "./findings_view";
import type { HexView } from "./hex_view";
import type { OpenResult, Options } from "./main";
import type { ModelPanel } from "./model_panel";
import type { Files } from "./open_files";
import type { FindingsJson } from "./protocol";
import type { Selection } from "./selection";
import type { TreeView } from "./tree_view";
import type { Workbench } from "./workbench";

export interface ViewerParts {
  open(bytes: Uint8Array | null, name: string, files?: Files): Promise<OpenResult>;
  setOptions(next: Partial<Options>): Promise<void>;
  cancel(): void;
  file: OpenFile;
  tree: TreeView;
  hex: HexView;
  findings: FindingsView;
  model: ModelPanel;
  selection: Selection;
  workbench: Workbench<OpenResult>;
  comparison: Comparison;
  lastLoad(): { loadMs: number; wasmBytes: number };
}

export function viewerApi(p: ViewerParts) {
  const { file, tree: treeView, model, comparison } = p;
  return {
    open: p.open,
    setOptions: p.setOptions,
    cancel: p.cancel,
    treeText: (): string => treeView.rows?.text() ?? "",
    // What kxm check finds in the open file, as `kxm check --json` gives a file's issues.
    findings: (): FindingsJson | null => p.findings.findings,
    // Settles when the 3D view shows the last file opened (or has said why it cannot).
    sceneReady: (): Promise<void> => model.ready,
    // Stops the animation at this time, in seconds.
    seek: (time: number) => model.seek(time),
    animation: () => ({
      playing: model.scene.isPlaying,
      time: model.scene.time,
      duration: model.scene.animationDuration,
    }),
    selectedRow: () => treeView.selectedRow,
    selectRow: (row: number) => treeView.select(row),
    // Counts the rows whose labels hold `text` and selects the first: {count, rows}.
    ...p.workbench.api(),
    markedByte: (): number => p.hex.markedByte,
    // Settles when the values pane shows the selected row's values (or that it has none).
    valuesReady: (): Promise<void> => p.selection.valuesDone,
    // Bytes the page holds in arrays: the file, the rows and their layout, the GLB.
    heldBytes: (): number => {
      const tree = treeView.rows;
      let bytes = file.bytes.byteLength + (model.exported?.glb?.byteLength ?? 0);
      if (tree) {
        const r = tree.rows;
        for (const a of [r.parent, r.depth, r.subtreeEnd, r.offset, r.kind, r.labelStart, r.labels, r.fieldBytes])
          bytes += a.byteLength;
        bytes += tree.expanded.byteLength + tree.visible.buffer.byteLength;
      }
      return bytes;
    },
    // The last load in the worker: the core's milliseconds and the worker's WebAssembly memory.
    lastLoad: p.lastLoad,
    glb: (): Uint8Array | null => model.exported?.glb ?? null,
    // The files whose images the 3D view shows (the GLB holds them).
    textures: (): string[] => model.exported?.images ?? [],
    // Compares the open file with these bytes as the file `name`, as kxm diff compares them.
    compareWith: (bytes: Uint8Array | null, name: string): Promise<CompareOutcome> =>
      comparison.compareWith(bytes, name),
    // The differences listed, as kxm diff --json gives them: {differences, count, truncated}.
    differences: () => comparison.differences(),
    goToDifference: (k: number) => comparison.goTo(k),
    nextDifference: () => comparison.step(1),
    previousDifference: () => comparison.step(-1),
    otherTreeText: () => comparison.otherText(),
    otherSelectedRow: () => (comparison.comparing ? comparison.other.selectedRow : -1),
    closeComparison: () => comparison.close(),
  };
}
