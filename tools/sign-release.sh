#!/usr/bin/env bash
# Signs a release of the program: writes PROGRAM.sig beside it, the detached signature of its
# exact bytes (RSA, PKCS #1 v1.5 over SHA-256) that the update checks before installing it.
# Serve it beside the program as tool/Kestrovane.exe.sig.
#
#   tools/sign-release.sh PRIVATE-KEY.pem PROGRAM.exe
set -eu
if [ $# -ne 2 ]; then
    echo "usage: $0 PRIVATE-KEY.pem PROGRAM.exe" >&2
    exit 2
fi
openssl dgst -sha256 -sign "$1" -out "$2.sig" "$2"
echo "signature: $2.sig"
