#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QString>

// A mod names itself through the game's translation call (name = _("mod_name") in mod.lua) and keeps the
// texts in "strings.lua" beside it:
//
//     function data() return { de = { ["mod_name"] = "Mein Mod", … }, en = { mod_name = "My Mod", … } } end
//
// The file is read as data, never run: only the table after the first "return" counts, and in it only the
// language tables whose entries map a string or name key to a plain string literal; entries of any other
// kind are passed over.

// Texts by key, per language code.
using ModTranslations = QHash<QString, QHash<QString, QString>>;

// The language tables of a strings.lua given as UTF-8. Comments ("--", "--[[ ]]"), quoted strings with their
// escapes and long strings are understood. A file that is broken where it is read (a string or comment left
// open, an unknown escape, a table not closed, a field not followed by "," ";" or "}") gives no tables.
ModTranslations parseModTranslations(QByteArrayView utf8);

// The text of key for language, else its English text, else the key itself. Empty texts do not count.
QString translatedModText(const ModTranslations &translations, const QString &key, const QString &language);
