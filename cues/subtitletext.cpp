// The text side of reading subtitles: finding the encoding of a file and
// turning styled cue text into plain text.

#include "cues/subtitles.h"

#include <QRegularExpression>
#include <QTextCodec>

namespace {

// Text of Chinese subtitles in GBK/GB18030 is mostly pairs whose second byte
// is 0xA1 or above; Latin-1 text that happens to pass the decoder puts plain
// letters and spaces there.
bool looksLikeGb(const QByteArray &bytes)
{
    int good = 0;
    int bad = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto lead = uchar(bytes[i]);
        if (lead < 0x81)
            continue;
        if (i + 1 >= bytes.size())
            return false;
        const auto trail = uchar(bytes[i + 1]);
        if (trail >= 0xA1)
            ++good;
        else
            ++bad;
        ++i;
    }
    return good > 0 && bad * 10 <= good;
}

QString decodeStrictly(QTextCodec *codec, const QByteArray &bytes, bool *clean)
{
    QTextCodec::ConverterState state(QTextCodec::ConvertInvalidToNull);
    const QString text = codec->toUnicode(bytes.constData(), int(bytes.size()), &state);
    *clean = state.invalidChars == 0 && state.remainingChars == 0;
    return text;
}

} // namespace

QString Subtitles::decodeText(const QByteArray &bytes, QByteArray *encoding)
{
    auto use = [encoding](const QByteArray &name) {
        if (encoding)
            *encoding = name;
    };
    // A byte-order mark says it all.
    if (QTextCodec *bom = QTextCodec::codecForUtfText(bytes, nullptr)) {
        use(bom->name());
        QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
        return bom->toUnicode(bytes.constData(), int(bytes.size()), &state);
    }
    bool clean = false;
    const QString utf8 = decodeStrictly(QTextCodec::codecForName("UTF-8"), bytes, &clean);
    if (clean) {
        use("UTF-8");
        return utf8;
    }
    QTextCodec *local = QTextCodec::codecForLocale();
    if (local && local->mibEnum() != 106) { // 106: UTF-8, already refused
        const QString text = decodeStrictly(local, bytes, &clean);
        if (clean) {
            use(local->name());
            return text;
        }
    }
    if (looksLikeGb(bytes)) {
        if (QTextCodec *gb = QTextCodec::codecForName("GB18030")) {
            const QString text = decodeStrictly(gb, bytes, &clean);
            if (clean) {
                use(gb->name());
                return text;
            }
        }
    }
    // Windows-1252 reads every byte; it is Latin-1 with printable letters
    // where Latin-1 has control codes.
    QTextCodec *western = QTextCodec::codecForName("windows-1252");
    use(western->name());
    return western->toUnicode(bytes);
}

QString Subtitles::eventText(const QString &eventLine)
{
    // Eight fields come before the text, which may itself hold commas.
    qsizetype pos = 0;
    for (int field = 0; field < 8; ++field) {
        pos = eventLine.indexOf(QLatin1Char(','), pos);
        if (pos < 0)
            return eventLine;
        ++pos;
    }
    return eventLine.mid(pos);
}

QString Subtitles::plainText(const QString &styled)
{
    static const QRegularExpression overrides(QStringLiteral("\\{[^{}]*\\}"));
    // Tags only: "<i>", "</font>", "<v Roger>", "<c.yellow>", "<00:00:01.500>";
    // a lone "<" in a sentence stays.
    static const QRegularExpression tags(QStringLiteral("<(/?[A-Za-z][^<>]*|/?\\d[\\d:.]*)>"));
    static const QRegularExpression spaces(QStringLiteral("[ \\t]+"));

    // Most cues carry no markup at all; the expressions run only where a
    // sign of it is, which keeps a long file quick to read.
    QString text = styled;
    if (text.contains(QLatin1Char('{')))
        text.remove(overrides);
    if (text.contains(QLatin1Char('\\'))) {
        text.replace(QLatin1String("\\N"), QLatin1String("\n"));
        text.replace(QLatin1String("\\n"), QLatin1String(" "));
        text.replace(QLatin1String("\\h"), QLatin1String(" "));
    }
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (text.contains(QLatin1Char('<')))
        text.remove(tags);
    if (text.contains(QLatin1Char('&'))) {
        text.replace(QLatin1String("&nbsp;"), QLatin1String(" "));
        text.replace(QLatin1String("&lt;"), QLatin1String("<"));
        text.replace(QLatin1String("&gt;"), QLatin1String(">"));
        text.replace(QLatin1String("&quot;"), QLatin1String("\""));
        text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    }
    text.replace(QChar(0x00A0), QLatin1Char(' '));

    QStringList lines;
    for (QString line : text.split(QLatin1Char('\n'))) {
        line.replace(spaces, QStringLiteral(" "));
        line = line.trimmed();
        if (!line.isEmpty())
            lines.append(line);
    }
    return lines.join(QLatin1Char('\n'));
}
