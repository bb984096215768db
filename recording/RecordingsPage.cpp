#include "recording/RecordingsPage.h"

#include "recording/RecordingFiles.h"

namespace recordingspage {

namespace {

const char *const PageStart = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Recordings</title>
<style>
  body { font-family: sans-serif; margin: 0 auto; max-width: 980px; padding: 12px; background: #f4f4f4; color: #222; }
  h1 { font-size: 1.4em; margin: 0.2em 0 0.6em; }
  h2 { font-size: 1.05em; margin: 1.2em 0 0.4em; border-bottom: 1px solid #ccc; }
  #player { width: 100%; max-height: 60vh; background: #000; display: none; margin-bottom: 0.3em; }
  #playing { margin: 0 0 0.8em; font-size: 0.9em; }
  .notice { background: #fff3cd; border: 1px solid #e0c070; padding: 8px; margin-bottom: 1em; }
  .clips { display: flex; flex-wrap: wrap; gap: 10px; }
  .clip { width: 176px; background: #fff; border: 1px solid #ddd; border-radius: 4px; padding: 4px; font-size: 0.85em; cursor: pointer; }
  .clip:hover, .clip.chosen { border-color: #2a6fdb; }
  .thumb { width: 176px; height: 132px; background: #ccc; }
  .thumb img { width: 176px; height: 132px; object-fit: cover; display: block; }
  .clip .when { font-weight: bold; }
  .badge { display: inline-block; padding: 0 4px; border-radius: 3px; background: #ddd; font-size: 0.9em; }
  .badge.motion { background: #f3c4c4; }
  .badge.live { background: #c00000; color: #fff; }
  .empty { color: #666; }
</style>
</head>
<body>
<h1>Recordings</h1>
)";

const char *const PageEnd = R"(
<script>
const player = document.getElementById('player');
const playing = document.getElementById('playing');
document.querySelectorAll('.clip').forEach((clip) => {
  clip.addEventListener('click', (event) => {
    if (event.target.tagName === 'A') return;
    document.querySelectorAll('.clip.chosen').forEach((other) => other.classList.remove('chosen'));
    clip.classList.add('chosen');
    player.style.display = 'block';
    player.src = clip.dataset.url;
    playing.textContent = clip.dataset.name;
    player.play().catch(() => {});
    window.scrollTo({ top: 0, behavior: 'smooth' });
  });
});
</script>
</body>
</html>
)";

void appendJsonString(QByteArray &json, const QString &text)
{
    json += '"';
    for (const char c : text.toUtf8()) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            json += QByteArrayLiteral("\\u00") + QByteArray::number(static_cast<int>(c), 16).rightJustified(2, '0');
        } else {
            json += c;
        }
    }
    json += '"';
}

} // namespace

QString IsoTime(const QDateTime &time) { return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate); }

QString LengthText(qint64 seconds)
{
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString SizeText(qint64 bytes)
{
    if (bytes >= 1024LL * 1024 * 1024)
        return QStringLiteral("%1 GB").arg(static_cast<double>(bytes) / (1024.0 * 1024 * 1024), 0, 'f', 1);
    if (bytes >= 1024 * 1024)
        return QStringLiteral("%1 MB").arg(static_cast<double>(bytes) / (1024.0 * 1024), 0, 'f', 1);
    return QStringLiteral("%1 KB").arg((bytes + 1023) / 1024);
}

QByteArray Json(const std::vector<recordingcatalogue::Entry> &newestFirst, const QString &current)
{
    // Written straight out rather than built as a document: thousands of entries are listed often.
    QByteArray json;
    json.reserve(static_cast<qsizetype>(newestFirst.size()) * 260 + 2);
    json += '[';
    for (const recordingcatalogue::Entry &entry : newestFirst) {
        if (json.size() > 1)
            json += ',';
        json += "{\"name\":";
        appendJsonString(json, entry.name);
        json += ",\"url\":";
        appendJsonString(json, recordingfiles::UrlOf(entry.name));
        json += ",\"thumbnail\":";
        appendJsonString(json, recordingfiles::ThumbnailUrlOf(entry.name));
        json += ",\"start\":";
        appendJsonString(json, IsoTime(entry.start));
        json += ",\"seconds\":" + QByteArray::number(entry.seconds);
        json += ",\"bytes\":" + QByteArray::number(entry.bytes);
        json += entry.motion ? ",\"motion\":true" : ",\"motion\":false";
        json += entry.name == current ? ",\"recording\":true}" : ",\"recording\":false}";
    }
    json += ']';
    return json;
}

QByteArray Html(const std::vector<recordingcatalogue::Entry> &newestFirst, const QString &current,
                const QString &notice)
{
    QString page = QString::fromUtf8(PageStart);
    page.reserve(page.size() + static_cast<qsizetype>(newestFirst.size()) * 480);
    page += QStringLiteral("<video id=\"player\" controls preload=\"metadata\"></video><p id=\"playing\"></p>\n");
    if (!notice.isEmpty())
        page += QStringLiteral("<p class=\"notice\">%1</p>\n").arg(notice.toHtmlEscaped());
    if (newestFirst.empty())
        page += QStringLiteral("<p class=\"empty\">No recordings yet.</p>\n");
    QDate day;
    for (const recordingcatalogue::Entry &entry : newestFirst) {
        if (entry.start.date() != day) {
            if (day.isValid())
                page += QStringLiteral("</div>\n");
            day = entry.start.date();
            page += QStringLiteral("<h2>%1</h2>\n<div class=\"clips\">\n")
                        .arg(day.toString(QStringLiteral("yyyy-MM-dd dddd")));
        }
        const QString url = recordingfiles::UrlOf(entry.name).toHtmlEscaped();
        const bool live = entry.name == current;
        page += QStringLiteral("<div class=\"clip\" data-url=\"%1\" data-name=\"%2\">"
                               "<div class=\"thumb\"><img loading=\"lazy\" alt=\"\" src=\"%3\" "
                               "onerror=\"this.style.visibility='hidden'\"></div>"
                               "<div><span class=\"when\">%4</span> %5 <span class=\"badge%6\">%7</span></div>"
                               "<div>%8 &middot; <a href=\"%1\" download=\"%2\">Download</a></div></div>\n")
                    .arg(url, entry.name.toHtmlEscaped(), recordingfiles::ThumbnailUrlOf(entry.name).toHtmlEscaped(),
                         entry.start.toString(QStringLiteral("HH:mm:ss")), LengthText(entry.seconds),
                         live ? QStringLiteral(" live") : (entry.motion ? QStringLiteral(" motion") : QString()),
                         live ? QStringLiteral("recording")
                              : (entry.motion ? QStringLiteral("motion") : QStringLiteral("always")),
                         SizeText(entry.bytes));
    }
    if (day.isValid())
        page += QStringLiteral("</div>\n");
    page += QString::fromUtf8(PageEnd);
    return page.toUtf8();
}

} // namespace recordingspage
