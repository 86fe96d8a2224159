"""Writes the seed corpora of the model readers: small OBJ files (with a material library
after a NUL byte, as the OBJ target takes it) and small 3DS files built chunk by chunk."""
import os
import struct
import sys


def chunk(cid, body):
    return struct.pack("<HI", cid, len(body) + 6) + body


def box_3ds(material=True):
    verts = struct.pack("<H", 4) + struct.pack("<12f", 0, 0, 0, 2, 0, 0, 2, 3, 0, 0, 3, 1)
    faces = struct.pack("<H", 2) + struct.pack("<8H", 0, 1, 2, 0, 0, 2, 3, 0)
    if material:
        faces += chunk(0x4130, b"gold\0" + struct.pack("<HH", 1, 1))
    uv = struct.pack("<H", 4) + struct.pack("<8f", 0, 0, 1, 0, 1, 1, 0, 1)
    mesh = chunk(0x4100, chunk(0x4110, verts) + chunk(0x4120, faces) + chunk(0x4140, uv))
    obj = chunk(0x4000, b"box\0" + mesh)
    mat = chunk(0xAFFF, chunk(0xA000, b"gold\0") + chunk(0xA020, chunk(0x0011, b"\xff\xc0\x10"))) if material else b""
    return chunk(0x4D4D, chunk(0x0002, struct.pack("<I", 3)) + chunk(0x3D3D, mat + obj))


def main(root):
    obj_dir = os.path.join(root, "fuzz_obj")
    tds_dir = os.path.join(root, "fuzz_3ds")
    os.makedirs(obj_dir, exist_ok=True)
    os.makedirs(tds_dir, exist_ok=True)
    objs = {
        "quad.obj": b"v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nf 1 2 3 4\n",
        "slashes.obj": b"v 0 0 0\nv 1 0 0\nv 1 1 0\nvn 0 0 1\nf 1/1/1 2//1 3/2\nf -3 -2 -1\n",
        "materials.obj": b"mtllib m.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 2 2\n"
                         b"usemtl red\nf 1 2 3\nusemtl blue\nf 1 2 3 4 5\n\0"
                         b"newmtl red\nKa 0.1 0 0\nKd 1 0 0\nKs 1 1 1\nNs 20\nnewmtl blue\nKd 0 0 1\n",
        "bad-faces.obj": b"v 0 0 0\nv 1 0 0\nf 1 2 99\nf 0 1 2\nf 1\nf a b c\n# end",
    }
    for name, data in objs.items():
        with open(os.path.join(obj_dir, name), "wb") as f:
            f.write(data)
    for name, data in {"box.3ds": box_3ds(), "plain.3ds": box_3ds(False),
                       "cut.3ds": box_3ds()[:70]}.items():
        with open(os.path.join(tds_dir, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
