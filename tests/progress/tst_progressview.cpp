// The Progress view as the learner sees it: his scores plotted in order at
// their height, the sentence he gets wrong most at the top.

#include "diff/wordscore.h"
#include "progress/accuracyplot.h"
#include "progress/progresscolors.h"
#include "progress/progressview.h"
#include "tests/support/mediamaker.h"

#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

class TestProgressView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void showsTheLessonsRecord_data();
    void showsTheLessonsRecord();

private:
    QTemporaryDir m_dir;
    QString m_media;
};

void TestProgressView::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_media = m_dir.filePath(QStringLiteral("lesson.mp3"));
    QVERIFY(mediamaker::makeAudio(m_media, 2));
}

void TestProgressView::showsTheLessonsRecord_data()
{
    QTest::addColumn<QStringList>("dictations"); // oldest first
    QTest::addColumn<QString>("firstListed");
    QTest::addColumn<int>("firstListedLine");

    const QString allRight = QStringLiteral("Good morning. How are you today? I am fine, thank you.");
    QTest::newRow("getting better") << QStringList{"Good morning. Who are you two day? I am fine.", allRight}
                                    << "How are you today?" << 1;
    QTest::newRow("getting worse") << QStringList{allRight, "Good morning. How are you today? I am fine, thanks."}
                                   << "I am fine, thank you." << 2;
    QTest::newRow("one attempt") << QStringList{"Good mourning. How are you today? I am fine, thank you."}
                                 << "Good morning." << 0;
}

void TestProgressView::showsTheLessonsRecord()
{
    QFETCH(QStringList, dictations);
    QFETCH(QString, firstListed);
    QFETCH(int, firstListedLine);

    const QString reference = QStringLiteral("Good morning.\nHow are you today?\nI am fine, thank you.");
    const QString database = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + ".sqlite");
    QList<double> accuracies;
    {
        ProgressStore store(database);
        for (const QString &dictation : dictations) {
            const WordScore score(reference, dictation);
            QVERIFY(store.record(m_media, score));
            accuracies.append(score.total().accuracy());
        }
    }
    ProgressView view;
    view.setLesson(m_media, database);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    // Each score is drawn in order, higher for a better one, where the
    // plot says it is.
    AccuracyPlot *plot = view.plot();
    QCOMPARE(plot->attempts().size(), dictations.size());
    const QImage image = plot->grab().toImage();
    for (int i = 0; i < accuracies.size(); ++i) {
        const QPoint at = plot->pointOf(i).toPoint() * image.devicePixelRatio();
        const QColor drawn = image.pixelColor(at);
        QVERIFY2(qAbs(drawn.red() - progresscolors::accent.red()) < 30
                     && qAbs(drawn.green() - progresscolors::accent.green()) < 30,
                 qPrintable(QStringLiteral("attempt %1 drawn as %2").arg(i + 1).arg(drawn.name())));
        if (i > 0 && accuracies[i] != accuracies[i - 1])
            QCOMPARE(plot->pointOf(i).y() < plot->pointOf(i - 1).y(), accuracies[i] > accuracies[i - 1]);
        QVERIFY(plot->pointOf(i).x() > (i > 0 ? plot->pointOf(i - 1).x() : 0));
        QCOMPARE(plot->attemptAt(plot->pointOf(i).toPoint()), i);
    }

    // The sentence got wrong most often heads the list (its button is
    // clicked in tst_vkprogress, through the player).
    QTableWidget *table = view.sentenceTable();
    QVERIFY(table->isVisible());
    QCOMPARE(table->item(0, 1)->text(), firstListed);
    QCOMPARE(view.sentences().first().line, firstListedLine);
}

QTEST_MAIN(TestProgressView)
#include "tst_progressview.moc"
