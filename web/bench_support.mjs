// What the browser benchmarks share: the median, the resident memory of chromium's renderer
// processes, and the JavaScript heaps of a page and its workers through the DevTools protocol.
import { readdirSync, readFileSync } from "node:fs";

export const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

export const mb = (bytes) => (bytes / 1048576).toFixed(1) + " MB";
export const ms = (v) => v.toFixed(0) + " ms";

// The resident memory of the browser's renderer processes on this profile (the page and its
// workers live in one of them): a check on the figures the page and the core give of
// themselves, which cannot count everything (compiled code, the DOM, what allocators keep).
export function rendererBytes(profile) {
  let sum = 0;
  for (const pid of readdirSync("/proc").filter((name) => /^[0-9]+$/.test(name))) {
    try {
      // Chromium rewrites its command line as one string.
      const args = readFileSync(`/proc/${pid}/cmdline`, "latin1").replaceAll("\0", " ") + " ";
      if (!args.includes(" --type=renderer ") || !args.includes(` --user-data-dir=${profile} `)) continue;
      sum += Number(/VmRSS:\s+(\d+) kB/.exec(readFileSync(`/proc/${pid}/status`, "latin1"))?.[1] ?? 0) * 1024;
    } catch {
      // It ended while we looked.
    }
  }
  return sum;
}

// Run in each worker before its own script: every WebAssembly memory its modules export is kept
// in benchMemories, so that its size can be asked for.
const watchMemories = `(() => {
  const instantiate = WebAssembly.instantiate;
  WebAssembly.instantiate = function (...args) {
    return instantiate.apply(this, args).then((made) => {
      for (const value of Object.values((made.instance ?? made).exports)) {
        if (value instanceof WebAssembly.Memory) (globalThis.benchMemories ??= []).push(value);
      }
      return made;
    });
  };
})()`;

// The page's heap and each running worker's, reached through the page's DevTools session: a
// worker's through the session the page's attaches to it (the page makes and ends workers as
// it goes: a folder's checker, a compared file's).
export async function watchHeaps(page) {
  const session = await page.context().newCDPSession(page);
  // The workers' sessions, in the order they started; an ended one leaves the list.
  const workers = [];
  const answers = new Map();
  let nextId = 1;
  // A worker that ends while asked answers nothing: null after a while.
  const inWorker = (sessionId, method, params = {}) =>
    new Promise((resolve) => {
      const id = nextId++;
      answers.set(id, (result) => resolve(result ?? null));
      setTimeout(() => answers.delete(id) && resolve(null), 10000);
      session.send("Target.sendMessageToTarget", { sessionId, message: JSON.stringify({ id, method, params }) });
    });
  // Each worker waits at its start until its WebAssembly memories are watched.
  session.on("Target.attachedToTarget", async (event) => {
    workers.push(event.sessionId);
    await inWorker(event.sessionId, "Runtime.evaluate", { expression: watchMemories });
    await inWorker(event.sessionId, "Runtime.runIfWaitingForDebugger");
  });
  session.on("Target.detachedFromTarget", (event) => {
    const at = workers.indexOf(event.sessionId);
    if (at >= 0) workers.splice(at, 1);
  });
  session.on("Target.receivedMessageFromTarget", (event) => {
    const message = JSON.parse(event.message);
    answers.get(message.id)?.(message.result);
    answers.delete(message.id);
  });
  await session.send("Target.setAutoAttach", { autoAttach: true, waitForDebuggerOnStart: true, flatten: false });
  // The bytes of every WebAssembly memory the worker's core made.
  async function wasmBytes(sessionId) {
    const expression = "(globalThis.benchMemories ?? []).reduce((n, m) => n + m.buffer.byteLength, 0)";
    const sum = await inWorker(sessionId, "Runtime.evaluate", { expression, returnByValue: true });
    return sum?.result?.value ?? 0;
  }
  return {
    workers: () => [...workers],
    // Every heap collected, then what each holds: the page's objects and its arrays' bytes; a
    // worker's objects and arrays' bytes together, and its WebAssembly memory, by its session.
    async held() {
      const running = [...workers];
      await session.send("HeapProfiler.collectGarbage");
      for (const w of running) await inWorker(w, "HeapProfiler.collectGarbage");
      const pageHeap = await session.send("Runtime.getHeapUsage");
      const worker = new Map();
      const wasm = new Map();
      for (const w of running) {
        const heap = await inWorker(w, "Runtime.getHeapUsage");
        if (heap) worker.set(w, heap.usedSize + heap.backingStorageSize);
        wasm.set(w, await wasmBytes(w));
      }
      return { page: pageHeap.usedSize, pageArrays: pageHeap.backingStorageSize, worker, wasm };
    },
  };
}
