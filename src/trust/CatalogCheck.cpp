// The catalog check of one file: operations of the catalog verifier.
#include "trust/CatalogVerifier.h"

#include <stddef.h>
#include <stdlib.h>

#include "support/BoundedString.h"

namespace {

GUID kDriverActionVerify = DRIVER_ACTION_VERIFY;
GUID kGenericVerifyV2 = WINTRUST_ACTION_GENERIC_VERIFY_V2;

// WINTRUST_DATA up to and including dwProvFlags; WINTRUST_CATALOG_INFO without and with the
// trailing hCatAdmin, which only the SHA-256 search sets.
const DWORD kTrustDataSize = offsetof(WINTRUST_DATA, dwUIContext);
const DWORD kCatalogInfoSize = offsetof(WINTRUST_CATALOG_INFO, hCatAdmin);
const DWORD kCatalogInfoWithAdminSize = sizeof(WINTRUST_CATALOG_INFO);

// WinVerifyTrust answers an HRESULT, or now and then a bare Win32 error number.
ResultCode ResultFromTrust(LONG verdict)
{
    if (verdict < 0)
        return verdict;
    return (ResultCode)(0x80070000UL | ((ULONG)verdict & 0xFFFFUL));
}

// System catalogs list their members under the upper-case hexadecimal text of the hash.
void WriteMemberTag(const BYTE* hash, DWORD size, wchar_t* tag, size_t cch)
{
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    size_t length = 0;
    for (DWORD i = 0; i < size && length + 2 < cch; i++) {
        tag[length++] = kDigits[hash[i] >> 4];
        tag[length++] = kDigits[hash[i] & 0x0F];
    }
    tag[length] = 0;
}

// The hash of the whole file, from its start, with the algorithm of the context (SHA-256) or
// with SHA-1 (admin NULL). The caller frees *hash.
ResultCode HashFile(HANDLE file, HCATADMIN admin, BYTE** hash, DWORD* size)
{
    const TrustEntryPoints& entry = gTrustEntryPoints;
    *hash = NULL;
    *size = 0;

    SetFilePointer(file, 0, NULL, FILE_BEGIN);
    if (admin != NULL)
        entry.cryptCATAdminCalcHashFromFileHandle2(admin, file, size, NULL, 0);
    else
        entry.cryptCATAdminCalcHashFromFileHandle(file, size, NULL, 0);
    if (*size == 0)
        return E_FAIL;

    BYTE* buffer = (BYTE*)malloc(*size);
    if (buffer == NULL)
        return E_OUTOFMEMORY;
    SetFilePointer(file, 0, NULL, FILE_BEGIN);
    const BOOL hashed = admin != NULL
                            ? entry.cryptCATAdminCalcHashFromFileHandle2(admin, file, size, buffer, 0)
                            : entry.cryptCATAdminCalcHashFromFileHandle(file, size, buffer, 0);
    if (!hashed) {
        const ResultCode result = FailureFromLastError();
        free(buffer);
        return result;
    }
    *hash = buffer;
    return S_OK;
}

}

ResultCode CatalogVerifier::VerifyFile(const char* path, BYTE* verified)
{
    if (path == NULL)
        return E_INVALIDARG;
    if (catalogStatus < 0) {
        lastFailure = catalogStatus;
        return catalogStatus;
    }

    wchar_t* wide = NULL;
    ResultCode result = ToWideString(path, &wide);
    if (result < 0) {
        lastFailure = result;
        return result;
    }
    result = VerifyFileWide(wide, verified);
    if (result < 0)
        lastFailure = result;
    free(wide);
    return result;
}

ResultCode CatalogVerifier::ToWideString(const char* text, wchar_t** wide)
{
    if (text == NULL || wide == NULL || text[0] == 0)
        return E_INVALIDARG;
    *wide = NULL;

    const int count = MultiByteToWideChar(CP_ACP, 0, text, -1, NULL, 0);
    if (count == 0)
        return FailureFromLastError();
    wchar_t* buffer = (wchar_t*)malloc(sizeof(wchar_t) * (size_t)count);
    if (buffer == NULL)
        return E_OUTOFMEMORY;
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, buffer, count) == 0) {
        const ResultCode result = FailureFromLastError();
        free(buffer);
        return result;
    }
    *wide = buffer;
    return S_OK;
}

ResultCode CatalogVerifier::VerifyFileWide(const wchar_t* path, BYTE* verified)
{
    if (path == NULL)
        return E_INVALIDARG;
    *verified = 0;
    ResultCode result = catalogStatus;
    HANDLE file = INVALID_HANDLE_VALUE;
    if (result < 0)
        goto Cleanup;

    file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        result = FailureFromLastError();
        goto Cleanup;
    }

    {
        // The outcome of the last catalog tried, over both searches; 0 when none holds the hash.
        ResultCode catalogResult = S_OK;
        // A failed SHA-256 hash is not a verdict: the SHA-1 search follows.
        if (catalogAdminSha256 != NULL && gTrustEntryPoints.cryptCATAdminCalcHashFromFileHandle2 != NULL)
            SearchCatalogs(file, catalogAdminSha256, true, verified, &catalogResult);
        result = S_OK;
        if (*verified == 0)
            result = SearchCatalogs(file, catalogAdmin, false, verified, &catalogResult);
        if (result >= 0)
            result = catalogResult;
    }

Cleanup:
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (result < 0)
        lastFailure = result;
    return result;
}

// Tries the catalogs that list the file's hash, one after the other, until one passes. Answers
// the failure to hash the file; the verdict of each catalog tried goes to *catalogResult.
ResultCode CatalogVerifier::SearchCatalogs(HANDLE file, HCATADMIN admin, bool sha256,
                                           BYTE* verified, ResultCode* catalogResult)
{
    const TrustEntryPoints& entry = gTrustEntryPoints;
    BYTE* hash = NULL;
    DWORD hashSize = 0;
    HCATINFO current = NULL;
    ResultCode result = HashFile(file, sha256 ? admin : NULL, &hash, &hashSize);
    if (result < 0)
        goto Cleanup;

    {
        wchar_t memberTag[kTextChars] = {0};
        WriteMemberTag(hash, hashSize, memberTag, kTextChars);

        OSVERSIONINFOEXA os = {};
        os.dwOSVersionInfoSize = sizeof(os);
        GetVersionExA((OSVERSIONINFOA*)&os);

        DRIVER_VER_INFO versionInfo = {};
        versionInfo.cbStruct = sizeof(versionInfo);
        versionInfo.dwPlatform = VER_PLATFORM_WIN32_NT;
        versionInfo.sOSVersionLow.dwMajor = 5;
        versionInfo.sOSVersionLow.dwMinor = 0;
        versionInfo.sOSVersionHigh.dwMajor = os.dwMajorVersion;
        versionInfo.sOSVersionHigh.dwMinor = os.dwMinorVersion;

        WINTRUST_CATALOG_INFO catalogInfo = {};
        catalogInfo.cbStruct = sha256 ? kCatalogInfoWithAdminSize : kCatalogInfoSize;
        catalogInfo.pcwszMemberTag = memberTag;
        catalogInfo.pbCalculatedFileHash = hash;
        catalogInfo.cbCalculatedFileHash = hashSize;
        if (sha256)
            catalogInfo.hCatAdmin = admin;

        WINTRUST_DATA trustData = {};
        trustData.cbStruct = kTrustDataSize;
        trustData.pPolicyCallbackData = &versionInfo;
        trustData.dwUIChoice = WTD_UI_NONE;
        trustData.fdwRevocationChecks = WTD_REVOKE_NONE;
        trustData.dwUnionChoice = WTD_CHOICE_CATALOG;
        trustData.pCatalog = &catalogInfo;
        trustData.dwProvFlags = WTD_REVOCATION_CHECK_NONE;

        // Each call releases the context it is given as the previous one.
        HCATINFO previous = NULL;
        current = entry.cryptCATAdminEnumCatalogFromHash(admin, hash, hashSize, 0, &previous);
        while (current != NULL && *verified == 0) {
            CATALOG_INFO catalog = {};
            catalog.cbStruct = sizeof(catalog);
            if (entry.cryptCATCatalogInfoFromContext(current, &catalog, 0)) {
                catalogInfo.pcwszCatalogFilePath = catalog.wszCatalogFile;
                trustData.dwStateAction = WTD_STATEACTION_VERIFY;
                const LONG verdict = entry.winVerifyTrust(NULL, &kDriverActionVerify, &trustData);
                if (verdict == 0) {
                    BYTE signerOk = 0;
                    *catalogResult = VerifyCatalogSigner(catalog.wszCatalogFile, &signerOk);
                    if (signerOk == 1)
                        *verified = 1;
                } else {
                    *catalogResult = ResultFromTrust(verdict);
                }
                trustData.dwStateAction = WTD_STATEACTION_CLOSE;
                entry.winVerifyTrust((HWND)INVALID_HANDLE_VALUE, &kDriverActionVerify, &trustData);
                if (versionInfo.pcSignerCertContext != NULL) {
                    entry.certFreeCertificateContext(versionInfo.pcSignerCertContext);
                    versionInfo.pcSignerCertContext = NULL;
                }
            }
            previous = current;
            current = entry.cryptCATAdminEnumCatalogFromHash(admin, hash, hashSize, 0, &previous);
        }
    }

Cleanup:
    free(hash);
    if (current != NULL && admin != NULL && entry.cryptCATAdminReleaseCatalogContext != NULL)
        entry.cryptCATAdminReleaseCatalogContext(admin, current, 0);
    return result;
}

ResultCode CatalogVerifier::VerifyCatalogSigner(const wchar_t* catalogPath, BYTE* signerOk)
{
    if (catalogPath == NULL)
        return E_INVALIDARG;
    *signerOk = 0;
    ResultCode result = trustStatus;
    if (result < 0)
        goto Done;

    {
        const TrustEntryPoints& entry = gTrustEntryPoints;
        WINTRUST_FILE_INFO fileInfo = {};
        fileInfo.cbStruct = sizeof(fileInfo);
        fileInfo.pcwszFilePath = catalogPath;

        WINTRUST_DATA trustData = {};
        trustData.cbStruct = kTrustDataSize;
        trustData.dwUIChoice = WTD_UI_NONE;
        trustData.fdwRevocationChecks = WTD_REVOKE_NONE;
        trustData.dwUnionChoice = WTD_CHOICE_FILE;
        trustData.pFile = &fileInfo;
        trustData.dwStateAction = WTD_STATEACTION_VERIFY;

        const LONG verdict = entry.winVerifyTrust((HWND)INVALID_HANDLE_VALUE, &kGenericVerifyV2, &trustData);
        if (verdict != 0) {
            result = ResultFromTrust(verdict);
        } else {
            CRYPT_PROVIDER_DATA* provider = entry.wtHelperProvDataFromStateData(trustData.hWVTStateData);
            CRYPT_PROVIDER_SGNR* signer =
                provider != NULL ? entry.wtHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : NULL;
            if (signer == NULL) {
                result = E_FAIL;
            } else {
                CERT_CHAIN_POLICY_PARA policy = {};
                policy.cbSize = sizeof(policy);
                CERT_CHAIN_POLICY_STATUS status = {};
                status.cbSize = sizeof(status);
                // A FALSE answer means the policy could not be evaluated: not a pass.
                if (entry.certVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_MICROSOFT_ROOT,
                                                           signer->pChainContext, &policy, &status) &&
                    status.dwError == 0)
                    *signerOk = 1;
            }
        }

        trustData.dwStateAction = WTD_STATEACTION_CLOSE;
        entry.winVerifyTrust((HWND)INVALID_HANDLE_VALUE, &kGenericVerifyV2, &trustData);
    }

Done:
    if (result < 0)
        lastFailure = result;
    return result;
}
