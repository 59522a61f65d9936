#include "FakeTrust.h"

#include <stdint.h>
#include <string.h>

FakeTrustState gFake;
const HCATADMIN kFakeSha1Admin = (HCATADMIN)(uintptr_t)0xA1;
const HCATADMIN kFakeSha256Admin = (HCATADMIN)(uintptr_t)0xA2;

namespace {

const HMODULE kFakeCrypt32 = (HMODULE)(uintptr_t)0x10000;
const HMODULE kFakeWinTrust = (HMODULE)(uintptr_t)0x20000;
CERT_CONTEXT gFakeCertificate;
CERT_CHAIN_CONTEXT gFakeChain;
CRYPT_PROVIDER_DATA gFakeProvider;
CRYPT_PROVIDER_SGNR gFakeSigner;
const FakeCatalog* gSignerCatalog = NULL;  // the catalog whose signer is being checked

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

std::vector<FakeCatalog>& CatalogsOf(HCATADMIN admin)
{
    return admin == kFakeSha256Admin ? gFake.sha256Catalogs : gFake.sha1Catalogs;
}

// A catalog context names its list and its index.
HCATINFO CatalogHandle(HCATADMIN admin, size_t index)
{
    return (HCATINFO)(uintptr_t)(((admin == kFakeSha256Admin) ? 0x2000 : 0x1000) + index);
}
const FakeCatalog* CatalogOf(HCATINFO handle, size_t* index)
{
    const uintptr_t value = (uintptr_t)handle;
    std::vector<FakeCatalog>& list = (value >= 0x2000) ? gFake.sha256Catalogs : gFake.sha1Catalogs;
    *index = value & 0xFFF;
    return *index < list.size() ? &list[*index] : NULL;
}
const FakeCatalog* CatalogByPath(const std::wstring& path)
{
    for (const std::vector<FakeCatalog>* list : {&gFake.sha1Catalogs, &gFake.sha256Catalogs})
        for (const FakeCatalog& catalog : *list)
            if (catalog.path == path)
                return &catalog;
    return NULL;
}

BOOL WINAPI FakeCalcHash(DWORD expectedSize, HANDLE file, DWORD* size, BYTE* hash)
{
    if (hash == NULL) {
        *size = expectedSize;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (gFake.hashFails) {
        SetLastError(gFake.hashError);
        return FALSE;
    }
    std::string content(*size, '\0');
    DWORD read = 0;
    ReadFile(file, &content[0], *size, &read, NULL);
    content.resize(read);
    gFake.hashedContents.push_back(content);
    memset(hash, 0, *size);
    memcpy(hash, content.data(), read);
    return TRUE;
}
BOOL WINAPI FakeCalcHashSha1(HANDLE file, DWORD* size, BYTE* hash, DWORD)
{
    return FakeCalcHash(gFake.sha1Size, file, size, hash);
}
BOOL WINAPI FakeCalcHashSha256(HCATADMIN, HANDLE file, DWORD* size, BYTE* hash, DWORD)
{
    return FakeCalcHash(gFake.sha256Size, file, size, hash);
}

HCATINFO WINAPI FakeEnumCatalog(HCATADMIN admin, BYTE*, DWORD, DWORD, HCATINFO* previous)
{
    size_t next = 0;
    if (*previous != NULL) {
        gFake.catalogsReleased++;
        CatalogOf(*previous, &next);
        next++;
    }
    if (next >= CatalogsOf(admin).size())
        return NULL;
    gFake.catalogsAcquired++;
    return CatalogHandle(admin, next);
}

BOOL WINAPI FakeReleaseCatalog(HCATADMIN, HCATINFO, DWORD)
{
    gFake.catalogsReleased++;
    return TRUE;
}

BOOL WINAPI FakeCatalogInfo(HCATINFO handle, CATALOG_INFO* info, DWORD)
{
    size_t index = 0;
    const FakeCatalog* catalog = CatalogOf(handle, &index);
    if (catalog == NULL || catalog->infoFails || info->cbStruct != sizeof(CATALOG_INFO))
        return FALSE;
    wcsncpy(info->wszCatalogFile, catalog->path.c_str(), MAX_PATH - 1);
    return TRUE;
}

LONG WINAPI FakeWinVerifyTrust(HWND, GUID* action, LPVOID parameter)
{
    WINTRUST_DATA* data = (WINTRUST_DATA*)parameter;
    const GUID driverAction = DRIVER_ACTION_VERIFY;
    const bool opening = data->dwStateAction == WTD_STATEACTION_VERIFY;
    if (IsEqualGUID(*action, driverAction)) {
        const WINTRUST_CATALOG_INFO* catalogInfo = data->pCatalog;
        const FakeCatalog* catalog = CatalogByPath(catalogInfo->pcwszCatalogFilePath);
        gFake.calls.push_back(std::string("driver ") + (opening ? "verify " : "close ") +
                              Narrow(catalogInfo->pcwszCatalogFilePath));
        if (!opening) {
            gFake.driverStatesClosed++;
            return 0;
        }
        gFake.driverStatesOpened++;
        SeenDriverCall seen = {};
        seen.data = *data;
        memcpy(&seen.catalog, catalogInfo, catalogInfo->cbStruct);
        seen.catalogPath = catalogInfo->pcwszCatalogFilePath;
        seen.memberTag = catalogInfo->pcwszMemberTag;
        seen.versionInfo = *(DRIVER_VER_INFO*)data->pPolicyCallbackData;
        gFake.driverCalls.push_back(seen);
        ((DRIVER_VER_INFO*)data->pPolicyCallbackData)->pcSignerCertContext = &gFakeCertificate;
        gFake.certificatesAcquired++;
        data->hWVTStateData = (HANDLE)(uintptr_t)0xD1;
        return catalog != NULL ? catalog->driverVerdict : TRUST_E_FAIL;
    }

    const std::wstring path = data->pFile->pcwszFilePath;
    gFake.calls.push_back(std::string("signer ") + (opening ? "verify " : "close ") + Narrow(path));
    if (!opening) {
        gFake.signerStatesClosed++;
        gSignerCatalog = NULL;
        return 0;
    }
    gFake.signerStatesOpened++;
    SeenSignerCall seen = {};
    seen.data = *data;
    seen.file = *data->pFile;
    gFake.signerCalls.push_back(seen);
    gSignerCatalog = CatalogByPath(path);
    data->hWVTStateData = (HANDLE)(uintptr_t)0xD2;
    return gSignerCatalog != NULL ? gSignerCatalog->signerVerdict : TRUST_E_FAIL;
}

CRYPT_PROVIDER_DATA* WINAPI FakeProviderData(HANDLE state)
{
    return (state != NULL && gSignerCatalog != NULL && gSignerCatalog->hasProvider) ? &gFakeProvider : NULL;
}

CRYPT_PROVIDER_SGNR* WINAPI FakeSigner(CRYPT_PROVIDER_DATA* provider, DWORD index, BOOL counter, DWORD)
{
    if (provider != &gFakeProvider || index != 0 || counter || !gSignerCatalog->hasSigner)
        return NULL;
    gFakeSigner.pChainContext = &gFakeChain;
    return &gFakeSigner;
}

BOOL WINAPI FakeChainPolicy(LPCSTR policy, PCCERT_CHAIN_CONTEXT chain, PCERT_CHAIN_POLICY_PARA para,
                            PCERT_CHAIN_POLICY_STATUS status)
{
    gFake.calls.push_back("policy");
    SeenSignerCall& seen = gFake.signerCalls.back();
    seen.policyId = policy;
    seen.policy = *para;
    seen.status = *status;
    if (chain != &gFakeChain)
        return FALSE;
    status->dwError = gSignerCatalog->policyError;
    return gSignerCatalog->policyAnswer;
}

BOOL WINAPI FakeFreeCertificate(PCCERT_CONTEXT certificate)
{
    if (certificate == &gFakeCertificate)
        gFake.certificatesFreed++;
    return TRUE;
}

BOOL WINAPI FakeAcquire(HCATADMIN* admin, const GUID*, DWORD)
{
    if (!gFake.acquireAnswer) {
        SetLastError(gFake.acquireError);
        return FALSE;
    }
    *admin = kFakeSha1Admin;
    return TRUE;
}

BOOL WINAPI FakeAcquire2(HCATADMIN* admin, const GUID*, PCWSTR algorithm, PCCERT_STRONG_SIGN_PARA, DWORD)
{
    gFake.acquire2Algorithm = algorithm != NULL ? algorithm : L"";
    if (!gFake.acquire2Answer)
        return FALSE;
    *admin = kFakeSha256Admin;
    return TRUE;
}

BOOL WINAPI FakeReleaseAdmin(HCATADMIN admin, DWORD)
{
    gFake.releasedAdmins.push_back(admin);
    return TRUE;
}

BOOL WINAPI FakeResolvePath(HCATADMIN, WCHAR*, CATALOG_INFO*, DWORD)
{
    return FALSE;
}

template <typename Function>
FARPROC AsProc(Function function)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(function));
}

HMODULE FakeLoad(const char* name)
{
    gFake.loaded.push_back(name);
    if (gFake.missingLibraries.count(name) != 0)
        return NULL;
    return strcmp(name, "Crypt32.dll") == 0 ? kFakeCrypt32 : kFakeWinTrust;
}

FARPROC FakeLookup(HMODULE module, const char* name)
{
    const struct {
        HMODULE module;
        const char* name;
        FARPROC entry;
    } entries[] = {
        {kFakeCrypt32, "CertVerifyCertificateChainPolicy", AsProc(FakeChainPolicy)},
        {kFakeCrypt32, "CertFreeCertificateContext", AsProc(FakeFreeCertificate)},
        {kFakeWinTrust, "WinVerifyTrust", AsProc(FakeWinVerifyTrust)},
        {kFakeWinTrust, "WTHelperProvDataFromStateData", AsProc(FakeProviderData)},
        {kFakeWinTrust, "WTHelperGetProvSignerFromChain", AsProc(FakeSigner)},
        {kFakeWinTrust, "CryptCATAdminAcquireContext", AsProc(FakeAcquire)},
        {kFakeWinTrust, "CryptCATAdminReleaseContext", AsProc(FakeReleaseAdmin)},
        {kFakeWinTrust, "CryptCATAdminCalcHashFromFileHandle", AsProc(FakeCalcHashSha1)},
        {kFakeWinTrust, "CryptCATAdminEnumCatalogFromHash", AsProc(FakeEnumCatalog)},
        {kFakeWinTrust, "CryptCATCatalogInfoFromContext", AsProc(FakeCatalogInfo)},
        {kFakeWinTrust, "CryptCATAdminReleaseCatalogContext", AsProc(FakeReleaseCatalog)},
        {kFakeWinTrust, "CryptCATAdminResolveCatalogPath", AsProc(FakeResolvePath)},
        {kFakeWinTrust, "CryptCATAdminAcquireContext2", AsProc(FakeAcquire2)},
        {kFakeWinTrust, "CryptCATAdminCalcHashFromFileHandle2", AsProc(FakeCalcHashSha256)},
    };
    if (gFake.missingEntries.count(name) != 0)
        return NULL;
    for (const auto& entry : entries)
        if (entry.module == module && strcmp(entry.name, name) == 0)
            return entry.entry;
    return NULL;
}

void FakeUnload(HMODULE module)
{
    gFake.unloaded.push_back(module == kFakeCrypt32 ? "Crypt32.dll" : "WinTrust.dll");
}

}

const TrustLibraryLoader kFakeLibraryLoader = {FakeLoad, FakeLookup, FakeUnload};

FakeTrustScope::FakeTrustScope() : savedEntries_(gTrustEntryPoints), savedLoader_(gTrustLibraryLoader)
{
    gFake = FakeTrustState();
    gTrustEntryPoints = TrustEntryPoints();
    gTrustLibraryLoader = &kFakeLibraryLoader;
}

FakeTrustScope::~FakeTrustScope()
{
    gTrustEntryPoints = savedEntries_;
    gTrustLibraryLoader = savedLoader_;
}

std::wstring FakeHashTag(const std::string& content, DWORD size)
{
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring tag;
    for (DWORD i = 0; i < size; i++) {
        const BYTE b = i < content.size() ? (BYTE)content[i] : 0;
        tag += kDigits[b >> 4];
        tag += kDigits[b & 0x0F];
    }
    return tag;
}
