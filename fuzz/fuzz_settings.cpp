// env.ini as another program or a person may have left it: loading never crashes, and what
// was loaded survives a save and a load unchanged.
#include "FuzzSupport.h"
#include "platform/FileSystem.h"
#include "settings/SettingsStore.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace pelimo;
    const std::string path = platform::joinPath(fuzz::workFolder("settings"), "env.ini");
    ::unlink(path.c_str());
    if (!platform::writeFileAtomically(path, std::string(reinterpret_cast<const char*>(data), size)))
        abort();

    EnvSettings first;
    loadSettingsFrom(path, first);
    if (!saveSettingsTo(path, first))
        abort();
    EnvSettings second;
    loadSettingsFrom(path, second);
    if (!(first == second))
        abort();
    return 0;
}
