// How a text is cut into words for the word score: as a learner writes
// them, so that "U.S.", "7:30" and "$3.50" are one word each and a
// combining accent reads as the precomposed letter.
#include "diff/wordalignment.h"

namespace {

bool isWordChar(char32_t c)
{
    return QChar::isLetterOrNumber(c) || QChar::isMark(c);
}

bool isApostrophe(char32_t c)
{
    return c == u'\'' || c == u'\u2019' || c == u'\u02BC';
}

bool isLineBreak(char32_t c)
{
    return c == u'\n' || c == u'\u2028' || c == u'\u2029';
}

// Blanks, dashes, slashes and the ellipsis: the only characters that part
// two words. A zero-width space parts them as a blank would.
bool isSeparator(char32_t c)
{
    if (QChar::isSpace(c) || c == u'\u200B')
        return true;
    switch (QChar::category(c)) {
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
    case QChar::Other_Control:
    case QChar::Punctuation_Dash:
        return true;
    default:
        break;
    }
    return c == u'/' || c == u'\\' || c == u'\u2044' || c == u'\u2215' || c == u'\u2026' || c == u'\u2212';
}

// What ends a sentence of the dictation, besides a line break.
bool endsSentence(char32_t c)
{
    return c == u'.' || c == u'!' || c == u'?' || c == u'\u2026' || c == u'\u3002' || c == u'\uFF01'
        || c == u'\uFF1F';
}

// The code point at index i and how many UTF-16 units it takes.
char32_t codePointAt(const QString &text, qsizetype i, qsizetype *units)
{
    const QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
        *units = 2;
        return QChar::surrogateToUcs4(c, text.at(i + 1));
    }
    *units = 1;
    return c.unicode();
}

// The end of the run of punctuation starting at i when the run joins the
// word before it to a word after it (it ends on a word character and holds
// no separator, nor two dots in a row, which read as an ellipsis); i when
// it does not.
qsizetype joinedRunEnd(const QString &text, qsizetype i)
{
    qsizetype at = i;
    char32_t previous = 0;
    while (at < text.size()) {
        qsizetype units = 1;
        const char32_t c = codePointAt(text, at, &units);
        if (isWordChar(c))
            return at;
        if (isSeparator(c) || (c == u'.' && previous == u'.'))
            return i;
        previous = c;
        at += units;
    }
    return i;
}

// Lower case, in NFC, without the punctuation inside the word; apostrophes
// stay, written as U+0027.
QString keyOf(const QString &written)
{
    QString key;
    key.reserve(written.size());
    for (qsizetype i = 0; i < written.size();) {
        qsizetype units = 1;
        const char32_t c = codePointAt(written, i, &units);
        if (isWordChar(c))
            key += written.mid(i, units);
        else if (isApostrophe(c))
            key += QLatin1Char('\'');
        i += units;
    }
    return key.toLower().normalized(QString::NormalizationForm_C);
}

} // namespace

QList<TextWord> splitWords(const QString &text)
{
    QList<TextWord> words;
    int line = 0;
    int sentence = 0;
    bool sentenceEnded = false; // since the last word
    qsizetype i = 0;
    const qsizetype size = text.size();
    while (i < size) {
        qsizetype units = 1;
        const char32_t c = codePointAt(text, i, &units);
        if (!isWordChar(c)) {
            if (isLineBreak(c))
                ++line;
            if (isLineBreak(c) || endsSentence(c))
                sentenceEnded = true;
            i += units;
            continue;
        }
        if (sentenceEnded && !words.isEmpty())
            ++sentence;
        sentenceEnded = false;
        const qsizetype start = i;
        i += units;
        while (i < size) {
            const char32_t next = codePointAt(text, i, &units);
            if (isWordChar(next)) {
                i += units;
                continue;
            }
            const qsizetype joined = joinedRunEnd(text, i);
            if (joined == i)
                break;
            i = joined;
        }
        const QString written = text.mid(start, i - start);
        words.append({keyOf(written), start, i - start, line, sentence});
    }
    return words;
}
