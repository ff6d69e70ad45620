// What the page and the worker say to each other. The worker holds the core and the file's
// bytes; the page holds the rows of the current view, taken over whole (transferred).

export interface ChunkRefJson {
  offset: number;
  code: number;
  name: string;
  objectName?: string;
}

// As `kxm dump --json` gives a failure.
export interface FailureJson {
  cause: string;
  offset: number | null;
  message: string;
  chunk: ChunkRefJson | null;
  path: ChunkRefJson[];
}

// As `kxm check --json` gives a file's issues.
export interface FindingJson {
  code: string;
  severity: "error" | "warning" | "note";
  offset: number | null;
  chunk: ChunkRefJson | null;
  path: ChunkRefJson[];
  message: string;
}

export interface FindingsJson {
  numErrors: number;
  numWarnings: number;
  truncated: boolean;
  messages: FindingJson[];
}

// One view of the file: the rows in pre-order, each array one column. A row's label runs from
// its labelStart to the next row's (labelStart has count + 1 entries). A chunk's code and
// length are the file's own bytes at its offset; a header field's bytes (the file id's
// characters, any other field's four) are in fieldBytes, row 1 first.
export interface Rows {
  count: number;
  parent: Int32Array;
  depth: Uint32Array;
  subtreeEnd: Uint32Array;
  offset: Uint32Array;
  kind: Uint8Array; // 0 root, 1 header field, 2 chunk
  labelStart: Uint32Array;
  labels: Uint8Array;
  fieldBytes: Uint32Array;
}

export interface ViewResult {
  outcome: "loaded" | "failed";
  failure: FailureJson | null;
  explanation: string;
  rows: Rows;
  // The row of frame k, which the export makes node k.
  frameRows: number[];
  findings?: FindingsJson;
  // Milliseconds the core's load took (rows made), and the worker's memory in bytes.
  loadMs: number;
  wasmBytes: number;
}

export interface ExportResult {
  ok: boolean;
  error: string;
  warnings: string[];
  // The offset of the chunk each warning is about (its frame, mesh, animation set or
  // animation), null for one about the whole model.
  warningChunks: (number | null)[];
  glb?: Uint8Array;
  // The files whose images the GLB holds, as named below the model's folder.
  images: string[];
}

// The values a data chunk holds, row after row (count rows of columns.length numbers).
export interface ValuesResult {
  title: string;
  columns: string[];
  // Whether a column holds whole numbers.
  integer: boolean[];
  rowLabels: string[];
  count: number;
  data: Float64Array;
}

// What kxm check says of one file of a folder: its outcome, its failure, its findings counted.
export interface CheckResult {
  outcome: "loaded" | "failed";
  failure: FailureJson | null;
  numErrors: number;
  numWarnings: number;
}

// Where a difference lies in one file: its node's offset (null for none) and the byte its
// bytes start at, where that is not the node's own start (an element's field, a failure).
export interface PlaceJson {
  offset: number | null;
  byte: number | null;
}

// One difference as kxm diff --json gives it (kind, path, text), with its two values and where
// it lies in the first file (a) and the second (b); null where that file has nothing of it.
export interface DifferenceJson {
  kind: string;
  path: string;
  text: string;
  from: string;
  to: string;
  a: PlaceJson | null;
  b: PlaceJson | null;
}

// A comparison as kxm diff --json gives it, and the nodes it paired by their offsets: (first,
// second) in the first file's order, and (second, first) in the second's.
export interface CompareResult {
  differences: DifferenceJson[];
  count: number;
  truncated: boolean;
  byFirst: Uint32Array;
  bySecond: Uint32Array;
}

export type Request =
  | {
      type: "open";
      id: number;
      bytes: Uint8Array;
      files: { [relativePath: string]: Uint8Array };
      modelFolder: string;
      // Folders below the files' root where textures are looked for after the model's own.
      textureFolders: string[];
      showNames: boolean;
      showValues: boolean;
    }
  | { type: "view"; id: number; showNames: boolean; showValues: boolean }
  | { type: "export"; id: number }
  // The chunk whose head is at `offset`, in the record its parent chunk (at `parentOffset`, -1
  // for none) starts.
  | { type: "values"; id: number; offset: number; parentOffset: number }
  // Loads the bytes as kxm check does and keeps nothing of them.
  | { type: "check"; id: number; bytes: Uint8Array }
  // Compares `first` with the file the worker holds, which is the second, listing at most `most`.
  | { type: "compare"; id: number; first: Uint8Array; showNames: boolean; showValues: boolean; most: number };

export type Reply =
  | { type: "view"; id: number; result: ViewResult }
  | { type: "export"; id: number; result: ExportResult }
  | { type: "values"; id: number; result: ValuesResult }
  | { type: "check"; id: number; result: CheckResult }
  | { type: "compare"; id: number; result: CompareResult }
  // The worker could not answer: `cause` "out-of-memory" when memory ran out, "worker-error"
  // for anything else.
  | { type: "error"; id: number; cause: string; message: string };
