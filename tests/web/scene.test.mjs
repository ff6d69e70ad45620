// The model in 3D: the sample exported in memory by our exporter and drawn by three.js (pixels
// other than the background), its animation playing, pausing and seeking, a click on a mesh
// selecting its frame's node, a frame's node lighting its mesh up, Download .glb, and the
// export's warnings, each followed from the keyboard to the chunk it is about.
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { describe, test } from "node:test";
import { drawn, openBytes } from "./browser.mjs";
import { pageSession } from "./session.mjs";
import { casePath, read, samplePath, sampleTexture } from "./support.mjs";

const browser = pageSession({
  setUp: async (page) => {
    await page.evaluate(() => window.kxmViewer.setOptions({ showNames: true, showValues: true, expandAll: true }));
    const result = await openBytes(page, read(samplePath), "sample.kxm", { "wood.png": sampleTexture() });
    assert.equal(result.status, "Ready.");
    await page.evaluate(() => window.kxmViewer.sceneReady());
  },
});

describe("the 3D view", () => {
  test("draws the sample, textured, with no export warning", async () => {
    const { page } = browser;
    assert.equal(await page.$eval("#scene-note", (e) => e.textContent), "");
    const pixels = await drawn(page);
    assert.ok(pixels.count > pixels.total * 0.03, `${pixels.count} of ${pixels.total} pixels drawn`);
    assert.deepEqual(await page.evaluate(() => window.kxmViewer.textures()), ["wood.png"]);
  });

  test("without its texture the base is drawn otherwise; wireframe draws otherwise again", async () => {
    const { page } = browser;
    await page.evaluate(() => window.kxmViewer.seek(0));
    const textured = await drawn(page);
    await openBytes(page, read(samplePath), "sample.kxm");
    await page.evaluate(() => window.kxmViewer.sceneReady());
    await page.evaluate(() => window.kxmViewer.seek(0));
    assert.deepEqual(await page.evaluate(() => window.kxmViewer.textures()), []);
    assert.equal(await page.$eval("#scene-note", (e) => e.textContent), "1 export warning");
    assert.match(await page.$eval("#scene-note", (e) => e.title), /wood\.png/);
    const plain = await drawn(page);
    assert.notEqual(plain.hash, textured.hash);
    await page.check("#wireframe");
    const wire = await drawn(page);
    assert.ok(wire.count < plain.count, `wireframe ${wire.count} pixels, solid ${plain.count}`);
    await page.uncheck("#wireframe");
    assert.equal((await drawn(page)).hash, plain.hash);
    await openBytes(page, read(samplePath), "sample.kxm", { "wood.png": sampleTexture() });
    await page.evaluate(() => window.kxmViewer.sceneReady());
  });

  test("plays the animation, pauses it and seeks with the slider", async () => {
    const { page } = browser;
    const first = await page.evaluate(() => window.kxmViewer.animation());
    assert.equal(first.duration, 2);
    assert.equal(first.playing, true);
    await page.waitForFunction((t) => window.kxmViewer.animation().time !== t, first.time);
    await page.click("#play");
    const paused = await page.evaluate(() => window.kxmViewer.animation());
    assert.equal(paused.playing, false);
    await page.waitForTimeout(100);
    assert.equal((await page.evaluate(() => window.kxmViewer.animation())).time, paused.time);
    await page.$eval("#time", (slider) => {
      slider.value = "0.125";
      slider.dispatchEvent(new Event("input"));
    });
    assert.equal((await page.evaluate(() => window.kxmViewer.animation())).time, 0.25);
    const before = await drawn(page);
    await page.$eval("#time", (slider) => {
      slider.value = "0.5";
      slider.dispatchEvent(new Event("input"));
    });
    assert.notEqual((await drawn(page)).hash, before.hash, "the arm moved");
  });

  test("a click on a mesh selects its frame's node, which lights its meshes up", async () => {
    const { page } = browser;
    await page.evaluate(() => window.kxmViewer.selectRow(0));
    const plain = await drawn(page);
    await page.mouse.click(plain.left + plain.nearest.x * plain.scale, plain.top + plain.nearest.y * plain.scale);
    const label = await page.$eval("#tree [aria-selected=true] .label", (e) => e.textContent);
    assert.equal(label, 'Frame CHILD: "Base"');
    assert.notEqual((await drawn(page)).hash, plain.hash, "the base lit up");
    await page.evaluate(() => window.kxmViewer.selectRow(0));
    assert.equal((await drawn(page)).hash, plain.hash, "and went dark again");
  });

  test("Download .glb gives the exported GLB", async () => {
    const { page } = browser;
    const [download] = await Promise.all([page.waitForEvent("download"), page.click("#download")]);
    assert.equal(download.suggestedFilename(), "sample.glb");
    const bytes = readFileSync(await download.path());
    assert.equal(bytes.subarray(0, 4).toString("latin1"), "glTF");
    assert.equal(bytes.readUInt32LE(8), bytes.length);
    assert.equal(bytes.length, await page.evaluate(() => window.kxmViewer.glb().length));
  });

  test("files that cannot be put where their paths say are left out, and the model still has its texture", async () => {
    const { page } = browser;
    const files = { "wood.png": sampleTexture(), "wood.png/inside.png": sampleTexture(), "": Buffer.from("x") };
    const result = await openBytes(page, read(samplePath), "sample.kxm", files);
    assert.equal(result.status, "Ready.");
    await page.evaluate(() => window.kxmViewer.sceneReady());
    assert.deepEqual(await page.evaluate(() => window.kxmViewer.textures()), ["wood.png"]);
  });

  test("the export's warnings are kxm export's, each a button that Enter follows to its chunk", async () => {
    const { page } = browser;
    await openBytes(page, read(casePath("knight.kxm")), "knight.kxm");
    await page.evaluate(() => window.kxmViewer.sceneReady());
    const items = await page.$$eval("#export-warnings li button", (b) => b.map((e) => e.textContent));
    assert.deepEqual(items, [
      'frame "Arm" mesh 1: primitive type 0 is not one of 1 to 6; the mesh is left out [mesh-dropped]',
      'animation set "Walk": nothing to animate; left out [animation-dropped]',
      "the model has nothing to draw; the scene is empty [scene-empty]",
    ]);
    const selected = () => page.$eval("#tree [aria-selected=true] .label", (e) => e.textContent).catch(() => null);
    // Each from the keyboard: the mesh, the animation set; the one about the whole model goes
    // nowhere and says so.
    for (const [n, label] of [[1, "Frame MESH"], [2, "AnimationSet ROOT"]]) {
      await page.evaluate(() => window.kxmViewer.selectRow(0));
      await page.focus(`#export-warnings li:nth-child(${n}) button`);
      await page.keyboard.press("Enter");
      assert.equal(await selected(), label, `warning ${n}`);
    }
    await page.focus("#export-warnings li:nth-child(3) button");
    assert.equal(await page.evaluate(() => document.activeElement.getAttribute("aria-disabled")), "true");
    await page.keyboard.press("Enter");
    assert.equal(await selected(), "AnimationSet ROOT");
  });
});
