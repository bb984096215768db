#pragma once

#include <QPointer>

class QWidget;

// Message boxes that open while others are still shown go one step below and
// right of the last of them, so that each can be seen and none hides another.
// A box is one of the cascade for as long as this object lives.
class BoxCascade {
public:
    // Places the box, which is not shown yet.
    explicit BoxCascade(QWidget *box);
    ~BoxCascade();
    BoxCascade(const BoxCascade &) = delete;
    BoxCascade &operator=(const BoxCascade &) = delete;

    static constexpr int Step = 24;

private:
    QPointer<QWidget> box_;
};
