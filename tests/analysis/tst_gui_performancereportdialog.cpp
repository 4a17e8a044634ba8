#include "analysis/performancereport.h"
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
    QTest::newRow("unremarkable, installed") << 0 << "Installieren" << true << false;
    QTest::newRow("increased, cancelled") << 1 << "Trotzdem installieren" << false << false;
    QTest::newRow("critical, installed, switched off") << 2 << "Trotzdem installieren" << true << true;
    QTest::newRow("very intensive, cancelled, switched off") << 3 << "Trotzdem installieren" << false << true;
}

void TestPerformanceReportDialog::dialog()
{
    QFETCH(int, rating);
    QFETCH(QString, installText);
    QFETCH(bool, clickInstall);
    QFETCH(bool, tick);

    PerformanceReport report;
    report.rating = rating;
    report.findings << QStringLiteral("Hinweis");
    PerformanceReportDialog dialog(report, QStringLiteral("Big Station"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Performance-Check — Big Station"));
    QCOMPARE(dialog.installButton()->text(), installText);
    QCOMPARE(dialog.cancelButton()->text(), QStringLiteral("Abbrechen"));
    // For the heaviest rating an unthinking Enter must not install.
    QCOMPARE(dialog.installButton()->isDefault(), rating < 3);
    QCOMPARE(dialog.cancelButton()->isDefault(), rating == 3);

    auto *heading = dialog.findChild<QLabel *>(QStringLiteral("performanceRatingHeading"));
    QVERIFY(heading && heading->font().bold());
    QCOMPARE(heading->text(),
             performanceRatingMark(rating) + QStringLiteral("  ") + performanceRatingLabel(rating));
    auto *text = dialog.findChild<QPlainTextEdit *>(QStringLiteral("performanceReportText"));
    QVERIFY(text && text->isReadOnly());
    QCOMPARE(text->toPlainText(), performanceReportText(report, QStringLiteral("Big Station")));

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
