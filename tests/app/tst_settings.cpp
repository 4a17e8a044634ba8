#include "app/recordtablemodel.h"
#include "app/settings.h"
#include "testsupport.h"

#include <QFile>
#include <QItemSelectionModel>
#include <QSettings>
#include <QtTest>

namespace {
struct ModelFixture
{
    QStringList names{"Lok 10", "lok 9", "Äpfelwagen", "Brücke", "Zug"};
    QStringList versions{"1.10", "1.9", "0.5", "2", "1.2-beta"};
    int textCalls = 0;
    RecordTableModel model{{{QStringLiteral("Mod"),
                             [this](int i) {
                                 ++textCalls;
                                 return names.at(i);
                             }},
                            {QStringLiteral("Version"), [this](int i) { return versions.at(i); },
                             RecordTableModel::SortAs::Version}},
                           [](int record, int, int role) {
                               return role == Qt::UserRole ? QVariant(record) : QVariant();
                           }};

    ModelFixture()
    {
        model.resetRecords(int(names.size()));
        model.setShownRecords({0, 1, 2, 3, 4});
    }
    QStringList column(int c) const
    {
        QStringList texts;
        for (int row = 0; row < model.rowCount(); ++row)
            texts.append(model.index(row, c).data().toString());
        return texts;
    }
};
} // namespace

class SettingsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tokenForms_data();
    void tokenForms();
    void storeAndClearToken();
    void apiRoot_data();
    void apiRoot();
    void customPathsDropMissingAndCaseDuplicates();
    void modIoFolderPrefersTheDetectedOne();
    void reporterIdIsStableDigest();
    void authorBlacklistRoundTrip();
    void rememberedDependenciesAreUnique();
    void languageChoice_data();
    void languageChoice();
    void settingsFileIsPrivate();
    void sortsEveryColumnByItsKind_data();
    void sortsEveryColumnByItsKind();
    void filterKeepsTheSortAndTheRowIndex();
    void selectionFollowsItsRecordWhenSorted();
    void changedTextsResortAndAreMadeAnew();
};

void SettingsTest::tokenForms_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("token");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("base64 form") << "base64:" + QString::fromLatin1(QByteArray("tökén").toBase64())
                                 << QStringLiteral("tökén");
    // Without the data protection service (or under another user) an encrypted token reads as none.
    QTest::newRow("dpapi form unreadable here") << "dpapi:AQIDBA==" << QString();
    QTest::newRow("vault entry without a vault") << "keychain:modio/access_token" << QString();
    QTest::newRow("prefix is case-sensitive") << "BASE64:YWJj"
                                              << "BASE64:YWJj";
}

void SettingsTest::tokenForms()
{
    QFETCH(QString, stored);
    QFETCH(QString, token);
    TestEnvironment environment;
#ifdef Q_OS_WIN
    if (stored.startsWith(QLatin1String("dpapi:")))
        QSKIP("decryption of foreign data is exercised only where no data protection exists");
#endif
    QCOMPARE(unprotectToken(stored), token);
}

void SettingsTest::storeAndClearToken()
{
    TestEnvironment environment;
    storeModIoToken(QStringLiteral("  my-token \n"));
    QVERIFY(QSettings()
                .value("modio/access_token_protected")
                .toString()
                .startsWith(
#ifdef Q_OS_WIN
                    "dpapi:"
#else
                    "base64:"
#endif
                    ));
    QCOMPARE(modIoAccessToken(), QStringLiteral("my-token"));

    storeModIoToken(QStringLiteral("   "));
    QVERIFY(!QSettings().contains("modio/access_token_protected"));
    QCOMPARE(modIoAccessToken(), QString());

    storeModIoToken(QStringLiteral("again"));
    {
        QSettings settings;
        settings.setValue("modio/token_expires", 1234);
        settings.setValue("modio/user_name", "player");
        settings.setValue("modio/api_key", "key");
    }
    clearModIoSignIn();
    QSettings settings;
    QVERIFY(!settings.contains("modio/access_token_protected"));
    QVERIFY(!settings.contains("modio/token_expires"));
    QVERIFY(!settings.contains("modio/user_name"));
    QCOMPARE(settings.value("modio/api_key").toString(), QStringLiteral("key"));
}

void SettingsTest::apiRoot_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("root");
    const QString game = QStringLiteral("https://g-73160.modapi.io/v1");
    const QString general = QStringLiteral("https://api.mod.io/v1");
    QTest::newRow("absent") << QVariant() << game;
    QTest::newRow("blank") << QVariant("   ") << game;
    QTest::newRow("trailing slashes")
        << QVariant(" https://example.test/v1/// ") << "https://example.test/v1";
    QTest::newRow("general root, other case") << QVariant(general.toUpper()) << game;
    QTest::newRow("general root with trailing slash") << QVariant(general + "//") << game;
}

void SettingsTest::apiRoot()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, root);
    TestEnvironment environment;
    if (stored.isValid())
        QSettings().setValue("modio/api_root", stored);
    QCOMPARE(modIoApiRoot(), root);
}

void SettingsTest::customPathsDropMissingAndCaseDuplicates()
{
    TestEnvironment environment;
    const QString first = environment.makeDir("Mods/Alpha");
    const QString second = environment.makeDir("Mods/Beta");
    const QString sameFolderOtherCase = environment.makeDir("mods/ALPHA");
    QSettings().setValue("paths/custommods",
                         QStringList{"  " + first + "/ ", "", environment.root() + "/missing", second,
                                     sameFolderOtherCase, second + "/./"});
    QCOMPARE(customModPaths(), (QStringList{first, second}));
}

void SettingsTest::modIoFolderPrefersTheDetectedOne()
{
    TestEnvironment environment;
    QCOMPARE(modIoModsPath(QString()), QString());
    QSettings().setValue("paths/modio", "  /stored/mods ");
    QCOMPARE(modIoModsPath(QString()), QStringLiteral("/stored/mods"));
    QCOMPARE(modIoModsPath(QStringLiteral("/found/mods")), QStringLiteral("/found/mods"));
}

void SettingsTest::reporterIdIsStableDigest()
{
    QString firstInstallation;
    {
        TestEnvironment environment;
        firstInstallation = reporterId();
        QCOMPARE(reporterId(), firstInstallation);
    }
    TestEnvironment otherInstallation;
    QVERIFY(reporterId() != firstInstallation);
    // Only the SHA-256 digest of the stored id is ever sent.
    QSettings().setValue("community/installation_id", "  fixed-id ");
    QCOMPARE(reporterId(),
             QStringLiteral("42543da1472e4f85d7a148e148459d18e4fad3bfbb715df0ad16957f9f4011f0"));
}

// Reading the stored text leniently is the blacklist's own business; here it must reach the settings and
// back.
void SettingsTest::authorBlacklistRoundTrip()
{
    TestEnvironment environment;
    QVERIFY(loadAuthorBlacklist().isEmpty());
    saveAuthorBlacklist({{QStringLiteral("42"), QStringLiteral("Bot")}, {QString(), QStringLiteral("X")}});
    QCOMPARE(QSettings().value("modio/author_blacklist_json").toByteArray(),
             QByteArray("[{\"id\":\"42\",\"name\":\"Bot\"},{\"id\":\"\",\"name\":\"X\"}]"));
    const QList<ModIoBlockedAuthor> loaded = loadAuthorBlacklist();
    QCOMPARE(loaded.size(), 2);
    QCOMPARE(loaded[0].name, QStringLiteral("Bot"));
}

void SettingsTest::rememberedDependenciesAreUnique()
{
    TestEnvironment environment;
    rememberInstalledDependency(QStringLiteral("  "));
    rememberInstalledDependency(QStringLiteral("12"));
    rememberInstalledDependency(QStringLiteral("12"));
    rememberInstalledDependency(QStringLiteral("Abc"));
    rememberInstalledDependency(QStringLiteral("abc"));
    QCOMPARE(installedDependencyIds(), (QStringList{"12", "Abc", "abc"}));
}

void SettingsTest::languageChoice_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("systemIsGerman");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("storedAfter");
    QTest::newRow("upper case with blanks is kept") << QVariant(" EN ") << true << "en"
                                                    << " EN ";
    QTest::newRow("stored de wins over English system") << QVariant("de") << false << "de"
                                                        << "de";
    QTest::newRow("French replaced, German system") << QVariant("fr") << true << "de"
                                                    << "de";
    QTest::newRow("absent, other system") << QVariant() << false << "en"
                                          << "en";
}

void SettingsTest::languageChoice()
{
    QFETCH(QVariant, stored);
    QFETCH(bool, systemIsGerman);
    QFETCH(QString, chosen);
    QFETCH(QString, storedAfter);
    TestEnvironment environment;
    if (stored.isValid())
        QSettings().setValue("ui/language", stored);
    QCOMPARE(chooseInterfaceLanguage(systemIsGerman), chosen);
    QCOMPARE(QSettings().value("ui/language").toString(), storedAfter);
}

void SettingsTest::settingsFileIsPrivate()
{
#ifdef Q_OS_WIN
    QSKIP("the store is the registry on Windows");
#else
    TestEnvironment environment;
    storeModIoToken(QStringLiteral("secret"));
    QFile file(environment.settingsFilePath());
    QVERIFY(file.exists());
    QCOMPARE(file.permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    rememberInstalledDependency(QStringLiteral("7"));
    QCOMPARE(file.permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);
#endif
}

// The list model of the pages: rows of a filter over records, sorted by any column, a selection that follows
// its record.
void SettingsTest::sortsEveryColumnByItsKind_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("order");
    QTest::addColumn<QStringList>("names");
    // Text: case ignored, numbers by value, umlauts beside their vowel.
    QTest::newRow("text ascending") << 0 << int(Qt::AscendingOrder)
                                    << QStringList{"Äpfelwagen", "Brücke", "lok 9", "Lok 10", "Zug"};
    QTest::newRow("text descending") << 0 << int(Qt::DescendingOrder)
                                     << QStringList{"Zug", "Lok 10", "lok 9", "Brücke", "Äpfelwagen"};
    // Versions by the program's comparison: 1.9 before 1.10, 1.2-beta as 1.2.
    QTest::newRow("version") << 1 << int(Qt::AscendingOrder)
                             << QStringList{"Äpfelwagen", "Zug", "lok 9", "Lok 10", "Brücke"};
    QTest::newRow("natural order") << -1 << int(Qt::AscendingOrder)
                                   << QStringList{"Lok 10", "lok 9", "Äpfelwagen", "Brücke", "Zug"};
}

void SettingsTest::sortsEveryColumnByItsKind()
{
    QFETCH(int, column);
    QFETCH(int, order);
    QFETCH(QStringList, names);
    ModelFixture fixture;
    fixture.model.sort(column, Qt::SortOrder(order));
    QCOMPARE(fixture.column(0), names);
}

void SettingsTest::filterKeepsTheSortAndTheRowIndex()
{
    ModelFixture fixture;
    fixture.model.sort(0, Qt::AscendingOrder);
    fixture.model.setShownRecords({4, 0, 1});
    QCOMPARE(fixture.column(0), (QStringList{"lok 9", "Lok 10", "Zug"}));
    QCOMPARE(fixture.model.rowOfRecord(4), 2);
    QCOMPARE(fixture.model.rowOfRecord(2), -1); // filtered out
    QCOMPARE(fixture.model.recordAt(0), 1);
    QCOMPARE(fixture.model.index(1, 1).data(Qt::UserRole).toInt(), 0);
    QCOMPARE(fixture.model.recordAt(3), -1);
}

void SettingsTest::selectionFollowsItsRecordWhenSorted()
{
    ModelFixture fixture;
    QItemSelectionModel selection(&fixture.model);
    selection.setCurrentIndex(fixture.model.index(3, 0),
                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QCOMPARE(selection.currentIndex().data().toString(), QStringLiteral("Brücke"));
    fixture.model.sort(0, Qt::DescendingOrder);
    QCOMPARE(selection.currentIndex().data().toString(), QStringLiteral("Brücke"));
    QCOMPARE(selection.selectedRows().value(0).data().toString(), QStringLiteral("Brücke"));
}

void SettingsTest::changedTextsResortAndAreMadeAnew()
{
    ModelFixture fixture;
    fixture.model.sort(0, Qt::AscendingOrder);
    fixture.column(0);
    const int calls = fixture.textCalls;
    fixture.column(0);
    QCOMPARE(fixture.textCalls, calls); // texts are kept until they change
    fixture.names[4] = QStringLiteral("Aaa-Zug");
    fixture.model.invalidateColumn(0);
    QCOMPARE(fixture.column(0).first(), QStringLiteral("Aaa-Zug"));
}

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
