#!/usr/bin/env python3
"""Compares the images embedded in two GLB files byte for byte.

    same_glb_images.py EXPECTED.glb ACTUAL.glb

Exits 0 when both hold the same number of images (at least one) and each equals the other's,
1 otherwise, saying which differs and where. Prints each image's size and SHA-256.
"""
import hashlib
import json
import struct
import sys


def images(path):
    data = open(path, "rb").read()
    magic, _, length = struct.unpack_from("<4sII", data, 0)
    if magic != b"glTF" or length != len(data):
        raise SystemExit(f"{path}: not a whole GLB")
    chunks, at = {}, 12
    while at + 8 <= len(data):
        size, kind = struct.unpack_from("<I4s", data, at)
        chunks[kind] = data[at + 8 : at + 8 + size]
        at += 8 + size
    document = json.loads(chunks[b"JSON"])
    binary = chunks.get(b"BIN\x00", b"")
    found = []
    for image in document.get("images", []):
        if "bufferView" not in image:
            raise SystemExit(f"{path}: an image is not embedded: {image}")
        view = document["bufferViews"][image["bufferView"]]
        start = view.get("byteOffset", 0)
        found.append(binary[start : start + view["byteLength"]])
    return found


def main():
    expected, actual = images(sys.argv[1]), images(sys.argv[2])
    if not expected:
        print(f"{sys.argv[1]}: no image embedded")
        return 1
    if len(expected) != len(actual):
        print(f"{len(expected)} images in {sys.argv[1]}, {len(actual)} in {sys.argv[2]}")
        return 1
    for i, (a, b) in enumerate(zip(expected, actual)):
        if a != b:
            at = next((k for k in range(min(len(a), len(b))) if a[k] != b[k]), min(len(a), len(b)))
            print(f"image {i}: {len(a)} bytes against {len(b)}, first difference at byte {at}")
            return 1
        print(f"image {i}: {len(a)} bytes, sha256 {hashlib.sha256(a).hexdigest()}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
