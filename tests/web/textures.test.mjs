// DXT textures in the browser: each model of make-dxt-models is opened with its DDS, and the
// PNG that the page's GLB embeds must be, byte for byte, the one the native kxm export embeds
// (the same libsquish decodes the blocks, the same zlib release compresses the rows).
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { after, before, describe, test } from "node:test";
import { openBytes } from "./browser.mjs";
import { pageSession } from "./session.mjs";
import { nativeKxm } from "./support.mjs";

const models = process.env.KXM_DXT_MODELS;
if (!models) throw new Error("KXM_DXT_MODELS is not set; run the browser tests through ctest --preset web");

// The images a GLB embeds, in order.
function glbImages(glb) {
  assert.equal(glb.subarray(0, 4).toString("latin1"), "glTF");
  const jsonLength = glb.readUInt32LE(12);
  const json = JSON.parse(glb.subarray(20, 20 + jsonLength).toString("utf8"));
  const binStart = 20 + jsonLength + 8;
  return (json.images ?? []).map((image) => {
    const view = json.bufferViews[image.bufferView];
    const start = binStart + (view.byteOffset ?? 0);
    return glb.subarray(start, start + view.byteLength);
  });
}

const browser = pageSession();
let work;
before(() => {
  work = mkdtempSync(join(tmpdir(), "kxm-dxt-"));
});
after(() => rmSync(work, { recursive: true, force: true }));

describe("DXT textures", () => {
  for (const name of ["dxt1", "dxt3", "dxt5"]) {
    test(`${name}: the page's GLB embeds the native export's PNG`, async () => {
      const { page } = browser;
      const model = join(models, `${name}.kxm`);
      const nativeGlb = join(work, `${name}.glb`);
      const run = spawnSync(nativeKxm, ["export", "--quiet", model, nativeGlb], { encoding: "utf8" });
      assert.equal(run.status, 0, run.stderr);
      const result = await openBytes(page, readFileSync(model), `${name}.kxm`, {
        [`${name}.dds`]: readFileSync(join(models, `${name}.dds`)),
      });
      assert.equal(result.status, "Ready.");
      // Converted, not reported unreadable: the one warning says so.
      assert.equal(await page.$eval("#scene-note", (e) => e.textContent), "1 export warning");
      assert.match(await page.$eval("#scene-note", (e) => e.title), /DXT\d, 18 x 10, converted to PNG/);
      const glb = Buffer.from(await page.evaluate(() => Array.from(window.kxmViewer.glb())));
      const [expected] = glbImages(readFileSync(nativeGlb));
      const images = glbImages(glb);
      assert.equal(images.length, 1);
      assert.equal(expected.subarray(1, 4).toString("latin1"), "PNG");
      assert.deepEqual([expected.readUInt32BE(16), expected.readUInt32BE(20)], [18, 10], "the DDS's size");
      assert.ok(images[0].equals(expected), `${images[0].length} bytes against the native ${expected.length}`);
    });
  }
});
