# Makes, in Blender, the kind of model our users bring back from it: a column of quads skinned
# to a chain of three bones (two weights where bones meet), bent by keyframes, textured with an
# image made here, and exports it with Blender's own glTF exporter.
#
#   blender -b --factory-startup --python-exit-code 1 --python blender-model.py -- OUT.glb
import math
import os
import sys

import bpy

out = os.path.abspath(sys.argv[sys.argv.index("--") + 1])

# The factory scene's cube, camera and light go: only what we make is exported.
for thing in list(bpy.data.objects):
    bpy.data.objects.remove(thing, do_unlink=True)

# The column: RINGS rings of SIDES corners from z = 0 to z = HEIGHT, each ring a little turned so
# that no two vertices share a position.
SIDES, RINGS, HEIGHT = 6, 7, 3.0
vertices, faces = [], []
for r in range(RINGS):
    z = HEIGHT * r / (RINGS - 1)
    for s in range(SIDES):
        a = 2 * math.pi * s / SIDES + 0.05 * r
        vertices.append((0.4 * math.cos(a), 0.3 * math.sin(a), z))
for r in range(RINGS - 1):
    for s in range(SIDES):
        a, b = r * SIDES + s, r * SIDES + (s + 1) % SIDES
        faces.append((a, b, b + SIDES, a + SIDES))
faces.append(tuple(reversed(range(SIDES))))  # the bottom cap, an n-gon the exporter splits
mesh = bpy.data.meshes.new("Column")
mesh.from_pydata(vertices, [], faces)
uv = mesh.uv_layers.new(name="UVMap")
for loop in mesh.loops:
    v = mesh.vertices[loop.vertex_index]
    s = (loop.vertex_index % SIDES) / SIDES
    uv.data[loop.index].uv = (s, v.co.z / HEIGHT)
mesh.update()
column = bpy.data.objects.new("Column", mesh)
bpy.context.scene.collection.objects.link(column)

# The texture: an 8 x 8 image of four colours with an alpha of 0.5 in one corner, saved as PNG.
image = bpy.data.images.new("Stripes", 8, 8, alpha=True)
pixels = []
for y in range(8):
    for x in range(8):
        colour = [(0.9, 0.2, 0.1), (0.1, 0.7, 0.2), (0.2, 0.3, 0.9), (0.9, 0.9, 0.1)][(x // 2) % 4]
        pixels += [*colour, 0.5 if x < 2 and y < 2 else 1.0]
image.pixels = pixels
image.filepath_raw = os.path.join(os.path.dirname(out), "stripes.png")
image.file_format = "PNG"
image.save()
material = bpy.data.materials.new("Painted")
material.use_nodes = True
shader = material.node_tree.nodes["Principled BSDF"]
texture = material.node_tree.nodes.new("ShaderNodeTexImage")
texture.image = image
material.node_tree.links.new(texture.outputs["Color"], shader.inputs["Base Color"])
mesh.materials.append(material)

# The bones, one above the other; each vertex weighted to the bone of its height, and to both
# where they meet.
armature = bpy.data.armatures.new("Rig")
rig = bpy.data.objects.new("Rig", armature)
bpy.context.scene.collection.objects.link(rig)
bpy.context.view_layer.objects.active = rig
bpy.ops.object.mode_set(mode="EDIT")
parent = None
for i, name in enumerate(["Hip", "Spine", "Neck"]):
    bone = armature.edit_bones.new(name)
    bone.head = (0, 0, i * HEIGHT / 3)
    bone.tail = (0, 0, (i + 1) * HEIGHT / 3)
    bone.parent = parent
    bone.use_connect = parent is not None
    parent = bone
bpy.ops.object.mode_set(mode="OBJECT")
groups = [column.vertex_groups.new(name=name) for name in ["Hip", "Spine", "Neck"]]
for v in mesh.vertices:
    at = v.co.z / (HEIGHT / 3)
    low = min(int(at), 2)
    share = at - low
    if share < 0.25 or low == 2:
        groups[low].add([v.index], 1.0, "REPLACE")
    else:
        groups[low].add([v.index], 1.0 - share, "REPLACE")
        groups[low + 1].add([v.index], share, "REPLACE")
column.parent = rig
column.modifiers.new("Rig", "ARMATURE").object = rig

# The animation: the spine and the neck bend over 40 frames, the hip moves.
bpy.ops.object.mode_set(mode="POSE")
for frame, bend, lift in [(1, 0.0, 0.0), (20, 0.6, 0.2), (40, -0.3, 0.0)]:
    for name, angle in [("Spine", bend), ("Neck", -bend / 2)]:
        pose = rig.pose.bones[name]
        pose.rotation_mode = "QUATERNION"
        pose.rotation_quaternion = (math.cos(angle / 2), math.sin(angle / 2), 0, 0)
        pose.keyframe_insert("rotation_quaternion", frame=frame)
    hip = rig.pose.bones["Hip"]
    hip.location = (0, lift, 0)
    hip.keyframe_insert("location", frame=frame)
bpy.ops.object.mode_set(mode="OBJECT")
bpy.context.scene.frame_start, bpy.context.scene.frame_end = 1, 40

bpy.ops.export_scene.gltf(filepath=out, export_format="GLB", export_skins=True,
                          export_animations=True, export_materials="EXPORT")
print("blender-model: wrote", out)
