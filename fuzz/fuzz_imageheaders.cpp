// Texture and image headers: the input is one file, read once under a name with the TGA suffix (which is
// recognised by its suffix alone) and once under another.

#include "analysis/imageheaders.h"
#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = fuzzBytes(data, size);
    for (const char *name : {"/texture.tga", "/texture.dds"}) {
        const QString path = fuzzFolder() + QLatin1String(name);
        writeFuzzFile(path, input);
        const QSize imageSize = readImageSize(path);
        if (imageSize.isValid() && (imageSize.width() <= 0 || imageSize.height() <= 0))
            std::abort();
    }
    return 0;
}
