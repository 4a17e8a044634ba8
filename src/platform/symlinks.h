#pragma once

#include <QString>

// Creates copy as a symbolic link with the same text as the link at link, so a relative link stays relative
// (Qt only tells where a link points now, as an absolute path). On Windows, where creating links needs
// rights a player rarely has, this always fails.
bool copySymbolicLink(const QString &link, const QString &copy);
