// Turning the system's names for mapped files into drive paths.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>
#include <string.h>

#include <string>

#include "TestFolder.h"
#include "inventory/DevicePath.h"

namespace {

DriveDeviceMap ExampleMap()
{
    DriveDeviceMap map = {};
    const struct {
        const char* drive;
        const char* device;
    } drives[] = {
        {"C:", "\\Device\\HarddiskVolume1"},
        {"D:", "\\Device\\HarddiskVolume10"},
        {"E:", "\\Device\\CdRom0"},
    };
    for (const auto& d : drives) {
        strcpy(map.entries[map.count].drive, d.drive);
        strcpy(map.entries[map.count].device, d.device);
        map.count++;
    }
    return map;
}

TEST(DrivePathFromDevicePath, MapsEachFormToTheDrivePathOfTheSameFile)
{
    const DriveDeviceMap map = ExampleMap();
    const struct {
        const char* devicePath;
        ResultCode expected;
        const char* drivePath;
    } cases[] = {
        {"\\Device\\HarddiskVolume1\\Windows\\SysWOW64\\kernel32.dll", S_OK, "C:\\Windows\\SysWOW64\\kernel32.dll"},
        {"\\device\\harddiskvolume1\\x.dll", S_OK, "C:\\x.dll"},
        {"\\Device\\HarddiskVolume10\\tools\\x.dll", S_OK, "D:\\tools\\x.dll"},
        {"\\Device\\HarddiskVolume100\\x.dll", E_FAIL, ""},
        {"\\Device\\HarddiskVolume1x\\x.dll", E_FAIL, ""},
        {"\\Device\\CdRom0\\setup.exe", S_OK, "E:\\setup.exe"},
        {"\\??\\C:\\windows\\syswow64\\kernel32.dll", S_OK, "C:\\windows\\syswow64\\kernel32.dll"},
        {"\\\\?\\Z:\\work\\x.dll", S_OK, "Z:\\work\\x.dll"},
        {"\\GLOBAL??\\c:\\x.dll", S_OK, "c:\\x.dll"},
        {"\\??\\UNC\\server\\share\\x.dll", S_OK, "\\\\server\\share\\x.dll"},
        {"\\Device\\Mup\\server\\share\\x.dll", S_OK, "\\\\server\\share\\x.dll"},
        {"\\??\\Volume{0f1e2d3c-0000-0000-0000-100000000000}\\x.dll", E_FAIL, ""},
        {"\\Device\\Unknown\\x.dll", E_FAIL, ""},
        {"", E_FAIL, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.devicePath);
        char out[kTextChars] = "unchanged";
        EXPECT_EQ(Hex(c.expected), Hex(DrivePathFromDevicePath(c.devicePath, &map, out, kTextChars)));
        EXPECT_STREQ(c.drivePath, out);
    }
}

TEST(DrivePathFromDevicePath, LeavesNoCutPath)
{
    const DriveDeviceMap map = ExampleMap();
    const std::string devicePath = "\\Device\\HarddiskVolume1\\" + std::string(300, 'a');
    char out[kTextChars] = "unchanged";
    EXPECT_EQ(Hex(STRSAFE_E_INSUFFICIENT_BUFFER),
              Hex(DrivePathFromDevicePath(devicePath.c_str(), &map, out, kTextChars)));
    EXPECT_STREQ("", out);
    EXPECT_EQ(Hex(E_INVALIDARG), Hex(DrivePathFromDevicePath(NULL, &map, out, kTextChars)));
    EXPECT_EQ(Hex(E_INVALIDARG), Hex(DrivePathFromDevicePath("\\??\\C:\\x", &map, out, 0)));
}

// The system's own map names a device for the system drive, and the file names that the memory
// manager gives for this program come back as the path it was started from.
TEST(DrivePathFromDevicePath, GivesBackThisProgramsOwnPath)
{
    DriveDeviceMap map;
    ReadDriveDeviceMap(&map);
    ASSERT_GT(map.count, 0u);
    char own[MAX_PATH] = {0};
    ASSERT_NE(0u, GetModuleFileNameA(NULL, own, MAX_PATH));
    char mapped[MAX_PATH] = {0};
    ASSERT_NE(0u, GetMappedFileNameA(GetCurrentProcess(), GetModuleHandleA(NULL), mapped, MAX_PATH));
    char out[kTextChars] = {0};
    EXPECT_EQ(Hex(S_OK), Hex(DrivePathFromDevicePath(mapped, &map, out, kTextChars))) << mapped;
    EXPECT_STRCASEEQ(own, out);
}

}
