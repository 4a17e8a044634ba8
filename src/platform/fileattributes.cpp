#include "platform/fileattributes.h"

#ifdef Q_OS_WIN
#include <QDir>

#include <windows.h>

bool clearReadOnlyAttribute(const QString &path)
{
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    const DWORD attributes = GetFileAttributesW(native.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if ((attributes & FILE_ATTRIBUTE_READONLY) == 0)
        return true;
    return SetFileAttributesW(native.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY)) != 0;
}
#endif
