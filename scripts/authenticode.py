#!/usr/bin/env python3
"""Prints a PE file's Authenticode digest: what a signature of it signs, computed from the file
alone, so a signed program can be tied to the unsigned one the suites tested.

    scripts/authenticode.py sha1|sha256 FILE

The digest covers every byte but the header's checksum, the certificate table's directory entry
and the certificate table itself: signing changes only those, so a program and its signed copy
have the same digest.
"""
import hashlib
import struct
import sys


def authenticode_digest(data: bytes, algorithm: str) -> str:
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + {0x10B: 96, 0x20B: 112}[magic]
    checksum = optional + 64
    certificate_entry = directories + 4 * 8
    table, size = struct.unpack_from("<II", data, certificate_entry)
    end = table if table and size else len(data)
    digest = hashlib.new(algorithm)
    digest.update(data[:checksum])
    digest.update(data[checksum + 4:certificate_entry])
    digest.update(data[certificate_entry + 8:end])
    return digest.hexdigest().upper()


if __name__ == "__main__":
    with open(sys.argv[2], "rb") as file:
        print(authenticode_digest(file.read(), sys.argv[1]))
