// Headless Debian chromium driven by playwright-core, with the page loaded from file:// and
// every request it makes counted. No browser is downloaded: Debian's chromium is the browser.
import { mkdtempSync, rmSync } from "node:fs";
import { createRequire } from "node:module";
import { tmpdir } from "node:os";
import { dirname, join, resolve } from "node:path";
import { fileURLToPath, pathToFileURL } from "node:url";

const here = dirname(fileURLToPath(import.meta.url));
export const sourceDir = resolve(here, "../..");
const require = createRequire(join(sourceDir, "web", "package.json"));
const { chromium } = require("playwright-core");

export const chromiumArgs = [
  "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
  "--disable-background-networking", "--disable-component-update", "--disable-sync",
  // WebGL without a GPU: the software renderer the 3D view draws with.
  "--enable-unsafe-swiftshader",
];

// Starts the browser with a fresh profile and opens the page (a path, or an http URL); `requests` collects every URL the
// page asks for other than the page itself and what it makes in memory (blob:, data:).
export async function openPage(pagePath, { width = 1280, height = 800 } = {}) {
  const profile = mkdtempSync(join(tmpdir(), "kxm-web-"));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: "/usr/bin/chromium",
    args: chromiumArgs,
    headless: true,
    viewport: { width, height },
    acceptDownloads: true,
  });
  const page = context.pages()[0] ?? (await context.newPage());
  const pageUrl = /^https?:/.test(pagePath) ? pagePath : pathToFileURL(resolve(pagePath)).href;
  const requests = [];
  const errors = [];
  const note = (url) => {
    if (url !== pageUrl && !url.startsWith("blob:") && !url.startsWith("data:")) requests.push(url);
  };
  context.on("request", (request) => note(request.url()));
  page.on("pageerror", (error) => errors.push(String(error)));
  page.on("console", (message) => {
    if (message.type() === "error") errors.push(message.text());
  });
  await page.goto(pageUrl);
  await page.waitForFunction(() => document.body.dataset.ready === "true");
  return {
    page,
    context,
    profile,
    requests,
    errors,
    async close() {
      await context.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}

// Opens bytes in the page through window.kxmViewer.
export async function openBytes(page, bytes, name, files = {}) {
  const encoded = Object.fromEntries(Object.entries(files).map(([k, v]) => [k, Buffer.from(v).toString("base64")]));
  return page.evaluate(
    async ({ data, name, files }) => {
      const decode = (b64) => Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
      const extra = Object.fromEntries(Object.entries(files).map(([k, v]) => [k, decode(v)]));
      return window.kxmViewer.open(decode(data), name, extra);
    },
    { data: Buffer.from(bytes).toString("base64"), name, files: encoded },
  );
}
