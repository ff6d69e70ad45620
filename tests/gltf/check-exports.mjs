// Checks kxm export with tools that read glTF only. Every export (the sample, the hostile models
// that load, the textured and the random well-formed models) must pass the Khronos glTF validator
// with no error, no warning and no GLB that points outside itself; the random models are read
// back by glTF Transform and compared with what their writer put in them (NAME.expect.json) and
// with what `kxm info` reports; the textured ones' embedded images are decoded by pngjs, a PNG
// decoder that is not ours, and compared with the pixels their writer put in the BMP, TGA or DDS.
//
//   node check-exports.mjs --kxm KXM --make-cases MAKE_EXPORT_CASES --sample SAMPLE.kxm --work DIR
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { NodeIO } from '@gltf-transform/core';
import validator from 'gltf-validator';
import { PNG } from 'pngjs';

const args = {};
for (let i = 2; i < process.argv.length; i += 2) args[process.argv[i].slice(2)] = process.argv[i + 1];
for (const name of ['kxm', 'make-cases', 'sample', 'work']) {
  if (!args[name]) throw new Error(`missing --${name}`);
}

const cases = path.join(args.work, 'cases');
const out = path.join(args.work, 'out');
fs.rmSync(args.work, { recursive: true, force: true });
fs.mkdirSync(cases, { recursive: true });
fs.mkdirSync(out, { recursive: true });
execFileSync(args['make-cases'], [cases, process.env.KXM_CASES ?? '50', process.env.KXM_SEED ?? '1']);

const failures = [];
const totals = { files: 0, errors: 0, warnings: 0, infos: 0, compared: 0, textured: 0 };
const fail = (file, text) => failures.push(`${file}: ${text}`);

function exportFile(input, output, quiet, more = []) {
  const result = spawnSync(args.kxm, ['export', ...(quiet ? ['--quiet'] : []), ...more, input, output],
                           { encoding: 'utf8' });
  return { status: result.status, stderr: result.stderr };
}

async function validate(file) {
  const bytes = fs.readFileSync(file);
  const report = await validator.validateBytes(new Uint8Array(bytes), {
    uri: path.basename(file),
    maxIssues: 100,
    externalResourceFunction: (uri) =>
      new Promise((resolve, reject) => {
        fs.readFile(path.resolve(path.dirname(file), decodeURIComponent(uri)),
                    (error, data) => (error ? reject(error.toString()) : resolve(data)));
      }),
  });
  const issues = report.issues;
  totals.files += 1;
  totals.errors += issues.numErrors;
  totals.warnings += issues.numWarnings;
  totals.infos += issues.numInfos;
  for (const m of issues.messages) {
    if (m.severity <= 1 || m.code === 'URI_GLB') {
      fail(path.basename(file), `${m.code} at ${m.pointer ?? ''}: ${m.message}`);
    }
  }
}

const near = (a, b) => Math.fround(a) === Math.fround(b);

// The export read back against what the model's writer put in it, and against kxm info.
async function compare(file, expect, info) {
  const doc = await new NodeIO().read(file);
  const root = doc.getRoot();
  const name = path.basename(file);
  const meshes = root.listMeshes();
  if (meshes.length !== expect.meshes.length) {
    fail(name, `${meshes.length} meshes read back, ${expect.meshes.length} written`);
    return;
  }
  let vertices = 0;
  meshes.forEach((mesh, m) => {
    const want = expect.meshes[m];
    const prims = mesh.listPrimitives();
    if (prims.length !== want.primitives.length) {
      fail(name, `mesh ${m}: ${prims.length} primitives, ${want.primitives.length} expected`);
      return;
    }
    vertices += prims[0].getAttribute('POSITION').getCount();
    prims.forEach((prim, p) => {
      const w = want.primitives[p];
      const where = `mesh ${m} primitive ${p}`;
      const positions = prim.getAttribute('POSITION');
      if (positions.getCount() !== want.vertices) fail(name, `${where}: ${positions.getCount()} vertices, ${want.vertices} expected`);
      if (prim.getMode() !== w.mode) fail(name, `${where}: mode ${prim.getMode()}, ${w.mode} expected`);
      const semantics = prim.listSemantics().slice().sort();
      if (JSON.stringify(semantics) !== JSON.stringify(w.attributes.slice().sort())) {
        fail(name, `${where}: attributes ${semantics}, ${w.attributes} expected`);
      }
      if (Boolean(prim.getMaterial()?.getBaseColorTexture()) !== w.textured) {
        fail(name, `${where}: base colour texture ${!w.textured ? 'present' : 'missing'}`);
      }
      const indices = prim.getIndices().getArray();
      if (indices.length !== w.indices) {
        fail(name, `${where}: ${indices.length} indices, ${w.indices} expected`);
        return;
      }
      const xyz = positions.getArray();
      for (let i = 0; i < indices.length; ++i) {
        for (let c = 0; c < 3; ++c) {
          if (!near(xyz[indices[i] * 3 + c], w.positions[i * 3 + c])) {
            fail(name, `${where}: index ${i} points at (${xyz.slice(indices[i] * 3, indices[i] * 3 + 3)}), ` +
                       `(${w.positions.slice(i * 3, i * 3 + 3)}) expected`);
            return;
          }
        }
      }
    });
  });
  const skins = root.listSkins();
  if (skins.length !== expect.skins.length) fail(name, `${skins.length} skins, ${expect.skins.length} expected`);
  skins.forEach((skin, s) => {
    if (expect.skins[s] && skin.listJoints().length !== expect.skins[s].joints) {
      fail(name, `skin ${s}: ${skin.listJoints().length} joints, ${expect.skins[s].joints} expected`);
    }
  });
  const animations = root.listAnimations();
  if (animations.length !== expect.animations.length) fail(name, `${animations.length} animations, ${expect.animations.length} expected`);
  animations.forEach((animation, a) => {
    const want = expect.animations[a];
    const keys = animation.listChannels().map((c) => c.getSampler().getInput().getCount());
    if (want && JSON.stringify(keys) !== JSON.stringify(want.keys)) {
      fail(name, `animation ${a}: key counts ${keys}, ${want.keys} expected`);
    }
  });
  if (info.totals.meshes !== meshes.length || info.totals.vertices !== vertices ||
      info.totals.animationSets !== animations.length) {
    fail(name, `kxm info says ${info.totals.meshes} meshes, ${info.totals.vertices} vertices, ` +
               `${info.totals.animationSets} animation sets; read back ${meshes.length}, ${vertices}, ${animations.length}`);
  }
  totals.compared += 1;
}

// A textured quad read back: its image, decoded by pngjs, holds the pixels that were written
// (within the DXT rules' rounding), and NORMAL holds the normals mirrored and made unit length.
async function compareTextured(file, expect) {
  const name = path.basename(file);
  const prim = (await new NodeIO().read(file)).getRoot().listMeshes()[0]?.listPrimitives()[0];
  const texture = prim?.getMaterial()?.getBaseColorTexture();
  if (!texture || texture.getMimeType() !== 'image/png') return fail(name, 'no PNG base colour texture');
  const png = PNG.sync.read(Buffer.from(texture.getImage()));
  if (png.data.length !== expect.rgba.length) {
    return fail(name, `image of ${png.width} x ${png.height}, ${expect.rgba.length / 4} pixels written`);
  }
  const off = expect.rgba.findIndex((v, i) => Math.abs(png.data[i] - v) > expect.tolerance);
  if (off >= 0) return fail(name, `image byte ${off} is ${png.data[off]}, ${expect.rgba[off]} written`);
  const normals = prim.getAttribute('NORMAL')?.getArray() ?? [];
  const wrong = expect.normals.findIndex((v, i) => !(Math.abs(normals[i] - v) < 1e-6));
  if (wrong >= 0) return fail(name, `NORMAL value ${wrong} is ${normals[wrong]}, ${expect.normals[wrong]} expected`);
  totals.textured += 1;
}

// The sample, both ways.
for (const ext of ['glb', 'gltf']) {
  const target = path.join(out, `sample.${ext}`);
  const result = exportFile(args.sample, target, true);
  if (result.status !== 0) fail('sample', `export to .${ext} exited ${result.status}: ${result.stderr}`);
  else await validate(target);
}

// Hostile models: they load, the export says what it left out, and the result is still valid.
for (const file of fs.readdirSync(cases).filter((f) => f.startsWith('hostile-') && f.endsWith('.kxm')).sort()) {
  const target = path.join(out, file.replace(/\.kxm$/, '.glb'));
  const result = exportFile(path.join(cases, file), target, false);
  if (result.status !== 0) fail(file, `export exited ${result.status}: ${result.stderr}`);
  else if (!result.stderr.includes('warning')) fail(file, 'export gave no warning');
  else await validate(target);
}

// Textured models, a folder each: the only words the export may say are that it converted the
// texture or found it behind another extension.
const textured = fs.readdirSync(cases).filter((f) => /^textured-[a-z0-9-]+$/.test(f) &&
                                                 fs.existsSync(path.join(cases, f, `${f}.kxm`))).sort();
for (const name of textured) {
  const input = path.join(cases, name, `${name}.kxm`);
  const expect = JSON.parse(fs.readFileSync(path.join(cases, name, `${name}.expect.json`), 'utf8'));
  const target = path.join(out, `${name}.glb`);
  const more = expect.textureDir ? ['--texture-dir', path.join(cases, expect.textureDir)] : [];
  const result = exportFile(input, target, false, more);
  const said = result.stderr.split('\n').filter((l) => l && !/\[texture-(converted|substituted)\]$/.test(l));
  if (result.status !== 0 || said.length) {
    fail(name, `export exited ${result.status}: ${result.stderr}`);
    continue;
  }
  await validate(target);
  await compareTextured(target, expect);
}

// Random well-formed models: nothing to warn of, valid, and read back as written.
const randoms = fs.readdirSync(cases).filter((f) => f.startsWith('random-') && f.endsWith('.kxm'));
randoms.sort((a, b) => parseInt(a.slice(7), 10) - parseInt(b.slice(7), 10));
for (const [n, file] of randoms.entries()) {
  const input = path.join(cases, file);
  const target = path.join(out, file.replace(/\.kxm$/, n % 2 ? '.gltf' : '.glb'));
  const result = exportFile(input, target, false);
  const expect = JSON.parse(fs.readFileSync(input.replace(/\.kxm$/, '.expect.json'), 'utf8'));
  // A model without meshes is the one well-formed model the export warns of: its scene is empty.
  const allowed = expect.meshes.length === 0 ? /^[^\n]*\[scene-empty\]\n$/ : /^$/;
  if (result.status !== 0 || !allowed.test(result.stderr)) {
    fail(file, `export exited ${result.status}: ${result.stderr}`);
    continue;
  }
  await validate(target);
  const info = JSON.parse(execFileSync(args.kxm, ['info', '--json', input], { encoding: 'utf8' }));
  await compare(target, expect, info);
}

console.log(`validated ${totals.files} exports: ${totals.errors} errors, ${totals.warnings} warnings, ` +
            `${totals.infos} infos; ${totals.compared} of ${randoms.length} random models read back as written; ` +
            `${totals.textured} of ${textured.length} textured models with their pixels and normals`);
if (totals.compared !== randoms.length || randoms.length === 0) failures.push('not every random model was compared');
if (totals.textured !== textured.length || textured.length < 8) failures.push('not every textured model was compared');
for (const f of failures) console.log(`FAIL ${f}`);
process.exit(failures.length ? 1 : 0);
