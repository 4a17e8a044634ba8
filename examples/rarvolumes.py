#!/usr/bin/env python3
"""Writes uncompressed RAR 4 multi-volume sets for the demo catalog.

7-Zip can read RAR archives but not create them, and the demo needs real RAR volume sets to show how the
program downloads and unpacks them. The stored (uncompressed) RAR 4 layout is simple enough to write
directly: a marker block, a main header flagged as a volume, one file header per file followed by its
bytes, and an end-of-archive block that says whether another volume follows. Files are never split across
volumes, so every volume is a complete, checkable archive of its own files.

Usage: rarvolumes.py STYLE OUTPUT_BASE SOURCE_DIR FILE... [-- FILE...]...
  STYLE        "part" writes OUTPUT_BASE.part1.rar, OUTPUT_BASE.part2.rar, ...;
               "old" writes OUTPUT_BASE.rar, OUTPUT_BASE.r00, OUTPUT_BASE.r01, ...
  SOURCE_DIR   folder the FILE paths are relative to (they are stored with these relative paths)
  FILE...      the files of one volume; "--" starts the next volume
"""

import struct
import sys
import zlib
from pathlib import Path

MARKER = b"Rar!\x1a\x07\x00"

MAIN_HEAD = 0x73
FILE_HEAD = 0x74
END_HEAD = 0x7B

MHD_VOLUME = 0x0001
MHD_NEWNUMBERING = 0x0010
MHD_FIRSTVOLUME = 0x0100

LHD_LONG_BLOCK = 0x8000

EARC_NEXT_VOLUME = 0x0001
EARC_VOLNUMBER = 0x0008

HOST_WIN32 = 2
UNPACK_VERSION = 29
METHOD_STORE = 0x30
ATTRIBUTE_ARCHIVE = 0x20

# 2024-05-01 12:00:00 as a DOS time stamp, so that repeated builds write identical volumes.
DOS_TIME = ((2024 - 1980) << 25) | (5 << 21) | (1 << 16) | (12 << 11)


def block(head_type: int, flags: int, body: bytes) -> bytes:
    """A header block: its CRC covers everything after the CRC field itself."""
    rest = struct.pack("<BHH", head_type, flags, 7 + len(body)) + body
    return struct.pack("<H", zlib.crc32(rest) & 0xFFFF) + rest


def main_header(flags: int) -> bytes:
    return block(MAIN_HEAD, flags, struct.pack("<HI", 0, 0))


def file_header(stored_name: str, data: bytes) -> bytes:
    name = stored_name.encode("ascii")
    body = struct.pack(
        "<IIBIIBBHI",
        len(data),  # packed size
        len(data),  # unpacked size
        HOST_WIN32,
        zlib.crc32(data) & 0xFFFFFFFF,
        DOS_TIME,
        UNPACK_VERSION,
        METHOD_STORE,
        len(name),
        ATTRIBUTE_ARCHIVE,
    )
    return block(FILE_HEAD, LHD_LONG_BLOCK, body + name)


def end_header(volume_index: int, more_follow: bool) -> bytes:
    flags = EARC_VOLNUMBER | (EARC_NEXT_VOLUME if more_follow else 0)
    return block(END_HEAD, flags, struct.pack("<H", volume_index))


def volume_name(style: str, base: str, index: int) -> str:
    if style == "part":
        return f"{base}.part{index + 1}.rar"
    return f"{base}.rar" if index == 0 else f"{base}.r{index - 1:02d}"


def write_set(style: str, base: str, source: Path, volumes: list) -> list:
    written = []
    for index, files in enumerate(volumes):
        flags = MHD_VOLUME | (MHD_NEWNUMBERING if style == "part" else 0)
        if index == 0:
            flags |= MHD_FIRSTVOLUME
        out = bytearray(MARKER + main_header(flags))
        for relative in files:
            data = (source / relative).read_bytes()
            # RAR 4 archives made on Windows separate folders with backslashes; every extractor expects it.
            out += file_header(relative.replace("/", "\\"), data) + data
        out += end_header(index, index + 1 < len(volumes))
        path = volume_name(style, base, index)
        Path(path).write_bytes(bytes(out))
        written.append(path)
    return written


def parse_arguments(argv: list):
    if len(argv) < 4 or argv[0] not in ("part", "old"):
        sys.exit(__doc__)
    style, base, source = argv[0], argv[1], Path(argv[2])
    volumes, current = [], []
    for argument in argv[3:]:
        if argument == "--":
            volumes.append(current)
            current = []
        else:
            current.append(argument)
    volumes.append(current)
    if len(volumes) < 2 or any(not files for files in volumes):
        sys.exit("rarvolumes.py: a set needs at least two volumes, each with at least one file")
    return style, base, source, volumes


if __name__ == "__main__":
    for written in write_set(*parse_arguments(sys.argv[1:])):
        print(written)
