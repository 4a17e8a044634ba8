#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QObject;

// The outcome of one request to the community reports service.
struct CommunityReply
{
    // Qt's error text when the request failed, an HTTP error status included; empty otherwise.
    QString networkError;
    int httpStatus = 0;
    QByteArray body;
};

// Sends a request to the reports service and returns at once: a POST of the JSON body when it is not null,
// else a GET. callback runs once with the outcome, and never after context is gone.
void sendCommunityRequest(QNetworkAccessManager &manager, QObject *context, const QUrl &url,
                          const QByteArray &jsonBody, std::function<void(const CommunityReply &)> callback);
