#pragma once

#include "app/settings.h"

#include <QString>

// How the mod.io page's header shows the account: not configured (no key, no token), not signed in (a key
// only) or signed in (a token, with the stored user name when there is one; the tooltip says where the token
// is kept).
struct ModIoAccountLabel
{
    QString text;
    QString toolTip;
    QString styleSheet;
    bool signedIn = false;
};
ModIoAccountLabel modIoAccountLabel(const QString &token, const QString &apiKey, const QString &userName,
                                    TokenPlace place);
