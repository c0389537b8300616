#!/usr/bin/env python3
"""Package archives built and parsed with python's own zlib and bz2, from the layout tables.

  archive_crosscheck.py make DIR
      writes archives of every kind into DIR, and DIR/manifest.json saying what each holds
  archive_crosscheck.py check ARCHIVE MANIFEST
      parses ARCHIVE (written by our writer) and checks every header field, table entry,
      offset and the contents against MANIFEST; prints "ok" or the first difference

MANIFEST (both directions): {"archives": [{"file", "start", "version", "algorithm",
"level", "entries": [{"name", "size", "mode", "mtime", "hex"}]}]}; "file" is relative to
the manifest's directory, "level" is the level asked for (check only), "mode" is what the
reader reports.
"""

import bz2
import json
import os
import random
import struct
import sys
import zlib

MAGIC_V2 = 0x71F5C6B1
MAGIC_V1 = 0xB231F47A
MAGIC_V1_BODY = 0x4152C3C8
MODE_MASK = 0xE1FF


class Mismatch(Exception):
    pass


def expect(what, actual, wanted):
    if actual != wanted:
        raise Mismatch("%s: got %r, expected %r" % (what, actual, wanted))


# ---- building -------------------------------------------------------------------------


def body_v2(entries):
    names = [e["name"].encode("utf-8", "surrogateescape") for e in entries]
    offset = 20 + 18 * len(entries) + sum(len(n) for n in names)
    out = [struct.pack("<I16x", len(entries))]
    for entry, name in zip(entries, names):
        out.append(struct.pack("<HIIII", len(name), offset, entry["size"], entry["mode"],
                               entry["mtime"]))
        out.append(name)
        offset += entry["size"]
    out += [bytes.fromhex(e["hex"]) for e in entries]
    return b"".join(out)


def body_v1(entries):
    offset = 8 + 1040 * len(entries)
    out = [struct.pack("<II", MAGIC_V1_BODY, len(entries))]
    for entry in entries:
        name = entry["name"].encode("utf-8", "surrogateescape")
        read_only = 0 if entry["disk_mode"] & 0o222 else 1
        out.append(name.ljust(1024, b"\0"))
        out.append(struct.pack("<IIII", offset, entry["size"], read_only, entry["mtime"]))
        offset += entry["size"]
    out += [bytes.fromhex(e["hex"]) for e in entries]
    return b"".join(out)


def size_hint(entries):
    t = 1040 * len(entries) + sum(e["size"] + 1040 for e in entries)
    return t + 13 + t // 100


def archive_bytes(kind, entries):
    if kind == "v2-zlib":
        return struct.pack("<IHH", MAGIC_V2, 0x0002, 0) + zlib.compress(body_v2(entries), 6)
    if kind == "v2-bzip2":
        return struct.pack("<IHH", MAGIC_V2, 0x1002, 0) + bz2.compress(body_v2(entries), 9)
    if kind == "v1-zlib":
        return (struct.pack("<II", MAGIC_V1, 1) + struct.pack(">I", size_hint(entries)) +
                zlib.compress(body_v1(entries), 9))
    if kind == "v1-stored":
        return body_v1(entries)
    raise ValueError(kind)


def make_entries(rng, version):
    def entry(name, data, mode, mtime):
        reported = mode & MODE_MASK if version == 2 else (0o666 if mode & 0o222 else 0o444)
        return {"name": name, "size": len(data), "mode": reported, "disk_mode": mode,
                "mtime": mtime, "hex": data.hex()}

    text = "".join("line %d of a source file\n" % i for i in range(2000)).encode()
    noise = bytes(rng.getrandbits(8) for _ in range(70000))
    entries = [
        entry("board_package.xml", b"<package name=\"board\"/>\n", 0o100644, 1700000000),
        entry("src/main.c", text, 0o100664, 1234567890),
        entry("lib/empty.a", b"", 0o100444, 0),
        entry("bin/noise.bin", noise, 0o100755, 4000000000),
        entry("docs/caf\u00e9.txt", b"caf\xc3\xa9\n", 0o100400, 86400),
    ]
    if version == 2:
        entries.append(entry("deep/" + "n" * 295, b"long name\n", 0o100644, 1))
    else:
        entries.append(entry("d/" + "m" * 1021, b"longest name\n", 0o100644, 2))
    return entries


def make(directory):
    rng = random.Random(20240229)
    os.makedirs(directory, exist_ok=True)
    archives = []
    for kind in ("v2-zlib", "v2-bzip2", "v1-zlib", "v1-stored"):
        version = 2 if kind.startswith("v2") else 1
        for start in (0, 777):
            lead = (b"\x7fELF, not an archive\0" * 40)[:start]
            entries = make_entries(rng, version)
            name = "%s-%d.qzArchive" % (kind, start)
            with open(os.path.join(directory, name), "wb") as out:
                out.write(lead + archive_bytes(kind, entries) + b"trailing bytes")
            for e in entries:
                del e["disk_mode"]
            archives.append({"file": name, "start": start, "version": version,
                             "algorithm": 1 if kind == "v2-bzip2" else 0, "entries": entries})
    for kind in ("v2-zlib", "v2-bzip2", "v1-zlib"):
        name = "%s-empty.qzArchive" % kind
        with open(os.path.join(directory, name), "wb") as out:
            out.write(archive_bytes(kind, []))
        archives.append({"file": name, "start": 0, "version": 2 if kind.startswith("v2") else 1,
                         "algorithm": 1 if kind == "v2-bzip2" else 0, "entries": []})
    with open(os.path.join(directory, "manifest.json"), "w") as out:
        json.dump({"archives": archives}, out, indent=1)
    print("made %d archives" % len(archives))


# ---- checking -------------------------------------------------------------------------


def clamped_level(level):
    return 7 if level < 0 else min(level, 9)


def inflate_whole(data, level):
    # A zlib-format stream: the header's level field follows zlib's own mapping.
    expect("zlib method", data[0] & 0x0F, 8)
    expect("zlib header check", (data[0] << 8 | data[1]) % 31, 0)
    level = clamped_level(level)
    expect("zlib level field", data[1] >> 6, 0 if level < 2 else 1 if level < 6 else
           2 if level == 6 else 3)
    decoder = zlib.decompressobj()
    body = decoder.decompress(data) + decoder.flush()
    expect("zlib stream complete", decoder.eof, True)
    expect("bytes after the zlib stream", decoder.unused_data, b"")
    return body


def bunzip_whole(data, level):
    expect("bzip2 block size", data[:4], b"BZh" + str(max(1, clamped_level(level))).encode())
    decoder = bz2.BZ2Decompressor()
    body = decoder.decompress(data)
    expect("bzip2 stream complete", decoder.eof, True)
    expect("bytes after the bzip2 stream", decoder.unused_data, b"")
    return body


def check_contents(body, position, entries):
    for entry in entries:
        data = bytes.fromhex(entry["hex"])
        expect("contents of " + entry["name"], body[position:position + len(data)], data)
        position += len(data)
    expect("decompressed stream length", len(body), position)


def check_v2(raw, expected):
    magic, word, reserved = struct.unpack_from("<IHH", raw)
    expect("magic", magic, MAGIC_V2)
    expect("format word", word, expected["algorithm"] << 12 | 2)
    expect("reserved header word", reserved, 0)
    unpack = inflate_whole if expected["algorithm"] == 0 else bunzip_whole
    body = unpack(raw[8:], expected["level"])
    entries = expected["entries"]
    count, = struct.unpack_from("<I", body)
    expect("number of files", count, len(entries))
    expect("reserved block", body[4:20], b"\0" * 16)
    names = [e["name"].encode("utf-8", "surrogateescape") for e in entries]
    offset = 20 + 18 * count + sum(len(n) for n in names)
    position = 20
    for entry, name in zip(entries, names):
        fields = struct.unpack_from("<HIIII", body, position)
        expect("entry of " + entry["name"], fields,
               (len(name), offset, entry["size"], entry["mode"], entry["mtime"]))
        position += 18
        expect("name", body[position:position + len(name)], name)
        position += len(name)
        offset += entry["size"]
    check_contents(body, position, entries)


def check_v1(raw, expected):
    entries = expected["entries"]
    magic, one = struct.unpack_from("<II", raw)
    expect("magic", magic, MAGIC_V1)
    expect("version word", one, 1)
    expect("size hint", struct.unpack_from(">I", raw, 8)[0], size_hint(entries))
    body = inflate_whole(raw[12:], expected["level"])
    expect("body magic and count", struct.unpack_from("<II", body), (MAGIC_V1_BODY, len(entries)))
    offset = 8 + 1040 * len(entries)
    position = 8
    for entry in entries:
        name = entry["name"].encode("utf-8", "surrogateescape")
        expect("name field", body[position:position + 1024], name.ljust(1024, b"\0"))
        read_only = 0 if entry["mode"] & 0o222 else 1
        expect("entry of " + entry["name"], struct.unpack_from("<IIII", body, position + 1024),
               (offset, entry["size"], read_only, entry["mtime"]))
        position += 1040
        offset += entry["size"]
    check_contents(body, position, entries)


def check(path, manifest_path):
    with open(manifest_path) as f:
        expected = json.load(f)["archives"][0]
    with open(path, "rb") as f:
        raw = f.read()[expected.get("start", 0):]
    try:
        (check_v2 if expected["version"] == 2 else check_v1)(raw, expected)
    except (Mismatch, zlib.error, OSError, struct.error) as error:
        print("mismatch: %s" % error)
        return 1
    print("ok")
    return 0


def main(argv):
    if len(argv) == 3 and argv[1] == "make":
        make(argv[2])
        return 0
    if len(argv) == 4 and argv[1] == "check":
        return check(argv[2], argv[3])
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
