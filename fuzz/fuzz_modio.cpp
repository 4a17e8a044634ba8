// Answers of the mod.io service: single mod objects, list pages ("data" arrays) and the author history of the
// quick check.

#include "fuzzinput.h"
#include "modio/modiomod.h"
#include "modio/quickcheck.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = fuzzBytes(data, size);
    const QJsonDocument document = QJsonDocument::fromJson(input);
    const QSet<QString> subscribed{QStringLiteral("2"), QStringLiteral("3021")};
    // A fixed "now", so a crash replays alike on any day.
    const qint64 now = 1767225600;

    const QJsonObject object = document.object();
    const QJsonArray page = object.value(QLatin1String("data")).toArray();
    QList<ModIoMod> mods;
    for (const QJsonValue &element : page)
        mods.append(parseModIoMod(element.toObject(), subscribed));
    ModIoMod single = parseModIoMod(object, subscribed);
    applyModIoModfile(single, object.value(QLatin1String("modfile")).toObject());
    mods.append(single);
    for (const ModIoMod &mod : std::as_const(mods)) {
        ModIoQuickCheckReport report;
        report.score = mod.quickCheckScore;
        report.reasons = mod.quickCheckReasons;
        addModIoAuthorHistory(report, document, now);
        modIoQuickCheckReportText(mod.name, report);
    }
    modIoIdText(object.value(QLatin1String("id")));
    modIoUserName(object);
    htmlToPlainText(QString::fromUtf8(input));
    return 0;
}
