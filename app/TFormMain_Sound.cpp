// The "Sound" submenu of "Video Options": "None", then the microphones the live service
// follows (or a disabled "No microphone found"), the chosen one ticked. A choice holds for
// clients that come after it.
#include "app/TFormMain.h"
#include "live/LiveService.h"

#include <QActionGroup>

void TFormMain::syncSoundMenu()
{
    const QList<QAction *> shown = Sound->actions();
    for (QAction *item : shown)
        delete item;
    auto *group = Sound->findChild<QActionGroup *>();
    if (!group)
        group = new QActionGroup(Sound);
    QStringList names = Live->MicrophoneNames();
    names.prepend(QString());
    for (const QString &name : std::as_const(names)) {
        auto *item = new QAction(
            name.isEmpty() ? QStringLiteral("None") : QString(name).replace(u'&', QStringLiteral("&&")), group);
        item->setCheckable(true);
        item->setData(name);
        item->setChecked(name == Live->Sound());
        connect(item, &QAction::triggered, this, Guarded([this, item] { SoundItemClick(item); }));
        Sound->addAction(item);
    }
    // Without any, the menu says so rather than offering only "None".
    if (names.size() == 1) {
        auto *hint = new QAction(QStringLiteral("No microphone found"), Sound);
        hint->setEnabled(false);
        Sound->addAction(hint);
    }
}

void TFormMain::tickSound()
{
    const QList<QAction *> items = Sound->actions();
    for (QAction *item : items)
        item->setChecked(item->data().toString() == Live->Sound());
}

void TFormMain::SoundItemClick(QAction *item) { Live->ChooseSound(item->data().toString()); }
