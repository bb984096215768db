#include "tests/support/SeamRecorders.h"

MessageRecorder::MessageRecorder()
{
    const auto record = [this](QWidget *, const QString &caption, const QString &text) {
        messages.append({caption, text});
        if (whileOpen)
            whileOpen(messages.constLast());
    };
    seams::ShowMessage.install(record);
    seams::ShowPeerMessage.install(record);
}

MessageRecorder::~MessageRecorder()
{
    seams::ShowMessage.reset();
    seams::ShowPeerMessage.reset();
}

QStringList MessageRecorder::texts() const
{
    QStringList result;
    for (const RecordedMessage &message : messages)
        result.append(message.text);
    return result;
}

FixedClock::FixedClock(const QDateTime &start) : now_(start)
{
    seams::Now.install([this] { return now_; });
}

FixedClock::~FixedClock() { seams::Now.reset(); }

UrlRecorder::UrlRecorder()
{
    seams::OpenUrl.install([this](const QUrl &url) { urls.append(url); });
}

UrlRecorder::~UrlRecorder() { seams::OpenUrl.reset(); }

FakeClipboard::FakeClipboard()
{
    seams::SetClipboardText.install([this](const QString &value) { text = value; });
    seams::ClipboardText.install([this] { return text; });
}

FakeClipboard::~FakeClipboard()
{
    seams::SetClipboardText.reset();
    seams::ClipboardText.reset();
}

namespace {
std::optional<QString> takeFront(std::deque<std::optional<QString>> &answers)
{
    std::optional<QString> answer;
    if (!answers.empty()) {
        answer.swap(answers.front());
        answers.pop_front();
    }
    return answer;
}
} // namespace

DialogScript::DialogScript()
{
    seams::GetSaveFileName.install([this](const seams::SaveFileRequest &request) {
        saveRequests.append(request);
        return takeFront(saveAnswers);
    });
    seams::GetExistingDirectory.install([this](QWidget *, const QString &, const QString &start) {
        folderStarts.append(start);
        return takeFront(folderAnswers);
    });
}

DialogScript::~DialogScript()
{
    seams::GetSaveFileName.reset();
    seams::GetExistingDirectory.reset();
}
