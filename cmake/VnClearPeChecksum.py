"""Sets the CheckSum field of Windows images to zero, in place: VnClearPeChecksum.py IMAGE...

The GNU linker always writes a CheckSum, which nothing needs outside drivers; with it zero, the
image's bytes depend on its code and data only, as in the packages the setup program is part of.
"""
import struct
import sys

PE_OFFSET_FIELD = 0x3C  # e_lfanew of the MS-DOS header
CHECKSUM_OFFSET = 4 + 20 + 64  # after "PE\0\0", the file header and 64 bytes of optional header


def clear_checksum(path):
    with open(path, "r+b") as image:
        header = image.read(PE_OFFSET_FIELD + 4)
        if len(header) < PE_OFFSET_FIELD + 4 or header[:2] != b"MZ":
            sys.exit(f"{path}: not a Windows image")
        (pe_offset,) = struct.unpack_from("<I", header, PE_OFFSET_FIELD)
        image.seek(pe_offset)
        headers = image.read(CHECKSUM_OFFSET + 4)
        if len(headers) < CHECKSUM_OFFSET + 4 or headers[:4] != b"PE\0\0":
            sys.exit(f"{path}: no PE header")
        image.seek(pe_offset + CHECKSUM_OFFSET)
        image.write(bytes(4))


for argument in sys.argv[1:]:
    clear_checksum(argument)
