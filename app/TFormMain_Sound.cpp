// The microphone whose sound RTSP clients, WebRTC viewers and the live push get beside the picture: the
// "Sound" submenu of "Video Options", in step with microphones plugged in and removed. A
// choice holds for clients that come after it; the microphone is opened on GStreamer's
// threads, never on this one.
#include "app/TFormMain.h"
#include "live/AacFeed.h"
#include "live/Microphones.h"
#include "live/OpusFeed.h"
#include "live/RtspServer.h"
#include "live/WhepSessions.h"

#include <QActionGroup>

#include <algorithm>
#include <mutex>

// Hands calls from GStreamer's threads to the GUI thread for as long as the window lives.
struct SoundPost {
    std::mutex mutex;
    QObject *target = nullptr;
    void post(std::function<void()> call)
    {
        std::lock_guard lock(mutex);
        if (target)
            QMetaObject::invokeMethod(target, std::move(call), Qt::QueuedConnection);
    }
};

void TFormMain::createSound()
{
    soundPost_ = std::make_shared<SoundPost>();
    soundPost_->target = this;
    LiveSound->setStoppedListener([post = soundPost_, this](const QString &reason) {
        post->post([this, reason] {
            if (!SoundName.isEmpty())
                soundUnavailable(QStringLiteral("%1: %2").arg(SoundName, reason));
        });
    });
    syncSoundMenu();
}

// At the first show, once GStreamer is there for the capture.
void TFormMain::followMicrophones()
{
    Mics = Microphones::start();
    if (Mics)
        Mics->setListener([this](const QString &name, bool added) { MicrophoneChanged(name, added); });
    syncSoundMenu();
}

void TFormMain::endSound()
{
    if (!soundPost_)
        return;
    std::lock_guard lock(soundPost_->mutex);
    soundPost_->target = nullptr;
}

// "None" first, then the microphones in the system's order; the chosen one is ticked.
void TFormMain::syncSoundMenu()
{
    const QList<QAction *> shown = Sound->actions();
    for (QAction *item : shown)
        delete item;
    auto *group = Sound->findChild<QActionGroup *>();
    if (!group)
        group = new QActionGroup(Sound);
    QStringList names = Mics ? Mics->names() : QStringList();
    names.prepend(QString());
    for (const QString &name : std::as_const(names)) {
        auto *item = new QAction(
            name.isEmpty() ? QStringLiteral("None") : QString(name).replace(u'&', QStringLiteral("&&")), group);
        item->setCheckable(true);
        item->setData(name);
        item->setChecked(name == SoundName);
        connect(item, &QAction::triggered, this, Guarded([this, item] { SoundItemClick(item); }));
        Sound->addAction(item);
    }
}

void TFormMain::tickSound()
{
    const QList<QAction *> items = Sound->actions();
    for (QAction *item : items)
        item->setChecked(item->data().toString() == SoundName);
}

void TFormMain::SoundItemClick(QAction *item) { chooseSound(item->data().toString()); }

void TFormMain::MicrophoneChanged(const QString &name, bool added)
{
    const QList<QAction *> items = Sound->actions();
    const bool listed =
        std::any_of(items.begin(), items.end(), [&name](QAction *item) { return item->data().toString() == name; });
    if (added == listed) { // news of one the menu knows already
        syncSoundMenu();
        return;
    }
    AddToLog((added ? QStringLiteral("Microphone connected: ") : QStringLiteral("Microphone removed: ")) + name);
    if (!added && name == SoundName)
        soundUnavailable(QStringLiteral("%1 was unplugged").arg(name));
    syncSoundMenu();
}

void TFormMain::chooseSound(const QString &name)
{
    if (name == SoundName) {
        tickSound();
        return;
    }
    ++soundChoice_;
    if (name.isEmpty()) {
        soundOff();
        AddToLog(QStringLiteral("Sound off"));
        return;
    }
    gstref::Device device = Mics ? Mics->find(name) : gstref::Device();
    if (!device) {
        soundUnavailable(QStringLiteral("%1 is not connected").arg(name));
        return;
    }
    // Ticked while it is tried; the viewers get it once it opens.
    SoundName = name;
    tickSound();
    const quint64 choice = soundChoice_;
    auto held = std::make_shared<gstref::Device>(std::move(device));
    OpusFeed::TryOpen(held->get(), [post = soundPost_, this, choice, held](const QString &failure) {
        post->post([this, choice, held, failure] { soundTried(choice, held->get(), failure); });
    });
}

void TFormMain::soundTried(quint64 choice, GstDevice *device, const QString &failure)
{
    if (choice != soundChoice_)
        return; // chosen otherwise since
    if (!failure.isEmpty()) {
        soundUnavailable(QStringLiteral("%1: %2").arg(SoundName, failure));
        return;
    }
    LiveSound->setDevice(device);
    if (LiveAac)
        LiveAac->setDevice(device);
    Rtsp->SetAudio(true);
    Whep->SetAudio(true);
    AddToLog(QStringLiteral("Sound: ") + SoundName);
}

void TFormMain::soundOff()
{
    SoundName.clear();
    Rtsp->SetAudio(false);
    Whep->SetAudio(false);
    LiveSound->setDevice(nullptr);
    if (LiveAac)
        LiveAac->setDevice(nullptr);
    tickSound();
}

void TFormMain::soundUnavailable(const QString &reason)
{
    ++soundChoice_;
    soundOff();
    AddToLog(QStringLiteral("Microphone not available: ") + reason);
}
