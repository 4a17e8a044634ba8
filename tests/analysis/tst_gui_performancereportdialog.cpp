#include "analysis/performancereportdialog.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

class TestPerformanceReportDialog : public QObject
{
    Q_OBJECT

private slots:
    void dialog_data();
    void dialog();
};

void TestPerformanceReportDialog::dialog_data()
{
    QTest::addColumn<int>("rating");
    QTest::addColumn<QString>("installText");
    QTest::addColumn<bool>("clickInstall");
    QTest::addColumn<bool>("tick");
    QTest::addColumn<QString>("heading");
    QTest::newRow("unremarkable, installed") << 0 << "Installieren" << true << false << "🟢  Unauffällig";
    QTest::newRow("very intensive, cancelled, switched off")
        << 3 << "Trotzdem installieren" << false << true << "🔴  Sehr performanceintensiv";
}

void TestPerformanceReportDialog::dialog()
{
    QFETCH(int, rating);
    QFETCH(QString, installText);
    QFETCH(bool, clickInstall);
    QFETCH(bool, tick);
    QFETCH(QString, heading);

    PerformanceReport report;
    report.rating = rating;
    PerformanceReportDialog dialog(report, QStringLiteral("Big Station"));
    QCOMPARE(dialog.installButton()->text(), installText);
    // For the heaviest rating an unthinking Enter must not install.
    QCOMPARE(dialog.installButton()->isDefault(), rating < 3);
    QCOMPARE(dialog.cancelButton()->isDefault(), rating == 3);

    auto *label = dialog.findChild<QLabel *>(QStringLiteral("performanceRatingHeading"));
    QVERIFY(label && label->font().bold());
    QCOMPARE(label->text(), heading);
    auto *text = dialog.findChild<QPlainTextEdit *>(QStringLiteral("performanceReportText"));
    QVERIFY(text && text->isReadOnly());
    QVERIFY(
        text->toPlainText().startsWith(QStringLiteral("Mod: Big Station\nBewertung: ") + heading.left(2)));

    dialog.show();
    QVERIFY(!dialog.disableCheckBox()->isChecked());
    if (tick)
        dialog.disableCheckBox()->click();
    QTest::mouseClick(clickInstall ? dialog.installButton() : dialog.cancelButton(), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.decision().install, clickInstall);
    QCOMPARE(dialog.decision().disableAutoCheck, tick);
}

QTEST_MAIN(TestPerformanceReportDialog)
#include "tst_gui_performancereportdialog.moc"
