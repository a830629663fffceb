#!/usr/bin/env python3
"""Writes the release zip into <build>/dist (or DIST_DIR) and checks it: the exe, kzv.ico, and
the README's title, introduction and user section as 使用说明.txt (UTF-8 with BOM, CR LF, for
Notepad). The zip's bytes depend only on those files and the commit: its entries carry the
commit's time (or SOURCE_DATE_EPOCH), in a fixed order, mode and compression. Its SHA-256 goes
beside it in <zip>.sha256, as sha256sum -c reads it.

Usage: package.py BUILD_DIR [DIST_DIR]
"""
import hashlib
import os
import re
import struct
import subprocess
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


def source_time():
    """The zip entries' time: SOURCE_DATE_EPOCH when set, else the time of the commit checked out
    at ROOT, as a UTC date and time (ZIP times start in 1980)."""
    seconds = os.environ.get("SOURCE_DATE_EPOCH")
    if seconds is None:
        # ROOT's own repository only, not one that holds a copy of the source.
        git = subprocess.run(
            ["git", "log", "-1", "--format=%ct"],
            cwd=ROOT,
            env={**os.environ, "GIT_CEILING_DIRECTORIES": str(ROOT.parent)},
            capture_output=True,
            text=True,
        )
        seconds = git.stdout.strip()
        if git.returncode != 0 or not seconds:
            fail(
                "no time for the zip's files: set SOURCE_DATE_EPOCH or package a git checkout"
                f" ({git.stderr.strip() or 'no commit'})"
            )
    if not seconds.isdigit():
        fail(f"SOURCE_DATE_EPOCH is {seconds!r}, not seconds since 1970")
    return time.gmtime(max(int(seconds), 315532800))[:6]


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
    dist = Path(sys.argv[2]).resolve() if len(sys.argv) > 2 else build / "dist"
    dist.mkdir(parents=True, exist_ok=True)
    for old in dist.glob("TessalyFontSwitch-*.zip*"):
        old.unlink()
    package = dist / f"TessalyFontSwitch-{version}.zip"
    files = {
        EXE: (build / "bin" / EXE).read_bytes(),
        ICON: (build / "bin" / ICON).read_bytes(),
        GUIDE: guide_text(version).encode("utf-8"),
    }
    when = source_time()
    with zipfile.ZipFile(package, "w") as archive:
        for name, data in files.items():
            info = zipfile.ZipInfo(name, when)
            info.external_attr = 0o100644 << 16
            archive.writestr(info, data, zipfile.ZIP_DEFLATED, 9)
    try:
        exe_version = check(package, version)
    except SystemExit:
        package.unlink()
        raise
    digest = hashlib.sha256(package.read_bytes()).hexdigest()
    package.with_name(package.name + ".sha256").write_text(f"{digest}  {package.name}\n")
    print(f"wrote {package}: {EXE} (version {exe_version}), {ICON}, {GUIDE}; SHA-256 {digest}")


if __name__ == "__main__":
    main()
