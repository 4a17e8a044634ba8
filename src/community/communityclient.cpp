#include "community/communityclient.h"

#include "install/requestconventions.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

void sendCommunityRequest(QNetworkAccessManager &manager, QObject *context, const QUrl &url,
                          const QByteArray &jsonBody, std::function<void(const CommunityReply &)> callback)
{
    RequestExtras extras;
    extras.hasBody = !jsonBody.isNull();
    const QNetworkRequest request = buildRequest(RequestKind::CommunityReports, url, extras);
    QNetworkReply *reply = extras.hasBody ? manager.post(request, jsonBody) : manager.get(request);
    QObject::connect(reply, &QNetworkReply::finished, context, [reply, callback = std::move(callback)] {
        CommunityReply outcome;
        if (reply->error() != QNetworkReply::NoError)
            outcome.networkError = reply->errorString();
        outcome.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        outcome.body = reply->readAll();
        reply->deleteLater();
        callback(outcome);
    });
}
