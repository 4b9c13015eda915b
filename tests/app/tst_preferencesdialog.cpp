// The preferences form saves every change at once and the player follows
// it; the keys table lists the keys the player acts on.

#include "app/keysdialog.h"
#include "app/preferencesdialog.h"
#include "app/sentencepractice.h"
#include "app/userfolders.h"
#include "app/vk.h"

#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

class TestPreferencesDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void everyChangeIsReportedAtOnce();
    void playerSavesAndKeepsPreferences();
    void formIsTranslated();
    void keysTableNamesEveryPlayerKey_data();
    void keysTableNamesEveryPlayerKey();

private:
    QTemporaryDir m_dir;
};

void TestPreferencesDialog::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("data"))));
}

void TestPreferencesDialog::everyChangeIsReportedAtOnce()
{
    PreferencesDialog dialog(Preferences{});
    QSignalSpy changed(&dialog, &PreferencesDialog::preferencesChanged);
    dialog.rewindBox()->setValue(30.0); // held at the most, 10 s
    dialog.jumpBox()->setValue(10.0);
    dialog.replayBox()->setValue(5.0);
    dialog.nudgeBox()->setValue(0.25);
    dialog.loopCountBox()->setValue(5);
    dialog.speedBox()->setValue(0.75);
    dialog.paddingBox()->setValue(300);
    dialog.sentenceRepeatsBox()->setValue(3);
    dialog.autoPauseBox()->setChecked(true);
    // One report per change, each carrying everything changed so far.
    QCOMPARE(changed.size(), 9);
    const Preferences p = changed.last().at(0).value<Preferences>();
    QCOMPARE(p.rewindSeconds, Preferences::maxRewindSeconds);
    QCOMPARE(p.jumpSeconds, 10.0);
    QCOMPARE(p.replaySeconds, 5.0);
    QCOMPARE(p.nudgeSeconds, 0.25);
    QCOMPARE(p.loopCount, 5);
    QCOMPARE(p.defaultSpeed, 0.75);
    QCOMPARE(p.paddingMs, 300);
    QCOMPARE(p.sentenceRepeats, 3);
    QVERIFY(p.autoPause);
    QCOMPARE(dialog.preferences(), p);
    QCOMPARE(dialog.sentenceRepeatsBox()->suffix(), QStringLiteral(" times"));
}

void TestPreferencesDialog::playerSavesAndKeepsPreferences()
{
    Preferences p;
    p.rewindSeconds = 3.5;
    p.loopCount = 4;
    p.paddingMs = 250;
    p.autoPause = true;
    p.sentenceRepeats = 2;
    {
        Vk player;
        player.setPreferences(p);
        QCOMPARE(player.preferences(), p);
        // Sentence practice takes the same settings as its menu would.
        QCOMPARE(player.practice()->paddingMs(), 250);
        QVERIFY(player.practice()->autoPause());
        QCOMPARE(player.practice()->repeatCount(), 2);
    }
    // Saved at once, and found by the next run.
    QCOMPARE(Preferences::load(userfolders::settingsFile()), p);
    Vk next;
    QCOMPARE(next.preferences(), p);
}

void TestPreferencesDialog::formIsTranslated()
{
    QTranslator chinese;
    QVERIFY(chinese.load(QStringLiteral("translations/app_zh_CN.qm")));
    QCoreApplication::installTranslator(&chinese);
    PreferencesDialog dialog(Preferences{});
    QCOMPARE(dialog.windowTitle(), QStringLiteral("首选项"));
    QCOMPARE(dialog.loopCountBox()->specialValueText(), QStringLiteral("无限次"));
    KeysDialog keys;
    QCOMPARE(keys.windowTitle(), QStringLiteral("按键一览"));
    QCoreApplication::removeTranslator(&chinese);
}

void TestPreferencesDialog::keysTableNamesEveryPlayerKey_data()
{
    QTest::addColumn<QString>("key");
    for (const char *key : {"Space", "F1", "F3", "F5", "F6", "F7", "F8", "F9", "F12", "Backspace", "Left", "Esc"})
        QTest::newRow(key) << QString::fromLatin1(key);
}

void TestPreferencesDialog::keysTableNamesEveryPlayerKey()
{
    QFETCH(QString, key);
    KeysDialog dialog;
    QTableWidget *table = dialog.table();
    QCOMPARE(table->rowCount(), KeysDialog::entries().size());
    const QRegularExpression word(QStringLiteral("(^|[ ,/])") + QRegularExpression::escape(key) + QStringLiteral("($|[ ,/])"));
    bool found = false;
    for (int row = 0; row < table->rowCount(); ++row)
        found = found || word.match(table->item(row, 0)->text()).hasMatch();
    QVERIFY2(found, qPrintable(key));
}

QTEST_MAIN(TestPreferencesDialog)
#include "tst_preferencesdialog.moc"
