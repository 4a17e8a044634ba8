#pragma once

#include <QString>

// A mod.io author whose mods are hidden. At least one of the two is set.
struct ModIoBlockedAuthor
{
    QString id;   // the author's mod.io user id as text
    QString name; // display name
};
