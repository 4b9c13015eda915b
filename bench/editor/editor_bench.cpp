// Prints, as "name: value" lines:
//   spellcheck_walk_ms_20000_words   a spell check run over 20,000 known
//                                    words, no question asked
//   spellcheck_walk_us_per_word      the same per word
//   save_html_ms_20000_words         saving that document as HTML
//   load_html_ms_20000_words         loading it back
// Run it with the runtime folder as working directory (it changes there
// itself when given the folder as its argument).

#include "editor/ctextcheckeredit.h"
#include "editor/documentfile.h"
#include "editor/textedit.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

const int documentWords = 20000;

QString knownText()
{
    static const char *const words[] = {"the", "quick", "brown", "fox", "jumps", "over", "a",
                                        "lazy", "dog", "while", "we", "listen", "and", "write"};
    QString text;
    for (int i = 0; i < documentWords; ++i) {
        text += QLatin1String(words[i % std::size(words)]);
        text += (i % 12 == 11) ? QLatin1String(".\n") : QLatin1String(" ");
    }
    return text;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc > 1)
        QDir::setCurrent(QString::fromLocal8Bit(argv[1]));

    TextEdit editor;
    editor.textArea()->setPlainText(knownText());

    // The closing box is the only dialog of a run without unknown words.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->accept();
    });
    closer.start(20);

    QElapsedTimer timer;
    timer.start();
    editor.checkSpelling();
    const double walkMs = timer.nsecsElapsed() / 1e6;
    std::printf("spellcheck_walk_ms_20000_words: %.1f\n", walkMs);
    std::printf("spellcheck_walk_us_per_word: %.2f\n", walkMs * 1000.0 / documentWords);

    QTemporaryDir dir;
    timer.restart();
    documentfile::write(*editor.textArea()->document(), dir.filePath(QStringLiteral("bench.mp4.html")));
    std::printf("save_html_ms_20000_words: %.1f\n", timer.nsecsElapsed() / 1e6);

    timer.restart();
    editor.load(dir.filePath(QStringLiteral("bench.mp4.html")));
    std::printf("load_html_ms_20000_words: %.1f\n", timer.nsecsElapsed() / 1e6);
    return 0;
}
