#pragma once

#include <QPushButton>

class QLabel;

// A large button of the home page: a title and a word-wrapped sub-title. A push button cannot wrap its own
// text, so the two lines are labels inside it; the tile grows to the height its lines need at the width it
// gets (never below its floor), so narrow windows and wide fonts never clip them.
class HomeTile : public QPushButton
{
    Q_OBJECT

public:
    struct Look
    {
        bool large = false;
        QString background;
        QString border;
        QString hover;
        QString pressed;
    };

    HomeTile(const QString &title, const QString &subtitle, const Look &look, int floorHeight,
             QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
};
