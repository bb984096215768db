#pragma once

#include "ui_TFormRequestedIPs.h"

#include <QWidget>

// The table of the last ten addresses that sent requests, each with the
// times of its first and its latest request.
class TFormRequestedIPs : public QWidget, public Ui::TFormRequestedIPs {
    Q_OBJECT

public:
    explicit TFormRequestedIPs(QWidget *parent = nullptr);

    // Records one request from the address (dotted-decimal text, as the
    // socket reports it) at the current time. A known address keeps its row
    // and gets a new last-request time; a new one is appended, and when that
    // makes eleven, the entry with the earliest last request goes.
    void AddRequestedIP(const QString &address);

    // The index of the first row of the list whose text equals the text; when
    // there is none, appends the text as a new last row and returns -1.
    int AddToItemList(const QString &text, QListWidget *list);

    static constexpr int MaxEntries = 10;

private:
    int rowWithEarliestLastRequest() const;
    void removeEntry(int row);
};
