// The catalog check over scripted catalogs: verdicts, codes, the structures handed to the
// trust services, and the release of everything acquired.
#include <gtest/gtest.h>

#include <stddef.h>

#include "FakeTrust.h"
#include "TestFolder.h"

namespace {

const ResultCode kUnchanged = (ResultCode)0x8000FFFF;
const std::string kContent = "MZ fake module: 0123456789abcdefghijklmnopqrstuvwxyz";

class CatalogCheckTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        module_ = scratch_.Join("Module.dll");
        FILE* file = fopen(module_.c_str(), "wb");
        fwrite(kContent.data(), 1, kContent.size(), file);
        fclose(file);
        verifier_ = new CatalogVerifier();
        ASSERT_EQ(Hex(S_OK), Hex(verifier_->catalogStatus));
        verifier_->lastFailure = kUnchanged;
    }
    void TearDown() override
    {
        verifier_->Release();
        delete verifier_;
    }

    // Everything the check acquired was given back.
    void ExpectBalanced() const
    {
        EXPECT_EQ(gFake.catalogsAcquired, gFake.catalogsReleased) << "catalog contexts";
        EXPECT_EQ(gFake.certificatesAcquired, gFake.certificatesFreed) << "signer certificates";
        EXPECT_EQ(gFake.driverStatesOpened, gFake.driverStatesClosed) << "driver trust states";
        EXPECT_EQ(gFake.signerStatesOpened, gFake.signerStatesClosed) << "signer trust states";
    }

    ScratchFolder scratch_;
    FakeTrustScope fake_;
    std::string module_;
    CatalogVerifier* verifier_ = nullptr;
};

FakeCatalog Catalog(const wchar_t* path)
{
    FakeCatalog catalog;
    catalog.path = path;
    return catalog;
}

// A SHA-256 catalog S1 that fails the driver policy, and a SHA-1 catalog C1 that passes.
void ScriptSha256FailsSha1Passes()
{
    gFake.sha256Catalogs = {Catalog(L"S1")};
    gFake.sha256Catalogs[0].driverVerdict = TRUST_E_NOSIGNATURE;
    gFake.sha1Catalogs = {Catalog(L"C1")};
}

struct CheckCase {
    const char* name;
    void (*script)();
    ResultCode expected;
    BYTE flag;
    ResultCode lastFailure;  // kUnchanged when it must stay as it was
};

TEST_F(CatalogCheckTest, AnswersEveryOutcomeAndReleasesEverything)
{
    const CheckCase cases[] = {
        {"hash in no catalog", [] {}, S_OK, 0, kUnchanged},
        {"a catalog passes", [] { gFake.sha1Catalogs = {Catalog(L"C1")}; }, S_OK, 1, kUnchanged},
        {"hash size 0", [] { gFake.sha1Size = 0; }, E_FAIL, 0, E_FAIL},
        {"hashing fails", [] { gFake.hashFails = true; gFake.hashError = ERROR_READ_FAULT; },
         (ResultCode)0x8007001E, 0, (ResultCode)0x8007001E},
        {"hashing fails without an error number", [] { gFake.hashFails = true; }, E_FAIL, 0, E_FAIL},
        {"catalog fails driver policy",
         [] { gFake.sha1Catalogs = {Catalog(L"C1")}; gFake.sha1Catalogs[0].driverVerdict = TRUST_E_NOSIGNATURE; },
         TRUST_E_NOSIGNATURE, 0, TRUST_E_NOSIGNATURE},
        {"driver policy answers a Win32 error",
         [] { gFake.sha1Catalogs = {Catalog(L"C1")}; gFake.sha1Catalogs[0].driverVerdict = ERROR_ACCESS_DENIED; },
         (ResultCode)0x80070005, 0, (ResultCode)0x80070005},
        {"catalog signature fails",
         [] { gFake.sha1Catalogs = {Catalog(L"C1")}; gFake.sha1Catalogs[0].signerVerdict = TRUST_E_BAD_DIGEST; },
         TRUST_E_BAD_DIGEST, 0, TRUST_E_BAD_DIGEST},
        {"no provider data",
         [] { gFake.sha1Catalogs = {Catalog(L"C1")}; gFake.sha1Catalogs[0].hasProvider = false; },
         E_FAIL, 0, E_FAIL},
        {"no signer", [] { gFake.sha1Catalogs = {Catalog(L"C1")}; gFake.sha1Catalogs[0].hasSigner = false; },
         E_FAIL, 0, E_FAIL},
        {"signer chain fails the Microsoft root policy",
         [] { gFake.sha1Catalogs = {Catalog(L"C1")}; gFake.sha1Catalogs[0].policyError = CERT_E_UNTRUSTEDROOT; },
         S_OK, 0, kUnchanged},
        {"chain policy cannot be evaluated",
         [] { gFake.sha1Catalogs = {Catalog(L"C1")}; gFake.sha1Catalogs[0].policyAnswer = FALSE; },
         S_OK, 0, kUnchanged},
        {"catalog information unreadable",
         [] { gFake.sha1Catalogs = {Catalog(L"C1")}; gFake.sha1Catalogs[0].infoFails = true; },
         S_OK, 0, kUnchanged},
        {"first catalog fails, second passes",
         [] {
             gFake.sha1Catalogs = {Catalog(L"C1"), Catalog(L"C2")};
             gFake.sha1Catalogs[0].driverVerdict = TRUST_E_NOSIGNATURE;
         },
         S_OK, 1, kUnchanged},
        {"second of three passes",
         [] {
             gFake.sha1Catalogs = {Catalog(L"C1"), Catalog(L"C2"), Catalog(L"C3")};
             gFake.sha1Catalogs[0].signerVerdict = TRUST_E_BAD_DIGEST;
         },
         S_OK, 1, TRUST_E_BAD_DIGEST},
        {"passing catalog, then a failing last one never tried",
         [] {
             gFake.sha1Catalogs = {Catalog(L"C1"), Catalog(L"C2")};
             gFake.sha1Catalogs[1].driverVerdict = TRUST_E_NOSIGNATURE;
         },
         S_OK, 1, kUnchanged},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.name);
        const FakeTrustState bound = gFake;
        gFake.sha1Catalogs.clear();
        gFake.sha256Catalogs.clear();
        c.script();
        verifier_->lastFailure = kUnchanged;
        BYTE flag = 7;

        EXPECT_EQ(Hex(c.expected), Hex(verifier_->VerifyFile(module_.c_str(), &flag)));
        EXPECT_EQ(c.flag, flag);
        EXPECT_EQ(Hex(c.lastFailure), Hex(verifier_->lastFailure));
        ExpectBalanced();
        gFake = bound;
    }
}

TEST_F(CatalogCheckTest, TriesEachCatalogWithAFullVerifyAndClose)
{
    gFake.sha1Catalogs = {Catalog(L"C1"), Catalog(L"C2")};
    gFake.sha1Catalogs[0].driverVerdict = TRUST_E_NOSIGNATURE;
    BYTE flag = 0;
    EXPECT_EQ(Hex(S_OK), Hex(verifier_->VerifyFile(module_.c_str(), &flag)));
    EXPECT_EQ(1, flag);
    const std::vector<std::string> expected = {
        "driver verify C1", "driver close C1",
        "driver verify C2", "signer verify C2", "policy", "signer close C2", "driver close C2",
    };
    EXPECT_EQ(expected, gFake.calls);
    EXPECT_EQ(2, gFake.certificatesFreed);
    ExpectBalanced();
}

TEST_F(CatalogCheckTest, SearchesSha256CatalogsFirstThenSha1)
{
    ScriptSha256FailsSha1Passes();
    BYTE flag = 0;
    EXPECT_EQ(Hex(S_OK), Hex(verifier_->VerifyFile(module_.c_str(), &flag)));
    EXPECT_EQ(1, flag);

    ASSERT_EQ(2u, gFake.driverCalls.size());
    const SeenDriverCall& sha256 = gFake.driverCalls[0];
    const SeenDriverCall& sha1 = gFake.driverCalls[1];
    EXPECT_EQ(L"S1", sha256.catalogPath);
    EXPECT_EQ(FakeHashTag(kContent, 32), sha256.memberTag);
    EXPECT_EQ(sizeof(WINTRUST_CATALOG_INFO), sha256.catalog.cbStruct);
    EXPECT_EQ(kFakeSha256Admin, sha256.catalog.hCatAdmin);
    EXPECT_EQ(32u, sha256.catalog.cbCalculatedFileHash);

    EXPECT_EQ(L"C1", sha1.catalogPath);
    EXPECT_EQ(FakeHashTag(kContent, 20), sha1.memberTag) << "the SHA-1 hash must cover the file from its start";
    EXPECT_EQ(offsetof(WINTRUST_CATALOG_INFO, hCatAdmin), sha1.catalog.cbStruct);
    EXPECT_EQ(20u, sha1.catalog.cbCalculatedFileHash);
    ExpectBalanced();
}

TEST_F(CatalogCheckTest, ASha256VerdictEndsTheCheck)
{
    gFake.sha256Catalogs = {Catalog(L"S1")};
    gFake.sha1Catalogs = {Catalog(L"C1")};
    BYTE flag = 0;
    EXPECT_EQ(Hex(S_OK), Hex(verifier_->VerifyFile(module_.c_str(), &flag)));
    EXPECT_EQ(1, flag);
    EXPECT_EQ(1u, gFake.hashedContents.size()) << "the SHA-1 hash was computed too";
    EXPECT_EQ(1u, gFake.driverCalls.size());
    ExpectBalanced();
}

TEST_F(CatalogCheckTest, ASha256HashingFailureFallsBackToSha1)
{
    gFake.sha256Size = 0;
    gFake.sha1Catalogs = {Catalog(L"C1")};
    BYTE flag = 0;
    EXPECT_EQ(Hex(S_OK), Hex(verifier_->VerifyFile(module_.c_str(), &flag)));
    EXPECT_EQ(1, flag);
    EXPECT_EQ(Hex(kUnchanged), Hex(verifier_->lastFailure));
}

TEST_F(CatalogCheckTest, FillsTheTrustStructures)
{
    gFake.sha1Catalogs = {Catalog(L"C:\\Windows\\catroot\\C1.cat")};
    BYTE flag = 0;
    ASSERT_EQ(Hex(S_OK), Hex(verifier_->VerifyFile(module_.c_str(), &flag)));
    ASSERT_EQ(1u, gFake.driverCalls.size());
    ASSERT_EQ(1u, gFake.signerCalls.size());

    const SeenDriverCall& driver = gFake.driverCalls[0];
    EXPECT_EQ(offsetof(WINTRUST_DATA, dwUIContext), driver.data.cbStruct);
    EXPECT_EQ((DWORD)WTD_UI_NONE, driver.data.dwUIChoice);
    EXPECT_EQ((DWORD)WTD_REVOKE_NONE, driver.data.fdwRevocationChecks);
    EXPECT_EQ((DWORD)WTD_CHOICE_CATALOG, driver.data.dwUnionChoice);
    EXPECT_EQ((DWORD)WTD_REVOCATION_CHECK_NONE, driver.data.dwProvFlags);
    EXPECT_EQ(nullptr, driver.data.pSIPClientData);
    EXPECT_EQ(0u, driver.catalog.dwCatalogVersion);
    EXPECT_EQ(nullptr, driver.catalog.pcwszMemberFilePath);
    EXPECT_EQ(nullptr, driver.catalog.hMemberFile);
    EXPECT_EQ(nullptr, driver.catalog.pcCatalogContext);
    EXPECT_EQ(sizeof(DRIVER_VER_INFO), driver.versionInfo.cbStruct);
    EXPECT_EQ((DWORD)VER_PLATFORM_WIN32_NT, driver.versionInfo.dwPlatform);
    EXPECT_EQ(5u, driver.versionInfo.sOSVersionLow.dwMajor);
    EXPECT_EQ(0u, driver.versionInfo.sOSVersionLow.dwMinor);
    OSVERSIONINFOA os = {};
    os.dwOSVersionInfoSize = sizeof(os);
    GetVersionExA(&os);
    EXPECT_EQ(os.dwMajorVersion, driver.versionInfo.sOSVersionHigh.dwMajor);
    EXPECT_EQ(os.dwMinorVersion, driver.versionInfo.sOSVersionHigh.dwMinor);
    EXPECT_EQ(0u, driver.versionInfo.dwBuildNumberLow);
    EXPECT_EQ(0u, driver.versionInfo.dwBuildNumberHigh);

    const SeenSignerCall& signer = gFake.signerCalls[0];
    EXPECT_EQ(offsetof(WINTRUST_DATA, dwUIContext), signer.data.cbStruct);
    EXPECT_EQ(nullptr, signer.data.pPolicyCallbackData);
    EXPECT_EQ((DWORD)WTD_CHOICE_FILE, signer.data.dwUnionChoice);
    EXPECT_EQ(0u, signer.data.dwProvFlags);
    EXPECT_EQ(sizeof(WINTRUST_FILE_INFO), signer.file.cbStruct);
    EXPECT_EQ(L"C:\\Windows\\catroot\\C1.cat", std::wstring(signer.file.pcwszFilePath));
    EXPECT_EQ(nullptr, signer.file.hFile);
    EXPECT_EQ(nullptr, signer.file.pgKnownSubject);
    EXPECT_EQ(CERT_CHAIN_POLICY_MICROSOFT_ROOT, signer.policyId);
    EXPECT_EQ(sizeof(CERT_CHAIN_POLICY_PARA), signer.policy.cbSize);
    EXPECT_EQ(0u, signer.policy.dwFlags);
    EXPECT_EQ(sizeof(CERT_CHAIN_POLICY_STATUS), signer.status.cbSize);
    EXPECT_EQ(0u, signer.status.dwError);
}

TEST_F(CatalogCheckTest, OpensALongPathWholeAndTagsItByHash)
{
    std::wstring folder = L"\\\\?\\";
    const std::string base = scratch_.Path();
    folder += std::wstring(base.begin(), base.end());
    for (int i = 0; i < 3; i++) {
        folder += L"\\" + std::wstring(100, (wchar_t)(L'a' + i));
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), NULL));
    }
    const std::wstring path = folder + L"\\Module.dll";
    ASSERT_GT(path.size(), 300u);
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    const std::string content = "long path module content, twenty bytes and more";
    DWORD written = 0;
    WriteFile(file, content.data(), (DWORD)content.size(), &written, NULL);
    CloseHandle(file);

    ScriptSha256FailsSha1Passes();
    BYTE flag = 0;
    EXPECT_EQ(Hex(S_OK), Hex(verifier_->VerifyFileWide(path.c_str(), &flag)));
    EXPECT_EQ(1, flag);
    ASSERT_EQ(2u, gFake.driverCalls.size());
    EXPECT_EQ(FakeHashTag(content, 32), gFake.driverCalls[0].memberTag);
    EXPECT_EQ(FakeHashTag(content, 20), gFake.driverCalls[1].memberTag);
    DeleteFileW(path.c_str());
    for (int i = 0; i < 3; i++) {
        RemoveDirectoryW(folder.c_str());
        folder = folder.substr(0, folder.find_last_of(L'\\'));
    }
}

TEST_F(CatalogCheckTest, RefusesMissingAndEmptyPaths)
{
    BYTE flag = 7;
    EXPECT_EQ(Hex(E_INVALIDARG), Hex(verifier_->VerifyFile(NULL, &flag)));
    EXPECT_EQ(7, flag);
    EXPECT_EQ(Hex(kUnchanged), Hex(verifier_->lastFailure));

    EXPECT_EQ(Hex(E_INVALIDARG), Hex(verifier_->VerifyFileWide(NULL, &flag)));
    EXPECT_EQ(7, flag);
    EXPECT_EQ(Hex(kUnchanged), Hex(verifier_->lastFailure));

    EXPECT_EQ(Hex(E_INVALIDARG), Hex(verifier_->VerifyCatalogSigner(NULL, &flag)));
    EXPECT_EQ(7, flag);

    EXPECT_EQ(Hex(E_INVALIDARG), Hex(verifier_->VerifyFile("", &flag)));
    EXPECT_EQ(7, flag);
    EXPECT_EQ(Hex(E_INVALIDARG), Hex(verifier_->lastFailure));
    EXPECT_TRUE(gFake.calls.empty());
}

}
