// Checks kxm import on glTF that tools which are not ours wrote: Blender's exporter (a skinned,
// animated, textured model made by blender-model.py) or glTF Transform (transform-models.mjs).
// Each model is imported, must say exactly the coded warnings expected of it, must check clean
// with kxm check, is exported again and must pass the Khronos validator with no error and no
// warning; its KXM file must hold the source's positions mirrored (z negated) and its triangles
// turned, and the export again the source's positions and triangles as they were, and its
// images byte for byte.
//
//   node check-imports.mjs --kxm KXM --work DIR [--blender BLENDER]
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { NodeIO } from '@gltf-transform/core';
import { ALL_EXTENSIONS } from '@gltf-transform/extensions';
import validator from 'gltf-validator';
import { makeTransformModels } from './transform-models.mjs';

const args = {};
for (let i = 2; i < process.argv.length; i += 2) args[process.argv[i].slice(2)] = process.argv[i + 1];
for (const name of ['kxm', 'work']) if (!args[name]) throw new Error(`missing --${name}`);

const here = path.dirname(fileURLToPath(import.meta.url));
fs.rmSync(args.work, { recursive: true, force: true });
fs.mkdirSync(args.work, { recursive: true });
const failures = [];
const fail = (name, text) => failures.push(`${name}: ${text}`);
const run = (program, list) => spawnSync(program, list, { encoding: 'utf8', maxBuffer: 1 << 28 });

// The sources: Blender's one model, or glTF Transform's.
let sources;
if (args.blender) {
  const file = path.join(args.work, 'blender', 'column.glb');
  fs.mkdirSync(path.dirname(file));
  const made = run(args.blender, ['-b', '--factory-startup', '--python-exit-code', '1',
                                  '--python', path.join(here, 'blender-model.py'), '--', file]);
  if (made.status !== 0) {
    console.log(made.stdout, made.stderr);
    throw new Error(`blender exited ${made.status}`);
  }
  sources = [{ name: 'blender', file, warnings: [] }];
} else {
  sources = await makeTransformModels(path.join(args.work, 'sources'));
}

async function validate(name, file) {
  const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)),
                                               { uri: path.basename(file), maxIssues: 100 });
  for (const m of report.issues.messages) {
    if (m.severity <= 1 || m.code === 'URI_GLB') fail(name, `${m.code} at ${m.pointer ?? ''}: ${m.message}`);
  }
}

// Each primitive a node draws as the positions of its vertices and its triangles' corners: a
// mesh drawn by two nodes counts twice, as the KXM file holds it twice.
async function primitivesOf(file) {
  const doc = await new NodeIO().registerExtensions(ALL_EXTENSIONS).read(file);
  const out = [];
  for (const node of doc.getRoot().listNodes().filter((n) => n.getMesh())) {
    for (const prim of node.getMesh().listPrimitives()) {
      const position = prim.getAttribute('POSITION');
      const positions = [];
      const element = [];
      for (let i = 0; i < position.getCount(); ++i) positions.push(...position.getElement(i, element));
      const indices = prim.getIndices() ? Array.from(prim.getIndices().getArray())
                                        : [...Array(position.getCount()).keys()];
      if (prim.getMode() !== 4) throw new Error(`${file}: mode ${prim.getMode()} is not triangles`);
      out.push({ positions, triangles: indices.slice(0, indices.length - (indices.length % 3)),
                 influences: influencesOf(prim, node.getSkin()) });
    }
  }
  const images = doc.getRoot().listTextures().map((t) => Buffer.from(t.getImage()));
  const channels = doc.getRoot().listAnimations().flatMap((a) => a.listChannels().map((c) => {
    const input = c.getSampler().getInput().getArray();
    const output = c.getSampler().getOutput();
    const per = c.getSampler().getInterpolation() === 'CUBICSPLINE' ? 3 : 1;
    const values = [];
    for (let k = 0; k < input.length; ++k) values.push(output.getElement(k * per + (per > 1 ? 1 : 0), []));
    return { key: `${c.getTargetNode().getName()} ${c.getTargetPath()}`, times: Array.from(input), values };
  })).sort((a, b) => (a.key < b.key ? -1 : a.key > b.key));
  const joints = doc.getRoot().listSkins().map((skin) => skin.listJoints().map((j) => j.getName()).sort().join());
  return { primitives: out, images, channels, joints };
}

// Each vertex's bones by name with their weights, the weights scaled to sum to 1.
function influencesOf(prim, skin) {
  const joints = prim.getAttribute('JOINTS_0');
  const weights = prim.getAttribute('WEIGHTS_0');
  if (!skin || !joints || !weights) return null;
  const names = skin.listJoints().map((j) => j.getName());
  const out = [];
  for (let v = 0; v < joints.getCount(); ++v) {
    const j = joints.getElement(v, []);
    const w = weights.getElement(v, []);
    const sum = w.reduce((a, b) => a + b, 0);
    const pairs = {};
    w.forEach((x, i) => { if (x > 0) pairs[names[j[i]]] = (pairs[names[j[i]]] ?? 0) + x / sum; });
    out.push(pairs);
  }
  return out;
}

// The skins' joints by name, and each animated node's channels: key times within the tick of a
// millisecond that the KXM file counts in, values within a step of the float (the export makes
// each rotation a unit quaternion again).
function compareMotion(name, want, got) {
  if (JSON.stringify(want.joints.sort()) !== JSON.stringify(got.joints.sort())) {
    fail(name, `skins with the joints ${JSON.stringify(got.joints)}, ${JSON.stringify(want.joints)} in the source`);
  }
  if (want.channels.map((c) => c.key).join() !== got.channels.map((c) => c.key).join()) {
    return fail(name, `channels ${got.channels.map((c) => c.key)}, ${want.channels.map((c) => c.key)} in the source`);
  }
  want.channels.forEach((c, i) => {
    const d = got.channels[i];
    const time = c.times.findIndex((t, k) => !(Math.abs(t - d.times[k]) <= 0.0005 + 1e-7));
    const value = c.values.findIndex((v, k) => v.some((x, j) => !(Math.abs(x - d.values[k]?.[j]) <= 1e-6)));
    if (c.times.length !== d.times.length || time >= 0 || value >= 0) {
      const k = Math.max(time, value);
      fail(name, `${c.key}: ${d.times.length} keys, ${c.times.length} in the source; key ${k} is ` +
                 `${d.times[k]}: ${d.values[k]}, ${c.times[k]}: ${c.values[k]} in the source`);
    }
  });
  return { joints: want.joints.length, channels: want.channels.length,
           keys: want.channels.reduce((n, c) => n + c.times.length, 0) };
}

// The meshes of a KXM file as kxm dump --data --json gives them, mirrored and turned back.
function primitivesOfKxm(name, file) {
  const dumped = run(args.kxm, ['dump', '--data', '--json', file]);
  if (dumped.status !== 0) {
    fail(name, `kxm dump exited ${dumped.status}: ${dumped.stderr}`);
    return [];
  }
  const out = [];
  const walk = (node) => {
    const data = (node.children ?? []).filter((c) => c.data).map((c) => c.data);
    const vertices = data.find((d) => d.kind === 'vertices');
    if (vertices) {
      const indices = data.find((d) => d.kind === 'indices')?.elements ?? [];
      const type = (node.children ?? []).find((c) => c.label.startsWith('Mesh Primitive Type'));
      if (!type || !/: 4$/.test(type.label)) fail(name, `a mesh that is not a triangle list: ${type?.label}`);
      const triangles = [];
      for (let i = 0; i + 2 < indices.length; i += 3) triangles.push(indices[i], indices[i + 2], indices[i + 1]);
      const positions = vertices.elements.flatMap(({ position: [x, y, z] }) => [x, y, -z].map(Math.fround));
      out.push({ positions, triangles });
    }
    for (const child of node.children ?? []) walk(child);
  };
  walk(JSON.parse(dumped.stdout).tree.find((root) => root.label === 'Frames'));
  return out;
}

// Lists of primitives paired by their shape (the order of meshes is the tools' own), compared
// exactly: floats as the 32-bit floats the files hold.
function compare(name, what, want, got) {
  const key = (p) => JSON.stringify([p.positions.length, p.triangles.length, p.positions.slice(0, 3).map(Math.fround)]);
  const sorted = (list) => list.map((p) => ({ key: key(p), ...p })).sort((a, b) => (a.key < b.key ? -1 : a.key > b.key));
  const [a, b] = [sorted(want), sorted(got)];
  if (a.length !== b.length) return fail(name, `${what}: ${b.length} primitives, ${a.length} in the source`);
  let differences = 0;
  a.forEach((p, i) => {
    const q = b[i];
    const off = p.positions.findIndex((v, j) => Math.fround(v) !== q.positions[j]);
    if (p.positions.length !== q.positions.length || off >= 0) {
      differences += 1;
      return fail(name, `${what}: primitive ${i}: position value ${off} is ${q.positions[off]}, ${Math.fround(p.positions[off])} in the source`);
    }
    if (JSON.stringify(p.triangles) !== JSON.stringify(q.triangles)) {
      differences += 1;
      fail(name, `${what}: primitive ${i}: triangles differ from the source's`);
    }
    const weighed = (p.influences ?? []).findIndex((pairs, v) => {
      const other = q.influences?.[v] ?? {};
      return Object.keys({ ...pairs, ...other }).some((bone) => !(Math.abs((pairs[bone] ?? 0) - (other[bone] ?? 0)) < 1e-5));
    });
    if (p.influences && q.influences !== undefined && weighed >= 0) {
      differences += 1;
      fail(name, `${what}: primitive ${i}: vertex ${weighed} has the bones ${JSON.stringify(q.influences?.[weighed])}, ${JSON.stringify(p.influences[weighed])} in the source`);
    }
  });
  return { primitives: a.length, vertices: a.reduce((n, p) => n + p.positions.length / 3, 0),
           triangles: a.reduce((n, p) => n + p.triangles.length / 3, 0), differences };
}

const figures = [];
for (const source of sources) {
  const { name } = source;
  const folder = path.join(args.work, 'kxm', name);
  fs.mkdirSync(folder, { recursive: true });
  const kxm = path.join(folder, `${name}.kxm`);
  const imported = run(args.kxm, ['import', source.file, kxm]);
  if (imported.status !== 0) {
    fail(name, `kxm import exited ${imported.status}: ${imported.stderr}`);
    continue;
  }
  const said = imported.stderr.split('\n').filter(Boolean);
  const codes = said.map((line) => /\[([a-z-]+)\]$/.exec(line)?.[1] ?? line);
  const unsaid = source.warnings.filter((w) => {
    const [code, ...words] = w.split(' ');
    const at = said.findIndex((line, i) => codes[i] === code && line.includes(words.join(' ')));
    if (at >= 0) said.splice(at, 1), codes.splice(at, 1);
    return at < 0;
  });
  if (unsaid.length || said.length) {
    fail(name, `kxm import did not say ${JSON.stringify(unsaid)}, and said besides ${JSON.stringify(said)}`);
  }
  const checked = run(args.kxm, ['check', '--json', kxm]);
  const report = JSON.parse(checked.stdout || '[{}]')[0];
  if (checked.status !== 0 || report.outcome !== 'loaded' || report.issues?.numErrors !== 0 ||
      report.issues?.numWarnings !== 0) {
    fail(name, `kxm check exited ${checked.status}: ${checked.stdout}${checked.stderr}`);
  }
  const again = path.join(folder, `${name}.glb`);
  const exported = run(args.kxm, ['export', kxm, again]);
  if (exported.status !== 0) {
    fail(name, `kxm export exited ${exported.status}: ${exported.stderr}`);
    continue;
  }
  await validate(name, again);
  const want = await primitivesOf(source.file);
  const back = await primitivesOf(again);
  const inKxm = compare(name, 'the KXM file', want.primitives, primitivesOfKxm(name, kxm));
  const inGlb = compare(name, 'the export again', want.primitives, back.primitives);
  const motion = compareMotion(name, want, back);
  const byBytes = (list) => list.slice().sort(Buffer.compare);
  if (want.images.length !== back.images.length ||
      byBytes(want.images).some((bytes, i) => !bytes.equals(byBytes(back.images)[i]))) {
    fail(name, `the export again holds ${back.images.length} images, not the source's ${want.images.length} byte for byte`);
  }
  figures.push(`${name}: ${inGlb?.primitives} primitives, ${inGlb?.vertices} vertices, ` +
               `${inGlb?.triangles} triangles, ${want.images.length} images, ${motion?.joints} skins, ` +
               `${motion?.channels} channels of ${motion?.keys} keys; ` +
               `${(inKxm?.differences ?? 1) + (inGlb?.differences ?? 1)} differences; ` +
               `warnings ${JSON.stringify(source.warnings)}`);
}

for (const line of figures) console.log(line);
console.log(`${sources.length} models imported, checked, exported again and validated; ${failures.length} failures`);
for (const f of failures) console.log(`FAIL ${f}`);
process.exit(failures.length || figures.length !== sources.length ? 1 : 0);
