// Mending around FFmpeg 5.1's subtitle demuxers where real files trip them:
// the WebVTT demuxer stops at the first block that is not a cue, and the
// SubRip demuxer glues a cue whose time line it cannot read into the cue
// before. FFmpeg still reads every cue; these only take out what it would
// misread, and count the cues lost.

#include "cues/subtitles.h"

#include <QRegularExpression>

#include <algorithm>
#include <utility>

namespace {

// A line in the place of a time line that only looks like one: it starts
// with a digit, has a colon, and an arrow ("-->", or "->" typed by hand).
bool looksLikeTimeLine(QStringView line)
{
    static const QRegularExpression timeLike(QStringLiteral("^\\s*\\d[^>]*:[^>]*->"));
    return line.contains(QLatin1String("->")) && timeLike.match(line).hasMatch();
}

bool isBareNumber(QStringView line)
{
    const QStringView t = line.trimmed();
    return !t.isEmpty() && std::all_of(t.begin(), t.end(), [](QChar c) { return c.isDigit(); });
}

// The blocks of the format that are no cues; a cue's identifier may not
// hold an arrow, so a first line with one is a cue whatever its words.
bool isWebVttBlock(QStringView firstLine)
{
    if (firstLine.contains(QLatin1String("-->")))
        return false;
    for (const char *name : {"STYLE", "REGION", "NOTE"}) {
        const QLatin1String n(name);
        if (firstLine.startsWith(n) && (firstLine.size() == n.size() || firstLine.at(n.size()).isSpace()))
            return true;
    }
    return false;
}

// The timestamps FFmpeg reads: [hh:]mm:ss.ttt on both sides of the arrow.
bool isWebVttTimeLine(QStringView line)
{
    static const QRegularExpression time(
        QStringLiteral("^\\s*(\\d+:)?\\d+:\\d+\\.\\d+\\s*-->\\s*(\\d+:)?\\d+:\\d+\\.\\d+(\\s|$)"));
    return time.match(line).hasMatch();
}

} // namespace

QString Subtitles::withoutWebVttBlocks(const QString &text, int *broken)
{
    QString unified = text;
    unified.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    unified.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QStringList lines = unified.split(QLatin1Char('\n'));

    QStringList kept;
    QStringList block;
    bool header = true; // "WEBVTT" and whatever follows it up to the first blank line
    const auto flush = [&] {
        if (block.isEmpty())
            return;
        const QStringList b = std::exchange(block, {});
        if (std::exchange(header, false)) {
            kept.append(b.join(QLatin1Char('\n')));
            return;
        }
        if (isWebVttBlock(b.first()))
            return;
        // The time line comes first, or after the cue's identifier.
        const bool timed = isWebVttTimeLine(b.first()) || (b.size() > 1 && isWebVttTimeLine(b.at(1)));
        if (!timed) {
            ++*broken;
            return;
        }
        kept.append(b.join(QLatin1Char('\n')));
    };
    for (const QString &line : lines) {
        if (line.trimmed().isEmpty())
            flush();
        else
            block.append(line);
    }
    flush();
    return kept.join(QLatin1String("\n\n")) + QLatin1Char('\n');
}

QString Subtitles::cutGluedCues(const QString &text, int *broken)
{
    if (!text.contains(QLatin1String("->")))
        return text;
    QStringList lines = text.split(QLatin1Char('\n'));
    qsizetype cut = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!looksLikeTimeLine(lines.at(i)))
            continue;
        ++*broken;
        if (cut < 0)
            cut = i > 0 && isBareNumber(lines.at(i - 1)) ? i - 1 : i;
    }
    if (cut < 0)
        return text;
    lines.resize(cut);
    return lines.join(QLatin1Char('\n'));
}
