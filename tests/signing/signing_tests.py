#!/usr/bin/env python3
"""Authenticode signing of the DLLs and the packages, with a certificate authority
and code-signing certificates made here with openssl and thrown away at the end.
The DLLs are copies of the build's, signed by installer/sign.py and packed by
installer/make-package.py with the options the build passes them when a
certificate is named; osslsigncode verifies every result against that authority.

usage: signing_tests.py <TestClass> ...
Environment:
  DLL32, DLL64   the build's DLLs (DLL32 may be empty in the 64-bit build: then
                 there is no x64 package, as in the build)
  PACKAGE_ARCH   the package this build makes (x86 or x64)
  SHOW_RUN       for Filterdump: the main command's runner (filterdump in its prefix)
  SAMPLE_CHM     for Filterdump: a help file to filter
"""
import hashlib
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
INSTALLER = os.path.join(HERE, "..", "..", "installer")
ENV = os.environ
FILTER_CLSID = "{7A3E19C4-2B6D-4F81-9C0A-5E2D8B4F1A63}"
SIGNER = "Tavrinolex Test Signer"
PASSWORD = "throwaway pass"
TRUST_E_BAD_DIGEST = "0x80096010"


def run(*command, env=None):
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env, text=True)


def openssl(*args):
    done = run("openssl", *args)
    if done.returncode != 0:
        raise AssertionError("openssl %s: %s" % (args[0], done.stdout))


class Authority:
    """A throwaway authority and two code-signing certificates it issued (as PEM
    pairs, and the first also as a PKCS#12 file with a password), in a folder."""

    def __init__(self, folder):
        self.folder = folder
        os.makedirs(folder, exist_ok=True)
        self.ca = self.path("ca.pem")
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", self.path("ca.key"), "-out", self.ca,
                "-days", "2", "-subj", "/CN=Tavrinolex Throwaway Test CA",
                "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        extensions = self.path("codesign.cnf")
        with open(extensions, "w") as f:
            f.write("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n")
        for name, subject in (("signer", "/O=Morvanex Test/CN=" + SIGNER), ("other", "/CN=Another Test Signer")):
            openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", self.path(name + ".key"),
                    "-out", self.path(name + ".csr"), "-subj", subject)
            openssl("x509", "-req", "-in", self.path(name + ".csr"), "-CA", self.ca, "-CAkey", self.path("ca.key"),
                    "-CAcreateserial", "-out", self.path(name + ".pem"), "-days", "2", "-extfile", extensions)
        openssl("pkcs12", "-export", "-inkey", self.path("signer.key"), "-in", self.path("signer.pem"),
                "-certfile", self.ca, "-out", self.path("signer.pfx"), "-passout", "pass:" + PASSWORD)

    def path(self, name):
        return os.path.join(self.folder, name)

    def options(self, kind):
        """sign.py's and make-package.py's options for a certificate, as the build
        passes them (Signing.cmake), and the environment with its password."""
        env = dict(ENV)
        env.pop("TAVRINOLEX_SIGN_PASSWORD", None)
        if kind == "pfx":
            env["TAVRINOLEX_SIGN_PASSWORD"] = PASSWORD
            return ["--pfx", self.path("signer.pfx")], env
        return ["--cert", self.path(kind + ".pem"), "--key", self.path(kind + ".key")], env


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def signed(path):
    with tempfile.TemporaryDirectory() as folder:
        return run("osslsigncode", "extract-signature", "-in", path, "-out", os.path.join(folder, "sig")).returncode == 0


class Base(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="tavrinolex-signing-")
        cls.authority = Authority(os.path.join(cls.scratch, "authority"))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch, ignore_errors=True)

    def copy_of(self, dll, name):
        """A copy of a build's DLL, without the signature the build may have given it."""
        copy = os.path.join(self.scratch, name)
        os.makedirs(os.path.dirname(copy), exist_ok=True)
        shutil.copyfile(dll, copy)
        if signed(copy):
            stripped = copy + ".stripped"
            self.assertEqual(0, run("osslsigncode", "remove-signature", "-in", copy, "-out", stripped).returncode)
            os.replace(stripped, copy)
        return copy

    def sign(self, path, kind="signer"):
        options, env = self.authority.options(kind)
        done = run(sys.executable, os.path.join(INSTALLER, "sign.py"), *options, "--built", path, env=env)
        self.assertEqual(0, done.returncode, done.stdout)
        return path

    def verify(self, path, ca=None):
        return run("osslsigncode", "verify", "-CAfile", ca or self.authority.ca, "-in", path)

    def assert_verifies(self, path):
        done = self.verify(path)
        self.assertEqual(0, done.returncode, done.stdout)
        self.assertIn("Signature verification: ok", done.stdout)


class Dll(Base):
    def test_signed_dll_verifies_and_a_changed_byte_or_another_authority_does_not(self):
        dll = ENV["DLL64"] or ENV["DLL32"]
        for kind in ("signer", "pfx"):
            with self.subTest(certificate=kind):
                path = self.sign(self.copy_of(dll, kind + "/Tavrinolex.dll"), kind)
                self.assert_verifies(path)
                self.assertIn("Message digest algorithm  : SHA256", self.verify(path).stdout)

        # One byte changed anywhere in the signed image, or an authority that did
        # not issue the signer's certificate: verification fails.
        path = os.path.join(self.scratch, "signer", "Tavrinolex.dll")
        with open(path, "rb") as f:
            image = bytearray(f.read())
        other_ca = Authority(os.path.join(self.scratch, "other-authority")).ca
        changed = os.path.join(self.scratch, "changed.dll")
        cases = [("a code byte", len(image) // 3, None), ("the last byte before the signature", None, None),
                 ("the right bytes, another authority", -1, other_ca)]
        for what, offset, ca in cases:
            with self.subTest(case=what):
                data = bytearray(image)
                if offset is None:
                    offset = self.signature_offset(image) - 1
                if offset >= 0:
                    data[offset] ^= 0x01
                with open(changed, "wb") as f:
                    f.write(data)
                done = self.verify(changed, ca)
                self.assertNotEqual(0, done.returncode, done.stdout)

    @staticmethod
    def signature_offset(image):
        """Where the PE's certificate table (the signature) begins."""
        pe = int.from_bytes(image[0x3C:0x40], "little")
        magic = int.from_bytes(image[pe + 24:pe + 26], "little")
        directories = pe + 24 + (96 if magic == 0x10B else 112)
        return int.from_bytes(image[directories + 4 * 8:directories + 4 * 8 + 4], "little")

    def test_refuses_a_half_named_certificate_and_a_wrong_password(self):
        dll = self.copy_of(ENV["DLL64"] or ENV["DLL32"], "refused/Tavrinolex.dll")
        before = digest(dll)
        pem = self.authority.options("signer")[0]
        cases = [("certificate without key", pem[:2], {}),
                 ("PKCS#12 and PEM", ["--pfx", self.authority.path("signer.pfx")] + pem, {}),
                 ("wrong password", ["--pfx", self.authority.path("signer.pfx")],
                  {"TAVRINOLEX_SIGN_PASSWORD": "wrong"})]
        for what, options, extra in cases:
            with self.subTest(case=what):
                done = run(sys.executable, os.path.join(INSTALLER, "sign.py"), *options, dll, env=dict(ENV, **extra))
                self.assertNotEqual(0, done.returncode)
                self.assertIn("sign: ", done.stdout)
                self.assertEqual(before, digest(dll), "the DLL is left as it was")


class Package(Base):
    def make_package(self, dlls, out, kind="signer"):
        options, env = self.authority.options(kind)
        command = [sys.executable, os.path.join(INSTALLER, "make-package.py"), "--arch", ENV["PACKAGE_ARCH"],
                   "--dll32", dlls[0], "--out", out, *options]
        if len(dlls) > 1:
            command += ["--dll64", dlls[1]]
        return run(*command, env=env)

    def build_dlls(self):
        if ENV["PACKAGE_ARCH"] == "x86":
            return [ENV["DLL32"]]
        return [ENV["DLL32"], ENV["DLL64"]]

    def test_package_is_signed_and_holds_the_verified_dlls(self):
        dlls = [self.sign(self.copy_of(dll, "bits%d/Tavrinolex.dll" % n))
                for n, dll in enumerate(self.build_dlls())]
        for dll in dlls:
            self.assert_verifies(dll)
        package = os.path.join(self.scratch, "Tavrinolex.msi")
        done = self.make_package(dlls, package)
        self.assertEqual(0, done.returncode, done.stdout)
        self.assert_verifies(package)
        extracted = os.path.join(self.scratch, "extracted")
        subprocess.run(["msiextract", "-C", extracted, package], stdout=subprocess.DEVNULL, check=True)
        shipped = sorted(digest(os.path.join(here, name)) for here, _, names in os.walk(extracted) for name in names)
        self.assertEqual(sorted(digest(dll) for dll in dlls), shipped)

    def test_package_refuses_a_dll_not_signed_with_its_certificate(self):
        """The x64 package takes the 32-bit build's DLL: it must have been signed
        there, with the same certificate."""
        builds = self.build_dlls()
        cases = [("not signed", None), ("signed by another certificate", "other")]
        for what, kind in cases:
            with self.subTest(case=what):
                first = self.copy_of(builds[0], "%s/first/Tavrinolex.dll" % kind)
                if kind:
                    self.sign(first, kind)
                rest = [self.sign(self.copy_of(dll, "%s/rest/Tavrinolex.dll" % kind)) for dll in builds[1:]]
                package = os.path.join(self.scratch, "refused.msi")
                done = self.make_package([first] + rest, package)
                self.assertNotEqual(0, done.returncode)
                self.assertIn(first, done.stdout)
                self.assertFalse(os.path.exists(package))


class Filterdump(Base):
    def dump(self, dll):
        done = run(ENV["SHOW_RUN"], ENV["SAMPLE_CHM"], "--json", "--quiet", "--dll",
                   "Z:" + os.path.abspath(dll).replace("/", "\\"), "--clsid", FILTER_CLSID)
        self.assertEqual(0, done.returncode, done.stdout[-2000:])
        document = json.loads(done.stdout.splitlines()[0])
        self.assertEqual("document", document["type"])
        return document["signature"]

    def test_names_the_signer_and_whether_the_dll_still_matches(self):
        dll = ENV["DLL64"] or ENV["DLL32"]
        unsigned = self.copy_of(dll, "unsigned/Tavrinolex.dll")
        good = self.sign(self.copy_of(dll, "good/Tavrinolex.dll"))
        changed = os.path.join(self.scratch, "changed", "Tavrinolex.dll")
        os.makedirs(os.path.dirname(changed))
        with open(good, "rb") as f:
            image = bytearray(f.read())
        # A byte of the DOS stub's message: covered by the signature, never run,
        # so the changed DLL still loads and filterdump can say what it finds.
        image[image.index(b"This program") + 5] ^= 0x01
        with open(changed, "wb") as f:
            f.write(image)

        found = self.dump(unsigned)
        self.assertEqual((False, None, False), (found["signed"], found["signer"], found["trusted"]))
        found = self.dump(good)
        self.assertEqual((True, SIGNER), (found["signed"], found["signer"]))
        # Windows does not trust this throwaway authority; Wine 8.0's WinVerifyTrust
        # accepts any well-formed signature. Whichever it says, filterdump says it.
        self.assertEqual(found["trusted"], found["trust"].startswith("0x00000000"))
        found = self.dump(changed)
        self.assertEqual((True, SIGNER, False), (found["signed"], found["signer"], found["trusted"]))
        self.assertTrue(found["trust"].startswith(TRUST_E_BAD_DIGEST), found["trust"])

        done = run(ENV["SHOW_RUN"], ENV["SAMPLE_CHM"], "--dll", "Z:" + os.path.abspath(changed).replace("/", "\\"),
                   "--clsid", FILTER_CLSID)
        self.assertIn("\nSigned: by %s; not trusted by this system: %s" % (SIGNER, TRUST_E_BAD_DIGEST), done.stdout)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v", *sys.argv[1:]])
