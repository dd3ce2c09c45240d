#!/usr/bin/env python3
"""The Windows Installer packages, installed and removed by Wine's own msiexec, each
test in a fresh Wine prefix copied from a template that the build makes once per run.

usage: package_tests.py <TestClass> ...              runs tests (environment below)
       package_tests.py --template <dir> <win32|win64> <warm-up package>
       package_tests.py --remove <dir>
       package_tests.py --older-dll <dll> <copy>     a copy of the DLL that says 0.9.0

Environment of the tests:
  PACKAGE_ARCH   x86 or x64: the package under test
  PACKAGE        that package; OLDER_PACKAGE: the same with a lower version
  TEMPLATE       the template prefix (its kind is in TEMPLATE_ARCH: win32 or win64)
  WINE           the Wine loader of that kind of prefix; WORK: where test prefixes go
  DLL32, DLL64   the build's DLLs; BIN: the build's programs (filterdump, stand-ins)
  SAMPLE_CHM     a help file for filterdump
  PACKAGES       for Contents: "x86=<msi>;x64=<msi>", the packages built here; SIGNED
                 set when the build signs them
  EXPECT_EXIT    for Refused: the code msiexec refuses with
"""
import hashlib
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "installer"))
import versioninfo  # noqa: E402

ENV = os.environ
PRODUCT = "Tavrinolex CHM filter"
VENDOR = "Morvanex"
HANDLER = "{3C8F2A17-D4B9-4E06-8A3B-91F7C2E5D048}"
IFILTER = "{89BCB740-6119-101A-BCB7-00DD010655AF}"
SAMPLE_TITLE = "Tavrinolex administrator's guide"

CLASSES = r"HKEY_LOCAL_MACHINE\Software\Classes"
USER_CLASSES = r"HKEY_CURRENT_USER\Software\Classes"
UNINSTALL = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall"
INSTALLER = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Installer"
# Where Windows Installer keeps its own record of installed products, inside Classes.
PRODUCT_RECORDS = CLASSES + r"\Installer"

# Windows error codes as msiexec ends with them; Linux keeps the low 8 bits of a
# Windows program's exit code.
FATAL_ERROR = 1603           # a launch condition refused the installation
PLATFORM_UNSUPPORTED = 1633  # "This installation package is not supported by this processor type."

# Where each package puts which DLL, and which regsvr32 registers that DLL by hand.
LAYOUT = {
    "x86": [("Program Files", "DLL32", r"C:\windows\system32\regsvr32.exe")],
    "x64": [("Program Files", "DLL64", r"C:\windows\system32\regsvr32.exe"),
            ("Program Files (x86)", "DLL32", r"C:\windows\syswow64\regsvr32.exe")],
}
INSTALL_FOLDER = ("Morvanex", "Tavrinolex")


# The project's one recipe for a Wine prefix: its environment, how it is made and booted.
PREFIX_RECIPE = os.path.join(HERE, "..", "..", "cmake", "wine-prefix.sh")


def wine_environment(prefix, arch):
    lines = subprocess.run(["bash", PREFIX_RECIPE, "env", prefix, arch], stdout=subprocess.PIPE, check=True,
                           text=True).stdout.splitlines()
    return dict(os.environ, **dict(line.split("=", 1) for line in lines))


def stop_server(prefix):
    subprocess.run(["bash", PREFIX_RECIPE, "stop", prefix], stdin=subprocess.DEVNULL, check=True)


def boot(prefix, arch, wine):
    """Makes the prefix when it is not ready, and boots it with one server kept alive
    for its life (stop_server ends it)."""
    subprocess.run(["bash", PREFIX_RECIPE, "boot", prefix, arch, wine, "--keep-server"], stdin=subprocess.DEVNULL,
                   check=True, timeout=300)


def make_template(folder, arch, warmup):
    """A fresh prefix of the given kind in which Windows Installer has run once (an
    unrelated package installed and removed), as on any Windows machine: its own
    record keys are there before a test's first look at the registry."""
    wine = ENV["WINE"]
    shutil.rmtree(folder, ignore_errors=True)
    env = wine_environment(folder, arch)
    try:
        boot(folder, arch, wine)
        quiet = dict(env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                     timeout=300)
        for action in ("/i", "/x"):
            done = subprocess.run([wine, "msiexec", action, windows_path(warmup), "/qn"], **quiet)
            if done.returncode != 0:
                raise SystemExit("template: msiexec %s of the warm-up package failed (%d)" % (action, done.returncode))
    finally:
        stop_server(folder)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def file_digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def carries_signature(path):
    """Whether a PE file has a certificate table (an Authenticode signature)."""
    with open(path, "rb") as f:
        image = f.read()
    pe = int.from_bytes(image[0x3C:0x40], "little")
    directories = pe + 24 + (96 if image[pe + 24:pe + 26] == b"\x0b\x01" else 112)
    return int.from_bytes(image[directories + 36:directories + 40], "little") > 0


def parse_reg(text):
    """A .reg export as {key: {value name: value as written}}; "@" is the default value."""
    tree, key, pending = {}, None, ""
    for line in text.splitlines():
        if pending:
            line = pending + line.strip()
            pending = ""
        if line.endswith("\\") and key is not None and not line.startswith("["):
            pending = line[:-1]
            continue
        if line.startswith("[") and line.endswith("]"):
            key = line[1:-1]
            tree[key] = {}
        elif key is not None and line and (line.startswith('"') or line.startswith("@")):
            if line.startswith("@"):
                name, value = "@", line[2:]
            else:
                end = 1
                while line[end] != '"':
                    end += 2 if line[end] == "\\" else 1
                name, value = line[1:end], line[end + 2:]
            tree[key][name] = value
    return tree


def reg_string(text):
    """The text of a REG_SZ value as a .reg file writes it."""
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def without(tree, root):
    """The tree less the keys at and below root."""
    root = root.lower()
    return {k: v for k, v in tree.items() if k.lower() != root and not k.lower().startswith(root + "\\")}


def under(tree, root):
    root = root.lower()
    return {k: v for k, v in tree.items() if k.lower() == root or k.lower().startswith(root + "\\")}


def without_source_lists(state):
    """The state less Windows Installer's lists of where each product's package was found."""
    products = {k: v for k, v in state["products"].items() if "\\SourceList" not in k}
    return dict(state, products=products)


class Prefix:
    """A fresh copy of the template prefix for one test, removed when the test ends."""

    def __init__(self, test):
        self.wine = ENV["WINE"]
        self.arch = ENV["TEMPLATE_ARCH"]
        self.path = os.path.join(ENV["WORK"], "%s-on-%s.%s" % (ENV["PACKAGE_ARCH"], self.arch, test.id().split(".")[-2]))
        shutil.rmtree(self.path, ignore_errors=True)
        os.makedirs(os.path.dirname(self.path), exist_ok=True)
        # A whole copy: nothing a test does can reach the template.
        subprocess.run(["cp", "-a", ENV["TEMPLATE"], self.path], check=True)
        self.env = wine_environment(self.path, self.arch)
        test.addCleanup(self.remove)
        boot(self.path, self.arch, self.wine)
        self.drive = os.path.join(self.path, "drive_c")
        self.views = ["/reg:64", "/reg:32"] if self.arch == "win64" else [None]
        self.logs = 0

    def remove(self):
        stop_server(self.path)
        shutil.rmtree(self.path, ignore_errors=True)

    def run(self, *args, timeout=300):
        done = subprocess.run([self.wine, *args], env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=timeout)
        return done.returncode, done.stdout.decode("utf-8", "replace")

    def msiexec(self, action, package, *more):
        """Runs msiexec silently with a full log; returns (exit code, seconds)."""
        self.logs += 1
        log = os.path.join(self.path, "msiexec-%d.log" % self.logs)
        started = time.monotonic()
        code, _ = self.run("msiexec", action, windows_path(package), "/qn", "/l*v", windows_path(log), *more)
        return code, time.monotonic() - started

    def export(self, key, view):
        out = os.path.join(self.path, "export.reg")
        args = ["reg", "export", key, windows_path(out), "/y"] + ([view] if view else [])
        code, _ = self.run(*args)
        if code != 0:
            return {}  # the key does not exist
        with open(out, "rb") as f:
            text = f.read().decode("utf-16")
        os.remove(out)
        tag = (view or "") + " "
        return {tag + k: v for k, v in parse_reg(text).items()}

    def registry(self, *keys):
        """The trees below the keys, in every registry view of the prefix."""
        tree = {}
        for key in keys:
            for view in self.views:
                tree.update(self.export(key, view))
        return tree

    def classes(self):
        """What registration touches (the classes of the machine and of the user),
        and apart from it Windows Installer's own record of its products."""
        tree = self.registry(CLASSES, USER_CLASSES)
        records = {}
        for view in self.views:
            root = (view or "") + " " + PRODUCT_RECORDS
            records.update(under(tree, root))
            tree = without(tree, root)
        return tree, records

    def registrations(self):
        return self.classes()[0]

    def program_files(self):
        files = {}
        for folder in ("Program Files", "Program Files (x86)"):
            top = os.path.join(self.drive, folder)
            for here, dirs, names in os.walk(top):
                for name in dirs:
                    files[os.path.relpath(os.path.join(here, name), self.drive)] = "folder"
                for name in names:
                    path = os.path.join(here, name)
                    files[os.path.relpath(path, self.drive)] = file_digest(path)
        return files

    def state(self):
        """Everything an install may touch: the registrations, the installed-products
        list with Windows Installer's records, and the Program Files folders."""
        registrations, records = self.classes()
        products = self.registry(UNINSTALL, INSTALLER)
        products.update(records)
        return {"registrations": registrations, "products": products, "files": self.program_files()}

    def import_reg(self, entries):
        """Writes REG_SZ values: {key: {name or "@": text}}."""
        lines = ["Windows Registry Editor Version 5.00", ""]
        for key, values in entries.items():
            lines.append("[%s]" % key)
            lines += ["%s=%s" % ("@" if name == "@" else '"%s"' % name, reg_string(text))
                      for name, text in values.items()]
            lines.append("")
        path = os.path.join(self.path, "import.reg")
        with open(path, "wb") as f:
            f.write(("\r\n".join(lines) + "\r\n").encode("utf-16"))
        code, out = self.run("reg", "import", windows_path(path))
        os.remove(path)
        if code != 0:
            raise AssertionError("reg import failed: " + out)


class Base(unittest.TestCase):
    arch = ENV.get("PACKAGE_ARCH", "")

    def installed(self):
        """(Windows path, Linux path, build DLL, regsvr32) of each DLL the package installs."""
        for folder, dll, regsvr32 in LAYOUT[self.arch]:
            windows = "C:\\" + folder + "\\" + "\\".join(INSTALL_FOLDER) + "\\Tavrinolex.dll"
            linux = os.path.join(self.prefix.drive, folder, *INSTALL_FOLDER, "Tavrinolex.dll")
            yield windows, linux, ENV[dll], regsvr32

    def install(self, package, expect=0):
        code, seconds = self.prefix.msiexec("/i", package)
        self.assertEqual(expect & 0xFF, code, "msiexec /i %s" % os.path.basename(package))
        return seconds

    def uninstall(self, package):
        code, seconds = self.prefix.msiexec("/x", package)
        self.assertEqual(0, code, "msiexec /x %s" % os.path.basename(package))
        return seconds

    def assert_same_state(self, before, after, what):
        for part in ("registrations", "products", "files"):
            self.assert_same(before[part], after[part], "%s: %s" % (what, part))

    def assert_same(self, before, after, what):
        """Equal trees; a failure names the keys or files that differ, not the whole tree."""
        if before == after:
            return
        changed = sorted(k for k in set(before) | set(after) if before.get(k) != after.get(k))
        lines = ["%s  %s -> %s" % (k, before.get(k, "(absent)"), after.get(k, "(absent)")) for k in changed[:20]]
        self.fail("%s differs in %d entries:\n%s" % (what, len(changed), "\n".join(lines)))

    def our_products(self):
        """The installed-products entries of this product."""
        entries = {}
        for key, values in self.prefix.registry(UNINSTALL).items():
            if values.get("DisplayName") == reg_string(PRODUCT):
                entries[key] = values
        return entries


class Install(Base):
    def setUp(self):
        self.prefix = Prefix(self)

    def reference(self):
        """The registry after registering the same DLLs at the same paths by hand,
        each with the regsvr32 of its bitness; the prefix is left as it was."""
        for windows, linux, dll, regsvr32 in self.installed():
            os.makedirs(os.path.dirname(linux), exist_ok=True)
            shutil.copyfile(dll, linux)
            self.assertEqual(0, self.prefix.run(regsvr32, "/s", windows)[0], "regsvr32 " + windows)
        tree = self.prefix.registrations()
        for windows, linux, dll, regsvr32 in self.installed():
            self.assertEqual(0, self.prefix.run(regsvr32, "/u", "/s", windows)[0], "regsvr32 /u " + windows)
        for folder, _, _ in LAYOUT[self.arch]:
            shutil.rmtree(os.path.join(self.prefix.drive, folder, INSTALL_FOLDER[0]))
        return tree

    def test_install_registers_as_regsvr32_does_and_the_host_filters_through_it(self):
        before = self.prefix.state()
        by_hand = self.reference()
        self.assert_same_state(before, self.prefix.state(), "after registering and unregistering by hand")
        self.assertNotEqual(before["registrations"], by_hand)

        seconds = self.install(ENV["PACKAGE"])
        print("silent install: %.1f s" % seconds)
        self.assert_same(by_hand, self.prefix.registrations(), "registry after the install against regsvr32's")
        for windows, linux, dll, _ in self.installed():
            self.assertEqual(file_digest(dll), file_digest(linux), windows)
        entries = self.our_products()
        self.assertEqual(1, len(entries), entries)
        entry = next(iter(entries.values()))
        dll = versioninfo.read(ENV["DLL32"])
        self.assertEqual(reg_string(dll.strings["CompanyName"]), entry.get("Publisher"))
        self.assertEqual(reg_string(".".join(map(str, dll.product_version[:3]))), entry.get("DisplayVersion"))

        # The same version again changes nothing. (Wine's msiexec, unlike Windows',
        # adds the package's folder to the product's list of sources once more.)
        installed = without_source_lists(self.prefix.state())
        self.install(ENV["PACKAGE"])
        self.assert_same_state(installed, without_source_lists(self.prefix.state()),
                               "after installing the same version again")

        self.assert_host_filters_through_installed_filter()

    def assert_host_filters_through_installed_filter(self):
        bin_dir = ENV["BIN"]
        # The test platform's stand-ins: the storage component and the page filter.
        for dll in ("ChmStorageStandIn.dll", "ReferencePageFilter.dll"):
            self.assertEqual(0, self.prefix.run("regsvr32", "/s", windows_path(os.path.join(bin_dir, dll)))[0], dll)
        code, out = self.prefix.run(windows_path(os.path.join(bin_dir, "filterdump.exe")),
                                    windows_path(ENV["SAMPLE_CHM"]), "--json")
        self.assertEqual(0, code, out[-2000:])
        lines = [json.loads(line) for line in out.splitlines()]
        windows = next(self.installed())[0]  # the DLL of the host's own bitness
        self.assertEqual(windows.lower(), lines[0]["dll"].lower())
        self.assertIn("registration of .chm", lines[0]["how"])
        summary = lines[-1]
        self.assertEqual((0, SAMPLE_TITLE), (summary["exit"], summary["title"]))
        self.assertGreaterEqual(summary["chapters"], 5)


class Uninstall(Base):
    def setUp(self):
        self.prefix = Prefix(self)

    def test_uninstall_leaves_the_machine_as_before(self):
        before = self.prefix.state()
        self.install(ENV["PACKAGE"])
        self.assertNotEqual(before["files"], self.prefix.program_files())
        seconds = self.uninstall(ENV["PACKAGE"])
        print("silent uninstall: %.1f s" % seconds)
        self.assert_same_state(before, self.prefix.state(), "after uninstalling")


class OtherHandler(Base):
    THEIR_HANDLER = "{5E1D0C3B-2A49-4F86-B7D5-E3C2A1F09B87}"
    THEIR_FILTER = "{5E1D0C3B-2A49-4F86-B7D5-E3C2A1F09B88}"

    def setUp(self):
        self.prefix = Prefix(self)

    def their_keys(self):
        """Another product's filter and persistent handler for .chm, in every view."""
        classes = [CLASSES + r"\CLSID"]
        if self.prefix.arch == "win64":
            classes.append(CLASSES + r"\Wow6432Node\CLSID")
        keys = {CLASSES + r"\.chm\PersistentHandler": {"@": self.THEIR_HANDLER}}
        for clsid in classes:
            handler = clsid + "\\" + self.THEIR_HANDLER
            keys[handler] = {"@": "Other CHM filter persistent handler"}
            keys[handler + r"\PersistentAddinsRegistered"] = {}
            keys[handler + r"\PersistentAddinsRegistered" + "\\" + IFILTER] = {"@": self.THEIR_FILTER}
            keys[clsid + "\\" + self.THEIR_FILTER] = {"@": "Other CHM filter"}
            keys[clsid + "\\" + self.THEIR_FILTER + r"\InprocServer32"] = {
                "@": r"C:\Program Files\Other\OtherChmFilter.dll", "ThreadingModel": "Both"}
        return keys

    def test_second_products_handler_survives_install_and_uninstall(self):
        self.prefix.import_reg(self.their_keys())
        before = self.prefix.state()
        theirs = {k: v for k, v in before["registrations"].items()
                  if self.THEIR_HANDLER in k or self.THEIR_FILTER in k}
        self.assertTrue(theirs)

        self.install(ENV["PACKAGE"])
        after_install = self.prefix.registrations()
        link = [v for k, v in after_install.items() if k.endswith(CLASSES + r"\.chm\PersistentHandler")]
        self.assertTrue(link)
        for values in link:
            self.assertEqual(reg_string(HANDLER), values.get("@"), "the install takes .chm over")
        self.assert_same(theirs, {k: v for k, v in after_install.items() if k in theirs},
                         "the other product's handler after the install")

        self.uninstall(ENV["PACKAGE"])
        self.assert_same_state(before, self.prefix.state(), "after uninstalling")


class Upgrade(Base):
    def setUp(self):
        self.prefix = Prefix(self)

    def test_upgrade_from_a_lower_version_replaces_the_files_and_keeps_one_entry(self):
        before = self.prefix.state()
        self.install(ENV["OLDER_PACKAGE"])
        older_registrations = self.prefix.registrations()
        older = self.our_products()
        self.assertEqual(1, len(older), older)
        self.assertEqual(reg_string("0.9.0"), next(iter(older.values())).get("DisplayVersion"))
        for windows, linux, dll, _ in self.installed():
            self.assertNotEqual(file_digest(dll), file_digest(linux), windows + " is the older build's")

        self.install(ENV["PACKAGE"])
        newer = self.our_products()
        self.assertEqual(1, len(newer), newer)
        self.assertNotEqual(set(older), set(newer), "the newer version is another product code")
        self.assertNotEqual(reg_string("0.9.0"), next(iter(newer.values())).get("DisplayVersion"))
        for windows, linux, dll, _ in self.installed():
            self.assertEqual(file_digest(dll), file_digest(linux), windows + " is the newer build's")
        self.assert_same(older_registrations, self.prefix.registrations(), "registry after the upgrade")

        # The older version cannot come back over the newer one.
        upgraded = self.prefix.state()
        self.install(ENV["OLDER_PACKAGE"], expect=FATAL_ERROR)
        self.assert_same_state(upgraded, self.prefix.state(), "after trying the older version again")

        self.uninstall(ENV["PACKAGE"])
        self.assert_same_state(before, self.prefix.state(), "after uninstalling the upgraded product")


class Refused(Base):
    """A package that the machine cannot take refuses and changes nothing."""

    def setUp(self):
        self.prefix = Prefix(self)

    def test_refused_without_a_change(self):
        before = self.prefix.state()
        self.install(ENV["PACKAGE"], expect=int(ENV["EXPECT_EXIT"]))
        self.assert_same_state(before, self.prefix.state(), "after the refused install")


class Contents(unittest.TestCase):
    """What the packages built here hold, read on Linux with msitools."""

    @staticmethod
    def table(package, name):
        out = subprocess.run(["msiinfo", "export", package, name], stdout=subprocess.PIPE, check=True, text=True).stdout
        rows = [line.split("\t") for line in out.splitlines()[3:]]
        return rows

    def test_product_facts_and_files_are_the_dlls(self):
        packages = dict(item.split("=", 1) for item in ENV["PACKAGES"].split(";") if item)
        self.assertTrue(packages)
        dlls = {"x86": [ENV["DLL32"]], "x64": [ENV["DLL32"], ENV.get("DLL64", "")]}
        platform = {"x86": "Intel;1033", "x64": "x64;1033"}
        for arch, package in packages.items():
            with self.subTest(package=os.path.basename(package)):
                info = versioninfo.read(dlls[arch][-1])
                properties = dict(row[:2] for row in self.table(package, "Property"))
                self.assertEqual(info.strings["ProductName"], properties["ProductName"])
                self.assertEqual(info.strings["CompanyName"], properties["Manufacturer"])
                self.assertEqual(".".join(map(str, info.product_version[:3])), properties["ProductVersion"])
                self.assertEqual("{F7D00F2C-F5FA-42C8-9EF3-16344FAEC0BF}", properties["UpgradeCode"])
                suminfo = subprocess.run(["msiinfo", "suminfo", package], stdout=subprocess.PIPE, check=True,
                                         text=True).stdout
                self.assertIn("Template: " + platform[arch] + "\n", suminfo)
                with tempfile.TemporaryDirectory() as folder:
                    subprocess.run(["msiextract", "-C", folder, package], stdout=subprocess.DEVNULL, check=True)
                    shipped = sorted(file_digest(os.path.join(here, name))
                                     for here, _, names in os.walk(folder) for name in names)
                self.assertEqual(sorted(file_digest(dll) for dll in dlls[arch]), shipped)
                if ENV.get("SIGNED"):
                    # A build configured with a certificate: the DLLs it shipped and the
                    # package carry signatures (the signing test checks them).
                    streams = subprocess.run(["msiinfo", "streams", package], stdout=subprocess.PIPE, check=True,
                                             text=True).stdout.split()
                    self.assertIn("\x05DigitalSignature", streams)
                    for dll in dlls[arch]:
                        self.assertTrue(carries_signature(dll), dll)


def main():
    if sys.argv[1:2] == ["--template"]:
        make_template(sys.argv[2], sys.argv[3], sys.argv[4])
    elif sys.argv[1:2] == ["--remove"]:
        stop_server(sys.argv[2])
        shutil.rmtree(sys.argv[2], ignore_errors=True)
    elif sys.argv[1:2] == ["--older-dll"]:
        versioninfo.with_version(sys.argv[2], sys.argv[3], (0, 9, 0, 0))
    else:
        unittest.main(argv=[sys.argv[0], "-v", *sys.argv[1:]])


if __name__ == "__main__":
    main()
