// The release signature of a downloaded program, over signatures that the README's signing
// command made in the build tree (bin/signatures).
#include <gtest/gtest.h>

#include <string>

#include "ModuleHosts.h"
#include "TestFolder.h"
#include "update/SignatureCheck.h"

namespace {

std::string Signature(const char* name)
{
    return BuiltFile(std::string("signatures\\") + name);
}

TEST(VerifyFileSignature, AcceptsOnlyTheReleaseKeysSignatureOfTheExactBytes)
{
    ScratchFolder scratch;
    const std::string program = Signature("next.exe");
    const std::string good = ReadFileBytes(Signature("next.exe.sig"));
    ASSERT_EQ(384u, good.size());

    std::string bytes = ReadFileBytes(program);
    bytes[bytes.size() / 2] ^= 0x01;
    const std::string changed = scratch.Join("changed.exe");
    ASSERT_TRUE(WriteFileBytes(changed, bytes));
    std::string random(384, '\0');
    for (size_t i = 0; i < random.size(); i++)
        random[i] = (char)((i * 151 + 17) & 0xFF);
    const struct {
        const char* name;
        std::string bytes;
    } written[] = {
        {"truncated.sig", good.substr(0, 383)},
        {"empty.sig", ""},
        {"oversized.sig", good + '\0'},
        {"random.sig", random},
    };
    for (const auto& w : written)
        ASSERT_TRUE(WriteFileBytes(scratch.Join(w.name), w.bytes));

    const char kNoMatch[] = "the signature does not match";
    const char kWrongSize[] = "the signature is not 384 bytes long";
    const struct {
        const char* name;
        std::string program;
        std::string signature;
        bool accepted;
        const char* reason;
    } cases[] = {
        {"a good signature", program, Signature("next.exe.sig"), true, ""},
        {"one byte of the program changed", changed, Signature("next.exe.sig"), false, kNoMatch},
        {"the signature of another file", program, Signature("shipped.exe.sig"), false, kNoMatch},
        {"a signature by another key", program, Signature("next-other-key.exe.sig"), false, kNoMatch},
        {"a truncated signature", program, scratch.Join("truncated.sig"), false, kWrongSize},
        {"an empty signature", program, scratch.Join("empty.sig"), false, kWrongSize},
        {"an oversized signature", program, scratch.Join("oversized.sig"), false, kWrongSize},
        {"random bytes", program, scratch.Join("random.sig"), false, kNoMatch},
        {"no signature (the host answered 404)", program, scratch.Join("missing.sig"), false, "no signature"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const char* reason = "unset";
        const ResultCode result = VerifyFileSignature(c.program.c_str(), c.signature.c_str(), kReleasePublicKey,
                                                      kReleasePublicKeySize, &reason);
        EXPECT_EQ(c.accepted, result >= 0) << Hex(result);
        EXPECT_STREQ(c.reason, reason);
    }
}

// The program carries the public half of the build tree's development key, and a key that is
// not a 3072-bit RSA key is refused before any signature is looked at.
TEST(VerifyFileSignature, UsesTheCarriedKeyAndRefusesAnUnusableOne)
{
    const std::string carried((const char*)kReleasePublicKey, kReleasePublicKeySize);
    EXPECT_TRUE(carried == ReadFileBytes(BuiltFile("..\\signing\\development-public.der")));

    const std::string program = Signature("next.exe");
    const std::string signature = Signature("next.exe.sig");
    const BYTE notAKey[] = {0x30, 0x03, 0x02, 0x01, 0x00};
    const char* reason = "unset";
    EXPECT_LT(VerifyFileSignature(program.c_str(), signature.c_str(), notAKey, sizeof(notAKey), &reason), 0);
    EXPECT_STREQ("the release key cannot be used", reason);
}

}
