#!/usr/bin/python3
"""Checks shipped PE files as release pipelines do: ASLR with high entropy, NX,
no section both writable and executable, no debug sections or symbol table
left in, a CodeView record naming the PDB (no build path) in every file with
code, an Authenticode signature exactly when signing was asked for, and no
Control Flow Guard flag (the tool chain cannot build the loader's tables).

    pe_check.py [--signed] FILE...

Run by the system interpreter: Debian's python3-pefile is installed for it.
Prints one line per file; exits 1 when any check fails.
"""
import argparse
import sys

import pefile

DYNAMIC_BASE = 0x0040
HIGH_ENTROPY_VA = 0x0020
NX_COMPAT = 0x0100
GUARD_CF = 0x4000
SCN_EXECUTE = 0x20000000
SCN_WRITE = 0x80000000
WIN_CERT_TYPE_PKCS_SIGNED_DATA = 0x0002
DEBUG_TYPE_CODEVIEW = 2


def section_name(section):
    return section.Name.rstrip(b"\0").decode("ascii", "replace")


def codeview_pdb_name(pe):
    for entry in getattr(pe, "DIRECTORY_ENTRY_DEBUG", []):
        if entry.struct.Type == DEBUG_TYPE_CODEVIEW and entry.entry is not None:
            name = getattr(entry.entry, "PdbFileName", b"")
            return name.rstrip(b"\0").decode("utf-8", "replace")
    return None


def signature_type(pe):
    security = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]]
    if security.VirtualAddress == 0 or security.Size < 8:
        return None
    # The security directory's address is a file offset: WIN_CERTIFICATE there.
    return pe.get_word_from_offset(security.VirtualAddress + 6)


def problems(path, signed):
    pe = pefile.PE(path)
    found = []
    flags = pe.OPTIONAL_HEADER.DllCharacteristics
    for name, bit in (("DYNAMIC_BASE", DYNAMIC_BASE), ("HIGH_ENTROPY_VA", HIGH_ENTROPY_VA),
                      ("NX_COMPAT", NX_COMPAT)):
        if not flags & bit:
            found.append("no " + name)
    if flags & GUARD_CF:
        found.append("GUARD_CF set, but the build makes no Control Flow Guard tables")
    has_code = False
    for section in pe.sections:
        name = section_name(section)
        if section.Characteristics & SCN_EXECUTE:
            has_code = has_code or section.SizeOfRawData > 0
            if section.Characteristics & SCN_WRITE:
                found.append("section %s is writable and executable" % name)
        if name.startswith(".debug") or name.startswith("/"):
            found.append("debug section %s left in" % name)
    if pe.FILE_HEADER.NumberOfSymbols:
        found.append("a COFF symbol table left in")
    if has_code:
        pdb = codeview_pdb_name(pe)
        if not pdb:
            found.append("no CodeView record naming its PDB")
        elif "/" in pdb or "\\" in pdb:
            found.append("the CodeView record names a build path: " + pdb)
    certificate = signature_type(pe)
    if signed and certificate != WIN_CERT_TYPE_PKCS_SIGNED_DATA:
        found.append("no Authenticode signature")
    if not signed and certificate is not None:
        found.append("signed, though signing was not asked for")
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--signed", action="store_true", help="every file must carry an Authenticode signature")
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()
    failed = False
    for path in args.files:
        found = problems(path, args.signed)
        failed = failed or bool(found)
        print("%s: %s" % (path, "; ".join(found) if found else "hardened"))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
