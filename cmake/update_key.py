#!/usr/bin/env python3
"""update_key.py PEM: the 64-byte point of an ECDSA P-256 public key (a PEM
SubjectPublicKeyInfo, "-----BEGIN PUBLIC KEY-----", as `openssl ec -pubout`
writes it) as a C initializer list, for the configure step. Anything else
fails with the reason."""
import base64
import binascii
import sys

# SEQUENCE { SEQUENCE { id-ecPublicKey, prime256v1 }, BIT STRING { 04 (uncompressed) ...
SPKI_PREFIX = bytes.fromhex("3059301306072a8648ce3d020106082a8648ce3d030107034200" "04")
POINT_BYTES = 64


def point_of(pem_text):
    lines = [line.strip() for line in pem_text.strip().splitlines()]
    if len(lines) < 3 or lines[0] != "-----BEGIN PUBLIC KEY-----" or lines[-1] != "-----END PUBLIC KEY-----":
        raise ValueError("not a PEM public key (-----BEGIN PUBLIC KEY----- ... -----END PUBLIC KEY-----)")
    try:
        der = base64.b64decode("".join(lines[1:-1]), validate=True)
    except binascii.Error as error:
        raise ValueError("its Base64 is broken: %s" % error)
    if len(der) != len(SPKI_PREFIX) + POINT_BYTES or not der.startswith(SPKI_PREFIX):
        raise ValueError("not an uncompressed ECDSA P-256 (prime256v1) public key")
    return der[len(SPKI_PREFIX):]


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: update_key.py PEM")
    try:
        with open(sys.argv[1], encoding="ascii") as f:
            point = point_of(f.read())
    except (OSError, UnicodeDecodeError, ValueError) as error:
        sys.exit("%s: %s" % (sys.argv[1], error))
    print(",".join("0x%02x" % b for b in point), end="")


if __name__ == "__main__":
    main()
