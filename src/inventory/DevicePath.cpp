#include "inventory/DevicePath.h"

#include <windows.h>
#include <string.h>

namespace {

// The rest of path after prefix (compared without regard to ASCII letter case), or NULL.
const char* After(const char* path, const char* prefix)
{
    const size_t length = strlen(prefix);
    return _strnicmp(path, prefix, length) == 0 ? path + length : NULL;
}

bool IsDriveRoot(const char* path)
{
    return ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) && path[1] == ':';
}

ResultCode Join(char* out, size_t cch, const char* head, const char* tail)
{
    const ResultCode result = BoundedFormat(out, cch, "%s%s", head, tail);
    if (result < 0 && cch > 0 && cch <= kMaxCch)
        out[0] = '\0';
    return result;
}

}

void ReadDriveDeviceMap(DriveDeviceMap* map)
{
    memset(map, 0, sizeof(*map));
    for (char letter = 'A'; letter <= 'Z'; letter++) {
        DriveDevice& entry = map->entries[map->count];
        entry.drive[0] = letter;
        entry.drive[1] = ':';
        // The answer is a list of names ending in two terminators; the first one is the device.
        char targets[kTextChars + 1] = {0};
        if (QueryDosDeviceA(entry.drive, targets, (DWORD)sizeof(targets)) == 0 || targets[0] == '\0' ||
            BoundedCopy(entry.device, kTextChars, targets) < 0) {
            memset(&entry, 0, sizeof(entry));
            continue;
        }
        map->count++;
    }
}

ResultCode DrivePathFromDevicePath(const char* devicePath, const DriveDeviceMap* map, char* out,
                                   size_t cch)
{
    if (devicePath == NULL || map == NULL || out == NULL || cch == 0 || cch > kMaxCch)
        return E_INVALIDARG;
    out[0] = '\0';

    static const char* const kUncPrefixes[] = {"\\??\\UNC\\", "\\\\?\\UNC\\", "\\Device\\Mup\\"};
    for (const char* prefix : kUncPrefixes) {
        const char* rest = After(devicePath, prefix);
        if (rest != NULL)
            return Join(out, cch, "\\\\", rest);
    }
    static const char* const kDrivePrefixes[] = {"\\??\\", "\\\\?\\", "\\DosDevices\\", "\\GLOBAL??\\"};
    for (const char* prefix : kDrivePrefixes) {
        const char* rest = After(devicePath, prefix);
        if (rest != NULL && IsDriveRoot(rest))
            return Join(out, cch, "", rest);
    }
    for (size_t i = 0; i < map->count; i++) {
        const char* rest = After(devicePath, map->entries[i].device);
        // "\Device\HarddiskVolume1" must not take the paths of "\Device\HarddiskVolume10".
        if (rest != NULL && rest[0] == '\\')
            return Join(out, cch, map->entries[i].drive, rest);
    }
    return E_FAIL;
}
