// Every outcome of a load as the viewer's Load command shows it: the status line's texts, the
// explanation of a failure (cause, offset, chunk path) as kxm gives it, the tree read before
// the failure; a hostile name shown as the characters it is; a file that exhausts a load limit
// failing in the worker while the page goes on; a load that can be cancelled.
import assert from "node:assert/strict";
import { copyFileSync, mkdirSync, mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { createServer } from "node:http";
import { dirname, join } from "node:path";
import { after, describe, test } from "node:test";
import { openBytes, openPage } from "./browser.mjs";
import { pageSession } from "./session.mjs";
import { casePath, nativeDump, nativeDumpJson, nativeDumpStderr, read, samplePath, viewerHtml } from "./support.mjs";

// The page's own errors are the worker's that these files make on purpose.
const dialogs = [];
const browser = pageSession({
  errors: false,
  setUp: async (page) => {
    page.on("dialog", (dialog) => {
      dialogs.push(dialog.message());
      void dialog.dismiss();
    });
    await page.evaluate(() => window.kxmViewer.setOptions({ showNames: true, showValues: true, expandAll: true }));
  },
});
after(() => assert.deepEqual(dialogs, [], "no script of a file ran"));

const statusLine = () => browser.page.$eval("#status", (e) => e.textContent);
const explanationLine = () => browser.page.$eval("#explanation", (e) => e.textContent);
const treeText = () => browser.page.evaluate(() => window.kxmViewer.treeText());

describe("outcomes", () => {
  test("a file that fails part-way: its status, its explanation and the nodes read before", async () => {
    const path = casePath("cut.kxm");
    const result = await openBytes(browser.page, read(path), "cut.kxm");
    const native = nativeDumpJson(path);
    assert.equal(native.outcome, "failed");
    assert.deepEqual(result, { outcome: "failed", status: 'Error reading: "cut.kxm"', failure: native.failure });
    assert.equal(result.failure.cause, "count-exceeds-file");
    assert.equal(await statusLine(), 'Error reading: "cut.kxm"');
    // kxm-dump's second line on stderr is "kxm-dump: cut.kxm: " and the explanation.
    const stderr = nativeDumpStderr(path).split("\n");
    assert.equal(stderr[0], 'Error reading: "cut.kxm"');
    assert.equal("kxm-dump: cut.kxm: " + (await explanationLine()), stderr[1]);
    assert.match(await explanationLine(), /^count-exceeds-file at 0x00000091 in Frame ROOT "Scene" > Frame MESH > Mesh Index Data \(chunk at 0x00000089\): /);
    assert.equal(await treeText(), nativeDump(path).stdout);
  });

  test("a success after a failure says Ready. again and clears the explanation", async () => {
    await openBytes(browser.page, read(casePath("cut.kxm")), "cut.kxm");
    const result = await openBytes(browser.page, read(samplePath), "sample.kxm");
    assert.equal(result.status, "Ready.");
    assert.equal(await statusLine(), "Ready.");
    assert.equal(await explanationLine(), "");
  });

  test("a file that cannot be had: the four empty roots and the missing file's text", async () => {
    const result = await browser.page.evaluate(() => window.kxmViewer.open(null, "Untitled.kxm"));
    assert.equal(result.outcome, "missing");
    assert.equal(result.status, 'File doesn\'t exist: "Untitled.kxm"');
    assert.equal(result.failure.cause, "file-not-found");
    assert.equal(await statusLine(), 'File doesn\'t exist: "Untitled.kxm"');
    assert.equal(await treeText(), "FileHeader\nFrames\nAnimationSets\nCustomData\n");
  });

  test("an empty file and a bad header fail with the four empty roots", async () => {
    for (const [bytes, cause] of [[new Uint8Array(0), "truncated"], [Buffer.from("\x08\x00\x00\x00NOTAKXM!\x01\x00\x00\x00"), "bad-header"]]) {
      const result = await openBytes(browser.page, bytes, "bad.kxm");
      assert.equal(result.outcome, "failed");
      assert.equal(result.failure.cause, cause);
      assert.equal(await treeText(), "FileHeader\nFrames\nAnimationSets\nCustomData\n");
    }
  });
});

describe("hostile files", () => {
  test("a frame named as markup shows as those characters, escaped as kxm-dump escapes", async () => {
    const path = casePath("hostile-name.kxm");
    const result = await openBytes(browser.page, read(path), "<b>hostile</b>.kxm");
    assert.equal(result.outcome, "loaded");
    assert.equal(await treeText(), nativeDump(path).stdout);
    const labels = await browser.page.$$eval("#tree .label", (items) => items.map((i) => i.textContent));
    assert.ok(labels.includes('Frame ROOT: "<img src=x onerror=alert(1)>"'));
    assert.ok(labels.includes('Frame Name: ""quoted" & \\\\back\\\\ \\x01\\xe9"'));
    assert.equal(await browser.page.$$eval("img, b", (e) => e.length), 0, "no element came from a name");
    await openBytes(browser.page, Buffer.from([1, 2]), "<img src=x onerror=alert(1)>.kxm");
    assert.equal(await statusLine(), 'Error reading: "<img src=x onerror=alert(1)>.kxm"');
    assert.equal(await browser.page.$$eval("img", (e) => e.length), 0);
  });

  test("a file that exhausts the chunk limit fails with its cause in the worker; the page goes on", async () => {
    const path = casePath("chain.kxm");
    const result = await openBytes(browser.page, read(path), "chain.kxm");
    assert.equal(result.outcome, "failed");
    assert.equal(result.failure.cause, "chunk-limit");
    assert.deepEqual(result.failure, nativeDumpJson(path).failure);
    assert.match(await explanationLine(), /^chunk-limit at /);
    const again = await openBytes(browser.page, read(samplePath), "sample.kxm");
    assert.equal(again.status, "Ready.");
  });

  test("nesting 3,000 levels deep: the whole tree, its deepest row on screen, End", async () => {
    const { page } = browser;
    const path = casePath("deep.kxm");
    const result = await openBytes(page, read(path), "deep.kxm");
    assert.equal(result.outcome, nativeDumpJson(path).outcome);
    const expected = nativeDump(path).stdout;
    assert.equal(await treeText(), expected);
    const lines = expected.split("\n").filter((l) => l !== "");
    const depths = lines.map((l) => (l.length - l.trimStart().length) / 2);
    const deepest = Math.max(...depths);
    assert.ok(deepest > 3000, `${deepest} levels`);
    const row = depths.indexOf(deepest);
    await page.evaluate((r) => window.kxmViewer.selectRow(r), row);
    assert.equal(await page.$eval("#tree [aria-selected=true]", (e) => e.getAttribute("aria-level")), String(deepest + 1));
    assert.equal(await page.$eval("#tree [aria-selected=true] .label", (e) => e.textContent), lines[row].trimStart());
    await page.focus("#tree");
    await page.keyboard.press("End");
    assert.equal(await page.$eval("#tree [aria-selected=true] .label", (e) => e.textContent), "CustomData");
  });

  test("a load can be cancelled, and the next one runs in a new worker", async () => {
    const { page } = browser;
    const outcome = await page.evaluate(async (data) => {
      const bytes = Uint8Array.from(atob(data), (c) => c.charCodeAt(0));
      const pending = window.kxmViewer.open(bytes, "sample.kxm").then(() => "finished", (e) => String(e.message));
      window.kxmViewer.cancel();
      return pending;
    }, read(samplePath).toString("base64"));
    assert.equal(outcome, "cancelled");
    assert.equal(await page.$eval("#busy", (e) => e.hidden), true);
    const result = await openBytes(page, read(samplePath), "sample.kxm");
    assert.equal(result.status, "Ready.");
  });
});

describe("opening files as a person does", () => {
  test("the file picker, with the model's texture beside it", async () => {
    const { page } = browser;
    await openBytes(page, read(casePath("cut.kxm")), "cut.kxm");
    await page.setInputFiles("#file-input", [samplePath, join(dirname(samplePath), "wood.png")]);
    await page.waitForFunction(() => document.getElementById("status").textContent === "Ready.");
    await page.evaluate(() => window.kxmViewer.sceneReady());
    assert.deepEqual(await page.evaluate(() => window.kxmViewer.textures()), ["wood.png"]);
  });

  test("Open folder: the model found in the folder, its texture beside it", async () => {
    const { page } = browser;
    const folder = mkdtempSync(join(tmpdir(), "kxm-folder-"));
    try {
      mkdirSync(join(folder, "lamp"));
      copyFileSync(samplePath, join(folder, "lamp", "desk lamp.kxm"));
      copyFileSync(join(dirname(samplePath), "wood.png"), join(folder, "lamp", "wood.png"));
      await openBytes(page, read(casePath("cut.kxm")), "cut.kxm");
      await page.setInputFiles("#folder-input", join(folder, "lamp"));
      await page.waitForFunction(() => document.getElementById("status").textContent === "Ready.");
      await page.evaluate(() => window.kxmViewer.sceneReady());
      assert.deepEqual(await page.evaluate(() => window.kxmViewer.textures()), ["wood.png"]);
    } finally {
      rmSync(folder, { recursive: true, force: true });
    }
  });

  test("a drop of a model and its texture", async () => {
    const { page } = browser;
    await openBytes(page, read(casePath("cut.kxm")), "cut.kxm");
    await page.evaluate(([model, texture]) => {
      const decode = (b64) => Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
      const transfer = new DataTransfer();
      transfer.items.add(new File([decode(model)], "lamp.kxm"));
      transfer.items.add(new File([decode(texture)], "wood.png"));
      document.getElementById("tree").dispatchEvent(new DragEvent("drop", { dataTransfer: transfer, bubbles: true, cancelable: true }));
    }, [read(samplePath).toString("base64"), read(join(dirname(samplePath), "wood.png")).toString("base64")]);
    await page.waitForFunction(() => document.getElementById("status").textContent === "Ready.");
    await page.evaluate(() => window.kxmViewer.sceneReady());
    assert.deepEqual(await page.evaluate(() => window.kxmViewer.textures()), ["wood.png"]);
    assert.equal(await page.evaluate(() => window.kxmViewer.treeText()), nativeDump(samplePath).stdout);
  });

  test("the page served by a static server works as from file:// and asks for nothing else", async () => {
    const server = createServer((request, response) => {
      served.push(request.url);
      if (request.url === "/kxm-viewer.html") {
        response.writeHead(200, { "content-type": "text/html" });
        response.end(readFileSync(viewerHtml));
      } else {
        response.writeHead(404);
        response.end();
      }
    });
    const served = [];
    await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
    const served0 = await openPage(`http://127.0.0.1:${server.address().port}/kxm-viewer.html`);
    try {
      const result = await openBytes(served0.page, read(samplePath), "sample.kxm", { "wood.png": read(join(dirname(samplePath), "wood.png")) });
      assert.equal(result.status, "Ready.");
      await served0.page.evaluate(() => window.kxmViewer.sceneReady());
      assert.equal(await served0.page.evaluate(() => window.kxmViewer.treeText()), nativeDump(samplePath).stdout);
      assert.deepEqual(served0.requests, []);
      assert.deepEqual(served, ["/kxm-viewer.html"]);
    } finally {
      await served0.close();
      server.close();
    }
  });
});
