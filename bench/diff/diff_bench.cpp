// Prints "diff_ms_<length>[_cleanup]: <median milliseconds>" (and the number
// of edit pieces found, "edits_<length>") for comparisons
// of a reference text with a dictation-like copy, as the comparison dialog
// runs them (B = reference first, A = dictation, line mode allowed).
// Then the word score of such a pair of 5,000 words, with the spell checker
// deciding about slips: "score_ms_5000_words" (median), its word error rate
// "score_wer_5000_words", and "score_ms_5000_words_unrelated" for two
// unrelated texts, where every word is wrong and the alignment's band has to
// grow to the whole table.

#include "diff/diff_match_patch.h"
#include "diff/wordscore.h"
#include "editor/cspellengine.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Licence texts, with each paragraph joined into one line the way a typed
// text would be.
QString referenceProse()
{
    const QStringList names = {"GPL-3", "GPL-2", "LGPL-2.1", "GFDL-1.3", "Apache-2.0", "MPL-2.0"};
    QString prose;
    for (const QString &name : names) {
        QFile file(QDir(QStringLiteral(VK_BENCH_TEXTS)).filePath(name));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        const QStringList paragraphs =
            QString::fromUtf8(file.readAll()).split(QRegularExpression("\\n\\s*\\n"));
        for (QString paragraph : paragraphs) {
            paragraph = paragraph.simplified();
            if (!paragraph.isEmpty())
                prose += paragraph + QLatin1Char('\n');
        }
    }
    return prose;
}

// The first length characters, cut back to the end of a word.
QString cut(const QString &text, int length)
{
    QString part = text.left(length);
    const qsizetype blank = part.lastIndexOf(QLatin1Char(' '));
    if (part.size() == length && blank > length * 9 / 10)
        part.truncate(blank);
    return part;
}

QString misspelt(QRandomGenerator &rng, QString word)
{
    const int at = int(rng.bounded(word.size()));
    switch (rng.bounded(4)) {
    case 0:
        word.remove(at, 1);
        break;
    case 1:
        word.insert(at, word[at]);
        break;
    case 2:
        word[at] = QChar(u'a' + rng.bounded(26));
        break;
    default:
        word = word.toLower();
        break;
    }
    return word.isEmpty() ? QStringLiteral("a") : word;
}

// Roughly how a learner's dictation differs: about 3 % of the words are
// misspelt, misheard as another word, left out, or come with an extra word.
QString dictated(const QString &reference, quint32 seed)
{
    QRandomGenerator rng(seed);
    QStringList words = reference.split(QLatin1Char(' '));
    QStringList out;
    out.reserve(words.size());
    for (const QString &word : std::as_const(words)) {
        if (rng.bounded(100) >= 3 || word.contains(QLatin1Char('\n'))) {
            out << word;
            continue;
        }
        switch (rng.bounded(4)) {
        case 0:
            out << misspelt(rng, word);
            break;
        case 1:
            out << words[rng.bounded(words.size())].remove(QLatin1Char('\n'));
            break;
        case 2:
            break; // missed
        default:
            out << word << QStringLiteral("the");
            break;
        }
    }
    return out.join(QLatin1Char(' '));
}

double medianMs(const QString &reference, const QString &dictation, bool cleanup, int runs)
{
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const diff_match_patch dmp;
        QList<Diff> diffs = dmp.diff_main(reference + " ", dictation + " ");
        if (cleanup)
            dmp.diff_cleanupSemantic(diffs);
        times.push_back(timer.nsecsElapsed() / 1e6);
        if (diff_match_patch::diff_text2(diffs) != dictation + " ") {
            std::fprintf(stderr, "wrong diff\n");
            std::exit(1);
        }
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The first count words of text.
QString firstWords(const QString &text, int count)
{
    const QStringList words = text.split(QLatin1Char(' '));
    return words.mid(0, count).join(QLatin1Char(' '));
}

double medianScoreMs(const QString &reference, const QString &dictation,
                     const WordScore::SpellTest &isKnown, int runs, double *errorRate)
{
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const WordScore score(reference, dictation, isKnown);
        times.push_back(timer.nsecsElapsed() / 1e6);
        *errorRate = score.total().wordErrorRate();
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void benchScore(const QString &prose)
{
    if (!QDir::setCurrent(QStringLiteral(VK_RUNTIME_DIR))) {
        std::fprintf(stderr, "no runtime folder at %s\n", VK_RUNTIME_DIR);
        std::exit(1);
    }
    const CSpellEngine engine(QStringLiteral("./spell/dict/en_US"), QString());
    const WordScore::SpellTest isKnown = [&engine](const QString &word) { return engine.isKnown(word); };
    const QString reference = firstWords(prose, 5000);
    const QString dictation = dictated(reference, 5000);
    double errorRate = 0;
    std::printf("score_ms_5000_words: %.3f\n", medianScoreMs(reference, dictation, isKnown, 21, &errorRate));
    std::printf("score_wer_5000_words: %.4f\n", errorRate);
    const QString unrelated = firstWords(prose.mid(prose.size() / 2), 5000);
    std::printf("score_ms_5000_words_unrelated: %.3f\n",
                medianScoreMs(reference, unrelated, isKnown, 3, &errorRate));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString prose = referenceProse();
    if (prose.size() < 100000) {
        std::fprintf(stderr, "not enough text under %s\n", VK_BENCH_TEXTS);
        return 1;
    }
    for (const int length : {1000, 10000, 100000}) {
        const QString reference = cut(prose, length);
        const QString dictation = dictated(reference, quint32(length));
        const int runs = length >= 100000 ? 5 : length >= 10000 ? 21 : 101;
        const QList<Diff> diffs = diff_match_patch().diff_main(reference + " ", dictation + " ");
        const auto edits = std::count_if(diffs.begin(), diffs.end(),
                                         [](const Diff &d) { return d.operation != EQUAL; });
        std::printf("edits_%d: %d\n", length, int(edits));
        std::printf("diff_ms_%d: %.3f\n", length, medianMs(reference, dictation, false, runs));
        std::printf("diff_ms_%d_cleanup: %.3f\n", length, medianMs(reference, dictation, true, runs));
        std::fflush(stdout);
    }
    benchScore(prose);
    return 0;
}
