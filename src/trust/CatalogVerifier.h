// The catalog verifier: the one object of the program. It binds the trust services when the
// process starts and decides, file by file, whether the system's signing catalogs vouch for a
// module: its hash is listed in an installed catalog, that catalog passes the driver-signing
// policy, and the catalog's signer chain ends in the Microsoft root.
#pragma once

#include "support/ResultCode.h"
#include "trust/TrustEntryPoints.h"

class CatalogVerifier {
public:
    // Clears every field, then binds.
    CatalogVerifier();

    // Loads Crypt32.dll and WinTrust.dll from the system directory, looks up the entry points
    // and acquires the catalog administration contexts (SHA-1, and SHA-256 where the system has
    // it). Answers catalogStatus.
    ResultCode Bind();

    // Gives back the contexts and unloads the libraries; the statuses stay.
    void Release();

    // The verdict for one file: *verified is 1 when a catalog passed. A refusal before the check
    // starts (no path, failed binding, failed conversion) leaves *verified as it was.
    ResultCode VerifyFile(const char* path, BYTE* verified);

    // Converts text in the system code page to a new 16-bit string, which the caller frees.
    ResultCode ToWideString(const char* text, wchar_t** wide);

    ResultCode VerifyFileWide(const wchar_t* path, BYTE* verified);

    // Whether the catalog file's signature passes and its signer chain ends in the Microsoft root.
    ResultCode VerifyCatalogSigner(const wchar_t* catalogPath, BYTE* signerOk);

    ResultCode lastFailure;    // the most recent failure of any operation; never reset
    ResultCode trustStatus;    // Crypt32.dll and the three verification entry points
    ResultCode catalogStatus;  // the whole binding
    HMODULE winTrustModule;
    HMODULE crypt32Module;
    HCATADMIN catalogAdmin;        // SHA-1 context for DRIVER_ACTION_VERIFY
    HCATADMIN catalogAdminSha256;  // SHA-256 context; NULL where the system has none

private:
    ResultCode SearchCatalogs(HANDLE file, HCATADMIN admin, bool sha256, BYTE* verified,
                              ResultCode* catalogResult);
};

// Constructed before the program's entry runs; released by the exit handlers.
extern CatalogVerifier gCatalogVerifier;
