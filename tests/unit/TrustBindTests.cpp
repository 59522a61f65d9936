#include <gtest/gtest.h>

#include "FakeTrust.h"
#include "TestFolder.h"

namespace {

const ResultCode kUnchanged = (ResultCode)0x8000FFFF;

TEST(CatalogVerifierBind, BindsEverythingAndReleasesInOrder)
{
    FakeTrustScope fake;
    CatalogVerifier verifier;

    EXPECT_EQ(Hex(S_OK), Hex(verifier.catalogStatus));
    EXPECT_EQ(Hex(S_OK), Hex(verifier.trustStatus));
    EXPECT_EQ(Hex(S_OK), Hex(verifier.lastFailure));
    EXPECT_EQ(kFakeSha1Admin, verifier.catalogAdmin);
    EXPECT_EQ(kFakeSha256Admin, verifier.catalogAdminSha256);
    EXPECT_EQ(L"SHA256", gFake.acquire2Algorithm);
    EXPECT_EQ(std::vector<std::string>({"Crypt32.dll", "WinTrust.dll"}), gFake.loaded);
    EXPECT_NE(nullptr, gTrustEntryPoints.cryptCATAdminResolveCatalogPath);

    verifier.Release();
    EXPECT_EQ(std::vector<HCATADMIN>({kFakeSha256Admin, kFakeSha1Admin}), gFake.releasedAdmins);
    EXPECT_EQ(std::vector<std::string>({"WinTrust.dll", "Crypt32.dll"}), gFake.unloaded);
    EXPECT_EQ(nullptr, verifier.catalogAdmin);
    EXPECT_EQ(nullptr, verifier.winTrustModule);
    EXPECT_EQ(nullptr, verifier.crypt32Module);

    verifier.Release();
    EXPECT_EQ(2u, gFake.releasedAdmins.size()) << "a second release gave something back again";
    EXPECT_EQ(2u, gFake.unloaded.size());
    EXPECT_EQ(Hex(S_OK), Hex(verifier.catalogStatus)) << "release changed the status";
}

struct PartialBinding {
    const char* name;
    std::set<std::string> missingLibraries;
    std::set<std::string> missingEntries;
    BOOL acquireAnswer;
    DWORD acquireError;
    ResultCode trustStatus;
    ResultCode catalogStatus;
    std::vector<std::string> unloadedAtRelease;
    size_t releasedContexts;
};

TEST(CatalogVerifierBind, StopsAtTheFirstMissingPieceAndReleasesOnlyWhatItHolds)
{
    const PartialBinding cases[] = {
        {"Crypt32.dll missing", {"Crypt32.dll"}, {}, TRUE, 0, E_FAIL, E_FAIL, {"WinTrust.dll"}, 0},
        {"WinTrust.dll missing", {"WinTrust.dll"}, {}, TRUE, 0, E_FAIL, E_FAIL, {"Crypt32.dll"}, 0},
        {"a verification entry missing", {}, {"WTHelperProvDataFromStateData"}, TRUE, 0, E_FAIL,
         E_FAIL, {"WinTrust.dll", "Crypt32.dll"}, 0},
        {"only CryptCATAdminResolveCatalogPath missing", {}, {"CryptCATAdminResolveCatalogPath"},
         TRUE, 0, S_OK, E_FAIL, {"WinTrust.dll", "Crypt32.dll"}, 0},
        {"context refused with error 5", {}, {}, FALSE, ERROR_ACCESS_DENIED, S_OK,
         (ResultCode)0x80070005, {"WinTrust.dll", "Crypt32.dll"}, 0},
        {"context refused with a large error", {}, {}, FALSE, 0x0001ABCD, S_OK,
         (ResultCode)0x8007ABCD, {"WinTrust.dll", "Crypt32.dll"}, 0},
        {"context refused without an error number", {}, {}, FALSE, 0, S_OK, E_FAIL,
         {"WinTrust.dll", "Crypt32.dll"}, 0},
        {"no SHA-256 entry points", {}, {"CryptCATAdminCalcHashFromFileHandle2"}, TRUE, 0, S_OK,
         S_OK, {"WinTrust.dll", "Crypt32.dll"}, 1},
    };
    for (const PartialBinding& c : cases) {
        SCOPED_TRACE(c.name);
        FakeTrustScope fake;
        gFake.missingLibraries = c.missingLibraries;
        gFake.missingEntries = c.missingEntries;
        gFake.acquireAnswer = c.acquireAnswer;
        gFake.acquireError = c.acquireError;

        CatalogVerifier verifier;
        EXPECT_EQ(Hex(c.trustStatus), Hex(verifier.trustStatus));
        EXPECT_EQ(Hex(c.catalogStatus), Hex(verifier.catalogStatus));
        EXPECT_EQ(Hex(c.catalogStatus), Hex(verifier.lastFailure));
        EXPECT_EQ(std::vector<std::string>({"Crypt32.dll", "WinTrust.dll"}), gFake.loaded);
        if (c.catalogStatus < 0) {
            EXPECT_EQ(nullptr, verifier.catalogAdmin);
        }
        EXPECT_EQ(nullptr, verifier.catalogAdminSha256);

        verifier.Release();
        verifier.Release();
        EXPECT_EQ(c.unloadedAtRelease, gFake.unloaded);
        EXPECT_EQ(c.releasedContexts, gFake.releasedAdmins.size());
    }
}

TEST(CatalogVerifierBind, LaterEntriesStayUnsetAfterAMiss)
{
    FakeTrustScope fake;
    gFake.missingEntries = {"CryptCATAdminCalcHashFromFileHandle"};
    CatalogVerifier verifier;
    EXPECT_NE(nullptr, gTrustEntryPoints.cryptCATAdminReleaseContext);
    EXPECT_EQ(nullptr, gTrustEntryPoints.cryptCATAdminEnumCatalogFromHash);
    EXPECT_EQ(nullptr, gTrustEntryPoints.cryptCATAdminResolveCatalogPath);
    verifier.Release();
}

TEST(CatalogVerifierBind, AFailedBindingRefusesEveryCheckWithItsCode)
{
    ScratchFolder scratch;
    FakeTrustScope fake;
    gFake.missingLibraries = {"Crypt32.dll"};
    CatalogVerifier verifier;
    ASSERT_EQ(Hex(E_FAIL), Hex(verifier.catalogStatus));

    // A missing file would give 0x80070002 if it were opened.
    const std::string missing = scratch.Join("missing.dll");
    const std::wstring missingWide(missing.begin(), missing.end());
    verifier.lastFailure = kUnchanged;
    BYTE flag = 7;
    EXPECT_EQ(Hex(E_FAIL), Hex(verifier.VerifyFile(missing.c_str(), &flag)));
    EXPECT_EQ(7, flag);
    EXPECT_EQ(Hex(E_FAIL), Hex(verifier.lastFailure));

    verifier.lastFailure = kUnchanged;
    EXPECT_EQ(Hex(E_FAIL), Hex(verifier.VerifyFileWide(missingWide.c_str(), &flag)));
    EXPECT_EQ(0, flag);
    EXPECT_EQ(Hex(E_FAIL), Hex(verifier.lastFailure));

    BYTE signerOk = 7;
    EXPECT_EQ(Hex(E_FAIL), Hex(verifier.VerifyCatalogSigner(L"C:\\catalog.cat", &signerOk)));
    EXPECT_EQ(0, signerOk);
    EXPECT_TRUE(gFake.calls.empty());
    verifier.Release();
}

}
