// The entry points of the trust services (WinTrust.dll) and certificate services (Crypt32.dll)
// that the catalog check calls, looked up at run time. The table is process-wide; tests point
// its entries at fakes to reach what a test machine's own catalogs cannot show.
#pragma once

#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>
#include <mscat.h>
#include <softpub.h>

typedef BOOL(WINAPI* CertVerifyCertificateChainPolicyFn)(LPCSTR, PCCERT_CHAIN_CONTEXT,
                                                        PCERT_CHAIN_POLICY_PARA,
                                                        PCERT_CHAIN_POLICY_STATUS);
typedef BOOL(WINAPI* CertFreeCertificateContextFn)(PCCERT_CONTEXT);
typedef LONG(WINAPI* WinVerifyTrustFn)(HWND, GUID*, LPVOID);
typedef CRYPT_PROVIDER_DATA*(WINAPI* WTHelperProvDataFromStateDataFn)(HANDLE);
typedef CRYPT_PROVIDER_SGNR*(WINAPI* WTHelperGetProvSignerFromChainFn)(CRYPT_PROVIDER_DATA*, DWORD,
                                                                      BOOL, DWORD);
typedef BOOL(WINAPI* CryptCATAdminAcquireContextFn)(HCATADMIN*, const GUID*, DWORD);
typedef BOOL(WINAPI* CryptCATAdminReleaseContextFn)(HCATADMIN, DWORD);
typedef BOOL(WINAPI* CryptCATAdminCalcHashFromFileHandleFn)(HANDLE, DWORD*, BYTE*, DWORD);
typedef HCATINFO(WINAPI* CryptCATAdminEnumCatalogFromHashFn)(HCATADMIN, BYTE*, DWORD, DWORD,
                                                             HCATINFO*);
typedef BOOL(WINAPI* CryptCATCatalogInfoFromContextFn)(HCATINFO, CATALOG_INFO*, DWORD);
typedef BOOL(WINAPI* CryptCATAdminReleaseCatalogContextFn)(HCATADMIN, HCATINFO, DWORD);
typedef BOOL(WINAPI* CryptCATAdminResolveCatalogPathFn)(HCATADMIN, WCHAR*, CATALOG_INFO*, DWORD);
typedef BOOL(WINAPI* CryptCATAdminAcquireContext2Fn)(HCATADMIN*, const GUID*, PCWSTR,
                                                    PCCERT_STRONG_SIGN_PARA, DWORD);
typedef BOOL(WINAPI* CryptCATAdminCalcHashFromFileHandle2Fn)(HCATADMIN, HANDLE, DWORD*, BYTE*,
                                                            DWORD);

// In lookup order. The first twelve are required: the first one missing ends the binding. The
// last two are looked up only after those; without them the check uses SHA-1 hashes alone.
struct TrustEntryPoints {
    CertVerifyCertificateChainPolicyFn certVerifyCertificateChainPolicy;
    CertFreeCertificateContextFn certFreeCertificateContext;
    WinVerifyTrustFn winVerifyTrust;
    WTHelperProvDataFromStateDataFn wtHelperProvDataFromStateData;
    WTHelperGetProvSignerFromChainFn wtHelperGetProvSignerFromChain;
    CryptCATAdminAcquireContextFn cryptCATAdminAcquireContext;
    CryptCATAdminReleaseContextFn cryptCATAdminReleaseContext;
    CryptCATAdminCalcHashFromFileHandleFn cryptCATAdminCalcHashFromFileHandle;
    CryptCATAdminEnumCatalogFromHashFn cryptCATAdminEnumCatalogFromHash;
    CryptCATCatalogInfoFromContextFn cryptCATCatalogInfoFromContext;
    CryptCATAdminReleaseCatalogContextFn cryptCATAdminReleaseCatalogContext;
    CryptCATAdminResolveCatalogPathFn cryptCATAdminResolveCatalogPath;
    CryptCATAdminAcquireContext2Fn cryptCATAdminAcquireContext2;
    CryptCATAdminCalcHashFromFileHandle2Fn cryptCATAdminCalcHashFromFileHandle2;
};

extern TrustEntryPoints gTrustEntryPoints;
