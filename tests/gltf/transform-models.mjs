// Models made by glTF Transform, a tool that is not ours, in the shapes other tools write: what
// kxm import must read (interleaved and strided attributes, normalized integers, sparse
// accessors, no indices or 8-bit ones, several roots, a mesh on two nodes, step and cubic spline
// animations, a skin of 16-bit joints) and what it must leave out with its coded warning (a
// camera, a light, a morph target). Some are passed through glTF Transform's own functions
// (dedup, weld, quantize, sparse) as a user's pipeline would.
//
// Each entry: { name, file, warnings: "CODE WORDS" for each warning kxm import must say (its code,
// and words its message holds), no more }.
import fs from 'node:fs';
import path from 'node:path';
import { Document, Logger, NodeIO, VertexLayout } from '@gltf-transform/core';
import { KHRLightsPunctual, KHRMeshQuantization } from '@gltf-transform/extensions';
import { dedup, quantize, sparse, weld } from '@gltf-transform/functions';
import { PNG } from 'pngjs';

// A column of `rings` rings of `sides` corners, each ring turned a little so that no two
// corners meet; its quads as triangles.
function column(sides = 5, rings = 4) {
  const positions = [];
  const triangles = [];
  for (let r = 0; r < rings; ++r) {
    for (let s = 0; s < sides; ++s) {
      const a = (2 * Math.PI * s) / sides + 0.1 * r;
      positions.push(0.5 * Math.cos(a), r * 0.75, 0.4 * Math.sin(a) + 0.125);
    }
  }
  for (let r = 0; r + 1 < rings; ++r) {
    for (let s = 0; s < sides; ++s) {
      const a = r * sides + s;
      const b = r * sides + ((s + 1) % sides);
      triangles.push(a, b + sides, b, a, a + sides, b + sides);
    }
  }
  return { positions, triangles, count: positions.length / 3 };
}

function accessor(doc, type, array, normalized = false) {
  return doc.createAccessor().setType(type).setArray(array).setNormalized(normalized)
    .setBuffer(doc.getRoot().listBuffers()[0]);
}

function begin() {
  const doc = new Document().setLogger(new Logger(Logger.Verbosity.WARN));
  doc.createBuffer();
  doc.getRoot().setDefaultScene(doc.createScene('Scene'));
  return doc;
}

function place(doc, node) {
  doc.getRoot().getDefaultScene().addChild(node);
  return node;
}

// A primitive of the column, indexed with `Indices` (null: none; the corners drawn in order).
function columnPrimitive(doc, Indices = Uint16Array, shape = column()) {
  const prim = doc.createPrimitive();
  if (Indices) {
    prim.setAttribute('POSITION', accessor(doc, 'VEC3', new Float32Array(shape.positions)));
    prim.setIndices(accessor(doc, 'SCALAR', new Indices(shape.triangles)));
  } else {
    const flat = shape.triangles.flatMap((i) => shape.positions.slice(3 * i, 3 * i + 3));
    prim.setAttribute('POSITION', accessor(doc, 'VEC3', new Float32Array(flat)));
  }
  return prim;
}

function texturePng(width, height) {
  const png = new PNG({ width, height });
  for (let i = 0; i < width * height; ++i) png.data.set([(i * 40) % 256, 255 - i * 8, 90, 255], 4 * i);
  return PNG.sync.write(png);
}

// Normalized 16-bit texture coordinates and 8-bit colours, a textured material, interleaved.
function normalized(doc) {
  const shape = column();
  const prim = columnPrimitive(doc, Uint16Array, shape);
  const uv = new Uint16Array(shape.count * 2).map((_, i) => (i * 4099) % 65536);
  prim.setAttribute('TEXCOORD_0', accessor(doc, 'VEC2', uv, true));
  const colours = new Uint8Array(shape.count * 4).map((_, i) => (i * 37) % 256);
  prim.setAttribute('COLOR_0', accessor(doc, 'VEC4', colours, true));
  const texture = doc.createTexture('Bricks').setImage(texturePng(4, 4)).setMimeType('image/png');
  prim.setMaterial(doc.createMaterial('Brick').setBaseColorTexture(texture));
  place(doc, doc.createNode('Wall').setMesh(doc.createMesh('Wall').addPrimitive(prim)));
}

// Two meshes, each with an image of its own, the two images of one name.
function sameNames(doc) {
  for (const [n, side] of [[0, 4], [1, 8]]) {
    const prim = columnPrimitive(doc);
    const count = prim.getAttribute('POSITION').getCount();
    prim.setAttribute('TEXCOORD_0', accessor(doc, 'VEC2', new Float32Array(count * 2).fill(0.5)));
    const texture = doc.createTexture('Bricks').setImage(texturePng(side, side)).setMimeType('image/png');
    prim.setMaterial(doc.createMaterial(`Brick${n}`).setBaseColorTexture(texture));
    place(doc, doc.createNode(`Wall${n}`).setMesh(doc.createMesh(`Wall${n}`).addPrimitive(prim)));
  }
}

// Positions mostly zero (one vertex in three kept), written sparse as asked, or left for
// glTF Transform's sparse() to find.
function mostlyZero(doc, flagged) {
  const shape = column();
  const prim = columnPrimitive(doc, Uint16Array, shape);
  const flat = new Float32Array(shape.positions.length);
  for (let i = 0; i < flat.length; i += 9) flat.set(shape.positions.slice(i, i + 3), i);
  prim.getAttribute('POSITION').setArray(flat).setSparse(flagged);
  place(doc, doc.createNode('Sparse').setMesh(doc.createMesh('Sparse').addPrimitive(prim)));
}

// Three roots, one mesh drawn by two of them, one of those a child with a transform.
function roots(doc) {
  const shared = doc.createMesh('Shared').addPrimitive(columnPrimitive(doc, Uint8Array));
  place(doc, doc.createNode('Left').setMesh(shared).setTranslation([-2, 0, 0]));
  const right = place(doc, doc.createNode('Right').setTranslation([2, 0, 1]).setScale([1, 2, 1]));
  right.addChild(doc.createNode('RightChild').setMesh(shared).setRotation([0, 0.6, 0, 0.8]));
  place(doc, doc.createNode('Alone').setMesh(doc.createMesh('Own').addPrimitive(columnPrimitive(doc, null))));
}

function animate(doc, node, pathName, interpolation, times, values, name) {
  const sampler = doc.createAnimationSampler().setInterpolation(interpolation)
    .setInput(accessor(doc, 'SCALAR', new Float32Array(times)))
    .setOutput(accessor(doc, pathName === 'rotation' ? 'VEC4' : 'VEC3', new Float32Array(values)));
  const channel = doc.createAnimationChannel().setTargetNode(node).setTargetPath(pathName).setSampler(sampler);
  doc.createAnimation(name).addSampler(sampler).addChannel(channel);
}

// Step keys, and cubic spline keys (in-tangent, value, out-tangent each) that come in sampled.
function animated(doc) {
  const node = place(doc, doc.createNode('Mover').setMesh(doc.createMesh('Mover').addPrimitive(columnPrimitive(doc))));
  animate(doc, node, 'translation', 'STEP', [0, 0.5, 1.25], [0, 0, 0, 1, 0, 0, 1, 2, 0], 'Steps');
  const s = Math.SQRT1_2;
  animate(doc, node, 'rotation', 'CUBICSPLINE', [0, 1],
          [0, 0, 0, 0, 0, 0, 0, 1, 0, 0.1, 0, 0, 0, 0, 0, 0, 0, s, 0, s, 0, 0, 0, 0], 'Spline');
}

// A camera, a light and a morph target: none has a place in the model.
function leftOut(doc) {
  const prim = columnPrimitive(doc);
  const delta = new Float32Array(prim.getAttribute('POSITION').getCount() * 3).fill(0.25);
  prim.addTarget(doc.createPrimitiveTarget().setAttribute('POSITION', accessor(doc, 'VEC3', delta)));
  place(doc, doc.createNode('Morph').setMesh(doc.createMesh('Morph').addPrimitive(prim).setWeights([0.5])));
  const camera = doc.createCamera('Eye').setType('perspective').setYFov(0.8).setZNear(0.1).setZFar(50);
  place(doc, doc.createNode('Camera').setCamera(camera).setTranslation([0, 1, 5]));
  const light = doc.createExtension(KHRLightsPunctual).createLight('Sun').setType('directional');
  place(doc, doc.createNode('Light').setExtension('KHR_lights_punctual', light));
}

// Two bones, 16-bit joints, weights as normalized bytes.
function skinned(doc) {
  const shape = column();
  const prim = columnPrimitive(doc, Uint16Array, shape);
  const joints = new Uint16Array(shape.count * 4);
  const weights = new Uint8Array(shape.count * 4);
  for (let v = 0; v < shape.count; ++v) {
    const high = shape.positions[3 * v + 1] / 2.25;
    joints.set([0, 1, 0, 0], 4 * v);
    const w = Math.round(255 * high);
    weights.set([255 - w, w, 0, 0], 4 * v);
  }
  prim.setAttribute('JOINTS_0', accessor(doc, 'VEC4', joints));
  prim.setAttribute('WEIGHTS_0', accessor(doc, 'VEC4', weights, true));
  const base = place(doc, doc.createNode('Base'));
  const top = doc.createNode('Top').setTranslation([0, 1.5, 0]);
  base.addChild(top);
  const inverse = new Float32Array([1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1,
                                    1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -1.5, 0, 1]);
  const skin = doc.createSkin('Body').addJoint(base).addJoint(top)
    .setInverseBindMatrices(accessor(doc, 'MAT4', inverse));
  place(doc, doc.createNode('Body').setMesh(doc.createMesh('Body').addPrimitive(prim)).setSkin(skin));
}

// Unindexed triangles whose corners repeat, as an exporter without an index buffer writes
// them, two materials that are one; dedup and weld make them indexed and shared.
function duplicated(doc) {
  const mesh = doc.createMesh('Twice');
  for (let m = 0; m < 2; ++m) {
    const prim = columnPrimitive(doc, null, column(4, 3 + m));
    prim.setMaterial(doc.createMaterial(`Grey${m}`).setBaseColorFactor([0.5, 0.5, 0.5, 1]));
    mesh.addPrimitive(prim);
  }
  place(doc, doc.createNode('Twice').setMesh(mesh));
}

const MODELS = [
  { name: 'interleaved', make: normalized, layout: VertexLayout.INTERLEAVED },
  { name: 'separate', make: normalized, layout: VertexLayout.SEPARATE },
  { name: 'sparse', make: (doc) => mostlyZero(doc, true) },
  { name: 'roots', make: roots },
  { name: 'animated', make: animated, warnings: ['keys-sampled cubic spline'] },
  { name: 'left-out', make: leftOut,
    warnings: ['import-left-out camera', 'import-left-out KHR_lights_punctual', 'import-left-out morph target'] },
  { name: 'skinned', make: skinned },
  { name: 'same-names', make: sameNames, warnings: ['texture-kept another image is named Bricks.png'] },
  { name: 'dedup-weld', make: duplicated, passes: [dedup(), weld()] },
  { name: 'quantized', make: normalized, passes: [quantize({ quantizePosition: 14 })] },
  { name: 'sparse-pass', make: (doc) => mostlyZero(doc, false), passes: [sparse({ ratio: 0.5 })] },
  { name: 'gltf', make: roots, ext: 'gltf' },
];

export async function makeTransformModels(dir) {
  fs.mkdirSync(dir, { recursive: true });
  const made = [];
  for (const model of MODELS) {
    const doc = begin();
    model.make(doc);
    if (model.passes) await doc.transform(...model.passes);
    const io = new NodeIO().registerExtensions([KHRLightsPunctual, KHRMeshQuantization])
      .setVertexLayout(model.layout ?? VertexLayout.INTERLEAVED);
    const file = path.join(dir, `${model.name}.${model.ext ?? 'glb'}`);
    await io.write(file, doc);
    made.push({ name: model.name, file, warnings: model.warnings ?? [] });
  }
  return made;
}
