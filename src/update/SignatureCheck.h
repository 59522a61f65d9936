// The release signature of a downloaded program: a detached RSA signature (PKCS #1 v1.5 over
// SHA-256, a 3072-bit key) of the file's exact bytes, as "openssl dgst -sha256 -sign" makes it.
#pragma once

#include <windows.h>

#include "support/ResultCode.h"

// The release public key that the program carries (DER SubjectPublicKeyInfo), fixed when the
// program is built.
extern const BYTE kReleasePublicKey[];
extern const DWORD kReleasePublicKeySize;

// S_OK when signaturePath holds a signature of the file at path made with the private half of
// publicKey (a DER SubjectPublicKeyInfo of a 3072-bit RSA key). Otherwise a failure, and reason
// says in a few words why (a missing or unreadable signature, one of the wrong size, one that
// does not match, a key that cannot be used).
ResultCode VerifyFileSignature(const char* path, const char* signaturePath, const BYTE* publicKey,
                               DWORD publicKeySize, const char** reason);
