#pragma once

// What a test learns of a recording with the players: its streams and length (ffprobe),
// and whether it decodes to its end without an error (ffmpeg).
#include <QProcess>
#include <QString>
#include <QStringList>

namespace {

// ffprobe's "codec,codec duration" or its errors; ffmpeg's errors and exit code.
QString runTool(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(tool, QStringList{QStringLiteral("-v"), QStringLiteral("error")} + arguments);
    if (!process.waitForFinished(60000))
        return QStringLiteral("<%1 did not finish>").arg(tool);
    return QString::fromUtf8(process.readAll()).trimmed() + QStringLiteral(" exit %1").arg(process.exitCode());
}

[[maybe_unused]] QString codecsOf(const QString &file)
{
    return runTool(QStringLiteral("ffprobe"), {QStringLiteral("-show_entries"), QStringLiteral("stream=codec_name"),
                                               QStringLiteral("-of"), QStringLiteral("csv=p=0"), file})
        .simplified();
}

double secondsOf(const QString &file)
{
    const QString out =
        runTool(QStringLiteral("ffprobe"), {QStringLiteral("-show_entries"), QStringLiteral("format=duration"),
                                            QStringLiteral("-of"), QStringLiteral("csv=p=0"), file});
    return out.section(QLatin1Char(' '), 0, 0).toDouble();
}

// "exit 0" when every frame decodes without a word from ffmpeg.
QString decodeErrors(const QString &file)
{
    return runTool(QStringLiteral("ffmpeg"),
                   {QStringLiteral("-i"), file, QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")});
}

} // namespace
