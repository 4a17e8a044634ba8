// What a mod folder says about itself in Lua: mod.lua and the translations in strings.lua. The input is the
// two files separated by a NUL byte; an empty part leaves its file out.

#include "fuzzinput.h"
#include "localmods/modmetadata.h"
#include "localmods/modtranslations.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> parts = fuzzParts(fuzzBytes(data, size), 2);

    const ModTranslations translations = parseModTranslations(parts.at(1));
    for (auto language = translations.cbegin(); language != translations.cend(); ++language) {
        for (auto entry = language.value().cbegin(); entry != language.value().cend(); ++entry)
            translatedModText(translations, entry.key(), QStringLiteral("de"));
    }

    const QString folder = fuzzFolder() + QStringLiteral("/mod");
    writeFuzzFile(folder + QStringLiteral("/mod.lua"), parts.at(0));
    writeFuzzFile(folder + QStringLiteral("/strings.lua"), parts.at(1));
    const FolderListing listing(folder);
    readFolderMetadata(listing, QStringLiteral("de"));
    readFolderMetadata(listing, QStringLiteral("en"));
    return 0;
}
