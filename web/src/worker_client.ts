// The page's side of a worker: questions numbered and answered by their number. The worker is
// made on the first question and again after it was ended (a cancelled load, or a core that
// stopped), so that one stuck load never holds up the next.
import type { Reply, Request } from "./protocol";

declare const __KXM_WORKER_SOURCE__: string;

// A request before it has its number.
type Question = Request extends infer R ? (R extends unknown ? Omit<R, "id"> : never) : never;

export class WorkerClient {
  private worker: Worker | null = null;
  private nextId = 1;
  private readonly pending = new Map<number, { resolve: (r: Reply) => void; reject: (e: Error) => void }>();

  private start(): Worker {
    const url = URL.createObjectURL(new Blob([__KXM_WORKER_SOURCE__], { type: "text/javascript" }));
    const w = new Worker(url);
    URL.revokeObjectURL(url);
    w.onmessage = (event: MessageEvent<Reply>) => {
      const waiting = this.pending.get(event.data.id);
      this.pending.delete(event.data.id);
      waiting?.resolve(event.data);
    };
    // The core stopped (memory it could not have): every question open fails with that.
    w.onerror = (event) => {
      event.preventDefault();
      this.end(event.message || "the worker stopped");
    };
    return w;
  }

  ask(request: Question, transfer: Transferable[] = []): Promise<Reply> {
    if (!this.worker) this.worker = this.start();
    const id = this.nextId++;
    const w = this.worker;
    return new Promise((resolve, reject) => {
      this.pending.set(id, { resolve, reject });
      w.postMessage({ ...request, id } as Request, transfer);
    });
  }

  // Ends the worker, and every question open fails with `why`. False when there was none.
  end(why: string): boolean {
    if (!this.worker) return false;
    this.worker.terminate();
    this.worker = null;
    for (const [, waiting] of this.pending) waiting.reject(new Error(why));
    this.pending.clear();
    return true;
  }
}

// The worker that holds the open file.
const main = new WorkerClient();

export function ask(request: Question, transfer: Transferable[] = []): Promise<Reply> {
  return main.ask(request, transfer);
}

// Ends the open file's worker, and every question open fails as "cancelled".
export function stopWorker(): boolean {
  return main.end("cancelled");
}
