// The worker: the core compiled to WebAssembly, the file's bytes and every load. The page asks,
// the worker answers with whole arrays handed over, so the page never waits on a load and can
// end one by ending the worker.
import type {
  CheckResult,
  CompareResult,
  ExportResult,
  Reply,
  Request,
  Rows,
  ValuesResult,
  ViewResult,
} from "./protocol";
import { LABEL_BLOCK, preOrder, type ToldBlock } from "./row_order";

interface CoreModule {
  HEAPU8: Uint8Array;
  FS: {
    mkdirTree(path: string): void;
    writeFile(path: string, data: Uint8Array): void;
    readFile(path: string): Uint8Array;
    readdir(path: string): string[];
    isDir(mode: number): boolean;
    stat(path: string): { mode: number };
    unlink(path: string): void;
    rmdir(path: string): void;
  };
  UTF8ToString(pointer: number): string;
  _kxm_file_buffer(size: number): number;
  _kxm_view(showNames: number, showValues: number, check: number): number;
  _kxm_block_rows(): number;
  _kxm_row_blocks(): number;
  _kxm_label_block_bytes(): number;
  _kxm_row_column(block: number, which: number): number;
  _kxm_label_blocks(): number;
  _kxm_label_block(i: number): number;
  _kxm_view_array(which: number): number;
  _kxm_view_release(): void;
  _kxm_export(folder: number, textureFolders: number): number;
  _kxm_glb_data(): number;
  _kxm_glb_size(): number;
  _kxm_values(offset: number, parentOffset: number): number;
  _kxm_values_data(): number;
  _kxm_first_buffer(size: number): number;
  _kxm_compare(showNames: number, showValues: number, most: number): number;
  _kxm_compare_pairs(): number;
  stringToNewUTF8?(text: string): number;
  _malloc(size: number): number;
  _free(pointer: number): void;
}

declare const KxmCore: () => Promise<CoreModule>;

// The core's pointers and sizes are 32-bit and unsigned, but come back as signed numbers: a
// memory past 2 GiB would give negative addresses.
const unsigned = (value: number) => value >>> 0;

declare const self: DedicatedWorkerGlobalScope;

const core: Promise<CoreModule> = KxmCore();
let modelFolder = "/files";
let textureFolders: string[] = [];

function view(m: CoreModule, showNames: boolean, showValues: boolean, check: boolean): ViewResult {
  const started = performance.now();
  const text = unsigned(m._kxm_view(showNames ? 1 : 0, showValues ? 1 : 0, check ? 1 : 0));
  const loadMs = performance.now() - started;
  const json = JSON.parse(m.UTF8ToString(text));
  const count: number = json.rows;
  // The core's blocks, read in place: nothing calls into the core (which could grow its
  // memory) until the rows are made.
  const heap = m.HEAPU8.buffer;
  const blockRows = m._kxm_block_rows();
  if (m._kxm_row_blocks() !== Math.ceil(count / blockRows) || m._kxm_label_block_bytes() !== LABEL_BLOCK) {
    throw new Error("the core's blocks are not the worker's");
  }
  const blocks: ToldBlock[] = [];
  for (let b = 0, left = count; left > 0; ++b, left -= blockRows) {
    const rows = Math.min(left, blockRows);
    blocks.push({
      parent: new Int32Array(heap, unsigned(m._kxm_row_column(b, 0)), rows),
      offset: new Uint32Array(heap, unsigned(m._kxm_row_column(b, 1)), rows),
      labelStart: new Uint32Array(heap, unsigned(m._kxm_row_column(b, 2)), rows),
      labelLength: new Uint32Array(heap, unsigned(m._kxm_row_column(b, 3)), rows),
      kind: new Uint8Array(heap, unsigned(m._kxm_row_column(b, 4)), rows),
    });
  }
  const labelBlocks: Uint8Array[] = [];
  for (let i = 0, n = m._kxm_label_blocks(); i < n; ++i) {
    labelBlocks.push(new Uint8Array(heap, unsigned(m._kxm_label_block(i)), LABEL_BLOCK));
  }
  const numbers = (which: number, n: number) => new Uint32Array(heap, unsigned(m._kxm_view_array(which)), n);
  const ordered = preOrder(
    count,
    blockRows,
    blocks,
    labelBlocks,
    numbers(1, 2 * json.fieldBytes),
    numbers(0, json.frameRows),
  );
  m._kxm_view_release();
  return {
    outcome: json.outcome,
    failure: json.failure,
    explanation: json.explanation,
    rows: ordered.rows,
    frameRows: ordered.frameRows,
    findings: json.findings,
    loadMs,
    wasmBytes: m.HEAPU8.length,
  };
}

// One file of a folder, checked: the rows the core made go again at once.
function check(m: CoreModule, bytes: Uint8Array): CheckResult {
  const pointer = unsigned(m._kxm_file_buffer(bytes.length));
  if (pointer === 0) throw new RangeError(`no memory left for the file's ${bytes.length} bytes`);
  m.HEAPU8.set(bytes, pointer);
  const json = JSON.parse(m.UTF8ToString(unsigned(m._kxm_view(1, 1, 1))));
  m._kxm_view_release();
  m._kxm_file_buffer(0);
  return {
    outcome: json.outcome,
    failure: json.failure,
    numErrors: json.findings?.numErrors ?? 0,
    numWarnings: json.findings?.numWarnings ?? 0,
  };
}

function transferables(rows: Rows): Transferable[] {
  return [
    rows.parent,
    rows.depth,
    rows.subtreeEnd,
    rows.offset,
    rows.kind,
    rows.labelStart,
    rows.labels,
    rows.fieldBytes,
  ].map((a) => a.buffer);
}

function valuesOf(m: CoreModule, offset: number, parentOffset: number): ValuesResult {
  const json = JSON.parse(m.UTF8ToString(unsigned(m._kxm_values(offset, parentOffset))));
  const count: number = json.count;
  const width = count > 0 ? json.columns.length : 0;
  const start = unsigned(m._kxm_values_data());
  const data = new Float64Array(m.HEAPU8.buffer.slice(start, start + count * width * 8));
  const columns: string[] = json.columns ?? [];
  const integer: boolean[] = json.integer ?? columns.map(() => false);
  return { title: json.title ?? "", columns, integer, rowLabels: json.rowLabels ?? [], count, data };
}

// The first file compared with the one held, by kxm diff's pairing in the core.
function compare(
  m: CoreModule,
  first: Uint8Array,
  showNames: boolean,
  showValues: boolean,
  most: number,
): CompareResult {
  const pointer = unsigned(m._kxm_first_buffer(first.length));
  if (pointer === 0 && first.length > 0) throw new RangeError(`no memory left for the file's ${first.length} bytes`);
  if (first.length > 0) m.HEAPU8.set(first, pointer);
  const json = JSON.parse(m.UTF8ToString(unsigned(m._kxm_compare(showNames ? 1 : 0, showValues ? 1 : 0, most))));
  if (json.error) throw new RangeError(json.error);
  const n: number = json.pairs;
  const start = unsigned(m._kxm_compare_pairs());
  const pairs = new Uint32Array(m.HEAPU8.buffer.slice(start, start + 16 * n));
  return {
    differences: json.differences,
    count: json.count,
    truncated: json.truncated,
    byFirst: pairs.subarray(0, 2 * n),
    bySecond: pairs.subarray(2 * n),
  };
}

// A copy of `text` in the core's memory, which the caller frees. No room for it is a RangeError,
// as for every other allocation the worker cannot have.
function cString(m: CoreModule, text: string): number {
  const bytes = new TextEncoder().encode(text);
  const pointer = unsigned(m._malloc(bytes.length + 1));
  if (pointer === 0) throw new RangeError(`no memory left for the ${bytes.length + 1} bytes of a path`);
  m.HEAPU8.set(bytes, pointer);
  m.HEAPU8[pointer + bytes.length] = 0;
  return pointer;
}

function exportModel(m: CoreModule): ExportResult {
  const folder = cString(m, modelFolder);
  let folders = 0;
  let result: ExportResult;
  try {
    folders = cString(m, textureFolders.join("\n"));
    result = JSON.parse(m.UTF8ToString(unsigned(m._kxm_export(folder, folders))));
  } finally {
    // An export that throws (the core out of memory) must not keep the paths for good.
    m._free(folder);
    if (folders) m._free(folders);
  }
  if (!result.ok) return result;
  const start = unsigned(m._kxm_glb_data());
  result.glb = m.HEAPU8.slice(start, start + unsigned(m._kxm_glb_size()));
  return result;
}

// The files that came with the model go under /files, kept in their folders, so that the
// export finds a texture where it would find it beside the model on disk.
function removeTree(m: CoreModule, path: string): void {
  for (const name of m.FS.readdir(path)) {
    if (name === "." || name === "..") continue;
    const child = path + "/" + name;
    if (m.FS.isDir(m.FS.stat(child).mode)) removeTree(m, child);
    else m.FS.unlink(child);
  }
  m.FS.rmdir(path);
}

function putFiles(m: CoreModule, files: { [relativePath: string]: Uint8Array }, folder: string): void {
  // Only this model's files: those of the model before are gone.
  try {
    removeTree(m, "/files");
  } catch {
    // There was none.
  }
  m.FS.mkdirTree("/files");
  // A file that cannot be put where its path says (a folder of its name is there, or the path
  // names no file) is left out: it only costs the model a texture, never the load.
  const put = (place: () => void) => {
    try {
      place();
    } catch (error) {
      if (error instanceof RangeError) throw error;
    }
  };
  for (const [relativePath, bytes] of Object.entries(files)) {
    const parts = ("/files/" + relativePath).split("/").filter((p) => p !== "" && p !== "." && p !== "..");
    const path = "/" + parts.join("/");
    put(() => {
      m.FS.mkdirTree(path.slice(0, path.lastIndexOf("/")) || "/");
      m.FS.writeFile(path, bytes);
    });
  }
  modelFolder = "/files" + (folder ? "/" + folder : "");
  put(() => m.FS.mkdirTree(modelFolder));
}

self.onmessage = async (event: MessageEvent<Request>) => {
  const request = event.data;
  const m = await core;
  let reply: Reply;
  let transfer: Transferable[] = [];
  try {
    if (request.type === "open") {
      const pointer = unsigned(m._kxm_file_buffer(request.bytes.length));
      if (pointer === 0) throw new RangeError(`no memory left for the file's ${request.bytes.length} bytes`);
      m.HEAPU8.set(request.bytes, pointer);
      putFiles(m, request.files, request.modelFolder);
      textureFolders = request.textureFolders.map((f) => "/files/" + f);
      const result = view(m, request.showNames, request.showValues, true);
      reply = { type: "view", id: request.id, result };
      transfer = transferables(result.rows);
    } else if (request.type === "view") {
      const result = view(m, request.showNames, request.showValues, false);
      reply = { type: "view", id: request.id, result };
      transfer = transferables(result.rows);
    } else if (request.type === "check") {
      reply = { type: "check", id: request.id, result: check(m, request.bytes) };
    } else if (request.type === "compare") {
      const result = compare(m, request.first, request.showNames, request.showValues, request.most);
      reply = { type: "compare", id: request.id, result };
      transfer = [result.byFirst.buffer];
    } else if (request.type === "values") {
      const result = valuesOf(m, request.offset, request.parentOffset);
      reply = { type: "values", id: request.id, result };
      transfer = [result.data.buffer];
    } else {
      const result = exportModel(m);
      reply = { type: "export", id: request.id, result };
      if (result.glb) transfer = [result.glb.buffer];
    }
  } catch (error) {
    // Arrays the worker could not have, or a file the core had no room for, throw RangeError.
    const memory = error instanceof RangeError;
    reply = {
      type: "error",
      id: request.id,
      cause: memory ? "out-of-memory" : "worker-error",
      message: memory ? error.message : String(error),
    };
  }
  self.postMessage(reply, transfer);
};
