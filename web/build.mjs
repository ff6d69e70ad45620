// Puts the viewer into one HTML file: checks the TypeScript with tsc, bundles the worker (after
// the core's glue, which carries the WebAssembly module inline) and the page with esbuild, and
// inlines both with the styles into index.html. Nothing in the result is fetched.
//
//   node web/build.mjs --core build/web/web/kxm-core.js --out build/web/kxm-viewer.html
import { execFileSync } from "node:child_process";
import { readFileSync, writeFileSync } from "node:fs";
import { createRequire } from "node:module";
import { dirname, join } from "node:path";
import { fileURLToPath } from "node:url";
import { parseArgs } from "node:util";

const here = dirname(fileURLToPath(import.meta.url));
const require = createRequire(join(here, "package.json"));
const { values } = parseArgs({ options: { core: { type: "string" }, out: { type: "string" } } });
if (!values.core || !values.out) {
  console.error("usage: node build.mjs --core kxm-core.js --out kxm-viewer.html");
  process.exit(2);
}

let esbuild;
try {
  esbuild = require("esbuild");
} catch {
  console.error("build.mjs: the npm packages are missing; run scripts/setup web (npm ci in web/)");
  process.exit(1);
}

execFileSync(process.execPath, [require.resolve("typescript/bin/tsc"), "-p", join(here, "tsconfig.json")], {
  stdio: "inherit",
});

const bundle = async (entry, define = {}) => {
  const result = await esbuild.build({
    entryPoints: [join(here, "src", entry)],
    bundle: true,
    format: "iife",
    target: "es2022",
    minify: true,
    legalComments: "none",
    write: false,
    define,
  });
  return result.outputFiles[0].text;
};

const core = readFileSync(values.core, "utf8");
const worker = core + "\n" + (await bundle("worker.ts"));
const page = await bundle("main.ts", { __KXM_WORKER_SOURCE__: JSON.stringify(worker) });
// Inside a <script> element "</script" would end it, and "<!--" would change how it is read.
const inline = page.replace(/<\/(script)/gi, "<\\/$1").replace(/<!--/g, "<\\!--");
if (/<\/script/i.test(inline)) throw new Error("the script still holds </script");
const css = readFileSync(join(here, "viewer.css"), "utf8");
const html = readFileSync(join(here, "index.html"), "utf8")
  .replace("<!--STYLE-->", () => `<style>\n${css}</style>`)
  .replace("<!--SCRIPT-->", () => `<script>\n${inline}\n</script>`);
writeFileSync(values.out, html);
console.log(`wrote ${values.out} (${Math.round(html.length / 1024)} KiB)`);
