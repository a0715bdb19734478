#!/usr/bin/env python3
"""Byte-level edits of a package: the stub program (a PE image), zero padding, the archive body,
its 4-byte length and the 128-byte signature block, then perhaps a certificate table.

usage: package_edit.py unaligned STUB PACKAGE OUT PRIVATE.pem
           An unsigned package whose size is not a multiple of 8: the zero padding between the
           stub and the archive body is dropped (a single zero byte takes its place when the
           size would still be aligned), the CheckSum is set to zero and the package block is
           signed again with the private key.
       package_edit.py damage-archive STUB PACKAGE OUT
           One bit changed in the middle of the archive body.
       package_edit.py change-checksum STUB PACKAGE OUT
           One bit changed in the PE CheckSum field.
"""
import hashlib
import os
import struct
import subprocess
import sys

BLOCK = 128
TAIL = 4 + BLOCK
SECURITY_DIRECTORY = 4


class PeHeader:
    def __init__(self, data):
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[:2] != b"MZ" or data[pe : pe + 4] != b"PE\0\0":
            raise SystemExit("not a PE file")
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        self.checksum = optional + 64
        self.security = directories + 8 * SECURITY_DIRECTORY

    def certificate_table(self, data):
        return struct.unpack_from("<II", data, self.security)


def signature_block(digest, private_key):
    """The RSA block over the MD5 digest: the key's raw private operation (a decryption without
    padding, as `pkeyutl -sign` takes hashes only) on the little-endian plaintext: digest, zeros,
    its length, the last-block flag."""
    plaintext = bytearray(BLOCK)
    plaintext[: len(digest)] = digest
    plaintext[126], plaintext[127] = len(digest), 0x01
    raw_private = ["openssl", "pkeyutl", "-decrypt", "-pkeyopt", "rsa_padding_mode:none"]
    signed = subprocess.run(
        raw_private + ["-inkey", private_key],
        input=bytes(reversed(plaintext)),
        capture_output=True,
        check=True,
    ).stdout
    if len(signed) != BLOCK:
        raise SystemExit("the private key is not a 1024-bit RSA key")
    return bytes(reversed(signed))


def unaligned(data, header, stub_size, private_key):
    if header.certificate_table(data) != (0, 0):
        raise SystemExit("the package must be unsigned")
    # A signed package's digest reads the CheckSum as zero; so does an unsigned one's here.
    struct.pack_into("<I", data, header.checksum, 0)
    length_at = len(data) - TAIL
    start = length_at - struct.unpack_from("<I", data, length_at)[0]
    if any(data[stub_size:start]):
        raise SystemExit("the bytes between the stub and the archive body are not zero padding")
    body = data[start:-BLOCK]
    padding = b"\0" if (stub_size + len(body) + BLOCK) % 8 == 0 else b""
    unsigned = data[:stub_size] + padding + body
    return unsigned + signature_block(hashlib.md5(unsigned).digest(), private_key)


def damage_archive(data, header, stub_size):
    offset, size = header.certificate_table(data)
    end = offset if size else len(data)
    data[(stub_size + end - TAIL) // 2] ^= 1
    return data


def change_checksum(data, header, stub_size):
    data[header.checksum] ^= 1
    return data


EDITS = {
    "unaligned": lambda data, header, stub_size: unaligned(data, header, stub_size, sys.argv[5]),
    "damage-archive": damage_archive,
    "change-checksum": change_checksum,
}

edit, stub, package, out = sys.argv[1:5]
data = bytearray(open(package, "rb").read())
open(out, "wb").write(EDITS[edit](data, PeHeader(data), os.path.getsize(stub)))
