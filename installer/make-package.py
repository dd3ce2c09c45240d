#!/usr/bin/env python3
"""Builds a Windows Installer package of the filter with wixl.

usage: make-package.py --arch x86 --dll32 Tavrinolex.dll --out Tavrinolex-x86.msi
       make-package.py --arch x64 --dll32 x86/Tavrinolex.dll --dll64 x64/Tavrinolex.dll --out Tavrinolex-x64.msi
       ... [--pfx <file> | --cert <pem> --key <pem>] [--timestamp <url>]

With a certificate (sign.py's options), every DLL must already carry a signature
made with it, and the package is signed too.

The product name, vendor and version are those of the DLLs' version resource (both
DLLs must agree). The product code follows from the platform and the version, so
every build of one version is the same product to Windows Installer.
"""
import argparse
import os
import shutil
import subprocess
import sys
import uuid

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sign  # noqa: E402
import versioninfo  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
UPGRADE_CODE = uuid.UUID("F7D00F2C-F5FA-42C8-9EF3-16344FAEC0BF")
# Custom action types: a program named by a property, run from the installation
# script with the installer's own rights, its exit code ignored, on rollback only.
EXE_PROPERTY, CONTINUE, ROLLBACK, IN_SCRIPT, NO_IMPERSONATE = 50, 0x40, 0x100, 0x400, 0x800
ROLLBACK_TYPE = EXE_PROPERTY | CONTINUE | ROLLBACK | IN_SCRIPT | NO_IMPERSONATE


def product_facts(dlls):
    facts = set()
    for dll in dlls:
        info = versioninfo.read(dll)
        name = info.strings.get("ProductName")
        vendor = info.strings.get("CompanyName")
        if not name or not vendor:
            raise SystemExit("make-package: %s names no product or company in its version resource" % dll)
        # Windows Installer compares the first three fields only.
        version = ".".join(str(n) for n in info.product_version[:3])
        facts.add((name, vendor, version))
    if len(facts) != 1:
        raise SystemExit("make-package: the DLLs' version resources differ: %s" % sorted(facts))
    return facts.pop()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--arch", choices=("x86", "x64"), required=True)
    parser.add_argument("--dll32", required=True)
    parser.add_argument("--dll64")
    parser.add_argument("--out", required=True)
    parser.add_argument("--wixl", default="wixl")
    parser.add_argument("--msibuild", default="msibuild")
    parser.add_argument("--msiinfo", default="msiinfo")
    sign.add_arguments(parser)
    args = parser.parse_args()
    if (args.arch == "x64") != (args.dll64 is not None):
        parser.error("--dll64 is given for the x64 package, and only for it")
    signing = sign.enabled(args)

    dlls = {"Dll32": args.dll32}
    if args.dll64:
        dlls["Dll64"] = args.dll64
    name, vendor, version = product_facts(dlls.values())
    if signing:
        for dll in dlls.values():
            sign.check(args, dll)
    product_code = uuid.uuid5(UPGRADE_CODE, "%s %s" % (args.arch, version))

    # wixl takes sources relative to its working folder only: the DLLs are staged
    # beside the package, each in a folder of its own.
    out = os.path.abspath(args.out)
    stage = out + ".stage"
    shutil.rmtree(stage, ignore_errors=True)
    defines = []
    for variable, dll in dlls.items():
        folder = os.path.join(stage, variable)
        os.makedirs(folder)
        shutil.copyfile(dll, os.path.join(folder, "Tavrinolex.dll"))
        defines.append("%s=%s/Tavrinolex.dll" % (variable, variable))
    defines += ["Arch=" + args.arch, "ProductCode={%s}" % str(product_code).upper(), "ProductName=" + name,
                "Manufacturer=" + vendor, "ProductVersion=" + version]
    command = [args.wixl, "--arch", args.arch, "-o", out]
    for define in defines:
        command += ["-D", define]
    command.append(os.path.join(HERE, "Tavrinolex.wxs"))
    done = subprocess.run(command, cwd=stage, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    shutil.rmtree(stage, ignore_errors=True)
    if done.returncode != 0:
        fail(out, "wixl failed", done.stdout)
    fix_rollback_actions(args, out)
    if signing:
        try:
            sign.sign(args, out)
        except SystemExit:
            os.remove(out)
            raise


def fail(out, why, output=""):
    sys.stderr.write(output)
    if os.path.exists(out):
        os.remove(out)
    raise SystemExit("make-package: %s for %s" % (why, out))


def fix_rollback_actions(args, out):
    """wixl 0.101 writes a rollback action without its in-script bit, which would run
    it at once while the script is written; the rollback actions get their whole type
    here, and the table is read back to be sure."""
    query = "UPDATE `CustomAction` SET `Type` = %d WHERE `Action` = '%s'"
    names = []
    for line in run(args, out, [args.msiinfo, "export", out, "CustomAction"]).splitlines()[3:]:
        action, kind = line.split("\t")[:2]
        if action.endswith("Rollback"):
            names.append(action)
            run(args, out, [args.msibuild, out, "-q", query % (ROLLBACK_TYPE, action)])
    for line in run(args, out, [args.msiinfo, "export", out, "CustomAction"]).splitlines()[3:]:
        action, kind = line.split("\t")[:2]
        if action in names and int(kind) != ROLLBACK_TYPE:
            fail(out, "rollback action %s has type %s" % (action, kind))


def run(args, out, command):
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if done.returncode != 0:
        fail(out, "%s failed" % os.path.basename(command[0]), done.stdout)
    return done.stdout


if __name__ == "__main__":
    main()
