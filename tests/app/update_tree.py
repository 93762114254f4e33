"""Builds an update server tree the way the product's server lays it out:

    <root>/pl/plmr/danpeizhib.txt      version file (UTF-8 JSON object)
    <root>/pl/plmr/<lj>                the updater under its relative path

Used by the end-to-end tests and by scripts/demo.
"""
import hashlib
import json
import os

DIGEST_KEY = "Pelmora更新.exe"
VERSION_FILE = "pl/plmr/danpeizhib.txt"
INSTALL_DIR_PARTS = ("users", "Administrator", "Desktop", "QRVN服务端")
UPDATER_NAME = "Pelmora更新.exe"


def md5_hex(data: bytes) -> str:
    return hashlib.md5(data).hexdigest()


def version_json(digest: str, lj: str, escape_key: bool = False) -> bytes:
    """The version file body. With escape_key the digest key is written as
    \\u escapes (which the program must not match)."""
    text = json.dumps({DIGEST_KEY: digest, "lj": lj}, ensure_ascii=escape_key)
    return text.encode("utf-8")


def make_tree(root: str, updater: bytes, lj: str, *, digest: str = None, escape_key: bool = False,
              body: bytes = None) -> str:
    """Writes the tree; returns the digest announced. `body` replaces the
    version file's content entirely (for malformed-file cases)."""
    announced = digest if digest is not None else md5_hex(updater)
    version_path = os.path.join(root, VERSION_FILE)
    os.makedirs(os.path.dirname(version_path), exist_ok=True)
    with open(version_path, "wb") as f:
        f.write(body if body is not None else version_json(announced, lj, escape_key))
    target = os.path.join(root, "pl", "plmr", lj)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    with open(target, "wb") as f:
        f.write(updater)
    return announced


def install_dir(wineprefix: str) -> str:
    """The fixed install directory inside a Wine prefix (host path)."""
    return os.path.join(wineprefix, "drive_c", *INSTALL_DIR_PARTS)


def updater_variant(base: bytes, label: str, size: int = 0) -> bytes:
    """A distinct copy of an updater program: PE files ignore bytes appended
    after their image, so a trailer makes a new version that still runs."""
    trailer = ("\nPELMORA-TEST-VERSION " + label + "\n").encode("utf-8")
    data = base + trailer
    if size > len(data):
        data += bytes(size - len(data))
    return data
