#include "platform/linkscheme.h"
#include "testsupport.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

class LinkSchemeTest : public QObject
{
    Q_OBJECT

private slots:
    void mimeAppsKeepsEveryOtherLine_data();
    void mimeAppsKeepsEveryOtherLine();
    void execLineQuotesThePath_data();
    void execLineQuotesThePath();
    void registrationIsReadBackByTheDesktop();
};

void LinkSchemeTest::mimeAppsKeepsEveryOtherLine_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    const auto row = [](const char *tag, const QString &before, const QString &after) {
        QTest::newRow(tag) << before << after;
    };
    const QString ours = QStringLiteral("x-scheme-handler/fx3modmanager=ours.desktop");
    row("no file", QString(), "[Default Applications]\n" + ours + "\n");
    row("other sections only", "# mine\n[Added Associations]\ntext/plain=editor.desktop;\n",
        "# mine\n[Added Associations]\ntext/plain=editor.desktop;\n\n[Default Applications]\n" + ours + "\n");
    row("entry added to the section, next section untouched",
        "[Default Applications]\ntext/html=browser.desktop\n\n[Added Associations]\nx=y\n",
        "[Default Applications]\ntext/html=browser.desktop\n" + ours + "\n\n[Added Associations]\nx=y\n");
    row("old handler replaced in place",
        "[Default Applications]\nx-scheme-handler/fx3modmanager=old.desktop\ntext/html=b.desktop",
        "[Default Applications]\n" + ours + "\ntext/html=b.desktop\n");
    row("same key in another section is not ours",
        "[Added Associations]\nx-scheme-handler/fx3modmanager=old.desktop;\n[Default Applications]\n",
        "[Added Associations]\nx-scheme-handler/fx3modmanager=old.desktop;\n[Default Applications]\n" + ours +
            "\n");
    row("a similar scheme stays", "[Default Applications]\nx-scheme-handler/fx3modmanager2=other.desktop\n",
        "[Default Applications]\nx-scheme-handler/fx3modmanager2=other.desktop\n" + ours + "\n");
}

void LinkSchemeTest::mimeAppsKeepsEveryOtherLine()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QCOMPARE(withDefaultLinkHandler(before, QStringLiteral("ours.desktop")), after);
    // Writing it again changes nothing.
    QCOMPARE(withDefaultLinkHandler(after, QStringLiteral("ours.desktop")), after);
}

void LinkSchemeTest::execLineQuotesThePath_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("exec");
    const auto row = [](const char *tag, const QString &executable, const QString &exec) {
        QTest::newRow(tag) << executable << exec;
    };
    row("plain", "/opt/fx3/FX3ModManager", "Exec=/opt/fx3/FX3ModManager %u");
    row("blank", "/home/a b/FX3ModManager", "Exec=\"/home/a b/FX3ModManager\" %u");
    row("shell characters", "/x/$HOME \"q\"/F", "Exec=\"/x/\\\\$HOME \\\\\"q\\\\\"/F\" %u");
    row("percent", "/x/100%/F", "Exec=/x/100%%/F %u");
}

void LinkSchemeTest::execLineQuotesThePath()
{
    QFETCH(QString, executable);
    QFETCH(QString, exec);
    const QStringList lines = linkHandlerDesktopEntry(executable).split(QLatin1Char('\n'));
    QVERIFY(lines.contains(exec));
    QVERIFY(lines.contains(QStringLiteral("MimeType=x-scheme-handler/fx3modmanager;")));
}

void LinkSchemeTest::registrationIsReadBackByTheDesktop()
{
    TestEnvironment environment;
    const QString data = environment.makeDir(QStringLiteral("data"));
    const QString config = environment.makeDir(QStringLiteral("config"));
    QVERIFY(writeTestFile(config + "/mimeapps.list", "[Default Applications]\ntext/html=browser.desktop\n"));
    QVERIFY(registerDesktopLinkHandler(QStringLiteral("/opt/fx3/FX3ModManager"), data, config));
    QCOMPARE(readTestFile(config + "/mimeapps.list"),
             QByteArray("[Default Applications]\ntext/html=browser.desktop\n"
                        "x-scheme-handler/fx3modmanager=trackhaven-fx3modmanager.desktop\n"));
    QVERIFY(readTestFile(data + "/applications/trackhaven-fx3modmanager.desktop").contains("Exec=/opt/fx3/"));
    // Nowhere to write: nothing is written to the root of the file system either.
    QVERIFY(!registerDesktopLinkHandler(QStringLiteral("/opt/fx3/FX3ModManager"), QString(), config));

    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        QSKIP("xdg-mime is not installed");
    QProcess query;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), data);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    query.setProcessEnvironment(env);
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"),
                          QStringLiteral("x-scheme-handler/fx3modmanager")});
    QVERIFY(query.waitForFinished(20000));
    QCOMPARE(query.readAllStandardOutput().trimmed(), QByteArray("trackhaven-fx3modmanager.desktop"));
}

QTEST_GUILESS_MAIN(LinkSchemeTest)
#include "tst_linkscheme.moc"
