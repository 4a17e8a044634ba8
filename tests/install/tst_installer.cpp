#include "app/apptranslator.h"
#include "installfixtures.h"
#include "storedzip.h"

#include <QCoreApplication>

// From the archive to the installed folder: volumes, mod root and name, entry names, archives that must
// install nothing.
class TestInstaller : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!realSevenZip().isEmpty(), "the tests need 7zz (Debian package 7zip) on the search path");
    }
    void init() { m_box = new InstallSandbox; }
    void cleanup()
    {
        // Nothing of an extraction survives the call, whatever its outcome.
        QCOMPARE(m_box->temporaryLeftovers(), QStringList());
        delete m_box;
        m_box = nullptr;
    }

    void modNames_data();
    void modNames();
    void modRootAndName_data();
    void modRootAndName();
    void multiVolumeArchive_data();
    void multiVolumeArchive();
    void zipEntryNames_data();
    void zipEntryNames();
    void archivesThatInstallNothing_data();
    void archivesThatInstallNothing();
    void traversalEntriesStayInside();
    void untrustedTreeIsRefused_data();
    void untrustedTreeIsRefused();
    void replaceTargetWithoutParent();
    void englishTexts();

private:
    InstallSandbox *m_box = nullptr;
};

void TestInstaller::modNames_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<QString>("name");
    QTest::newRow("dots in the name") << "My.Mod.v2.7z"
                                      << "My.Mod.v2";
    QTest::newRow("first rar part, padded") << "Pack.PART001.rar"
                                            << "Pack";
    QTest::newRow("numbered zip") << "pack.zip.001"
                                  << "pack";
    QTest::newRow("blank") << " .zip"
                           << "manual_mod";
    // Named "..", the mod would go into the parent of the mods folder.
    QTest::newRow("parent folder") << "...zip"
                                   << "manual_mod";
    QTest::newRow("same folder") << "..zip"
                                 << "manual_mod";
}

void TestInstaller::modNames()
{
    QFETCH(QString, archive);
    QFETCH(QString, name);
    QCOMPARE(safeModFolderName(archiveModName(archive)), name);
    QCOMPARE(backupFolderName(QStringLiteral("Mod%2"), 1700000000123),
             QStringLiteral(".fx3mm_backup_Mod%2_1700000000123"));
}

void TestInstaller::modRootAndName_data()
{
    QTest::addColumn<QString>("archiveName");
    QTest::addColumn<Tree>("content");
    QTest::addColumn<QString>("folderName");
    QTest::addColumn<Tree>("installed");

    const Tree mod = {{QStringLiteral("mod.lua"), "lua"}, {QStringLiteral("res/a.txt"), "a"}};
    QTest::newRow("single folder, any name")
        << "download-123.zip" << below(QStringLiteral("MyMod/"), mod) << "MyMod" << mod;
    QTest::newRow("readme beside the mod folder")
        << "bundle.zip"
        << merged(below(QStringLiteral("Cool_1/"), mod), Tree{{QStringLiteral("readme.txt"), "read me"}})
        << "Cool_1" << mod;
    QTest::newRow("first mod folder by name")
        << "two.zip" << merged(below(QStringLiteral("b_mod/"), mod), below(QStringLiteral("a_mod/"), mod))
        << "a_mod" << mod;
    QTest::newRow("no mod folder: everything, named after the archive")
        << "Pack.part1.zip" << Tree{{QStringLiteral("one/x.txt"), "x"}, {QStringLiteral("two/y.txt"), "y"}}
        << "Pack" << Tree{{QStringLiteral("one/x.txt"), "x"}, {QStringLiteral("two/y.txt"), "y"}};
}

void TestInstaller::modRootAndName()
{
    QFETCH(QString, archiveName);
    QFETCH(Tree, content);
    QFETCH(QString, folderName);
    QFETCH(Tree, installed);

    const QString path = m_box->archive(archiveName, content);
    QVERIFY(!path.isEmpty());
    PlayerAnswers answers;
    InstallResult result;
    QString error;
    QVERIFY2(installFromArchive(path, {}, answers.prompts(), &result, &error), qPrintable(error));
    QCOMPARE(result.installedPath, m_box->mods + QLatin1Char('/') + folderName);
    QVERIFY(result.copied);
    QVERIFY(result.warning.isEmpty());
    QCOMPARE(treeOf(m_box->mods + QLatin1Char('/') + folderName), installed);
    QCOMPARE(QDir(m_box->mods).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{folderName});
    QVERIFY(answers.questions.isEmpty());
}

void TestInstaller::multiVolumeArchive_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("removeFirst");
    QTest::newRow("second volume chosen") << "pack.7z.002" << false;
    QTest::newRow("first volume missing") << "pack.7z.002" << true;
}

void TestInstaller::multiVolumeArchive()
{
    QFETCH(QString, chosen);
    QFETCH(bool, removeFirst);
    const Tree content = {{QStringLiteral("mod.lua"), "lua"}, {QStringLiteral("res/big.dds"), noise(300000)}};
    const QString first = m_box->archive(QStringLiteral("pack.7z"), content, {QStringLiteral("-v100k")});
    QVERIFY(!first.isEmpty());
    const QString downloads = m_box->env.root() + QStringLiteral("/downloads");
    QVERIFY(QFile::exists(downloads + QStringLiteral("/pack.7z.003")));
    if (removeFirst)
        QVERIFY(QFile::remove(downloads + QStringLiteral("/pack.7z.001")));

    PlayerAnswers answers;
    InstallResult result;
    QString error;
    const bool ok =
        installFromArchive(downloads + QLatin1Char('/') + chosen, {}, answers.prompts(), &result, &error);
    if (removeFirst) {
        QVERIFY(!ok);
        QCOMPARE(error,
                 QStringLiteral("Dies ist nicht der erste Teil eines mehrteiligen Archivs.\n\nBitte stelle "
                                "alle Archivteile im selben Ordner bereit und wähle den ersten Teil aus."));
        QVERIFY(treeOf(m_box->mods).isEmpty());
        return;
    }
    QVERIFY2(ok, qPrintable(error));
    QCOMPARE(result.installedPath, m_box->mods + QStringLiteral("/pack"));
    QCOMPARE(treeOf(result.installedPath), content);
}

// A ZIP made by an old Windows tool stores "ö" as one byte of the DOS code page and leaves the UTF-8 flag
// unset; the mod must still arrive with the names Windows shows.
void TestInstaller::zipEntryNames_data()
{
    QTest::addColumn<QByteArray>("o");     // "ö" as stored
    QTest::addColumn<QByteArray>("sharp"); // "ß" as stored
    QTest::addColumn<bool>("utf8Flag");
    QTest::newRow("DOS code page 850, no UTF-8 flag") << QByteArray("\x94") << QByteArray("\xE1") << false;
    QTest::newRow("UTF-8 without the flag") << QByteArray("\xC3\xB6") << QByteArray("\xC3\x9F") << false;
    QTest::newRow("UTF-8 with the flag") << QByteArray("\xC3\xB6") << QByteArray("\xC3\x9F") << true;
}

void TestInstaller::zipEntryNames()
{
    QFETCH(QByteArray, o);
    QFETCH(QByteArray, sharp);
    QFETCH(bool, utf8Flag);
    const QString path = m_box->env.makeDir(QStringLiteral("downloads")) + QStringLiteral("/Mod.zip");
    QVERIFY(writeStoredZip(path,
                           {{"Mod/mod.lua", "lua"},
                            {"Mod/Bahnh" + o + "fe.mdl", "model"},
                            {"Mod/Stra" + sharp + "e/", ""},
                            {"Mod/Stra" + sharp + "e/Gr" + o + sharp + "e.txt", "size"}},
                           utf8Flag));
    PlayerAnswers answers;
    InstallResult result;
    QString error;
    QVERIFY2(installFromArchive(path, {}, answers.prompts(), &result, &error), qPrintable(error));
    QCOMPARE(treeOf(result.installedPath), (Tree{{QStringLiteral("mod.lua"), "lua"},
                                                 {QStringLiteral("Bahnhöfe.mdl"), "model"},
                                                 {QStringLiteral("Straße/Größe.txt"), "size"}}));
}

void TestInstaller::archivesThatInstallNothing_data()
{
    QTest::addColumn<Tree>("content"); // empty: a damaged 7z file
    QTest::addColumn<QStringList>("links");
    QTest::addColumn<QString>("errorStart");
    const Tree modLua = {{QStringLiteral("Mod/mod.lua"), "lua"}};
    const QString unsafe = QStringLiteral("Das Archiv enthält unsichere Einträge");
    const QString noFiles = QStringLiteral("Das Archiv enthält keine Mod-Dateien");
    QTest::newRow("corrupt 7z") << Tree() << QStringList() << "Die Datei ist kein Archiv";
    QTest::newRow("link leading out of the archive (7-Zip refuses it)")
        << modLua << QStringList{"Mod/res", "../../../secret.txt"} << "Archiv konnte nicht entpackt werden.";
    QTest::newRow("absolute link (7-Zip re-roots it into nothing)")
        << modLua << QStringList{"Mod/res", "$ROOT/secret.txt"} << unsafe;
    QTest::newRow("only an empty folder") << Tree{{QStringLiteral("Mod/"), ""}} << QStringList() << noFiles;
    QTest::newRow("only hidden files") << Tree{{QStringLiteral("Mod/.git/config"), "x"},
                                               {QStringLiteral("Mod/.hidden"), "h"},
                                               {QStringLiteral("Mod/res/"), ""}}
                                       << QStringList() << noFiles;
}

void TestInstaller::archivesThatInstallNothing()
{
    QFETCH(Tree, content);
    QFETCH(QStringList, links);
    QFETCH(QString, errorStart);
    // An installed version that must survive every one of these.
    writeTree(m_box->mods + QStringLiteral("/Mod"), oldVersion);
    const QString path = m_box->env.makeDir(QStringLiteral("downloads")) + QStringLiteral("/Mod.7z");
    const QString source = m_box->env.makeDir(QStringLiteral("source"));
    writeTree(source, content);
    m_box->env.writeFile(QStringLiteral("secret.txt"), "s");
    for (int i = 0; i + 1 < links.size(); i += 2) {
        QVERIFY(QFile::link(QString(links.at(i + 1)).replace(QStringLiteral("$ROOT"), m_box->env.root()),
                            source + QLatin1Char('/') + links.at(i)));
    }
    if (content.isEmpty())
        writeTestFile(path, QByteArray("7z\xBC\xAF\x27\x1C", 6) + noise(2000));
    else
        QVERIFY(packFolder(source, path, {QStringLiteral("-snl")}));

    Faults faults;
    PlayerAnswers answers;
    InstallOptions options;
    options.replaceTarget = m_box->mods + QStringLiteral("/Mod");
    options.replaceSilently = true;
    InstallResult result;
    QString error;
    QVERIFY(!installFromArchive(path, options, answers.prompts(), &result, &error, faults.hooks()));
    QVERIFY2(error.startsWith(errorStart), qPrintable(error));
    QVERIFY(!result.copied);
    QVERIFY(result.installedPath.isEmpty());
    QCOMPARE(treeOf(m_box->mods), below(QStringLiteral("Mod/"), oldVersion));
    QVERIFY(backupFolders(m_box->mods).isEmpty());
    QVERIFY(faults.copiedFiles.isEmpty());
    QCOMPARE(answers.reports, 0);
}

// 7-Zip drops the ".." parts of ZIP entry names; whatever the tool does, nothing may land outside the mod.
void TestInstaller::traversalEntriesStayInside()
{
    const QString path = m_box->env.makeDir(QStringLiteral("downloads")) + QStringLiteral("/traversal.zip");
    QVERIFY(writeStoredZip(path, {{"Mod/mod.lua", "lua"},
                                  {"../evil.txt", "evil"},
                                  {"../../../evil2.txt", "evil"},
                                  {"Mod/../../evil3.txt", "evil"}}));
    PlayerAnswers answers;
    InstallResult result;
    const bool ok = installFromArchive(path, {}, answers.prompts(), &result);
    QDirIterator it(m_box->env.root(), {QStringLiteral("evil*")}, QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        QVERIFY2(file.startsWith(m_box->mods + QStringLiteral("/Mod/")), qPrintable(file));
    }
    QCOMPARE(treeOf(m_box->mods).isEmpty(), !ok);
}

// What other extractors may leave behind, played by a stand-in: links and ".." entries they honour, and
// names this system cannot hold as text. 7-Zip on Linux writes the bytes of any name it cannot convert.
void TestInstaller::untrustedTreeIsRefused_data()
{
    QTest::addColumn<QByteArray>("action");
    QTest::addColumn<QString>("error");
    const QString unsafe = QStringLiteral(
        "Das Archiv enthält unsichere Einträge, die aus dem Mod-Ordner herausführen (z. B. symbolische Links "
        "oder Pfade mit \"..\"). Aus Sicherheitsgründen wurde nichts installiert.\n\nBetroffener Eintrag: ");
    QTest::newRow("link to a system folder") << QByteArray("/bin/ln -s /etc \"$dest/Mod/res/etc\"\n")
                                             << unsafe + QDir::toNativeSeparators("Mod/res/etc");
    // 7-Zip 26 refuses every link with ".." in it; older versions and other tools do not.
    QTest::newRow("link leaving the mod folder but not the archive")
        << QByteArray("/bin/mkdir \"$dest/Other\"\necho x > \"$dest/Other/x.txt\"\n"
                      "/bin/ln -s ../../Other \"$dest/Mod/res/other\"\n")
        << unsafe + QDir::toNativeSeparators("Mod/res/other");
    QTest::newRow("entry written beside the folder") << QByteArray("echo evil > \"$dest/../escaped.txt\"\n")
                                                     << unsafe + QDir::toNativeSeparators("../escaped.txt");
    QTest::newRow("name that is not UTF-8, not from a ZIP")
        << QByteArray("echo x > \"$dest/Mod/res/Bahnh$(printf '\\224')fe.mdl\"\n")
        << QStringLiteral(
               "Das Archiv enthält einen Namen, der auf diesem System nicht dargestellt werden kann. "
               "Es wurde nichts installiert.\n\nBetroffener Eintrag: %1")
               .arg(QDir::toNativeSeparators(QStringLiteral("Mod/res/Bahnh\uFFFDfe.mdl")));
}

void TestInstaller::untrustedTreeIsRefused()
{
    QFETCH(QByteArray, action);
    QFETCH(QString, error);
    useStandInExtractor(m_box->env,
                        "/bin/mkdir -p \"$dest/Mod/res\"\necho lua > \"$dest/Mod/mod.lua\"\n" + action);
    writeTree(m_box->mods + QStringLiteral("/Mod"), oldVersion);
    const QString path = m_box->env.writeFile(QStringLiteral("downloads/Mod.7z"), "stand-in");

    Faults faults;
    PlayerAnswers answers;
    answers.overwrite = true;
    InstallOptions options;
    options.replaceTarget = m_box->mods + QStringLiteral("/Mod");
    options.replaceSilently = true;
    QString actual;
    QVERIFY(!installFromArchive(path, options, answers.prompts(), nullptr, &actual, faults.hooks()));
    QCOMPARE(actual, error);
    QCOMPARE(treeOf(m_box->mods), below(QStringLiteral("Mod/"), oldVersion));
    QVERIFY(faults.copiedFiles.isEmpty());
    QCOMPARE(answers.reports, 0);
}

void TestInstaller::replaceTargetWithoutParent()
{
    const QString path = m_box->archive(QStringLiteral("Mod.zip"), {{QStringLiteral("Mod/mod.lua"), "lua"}});
    PlayerAnswers answers;
    answers.chosenFolder = m_box->env.makeDir(QStringLiteral("other"));
    InstallOptions options;
    options.replaceTarget = m_box->env.root() + QStringLiteral("/unplugged/mods/Mod");
    options.replaceSilently = true;
    QString error;
    QVERIFY(!installFromArchive(path, options, answers.prompts(), nullptr, &error));
    QCOMPARE(error,
             QStringLiteral("Der Ordner der zu ersetzenden Mod existiert nicht mehr:\n%1")
                 .arg(QDir::toNativeSeparators(m_box->env.root() + QStringLiteral("/unplugged/mods"))));
    QVERIFY(answers.questions.isEmpty());
    QCOMPARE(QSettings().value(QStringLiteral("paths/usermods")).toString(), m_box->mods);
    QVERIFY(!QFileInfo::exists(m_box->env.root() + QStringLiteral("/unplugged")));
}

// The cancel must still be recognised as one when its text is shown in English.
void TestInstaller::englishTexts()
{
    AppTranslator english(QStringLiteral("en"));
    QCoreApplication::installTranslator(&english);
    const QString path = m_box->archive(QStringLiteral("Mod.zip"), {{QStringLiteral("Mod/mod.lua"), "lua"}});
    writeTestFile(m_box->mods + QStringLiteral("/Mod/mod.lua"), "old");
    PlayerAnswers answers;
    QString cancelled;
    const bool ok = installFromArchive(path, {}, answers.prompts(), nullptr, &cancelled);
    const bool recognised = isInstallCancelled(cancelled);
    QCoreApplication::removeTranslator(&english);

    QVERIFY(!ok);
    QCOMPARE(cancelled, QStringLiteral("Installation cancelled."));
    QVERIFY(recognised);
    QVERIFY(isInstallCancelled(cancelText));
    QVERIFY(!isInstallCancelled(QStringLiteral("Update abgebrochen.")));
}

QTEST_GUILESS_MAIN(TestInstaller)
#include "tst_installer.moc"
