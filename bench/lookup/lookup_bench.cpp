// Times the lookup's searches on the real word database: 200 typical
// inputs drawn evenly from the database, each searched as the list does
// while the user types (limited) and on Return (unlimited). Prints the
// medians and the slowest limited search in milliseconds, as wall-clock time
// and as the processor time the searching thread used, and how often the
// word is listed when its British or its American sounds are typed.

#include "phonetic/phoneticdictionary.h"
#include "phonetic/phoneticsymbols.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <time.h>

namespace {

constexpr int inputCount = 200;

struct Word
{
    QString caption;
    QString phonetic; // British, as stored
    QString american; // as stored
};

// Every n-th row, so the sample covers the alphabet.
QList<Word> sampleWords()
{
    QList<Word> words;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2("./dict/words.db", &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK
        || sqlite3_key(db, "meadow_lantern_quiet_stones", 27) != SQLITE_OK) {
        sqlite3_close(db);
        return words;
    }
    sqlite3_stmt *rows = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT w_caption, w_phonetic, w_phonetic_us FROM dict_word"
                           " WHERE w_id % (SELECT max(w_id) / ?1 FROM dict_word) = 0 LIMIT ?1",
                           -1, &rows, nullptr)
        == SQLITE_OK) {
        sqlite3_bind_int(rows, 1, inputCount);
        while (sqlite3_step(rows) == SQLITE_ROW)
            words.append({QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(rows, 0))),
                          QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(rows, 1))),
                          QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(rows, 2)))});
    }
    sqlite3_finalize(rows);
    sqlite3_close(db);
    return words;
}

// What a learner types for a word he hears: its sounds without stress
// marks, the length mark as a colon, as the keyboard gives them.
QString typedPronunciation(const QString &stored)
{
    QString typed = PhoneticSymbols::entitiesToSymbols(stored);
    typed.remove(QChar(0x02C8)).remove(QChar(0x02CC));
    typed.replace(QChar(0x02D0), QLatin1Char(':')).replace(QChar(0x0261), QLatin1Char('g'));
    return typed;
}

// An approximate spelling: the first letter, then the consonants.
QByteArray typedSpelling(const QString &caption)
{
    QString spelling = caption.left(1) + caption.mid(1).remove(QRegularExpression(QStringLiteral("[aeiou]")));
    return spelling.toLatin1();
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Wall-clock time of one search; its processor time is added to cpuMs, which
// tells the search's own cost apart from waiting on a busy machine.
double timeMs(const std::function<void()> &search, QList<double> *cpuMs = nullptr)
{
    const double cpuStart = threadCpuMs();
    QElapsedTimer timer;
    timer.start();
    search();
    const double wall = timer.nsecsElapsed() / 1e6;
    if (cpuMs)
        cpuMs->append(threadCpuMs() - cpuStart);
    return wall;
}

void print(const char *name, double value)
{
    std::printf("%s: %.2f\n", name, value);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QDir::setCurrent(QStringLiteral(VK_RUNTIME_DIR));

    const QList<Word> words = sampleWords();
    if (words.size() < inputCount) {
        std::fprintf(stderr, "lookup_bench: the word database in %s is missing or too small\n", VK_RUNTIME_DIR);
        return 1;
    }

    QElapsedTimer opening;
    opening.start();
    PhoneticDictionary dictionary;
    print("open_ms", opening.nsecsElapsed() / 1e6);
    print("first_search_ms", timeMs([&] { dictionary.searchPhonetic(typedPronunciation(words.first().phonetic), false); }));

    QList<double> phonetic, phoneticAll, caption, captionAll, phoneticCpu, captionCpu;
    qsizetype phoneticHits = 0, americanHits = 0, captionHits = 0;
    for (const Word &word : words) {
        const QString sounds = typedPronunciation(word.phonetic);
        const QByteArray spelling = typedSpelling(word.caption);
        phonetic << timeMs([&] { dictionary.searchPhonetic(sounds, false); }, &phoneticCpu);
        phoneticHits += dictionary.resultCaptions().contains(word.caption);
        phoneticAll << timeMs([&] { dictionary.searchPhonetic(sounds, true); });
        caption << timeMs([&] { dictionary.searchCaption(spelling, false); }, &captionCpu);
        captionHits += dictionary.resultCaptions().contains(word.caption);
        captionAll << timeMs([&] { dictionary.searchCaption(spelling, true); });
        dictionary.searchPhonetic(typedPronunciation(word.american), false);
        americanHits += dictionary.resultCaptions().contains(word.caption);
    }

    std::printf("inputs: %lld\n", static_cast<long long>(words.size()));
    print("phonetic_search_ms", median(phonetic));
    print("phonetic_search_unlimited_ms", median(phoneticAll));
    print("phonetic_search_max_ms", *std::max_element(phonetic.cbegin(), phonetic.cend()));
    print("phonetic_search_cpu_ms", median(phoneticCpu));
    print("phonetic_search_cpu_max_ms", *std::max_element(phoneticCpu.cbegin(), phoneticCpu.cend()));
    print("caption_search_ms", median(caption));
    print("caption_search_unlimited_ms", median(captionAll));
    print("caption_search_max_ms", *std::max_element(caption.cbegin(), caption.cend()));
    print("caption_search_cpu_ms", median(captionCpu));
    print("caption_search_cpu_max_ms", *std::max_element(captionCpu.cbegin(), captionCpu.cend()));
    // The first key typed matches most of the database, and every match is
    // ranked before the best 100 are kept.
    QList<double> oneSymbolCpu, oneLetterCpu;
    timeMs([&] { dictionary.searchPhonetic(QStringLiteral("i"), false); }, &oneSymbolCpu);
    timeMs([&] { dictionary.searchCaption("e", false); }, &oneLetterCpu);
    print("phonetic_search_one_symbol_cpu_ms", oneSymbolCpu.value(0));
    print("caption_search_one_letter_cpu_ms", oneLetterCpu.value(0));
    // How often the word itself is among the first 100 hits.
    print("phonetic_word_listed_percent", 100.0 * phoneticHits / words.size());
    print("american_word_listed_percent", 100.0 * americanHits / words.size());
    print("caption_word_listed_percent", 100.0 * captionHits / words.size());
    return 0;
}
