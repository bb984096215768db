#include "recording/Recorder.h"

#include "gst/GstRefs.h"
#include "live/EncodedFeed.h"
#include "recording/ClipWriter.h"
#include "recording/FeedTap.h"
#include "recording/MotionWatch.h"
#include "recording/Mp4Trim.h"
#include "recording/PreRecordRing.h"
#include "recording/RecordingCatalogue.h"
#include "recording/RecordingName.h"
#include "recording/RecordingsPage.h"
#include "recording/Thumbnail.h"
#include "server/StateReport.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <atomic>
#include <mutex>

namespace {

constexpr qint64 GiB = 1024LL * 1024 * 1024;

qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

GstClockTime secondsOf(int seconds) { return static_cast<GstClockTime>(seconds) * GST_SECOND; }

} // namespace

// What the feeds' threads reach: the seconds before a clip, the file being written and the
// next segment's, waiting for a key frame.
struct Recorder::Flow : FeedTap::Receiver {
    std::mutex mutex;
    PreRecordRing ring{secondsOf(5)};
    std::shared_ptr<ClipWriter> writer;
    std::shared_ptr<ClipWriter> next;
    gstref::Caps videoCaps;
    gstref::Caps audioCaps;
    bool soundEnded = false;
    std::atomic<qint64> lastPictureMs{0};
    // Back to the recorder on the GUI thread.
    std::function<void(GuiPost::Call)> post;
    Recorder *owner = nullptr;

    void take(GstSample *sample, bool video) override
    {
        std::shared_ptr<ClipWriter> finished;
        {
            std::lock_guard lock(mutex);
            keepCaps(sample, video);
            const bool key =
                video && !GST_BUFFER_FLAG_IS_SET(gst_sample_get_buffer(sample), GST_BUFFER_FLAG_DELTA_UNIT);
            if (key && next) {
                finished = std::move(writer);
                writer = std::move(next);
            }
            if (writer)
                writer->push(sample, video);
            ring.add(sample, video);
        }
        if (video)
            lastPictureMs = steadyMs();
        if (finished) {
            finished->finish();
            post([owner = owner, done = finished.get()] { owner->segmentSwitched(done); });
        }
    }

    void ended(bool video) override
    {
        if (video) {
            post([owner = owner] { owner->pictureEnded(); });
            return;
        }
        std::lock_guard lock(mutex);
        soundEnded = true;
        if (writer)
            writer->endSound();
        if (next)
            next->endSound();
    }

    void keepCaps(GstSample *sample, bool video)
    {
        GstCaps *caps = gst_sample_get_caps(sample);
        gstref::Caps &kept = video ? videoCaps : audioCaps;
        if (caps && (!kept || !gst_caps_is_equal(caps, kept.get())))
            kept.reset(gst_caps_ref(caps));
    }
};

Recorder::Recorder(std::shared_ptr<EncodedFeed> video, std::shared_ptr<EncodedFeed> sound, QObject *parent)
    : QObject(parent), video_(std::move(video)), sound_(std::move(sound)), flow_(std::make_shared<Flow>())
{
    flow_->post = post_.poster();
    flow_->owner = this;
    auto post = post_.poster();
    motion_ = std::make_shared<MotionWatch>(
        [post, this](bool moving) { post([this, moving] { motionChanged(moving); }); },
        [post, this](int count) {
            post(
                [this, count] { emit logged(QStringLiteral("Motion Detection found %1 unmatched areas").arg(count)); });
        });
    postMotion_.setSingleShot(true);
    connect(&postMotion_, &QTimer::timeout, this, [this] {
        if (!moving_ && current_ && current_->motion)
            endClip();
    });
    housekeeping_.setInterval(1000);
    connect(&housekeeping_, &QTimer::timeout, this, &Recorder::housekeeping);
}

// The clip being written is completed (its last fragment too) before the program goes.
Recorder::~Recorder()
{
    post_.close();
    motion_->setOn(false);
    endClip();
    for (auto &[writer, clip] : finishing_)
        clip.writer->waitEnded(3000);
    tap_.reset();
    std::lock_guard lock(flow_->mutex);
    flow_->ring.clear();
}

std::shared_ptr<FrameTap> Recorder::MotionInput() const { return motion_; }

void Recorder::Apply(const RecordingSettings &settings)
{
    const bool soundBefore = settings_.sound;
    settings_ = settings;
    {
        std::lock_guard lock(flow_->mutex);
        flow_->ring.setKeep(secondsOf(settings_.preSeconds));
    }
    motion_->setComparisonsNeeded(settings_.motionComparisons);
    motion_->setOn(settings_.mode == RecordingSettings::Mode::Motion);
    moving_ = false;
    if (settings_.mode == RecordingSettings::Mode::Off) {
        endClip();
        stopFeeding();
        housekeeping_.stop();
        return;
    }
    if (current_ && settings_.mode == RecordingSettings::Mode::Motion && !current_->motion)
        endClip();
    if (tap_ && soundBefore != settings_.sound && !current_)
        stopFeeding(); // taken again below, with or without sound
    if (!tap_)
        startFeeding();
    keepWithinBudget();
    makeMissingThumbnails();
    housekeeping_.start();
    housekeeping();
}

// Clips saved as the program ended (or cut off by a crash) have no picture yet.
void Recorder::makeMissingThumbnails()
{
    constexpr size_t Newest = 50;
    const QString folder = settings_.Folder();
    const std::vector<recordingcatalogue::Entry> entries = recordingcatalogue::List(folder);
    for (size_t n = 0; n < std::min(Newest, entries.size()); ++n) {
        const QString picture = recordingname::ThumbnailPath(folder, entries[n].name);
        if (entries[n].name == CurrentFile() || QFileInfo::exists(picture))
            continue;
        mp4trim::TrimToWholeFragments(QDir(folder).filePath(entries[n].name)); // cut off by a crash, perhaps
        thumbnail::MakeLater(QDir(folder).filePath(entries[n].name), picture);
    }
}

void Recorder::SetMicrophoneChosen(bool chosen)
{
    if (chosen == microphoneChosen_)
        return;
    microphoneChosen_ = chosen;
    // The sound is taken anew with the next clip; the one being written keeps what it has.
    if (tap_ && !current_)
        stopFeeding();
}

void Recorder::SetMotionSensitivity(int sensitivity) { motion_->setSensitivity(sensitivity); }

void Recorder::SetDebugMotion(bool debug) { motion_->setDebug(debug); }

QString Recorder::CurrentFile() const { return current_ ? current_->name : QString(); }

QDateTime Recorder::Since() const { return current_ ? current_->start : QDateTime(); }

size_t Recorder::RingBytes() const
{
    std::lock_guard lock(flow_->mutex);
    return flow_->ring.bytes();
}

void Recorder::Describe(state::Facts &facts) const
{
    facts.recordingMode = RecordingSettings::ModeName(settings_.mode);
    facts.recordingActive = Active();
    facts.recordingSince = current_ ? recordingspage::IsoTime(current_->start) : QString();
    facts.recordingFile = CurrentFile();
}

void Recorder::startFeeding()
{
    const bool withSound = settings_.sound && microphoneChosen_ && sound_;
    auto tap = std::make_unique<FeedTap>(*video_, withSound ? sound_.get() : nullptr);
    {
        std::lock_guard lock(flow_->mutex);
        flow_->soundEnded = false;
        flow_->audioCaps.reset();
    }
    QString failure;
    if (!tap->Start(flow_, failure)) {
        if (!sinceFailure_.isValid() || sinceFailure_.hasExpired(RetrySeconds * 1000))
            emit logged(QStringLiteral("Recording is not available: ") + failure);
        sinceFailure_.restart();
        return;
    }
    if (!tap->hasSound()) {
        std::lock_guard lock(flow_->mutex);
        flow_->soundEnded = true;
    }
    flow_->lastPictureMs = steadyMs();
    tap_ = std::move(tap);
}

void Recorder::stopFeeding()
{
    tap_.reset();
    std::lock_guard lock(flow_->mutex);
    flow_->ring.clear();
    flow_->videoCaps.reset();
    flow_->audioCaps.reset();
}

std::optional<Recorder::Clip> Recorder::openClip(bool motion, bool fromRing, QString &failure)
{
    gstref::Caps video;
    gstref::Caps audio;
    GstClockTime before = 0;
    {
        std::lock_guard lock(flow_->mutex);
        if (!flow_->videoCaps)
            return std::nullopt; // no picture yet: tried again in a second
        video.reset(gst_caps_ref(flow_->videoCaps.get()));
        if (flow_->audioCaps && !flow_->soundEnded)
            audio.reset(gst_caps_ref(flow_->audioCaps.get()));
        if (fromRing && !flow_->ring.empty())
            before = flow_->ring.newest() - flow_->ring.oldest();
    }
    const QString folder = settings_.Folder();
    if (!QDir().mkpath(folder)) {
        failure = QStringLiteral("the folder %1 cannot be made").arg(folder);
        return std::nullopt;
    }
    Clip clip;
    clip.motion = motion;
    clip.start = QDateTime::currentDateTime().addMSecs(-static_cast<qint64>(before / GST_MSECOND));
    int number = 1;
    do
        clip.name = recordingname::NameFor(clip.start, motion, number++);
    while (QFileInfo::exists(QDir(folder).filePath(clip.name)) && number < 1000);
    auto id = std::make_shared<ClipWriter *>(nullptr);
    auto ended = [post = post_.poster(), this, id](bool written, const QString &reason) {
        post([this, id, written, reason] { clipEnded(*id, written, reason); });
    };
    std::unique_ptr<ClipWriter> writer =
        ClipWriter::Open(QDir(folder).filePath(clip.name), video.get(), audio.get(), ended, failure);
    if (!writer)
        return std::nullopt;
    *id = writer.get();
    clip.writer = std::move(writer);
    clip.elapsed.start();
    return clip;
}

bool Recorder::startClip(bool motion)
{
    if (current_)
        return true;
    if (!tap_ || (sinceFailure_.isValid() && !sinceFailure_.hasExpired(RetrySeconds * 1000)) || !diskHasRoom())
        return false;
    QString failure;
    std::optional<Clip> clip = openClip(motion, true, failure);
    if (!clip) {
        if (!failure.isEmpty()) {
            emit logged(QStringLiteral("Recording could not start: ") + failure);
            sinceFailure_.restart();
        }
        return false;
    }
    {
        std::lock_guard lock(flow_->mutex);
        for (PreRecordRing::Item &item : flow_->ring.take())
            clip->writer->push(item.sample.get(), item.video);
        flow_->writer = clip->writer;
    }
    current_ = std::move(clip);
    emit logged(QStringLiteral("Recording started: ") + current_->name);
    setActive(true);
    return true;
}

void Recorder::endClip(const QString &reason)
{
    if (!current_)
        return;
    bool nextBegun = false; // the feeds' thread switched to the next part already
    {
        std::lock_guard lock(flow_->mutex);
        nextBegun = next_ && flow_->writer == next_->writer;
        flow_->writer.reset();
        flow_->next.reset();
    }
    if (next_ && nextBegun) {
        next_->writer->finish();
        ClipWriter *begun = next_->writer.get();
        finishing_.emplace(begun, std::move(*next_));
    } else if (next_) {
        QFile::remove(next_->writer->path());
    }
    next_.reset();
    Clip clip = std::move(*current_);
    current_.reset();
    if (!reason.isEmpty())
        emit logged(QStringLiteral("Recording %1 ended: %2").arg(clip.name, reason));
    clip.writer->finish();
    ClipWriter *writer = clip.writer.get();
    finishing_.emplace(writer, std::move(clip));
    setActive(false);
}

void Recorder::prepareNextSegment()
{
    if (!current_ || next_ || current_->elapsed.elapsed() < static_cast<qint64>(settings_.segmentMinutes * 60000))
        return;
    QString failure;
    std::optional<Clip> clip = openClip(current_->motion, false, failure);
    if (!clip) {
        if (!failure.isEmpty())
            endClip(QStringLiteral("the next part could not start: ") + failure);
        return;
    }
    std::lock_guard lock(flow_->mutex);
    if (flow_->soundEnded)
        clip->writer->endSound();
    flow_->next = clip->writer;
    next_ = std::move(clip);
}

void Recorder::segmentSwitched(ClipWriter *finished)
{
    if (!current_ || current_->writer.get() != finished || !next_)
        return;
    finishing_.emplace(finished, std::move(*current_));
    current_ = std::move(next_);
    next_.reset();
    current_->elapsed.restart();
    emit logged(QStringLiteral("Recording started: ") + current_->name);
}

void Recorder::clipEnded(ClipWriter *writer, bool written, const QString &reason)
{
    if (auto found = finishing_.find(writer); found != finishing_.end()) {
        Clip clip = std::move(found->second);
        finishing_.erase(found);
        if (written && clip.writer->hasPicture())
            clipSaved(clip);
        else
            clipFailed(std::move(clip), written ? QStringLiteral("no picture came") : reason);
        return;
    }
    if (current_ && current_->writer.get() == writer) {
        if (written && next_) { // a segment that ended before its switch was seen
            Clip clip = std::move(*current_);
            current_ = std::move(next_);
            next_.reset();
            current_->elapsed.restart();
            clipSaved(clip);
            return;
        }
        sinceFailure_.restart();
        abandonClip(reason);
        return;
    }
    if (next_ && next_->writer.get() == writer) {
        std::lock_guard lock(flow_->mutex);
        flow_->next.reset();
        emit logged(QStringLiteral("Recording %1 could not be written: %2").arg(next_->name, reason));
        next_.reset();
    }
}

// The clip being written cannot go on: nothing more goes to its file, and it is not saved.
void Recorder::abandonClip(const QString &reason)
{
    {
        std::lock_guard lock(flow_->mutex);
        flow_->writer.reset();
        flow_->next.reset();
    }
    Clip clip = std::move(*current_);
    current_.reset();
    next_.reset();
    clipFailed(std::move(clip), reason);
    setActive(false);
}

void Recorder::clipFailed(Clip clip, const QString &reason)
{
    emit logged(QStringLiteral("Recording %1 could not be written: %2").arg(clip.name, reason));
    const QString path = clip.writer->path();
    clip.writer.reset();
    // What was written up to its last whole fragment plays and is kept; an empty file is no
    // recording.
    if (QFileInfo::exists(path))
        mp4trim::TrimToWholeFragments(path);
    if (QFileInfo(path).size() == 0)
        QFile::remove(path);
}

void Recorder::clipSaved(const Clip &clip)
{
    const QString path = clip.writer->path();
    const QFileInfo file(path);
    if (!file.exists()) {
        emit logged(QStringLiteral("Recording %1 could not be written: the file is gone").arg(clip.name));
        return;
    }
    emit logged(QStringLiteral("Recording saved: %1 (%2, %3)")
                    .arg(clip.name,
                         recordingspage::LengthText(
                             static_cast<qint64>((clip.writer->duration() + GST_SECOND / 2) / GST_SECOND)),
                         recordingspage::SizeText(file.size())));
    thumbnail::MakeLater(path, recordingname::ThumbnailPath(file.path(), clip.name));
    keepWithinBudget();
    emit saved(path);
}

void Recorder::pictureEnded()
{
    endClip(QStringLiteral("the camera's picture ended"));
    stopFeeding();
    sinceFailure_.restart(); // taken again a little later
}

void Recorder::motionChanged(bool moving)
{
    if (settings_.mode != RecordingSettings::Mode::Motion)
        return;
    moving_ = moving;
    emit logged(moving ? QStringLiteral("Motion started") : QStringLiteral("Motion ended"));
    if (moving) {
        postMotion_.stop();
        startClip(true);
    } else if (current_) {
        postMotion_.start(settings_.postSeconds * 1000);
    }
}

void Recorder::housekeeping()
{
    if (settings_.mode == RecordingSettings::Mode::Off)
        return;
    if (!tap_ && (!sinceFailure_.isValid() || sinceFailure_.hasExpired(RetrySeconds * 1000)))
        startFeeding();
    if (!sinceRoomChecked_.isValid() || sinceRoomChecked_.hasExpired(5000)) {
        sinceRoomChecked_.restart();
        if (!diskHasRoom())
            endClip(QStringLiteral("the disk is full"));
    }
    if (current_ && steadyMs() - flow_->lastPictureMs.load() > StallSeconds * 1000)
        endClip(QStringLiteral("the camera stopped sending pictures"));
    if (current_ && !QFileInfo::exists(current_->writer->path()))
        abandonClip(QStringLiteral("the file or its folder was removed"));
    const bool wanted = settings_.mode == RecordingSettings::Mode::Always || moving_;
    const bool picturesCome = steadyMs() - flow_->lastPictureMs.load() <= StallSeconds * 1000;
    if (wanted && !current_ && picturesCome)
        startClip(settings_.mode == RecordingSettings::Mode::Motion);
    prepareNextSegment();
}

bool Recorder::diskHasRoom()
{
    QString existing = settings_.Folder();
    while (!QFileInfo::exists(existing) && QFileInfo(existing).path() != existing)
        existing = QFileInfo(existing).path();
    const QStorageInfo disk(existing);
    const qint64 reserve = settings_.reserveGB * GiB;
    const bool room = !disk.isValid() || disk.bytesAvailable() >= reserve;
    if (room == !diskFull_)
        return room;
    diskFull_ = !room;
    emit logged(room ? QStringLiteral("Recording resumed: %1 has room again").arg(settings_.Folder())
                     : QStringLiteral("Recording stopped: less than %1 GB free for %2")
                           .arg(settings_.reserveGB)
                           .arg(settings_.Folder()));
    return room;
}

void Recorder::keepWithinBudget()
{
    const QString folder = settings_.Folder();
    const QStringList going =
        recordingcatalogue::OverBudget(recordingcatalogue::List(folder), settings_.maxGB * GiB, settings_.maxDays,
                                       QDateTime::currentDateTime(), CurrentFile());
    int removed = 0;
    for (const QString &name : going)
        removed += recordingcatalogue::Remove(folder, name) ? 1 : 0;
    if (removed > 0)
        emit logged(QStringLiteral("Removed %1 old recording(s) to keep within %2 GB and %3 days")
                        .arg(removed)
                        .arg(settings_.maxGB)
                        .arg(settings_.maxDays));
}

void Recorder::setActive(bool active)
{
    if (active == wasActive_)
        return;
    wasActive_ = active;
    emit activeChanged(active);
}
