// Steam's libraryfolders.vdf, which lists the game's possible library folders.

#include "environment/discovery.h"
#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    parseSteamLibraryPaths(QString::fromUtf8(fuzzBytes(data, size)));
    return 0;
}
