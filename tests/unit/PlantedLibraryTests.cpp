// A WinTrust.dll planted beside the program, with Wine told to prefer such a library to its own,
// must never be loaded by the trust binding. Wine is told through its per-program overrides in
// the registry, which reach the probes alone.
#include <gtest/gtest.h>

#include "ModuleHosts.h"
#include "RunningProgram.h"
#include "TestFolder.h"

namespace {

// Makes Wine prefer a WinTrust.dll of the program's own to its built-in one, for one program.
class PreferPlantedLibrary {
public:
    explicit PreferPlantedLibrary(const char* program)
        : key_(std::string("Software\\Wine\\AppDefaults\\") + program)
    {
        HKEY key = NULL;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, (key_ + "\\DllOverrides").c_str(), 0, NULL, 0,
                            KEY_SET_VALUE, NULL, &key, NULL) == ERROR_SUCCESS) {
            RegSetValueExA(key, "wintrust", 0, REG_SZ, (const BYTE*)"native,builtin", 15);
            RegCloseKey(key);
        }
    }
    ~PreferPlantedLibrary()
    {
        RegDeleteKeyA(HKEY_CURRENT_USER, (key_ + "\\DllOverrides").c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str());
    }

private:
    std::string key_;
};

TEST(PlantedLibrary, IsNeverLoadedByTheTrustBinding)
{
    const struct {
        const char* probe;
        const char* mode;
        bool plantLoads;
    } cases[] = {
        {"LibraryLoadProbe.exe", "bare", true},  // shows that the plant works
        {"LibraryLoadProbe.exe", "system", false},
        {"LibraryLoadProbe.exe", "fallback", false},
        {"TrustBindProbe.exe", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.probe) + " " + c.mode);
        PreferPlantedLibrary preferPlanted(c.probe);
        ScratchFolder scratch;
        const std::string probe = scratch.Join(c.probe);
        ASSERT_TRUE(CopyFileA(BuiltFile(c.probe).c_str(), probe.c_str(), FALSE));
        ASSERT_TRUE(CopyFileA(BuiltFile("planted\\WinTrust.dll").c_str(),
                              scratch.Join("WinTrust.dll").c_str(), FALSE));

        EXPECT_EQ(0u, RunToEnd(probe, c.mode, scratch.Path().c_str())) << "no WinTrust.dll was loaded";
        const bool loaded = ReadFileBytes(scratch.Join("planted-library-loaded.txt")) != "<missing>";
        EXPECT_EQ(c.plantLoads, loaded);
    }
}

}
