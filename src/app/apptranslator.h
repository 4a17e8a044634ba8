#pragma once

#include <QHash>
#include <QString>
#include <QTranslator>

// The built-in translation: no files are read. For "en" the German source texts of the interface map to
// English; for any other language Qt's own English button texts map to German. Context, disambiguation and
// plural number are ignored, so one source text reads the same everywhere.
class AppTranslator : public QTranslator
{
    Q_OBJECT

public:
    explicit AppTranslator(const QString &language, QObject *parent = nullptr);
    ~AppTranslator() override;

    QString translate(const char *context, const char *sourceText, const char *disambiguation = nullptr,
                      int n = -1) const override;

private:
    QHash<QString, QString> m_table;
};

// The rows of the compiled-in English table, in file order (German source text, English text).
QList<QPair<QString, QString>> englishTableRows();
