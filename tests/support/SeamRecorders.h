#pragma once

#include "base/seams/Seams.h"

#include <QList>
#include <QStringList>

#include <deque>
#include <functional>

// Test doubles for the desktop seams. Each installs itself on construction and
// restores production behaviour when destroyed.

struct RecordedMessage {
    QString caption;
    QString text;
};

// Answers every message box at once and remembers it. An optional action runs
// while the "box" is open, as a person's other clicks or network events would.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();

    QList<RecordedMessage> messages;
    std::function<void(const RecordedMessage &)> whileOpen;

    QStringList texts() const;
};

// A clock that stands still until the test moves it.
class FixedClock {
public:
    explicit FixedClock(const QDateTime &start);
    ~FixedClock();

    void set(const QDateTime &now) { now_ = now; }
    void advanceSeconds(qint64 seconds) { now_ = now_.addSecs(seconds); }

private:
    QDateTime now_;
};

// Remembers the URLs the program asked the desktop to open.
class UrlRecorder {
public:
    UrlRecorder();
    ~UrlRecorder();
    QList<QUrl> urls;
};

// A clipboard of its own, so tests never touch the session's.
class FakeClipboard {
public:
    FakeClipboard();
    ~FakeClipboard();
    QString text;
};

// Answers file and folder dialogs from a queue; an empty answer is a cancel.
// Each request is remembered.
class DialogScript {
public:
    DialogScript();
    ~DialogScript();

    std::deque<std::optional<QString>> saveAnswers;
    std::deque<std::optional<QString>> folderAnswers;
    QList<seams::SaveFileRequest> saveRequests;
    QStringList folderStarts;
};
