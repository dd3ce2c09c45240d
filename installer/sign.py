#!/usr/bin/env python3
"""Signs the DLL and the Windows Installer packages with Authenticode (SHA-256),
through osslsigncode, with the organisation's certificate.

usage: sign.py <certificate> <file> ...            signs each file in place
       sign.py <certificate> --built <file>         the same after a link: the file is
                                                   removed when signing fails, so that the
                                                   next build links and signs it again
       sign.py <certificate> --check <file> ...    fails unless each file carries a
                                                   signature made with that certificate
certificate: --pfx <PKCS#12 file>, or --cert <PEM certificate(s)> --key <PEM key>;
             --timestamp <RFC 3161 server URL> (none unless named); --osslsigncode <path>
The password of the PKCS#12 file, or of an encrypted PEM key, is read from the
environment variable TAVRINOLEX_SIGN_PASSWORD, never from the command line.
"""
import argparse
import base64
import os
import re
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True
PASSWORD_VARIABLE = "TAVRINOLEX_SIGN_PASSWORD"


def add_arguments(parser):
    group = parser.add_argument_group("signing (none unless a certificate is named)")
    group.add_argument("--pfx", help="PKCS#12 file with the certificate and its key")
    group.add_argument("--cert", help="PEM certificate, with its chain after it")
    group.add_argument("--key", help="PEM private key of --cert")
    group.add_argument("--timestamp", help="RFC 3161 timestamp server URL")
    group.add_argument("--osslsigncode", default="osslsigncode")
    group.add_argument("--openssl", default="openssl")


def enabled(args):
    """Whether a certificate is named; refuses a half-named one."""
    if args.pfx and (args.cert or args.key):
        raise SystemExit("sign: name either --pfx or --cert and --key, not both")
    if bool(args.cert) != bool(args.key):
        raise SystemExit("sign: --cert and --key go together")
    return bool(args.pfx or args.cert)


def run(command, what, hint=""):
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if done.returncode != 0:
        sys.stderr.write(done.stdout.decode("utf-8", "replace"))
        raise SystemExit("sign: %s failed%s" % (what, hint))
    return done.stdout


def password_hint(args):
    """A reminder when a PKCS#12 file is named and no password is given."""
    if args.pfx and PASSWORD_VARIABLE not in os.environ:
        return " (is %s set?)" % PASSWORD_VARIABLE
    return ""


def certificate_options(args, folder):
    """osslsigncode's options for the certificate; the password goes through a
    file readable by the owner only, so that no process listing shows it."""
    password = os.environ.get(PASSWORD_VARIABLE)
    options = ["-pkcs12", args.pfx] if args.pfx else ["-certs", args.cert, "-key", args.key]
    if password is not None:
        path = os.path.join(folder, "password")
        with open(os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600), "w") as f:
            f.write(password)
        options += ["-readpass", path]
    return options


def sign(args, path):
    """Signs the file in place: the signed copy replaces it only when signing worked."""
    folder = os.path.dirname(os.path.abspath(path))
    with tempfile.TemporaryDirectory(dir=folder, prefix=".sign-") as scratch:
        signed = os.path.join(scratch, os.path.basename(path))
        command = [args.osslsigncode, "sign", *certificate_options(args, scratch), "-h", "sha256"]
        if args.timestamp:
            command += ["-ts", args.timestamp]
        run(command + ["-in", path, "-out", signed], "signing " + path, password_hint(args))
        os.chmod(signed, os.stat(path).st_mode & 0o7777)
        os.replace(signed, path)


def pem_blocks(text):
    """The DER bytes of every certificate in PEM text."""
    return [base64.b64decode(block) for block in
            re.findall(rb"-----BEGIN CERTIFICATE-----(.*?)-----END CERTIFICATE-----", text, re.S)]


def signing_certificate(args):
    """The DER bytes of the certificate that signs (the first of --cert, or the one
    with the key in --pfx)."""
    if args.cert:
        with open(args.cert, "rb") as f:
            blocks = pem_blocks(f.read())
    else:
        env = dict(os.environ)
        env.setdefault(PASSWORD_VARIABLE, "")
        command = [args.openssl, "pkcs12", "-in", args.pfx, "-nokeys", "-clcerts", "-passin",
                   "env:" + PASSWORD_VARIABLE]
        done = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        if done.returncode != 0:
            # Older PKCS#12 files use ciphers that OpenSSL 3 keeps in its legacy provider.
            done = subprocess.run(command + ["-legacy"], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        if done.returncode != 0:
            sys.stderr.write(done.stderr.decode("utf-8", "replace"))
            raise SystemExit("sign: reading the certificate of %s failed%s" % (args.pfx, password_hint(args)))
        blocks = pem_blocks(done.stdout)
    if not blocks:
        raise SystemExit("sign: no certificate in %s" % (args.cert or args.pfx))
    return blocks[0]


def check(args, path):
    """Fails unless the file carries a signature whose certificates include the
    signing certificate: a DLL built by another build (the 32-bit DLL that the x64
    package ships) must have been signed there, with the same certificate."""
    with tempfile.TemporaryDirectory(prefix="tavrinolex-sign-") as scratch:
        signature = os.path.join(scratch, "signature.der")
        done = subprocess.run([args.osslsigncode, "extract-signature", "-in", path, "-out", signature],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if done.returncode != 0 or not os.path.exists(signature):
            raise SystemExit("sign: %s is not signed; build it with the same certificate first" % path)
        certificates = pem_blocks(run([args.openssl, "pkcs7", "-inform", "DER", "-in", signature, "-print_certs"],
                                      "reading the signature of " + path))
        if signing_certificate(args) not in certificates:
            raise SystemExit("sign: %s is signed with another certificate; build it again with this one" % path)


def main():
    parser = argparse.ArgumentParser(description="Signs files with Authenticode through osslsigncode.")
    add_arguments(parser)
    parser.add_argument("--check", action="store_true", help="check the files' signatures instead of signing")
    parser.add_argument("--built", action="store_true", help="remove a file that could not be signed")
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()
    if not enabled(args):
        parser.error("no certificate named (--pfx, or --cert and --key)")
    for path in args.files:
        try:
            (check if args.check else sign)(args, path)
        except SystemExit:
            if args.built:
                os.remove(path)
            raise


if __name__ == "__main__":
    main()
