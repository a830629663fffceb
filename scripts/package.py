#!/usr/bin/env python3
"""Writes the release zip into <build>/dist and checks it: the exe, kzv.ico, and the README's
title, introduction and user section as 使用说明.txt (UTF-8 with BOM, CR LF, for Notepad).

Usage: package.py BUILD_DIR
"""
import re
import struct
import sys
import time
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
EXE = "TessalyFontSwitch.exe"
ICON = "kzv.ico"
GUIDE = "使用说明.txt"


def fail(message):
    sys.exit(f"package.sh: FAILED: {message}")


def project_version(build):
    """The project version as CMake configured it into the build."""
    cache = (build / "CMakeCache.txt").read_text(encoding="utf-8")
    match = re.search(r"^CMAKE_PROJECT_VERSION:STATIC=([0-9.]+)$", cache, re.MULTILINE)
    if not match:
        fail(f"no CMAKE_PROJECT_VERSION in {build / 'CMakeCache.txt'}")
    return match[1]


def guide_text(version):
    """The README up to its development section as plain text: headings, list markers, bold,
    code marks and links made plain, picture lines left out."""
    lines = (ROOT / "README.md").read_text(encoding="utf-8").splitlines()
    if "## 开发" not in lines or "## 使用方法" not in lines:
        fail("README.md lacks its '## 使用方法' or '## 开发' heading")
    out = []
    for line in lines[: lines.index("## 开发")]:
        if re.fullmatch(r"\s*!\[[^\]]*\]\([^)]*\)\s*", line):
            continue
        heading = re.match(r"(#+)\s+(.*)", line)
        if heading:
            line = f"{heading[2]} {version}" if len(heading[1]) == 1 else f"【{heading[2]}】"
        line = re.sub(r"^(\s*)[-*+]\s+", r"\1· ", line)
        line = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", line)
        out.append(line.replace("**", "").replace("`", "").rstrip())
    text = re.sub(r"\n{3,}", "\n\n", "\n".join(out)).strip("\n")
    return "\ufeff" + text.replace("\n", "\r\n") + "\r\n"


def fixed_file_version(exe):
    """File and product version numbers from the exe's VS_FIXEDFILEINFO."""
    key = "VS_VERSION_INFO\0".encode("utf-16-le")
    start = exe.find(key)
    signature = exe.find(struct.pack("<I", 0xFEEF04BD), start, start + len(key) + 8)
    if start < 0 or signature < 0:
        fail(f"no version resource in {EXE}")
    file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<4I", exe, signature + 8)
    return dotted(file_ms, file_ls), dotted(product_ms, product_ls)


def dotted(most, least):
    """A version held in two DWORDs of two 16-bit numbers each, as a.b.c.d."""
    return f"{most >> 16}.{most & 0xFFFF}.{least >> 16}.{least & 0xFFFF}"


def check(package, version):
    expected = version + ".0" * (3 - version.count("."))
    with zipfile.ZipFile(package) as archive:
        names = sorted(archive.namelist())
        if names != sorted([EXE, ICON, GUIDE]):
            fail(f"{package.name} holds {names}, expected {EXE}, {ICON}, {GUIDE}")
        if archive.testzip() is not None:
            fail(f"{package.name} has a damaged entry")
        if not archive.getinfo(GUIDE).flag_bits & 0x800:
            fail(f"{GUIDE}'s name is not marked as UTF-8")
        versions = fixed_file_version(archive.read(EXE))
        guide = archive.read(GUIDE)
    if versions != (expected, expected):
        fail(f"{EXE} has file/product version {versions[0]}/{versions[1]}, project is {expected}")
    if not guide.startswith(b"\xef\xbb\xbf") or guide.count(b"\n") != guide.count(b"\r\n"):
        fail(f"{GUIDE} lacks its byte-order mark or has line ends other than CR LF")
    return expected


def main():
    build = Path(sys.argv[1]).resolve()
    version = project_version(build)
    dist = build / "dist"
    dist.mkdir(parents=True, exist_ok=True)
    for old in dist.glob("TessalyFontSwitch-*.zip"):
        old.unlink()
    package = dist / f"TessalyFontSwitch-{version}.zip"
    guide = guide_text(version).encode("utf-8")
    with zipfile.ZipFile(package, "w", zipfile.ZIP_DEFLATED) as archive:
        for name in (EXE, ICON):
            archive.write(build / "bin" / name, name)
        info = zipfile.ZipInfo(GUIDE, time.localtime()[:6])
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = 0o100644 << 16
        archive.writestr(info, guide)
    try:
        exe_version = check(package, version)
    except SystemExit:
        package.unlink()
        raise
    print(f"wrote {package}: {EXE} (version {exe_version}), {ICON}, {GUIDE}")


if __name__ == "__main__":
    main()
