// Fake trust services: a library loader and entry points whose catalogs, verdicts and failures
// a test scripts, and which count everything they hand out and take back.
#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "trust/CatalogVerifier.h"
#include "trust/SystemLibrary.h"

struct FakeCatalog {
    std::wstring path;
    LONG driverVerdict = 0;   // WinVerifyTrust under DRIVER_ACTION_VERIFY
    LONG signerVerdict = 0;   // WinVerifyTrust of the catalog file under the generic action
    bool hasProvider = true;  // WTHelperProvDataFromStateData answers
    bool hasSigner = true;    // WTHelperGetProvSignerFromChain answers
    BOOL policyAnswer = TRUE; // CertVerifyCertificateChainPolicy's return value
    DWORD policyError = 0;    // and the dwError it leaves
    bool infoFails = false;   // CryptCATCatalogInfoFromContext fails
};

// The structures as the check handed them to the services, copied at the call.
struct SeenDriverCall {
    WINTRUST_DATA data;
    WINTRUST_CATALOG_INFO catalog;
    std::wstring catalogPath;
    std::wstring memberTag;
    DRIVER_VER_INFO versionInfo;
};
struct SeenSignerCall {
    WINTRUST_DATA data;
    WINTRUST_FILE_INFO file;
    CERT_CHAIN_POLICY_PARA policy;
    CERT_CHAIN_POLICY_STATUS status;
    LPCSTR policyId;
};

struct FakeTrustState {
    // Loader.
    std::set<std::string> missingLibraries;
    std::set<std::string> missingEntries;
    std::vector<std::string> loaded;
    std::vector<std::string> unloaded;
    // Contexts.
    BOOL acquireAnswer = TRUE;
    DWORD acquireError = 0;
    BOOL acquire2Answer = TRUE;
    std::wstring acquire2Algorithm;
    std::vector<HCATADMIN> releasedAdmins;
    // Hashes: the size the size query answers (0: none) and a failure of the hashing call.
    DWORD sha1Size = 20;
    DWORD sha256Size = 32;
    bool hashFails = false;
    DWORD hashError = 0;
    std::vector<std::string> hashedContents;  // what each hashing call read from the file
    // Catalogs holding the hash, per algorithm.
    std::vector<FakeCatalog> sha1Catalogs;
    std::vector<FakeCatalog> sha256Catalogs;
    // What happened, in order: "driver verify C1", "signer close C1", "policy C1", ...
    std::vector<std::string> calls;
    std::vector<SeenDriverCall> driverCalls;
    std::vector<SeenSignerCall> signerCalls;
    int catalogsAcquired = 0;
    int catalogsReleased = 0;
    int certificatesAcquired = 0;
    int certificatesFreed = 0;
    int driverStatesOpened = 0;
    int driverStatesClosed = 0;
    int signerStatesOpened = 0;
    int signerStatesClosed = 0;
};

extern FakeTrustState gFake;
extern const TrustLibraryLoader kFakeLibraryLoader;
extern const HCATADMIN kFakeSha1Admin;
extern const HCATADMIN kFakeSha256Admin;

// For the life of the object: the fake loader in place, a clean fake state, and the real
// entry-point table and loader restored afterwards.
class FakeTrustScope {
public:
    FakeTrustScope();
    ~FakeTrustScope();
    FakeTrustScope(const FakeTrustScope&) = delete;
    FakeTrustScope& operator=(const FakeTrustScope&) = delete;

private:
    TrustEntryPoints savedEntries_;
    const TrustLibraryLoader* savedLoader_;
};

// Upper-case hexadecimal of the first size bytes of content, padded with zero bytes: the fake
// hash of a file with that content.
std::wstring FakeHashTag(const std::string& content, DWORD size);
