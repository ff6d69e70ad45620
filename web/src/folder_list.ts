// A folder as a list of files: every .kxm in it, in the order kxm's folder walk gives (by path,
// byte by byte), each with what kxm check says of it. A second worker checks them one after
// another in the background, and ends when all are checked; the list keeps their states, never
// their trees.
import type { CheckResult } from "./protocol";
import { WorkerClient } from "./worker_client";

// A file of the folder and how to have its bytes (null: it cannot be read).
export interface ListedFile {
  path: string;
  read: () => Promise<Uint8Array | null>;
}

export type FileState =
  | { kind: "checking" }
  | { kind: "loaded"; numErrors: number; numWarnings: number }
  | { kind: "failed"; cause: string; offset: number | null; message: string; numErrors: number; numWarnings: number };

// As kxm's walk takes a name: ".kxm" in any case after a name of at least one character.
export function isModelPath(path: string): boolean {
  const name = path.slice(path.lastIndexOf("/") + 1);
  return name.length > 4 && name.slice(-4).toLowerCase() === ".kxm";
}

const utf8 = new TextEncoder();

// Byte order of the paths' UTF-8, as std::string's operator< orders them.
export function byteOrder(a: string, b: string): number {
  const x = utf8.encode(a);
  const y = utf8.encode(b);
  const n = Math.min(x.length, y.length);
  for (let i = 0; i < n; ++i) if (x[i] !== y[i]) return x[i] - y[i];
  return x.length - y.length;
}

const hex8 = (n: number) => "0x" + n.toString(16).toUpperCase().padStart(8, "0");

// A row's state in words, as kxm check's summary gives it.
export function stateText(state: FileState): string {
  if (state.kind === "checking") return "checking\u2026";
  if (state.kind === "failed") {
    return `failed: ${state.cause}` + (state.offset === null ? "" : ` at ${hex8(state.offset)}`);
  }
  const parts: string[] = [];
  if (state.numErrors > 0) parts.push(`${state.numErrors} ${state.numErrors === 1 ? "error" : "errors"}`);
  if (state.numWarnings > 0) parts.push(`${state.numWarnings} ${state.numWarnings === 1 ? "warning" : "warnings"}`);
  return parts.length === 0 ? "loaded" : `loaded with ${parts.join(", ")}`;
}

export class FolderList {
  files: ListedFile[] = [];
  states: FileState[] = [];
  // Every file that came with the folder, .kxm or not, by path: where textures are found.
  others: ListedFile[] = [];
  // Whether a folder was opened, with .kxm files or without.
  opened = false;
  onChange: () => void = () => {};
  private readonly checker = new WorkerClient();
  private generation = 0;
  private checking: Promise<void> = Promise.resolve();

  // Lists the .kxm files among `all` and starts checking them.
  set(all: ListedFile[]): void {
    ++this.generation;
    this.opened = true;
    this.checker.end("replaced");
    this.files = all.filter((f) => isModelPath(f.path)).sort((a, b) => byteOrder(a.path, b.path));
    this.others = all.filter((f) => !isModelPath(f.path));
    this.states = this.files.map(() => ({ kind: "checking" }));
    this.checking = this.checkAll(this.generation);
    this.onChange();
  }

  // Settles once every file of the list has its state.
  checked(): Promise<void> {
    return this.checking;
  }

  private async checkAll(generation: number): Promise<void> {
    for (let i = 0; i < this.files.length; ++i) {
      const state = await this.checkOne(this.files[i]);
      if (generation !== this.generation) return;
      this.states[i] = state;
      this.onChange();
    }
    // Every file checked: the worker goes with its core's memory (16 MB at the least), which
    // nothing needs until another folder, which starts a worker of its own anyway.
    this.checker.end("checked");
  }

  private async checkOne(file: ListedFile): Promise<FileState> {
    const bytes = await file.read();
    const failed = (cause: string, message: string): FileState => ({
      kind: "failed",
      cause,
      offset: null,
      message,
      numErrors: 1,
      numWarnings: 0,
    });
    if (bytes === null) return failed("read-error", "the file cannot be read");
    let result: CheckResult;
    try {
      const reply = await this.checker.ask({ type: "check", bytes }, [bytes.buffer]);
      if (reply.type === "error") return failed(reply.cause, reply.message);
      if (reply.type !== "check") throw new Error("unexpected reply");
      result = reply.result;
    } catch (error) {
      // The checker stopped on this file (memory it could not have); the next file starts anew.
      return failed("out-of-memory", String((error as Error).message));
    }
    if (result.outcome === "failed" && result.failure) {
      const f = result.failure;
      const { numErrors, numWarnings } = result;
      return { kind: "failed", cause: f.cause, offset: f.offset, message: f.message, numErrors, numWarnings };
    }
    return { kind: "loaded", numErrors: result.numErrors, numWarnings: result.numWarnings };
  }
}
