// The cleanups of diff_match_patch: merging, and the semantic cleanup that
// makes a minimal diff readable. Qt 6 lists may move their elements on every
// insertion and removal, so all walks below hold indices.

#include "diff/diff_match_patch.h"

#include <QStringView>

#include <algorithm>

namespace {

bool endsWithBlankLine(QStringView text)
{
    return text.endsWith(u"\n\n") || text.endsWith(u"\n\r\n");
}

bool startsWithBlankLine(QStringView text)
{
    return text.startsWith(u"\n\n") || text.startsWith(u"\n\r\n") || text.startsWith(u"\r\n\n")
        || text.startsWith(u"\r\n\r\n");
}

// How good a boundary between one and two is for the edge of an edit.
int semanticScore(QStringView one, QStringView two)
{
    if (one.isEmpty() || two.isEmpty())
        return 10;
    const QChar last = one.back();
    const QChar first = two.front();
    int score = 0;
    if (!last.isLetterOrNumber() || !first.isLetterOrNumber()) {
        ++score;
        if (last.isSpace() || first.isSpace()) {
            ++score;
            if (last.category() == QChar::Other_Control
                || first.category() == QChar::Other_Control) {
                ++score;
                if (endsWithBlankLine(one) || startsWithBlankLine(two))
                    ++score;
            }
        }
    }
    return score;
}

} // namespace

int diff_match_patch::diff_cleanupSemanticScore(const QString &one, const QString &two)
{
    return semanticScore(one, two);
}

// Joins neighbours of one kind, moves the common prefix and suffix of each
// deletion/insertion group into the surrounding equalities, drops empty
// pieces, then slides single edits over a neighbouring equality where that
// removes the equality; repeats while the slides change anything.
void diff_match_patch::diff_cleanupMerge(QList<Diff> &diffs) const
{
    mergeGroups(diffs);
    if (slideSingleEdits(diffs))
        diff_cleanupMerge(diffs);
}

// Leaves at most one deletion followed by one insertion between equalities.
void diff_match_patch::mergeGroups(QList<Diff> &diffs)
{
    diffs.append(Diff(EQUAL, QString())); // closes the last group
    qsizetype pointer = 0;
    int countDelete = 0;
    int countInsert = 0;
    QString textDelete;
    QString textInsert;
    while (pointer < diffs.size()) {
        if (diffs[pointer].text.isEmpty() && pointer != diffs.size() - 1) {
            diffs.removeAt(pointer);
            continue;
        }
        switch (diffs[pointer].operation) {
        case INSERT:
            ++countInsert;
            textInsert += diffs[pointer].text;
            ++pointer;
            break;
        case DELETE:
            ++countDelete;
            textDelete += diffs[pointer].text;
            ++pointer;
            break;
        case EQUAL:
            if (countDelete + countInsert > 1) {
                if (countDelete != 0 && countInsert != 0) {
                    int common = diff_commonPrefix(textInsert, textDelete);
                    if (common != 0) {
                        const qsizetype before = pointer - countDelete - countInsert - 1;
                        if (before >= 0) {
                            if (diffs[before].operation != EQUAL)
                                throw DiffError("Previous diff should have been an equality.");
                            diffs[before].text += textInsert.left(common);
                        } else {
                            diffs.insert(0, Diff(EQUAL, textInsert.left(common)));
                            ++pointer;
                        }
                        textInsert = textInsert.mid(common);
                        textDelete = textDelete.mid(common);
                    }
                    common = diff_commonSuffix(textInsert, textDelete);
                    if (common != 0) {
                        diffs[pointer].text = textInsert.right(common) + diffs[pointer].text;
                        textInsert.chop(common);
                        textDelete.chop(common);
                    }
                }
                const qsizetype start = pointer - countDelete - countInsert;
                diffs.remove(start, countDelete + countInsert);
                pointer = start;
                if (!textDelete.isEmpty())
                    diffs.insert(pointer++, Diff(DELETE, textDelete));
                if (!textInsert.isEmpty())
                    diffs.insert(pointer++, Diff(INSERT, textInsert));
                if (pointer == start && start > 0 && diffs[start - 1].operation == EQUAL) {
                    // The whole group was common text: join the equalities.
                    diffs[start - 1].text += diffs[pointer].text;
                    diffs.removeAt(pointer);
                } else {
                    ++pointer;
                }
            } else if (pointer != 0 && diffs[pointer - 1].operation == EQUAL) {
                diffs[pointer - 1].text += diffs[pointer].text;
                diffs.removeAt(pointer);
            } else {
                ++pointer;
            }
            countDelete = countInsert = 0;
            textDelete.clear();
            textInsert.clear();
            break;
        }
    }
    if (!diffs.isEmpty() && diffs.last().text.isEmpty())
        diffs.removeLast();
}

// A<ins>BA</ins>C becomes <ins>AB</ins>AC, and A<ins>CB</ins>C becomes
// AC<ins>BC</ins>: one equality fewer. Returns whether anything moved.
bool diff_match_patch::slideSingleEdits(QList<Diff> &diffs)
{
    bool changes = false;
    qsizetype pointer = 1;
    while (pointer < diffs.size() - 1) {
        if (diffs[pointer - 1].operation == EQUAL && diffs[pointer + 1].operation == EQUAL) {
            const QString previous = diffs[pointer - 1].text;
            const QString next = diffs[pointer + 1].text;
            const QString edit = diffs[pointer].text;
            if (edit.endsWith(previous)) {
                diffs[pointer].text = previous + edit.left(edit.size() - previous.size());
                diffs[pointer + 1].text = previous + next;
                diffs.removeAt(pointer - 1);
                changes = true;
            } else if (edit.startsWith(next)) {
                diffs[pointer - 1].text += next;
                diffs[pointer].text = edit.mid(next.size()) + next;
                diffs.removeAt(pointer + 1);
                changes = true;
            }
        }
        ++pointer;
    }
    return changes;
}

// Makes a minimal diff readable: chance equalities inside rewritten text go,
// edits slide to word and line boundaries, and a deletion whose end repeats
// as the start of the following insertion gives that overlap back as kept text.
void diff_match_patch::diff_cleanupSemantic(QList<Diff> &diffs) const
{
    if (diffs.isEmpty())
        return;
    if (eliminateEqualities(diffs))
        diff_cleanupMerge(diffs);
    diff_cleanupSemanticLossless(diffs);
    eliminateOverlaps(diffs);
}

// Turns into a deletion plus an insertion every equality that is no longer
// than the larger edit kind on each side of it. Returns whether it did.
bool diff_match_patch::eliminateEqualities(QList<Diff> &diffs)
{
    bool changes = false;
    QList<qsizetype> equalities; // indices of the equalities still in question
    QString lastEquality;        // text of the last of them
    bool haveLastEquality = false;
    qsizetype insertionsBefore = 0; // lengths changed since the equality before lastEquality
    qsizetype deletionsBefore = 0;
    qsizetype insertionsAfter = 0; // and after lastEquality
    qsizetype deletionsAfter = 0;
    qsizetype pointer = 0;
    while (pointer < diffs.size()) {
        if (diffs[pointer].operation == EQUAL) {
            equalities.append(pointer);
            insertionsBefore = insertionsAfter;
            deletionsBefore = deletionsAfter;
            insertionsAfter = 0;
            deletionsAfter = 0;
            lastEquality = diffs[pointer].text;
            haveLastEquality = true;
        } else {
            if (diffs[pointer].operation == INSERT)
                insertionsAfter += diffs[pointer].text.size();
            else
                deletionsAfter += diffs[pointer].text.size();
            if (haveLastEquality
                && lastEquality.size() <= std::max(insertionsBefore, deletionsBefore)
                && lastEquality.size() <= std::max(insertionsAfter, deletionsAfter)) {
                const qsizetype at = equalities.takeLast();
                diffs.insert(at, Diff(DELETE, lastEquality));
                diffs[at + 1].operation = INSERT;
                // The equality before may now be small next to its edits:
                // walk back and look at it again.
                if (!equalities.isEmpty())
                    equalities.removeLast();
                pointer = equalities.isEmpty() ? -1 : equalities.last();
                insertionsBefore = deletionsBefore = 0;
                insertionsAfter = deletionsAfter = 0;
                lastEquality.clear();
                haveLastEquality = false;
                changes = true;
            }
        }
        ++pointer;
    }
    return changes;
}

// Slides each single edit between two equalities to the boundary that scores
// best, e.g. "The c<ins>at c</ins>ame." to "The <ins>cat </ins>came.".
void diff_match_patch::diff_cleanupSemanticLossless(QList<Diff> &diffs) const
{
    qsizetype pointer = 1;
    while (pointer < diffs.size() - 1) {
        if (diffs[pointer - 1].operation != EQUAL || diffs[pointer + 1].operation != EQUAL) {
            ++pointer;
            continue;
        }
        // Sliding only moves the two borders inside equality1 + edit +
        // equality2, so work on that text and the border positions.
        const qsizetype length1 = diffs[pointer - 1].text.size();
        const qsizetype editLength = diffs[pointer].text.size();
        const QString all = diffs[pointer - 1].text + diffs[pointer].text + diffs[pointer + 1].text;
        const QStringView view(all);

        // As far left as the common suffix allows...
        qsizetype start = length1 - diff_commonSuffix(diffs[pointer - 1].text, diffs[pointer].text);
        auto scoreAt = [&](qsizetype s) {
            const QStringView edit = view.mid(s, editLength);
            return semanticScore(view.left(s), edit) + semanticScore(edit, view.mid(s + editLength));
        };
        qsizetype bestStart = start;
        int bestScore = scoreAt(start);
        // ...then right one character at a time; a later place wins a tie,
        // which keeps blanks at the end of edits rather than at the start.
        while (editLength > 0 && start + editLength < all.size()
               && all[start] == all[start + editLength]) {
            ++start;
            const int score = scoreAt(start);
            if (score >= bestScore) {
                bestScore = score;
                bestStart = start;
            }
        }

        if (bestStart != length1) {
            const QString bestEquality2 = all.mid(bestStart + editLength);
            if (bestStart > 0) {
                diffs[pointer - 1].text = all.left(bestStart);
            } else {
                diffs.removeAt(pointer - 1);
                --pointer;
            }
            diffs[pointer].text = all.mid(bestStart, editLength);
            if (!bestEquality2.isEmpty()) {
                diffs[pointer + 1].text = bestEquality2;
            } else {
                diffs.removeAt(pointer + 1);
                --pointer;
            }
        }
        ++pointer;
    }
}

// <del>abcxxx</del><ins>xxxdef</ins> becomes <del>abc</del>xxx<ins>def</ins>
// when the overlap is at least half of either edit. Only a deletion followed
// by an insertion is looked at.
void diff_match_patch::eliminateOverlaps(QList<Diff> &diffs)
{
    qsizetype pointer = 1;
    while (pointer < diffs.size()) {
        if (diffs[pointer - 1].operation == DELETE && diffs[pointer].operation == INSERT) {
            const QString deletion = diffs[pointer - 1].text;
            const QString insertion = diffs[pointer].text;
            const qsizetype overlap = diff_commonOverlap(deletion, insertion);
            if (overlap != 0
                && (overlap * 2 >= deletion.size() || overlap * 2 >= insertion.size())) {
                diffs.insert(pointer, Diff(EQUAL, insertion.left(overlap)));
                diffs[pointer - 1].text = deletion.left(deletion.size() - overlap);
                diffs[pointer + 1].text = insertion.mid(overlap);
                ++pointer;
            }
            ++pointer;
        }
        ++pointer;
    }
}
