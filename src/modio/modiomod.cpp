#include "modio/modiomod.h"

#include "catalog/htmltext.h"
#include "catalog/jsonvalues.h"
#include "modio/quickcheck.h"

#include <QCoreApplication>
#include <QJsonArray>

#include <cmath>

namespace {

QString textOf(const QJsonObject &object, QLatin1String key)
{
    return object.value(key).toString();
}

QString trimmedTextOf(const QJsonObject &object, QLatin1String key)
{
    return object.value(key).toString().trimmed();
}

// Counts and dates arrive as numbers; a number written as text is read too rather than taken as 0.
qint64 integerOf(const QJsonObject &object, QLatin1String key)
{
    const QJsonValue value = object.value(key);
    if (value.isString())
        return value.toString().trimmed().toLongLong();
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::fabs(number) >= 9.2e18)
        return 0;
    return value.toInteger(qint64(number));
}

QString firstNonEmpty(const QJsonObject &object, std::initializer_list<QLatin1String> keys)
{
    for (QLatin1String key : keys) {
        const QString text = textOf(object, key);
        if (!text.isEmpty())
            return text;
    }
    return {};
}

QString logoUrlOf(const QJsonObject &mod)
{
    const QString logo = firstNonEmpty(mod.value(QLatin1String("logo")).toObject(),
                                       {QLatin1String("thumb_320x180"), QLatin1String("thumb_640x360"),
                                        QLatin1String("thumb_1280x720"), QLatin1String("original")});
    if (!logo.isEmpty())
        return logo;
    const QJsonArray images =
        mod.value(QLatin1String("media")).toObject().value(QLatin1String("images")).toArray();
    return images.isEmpty() ? QString()
                            : firstNonEmpty(images.first().toObject(),
                                            {QLatin1String("thumb_320x180"), QLatin1String("original")});
}

// The live file of the Windows or all-platform release, else the first live file of any platform.
QString platformModfileId(const QJsonArray &platforms)
{
    QString fallback;
    for (const QJsonValue &element : platforms) {
        const QJsonObject platform = element.toObject();
        const QString live = modIoIdText(platform.value(QLatin1String("modfile_live"))).trimmed();
        if (live.isEmpty())
            continue;
        if (fallback.isEmpty())
            fallback = live;
        const QString name = trimmedTextOf(platform, QLatin1String("platform"));
        if (name.compare(QLatin1String("WINDOWS"), Qt::CaseInsensitive) == 0 ||
            name.compare(QLatin1String("ALL"), Qt::CaseInsensitive) == 0)
            return live;
    }
    return fallback;
}

void readStats(ModIoMod &record, const QJsonObject &stats)
{
    record.downloads = integerOf(stats, QLatin1String("downloads_total"));
    record.subscribers = integerOf(stats, QLatin1String("subscribers_total"));
    record.ratingsTotal = integerOf(stats, QLatin1String("ratings_total"));
    record.ratingsPositive = integerOf(stats, QLatin1String("ratings_positive"));
    record.ratingsNegative = integerOf(stats, QLatin1String("ratings_negative"));
    // A null share says as little as a missing one.
    const QJsonValue percent = stats.value(QLatin1String("ratings_percentage_positive"));
    if (percent.isDouble() || percent.isString())
        record.ratingPercentPositive = int(integerOf(stats, QLatin1String("ratings_percentage_positive")));
    record.ratingWeighted = stats.value(QLatin1String("ratings_weighted_aggregate")).toDouble(0.0);
    record.ratingText = trimmedTextOf(stats, QLatin1String("ratings_display_text"));
}

void readTags(ModIoMod &record, const QJsonArray &tags)
{
    for (const QJsonValue &element : tags) {
        const QJsonObject tag = element.toObject();
        const QString name = textOf(tag, QLatin1String("name"));
        const QString localized = textOf(tag, QLatin1String("name_localized"));
        if (name.isEmpty() && localized.isEmpty())
            continue;
        record.tags.append(localized.isEmpty() ? name : localized);
        record.tagNames.append(name);
    }
}

} // namespace

QString modIoIdText(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    if (!value.isDouble())
        return {};
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::fabs(number) >= 9.2e18)
        return {};
    return QString::number(value.toInteger(qint64(number)));
}

ModIoMod parseModIoMod(const QJsonObject &mod, const QSet<QString> &subscribedIds)
{
    ModIoMod record;
    record.id = modIoIdText(mod.value(QLatin1String("id")));
    const QJsonValue name = mod.value(QLatin1String("name"));
    record.name =
        name.isString() ? name.toString() : QCoreApplication::translate("MainWindow", "Unbenannter Mod");

    const QJsonObject submitter = mod.value(QLatin1String("submitted_by")).toObject();
    record.submittedById = modIoIdText(submitter.value(QLatin1String("id"))).trimmed();
    record.authorNameId = trimmedTextOf(submitter, QLatin1String("name_id"));
    record.authorUsername = trimmedTextOf(submitter, QLatin1String("username"));
    record.authorDisplayName = trimmedTextOf(submitter, QLatin1String("display_name_portal"));
    record.author = !record.authorUsername.isEmpty()      ? record.authorUsername
                    : !record.authorDisplayName.isEmpty() ? record.authorDisplayName
                                                          : record.authorNameId;

    record.summary = trimmedTextOf(mod, QLatin1String("summary"));
    record.description = trimmedTextOf(mod, QLatin1String("description_plaintext"));
    if (record.description.isEmpty())
        record.description = htmlToPlainText(textOf(mod, QLatin1String("description")));
    if (record.description.isEmpty())
        record.description = record.summary;
    record.profileUrl = trimmedTextOf(mod, QLatin1String("profile_url"));
    record.logoUrl = logoUrlOf(mod);
    record.galleryImageCount =
        int(mod.value(QLatin1String("media")).toObject().value(QLatin1String("images")).toArray().size());
    record.dateUpdated = integerOf(mod, QLatin1String("date_updated"));

    applyModIoModfile(record, mod.value(QLatin1String("modfile")).toObject());
    if (record.modfileId.isEmpty())
        record.modfileId = platformModfileId(mod.value(QLatin1String("platforms")).toArray());

    readStats(record, mod.value(QLatin1String("stats")).toObject());
    readTags(record, mod.value(QLatin1String("tags")).toArray());
    record.subscribed = subscribedIds.contains(record.id);
    computeModIoQuickCheck(record);
    return record;
}

void applyModIoModfile(ModIoMod &record, const QJsonObject &modfile)
{
    if (modfile.isEmpty())
        return;
    const auto take = [](QString &field, const QString &value) {
        if (!value.isEmpty())
            field = value;
    };
    take(record.modfileId, modIoIdText(modfile.value(QLatin1String("id"))));
    take(record.version, textOf(modfile, QLatin1String("version")));
    take(record.fileName, textOf(modfile, QLatin1String("filename")));
    take(record.md5, modfile.value(QLatin1String("filehash"))
                         .toObject()
                         .value(QLatin1String("md5"))
                         .toString()
                         .trimmed()
                         .toLower());
    take(record.downloadUrl, modfile.value(QLatin1String("download"))
                                 .toObject()
                                 .value(QLatin1String("binary_url"))
                                 .toString()
                                 .trimmed());
    const qint64 size = integerOf(modfile, QLatin1String("filesize"));
    if (size > 0)
        record.fileSize = size;
    const qint64 updated = integerOf(modfile, QLatin1String("date_updated"));
    if (updated > 0)
        record.dateUpdated = qMax(record.dateUpdated, updated);
}

QString modIoUserName(const QJsonObject &user)
{
    const QString username = trimmedTextOf(user, QLatin1String("username"));
    return username.isEmpty() ? trimmedTextOf(user, QLatin1String("display_name_portal")) : username;
}

QString htmlToPlainText(const QString &html)
{
    return stripHtml(html);
}
