// The workbench in chromium: the folder list (also from the real folder picker), search, go to
// offset and the keys (workbench_cases.mjs), two files compared (compare_cases.mjs, and through
// the real picker), and axe-core's report on the page with a file open and with two compared.
import assert from "node:assert/strict";
import { createRequire } from "node:module";
import { readFileSync } from "node:fs";
import { join } from "node:path";
import { describe, test } from "node:test";
import { openBytes, sourceDir } from "./browser.mjs";
import { compareCases } from "./compare_cases.mjs";
import { pageSession } from "./session.mjs";
import { casePath, read, samplePath } from "./support.mjs";
import { failureCases, folderCases, keyboardCases, nativeFolderStates, searchCases } from "./workbench_cases.mjs";

const browser = pageSession();

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

// What `act` opens of the browser's file chooser: {mode}, or null. The chooser is handed to the
// test only once the browser has said it will be, so the keys come after that: playwright's
// waitForEvent("filechooser") asks for it without waiting, and a key pressed before the browser
// heard it opened a chooser that no one was told of (3 presses of 200 in a loop).
async function chooserOpenedBy(act) {
  const { page, context } = browser;
  const cdp = await context.newCDPSession(page);
  try {
    await cdp.send("Page.enable");
    await cdp.send("Page.setInterceptFileChooserDialog", { enabled: true });
    const opened = new Promise((resolve) => cdp.once("Page.fileChooserOpened", resolve));
    await act(page);
    return await Promise.race([opened, new Promise((resolve) => setTimeout(() => resolve(null), 30000))]);
  } finally {
    await cdp.send("Page.setInterceptFileChooserDialog", { enabled: false });
    await cdp.detach();
  }
}

describe("the keyboard", () => {
  keyboardCases(() => browser.page);

  test("Ctrl+O opens the file picker", async () => {
    const opened = await chooserOpenedBy(async (page) => {
      await page.focus("#tree");
      await page.keyboard.press("Control+o");
    });
    assert.equal(opened?.mode, "selectMultiple");
  });
});

describe("two files compared", () => {
  compareCases(() => browser.page);

  test("Compare with... is a button that picks the second file", async () => {
    const { page } = browser;
    await openBytes(page, read(casePath("knight.kxm")), "knight.kxm");
    const opened = await chooserOpenedBy(async (p) => {
      await p.focus("#compare-file");
      await p.keyboard.press("Enter");
    });
    assert.equal(opened?.mode, "selectSingle");
    await page.setInputFiles("#compare-input", casePath("knight-inserted.kxm"));
    await page.waitForFunction(() => window.kxmViewer.differences()?.count === 1);
    assert.equal(await page.$eval("#compare-title", (e) => e.textContent), "knight-inserted.kxm: Ready.");
  });
});

describe("axe-core", () => {
  const violations = async (page) => {
    const require = createRequire(join(sourceDir, "web", "package.json"));
    await page.evaluate(readFileSync(require.resolve("axe-core/axe.min.js"), "utf8"));
    return page.evaluate(async () => {
      const result = await window.axe.run(document, { resultTypes: ["violations"] });
      return result.violations
        .filter((v) => v.impact === "serious" || v.impact === "critical")
        .map((v) => `${v.id} (${v.impact}): ${v.nodes.map((n) => n.target.join(" ")).join(", ")}`);
    });
  };

  test("reports no serious or critical violation with a file open", async () => {
    const { page } = browser;
    await page.evaluate(() => window.kxmViewer.closeComparison());
    await openBytes(page, read(samplePath), "sample.kxm");
    assert.deepEqual(await violations(page), []);
  });

  test("nor with two files compared and a difference gone to", async () => {
    const { page } = browser;
    await openBytes(page, read(casePath("knight.kxm")), "knight.kxm");
    await page.setInputFiles("#compare-input", casePath("knight-changed.kxm"));
    await page.waitForFunction(() => window.kxmViewer.differences()?.count === 3);
    await page.evaluate(() => window.kxmViewer.goToDifference(1));
    assert.deepEqual(await violations(page), []);
  });
});
