#pragma once

#include <QString>

#ifdef Q_OS_WIN
// Clears the Windows read-only attribute of one file or folder; a link's own attribute, not its target's.
// True when the attribute is clear afterwards.
bool clearReadOnlyAttribute(const QString &path);
#endif
