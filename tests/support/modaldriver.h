#pragma once

// Only tests that build widgets include this header.

#include <QApplication>
#include <QTimer>

#include <functional>

// Runs action on the next modal dialog of type T as soon as it is up, so a test can answer a dialog that
// the code under test opens with exec().
template <typename T> class ModalDriver
{
public:
    explicit ModalDriver(std::function<void(T *)> action)
    {
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this, action] {
            if (auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget())) {
                m_timer.stop();
                ++seen;
                action(dialog);
            }
        });
        m_timer.start(5);
    }
    int seen = 0;

private:
    QTimer m_timer;
};
