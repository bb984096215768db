#pragma once

#include "ui_TFormBandwidth.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

// The window with the size of the last response body sent and the total of
// all of them since the start. Both live only as decimal text in the two fields.
class TFormBandwidth : public QWidget, public Ui::TFormBandwidth {
    Q_OBJECT

public:
    explicit TFormBandwidth(QWidget *parent = nullptr);

    // Records the size of a response body about to be sent: shows it in Edit1
    // and adds it to the total, also when it equals the size shown before.
    // `times` bodies of that size (a picture handed to several stream viewers at once).
    // The fields change at most at the display's rate: sizes recorded within one
    // interval of the last change show together at its end.
    void RecordSent(qint64 bytes, int times = 1);

    // Adds the size shown in Edit1 to the total in Edit2.
    void Edit1Change();

    static constexpr int DisplayIntervalMs = 16;

private:
    void showPending();

    bool pending_ = false;
    qint64 pendingLast_ = 0;
    qint64 pendingAdded_ = 0;
    QElapsedTimer shown_;
    QTimer display_;
};
