#include "app/mainwindow.h"
#include "app/settings.h"
#include "community/communityclient.h"
#include "community/communityreportdialog.h"
#include "install/requestconventions.h"

#include <QDateTime>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

void MainWindow::requestCommunitySummaries()
{
    CommunityView &community = communityView;
    const QString endpoint = communityApiUrl();
    if (endpoint.isEmpty() || community.communitySummariesInFlight ||
        QDateTime::currentSecsSinceEpoch() < community.communitySummariesRetryAt)
        return;
    const QList<CommunityKey> items = pendingCommunitySummaries(modIoView.mods);
    if (items.isEmpty())
        return;
    community.communitySummariesInFlight = true;
    const int generation = modIoView.modIoRequestGeneration;
    sendCommunityRequest(network, this, requestUrl(endpoint), communitySummariesBody(items),
                         [this, generation](const CommunityReply &reply) {
                             communityView.communitySummariesInFlight = false;
                             if (!reply.networkError.isEmpty()) {
                                 communityView.communitySummariesRetryAt =
                                     QDateTime::currentSecsSinceEpoch() + communityRetryPauseSeconds;
                                 return;
                             }
                             QJsonObject answer;
                             const bool changed = communityAnswer(reply.body, &answer) &&
                                                  !applyCommunitySummaries(modIoView.mods, answer).isEmpty();
                             if (changed) {
                                 applyModIoFilter();
                                 refreshSelectedCommunityPanel();
                             }
                             // The next batch, once this answer's repaint is done; a list reloaded meanwhile
                             // was refused while this batch was on its way and is asked for now.
                             if ((changed || generation != modIoView.modIoRequestGeneration) &&
                                 communitySummariesPending(modIoView.mods))
                                 QTimer::singleShot(0, this, [this] { requestCommunitySummaries(); });
                         });
}

void MainWindow::requestOwnCommunityReport(int index)
{
    ModIoView &view = modIoView;
    if (index < 0 || index >= view.mods.size())
        return;
    const ModIoMod &record = view.mods.at(index);
    const CommunityKey key{record.id, record.modfileId};
    const QString endpoint = communityApiUrl();
    if (!endpoint.isEmpty() && !key.first.isEmpty() && !key.second.isEmpty() && !record.communityOwnLoaded &&
        !communityView.ownRequestsInFlight.contains(key)) {
        communityView.ownRequestsInFlight.insert(key);
        sendCommunityRequest(network, this, communityOwnSummaryUrl(endpoint, key, reporterId()), QByteArray(),
                             [this, key](const CommunityReply &reply) {
                                 communityView.ownRequestsInFlight.remove(key);
                                 QJsonObject answer;
                                 if (!reply.networkError.isEmpty() || !communityAnswer(reply.body, &answer)) {
                                     showCommunityUnreachable(key);
                                     return;
                                 }
                                 applyCommunityOwnAnswer(modIoView.mods, key, answer);
                                 applyModIoFilter();
                                 refreshSelectedCommunityPanel();
                             });
    }
    updateCommunityPanel(record, view.installedIds.contains(record.id));
}

void MainWindow::updateCommunityPanel(const ModIoMod &record, bool installed)
{
    const ModIoView &view = modIoView;
    const CommunityPanelState state =
        communityPanelState(!communityApiUrl().isEmpty(), record, installed,
                            installed ? view.installedFileIds.value(record.id) : QString());
    view.communityLabel->setText(state.text);
    view.communityLabel->setStyleSheet(state.style);
    view.reportButton->setEnabled(state.buttonEnabled);
    view.reportButton->setText(state.buttonText);
    view.reportButton->setToolTip(state.buttonToolTip);
}

void MainWindow::refreshSelectedCommunityPanel()
{
    const ModIoView &view = modIoView;
    if (view.selectedIndex < 0 || view.selectedIndex >= view.mods.size())
        return;
    const ModIoMod &record = view.mods.at(view.selectedIndex);
    updateCommunityPanel(record, view.installedIds.contains(record.id));
}

void MainWindow::showCommunityUnreachable(const CommunityKey &key)
{
    const ModIoView &view = modIoView;
    if (view.selectedIndex < 0 || view.selectedIndex >= view.mods.size())
        return;
    const ModIoMod &record = view.mods.at(view.selectedIndex);
    if (record.id != key.first || record.modfileId != key.second)
        return;
    view.communityLabel->setText(communityUnreachableText());
    view.communityLabel->setStyleSheet(communityWarningStyle(QString()));
    view.reportButton->setEnabled(false);
    view.reportButton->setText(communityUnreachableButtonText());
}

void MainWindow::reportSelectedModIoMod()
{
    const ModIoView &view = modIoView;
    if (view.selectedIndex < 0 || view.selectedIndex >= view.mods.size() || communityApiUrl().isEmpty())
        return;
    const ModIoMod record = view.mods.at(view.selectedIndex);
    const bool installed = view.installedIds.contains(record.id);
    if (!communityReportMatchesInstalled(record, installed, view.installedFileIds.value(record.id))) {
        prompts.information(tr("Mod melden"),
                            tr("Community-Meldungen sind nur für die aktuell angezeigte und "
                               "tatsächlich installierte mod.io-Dateiversion möglich."));
        return;
    }
    QStringList chosen;
    const bool save = communityView.reportDialog
                          ? communityView.reportDialog(record.name, record.communityOwnTypes, &chosen)
                          : runCommunityReportDialog(this, record.name, record.communityOwnTypes, &chosen);
    if (!save)
        return;
    // The dialog waited in its own event loop, in which a reload may have replaced the records.
    for (int i = 0; i < view.mods.size(); ++i) {
        if (view.mods.at(i).id == record.id && view.mods.at(i).modfileId == record.modfileId) {
            setCommunityReports(i, chosen);
            return;
        }
    }
}

void MainWindow::setCommunityReports(int index, const QStringList &types)
{
    const ModIoView &view = modIoView;
    const QString endpoint = communityApiUrl();
    if (index < 0 || index >= view.mods.size() || endpoint.isEmpty())
        return;
    const CommunityKey key{view.mods.at(index).id, view.mods.at(index).modfileId};
    if (key.first.isEmpty() || key.second.isEmpty())
        return;
    view.reportButton->setEnabled(false);
    view.reportButton->setText(tr("Meldung wird gespeichert…"));
    sendCommunityRequest(
        network, this, requestUrl(endpoint), communitySetReportsBody(key, reporterId(), types),
        [this, key](const CommunityReply &reply) {
            QJsonObject answer;
            if (reply.networkError.isEmpty() && communityAnswer(reply.body, &answer)) {
                applyCommunityOwnAnswer(modIoView.mods, key, answer);
                applyModIoFilter();
                refreshSelectedCommunityPanel();
                setStatus(tr("Community-Meldung gespeichert."));
                return;
            }
            prompts.warning(tr("Meldung konnte nicht gespeichert werden"),
                            communitySaveFailureText(reply.networkError, reply.httpStatus, reply.body));
            refreshSelectedCommunityPanel();
        });
}
