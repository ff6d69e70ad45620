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
const puppeteer = require("puppeteer-core");

export const chromiumArgs = [
  "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
  "--disable-background-networking", "--disable-component-update", "--disable-sync",
  // WebGL without a GPU: the software renderer the 3D view draws with.
  "--enable-unsafe-swiftshader",
];

// Loads the page, watching what it asks for and what it reports: `requests` collects every URL
// other than the page itself and what it makes in memory (blob:, data:), `errors` the page's
// uncaught errors and console errors. `requester` is what sends the request events (playwright's
// context, whose events include the worker's; puppeteer's page).
async function load(page, requester, pageUrl) {
  const requests = [];
  const errors = [];
  requester.on("request", (request) => {
    const url = request.url();
    if (url !== pageUrl && !url.startsWith("blob:") && !url.startsWith("data:")) requests.push(url);
  });
  page.on("pageerror", (error) => errors.push(String(error)));
  page.on("console", (message) => {
    if (message.type() === "error") errors.push(message.text());
  });
  await page.goto(pageUrl);
  await page.waitForFunction(() => document.body.dataset.ready === "true");
  return { requests, errors };
}

// Starts chromium with a fresh profile and opens the page (a path, or an http URL).
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
  const { requests, errors } = await load(page, context, pageUrl);
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

// Debian's Firefox ESR driven over WebDriver BiDi by puppeteer-core, in a window on the X display
// the test runs under (xvfb-run: headless Firefox has no WebGL here), with the page loaded from
// file://. Returns what openPage returns; the page answers the calls that both drivers share.
export async function openFirefoxPage(pagePath, { width = 1280, height = 800 } = {}) {
  const profile = mkdtempSync(join(tmpdir(), "kxm-web-firefox-"));
  const browser = await puppeteer.launch({
    browser: "firefox",
    executablePath: "/usr/bin/firefox-esr",
    headless: false,
    userDataDir: profile,
    defaultViewport: { width, height },
    // No updates, telemetry or start pages: nothing but the page may ask the network.
    extraPrefsFirefox: { "app.update.enabled": false, "network.captive-portal-service.enabled": false },
  });
  const page = await browser.newPage();
  const { requests, errors } = await load(page, page, pathToFileURL(resolve(pagePath)).href);
  return {
    page,
    profile,
    requests,
    errors,
    async close() {
      await browser.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}

// The 3D view's canvas: its pixels that are not the background, counted and hashed, and the
// one nearest the lower middle.
export const drawn = (page) =>
  page.evaluate(async () => {
    // What was drawn shows in the canvas once a frame has been presented.
    await new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve)));
    const canvas = document.getElementById("scene");
    const copy = document.createElement("canvas");
    copy.width = canvas.width;
    copy.height = canvas.height;
    const context = copy.getContext("2d");
    context.drawImage(canvas, 0, 0);
    const { data } = context.getImageData(0, 0, copy.width, copy.height);
    let count = 0;
    let hash = 0;
    let nearest = null;
    for (let y = 0; y < copy.height; ++y) {
      for (let x = 0; x < copy.width; ++x) {
        const i = 4 * (y * copy.width + x);
        hash = (hash * 31 + data[i] + 7 * data[i + 1] + 13 * data[i + 2]) | 0;
        if (Math.abs(data[i] - 0x2b) + Math.abs(data[i + 1] - 0x30) + Math.abs(data[i + 2] - 0x36) < 12) continue;
        ++count;
        const d = Math.hypot(x - copy.width / 2, y - copy.height * 0.7);
        if (!nearest || d < nearest.d) nearest = { x, y, d };
      }
    }
    const rect = canvas.getBoundingClientRect();
    return { count, hash, total: copy.width * copy.height, nearest, scale: rect.width / copy.width, left: rect.left, top: rect.top };
  });

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
