#include "trust/CatalogVerifier.h"

#include <stdlib.h>

#include "trust/SystemLibrary.h"

TrustEntryPoints gTrustEntryPoints;

namespace {

const GUID kDriverActionVerify = DRIVER_ACTION_VERIFY;

template <typename Function>
bool LookUp(HMODULE module, const char* name, Function* entry)
{
    const FARPROC found = module != NULL ? gTrustLibraryLoader->lookup(module, name) : NULL;
    *entry = reinterpret_cast<Function>(reinterpret_cast<void*>(found));
    return found != NULL;
}

}

CatalogVerifier::CatalogVerifier()
    : lastFailure(S_OK),
      trustStatus(S_OK),
      catalogStatus(S_OK),
      winTrustModule(NULL),
      crypt32Module(NULL),
      catalogAdmin(NULL),
      catalogAdminSha256(NULL)
{
    Bind();
}

ResultCode CatalogVerifier::Bind()
{
    TrustEntryPoints& entry = gTrustEntryPoints;
    ResultCode result = S_OK;

    // Both libraries are loaded whatever the lookups give, so Release always has both to undo.
    crypt32Module = gTrustLibraryLoader->load("Crypt32.dll");
    if (!LookUp(crypt32Module, "CertVerifyCertificateChainPolicy", &entry.certVerifyCertificateChainPolicy) ||
        !LookUp(crypt32Module, "CertFreeCertificateContext", &entry.certFreeCertificateContext))
        result = E_FAIL;

    winTrustModule = gTrustLibraryLoader->load("WinTrust.dll");
    if (result >= 0 &&
        (!LookUp(winTrustModule, "WinVerifyTrust", &entry.winVerifyTrust) ||
         !LookUp(winTrustModule, "WTHelperProvDataFromStateData", &entry.wtHelperProvDataFromStateData) ||
         !LookUp(winTrustModule, "WTHelperGetProvSignerFromChain", &entry.wtHelperGetProvSignerFromChain)))
        result = E_FAIL;
    trustStatus = result;

    if (result >= 0 &&
        (!LookUp(winTrustModule, "CryptCATAdminAcquireContext", &entry.cryptCATAdminAcquireContext) ||
         !LookUp(winTrustModule, "CryptCATAdminReleaseContext", &entry.cryptCATAdminReleaseContext) ||
         !LookUp(winTrustModule, "CryptCATAdminCalcHashFromFileHandle", &entry.cryptCATAdminCalcHashFromFileHandle) ||
         !LookUp(winTrustModule, "CryptCATAdminEnumCatalogFromHash", &entry.cryptCATAdminEnumCatalogFromHash) ||
         !LookUp(winTrustModule, "CryptCATCatalogInfoFromContext", &entry.cryptCATCatalogInfoFromContext) ||
         !LookUp(winTrustModule, "CryptCATAdminReleaseCatalogContext", &entry.cryptCATAdminReleaseCatalogContext) ||
         !LookUp(winTrustModule, "CryptCATAdminResolveCatalogPath", &entry.cryptCATAdminResolveCatalogPath)))
        result = E_FAIL;

    if (result >= 0 && !entry.cryptCATAdminAcquireContext(&catalogAdmin, &kDriverActionVerify, 0)) {
        catalogAdmin = NULL;
        result = FailureFromLastError();
    }

    // Many system files are listed under their SHA-256 hash only. The entry points for it are
    // optional: without them, or when the context cannot be had, the check runs on SHA-1 alone.
    if (result >= 0 &&
        LookUp(winTrustModule, "CryptCATAdminAcquireContext2", &entry.cryptCATAdminAcquireContext2) &&
        LookUp(winTrustModule, "CryptCATAdminCalcHashFromFileHandle2", &entry.cryptCATAdminCalcHashFromFileHandle2) &&
        !entry.cryptCATAdminAcquireContext2(&catalogAdminSha256, &kDriverActionVerify, L"SHA256", NULL, 0))
        catalogAdminSha256 = NULL;

    catalogStatus = result;
    if (result < 0)
        lastFailure = result;
    return result;
}

void CatalogVerifier::Release()
{
    // Contexts first: their release function lives in WinTrust.dll.
    HCATADMIN* contexts[] = {&catalogAdminSha256, &catalogAdmin};
    for (HCATADMIN* context : contexts) {
        if (*context == NULL)
            continue;
        if (gTrustEntryPoints.cryptCATAdminReleaseContext != NULL)
            gTrustEntryPoints.cryptCATAdminReleaseContext(*context, 0);
        *context = NULL;
    }
    if (winTrustModule != NULL) {
        gTrustLibraryLoader->unload(winTrustModule);
        winTrustModule = NULL;
    }
    if (crypt32Module != NULL) {
        gTrustLibraryLoader->unload(crypt32Module);
        crypt32Module = NULL;
    }
}

CatalogVerifier gCatalogVerifier;

namespace {

void ReleaseCatalogVerifier()
{
    gCatalogVerifier.Release();
}

// Registered right after the verifier is constructed (same file, so in this order).
const int kReleaseRegistered = atexit(ReleaseCatalogVerifier);

}
