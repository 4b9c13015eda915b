#include "tests/support/audiotestmain.h"
// The learner's record through the real player: a comparison made in the
// editor shows in the Progress view opened from the right-click menu, and
// a sentence's Practise button loops that sentence, the lesson playing or
// not.

#include "app/sentencepractice.h"
#include "app/userfolders.h"
#include "app/vk.h"
#include "diff/diffdialog.h"
#include "editor/ctextcheckeredit.h"
#include "editor/textedit.h"
#include "media/media.h"
#include "progress/accuracyplot.h"
#include "progress/progressview.h"
#include "tests/support/mediamaker.h"

#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestVkProgress : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void comparisonShowsAndItsWorstSentenceLoops_data();
    void comparisonShowsAndItsWorstSentenceLoops();

private:
    SentencePractice *practice() const { return m_vk->practice(); }

    QTemporaryDir m_dir;
    QString m_clip;
    std::unique_ptr<Vk> m_vk;
};

void TestVkProgress::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
    m_clip = m_dir.filePath(QStringLiteral("lesson.mp4"));
    QVERIFY(mediamaker::makeVideo(m_clip, 8, 320, 240, 25));
    QFile srt(m_dir.filePath(QStringLiteral("lesson.srt")));
    QVERIFY(srt.open(QIODevice::WriteOnly));
    srt.write("1\n00:00:01,000 --> 00:00:02,000\nFirst sentence.\n\n"
              "2\n00:00:03,000 --> 00:00:04,000\nSecond one here.\n\n"
              "3\n00:00:05,000 --> 00:00:06,000\nThird and last.\n");
}

void TestVkProgress::init()
{
    // Each case starts with no record and the lesson at its start.
    QFile::remove(userfolders::memoryFile());
    const QString database = userfolders::dataFolder() + QStringLiteral("/progress.sqlite");
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(database + suffix);
    QFile::remove(m_clip + QStringLiteral(".html"));
    m_vk = std::make_unique<Vk>();
    QVERIFY(QTest::qWaitForWindowExposed(m_vk.get()));
}

void TestVkProgress::cleanup()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<DiffDialog *>(widget))
            widget->close();
    }
    m_vk->editor()->textArea()->document()->setModified(false);
    m_vk.reset();
}

void TestVkProgress::comparisonShowsAndItsWorstSentenceLoops_data()
{
    QTest::addColumn<bool>("stopFirst");
    QTest::newRow("lesson playing") << false;
    QTest::newRow("lesson stopped: Practise opens it again") << true;
}

void TestVkProgress::comparisonShowsAndItsWorstSentenceLoops()
{
    QFETCH(bool, stopFirst);
    m_vk->setFileChooser([this](QWidget *, const QString &, const QString &, const QString &) { return m_clip; });
    m_vk->on_actionOpen_activated();
    QVERIFY(m_vk->engine());
    QTRY_VERIFY(practice()->hasTextCues());

    // The subtitles are the reference; the second sentence is misheard.
    m_vk->editor()->textArea()->setPlainText(QStringLiteral("First sentence. Second one hear. Third and last."));
    m_vk->editor()->compareWithReference();
    if (stopFirst) {
        m_vk->on_actionStop();
        QVERIFY(!m_vk->engine());
    }

    std::unique_ptr<QMenu> menu(m_vk->createContextMenu());
    QVERIFY(menu->actions().contains(m_vk->progressAction()));
    QVERIFY(m_vk->progressAction()->isEnabled());
    m_vk->progressAction()->trigger();
    ProgressView *view = m_vk->progressView();
    QVERIFY(view);
    QVERIFY(QTest::qWaitForWindowExposed(view));
    QCOMPARE(view->plot()->attempts().size(), 1);
    QCOMPARE(view->plot()->attempts().first().referenceWords, 8);

    QTableWidget *table = view->sentenceTable();
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("Second one here."));
    QTest::mouseClick(table->cellWidget(0, 3)->findChild<QPushButton *>(), Qt::LeftButton);
    QTRY_VERIFY(m_vk->engine());
    QTRY_COMPARE(practice()->currentIndex(), 1);
    QVERIFY(practice()->isLooping());
}

VK_AUDIO_TEST_MAIN(TestVkProgress)
#include "tst_vkprogress.moc"
