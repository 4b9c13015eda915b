// Line mode of diff_match_patch: a quick diff of whole lines first, for long
// texts, with the replaced blocks then compared by characters.

#include "diff/diff_match_patch.h"

#include <QHash>

namespace {

// Replaces each line of text (up to and including its line feed) by one
// UTF-16 unit numbering it in lineArray. False once a line would need a
// number beyond 0xFFFF, which would alias an earlier line.
bool linesToCharsMunge(const QString &text, QStringList &lineArray, QHash<QString, int> &lineHash,
                       QString &chars)
{
    chars.clear();
    qsizetype lineStart = 0;
    qsizetype lineEnd = -1;
    while (lineEnd < text.size() - 1) {
        lineEnd = text.indexOf(QLatin1Char('\n'), lineStart);
        if (lineEnd == -1)
            lineEnd = text.size() - 1;
        const QString line = text.mid(lineStart, lineEnd + 1 - lineStart);
        lineStart = lineEnd + 1;

        const auto found = lineHash.constFind(line);
        if (found != lineHash.constEnd()) {
            chars += QChar(char16_t(found.value()));
            continue;
        }
        if (lineArray.size() > 0xFFFF)
            return false;
        lineArray.append(line);
        lineHash.insert(line, int(lineArray.size() - 1));
        chars += QChar(char16_t(lineArray.size() - 1));
    }
    return true;
}

} // namespace

// A quick line-level diff, then every replaced block again by characters.
QList<Diff> diff_match_patch::diff_lineMode(const QString &text1, const QString &text2,
                                            qint64 deadline) const
{
    QString chars1;
    QString chars2;
    QStringList lineArray;
    // Too many distinct lines to number: character mode still gives a right
    // answer, only slower.
    if (!diff_linesToChars(text1, text2, chars1, chars2, lineArray))
        return diff_bisect(text1, text2, deadline);

    QList<Diff> diffs = diff_main(chars1, chars2, false, deadline);
    diff_charsToLines(diffs, lineArray);
    // Drops chance matches such as blank lines between rewritten paragraphs.
    diff_cleanupSemantic(diffs);

    QList<Diff> result;
    result.reserve(diffs.size());
    QList<Diff> group;
    int countDelete = 0;
    int countInsert = 0;
    QString textDelete;
    QString textInsert;
    auto flushGroup = [&] {
        if (countDelete >= 1 && countInsert >= 1)
            result += diff_main(textDelete, textInsert, false, deadline);
        else
            result += group;
        group.clear();
        countDelete = countInsert = 0;
        textDelete.clear();
        textInsert.clear();
    };
    for (const Diff &diff : std::as_const(diffs)) {
        switch (diff.operation) {
        case INSERT:
            ++countInsert;
            textInsert += diff.text;
            group.append(diff);
            break;
        case DELETE:
            ++countDelete;
            textDelete += diff.text;
            group.append(diff);
            break;
        case EQUAL:
            flushGroup();
            result.append(diff);
            break;
        }
    }
    flushGroup();
    return result;
}

bool diff_match_patch::diff_linesToChars(const QString &text1, const QString &text2,
                                         QString &chars1, QString &chars2, QStringList &lineArray)
{
    QHash<QString, int> lineHash;
    lineArray.clear();
    // Number 0 stays unused, so that no line becomes a NUL unit.
    lineArray.append(QString());
    return linesToCharsMunge(text1, lineArray, lineHash, chars1)
        && linesToCharsMunge(text2, lineArray, lineHash, chars2);
}

void diff_match_patch::diff_charsToLines(QList<Diff> &diffs, const QStringList &lineArray)
{
    for (qsizetype i = 0; i < diffs.size(); ++i) {
        QString text;
        for (const QChar c : std::as_const(diffs[i].text))
            text += lineArray.at(c.unicode());
        diffs[i].text = text;
    }
}
