// The catalog check through the trust services of the machine (Wine's under test).
#include <gtest/gtest.h>

#include <stddef.h>

#include "TestFolder.h"
#include "trust/CatalogVerifier.h"

namespace {

const ResultCode kUnchanged = (ResultCode)0x8000FFFF;

// On 32-bit Windows the trust structures have these sizes; the 64-bit build gets its own from
// the same expressions.
#if defined(_M_IX86) || defined(__i386__)
static_assert(offsetof(WINTRUST_DATA, dwUIContext) == 44, "WINTRUST_DATA up to dwProvFlags");
static_assert(offsetof(WINTRUST_CATALOG_INFO, hCatAdmin) == 36, "WINTRUST_CATALOG_INFO without hCatAdmin");
static_assert(sizeof(DRIVER_VER_INFO) == 1088, "DRIVER_VER_INFO");
static_assert(sizeof(CATALOG_INFO) == 524, "CATALOG_INFO");
static_assert(sizeof(WINTRUST_FILE_INFO) == 16, "WINTRUST_FILE_INFO");
static_assert(sizeof(CERT_CHAIN_POLICY_PARA) == 12, "CERT_CHAIN_POLICY_PARA");
static_assert(sizeof(CERT_CHAIN_POLICY_STATUS) == 20, "CERT_CHAIN_POLICY_STATUS");
#endif

TEST(TrustStructures, HaveTheSizesOfTheirPlatform)
{
    const bool is32 = sizeof(void*) == 4;
    const struct {
        const char* name;
        size_t size;
        size_t on32;
        size_t on64;
    } sizes[] = {
        {"WINTRUST_DATA up to dwProvFlags", offsetof(WINTRUST_DATA, dwUIContext), 44, 76},
        {"WINTRUST_CATALOG_INFO without hCatAdmin", offsetof(WINTRUST_CATALOG_INFO, hCatAdmin), 36, 64},
        {"DRIVER_VER_INFO", sizeof(DRIVER_VER_INFO), 1088, 1104},
        {"CATALOG_INFO", sizeof(CATALOG_INFO), 524, 524},
        {"WINTRUST_FILE_INFO", sizeof(WINTRUST_FILE_INFO), 16, 32},
        {"CERT_CHAIN_POLICY_PARA", sizeof(CERT_CHAIN_POLICY_PARA), 12, 16},
        {"CERT_CHAIN_POLICY_STATUS", sizeof(CERT_CHAIN_POLICY_STATUS), 20, 24},
    };
    for (const auto& s : sizes)
        EXPECT_EQ(is32 ? s.on32 : s.on64, s.size) << s.name;
}

class RealCatalogCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(Hex(S_OK), Hex(gCatalogVerifier.catalogStatus)) << "binding the trust services failed";
        saved_ = gCatalogVerifier.lastFailure;
        gCatalogVerifier.lastFailure = kUnchanged;
    }
    void TearDown() override { gCatalogVerifier.lastFailure = saved_; }

    std::string MakeFile(const char* name) const
    {
        const std::string path = scratch_.Join(name);
        FILE* file = fopen(path.c_str(), "wb");
        fputs("MZ not listed in any catalog", file);
        fclose(file);
        return path;
    }

    ScratchFolder scratch_;
    ResultCode saved_ = S_OK;
};

TEST_F(RealCatalogCheck, BindsBothLibrariesAndTheDriverContext)
{
    EXPECT_EQ(Hex(S_OK), Hex(gCatalogVerifier.trustStatus));
    EXPECT_NE(nullptr, gCatalogVerifier.winTrustModule);
    EXPECT_NE(nullptr, gCatalogVerifier.crypt32Module);
    EXPECT_NE(nullptr, gCatalogVerifier.catalogAdmin);
}

TEST_F(RealCatalogCheck, AnswersForFilesItCanAndCannotRead)
{
    const std::string unlisted = MakeFile("Unlisted.dll");
    const std::string held = MakeFile("Held.dll");
    const HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);

    const struct {
        const char* name;
        std::string path;
        ResultCode expected;
        ResultCode lastFailure;
    } cases[] = {
        {"file in no catalog", unlisted, S_OK, kUnchanged},
        {"missing file", scratch_.Join("Missing.dll"), (ResultCode)0x80070002, (ResultCode)0x80070002},
        {"file held without read sharing", held, (ResultCode)0x80070020, (ResultCode)0x80070020},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        gCatalogVerifier.lastFailure = kUnchanged;
        BYTE flag = 7;
        EXPECT_EQ(Hex(c.expected), Hex(gCatalogVerifier.VerifyFile(c.path.c_str(), &flag)));
        EXPECT_EQ(0, flag);
        EXPECT_EQ(Hex(c.lastFailure), Hex(gCatalogVerifier.lastFailure));
    }
    CloseHandle(holder);
}

TEST_F(RealCatalogCheck, RefusesNoPathAndAnEmptyPath)
{
    BYTE flag = 7;
    EXPECT_EQ(Hex(E_INVALIDARG), Hex(gCatalogVerifier.VerifyFile(NULL, &flag)));
    EXPECT_EQ(7, flag);
    EXPECT_EQ(Hex(kUnchanged), Hex(gCatalogVerifier.lastFailure));

    EXPECT_EQ(Hex(E_INVALIDARG), Hex(gCatalogVerifier.VerifyFile("", &flag)));
    EXPECT_EQ(7, flag);
    EXPECT_EQ(Hex(E_INVALIDARG), Hex(gCatalogVerifier.lastFailure));
}

TEST_F(RealCatalogCheck, ConvertsSystemCodePageText)
{
    wchar_t* wide = NULL;
    ASSERT_EQ(Hex(S_OK), Hex(gCatalogVerifier.ToWideString("C:\\Windows\\system32\\kernel32.dll", &wide)));
    EXPECT_STREQ(L"C:\\Windows\\system32\\kernel32.dll", wide);
    free(wide);
    wide = (wchar_t*)1;
    EXPECT_EQ(Hex(E_INVALIDARG), Hex(gCatalogVerifier.ToWideString("", &wide)));
    EXPECT_EQ(Hex(E_INVALIDARG), Hex(gCatalogVerifier.ToWideString("x", NULL)));
}

}
