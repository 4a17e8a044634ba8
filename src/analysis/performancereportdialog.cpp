#include "analysis/performancereportdialog.h"

#include "analysis/performancereport.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

PerformanceReportDialog::PerformanceReportDialog(const PerformanceReport &report, const QString &modName,
                                                 QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Performance-Check — %1").arg(modName));
    resize(760, 620);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);

    auto *heading = new QLabel(QStringLiteral("%1  %2").arg(performanceRatingMark(report.rating),
                                                            performanceRatingLabel(report.rating)),
                               this);
    heading->setObjectName(QStringLiteral("performanceRatingHeading"));
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    if (headingFont.pointSizeF() > 0)
        headingFont.setPointSizeF(headingFont.pointSizeF() + 1.0);
    heading->setFont(headingFont);
    heading->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(heading);

    auto *note =
        new QLabel(tr("Die Analyse wurde am vollständig entpackten Download durchgeführt, bevor eine "
                      "vorhandene Installation verändert wird."),
                   this);
    note->setWordWrap(true);
    layout->addWidget(note);

    auto *text = new QPlainTextEdit(this);
    text->setObjectName(QStringLiteral("performanceReportText"));
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text->setPlainText(performanceReportText(report, modName));
    layout->addWidget(text, 1);

    auto *buttons = new QHBoxLayout;
    m_disableCheckBox = new QCheckBox(tr("Automatischen Performance-Check künftig deaktivieren"), this);
    buttons->addWidget(m_disableCheckBox);
    buttons->addStretch(1);
    m_cancelButton = new QPushButton(tr("Abbrechen"), this);
    m_installButton =
        new QPushButton(report.rating == 0 ? tr("Installieren") : tr("Trotzdem installieren"), this);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_installButton);
    layout->addLayout(buttons);

    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_installButton, &QPushButton::clicked, this, &QDialog::accept);

    QPushButton *defaultButton = report.rating >= 3 ? m_cancelButton : m_installButton;
    m_cancelButton->setAutoDefault(false);
    m_installButton->setAutoDefault(false);
    defaultButton->setDefault(true);
    defaultButton->setFocus();
}

PerformanceReportDecision PerformanceReportDialog::decision() const
{
    PerformanceReportDecision decision;
    decision.install = result() == QDialog::Accepted;
    decision.disableAutoCheck = m_disableCheckBox->isChecked();
    return decision;
}

PerformanceReportDecision showPerformanceReportDialog(const PerformanceReport &report, const QString &modName,
                                                      QWidget *parent)
{
    PerformanceReportDialog dialog(report, modName, parent);
    dialog.exec();
    return dialog.decision();
}
