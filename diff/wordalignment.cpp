#include "diff/wordalignment.h"

#include <QHash>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <limits>
#include <vector>

namespace {

constexpr int insertCost = 3;
constexpr int deleteCost = 3;
constexpr int substituteCost = 4;

// A cell's cost is one number ordered as the alignment's preferences are:
// the sclite cost above all, then the sentence drifts, then the
// substitutions of words unlike in spelling. Each of the two lower fields
// counts at most one per step, and texts of fewer than 2^20 words cannot
// carry them into the field above.
using Cost = qint64;
constexpr int driftShift = 20;
constexpr int costShift = 40;
constexpr Cost drift = Cost(1) << driftShift;
constexpr Cost unlike = 1;
constexpr Cost costOf(int sclite)
{
    return Cost(sclite) << costShift;
}
int scliteOf(Cost cost)
{
    return int(cost >> costShift);
}
// Far above any real cost, yet far enough below the limit that adding a
// step's cost to it cannot overflow.
constexpr Cost unreachable = std::numeric_limits<Cost>::max() / 4;
// The most cells the table of moves may hold (one byte each).
constexpr size_t maxMoves = size_t(1) << 26;

// How a cell of the cost table was reached.
enum Move : quint8 {
    Diagonal, // a word from each side: correct or substituted
    Up,       // a reference word alone: deleted
    Left,     // a dictation word alone: inserted
};

// The words of both texts as numbers, with what the tie-breaks need.
struct Words
{
    std::vector<int> a; // the reference's word ids
    std::vector<int> b; // the dictation's
    // Per reference word: it opens a line other than the word before's.
    std::vector<quint8> opensLine;
    // Per place in the dictation (before word j, j = 0..m): between two
    // of its sentences, or at either end.
    std::vector<quint8> betweenSentences;
    QList<QString> keys; // by id
    std::vector<quint32> letters; // by id: a bit for each letter present
    // Pairs of ids already told apart by alike(), keyed a << 32 | b.
    QHash<quint64, bool> alikePairs;

    Cost unlikeCost(int x, int y)
    {
        const QString &p = keys[x];
        const QString &q = keys[y];
        // Two edits change at most four letters of the set: most pairs are
        // told apart here, without the edit distance.
        if (std::abs(int(p.size() - q.size())) > 2 || p.size() < 3 || q.size() < 3
            || std::popcount(letters[size_t(x)] ^ letters[size_t(y)]) > 4)
            return unlike;
        const quint64 pair = quint64(quint32(x)) << 32 | quint32(y);
        auto it = alikePairs.constFind(pair);
        if (it == alikePairs.constEnd())
            it = alikePairs.insert(pair, alike(p, q));
        return it.value() ? 0 : unlike;
    }
};

// The least sclite cost of aligning the reference words [from, from + n)
// with the dictation words [to, to + m) when only cells on the diagonals
// lo..hi (diagonal k holds the cells with j - i == k) may be used, with the
// move into each cell in moves (row by row, width hi - lo + 1). The band
// must hold the diagonals 0 and m - n.
int alignInBand(Words &words, int from, int n, int to, int m, int lo, int hi, std::vector<quint8> &moves)
{
    const int *a = words.a.data() + from;
    const int *b = words.b.data() + to;
    const quint8 *opensLine = words.opensLine.data() + from;
    const quint8 *between = words.betweenSentences.data() + to;
    const int width = hi - lo + 1;
    moves.assign(size_t(n + 1) * size_t(width), Left);
    // Cost by diagonal, shifted by one so that the cells just outside the
    // band read as unreachable.
    std::vector<Cost> previous(size_t(width) + 2, unreachable);
    std::vector<Cost> current(size_t(width) + 2, unreachable);
    for (int k = std::max(0, lo); k <= std::min(m, hi); ++k)
        previous[size_t(k - lo + 1)] = costOf(insertCost * k);

    for (int i = 1; i <= n; ++i) {
        std::fill(current.begin(), current.end(), unreachable);
        quint8 *row = moves.data() + size_t(i) * size_t(width);
        const int kFrom = std::max(lo, -i);
        const int kTo = std::min(hi, m - i);
        // Taking reference word i - 1 into a new line while the dictation
        // stands inside a sentence is a drift.
        const bool newLine = opensLine[i - 1] != 0;
        for (int k = kFrom; k <= kTo; ++k) {
            const int j = i + k;
            const size_t x = size_t(k - lo + 1);
            Cost best = previous[x + 1] + costOf(deleteCost) + (newLine && !between[j] ? drift : 0);
            quint8 move = Up;
            if (j > 0) {
                Cost diagonal = previous[x] + (newLine && !between[j - 1] ? drift : 0);
                if (a[i - 1] != b[j - 1]) {
                    diagonal += costOf(substituteCost);
                    // Spelling is only worth comparing where it may decide.
                    if (diagonal <= best)
                        diagonal += words.unlikeCost(a[i - 1], b[j - 1]);
                }
                if (diagonal <= best) {
                    best = diagonal;
                    move = Diagonal;
                }
                const Cost left = current[x - 1] + costOf(insertCost);
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
    return scliteOf(previous[size_t(m - n - lo + 1)]);
}

// The fewest insertions plus deletions of any path through diagonal k,
// times their cost: a bound on the cost of every alignment leaving a band.
int leastCostThrough(int k, int n, int m)
{
    if (k < -n || k > m)
        return std::numeric_limits<int>::max() / 2;
    return insertCost * (std::abs(k) + std::abs(m - n - k));
}

// Appends the alignment of the reference words [from, from + n) with the
// dictation words [to, to + m) to steps.
void alignMiddle(Words &words, int from, int n, int to, int m, QList<WordStep> &steps)
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
        const int cost = alignInBand(words, from, n, to, m, lo, hi, moves);
        const int outside = std::min(leastCostThrough(lo - 1, n, m), leastCostThrough(hi + 1, n, m));
        // Equal costs outside the band could still win a tie-break.
        if (last || cost < outside)
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
            step.edit = words.a[size_t(from + i)] == words.b[size_t(to + j)] ? WordEdit::Correct
                                                                             : WordEdit::Substituted;
            step.reference = from + i;
            step.dictation = to + j;
        } else if (move == Up) {
            --i;
            step.edit = WordEdit::Deleted;
            step.reference = from + i;
        } else {
            --j;
            step.edit = WordEdit::Inserted;
            step.dictation = to + j;
        }
        reversed.append(step);
    }
    std::reverse(reversed.begin(), reversed.end());
    steps.append(reversed);
}

Words numbered(const QList<TextWord> &reference, const QList<TextWord> &dictation)
{
    Words words;
    // Words become numbers, so the table compares integers.
    QHash<QString, int> ids;
    ids.reserve(reference.size() + dictation.size());
    auto idOf = [&](const QString &key) {
        const auto it = ids.constFind(key);
        if (it != ids.constEnd())
            return it.value();
        const int id = int(ids.size());
        ids.insert(key, id);
        words.keys.append(key);
        quint32 set = 0;
        for (const QChar c : key)
            set |= quint32(1) << (c.unicode() % 32);
        words.letters.push_back(set);
        return id;
    };
    words.a.reserve(size_t(reference.size()));
    words.b.reserve(size_t(dictation.size()));
    for (qsizetype i = 0; i < reference.size(); ++i) {
        words.a.push_back(idOf(reference[i].key));
        words.opensLine.push_back(i > 0 && reference[i].line != reference[i - 1].line);
    }
    for (qsizetype j = 0; j <= dictation.size(); ++j) {
        if (j < dictation.size())
            words.b.push_back(idOf(dictation[j].key));
        words.betweenSentences.push_back(j == 0 || j == dictation.size()
                                         || dictation[j].sentence != dictation[j - 1].sentence);
    }
    return words;
}

} // namespace

bool withinTwoLetters(const QString &written, const QString &meant)
{
    const QString a = written.toLower();
    const QString b = meant.toLower();
    const qsizetype n = a.size();
    const qsizetype m = b.size();
    if (std::abs(int(n - m)) > 2)
        return false;
    // Edit distance with swaps of neighbours counted as one edit; three
    // rows are enough for the swap.
    std::vector<int> before(size_t(m) + 1), previous(size_t(m) + 1), current(size_t(m) + 1);
    for (qsizetype j = 0; j <= m; ++j)
        previous[size_t(j)] = int(j);
    for (qsizetype i = 1; i <= n; ++i) {
        current[0] = int(i);
        for (qsizetype j = 1; j <= m; ++j) {
            const bool same = a[i - 1] == b[j - 1];
            int d = std::min({previous[size_t(j)] + 1, current[size_t(j - 1)] + 1,
                              previous[size_t(j - 1)] + (same ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d = std::min(d, before[size_t(j - 2)] + 1);
            current[size_t(j)] = d;
        }
        std::swap(before, previous);
        std::swap(previous, current);
    }
    return previous[size_t(m)] <= 2;
}


bool alike(const QString &a, const QString &b)
{
    return a.size() >= 3 && b.size() >= 3 && withinTwoLetters(a, b);
}

QList<WordStep> alignWords(const QList<TextWord> &reference, const QList<TextWord> &dictation)
{
    Words words = numbered(reference, dictation);
    const std::vector<int> &a = words.a;
    const std::vector<int> &b = words.b;
    const int n = int(a.size());
    const int m = int(b.size());
    QList<WordStep> steps;
    steps.reserve(std::max(n, m));

    // Equal words at the start are always part of a best alignment (an
    // insertion and a deletion cost the same), so only the rest needs the
    // table.
    int prefix = 0;
    while (prefix < n && prefix < m && a[size_t(prefix)] == b[size_t(prefix)]) {
        steps.append({WordEdit::Correct, prefix, prefix});
        ++prefix;
    }
    // So are equal words at the end, as far as the cost goes; but when one
    // text is longer, the last words of a dictation that stops early may
    // equal the reference's last ones by chance, and pairing them would
    // pull that dictation's sentence to the end of the lesson.
    int suffix = 0;
    if (n == m) {
        while (suffix < n - prefix && a[size_t(n - 1 - suffix)] == b[size_t(m - 1 - suffix)])
            ++suffix;
    }

    alignMiddle(words, prefix, n - prefix - suffix, prefix, m - prefix - suffix, steps);

    for (int s = suffix; s > 0; --s)
        steps.append({WordEdit::Correct, n - s, m - s});
    return steps;
}
