#include "diff/wordalignment.h"

#include <QHash>
#include <QStringView>

#include <algorithm>
#include <array>
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

// Whether a is at most two single-letter edits (insertion, deletion,
// replacement, or swapping two neighbours) away from b, as written. Only
// the cells within two of the diagonal can stay at two or less, so the
// rows hold five cells each, and nothing is allocated.
bool withinTwoEdits(QStringView a, QStringView b)
{
    const qsizetype n = a.size();
    const qsizetype m = b.size();
    if (std::abs(int(n - m)) > 2)
        return false;
    constexpr int over = 3;   // any distance beyond two
    constexpr int band = 2;   // cells of a row: j - i from -band to band
    auto at = [](const std::array<int, 2 * band + 1> &row, qsizetype i, qsizetype j) {
        const qsizetype k = j - i + band;
        return k < 0 || k > 2 * band ? over : row[size_t(k)];
    };
    std::array<int, 2 * band + 1> before{};
    std::array<int, 2 * band + 1> previous{};
    std::array<int, 2 * band + 1> current{};
    before.fill(over);
    previous.fill(over);
    for (qsizetype j = 0; j <= std::min<qsizetype>(m, band); ++j)
        previous[size_t(j + band)] = int(j);
    for (qsizetype i = 1; i <= n; ++i) {
        current.fill(over);
        int least = over;
        for (qsizetype j = std::max<qsizetype>(0, i - band); j <= std::min(m, i + band); ++j) {
            int d = i <= band && j == 0 ? int(i) : over;
            if (j > 0) {
                const bool same = a[i - 1] == b[j - 1];
                d = std::min({at(previous, i - 1, j) + 1, at(current, i, j - 1) + 1,
                              at(previous, i - 1, j - 1) + (same ? 0 : 1)});
                if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                    d = std::min(d, at(before, i - 2, j - 2) + 1);
            }
            d = std::min(d, over);
            current[size_t(j - i + band)] = d;
            least = std::min(least, d);
        }
        if (least >= over)
            return false;
        before = previous;
        previous = current;
    }
    return at(previous, n, m) <= band;
}

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
    // By id: a bit for each letter present, and the key's length.
    struct Shape
    {
        quint32 letters = 0;
        int length = 0;
    };
    std::vector<Shape> shapes;
    std::vector<Shape> dictationShapes; // by place in the dictation
    // What alike() said of a pair, by the reference word's id and then the
    // dictation word's: 0 not asked yet, 1 alike, 2 unlike. A table for a
    // reference word is made when first asked about; with a very large
    // vocabulary only the last one is kept.
    std::vector<std::vector<quint8>> alikeTables;
    int sharedTableWord = -1; // whose table alikeTables[0] is, with a large vocabulary

    // Whether two words may be alike: a test of their shapes that tells
    // most pairs apart without the edit distance. Two edits change the
    // length by two at most and at most four letters of the set; with five
    // lowest bits cleared, some are left when more than four differ.
    static bool mayBeAlike(Shape p, Shape q)
    {
        quint32 differing = p.letters ^ q.letters;
        for (int bit = 0; bit < 5; ++bit)
            differing &= differing - 1;
        // One branch for all of it: the outcome is hard to predict.
        return (differing == 0) & (unsigned(p.length - q.length + 2) <= 4u) & (p.length >= 3)
            & (q.length >= 3);
    }

    // For a pair that mayBeAlike().
    Cost unlikeCost(int x, int y)
    {
        // 16 MB of tables at most.
        constexpr qsizetype keptVocabulary = 4096;
        const bool shared = keys.size() > keptVocabulary;
        std::vector<quint8> &table = alikeTables[shared ? 0 : size_t(x)];
        if (table.empty() || (shared && sharedTableWord != x)) {
            table.assign(size_t(keys.size()), 0);
            sharedTableWord = x;
        }
        quint8 &known = table[size_t(y)];
        if (known == 0)
            known = alike(keys[x], keys[y]) ? 1 : 2;
        return known == 1 ? 0 : unlike;
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
    const Words::Shape *shapes = words.shapes.data();
    const Words::Shape *dictationShapes = words.dictationShapes.data() + to;
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
        const Words::Shape rowShape = shapes[size_t(a[i - 1])];
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
                    if (diagonal <= best) {
                        diagonal += Words::mayBeAlike(rowShape, dictationShapes[j - 1])
                            ? words.unlikeCost(a[i - 1], b[j - 1])
                            : unlike;
                    }
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
        words.shapes.push_back({set, int(key.size())});
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
    words.dictationShapes.reserve(words.b.size());
    for (const int id : words.b)
        words.dictationShapes.push_back(words.shapes[size_t(id)]);
    words.alikeTables.resize(size_t(words.keys.size()));
    return words;
}

} // namespace

bool withinTwoLetters(const QString &written, const QString &meant)
{
    return withinTwoEdits(written.toLower(), meant.toLower());
}

bool alike(const QString &a, const QString &b)
{
    return a.size() >= 3 && b.size() >= 3 && withinTwoEdits(a, b);
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
