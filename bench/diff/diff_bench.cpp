// Prints "diff_ms_<length>[_cleanup]: <median milliseconds>" (and the number
// of edit pieces found, "edits_<length>") for comparisons
// of a reference text with a dictation-like copy, as the comparison dialog
// runs them (B = reference first, A = dictation, line mode allowed).

#include "diff/diff_match_patch.h"

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
    return 0;
}
