#pragma once

#include "gst/GuiPost.h"
#include "recording/RecordingSettings.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <map>
#include <memory>
#include <optional>

class ClipWriter;
class EncodedFeed;
class FeedTap;
class FrameTap;
class MotionWatch;
namespace state {
struct Facts;
}

// Recordings: clips on motion (with the seconds before it) or everything in segments, from
// the shared H.264 encoder and the AAC sound, into the recordings folder within its budget.
// Lives on the GUI thread; the feeds' samples go straight from their threads to the file.
// While a mode is on the encoder runs. Every clip ends with a line in the log: saved, with
// its length and size, or why it could not be written; never both.
class Recorder : public QObject {
    Q_OBJECT

public:
    Recorder(std::shared_ptr<EncodedFeed> video, std::shared_ptr<EncodedFeed> sound, QObject *parent = nullptr);
    ~Recorder() override;

    // Takes the settings from now on: a clip being written ends when its mode is left.
    void Apply(const RecordingSettings &settings);
    const RecordingSettings &Settings() const { return settings_; }
    // Whether a microphone is chosen (the sound feed is silence otherwise).
    void SetMicrophoneChosen(bool chosen);
    // The snapshots' motion sensitivity (1-100) and their "Debug Motion Detection".
    void SetMotionSensitivity(int sensitivity);
    void SetDebugMotion(bool debug);

    // What the capture hands every frame to, for the motion watch.
    std::shared_ptr<FrameTap> MotionInput() const;

    bool Active() const { return current_.has_value(); }
    // The file being written ("" when none) and since when.
    QString CurrentFile() const;
    QDateTime Since() const;
    // The folder's recordings, and the one being written.
    QString Folder() const { return settings_.Folder(); }
    void Describe(state::Facts &facts) const;

    // Memory the seconds before a clip take now (the encoded picture and sound held).
    size_t RingBytes() const;

    // How long the camera may send nothing before the clip being written ends.
    static constexpr int StallSeconds = 5;
    // How long after a clip that could not be written the next one waits.
    static constexpr int RetrySeconds = 10;

    struct Flow;

signals:
    void logged(const QString &line);
    // A clip began or ended.
    void activeChanged(bool active);
    // A clip is whole in the folder.
    void saved(const QString &path);

private:
    struct Clip {
        std::shared_ptr<ClipWriter> writer;
        QString name;
        bool motion = false;
        QDateTime start;
        QElapsedTimer elapsed;
    };

    void startFeeding();
    void stopFeeding();
    bool startClip(bool motion);
    // A clip's file, named by the time of its first frame: the oldest of the seconds kept
    // before now (fromRing), or now (the next part of one being written).
    std::optional<Clip> openClip(bool motion, bool fromRing, QString &failure);
    void endClip(const QString &reason = {});
    void prepareNextSegment();
    void segmentSwitched(ClipWriter *finished);
    void clipEnded(ClipWriter *writer, bool written, const QString &reason);
    void abandonClip(const QString &reason);
    void clipFailed(Clip clip, const QString &reason);
    void clipSaved(const Clip &clip);
    void pictureEnded();
    void motionChanged(bool moving);
    void housekeeping();
    bool diskHasRoom();
    void keepWithinBudget();
    void makeMissingThumbnails();
    void setActive(bool active);

    GuiPost post_{this};
    std::shared_ptr<EncodedFeed> video_;
    std::shared_ptr<EncodedFeed> sound_;
    std::shared_ptr<Flow> flow_;
    std::shared_ptr<MotionWatch> motion_;
    std::unique_ptr<FeedTap> tap_;
    RecordingSettings settings_;
    bool microphoneChosen_ = false;
    std::optional<Clip> current_;
    std::optional<Clip> next_;
    std::map<ClipWriter *, Clip> finishing_;
    QTimer postMotion_;
    QTimer housekeeping_;
    bool moving_ = false;
    bool diskFull_ = false;
    QElapsedTimer sinceFailure_;
    QElapsedTimer sinceRoomChecked_;
    bool wasActive_ = false;
};
