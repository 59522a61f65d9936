// Turning the system's name for a mapped file (an NT device path) into a drive path.
#pragma once

#include <stddef.h>

#include "support/BoundedString.h"

// One drive letter and the device it names ("C:" and "\Device\HarddiskVolume3").
struct DriveDevice {
    char drive[3];
    char device[kTextChars];
};

// The drives of this machine and their devices, as QueryDosDevice gives them.
struct DriveDeviceMap {
    DriveDevice entries[26];
    size_t count;
};

// Fills the map from QueryDosDeviceA for the letters A to Z; letters without a device are left
// out.
void ReadDriveDeviceMap(DriveDeviceMap* map);

// Writes the drive path of a device path into out (cch characters): "\??\C:\x" and "\\?\C:\x"
// give "C:\x", "\??\UNC\server\share" and "\Device\Mup\server\share" give "\\server\share",
// and a path under a device of the map gives that device's drive followed by the rest. E_FAIL
// when no rule applies; STRSAFE_E_INSUFFICIENT_BUFFER when the result does not fit, and out is
// then an empty text.
ResultCode DrivePathFromDevicePath(const char* devicePath, const DriveDeviceMap* map, char* out,
                                   size_t cch);
