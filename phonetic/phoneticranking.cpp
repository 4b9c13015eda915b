#include "phonetic/phoneticranking.h"

#include <algorithm>

namespace PhoneticRanking {

namespace {
constexpr char16_t primaryStress = 712;
constexpr char16_t secondaryStress = 716;
} // namespace

int editDistance(const Units &a, const Units &b)
{
    // One row of the table at a time: row[j] is the distance between the
    // first i units of a and the first j units of b.
    QVarLengthArray<int, 65> row(b.size() + 1);
    for (qsizetype j = 0; j <= b.size(); ++j)
        row[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            const int substitution = diagonal + (a[i - 1] == b[j - 1] ? 0 : 1);
            row[j] = std::min({above + 1, row[j - 1] + 1, substitution});
            diagonal = above;
        }
    }
    return row[b.size()];
}

Units spellingUnits(QByteArrayView text)
{
    Units units;
    for (char c : text)
        units.append(char16_t((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : static_cast<unsigned char>(c)));
    return units;
}

// "&#601;" becomes the one unit 601; a stray "&#" without its number and
// ";" stays as the characters it is.
Units soundUnits(QByteArrayView stored)
{
    Units units;
    for (qsizetype i = 0; i < stored.size(); ++i) {
        if (stored[i] == '&' && i + 2 < stored.size() && stored[i + 1] == '#') {
            qsizetype end = i + 2;
            int code = 0;
            while (end < stored.size() && stored[end] >= '0' && stored[end] <= '9' && code < 0x10000)
                code = code * 10 + (stored[end++] - '0');
            if (end < stored.size() && stored[end] == ';' && end > i + 2 && code < 0x10000) {
                if (code != primaryStress && code != secondaryStress)
                    units.append(char16_t(code));
                i = end;
                continue;
            }
        }
        units.append(char16_t(static_cast<unsigned char>(stored[i])));
    }
    return units;
}

int spellingDistance(QByteArrayView caption, QByteArrayView typed)
{
    return editDistance(spellingUnits(caption), spellingUnits(typed));
}

int soundDistance(QByteArrayView stored, QByteArrayView typed)
{
    return editDistance(soundUnits(stored), soundUnits(typed));
}

} // namespace PhoneticRanking
