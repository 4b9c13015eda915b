#include "diff/diff_match_patch.h"

#include <QElapsedTimer>
#include <QStringView>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

// Started while the program loads, so that clock() counts from process start.
const QElapsedTimer processTimer = [] {
    QElapsedTimer timer;
    timer.start();
    return timer;
}();

int commonPrefix(QStringView text1, QStringView text2)
{
    const qsizetype n = std::min(text1.size(), text2.size());
    qsizetype i = 0;
    while (i < n && text1[i] == text2[i])
        ++i;
    return int(i);
}

int commonSuffix(QStringView text1, QStringView text2)
{
    const qsizetype l1 = text1.size();
    const qsizetype l2 = text2.size();
    const qsizetype n = std::min(l1, l2);
    qsizetype i = 0;
    while (i < n && text1[l1 - 1 - i] == text2[l2 - 1 - i])
        ++i;
    return int(i);
}

} // namespace

QString Diff::toString() const
{
    static const char *const names[] = {"DELETE", "INSERT", "EQUAL"};
    QString shown = text;
    shown.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return QStringLiteral("Diff(%1,\"%2\")").arg(QLatin1String(names[operation]), shown);
}

qint64 diff_match_patch::clock()
{
    return processTimer.elapsed();
}

QList<Diff> diff_match_patch::diff_main(const QString &text1, const QString &text2) const
{
    return diff_main(text1, text2, true);
}

QList<Diff> diff_match_patch::diff_main(const QString &text1, const QString &text2,
                                        bool checklines) const
{
    qint64 deadline = std::numeric_limits<qint64>::max();
    if (Diff_Timeout > 0)
        deadline = clock() + qint64(Diff_Timeout * 1000);
    return diff_main(text1, text2, checklines, deadline);
}

QList<Diff> diff_match_patch::diff_main(const QString &text1, const QString &text2,
                                        bool checklines, qint64 deadline) const
{
    if (text1.isNull() || text2.isNull())
        throw DiffError("Null inputs. (diff_main)");

    QList<Diff> diffs;
    if (text1 == text2) {
        if (!text1.isEmpty())
            diffs.append(Diff(EQUAL, text1));
        return diffs;
    }

    const int prefixLength = diff_commonPrefix(text1, text2);
    const QString commonprefix = text1.left(prefixLength);
    QString chopped1 = text1.mid(prefixLength);
    QString chopped2 = text2.mid(prefixLength);

    const int suffixLength = diff_commonSuffix(chopped1, chopped2);
    const QString commonsuffix = chopped1.right(suffixLength);
    chopped1 = chopped1.left(chopped1.size() - suffixLength);
    chopped2 = chopped2.left(chopped2.size() - suffixLength);

    diffs = diff_compute(chopped1, chopped2, checklines, deadline);
    if (!commonprefix.isEmpty())
        diffs.prepend(Diff(EQUAL, commonprefix));
    if (!commonsuffix.isEmpty())
        diffs.append(Diff(EQUAL, commonsuffix));
    diff_cleanupMerge(diffs);
    return diffs;
}

// The texts have no common prefix or suffix here.
QList<Diff> diff_match_patch::diff_compute(const QString &text1, const QString &text2,
                                           bool checklines, qint64 deadline) const
{
    if (text1.isEmpty())
        return {Diff(INSERT, text2)};
    if (text2.isEmpty())
        return {Diff(DELETE, text1)};

    {
        const bool firstLonger = text1.size() > text2.size();
        const QString &longtext = firstLonger ? text1 : text2;
        const QString &shorttext = firstLonger ? text2 : text1;
        const qsizetype i = longtext.indexOf(shorttext);
        if (i != -1) {
            const Operation op = firstLonger ? DELETE : INSERT;
            return {Diff(op, longtext.left(i)), Diff(EQUAL, shorttext),
                    Diff(op, longtext.mid(i + shorttext.size()))};
        }
        // Not contained, so a single character cannot be kept.
        if (shorttext.size() == 1)
            return {Diff(DELETE, text1), Diff(INSERT, text2)};
    }

    const QStringList hm = diff_halfMatch(text1, text2);
    if (!hm.isEmpty()) {
        QList<Diff> diffs = diff_main(hm[0], hm[2], checklines, deadline);
        diffs.append(Diff(EQUAL, hm[4]));
        diffs += diff_main(hm[1], hm[3], checklines, deadline);
        return diffs;
    }

    if (checklines && text1.size() > 100 && text2.size() > 100)
        return diff_lineMode(text1, text2, deadline);
    return diff_bisect(text1, text2, deadline);
}

// Myers' O(ND) search for the middle snake, from both ends at once.
QList<Diff> diff_match_patch::diff_bisect(const QString &text1, const QString &text2,
                                          qint64 deadline) const
{
    const int text1Length = int(text1.size());
    const int text2Length = int(text2.size());
    const QChar *a = text1.constData();
    const QChar *b = text2.constData();
    const int maxD = (text1Length + text2Length + 1) / 2;
    const int vOffset = maxD;
    const int vLength = 2 * maxD;
    // Two spare cells keep the seed at vOffset + 1 inside for one-character texts.
    std::vector<int> v1(vLength + 2, -1);
    std::vector<int> v2(vLength + 2, -1);
    v1[vOffset + 1] = 0;
    v2[vOffset + 1] = 0;
    const int delta = text1Length - text2Length;
    // With an odd total the forward path meets the reverse one, otherwise
    // the reverse path meets the forward one.
    const bool front = delta % 2 != 0;
    // Trims of the k range that keep the walk inside the edit graph.
    int k1start = 0;
    int k1end = 0;
    int k2start = 0;
    int k2end = 0;
    for (int d = 0; d < maxD; ++d) {
        if (clock() > deadline)
            break;

        for (int k1 = -d + k1start; k1 <= d - k1end; k1 += 2) {
            const int k1Offset = vOffset + k1;
            int x1;
            if (k1 == -d || (k1 != d && v1[k1Offset - 1] < v1[k1Offset + 1]))
                x1 = v1[k1Offset + 1];
            else
                x1 = v1[k1Offset - 1] + 1;
            int y1 = x1 - k1;
            while (x1 < text1Length && y1 < text2Length && a[x1] == b[y1]) {
                ++x1;
                ++y1;
            }
            v1[k1Offset] = x1;
            if (x1 > text1Length) {
                k1end += 2; // ran off the right
            } else if (y1 > text2Length) {
                k1start += 2; // ran off the bottom
            } else if (front) {
                const int k2Offset = vOffset + delta - k1;
                if (k2Offset >= 0 && k2Offset < vLength && v2[k2Offset] != -1) {
                    const int x2 = text1Length - v2[k2Offset];
                    if (x1 >= x2)
                        return diff_bisectSplit(text1, text2, x1, y1, deadline);
                }
            }
        }

        for (int k2 = -d + k2start; k2 <= d - k2end; k2 += 2) {
            const int k2Offset = vOffset + k2;
            int x2;
            if (k2 == -d || (k2 != d && v2[k2Offset - 1] < v2[k2Offset + 1]))
                x2 = v2[k2Offset + 1];
            else
                x2 = v2[k2Offset - 1] + 1;
            int y2 = x2 - k2;
            while (x2 < text1Length && y2 < text2Length
                   && a[text1Length - x2 - 1] == b[text2Length - y2 - 1]) {
                ++x2;
                ++y2;
            }
            v2[k2Offset] = x2;
            if (x2 > text1Length) {
                k2end += 2; // ran off the left
            } else if (y2 > text2Length) {
                k2start += 2; // ran off the top
            } else if (!front) {
                const int k1Offset = vOffset + delta - k2;
                if (k1Offset >= 0 && k1Offset < vLength && v1[k1Offset] != -1) {
                    const int x1 = v1[k1Offset];
                    const int y1 = vOffset + x1 - k1Offset;
                    if (x1 >= text1Length - x2)
                        return diff_bisectSplit(text1, text2, x1, y1, deadline);
                }
            }
        }
    }
    // Out of time, or nothing in common at all.
    return {Diff(DELETE, text1), Diff(INSERT, text2)};
}

QList<Diff> diff_match_patch::diff_bisectSplit(const QString &text1, const QString &text2, int x,
                                               int y, qint64 deadline) const
{
    QList<Diff> diffs = diff_main(text1.left(x), text2.left(y), false, deadline);
    diffs += diff_main(text1.mid(x), text2.mid(y), false, deadline);
    return diffs;
}

QStringList diff_match_patch::diff_halfMatch(const QString &text1, const QString &text2) const
{
    // Without a deadline there is time for the minimal diff, which a split
    // around a long common middle might miss.
    if (Diff_Timeout <= 0)
        return {};
    const bool firstLonger = text1.size() > text2.size();
    const QString &longtext = firstLonger ? text1 : text2;
    const QString &shorttext = firstLonger ? text2 : text1;
    if (longtext.size() < 4 || shorttext.size() * 2 < longtext.size())
        return {};

    // Seeds in the second and in the third quarter of the longer text.
    const QStringList hm1 = diff_halfMatchI(longtext, shorttext, int((longtext.size() + 3) / 4));
    const QStringList hm2 = diff_halfMatchI(longtext, shorttext, int((longtext.size() + 1) / 2));
    QStringList hm;
    if (hm1.isEmpty() && hm2.isEmpty())
        return {};
    if (hm2.isEmpty())
        hm = hm1;
    else if (hm1.isEmpty())
        hm = hm2;
    else
        hm = hm1[4].size() > hm2[4].size() ? hm1 : hm2;

    if (firstLonger)
        return hm;
    return {hm[2], hm[3], hm[0], hm[1], hm[4]};
}

// Does a quarter of longtext starting at i occur in shorttext as the seed of
// a common middle at least half as long as longtext?
QStringList diff_match_patch::diff_halfMatchI(const QString &longtext, const QString &shorttext,
                                              int i)
{
    const QString seed = longtext.mid(i, longtext.size() / 4);
    const QStringView longView(longtext);
    const QStringView shortView(shorttext);
    qsizetype j = -1;
    int bestLength = 0;
    qsizetype bestLong = 0;  // start of the best common middle in longtext
    qsizetype bestShort = 0; // and in shorttext
    while ((j = shorttext.indexOf(seed, j + 1)) != -1) {
        const int prefixLength = commonPrefix(longView.mid(i), shortView.mid(j));
        const int suffixLength = commonSuffix(longView.left(i), shortView.left(j));
        if (bestLength < suffixLength + prefixLength) {
            bestLength = suffixLength + prefixLength;
            bestLong = i - suffixLength;
            bestShort = j - suffixLength;
        }
    }
    if (bestLength * 2 < longtext.size())
        return {};
    return {longtext.left(bestLong), longtext.mid(bestLong + bestLength),
            shorttext.left(bestShort), shorttext.mid(bestShort + bestLength),
            shorttext.mid(bestShort, bestLength)};
}

int diff_match_patch::diff_commonPrefix(const QString &text1, const QString &text2)
{
    return commonPrefix(text1, text2);
}

int diff_match_patch::diff_commonSuffix(const QString &text1, const QString &text2)
{
    return commonSuffix(text1, text2);
}

int diff_match_patch::diff_commonOverlap(const QString &text1, const QString &text2)
{
    const qsizetype length1 = text1.size();
    const qsizetype length2 = text2.size();
    if (length1 == 0 || length2 == 0)
        return 0;
    QStringView tail1(text1);
    QStringView head2(text2);
    if (length1 > length2)
        tail1 = tail1.right(length2);
    else if (length1 < length2)
        head2 = head2.left(length1);
    const qsizetype length = std::min(length1, length2);
    if (tail1 == head2)
        return int(length);

    // Grow a candidate from one character, jumping straight to the next
    // place where the current suffix occurs in the other text.
    qsizetype best = 0;
    qsizetype size = 1;
    for (;;) {
        const qsizetype found = head2.indexOf(tail1.right(size));
        if (found == -1)
            return int(best);
        size += found;
        if (found == 0 || tail1.right(size) == head2.left(size)) {
            best = size;
            ++size;
        }
    }
}

QString diff_match_patch::diff_text1(const QList<Diff> &diffs)
{
    QString text;
    for (const Diff &diff : diffs) {
        if (diff.operation != INSERT)
            text += diff.text;
    }
    return text;
}

QString diff_match_patch::diff_text2(const QList<Diff> &diffs)
{
    QString text;
    for (const Diff &diff : diffs) {
        if (diff.operation != DELETE)
            text += diff.text;
    }
    return text;
}
