#include "stats/TFormRequestedIPs.h"

#include "base/seams/Seams.h"
#include "base/widgets/WindowStyles.h"
#include "stats/RequestTimeText.h"

TFormRequestedIPs::TFormRequestedIPs(QWidget *parent) : QWidget(parent)
{
    setupUi(this);
    windowstyle::UseCompactFont(this);
    windowstyle::DialogWithCloseBox(this, 368, 163);
    // Beside the chart window's first place, clear of the always-on-top preview.
    move(630, 470);
    for (int number = 1; number <= MaxEntries; ++number)
        ListBoxRequestedNum->addItem(QString::number(number));
}

int TFormRequestedIPs::AddToItemList(const QString &text, QListWidget *list)
{
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->text() == text)
            return row;
    }
    list->addItem(text);
    return -1;
}

void TFormRequestedIPs::AddRequestedIP(const QString &address)
{
    const QString now = RequestTimeText(seams::Now());
    const int known = AddToItemList(address, ListBoxRequestedIP);
    if (known >= 0) {
        ListBoxRequestedLastDateTime->item(known)->setText(now);
        return;
    }
    ListBoxRequestedFirstDateTime->addItem(now);
    ListBoxRequestedLastDateTime->addItem(now);
    if (ListBoxRequestedIP->count() > MaxEntries)
        removeEntry(rowWithEarliestLastRequest());
}

// Among equal times the row furthest down wins, so when every entry was last
// seen in the same second as the newcomer, the newcomer itself goes.
int TFormRequestedIPs::rowWithEarliestLastRequest() const
{
    int candidate = 0;
    QDateTime earliest = ParseRequestTimeText(ListBoxRequestedLastDateTime->item(0)->text());
    for (int row = 0; row < ListBoxRequestedLastDateTime->count(); ++row) {
        const QDateTime time = ParseRequestTimeText(ListBoxRequestedLastDateTime->item(row)->text());
        if (time <= earliest) {
            candidate = row;
            earliest = time;
        }
    }
    return candidate;
}

void TFormRequestedIPs::removeEntry(int row)
{
    delete ListBoxRequestedIP->takeItem(row);
    delete ListBoxRequestedFirstDateTime->takeItem(row);
    delete ListBoxRequestedLastDateTime->takeItem(row);
}
