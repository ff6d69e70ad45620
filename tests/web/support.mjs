// What every browser test shares: where the page, the sample and the test files are (CTest
// says it in the environment), and what the native kxm says of a file.
import { spawnSync } from "node:child_process";
import { existsSync, readFileSync } from "node:fs";
import { basename, dirname, join } from "node:path";

function required(name) {
  const value = process.env[name];
  if (!value) throw new Error(`${name} is not set; run the browser tests through ctest --preset web`);
  return value;
}

export const viewerHtml = required("KXM_VIEWER_HTML");
export const samplePath = required("KXM_SAMPLE");
export const casesDir = required("KXM_CASES");
export const nativeKxm = required("KXM_NATIVE");
if (!existsSync(nativeKxm)) {
  throw new Error(`${nativeKxm} is missing: the browser tests compare with a native kxm (cmake --build --preset gcc --target kxm)`);
}
export const goldenDir = required("KXM_GOLDEN");

export const casePath = (name) => join(casesDir, name);
export const read = (path) => readFileSync(path);
export const sampleTexture = () => readFileSync(join(samplePath, "..", "wood.png"));

// The four option settings and the golden dump of the sample under each.
export const settings = [
  { showNames: true, showValues: true, golden: "sample.dump" },
  { showNames: false, showValues: true, golden: "sample.no-names.dump" },
  { showNames: true, showValues: false, golden: "sample.no-values.dump" },
  { showNames: false, showValues: false, golden: "sample.no-names.no-values.dump" },
];
export const golden = (name) => readFileSync(join(goldenDir, name), "latin1");

// `kxm dump` of a file (run in its folder, so names are the file's own): the tree as text, and
// the JSON document.
export function nativeDump(path, args = []) {
  const run = spawnSync(nativeKxm, ["dump", ...args, basename(path)], { cwd: join(path, ".."), encoding: "latin1", maxBuffer: 1 << 30 });
  return { stdout: run.stdout, stderr: run.stderr, status: run.status };
}

// kxm-dump's stderr: the status line's text, then "kxm-dump: FILE: " and the explanation.
export function nativeDumpStderr(path) {
  const run = spawnSync(join(dirname(nativeKxm), "kxm-dump"), [basename(path)], { cwd: join(path, ".."), encoding: "latin1" });
  return run.stderr;
}

export function nativeCheckJson(path) {
  const run = spawnSync(nativeKxm, ["check", "--json", basename(path)], { cwd: join(path, ".."), encoding: "utf8", maxBuffer: 1 << 30 });
  return JSON.parse(run.stdout)[0];
}

export function nativeDumpJson(path) {
  const run = spawnSync(nativeKxm, ["dump", "--json", basename(path)], { cwd: join(path, ".."), encoding: "utf8", maxBuffer: 1 << 30 });
  return JSON.parse(run.stdout);
}
