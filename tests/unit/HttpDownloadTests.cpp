// DownloadFile against the stand-in host on loopback, with bodies sent in every way the host
// can send them.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "TestFolder.h"
#include "UpdateHost.h"
#include "update/HttpDownload.h"
#include "update/UpdateCheck.h"

namespace {

// Bytes that are not text, so that any newline translation would show.
std::string Body(size_t size)
{
    std::string body(size, '\0');
    for (size_t i = 0; i < size; i++)
        body[i] = (char)((i * 7 + i / 251) & 0xFF);
    body[0] = '\n';
    return body;
}

// kLeading: the first bytes of the body, at least atLeast of them. Where a body runs on past its
// announced length, or its length cannot be read, the platform decides where it ends (Wine
// hands over the extra bytes or not, by timing); the program stores what it is given, never
// less than was announced, and cuts nothing itself.
enum Stored { kWhole, kNone, kFirstPart, kLeading };

struct DownloadCase {
    const char* name;
    size_t size;
    const char* how;
    ResultCode expected;
    Stored stored;
    size_t atLeast;
};

TEST(DownloadFile, StoresTheBodyOfAnOkAnswerOnly)
{
    const DownloadCase cases[] = {
        {"with Content-Length, in one read", 30000, "", S_OK, kWhole, 0},
        {"with Content-Length below the default read size", 700, "", S_OK, kWhole, 0},
        {"chunked, without Content-Length", 25000, "chunked", S_OK, kWhole, 0},
        {"Content-Length 0", 0, "", S_OK, kWhole, 0},
        {"negative Content-Length", 12000, "length -5", S_OK, kLeading, 0},
        {"Content-Length beyond 64 bits", 12000, "length 99999999999999999999999", S_OK, kLeading, 0},
        {"status 404 with a page", 500, "status 404", E_FAIL, kNone, 0},
        {"status 500 with a page", 500, "status 500", E_FAIL, kNone, 0},
        {"status 206", 500, "status 206", E_FAIL, kNone, 0},
        {"connection cut in the middle of the body", 200000, "cut", E_FAIL, kFirstPart, 0},
        {"body longer than announced", 3000, "longer 1000", S_OK, kLeading, 2000},
    };
    ServedFiles host;
    ScratchFolder scratch;
    for (const DownloadCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string body = Body(c.size);
        ASSERT_TRUE(host.Put("cases/object.bin", body, c.how));
        const std::string local = scratch.Join("object.bin");
        DeleteFileA(local.c_str());

        // The bytes past an announced length stay on the connection, which wininet keeps for the
        // next request to the same host name and may take them for its answer: ask for such a
        // body by another name of the same host.
        const char* hostName = strncmp(c.how, "longer", 6) == 0 ? "localhost" : "127.0.0.1";
        EXPECT_EQ(Hex(c.expected), Hex(DownloadFile(hostName, "cases/object.bin", local.c_str())));
        const std::string stored = ReadFileBytes(local);
        switch (c.stored) {
        case kWhole:
            EXPECT_TRUE(stored == body) << stored.size() << " bytes stored of " << body.size();
            break;
        case kNone:
            EXPECT_EQ("<missing>", stored.substr(0, 9));
            break;
        case kFirstPart:
            EXPECT_LT(stored.size(), body.size());
            EXPECT_TRUE(stored == body.substr(0, stored.size()));
            break;
        case kLeading:
            EXPECT_LE(c.atLeast, stored.size());
            EXPECT_LE(stored.size(), body.size());
            EXPECT_TRUE(stored == body.substr(0, stored.size())) << stored.size() << " bytes stored";
            break;
        }
    }
}

TEST(DownloadFile, AMissingObjectIsNotStored)
{
    ServedFiles host;
    ScratchFolder scratch;
    const std::string local = scratch.Join("version.txt");
    EXPECT_EQ(Hex(E_FAIL), Hex(DownloadFile("127.0.0.1", "tool/version.txt", local.c_str())));
    EXPECT_EQ("<missing>", ReadFileBytes(local));
}

TEST(DownloadFile, AHostThatCannotBeReachedPrintsTheFailure)
{
    // 127.0.0.2 is loopback with nothing listening; the name has no address in the private net.
    static const char* const kHosts[] = {"127.0.0.2", "no-such-host.invalid"};
    ScratchFolder scratch;
    for (const char* hostName : kHosts) {
        SCOPED_TRACE(hostName);
        const std::string local = scratch.Join("version.txt");
        testing::internal::CaptureStdout();
        const ResultCode result = DownloadFile(hostName, "tool/version.txt", local.c_str());
        const std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(Hex(E_FAIL), Hex(result));
        EXPECT_EQ("***Failed to download URL \n", printed);
        EXPECT_EQ("<missing>", ReadFileBytes(local));
    }
}

// The host by the update host's name, and a local file that cannot be made.
TEST(DownloadFile, NamesTheHostAndTheFileAsGiven)
{
    ServedFiles host;
    ScratchFolder scratch;
    const std::string text = "[General]\r\nMajorversion=1\r\n";
    ASSERT_TRUE(host.Put("tool/version.txt", text));
    const struct {
        const char* host;
        std::string local;
        ResultCode expected;
        std::string stored;
    } cases[] = {
        {kUpdateHost, scratch.Join("version.txt"), S_OK, text},
        {"127.0.0.1", scratch.Join("missing-folder\\version.txt"), E_FAIL, "<missing>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.local);
        EXPECT_EQ(Hex(c.expected), Hex(DownloadFile(c.host, "tool/version.txt", c.local.c_str())));
        EXPECT_EQ(c.stored, ReadFileBytes(c.local));
    }
}

// A host that takes the request and never answers: the download gives up after the time-outs
// instead of holding the scan back.
TEST(DownloadFile, AHostThatNeverAnswersIsGivenUpOn)
{
    ServedFiles host;
    ScratchFolder scratch;
    ASSERT_TRUE(host.Put("tool/version.txt", "[General]\r\n", "silent"));
    const std::string local = scratch.Join("version.txt");
    const ULONGLONG start = GetTickCount64();
    testing::internal::CaptureStdout();
    const ResultCode result = DownloadFile("127.0.0.1", "tool/version.txt", local.c_str());
    testing::internal::GetCapturedStdout();
    const ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_EQ(Hex(E_FAIL), Hex(result));
    EXPECT_LT(elapsed, 3 * kNetworkTimeoutMs) << "ms";
    EXPECT_EQ("<missing>", ReadFileBytes(local));
}

TEST(ParseContentLength, TakesPlainDecimalNumbersOnly)
{
    const struct {
        const char* text;
        bool valid;
        ULONGLONG value;
    } cases[] = {
        {"0", true, 0},
        {"30000", true, 30000},
        {"  42 ", true, 42},
        {"18446744073709551615", true, 18446744073709551615ULL},
        {"18446744073709551616", false, 0},
        {"-5", false, 0},
        {"+5", false, 0},
        {"12abc", false, 0},
        {"", false, 0},
        {"  ", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ULONGLONG value = 99;
        EXPECT_EQ(c.valid, ParseContentLength(c.text, &value));
        EXPECT_EQ(c.value, value);
    }
}

}
