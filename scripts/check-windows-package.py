#!/usr/bin/python3
"""Checks the Windows archive that scripts/package.sh writes: every file matches SHA256SUMS, the
module exports EntryPoint and nothing else, it imports only Windows' own DLLs (the C++ runtime
and threads are linked in), and it loads in the Windows simulator under Wine, answers
get.version, and passes the check step of INSTALL.txt as written there (the address to open in
a browser and the page title to expect); the MIT licence is there, and the Companion module's
package at the engine's version, with its code, manifest and help. Run inside
scripts/isolated-net (the engine binds 127.0.0.1:7890), with WINEPREFIX set to a prepared prefix.

usage: check-windows-package.py dist/ZYL_Engine-VERSION-windows-x64.zip SIMULATOR_EXE"""
import asyncio
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tarfile
import tempfile
import threading
import urllib.request
import zipfile

import websockets

MODULE = "ZYL_Engine.acsrf"
URL = "ws://127.0.0.1:7890"
WAIT = 60.0  # Wine starts slowly on a busy machine
# Windows' own libraries, by name or by family; compared without regard to case.
SYSTEM_DLLS = {"kernel32.dll", "ws2_32.dll", "bcrypt.dll", "user32.dll", "advapi32.dll", "msvcrt.dll",
               "ucrtbase.dll", "ntdll.dll"}
SYSTEM_DLL_FAMILIES = ("api-ms-win-crt-", "api-ms-win-core-")


def fail(message):
    print("package check: " + message, file=sys.stderr)
    sys.exit(1)


def unpack(archive, into):
    with zipfile.ZipFile(archive) as zipped:
        names = zipped.namelist()
        if names != sorted(names):
            fail("the archive's entries are not in name order")
        zipped.extractall(into)
    tops = os.listdir(into)
    if len(tops) != 1:
        fail("expected one top folder, found %s" % tops)
    return os.path.join(into, tops[0])


def check_sums(top):
    listed = {}
    with open(os.path.join(top, "SHA256SUMS"), encoding="utf-8") as sums:
        for line in sums:
            digest, name = line.rstrip("\n").split("  ", 1)
            listed[name] = digest
    present = {os.path.relpath(os.path.join(folder, name), top)
               for folder, _, names in os.walk(top) for name in names} - {"SHA256SUMS"}
    if present != set(listed):
        fail("unlisted in SHA256SUMS: %s; listed but absent: %s"
             % (sorted(present - set(listed)), sorted(set(listed) - present)))
    for name, digest in listed.items():
        with open(os.path.join(top, name), "rb") as file:
            if hashlib.sha256(file.read()).hexdigest() != digest:
                fail("%s does not match its SHA-256" % name)
    return sorted(listed)


def exports_and_imports(module):
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", module], check=True,
                          capture_output=True, text=True).stdout
    table = dump.split("[Ordinal/Name Pointer] Table", 1)
    exports = re.findall(r"^\s*\[\s*\d+\]\s+(\S+)$", table[1].split("\n\n", 1)[0], re.M) if len(table) == 2 else []
    imports = re.findall(r"^\s*DLL Name: (\S+)$", dump, re.M)
    return exports, imports


def is_system_dll(name):
    lower = name.lower()
    return lower in SYSTEM_DLLS or lower.startswith(SYSTEM_DLL_FAMILIES)


def install_check_step(top):
    """The address and the page title that INSTALL.txt's check step names."""
    with open(os.path.join(top, "INSTALL.txt"), encoding="utf-8") as notes:
        text = notes.read()
    step = re.search(r"^\d+\. Check that it runs\n-+\n(.*?)\n\n\d+\. ", text, re.S | re.M)
    if not step:
        fail("INSTALL.txt has no section \"Check that it runs\"")
    address = re.search(r"^\s+(http://\S+)$", step.group(1), re.M)
    title = re.search(r'titled "([^"]+)"', step.group(1))
    if not address or not title:
        fail("INSTALL.txt's check step names no address to open or no page title: %r" % step.group(1))
    return address.group(1), title.group(1)


def follow_install_check(top):
    """Does what INSTALL.txt's check step says a user does in the browser's address bar."""
    address, title = install_check_step(top)
    try:
        # As a browser's address bar asks.
        request = urllib.request.Request(address, headers={"Accept": "text/html"})
        with urllib.request.urlopen(request, timeout=WAIT) as page:
            status, body = page.status, page.read().decode("utf-8")
    except OSError as failure:
        fail("INSTALL.txt's check step: %s did not answer: %s" % (address, failure))
    if status != 200 or "<title>%s</title>" % title not in body:
        fail("INSTALL.txt's check step: %s answered %s without the title %r: %.300s"
             % (address, status, title, body))
    return "%s shows \"%s\"" % (address, title)


def check_licence_and_companion_module(top, version):
    """The licence, and the package Companion installs: one folder holding the bundled code and
    a manifest that names the engine's version and the licence."""
    with open(os.path.join(top, "LICENSE"), encoding="utf-8") as licence:
        if not licence.read().startswith("MIT License"):
            fail("LICENSE is not the MIT licence")
    package = os.path.join(top, "zyl-engine-%s.tgz" % version)
    if not os.path.isfile(package):
        fail("no Companion module package zyl-engine-%s.tgz" % version)
    with tarfile.open(package) as packed:
        names = set(packed.getnames())
        needed = {"zyl-engine/main.js", "zyl-engine/package.json", "zyl-engine/companion/manifest.json",
                  "zyl-engine/companion/HELP.md"}
        if not needed <= names:
            fail("the Companion module package lacks %s" % sorted(needed - names))
        manifest = json.load(packed.extractfile("zyl-engine/companion/manifest.json"))
    if (manifest.get("version"), manifest.get("license"), manifest["runtime"].get("entrypoint")) != (version, "MIT", "../main.js"):
        fail("the Companion module's manifest says version %s, licence %s, entry point %s"
             % (manifest.get("version"), manifest.get("license"), manifest["runtime"].get("entrypoint")))
    return package


def answers_version(simulator, module, version):
    """Runs the simulator beside the unpacked module (it loads the one beside itself) and asks."""
    folder = os.path.dirname(module)
    program = os.path.join(folder, os.path.basename(simulator))
    shutil.copy(simulator, program)
    env = dict(os.environ, WINEDEBUG="-all", DISPLAY="")
    process = subprocess.Popen(["wine", program], cwd=folder, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True, env=env)
    lines = []
    ready = threading.Event()

    def read():
        for raw in process.stdout:
            lines.append(raw)
            if '"ready"' in raw:
                ready.set()
        ready.set()
    threading.Thread(target=read, daemon=True).start()
    try:
        if not ready.wait(WAIT) or process.poll() is not None:
            fail("the simulator did not start: %s %s" % (lines, process.stderr.read() if process.poll() is not None else ""))

        async def ask():
            # The listener may start a moment after the ready line.
            for _ in range(int(WAIT * 10)):
                try:
                    async with websockets.connect(URL, open_timeout=WAIT) as socket:
                        await socket.send("get.version")
                        return await asyncio.wait_for(socket.recv(), WAIT)
                except OSError:
                    await asyncio.sleep(0.1)
            fail("the engine never listened on %s" % URL)
        reply = asyncio.run(ask())
        if reply != "version:" + version:
            fail("get.version answered %r" % reply)
        print("package check: INSTALL.txt's check step: %s" % follow_install_check(folder))
        process.stdin.write("quit\n")
        process.stdin.close()
        code = process.wait(timeout=WAIT)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    ledger = next((json.loads(line) for line in lines if '"ledger"' in line), None)
    if code != 0 or not ledger or not ledger.get("balanced"):
        fail("the simulator ended with %s, ledger %s" % (code, ledger))
    return reply


def main():
    named = re.fullmatch(r"ZYL_Engine-(.+)-windows-x64\.zip", os.path.basename(sys.argv[1])) if len(sys.argv) == 3 else None
    if not named:
        fail(__doc__.rsplit("\n", 1)[-1])
    archive, simulator, version = sys.argv[1], sys.argv[2], named.group(1)
    with tempfile.TemporaryDirectory() as into:
        top = unpack(archive, into)
        files = check_sums(top)
        print("package check: %d files, all matching SHA256SUMS" % len(files))
        package = check_licence_and_companion_module(top, version)
        print("package check: MIT licence; Companion module %s" % os.path.basename(package))
        module = os.path.join(top, MODULE)
        exports, imports = exports_and_imports(module)
        if exports != ["EntryPoint"]:
            fail("the module exports %s; only EntryPoint belongs there" % exports)
        print("package check: exports %s" % " ".join(exports))
        print("package check: imports %s" % " ".join(imports))
        foreign = [name for name in imports if not is_system_dll(name)]
        if foreign:
            fail("the module needs DLLs that Windows does not have: %s" % " ".join(foreign))
        print("package check: under Wine the module answers %s" % answers_version(simulator, module, version))


if __name__ == "__main__":
    main()
