"""A throwaway CA and code-signing certificate made with openssl for one test run,
and the built exe signed with it the way the package script signs."""
import subprocess
import sys

from conftest import EXE, ROOT

sys.path.insert(0, str(ROOT / "scripts"))
import package  # noqa: E402

PASSWORD = "only-for-this-test 4711"
LEAF_EXTENSIONS = "basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n"


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=120)


def make_signer(folder):
    """(package.Signing for a PKCS#12 file and its password file, path of the CA certificate)."""
    (folder / "leaf.ext").write_text(LEAF_EXTENSIONS)
    (folder / "password").write_text(PASSWORD + "\n")  # as `echo` would write it
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
            "-subj", "/CN=StillSentinel Test CA", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign", cwd=folder)
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "leaf.key", "-out", "leaf.csr",
            "-subj", "/CN=StillSentinel Test Signer", cwd=folder)
    openssl("x509", "-req", "-in", "leaf.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-days", "2", "-extfile", "leaf.ext", "-out", "leaf.pem", cwd=folder)
    openssl("pkcs12", "-export", "-inkey", "leaf.key", "-in", "leaf.pem", "-certfile", "ca.pem",
            "-passout", "file:password", "-out", "signer.pfx", cwd=folder)
    return package.Signing(str(folder / "signer.pfx"), str(folder / "password")), folder / "ca.pem"


def signed_exe(folder):
    """A copy of the built exe signed with a fresh throwaway certificate."""
    signing, _ = make_signer(folder)
    path = folder / "StillSentinel.exe"
    path.write_bytes(package.sign(EXE.read_bytes(), signing))
    return path
