// Version texts, archive names and the volume names of multi-part archives. The input is two names
// separated by a NUL byte.

#include "catalog/versions.h"
#include "fuzzinput.h"
#include "install/archivevolumes.h"

namespace {

int sign(int value)
{
    return (value > 0) - (value < 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> parts = fuzzParts(fuzzBytes(data, size), 2);
    const QString a = QString::fromUtf8(parts.at(0));
    const QString b = QString::fromUtf8(parts.at(1));

    // Updates and dependency checks sort by this order; it must not depend on which side a version is on.
    if (compareVersions(a, a) != 0 || sign(compareVersions(a, b)) != -sign(compareVersions(b, a)))
        std::abort();

    archiveNameVersions(a);
    minimumVersionPhrase(a);
    versionFromText(a);
    managerReleaseVersion(a, b);
    parseArchiveVolumeName(a);
    parseArchiveVolumeName(b);
    return 0;
}
