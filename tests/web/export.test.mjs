// The page's GLB (its 3D view and Download .glb) is kxm export's, byte for byte, for the same
// file and textures: one export for both, the file's normals and images converted to PNG
// included (both builds compress with the same zlib).
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import { copyFileSync, mkdirSync, mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { basename, dirname, join } from "node:path";
import { describe, test } from "node:test";
import { openBytes } from "./browser.mjs";
import { pageSession } from "./session.mjs";
import { casePath, nativeKxm, read, samplePath } from "./support.mjs";

const models = [
  // `smooth`: the meshes whose vertices carry normals in the file.
  { what: "the sample with its texture", path: samplePath, textures: ["wood.png"], smooth: ["Base", "UpperArm"] },
  { what: "the sample without it", path: samplePath, textures: [], smooth: ["Base", "UpperArm"] },
  // Found by other capitals and another extension.
  { what: "a curved quad whose texture is a PNG by another name", path: casePath("textured.kxm"),
    textures: ["textures/Brick.png"], smooth: ["Curved"] },
  { what: "a curved quad whose texture is a BMP, converted", path: casePath("textured.kxm"),
    textures: ["textures/Brick.bmp"], smooth: ["Curved"] },
];

// kxm export of the model with its textures beside it, in a folder of their own.
function nativeGlb(model) {
  const work = mkdtempSync(join(tmpdir(), "kxm-web-export-"));
  try {
    const name = basename(model.path);
    copyFileSync(model.path, join(work, name));
    for (const texture of model.textures) {
      mkdirSync(dirname(join(work, texture)), { recursive: true });
      copyFileSync(join(dirname(model.path), texture), join(work, texture));
    }
    const run = spawnSync(nativeKxm, ["export", "--quiet", name, "out.glb"], { cwd: work, encoding: "utf8" });
    assert.equal(run.status, 0, run.stderr);
    return readFileSync(join(work, "out.glb"));
  } finally {
    rmSync(work, { recursive: true, force: true });
  }
}

// The page's GLB, as base64 (a GLB of megabytes would not pass as an array of numbers).
async function pageGlb(page, model) {
  const files = Object.fromEntries(model.textures.map((t) => [t, read(join(dirname(model.path), t))]));
  const opened = await openBytes(page, read(model.path), basename(model.path), files);
  assert.equal(opened.status, "Ready.");
  await page.evaluate(() => window.kxmViewer.sceneReady());
  assert.deepEqual(await page.evaluate(() => window.kxmViewer.textures()), model.textures);
  const base64 = await page.evaluate(() => {
    const glb = window.kxmViewer.glb();
    let text = "";
    for (let at = 0; at < glb.length; at += 0x8000) text += String.fromCharCode(...glb.subarray(at, at + 0x8000));
    return btoa(text);
  });
  return Buffer.from(base64, "base64");
}

function glbParts(glb) {
  const jsonLength = glb.readUInt32LE(12);
  return { json: JSON.parse(glb.subarray(20, 20 + jsonLength).toString("utf8")), bin: glb.subarray(28 + jsonLength) };
}

const browser = pageSession();

describe("the page's GLB", () => {
  for (const model of models) {
    test(`is kxm export's for ${model.what}`, async () => {
      const made = await pageGlb(browser.page, model);
      const native = nativeGlb(model);
      assert.ok(made.equals(native), `the page's ${made.length} bytes differ from kxm export's ${native.length}`);
      // Smooth where the file is: the meshes with normals carry them in every primitive.
      const { json } = glbParts(made);
      const smooth = json.meshes.filter((mesh) => mesh.primitives.every((p) => "NORMAL" in p.attributes));
      assert.deepEqual(smooth.map((mesh) => mesh.name), model.smooth);
      assert.equal(json.images?.length ?? 0, model.textures.length);
    });
  }
});
