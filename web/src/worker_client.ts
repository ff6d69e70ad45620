// The page's side of the worker: questions numbered and answered by their number. The worker is
// made on the first question and again after it was ended (a cancelled load, or a core that
// stopped), so that one stuck load never holds up the next.
import type { Reply, Request } from "./protocol";

declare const __KXM_WORKER_SOURCE__: string;

let worker: Worker | null = null;
let nextId = 1;
const pending = new Map<number, { resolve: (r: Reply) => void; reject: (e: Error) => void }>();

function startWorker(): Worker {
  const url = URL.createObjectURL(new Blob([__KXM_WORKER_SOURCE__], { type: "text/javascript" }));
  const w = new Worker(url);
  URL.revokeObjectURL(url);
  w.onmessage = (event: MessageEvent<Reply>) => {
    const waiting = pending.get(event.data.id);
    pending.delete(event.data.id);
    waiting?.resolve(event.data);
  };
  // The core stopped (memory it could not have): every question open fails with that.
  w.onerror = (event) => {
    event.preventDefault();
    const message = event.message || "the worker stopped";
    for (const [, waiting] of pending) waiting.reject(new Error(message));
    pending.clear();
    worker?.terminate();
    worker = null;
  };
  return w;
}

// A request before it has its number.
type Question = Request extends infer R ? (R extends unknown ? Omit<R, "id"> : never) : never;

export function ask(request: Question, transfer: Transferable[] = []): Promise<Reply> {
  if (!worker) worker = startWorker();
  const id = nextId++;
  const w = worker;
  return new Promise((resolve, reject) => {
    pending.set(id, { resolve, reject });
    w.postMessage({ ...request, id } as Request, transfer);
  });
}

// Ends the worker, and every question open fails as "cancelled". False when there was none.
export function stopWorker(): boolean {
  if (!worker) return false;
  worker.terminate();
  worker = null;
  for (const [, waiting] of pending) waiting.reject(new Error("cancelled"));
  pending.clear();
  return true;
}
