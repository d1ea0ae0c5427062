"""Independent reader and maker of zip archives for the zip tests.

list ARCHIVE [PASSWORD]    entries as JSON, each checked against its CRC
make ARCHIVE KIND          an archive of our own: stored, deflated,
                           descriptor (written as a stream), stub, zip64
"""
import io
import json
import struct
import sys
import zipfile
import zlib

ENTRIES = [("a.txt", b"alpha\n" * 100), ("sub/b.bin", bytes(range(256)) * 8), ("c.txt", b"")]


def extra_fields(raw):
    fields, at = {}, 0
    while at + 4 <= len(raw):
        key, length = struct.unpack_from("<HH", raw, at)
        fields[key] = raw[at + 4:at + 4 + length]
        at += 4 + length
    return fields


def list_archive(path):
    out = []
    with zipfile.ZipFile(path) as z:
        for i in z.infolist():
            raw = i.filename.encode("utf-8" if i.flag_bits & 0x800 else "cp437")
            entry = {
                "name": raw.decode("utf-8", "replace"), "raw": raw.hex(),
                "size": i.file_size, "csize": i.compress_size, "crc": i.CRC,
                "method": i.compress_type, "flags": i.flag_bits,
                "date_time": list(i.date_time), "mode": i.external_attr >> 16,
                "attr": i.external_attr & 0xFFFF, "system": i.create_system,
            }
            ut = extra_fields(i.extra).get(0x5455)
            if ut and ut[0] & 1:
                entry["mtime"] = struct.unpack_from("<i", ut, 1)[0]
            if not i.flag_bits & 1 and i.compress_type in (0, 8):
                data = z.read(i)  # raises on a CRC mismatch
                entry["crc_ok"] = zlib.crc32(data) == i.CRC
                if len(data) <= 256:
                    entry["data"] = data.hex()
            out.append(entry)
    return out


class Stream(io.RawIOBase):
    """A file zipfile cannot seek in, so it writes data descriptors."""

    def __init__(self, f):
        self.f = f

    def writable(self):
        return True

    def write(self, b):
        return self.f.write(b)


def make(path, kind):
    if kind == "stub":
        with open(path, "wb") as f:
            # A stray signature inside the stub: only a reader that starts
            # behind the stub gets the entries right.
            f.write(b"MZ" + b"\0" * 100 + b"PK\3\4" + b"\x90" * (14000 - 106))
        mode = "a"
    else:
        mode = "w"
    method = zipfile.ZIP_STORED if kind == "stored" else zipfile.ZIP_DEFLATED
    if kind == "descriptor":
        with open(path, "wb") as f, zipfile.ZipFile(Stream(f), "w", method) as z:
            for name, data in ENTRIES:
                z.writestr(name, data)
        return
    with zipfile.ZipFile(path, mode, method) as z:
        for name, data in ENTRIES:
            if kind == "zip64":
                with z.open(name, "w", force_zip64=True) as w:
                    w.write(data)
            else:
                z.writestr(name, data)


if __name__ == "__main__":
    if sys.argv[1] == "list":
        print(json.dumps(list_archive(sys.argv[2])))
    else:
        make(sys.argv[2], sys.argv[3])
