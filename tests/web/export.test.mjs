// The page's GLB (its 3D view and Download .glb) is kxm export's, byte for byte, for the same
// file and textures: one export for both, the file's normals included. An image that must be
// converted to PNG is the one exception: the browser's core has no zlib (stb's deflate writes
// its PNG), so there the same pixels are compressed otherwise.
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import { copyFileSync, mkdirSync, mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { basename, dirname, join } from "node:path";
import { after, before, describe, test } from "node:test";
import { inflateSync } from "node:zlib";
import { openBytes, openPage } from "./browser.mjs";
import { casePath, nativeKxm, read, samplePath, viewerHtml } from "./support.mjs";

const models = [
  // `smooth`: the meshes whose vertices carry normals in the file.
  { what: "the sample with its texture", path: samplePath, textures: ["wood.png"], smooth: ["Base", "UpperArm"] },
  { what: "the sample without it", path: samplePath, textures: [], smooth: ["Base", "UpperArm"] },
  // Found by other capitals and another extension.
  { what: "a curved quad whose texture is a PNG by another name", path: casePath("textured.kxm"),
    textures: ["textures/Brick.png"], smooth: ["Curved"] },
  { what: "a curved quad whose texture is a BMP, converted", path: casePath("textured.kxm"),
    textures: ["textures/Brick.bmp"], smooth: ["Curved"], converted: true },
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

// A PNG's header and its filtered rows, inflated from its deflate stream.
function pngRows(png) {
  const parts = { header: null, data: [] };
  for (let at = 8; at + 8 <= png.length; at += 12 + png.readUInt32BE(at)) {
    const type = png.toString("latin1", at + 4, at + 8);
    const data = png.subarray(at + 8, at + 8 + png.readUInt32BE(at));
    if (type === "IHDR") parts.header = data;
    if (type === "IDAT") parts.data.push(data);
  }
  return { header: parts.header, rows: inflateSync(Buffer.concat(parts.data)) };
}

// The same document and buffer but for the images' bytes, which hold the same rows.
function assertSameButDeflate(made, native) {
  const a = glbParts(made), b = glbParts(native);
  const view = (parts, i) => {
    const v = parts.json.bufferViews[i];
    return parts.bin.subarray(v.byteOffset ?? 0, (v.byteOffset ?? 0) + v.byteLength);
  };
  const images = new Set(a.json.images.map((image) => image.bufferView));
  for (let i = 0; i < a.json.bufferViews.length; ++i) {
    if (images.has(i)) assert.deepEqual(pngRows(view(a, i)), pngRows(view(b, i)), `image view ${i}`);
    else assert.ok(view(a, i).equals(view(b, i)), `view ${i}`);
  }
  const unplaced = (json) => ({ ...json, bufferViews: json.bufferViews.map(({ target }) => target), buffers: null });
  assert.deepEqual(unplaced(a.json), unplaced(b.json));
}

let browser;
before(async () => {
  browser = await openPage(viewerHtml);
});
after(async () => {
  assert.deepEqual(browser.requests, [], "no request leaves the page");
  assert.deepEqual(browser.errors, []);
  await browser.close();
});

describe("the page's GLB", () => {
  for (const model of models) {
    test(`is kxm export's for ${model.what}`, async () => {
      const made = await pageGlb(browser.page, model);
      const native = nativeGlb(model);
      if (model.converted) assertSameButDeflate(made, native);
      else assert.ok(made.equals(native), `the page's ${made.length} bytes differ from kxm export's ${native.length}`);
      // Smooth where the file is: the meshes with normals carry them in every primitive.
      const { json } = glbParts(made);
      const smooth = json.meshes.filter((mesh) => mesh.primitives.every((p) => "NORMAL" in p.attributes));
      assert.deepEqual(smooth.map((mesh) => mesh.name), model.smooth);
      assert.equal(json.images?.length ?? 0, model.textures.length);
    });
  }
});
