// Prints, as "name: value" lines:
//   engine_load_ms                 building one spell engine (median of runs)
//   highlight_ms_per_1000_words    highlighting a 20,000-word document
//   highlight_ms_20000_words       the same for the whole document
//   marked_words                   how many words the highlighter marked
// The document is made of the staged dictionary's own words, in sentences
// and paragraphs, with 2 % of them misspelt.

#include "editor/cspellengine.h"
#include "editor/ctextcheckeredit.h"
#include "editor/ctextsyntaxhighlighter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

const char dictionaryBase[] = "./spell/dict/en_US";
const char userDictionary[] = "./spell/users/userDict.txt";
const int documentWords = 20000;
const int runs = 5;

// Plain lower-case words of the word list, without their affix flags.
QStringList dictionaryWords()
{
    QFile file(QString::fromLatin1(dictionaryBase) + QStringLiteral(".dic"));
    QStringList words;
    if (!file.open(QIODevice::ReadOnly))
        return words;
    file.readLine(); // the word count
    while (!file.atEnd()) {
        const QString word = QString::fromUtf8(file.readLine()).trimmed().section(QLatin1Char('/'), 0, 0);
        if (word.size() >= 2 && word.size() <= 12
            && std::all_of(word.begin(), word.end(), [](QChar c) { return c >= u'a' && c <= u'z'; }))
            words.append(word);
    }
    return words;
}

// A typing slip the engine does not know: two letters swapped, one dropped
// or one doubled.
QString misspell(const QString &word, const CSpellEngine &engine, QRandomGenerator &random)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        QString slip = word;
        const int at = int(random.bounded(word.size() - 1));
        switch (random.bounded(3)) {
        case 0:
            std::swap(slip[at], slip[at + 1]);
            break;
        case 1:
            slip.remove(at, 1);
            break;
        default:
            slip.insert(at, slip.at(at));
            break;
        }
        if (!engine.isKnown(slip))
            return slip;
    }
    return word + QStringLiteral("qx");
}

QString makeDocument(const QStringList &words, const CSpellEngine &engine, int *misspelt)
{
    QRandomGenerator random(20111);
    QString text;
    int inSentence = 0;
    int sentenceLength = 12;
    int sentences = 0;
    *misspelt = 0;
    for (int i = 0; i < documentWords; ++i) {
        QString word = words.at(int(random.bounded(words.size())));
        if (i % 50 == 25) {
            word = misspell(word, engine, random);
            ++*misspelt;
        }
        if (inSentence == 0) {
            word[0] = word.at(0).toUpper();
            sentenceLength = 6 + int(random.bounded(16));
        }
        text += word;
        if (++inSentence == sentenceLength) {
            inSentence = 0;
            text += ++sentences % 6 == 0 ? QStringLiteral(".\n") : QStringLiteral(". ");
        } else {
            text += random.bounded(9) == 0 ? QStringLiteral(", ") : QStringLiteral(" ");
        }
    }
    return text;
}

double medianMs(const std::function<void()> &work)
{
    QList<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.append(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times.at(runs / 2);
}

int markedWords(const QTextDocument &document)
{
    int marked = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        marked += int(block.layout()->formats().size());
    return marked;
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("DISPLAY") && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "default.debug=false");
    QApplication app(argc, argv);
    if (!QDir::setCurrent(QStringLiteral(VK_RUNTIME_DIR))) {
        std::fprintf(stderr, "no runtime folder at %s\n", VK_RUNTIME_DIR);
        return 1;
    }

    const double loadMs = medianMs([] {
        const CSpellEngine engine(QString::fromLatin1(dictionaryBase), QString::fromLatin1(userDictionary));
    });

    // The text area builds the shared engine the highlighter consults.
    const CTextCheckerEdit edit;
    const CSpellEngine *engine = CTextCheckerEdit::spellEngine();
    const QStringList words = dictionaryWords();
    if (words.isEmpty()) {
        std::fprintf(stderr, "no words in %s.dic\n", dictionaryBase);
        return 1;
    }
    int misspelt = 0;
    const QString text = makeDocument(words, *engine, &misspelt);

    QTextDocument document;
    document.setPlainText(text);
    CTextSyntaxHighlighter highlighter(&document);
    const double highlightMs = medianMs([&] { highlighter.rehighlight(); });

    std::printf("engine_load_ms: %.1f\n", loadMs);
    std::printf("highlight_ms_per_1000_words: %.2f\n", highlightMs * 1000.0 / documentWords);
    std::printf("highlight_ms_20000_words: %.1f\n", highlightMs);
    std::printf("misspelt_words: %d\n", misspelt);
    std::printf("marked_words: %d\n", markedWords(document));
    return 0;
}
