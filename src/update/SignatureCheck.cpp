#include "update/SignatureCheck.h"

#include <wincrypt.h>
#include <stdio.h>
#include <stdlib.h>

namespace {

const DWORD kKeyBits = 3072;
const DWORD kSignatureBytes = kKeyBits / 8;
const DWORD kReadChunk = 64 * 1024;

// Reads the signature file; it must hold exactly one signature's bytes.
ResultCode ReadSignature(const char* signaturePath, BYTE* signature, const char** reason)
{
    FILE* file = fopen(signaturePath, "rb");
    if (file == NULL) {
        *reason = "no signature";
        return E_FAIL;
    }
    BYTE extra = 0;
    const size_t read = fread(signature, 1, kSignatureBytes, file);
    const bool longer = fread(&extra, 1, 1, file) == 1;
    const bool failed = ferror(file) != 0;
    fclose(file);
    if (failed) {
        *reason = "the signature cannot be read";
        return E_FAIL;
    }
    if (read != kSignatureBytes || longer) {
        *reason = "the signature is not 384 bytes long";
        return E_FAIL;
    }
    return S_OK;
}

ResultCode HashFile(HCRYPTHASH hash, const char* path, const char** reason)
{
    *reason = "the program cannot be read";
    FILE* file = fopen(path, "rb");
    if (file == NULL)
        return E_FAIL;
    BYTE* chunk = (BYTE*)malloc(kReadChunk);
    if (chunk == NULL) {
        fclose(file);
        return E_OUTOFMEMORY;
    }
    ResultCode result = S_OK;
    for (;;) {
        const size_t read = fread(chunk, 1, kReadChunk, file);
        if (read > 0 && !CryptHashData(hash, chunk, (DWORD)read, 0)) {
            result = FailureFromLastError();
            break;
        }
        if (read < kReadChunk)
            break;
    }
    if (result >= 0 && ferror(file))
        result = E_FAIL;
    free(chunk);
    fclose(file);
    if (result >= 0)
        *reason = "";
    return result;
}

}

ResultCode VerifyFileSignature(const char* path, const char* signaturePath, const BYTE* publicKey,
                               DWORD publicKeySize, const char** reason)
{
    *reason = "";
    HCRYPTPROV provider = 0;
    CERT_PUBLIC_KEY_INFO* keyInfo = NULL;
    DWORD keyInfoSize = 0;
    HCRYPTKEY key = 0;
    HCRYPTHASH hash = 0;
    DWORD keyBits = 0;
    DWORD keyBitsSize = sizeof(keyBits);
    BYTE signature[kSignatureBytes] = {0};
    BYTE reversed[kSignatureBytes] = {0};

    ResultCode result = ReadSignature(signaturePath, signature, reason);
    if (result < 0)
        goto Cleanup;

    *reason = "the release key cannot be used";
    if (!CryptAcquireContextA(&provider, NULL, NULL, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) ||
        !CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, publicKey, publicKeySize,
                             CRYPT_DECODE_ALLOC_FLAG, NULL, &keyInfo, &keyInfoSize) ||
        !CryptImportPublicKeyInfo(provider, X509_ASN_ENCODING, keyInfo, &key) ||
        !CryptGetKeyParam(key, KP_KEYLEN, (BYTE*)&keyBits, &keyBitsSize, 0) || keyBits != kKeyBits ||
        !CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash)) {
        result = FailureFromLastError();
        goto Cleanup;
    }

    result = HashFile(hash, path, reason);
    if (result < 0)
        goto Cleanup;

    // The signature is a big-endian number; CryptoAPI takes it least significant byte first.
    for (DWORD i = 0; i < kSignatureBytes; i++)
        reversed[i] = signature[kSignatureBytes - 1 - i];
    if (!CryptVerifySignatureA(hash, reversed, kSignatureBytes, key, NULL, 0)) {
        *reason = "the signature does not match";
        result = FailureFromLastError();
        goto Cleanup;
    }
    *reason = "";
    result = S_OK;

Cleanup:
    if (hash != 0)
        CryptDestroyHash(hash);
    if (key != 0)
        CryptDestroyKey(key);
    if (keyInfo != NULL)
        LocalFree(keyInfo);
    if (provider != 0)
        CryptReleaseContext(provider, 0);
    return result;
}
