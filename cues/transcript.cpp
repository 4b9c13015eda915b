// Reading a transcript and cutting it into sentences.

#include "cues/transcript.h"

#include "cues/subtitles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTextBoundaryFinder>

namespace {

// Words that end in a full stop without ending a sentence when a capital
// follows them ("Mr. Smith", "Dr. Lee", "St. Paul's").
const QSet<QString> &titles()
{
    static const QSet<QString> words{
        QStringLiteral("mr"), QStringLiteral("mrs"), QStringLiteral("ms"),   QStringLiteral("dr"),
        QStringLiteral("prof"), QStringLiteral("st"), QStringLiteral("sr"),  QStringLiteral("jr"),
        QStringLiteral("mt"), QStringLiteral("gen"), QStringLiteral("col"),  QStringLiteral("capt"),
        QStringLiteral("lt"), QStringLiteral("sgt"), QStringLiteral("rev"),  QStringLiteral("gov"),
        QStringLiteral("sen"), QStringLiteral("rep"), QStringLiteral("vs"),  QStringLiteral("etc"),
        QStringLiteral("no"), QStringLiteral("fig"), QStringLiteral("approx"), QStringLiteral("dept"),
        QStringLiteral("inc"), QStringLiteral("ltd"), QStringLiteral("co"),  QStringLiteral("jan"),
        QStringLiteral("feb"), QStringLiteral("aug"), QStringLiteral("sept"), QStringLiteral("oct"),
        QStringLiteral("nov"), QStringLiteral("dec"),
    };
    return words;
}

// True when a piece ends in an abbreviation rather than a sentence: a
// title, an initial ("J."), or dotted letters ("U.S.", "e.g.", "a.m.").
// "etc." and dotted letters end sentences too, but a sentence that goes
// on after them with a capital is rarer than a name after them.
bool endsInAbbreviation(const QString &piece)
{
    const QString trimmed = piece.trimmed();
    if (!trimmed.endsWith(QLatin1Char('.')))
        return false;
    const qsizetype space = trimmed.lastIndexOf(QRegularExpression(QStringLiteral("[\\s(\"'\u201C\u2018]")));
    const QString word = trimmed.mid(space + 1).chopped(1);
    if (word.isEmpty())
        return false;
    if (titles().contains(word.toLower()))
        return true;
    static const QRegularExpression initial(QStringLiteral("^\\p{Lu}$"));
    static const QRegularExpression dotted(QStringLiteral("^(\\p{L}\\.)+\\p{L}$"));
    return initial.match(word).hasMatch() || dotted.match(word).hasMatch();
}

QString collapsed(QString text)
{
    static const QRegularExpression spaces(QStringLiteral("\\s+"));
    return text.replace(spaces, QStringLiteral(" ")).trimmed();
}

bool hasWords(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

} // namespace

QStringList Transcript::paragraphs(const QString &plain)
{
    QString text = plain;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    static const QRegularExpression blank(QStringLiteral("\\n[ \\t\\f\\v]*\\n"));
    QStringList found;
    for (const QString &block : text.split(blank)) {
        const QString paragraph = collapsed(block);
        if (hasWords(paragraph))
            found.append(paragraph);
    }
    return found;
}

QStringList Transcript::htmlParagraphs(const QString &html)
{
    QString text = html;
    // What is never read out.
    static const QRegularExpression hidden(QStringLiteral("<(head|script|style|title)\\b.*?</\\1\\s*>"),
                                           QRegularExpression::CaseInsensitiveOption
                                               | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression comment(QStringLiteral("<!--.*?-->"),
                                            QRegularExpression::DotMatchesEverythingOption);
    text.remove(hidden).remove(comment);
    // Line breaks in markup are spaces.
    static const QRegularExpression space(QStringLiteral("\\s+"));
    text.replace(space, QStringLiteral(" "));
    // Block elements and a double line break part paragraphs; a single
    // break is a space.
    static const QRegularExpression block(
        QStringLiteral("</?(p|div|li|ul|ol|h[1-6]|blockquote|tr|table|section|article|pre|dd|dt)\\b[^>]*>"
                       "|<br\\s*/?>\\s*<br\\s*/?>"),
        QRegularExpression::CaseInsensitiveOption);
    text.replace(block, QStringLiteral("\n\n"));
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    QStringList found;
    for (const QString &paragraph : paragraphs(text)) {
        QString plain = paragraph;
        plain.replace(tag, QStringLiteral(" "));
        plain = collapsed(Subtitles::plainText(plain));
        // Entities the cue cleaner leaves.
        plain.replace(QLatin1String("&nbsp;"), QLatin1String(" "))
            .replace(QLatin1String("&#39;"), QLatin1String("'"))
            .replace(QLatin1String("&rsquo;"), QString(QChar(0x2019)))
            .replace(QLatin1String("&lsquo;"), QString(QChar(0x2018)))
            .replace(QLatin1String("&ldquo;"), QString(QChar(0x201C)))
            .replace(QLatin1String("&rdquo;"), QString(QChar(0x201D)))
            .replace(QLatin1String("&mdash;"), QString(QChar(0x2014)))
            .replace(QLatin1String("&ndash;"), QString(QChar(0x2013)))
            .replace(QLatin1String("&hellip;"), QString(QChar(0x2026)));
        plain = collapsed(plain);
        if (hasWords(plain))
            found.append(plain);
    }
    return found;
}

QStringList Transcript::sentencesOf(const QString &paragraph)
{
    QStringList pieces;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Sentence, paragraph);
    qsizetype from = 0;
    while (finder.toNextBoundary() >= 0) {
        const qsizetype to = finder.position();
        if (to > from)
            pieces.append(paragraph.mid(from, to - from));
        from = to;
    }
    // A piece that goes on in lower case continues the sentence before it:
    // "Where are you going?" he asked.
    auto continues = [](const QString &piece) {
        for (const QChar c : piece) {
            if (c.isLetterOrNumber())
                return c.isLower();
        }
        return false;
    };
    QStringList sentences;
    QString pending;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        pending += pieces[i];
        const bool goesOn = i + 1 < pieces.size() && continues(pieces[i + 1]);
        if (!goesOn && !endsInAbbreviation(pending) && hasWords(pending)) {
            sentences.append(collapsed(pending));
            pending.clear();
        }
    }
    // What is left: an abbreviation that ends the paragraph, or a piece
    // without words (a dash, a lone quote), which goes with the sentence
    // before it.
    if (!collapsed(pending).isEmpty()) {
        if (hasWords(pending) || sentences.isEmpty())
            sentences.append(collapsed(pending));
        else
            sentences.last() = collapsed(sentences.last() + QLatin1Char(' ') + pending);
    }
    return sentences;
}

bool Transcript::setText(const QString &text, bool html)
{
    m_sentences.clear();
    m_error.clear();
    const QStringList paragraphList = html ? htmlParagraphs(text) : paragraphs(text);
    for (qsizetype p = 0; p < paragraphList.size(); ++p) {
        for (const QString &sentence : sentencesOf(paragraphList[p]))
            m_sentences.append(Sentence{sentence, int(p)});
    }
    if (m_sentences.isEmpty()) {
        m_error = tr("The transcript holds no words.");
        return false;
    }
    return true;
}

bool Transcript::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_sentences.clear();
        m_error = tr("Cannot read the transcript %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    const QString text = Subtitles::decodeText(file.readAll());
    const QString suffix = QFileInfo(path).suffix().toLower();
    static const QRegularExpression markup(QStringLiteral("^\\s*<(!doctype|html|body|p|div)\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    const bool html = suffix == QLatin1String("html") || suffix == QLatin1String("htm") || markup.match(text).hasMatch();
    if (!setText(text, html)) {
        m_error = tr("The transcript %1 holds no words.").arg(QDir::toNativeSeparators(path));
        return false;
    }
    return true;
}

QStringList Transcript::filesBeside(const QString &mediaPath)
{
    const QFileInfo media(mediaPath);
    const QDir dir = media.absoluteDir();
    QStringList found;
    auto offer = [&](const QString &name) {
        const QString path = dir.filePath(name);
        if (QFileInfo(path).isFile() && !found.contains(path))
            found.append(path);
    };
    // "lesson.mp3.html" is where the editor keeps the learner's dictation
    // of lesson.mp3, never a transcript.
    const QString base = media.completeBaseName();
    for (const QString &ending : {QStringLiteral(".txt"), QStringLiteral(".transcript.txt"), QStringLiteral(".html"),
                                  QStringLiteral(".htm")})
        offer(base + ending);
    for (const QString &ending : {QStringLiteral(".txt"), QStringLiteral(".transcript.txt")})
        offer(media.fileName() + ending);
    return found;
}

QString Transcript::fileFilter()
{
    return tr("Transcripts (*.txt *.html *.htm);;All files (*)");
}
