#include "diff/wordalignment.h"

#include <QHash>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <vector>

namespace {

constexpr int insertCost = 3;
constexpr int deleteCost = 3;
constexpr int substituteCost = 4;
// Far above any real cost, yet far enough below the int limit that adding a
// step's cost to it cannot overflow.
constexpr int unreachable = std::numeric_limits<int>::max() / 2;
// The most cells the table of moves may hold (one byte each).
constexpr size_t maxMoves = size_t(1) << 26;

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

// How a cell of the cost table was reached.
enum Move : quint8 {
    Diagonal, // a word from each side: correct or substituted
    Up,       // a reference word alone: deleted
    Left,     // a dictation word alone: inserted
};

// The least cost of aligning a[0..n) with b[0..m) when only cells on the
// diagonals lo..hi (diagonal k holds the cells with j - i == k) may be
// used, with the move into each cell in moves (row by row, width hi - lo + 1).
// The band must hold the diagonals 0 and m - n.
int alignInBand(const int *a, int n, const int *b, int m, int lo, int hi, std::vector<quint8> &moves)
{
    const int width = hi - lo + 1;
    moves.assign(size_t(n + 1) * size_t(width), Left);
    // Cost by diagonal, shifted by one so that the cells just outside the
    // band read as unreachable.
    std::vector<int> previous(size_t(width) + 2, unreachable);
    std::vector<int> current(size_t(width) + 2, unreachable);
    for (int k = std::max(0, lo); k <= std::min(m, hi); ++k)
        previous[size_t(k - lo + 1)] = insertCost * k;

    for (int i = 1; i <= n; ++i) {
        std::fill(current.begin(), current.end(), unreachable);
        quint8 *row = moves.data() + size_t(i) * size_t(width);
        const int kFrom = std::max(lo, -i);
        const int kTo = std::min(hi, m - i);
        for (int k = kFrom; k <= kTo; ++k) {
            const int j = i + k;
            const size_t x = size_t(k - lo + 1);
            int best = previous[x + 1] + deleteCost;
            quint8 move = Up;
            if (j > 0) {
                const int diagonal = previous[x] + (a[i - 1] == b[j - 1] ? 0 : substituteCost);
                if (diagonal <= best) {
                    best = diagonal;
                    move = Diagonal;
                }
                const int left = current[x - 1] + insertCost;
                if (left < best) {
                    best = left;
                    move = Left;
                }
            }
            current[x] = best;
            row[k - lo] = move;
        }
        std::swap(previous, current);
    }
    return previous[size_t(m - n - lo + 1)];
}

// The fewest insertions plus deletions of any path through diagonal k,
// times their cost: a bound on the cost of every alignment leaving a band.
int leastCostThrough(int k, int n, int m)
{
    if (k < -n || k > m)
        return unreachable;
    return insertCost * (std::abs(k) + std::abs(m - n - k));
}

// Appends the alignment of a[0..n) with b[0..m), offset by the given word
// indices, to steps.
void alignMiddle(const int *a, int n, const int *b, int m, int referenceOffset, int dictationOffset,
                 QList<WordStep> &steps)
{
    // The band grows until no alignment outside it could cost less than
    // the best one inside: a dictation with few faults stays close to the
    // diagonal, so the table stays narrow.
    // Two unrelated long texts would need the whole table; past
    // maxMoves cells the band stops growing and its best alignment, if
    // not the best of all, is taken.
    std::vector<quint8> moves;
    int margin = 16;
    int lo = 0;
    int hi = 0;
    for (;;) {
        const int fitting = int(std::min<size_t>(maxMoves / size_t(n + 1), size_t(n + m + 1)));
        const bool last = std::abs(m - n) + 2 * margin + 1 >= fitting;
        if (last)
            margin = std::max(0, (fitting - 1 - std::abs(m - n)) / 2);
        lo = std::max(-n, std::min(0, m - n) - margin);
        hi = std::min(m, std::max(0, m - n) + margin);
        const int cost = alignInBand(a, n, b, m, lo, hi, moves);
        const int outside = std::min(leastCostThrough(lo - 1, n, m), leastCostThrough(hi + 1, n, m));
        if (last || cost <= outside)
            break;
        // The band's best alignment bounds the best of all; a band wide
        // enough that leaving it costs more than that is the last needed.
        margin = std::max(margin * 2, (cost / insertCost - std::abs(m - n)) / 2 + 1);
    }

    const int width = hi - lo + 1;
    QList<WordStep> reversed;
    int i = n;
    int j = m;
    while (i > 0 || j > 0) {
        const quint8 move = moves[size_t(i) * size_t(width) + size_t(j - i - lo)];
        WordStep step;
        if (move == Diagonal) {
            --i;
            --j;
            step.edit = a[i] == b[j] ? WordEdit::Correct : WordEdit::Substituted;
            step.reference = referenceOffset + i;
            step.dictation = dictationOffset + j;
        } else if (move == Up) {
            --i;
            step.edit = WordEdit::Deleted;
            step.reference = referenceOffset + i;
        } else {
            --j;
            step.edit = WordEdit::Inserted;
            step.dictation = dictationOffset + j;
        }
        reversed.append(step);
    }
    std::reverse(reversed.begin(), reversed.end());
    steps.append(reversed);
}

} // namespace

QList<TextWord> splitWords(const QString &text)
{
    QList<TextWord> words;
    int line = 0;
    qsizetype i = 0;
    const qsizetype size = text.size();
    while (i < size) {
        qsizetype units = 1;
        const char32_t c = codePointAt(text, i, &units);
        if (!isWordChar(c)) {
            if (isLineBreak(c))
                ++line;
            i += units;
            continue;
        }
        const qsizetype start = i;
        bool apostrophe = false;
        for (;;) {
            i += units;
            if (i >= size)
                break;
            char32_t next = codePointAt(text, i, &units);
            if (isApostrophe(next) && i + units < size) {
                qsizetype afterUnits = 1;
                const char32_t after = codePointAt(text, i + units, &afterUnits);
                if (isWordChar(after)) {
                    apostrophe = true;
                    i += units;
                    next = after;
                    units = afterUnits;
                }
            }
            if (!isWordChar(next))
                break;
        }
        QString key = text.mid(start, i - start).toLower();
        if (apostrophe)
            key.replace(u'\u2019', u'\'').replace(u'\u02BC', u'\'');
        words.append({std::move(key), start, i - start, line});
    }
    return words;
}

QList<WordStep> alignWords(const QList<TextWord> &reference, const QList<TextWord> &dictation)
{
    // Words become numbers, so the table compares integers.
    QHash<QString, int> ids;
    ids.reserve(reference.size() + dictation.size());
    auto idOf = [&ids](const QString &key) {
        const auto it = ids.constFind(key);
        if (it != ids.constEnd())
            return it.value();
        const int id = int(ids.size());
        ids.insert(key, id);
        return id;
    };
    std::vector<int> a;
    std::vector<int> b;
    a.reserve(size_t(reference.size()));
    b.reserve(size_t(dictation.size()));
    for (const TextWord &word : reference)
        a.push_back(idOf(word.key));
    for (const TextWord &word : dictation)
        b.push_back(idOf(word.key));

    const int n = int(a.size());
    const int m = int(b.size());
    QList<WordStep> steps;
    steps.reserve(std::max(n, m));

    // Equal words at either end are always part of a best alignment (an
    // insertion and a deletion cost the same), so only the middle needs
    // the table.
    int prefix = 0;
    while (prefix < n && prefix < m && a[size_t(prefix)] == b[size_t(prefix)]) {
        steps.append({WordEdit::Correct, prefix, prefix});
        ++prefix;
    }
    int suffix = 0;
    while (suffix < n - prefix && suffix < m - prefix
           && a[size_t(n - 1 - suffix)] == b[size_t(m - 1 - suffix)])
        ++suffix;

    alignMiddle(a.data() + prefix, n - prefix - suffix, b.data() + prefix, m - prefix - suffix,
                prefix, prefix, steps);

    for (int s = suffix; s > 0; --s)
        steps.append({WordEdit::Correct, n - s, m - s});
    return steps;
}
