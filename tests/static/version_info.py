#!/usr/bin/env python3
"""Reads a Windows program's version resource (VS_VERSIONINFO) and prints it the way PowerShell's
`(Get-Item FILE).VersionInfo | Format-List` does, which is what the Properties page shows.

    python3 tests/static/version_info.py PROGRAM.exe
"""
import struct
import sys
from dataclasses import dataclass, field
from pathlib import Path

sys.dont_write_bytecode = True   # no __pycache__ in the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))

from pe_resource import resource  # noqa: E402

RT_VERSION, VERSION_ID = 16, 1
FIXED_SIGNATURE = 0xFEEF04BD
VS_FF_DEBUG, VS_FF_PRERELEASE, VS_FF_PATCHED = 0x01, 0x02, 0x04
VS_FF_PRIVATEBUILD, VS_FF_SPECIALBUILD = 0x08, 0x20
LANGUAGES = {0x0804: "Chinese (Simplified, PRC)", 0x0409: "English (United States)",
             0x0000: "Language Neutral"}
# The string names Windows knows, in the order PowerShell lists the properties.
LISTED = ("OriginalFilename", "FileDescription", "ProductName", "Comments", "CompanyName",
          "FileName", "FileVersion", "ProductVersion", "IsDebug", "IsPatched", "IsPreRelease",
          "IsPrivateBuild", "IsSpecialBuild", "Language", "LegalCopyright", "LegalTrademarks",
          "PrivateBuild", "SpecialBuild", "FileVersionRaw", "ProductVersionRaw")


@dataclass
class VersionInfo:
    file_version: tuple
    product_version: tuple
    flags: int
    file_os: int
    file_type: int
    tables: dict = field(default_factory=dict)        # "080404B0" -> {name: text}
    translations: list = field(default_factory=list)  # [(language, code page), ...]

    @property
    def strings(self):
        """The string table the first translation names, as Windows picks it."""
        if not self.translations:
            return {}
        language, code_page = self.translations[0]
        return self.tables.get(f"{language:04X}{code_page:04X}", {})


@dataclass
class Node:
    key: str
    value: bytes
    is_text: bool
    children: list


def _aligned(offset):
    return (offset + 3) & ~3


def _node(data, offset):
    """One block of the resource's tree: length, value length, type, key, value, children."""
    length, value_length, kind = struct.unpack_from("<HHH", data, offset)
    key_end = offset + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[offset + 6:key_end].decode("utf-16-le")
    value_start = _aligned(key_end + 2)
    # A text value's length counts 16-bit units, a binary one's bytes.
    value_end = value_start + (value_length * 2 if kind == 1 else value_length)
    children, child = [], _aligned(value_end)
    while child < offset + length:
        children.append(_node(data, child))
        child = _aligned(child + struct.unpack_from("<H", data, child)[0])
    return Node(key, data[value_start:value_end], kind == 1, children)


def _text(value):
    return value.decode("utf-16-le").rstrip("\0")


def parse(data):
    root = _node(data, 0)
    if root.key != "VS_VERSION_INFO":
        raise ValueError(f"not a version resource: {root.key!r}")
    fixed = struct.unpack("<13I", root.value)
    if fixed[0] != FIXED_SIGNATURE:
        raise ValueError("the fixed file information lacks its signature")
    info = VersionInfo(_numbers(fixed[2], fixed[3]), _numbers(fixed[4], fixed[5]),
                       fixed[7] & fixed[6], fixed[8], fixed[9])
    for block in root.children:
        if block.key == "StringFileInfo":
            for table in block.children:
                info.tables[table.key.upper()] = {s.key: _text(s.value) for s in table.children}
        elif block.key == "VarFileInfo":
            for var in block.children:
                words = struct.unpack(f"<{len(var.value) // 2}H", var.value)
                info.translations += list(zip(words[0::2], words[1::2]))
    return info


def _numbers(most, least):
    return most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF


def read(program):
    """The program's version information, or None when it has no version resource."""
    data = resource(program, RT_VERSION, VERSION_ID)
    return parse(data) if data else None


def listing(program, info):
    """The lines PowerShell prints for the file's VersionInfo."""
    strings = info.strings
    language = info.translations[0][0] if info.translations else None
    values = {
        **{name: strings.get(name, "") for name in LISTED},
        "FileName": str(program),
        "IsDebug": bool(info.flags & VS_FF_DEBUG),
        "IsPatched": bool(info.flags & VS_FF_PATCHED),
        "IsPreRelease": bool(info.flags & VS_FF_PRERELEASE),
        "IsPrivateBuild": bool(info.flags & VS_FF_PRIVATEBUILD),
        "IsSpecialBuild": bool(info.flags & VS_FF_SPECIALBUILD),
        "Language": LANGUAGES.get(language, f"0x{language:04X}") if language is not None else "",
        "FileVersionRaw": ".".join(map(str, info.file_version)),
        "ProductVersionRaw": ".".join(map(str, info.product_version)),
    }
    width = max(map(len, LISTED))
    return [f"{name:<{width}} : {values[name]}" for name in LISTED]


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    program = Path(sys.argv[1])
    info = read(program)
    if info is None:
        print(f"{program} has no version resource", file=sys.stderr)
        return 1
    print("\n".join(listing(program, info)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
