// The workbench in chromium: the folder list (also from the real folder picker), search, go to
// offset and the keys (workbench_cases.mjs), and axe-core's report on the page with a file open.
import assert from "node:assert/strict";
import { createRequire } from "node:module";
import { readFileSync } from "node:fs";
import { join } from "node:path";
import { after, before, describe, test } from "node:test";
import { openBytes, openPage, sourceDir } from "./browser.mjs";
import { casePath, read, samplePath, viewerHtml } from "./support.mjs";
import { failureCases, folderCases, keyboardCases, nativeFolderStates, searchCases } from "./workbench_cases.mjs";

let browser;
before(async () => {
  browser = await openPage(viewerHtml);
});
after(async () => {
  assert.deepEqual(browser.requests, [], "no request leaves the page");
  assert.deepEqual(browser.errors, []);
  await browser.close();
});

describe("a folder as a list of files", () => {
  folderCases(() => browser.page);

  test("Open folder lists what the picker gives, as kxm check walks the folder", async () => {
    const { page } = browser;
    await page.setInputFiles("#folder-input", casePath("game"));
    await page.waitForFunction(() => document.getElementById("open-path").textContent === "game/Lamp.KXM");
    const states = await page.evaluate(() => window.kxmViewer.folder());
    assert.deepEqual(states.map((s) => s.path), nativeFolderStates("game").map((d) => d.file));
  });
});

describe("search and go to offset", () => {
  searchCases(() => browser.page);
  failureCases(() => browser.page);
});

describe("the keyboard", () => {
  keyboardCases(() => browser.page);

  test("Ctrl+O opens the file picker", async () => {
    const { page } = browser;
    await page.focus("#tree");
    const [chooser] = await Promise.all([page.waitForEvent("filechooser"), page.keyboard.press("Control+o")]);
    assert.equal(chooser.isMultiple(), true);
  });
});

describe("axe-core", () => {
  test("reports no serious or critical violation with a file open", async () => {
    const { page } = browser;
    const require = createRequire(join(sourceDir, "web", "package.json"));
    await openBytes(page, read(samplePath), "sample.kxm");
    await page.evaluate(readFileSync(require.resolve("axe-core/axe.min.js"), "utf8"));
    const violations = await page.evaluate(async () => {
      const result = await window.axe.run(document, { resultTypes: ["violations"] });
      return result.violations
        .filter((v) => v.impact === "serious" || v.impact === "critical")
        .map((v) => `${v.id} (${v.impact}): ${v.nodes.map((n) => n.target.join(" ")).join(", ")}`);
    });
    assert.deepEqual(violations, []);
  });
});
