#include "progress/sentencecue.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace sentencecue {

namespace {

QStringList words(const QString &text)
{
    // Apostrophes stay inside words: "it's" and "its" are not one word.
    static const QRegularExpression separators(QStringLiteral("[^\\w']+"));
    return text.toCaseFolded().split(separators, Qt::SkipEmptyParts);
}

} // namespace

int find(const QStringList &cueTexts, int line, const QString &text)
{
    const bool anyText = std::any_of(cueTexts.cbegin(), cueTexts.cend(),
                                     [](const QString &cue) { return !cue.trimmed().isEmpty(); });
    if (!anyText)
        return line >= 0 && line < cueTexts.size() ? line : -1;
    const QStringList wanted = words(text);
    if (wanted.isEmpty())
        return -1;
    const QSet<QString> wantedSet(wanted.cbegin(), wanted.cend());
    // A short sentence may come more than once ("Yes."): the one nearest
    // the sentence's own line is meant.
    auto nearer = [line](int i, int than) { return than < 0 || std::abs(i - line) < std::abs(than - line); };
    int exact = -1;
    int best = -1;
    double bestShare = 0;
    for (int i = 0; i < cueTexts.size(); ++i) {
        const QStringList cue = words(cueTexts[i]);
        if (cue == wanted) {
            if (nearer(i, exact))
                exact = i;
            continue;
        }
        if (cue.isEmpty() || exact >= 0)
            continue;
        QSet<QString> shared(cue.cbegin(), cue.cend());
        const double longer = double(std::max(shared.size(), wantedSet.size()));
        const double share = double(shared.intersect(wantedSet).size()) / longer;
        if (share >= 0.5 && (share > bestShare || (share == bestShare && nearer(i, best)))) {
            best = i;
            bestShare = share;
        }
    }
    return exact >= 0 ? exact : best;
}

} // namespace sentencecue
