#pragma once

#include <Qt>

// Roles the pages' list models answer beyond Qt's own. The gallery cards read them; Qt::UserRole and the
// roles right after it are the pages' own (the record a row stands for, the update row's flags).
namespace ListRole {
enum : int
{
    CardTitle = Qt::UserRole + 100, // QString
    CardLines,                      // QStringList: the lines under the title
    CardToolTip,                    // QString
    CardWarning,                    // bool: the card is drawn as a warning (a mod installed twice)
    CardPicture,                    // QPixmap: the card's picture; none shows "Keine Vorschau"
};
} // namespace ListRole
