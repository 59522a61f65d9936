// The resources of the built program, read back from its file.
#include <gtest/gtest.h>

#include <stddef.h>
#include <string.h>

#include <string>
#include <vector>

#include "ExpectedDialog.h"
#include "ModuleHosts.h"
#include "RunningProgram.h"
#include "TestFolder.h"
#include "update/UpdateCheck.h"

namespace {

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width;
    BYTE height;
    BYTE colorCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)

class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override
    {
        module_ = LoadLibraryExA(ProgramPath().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module_) << ProgramPath() << " error " << GetLastError();
    }
    void TearDown() override
    {
        if (module_ != NULL)
            FreeLibrary(module_);
    }

    // The bytes of one resource; empty when it is missing.
    std::string Resource(LPCSTR type, LPCSTR name) const
    {
        HRSRC found = FindResourceA(module_, name, type);
        if (found == NULL)
            return std::string();
        const void* data = LockResource(LoadResource(module_, found));
        return std::string((const char*)data, SizeofResource(module_, found));
    }

    HMODULE module_ = NULL;
};

TEST_F(ProgramResources, ManifestAsksForAdministratorAndCommonControls6)
{
    const std::string manifest = Resource(MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1));
    ASSERT_FALSE(manifest.empty());
    const std::string arch = sizeof(void*) == 8 ? "amd64" : "X86";
    const std::string pieces[] = {
        "<assemblyIdentity version=\"1.0.0.0\" processorArchitecture=\"" + arch +
            "\" name=\"Kestrovane.Tool\" type=\"win32\"/>",
        "<description>Kestrovane- Malware Debugging Tool</description>",
        "<assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" "
        "version=\"6.0.0.0\" processorArchitecture=\"" + arch +
            "\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>",
        "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">",
        "<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>",
    };
    for (const std::string& piece : pieces)
        EXPECT_NE(std::string::npos, manifest.find(piece)) << piece << "\nin\n" << manifest;
}

TEST_F(ProgramResources, VersionBlockHoldsEveryStringAndTheFixedVersion)
{
    const std::string path = ProgramPath();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_NE(0u, size);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = NULL;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", (void**)&fixed, &length));
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwProductVersionLS);
    EXPECT_EQ(0x17u, fixed->dwFileFlagsMask);
    EXPECT_EQ(0u, fixed->dwFileFlags);
    EXPECT_EQ(4u, fixed->dwFileOS);
    EXPECT_EQ(1u, fixed->dwFileType);
    EXPECT_EQ(0u, fixed->dwFileSubtype);
    EXPECT_EQ(0u, fixed->dwFileDateMS);
    EXPECT_EQ(0u, fixed->dwFileDateLS);

    WORD* translation = NULL;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", (void**)&translation, &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0409, translation[0]);
    EXPECT_EQ(1200, translation[1]);

    const struct {
        const char* name;
        const char* value;  // NULL: any non-empty text
    } strings[] = {
        {"FileDescription", "Kestrovane Tool - Malware Debugging Tool"},
        {"ProductName", "Kestrovane Tool - Malware Debugging Tool"},
        {"FileVersion", "1, 0, 0, 1"},
        {"ProductVersion", "1, 0, 0, 1"},
        {"InternalName", "Kestrovane"},
        {"OriginalFilename", "Kestrovane.exe"},
        {"LegalCopyright", NULL},
    };
    for (const auto& s : strings) {
        SCOPED_TRACE(s.name);
        const std::string query = std::string("\\StringFileInfo\\040904b0\\") + s.name;
        char* value = NULL;
        ASSERT_TRUE(VerQueryValueA(block.data(), query.c_str(), (void**)&value, &length));
        if (s.value != NULL)
            EXPECT_STREQ(s.value, value);
        else
            EXPECT_GT(strlen(value), 0u);
    }
}

TEST_F(ProgramResources, IconGroupHoldsNineImagesInOrder)
{
    const std::string group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEA(1));
    ASSERT_GE(group.size(), 6u);
    const WORD* header = (const WORD*)group.data();
    EXPECT_EQ(1, header[1]) << "type";
    ASSERT_EQ(9, header[2]) << "image count";
    ASSERT_EQ(6 + 9 * sizeof(GroupIconEntry), group.size());

    const GroupIconEntry* entries = (const GroupIconEntry*)(group.data() + 6);
    const int sizes[] = {48, 32, 16};
    const int depths[] = {4, 8, 32};
    for (int i = 0; i < 9; i++) {
        const int size = sizes[i / 3];
        const int depth = depths[i % 3];
        SCOPED_TRACE("image " + std::to_string(i + 1));
        EXPECT_EQ(size, entries[i].width);
        EXPECT_EQ(size, entries[i].height);
        EXPECT_EQ(depth, entries[i].bitCount);

        const std::string image = Resource(RT_ICON, MAKEINTRESOURCEA(entries[i].id));
        ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
        const BITMAPINFOHEADER* bitmap = (const BITMAPINFOHEADER*)image.data();
        EXPECT_EQ(size, bitmap->biWidth);
        EXPECT_EQ(2 * size, bitmap->biHeight);
        EXPECT_EQ(depth, bitmap->biBitCount);
        EXPECT_EQ(entries[i].bytesInRes, image.size());
    }
}

// Reads the extended dialog template: fixed fields, then strings or ordinals, items aligned
// on four bytes.
class TemplateReader {
public:
    explicit TemplateReader(const std::string& data) : data_(data), offset_(0) {}

    template <typename T>
    T Read()
    {
        T value = T();
        if (offset_ + sizeof(T) <= data_.size())
            memcpy(&value, data_.data() + offset_, sizeof(T));
        offset_ += sizeof(T);
        return value;
    }

    // A string, or "#n" for an ordinal, or "" for nothing.
    std::string ReadNameOrOrdinal()
    {
        const WORD first = Read<WORD>();
        if (first == 0xFFFF)
            return "#" + std::to_string(Read<WORD>());
        std::string text;
        for (WORD c = first; c != 0; c = Read<WORD>())
            text += (char)c;
        return text;
    }

    void AlignToDword() { offset_ = (offset_ + 3) & ~(size_t)3; }
    bool AtEnd() const { return offset_ >= data_.size(); }

private:
    const std::string& data_;
    size_t offset_;
};

std::string ClassFromTemplate(const std::string& name)
{
    if (name == "#128")
        return "button";
    if (name == "#130")
        return "static";
    return name;
}

TEST_F(ProgramResources, DialogTemplateHoldsEveryControl)
{
    const std::string data = Resource(RT_DIALOG, MAKEINTRESOURCEA(103));
    ASSERT_FALSE(data.empty());
    TemplateReader reader(data);

    EXPECT_EQ(1, reader.Read<WORD>()) << "version";
    EXPECT_EQ(0xFFFF, reader.Read<WORD>()) << "signature of an extended template";
    EXPECT_EQ(0u, reader.Read<DWORD>()) << "help id";
    EXPECT_EQ(0u, reader.Read<DWORD>()) << "extended style";
    EXPECT_EQ(Hex(WS_CAPTION | WS_SYSMENU | DS_CENTER | DS_MODALFRAME | DS_SETFONT),
              Hex(reader.Read<DWORD>()))
        << "style";
    const WORD count = reader.Read<WORD>();
    EXPECT_EQ(22, reader.Read<short>());
    EXPECT_EQ(17, reader.Read<short>());
    EXPECT_EQ(403, reader.Read<short>());
    EXPECT_EQ(310, reader.Read<short>());
    EXPECT_EQ("", reader.ReadNameOrOrdinal()) << "menu";
    EXPECT_EQ("", reader.ReadNameOrOrdinal()) << "window class";
    const std::string caption = reader.ReadNameOrOrdinal();
    EXPECT_EQ(kExpectedCaptionStart, caption.substr(0, strlen(kExpectedCaptionStart)));
    EXPECT_EQ(8, reader.Read<WORD>()) << "point size";
    EXPECT_EQ(0, reader.Read<WORD>()) << "weight";
    EXPECT_EQ(0, reader.Read<BYTE>()) << "italic";
    EXPECT_EQ(0, reader.Read<BYTE>()) << "character set";
    EXPECT_EQ("MS Shell DLG", reader.ReadNameOrOrdinal());

    ASSERT_EQ(9, count);
    for (const ExpectedControl& expected : kExpectedControls) {
        SCOPED_TRACE(std::to_string(expected.id) + " \"" + expected.text + "\"");
        reader.AlignToDword();
        EXPECT_EQ(0u, reader.Read<DWORD>()) << "help id";
        EXPECT_EQ(0u, reader.Read<DWORD>()) << "extended style";
        EXPECT_EQ(Hex(expected.style), Hex(reader.Read<DWORD>())) << "style";
        EXPECT_EQ(expected.x, reader.Read<short>());
        EXPECT_EQ(expected.y, reader.Read<short>());
        EXPECT_EQ(expected.cx, reader.Read<short>());
        EXPECT_EQ(expected.cy, reader.Read<short>());
        EXPECT_EQ(expected.id, (int)reader.Read<DWORD>());
        EXPECT_EQ(0, _stricmp(expected.className, ClassFromTemplate(reader.ReadNameOrOrdinal()).c_str()));
        EXPECT_EQ(expected.text, reader.ReadNameOrOrdinal());
        EXPECT_EQ(0, reader.Read<WORD>()) << "creation data";
    }
    reader.AlignToDword();
    EXPECT_TRUE(reader.AtEnd());
}

// The 32-bit program carries the 64-bit build of the same version for 64-bit Windows: a 64-bit
// program, not a library, with the same manifest and version. The 64-bit program carries none.
TEST_F(ProgramResources, ThirtyTwoBitProgramCarriesTheSixtyFourBitBuild)
{
    const std::string carried = Resource(MAKEINTRESOURCEA(10), MAKEINTRESOURCEA(200));
    if (sizeof(void*) == 8) {
        EXPECT_TRUE(carried.empty());
        return;
    }
    ASSERT_GT(carried.size(), sizeof(IMAGE_DOS_HEADER));
    EXPECT_TRUE(carried == ReadFileBytes(BuiltFile("other\\Kestrovane.exe")));
    ScratchFolder scratch;
    const std::string copy = scratch.Join("carried.exe");
    ASSERT_TRUE(WriteFileBytes(copy, carried));
    const HMODULE carriedModule = LoadLibraryExA(copy.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, carriedModule);
    const HRSRC manifest = FindResourceA(carriedModule, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(nullptr, manifest);
    const std::string text((const char*)LockResource(LoadResource(carriedModule, manifest)),
                           SizeofResource(carriedModule, manifest));
    FreeLibrary(carriedModule);
    EXPECT_NE(std::string::npos, text.find("processorArchitecture=\"amd64\"")) << text;
    EXPECT_NE(std::string::npos, text.find("requireAdministrator")) << text;

    const LONG offset = *(const LONG*)&carried[offsetof(IMAGE_DOS_HEADER, e_lfanew)];
    IMAGE_FILE_HEADER header = {};
    memcpy(&header, &carried[offset + sizeof(DWORD)], sizeof(header));
    EXPECT_EQ(IMAGE_FILE_MACHINE_AMD64, header.Machine);
    EXPECT_EQ(0, header.Characteristics & IMAGE_FILE_DLL);
    DWORD ownMS = 0;
    DWORD ownLS = 0;
    DWORD carriedMS = 0;
    DWORD carriedLS = 0;
    ASSERT_EQ(Hex(S_OK), Hex(ReadFileVersion(ProgramPath().c_str(), &ownMS, &ownLS)));
    ASSERT_EQ(Hex(S_OK), Hex(ReadFileVersion(copy.c_str(), &carriedMS, &carriedLS)));
    EXPECT_EQ(ownMS, carriedMS);
    EXPECT_EQ(ownLS, carriedLS);
}

}
