// The preferences form saves every change at once and the player follows
// it; the keys table lists the keys the player acts on.

#include "app/keysdialog.h"
#include "app/preferencesdialog.h"
#include "app/userfolders.h"
#include "app/vk.h"

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
    void everyChangeIsReportedAtOnce_data();
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

void TestPreferencesDialog::everyChangeIsReportedAtOnce_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<double>("value");
    QTest::newRow("rewind") << "rewind" << 4.5;
    QTest::newRow("rewind held at 10 s") << "rewind" << 30.0;
    QTest::newRow("jump") << "jump" << 10.0;
    QTest::newRow("replay") << "replay" << 5.0;
    QTest::newRow("nudge") << "nudge" << 0.25;
    QTest::newRow("loop count") << "loops" << 5.0;
    QTest::newRow("speed") << "speed" << 0.75;
}

void TestPreferencesDialog::everyChangeIsReportedAtOnce()
{
    QFETCH(QString, box);
    QFETCH(double, value);
    PreferencesDialog dialog(Preferences{});
    QSignalSpy changed(&dialog, &PreferencesDialog::preferencesChanged);
    if (box == QLatin1String("loops"))
        dialog.loopCountBox()->setValue(int(value));
    else
        (box == QLatin1String("rewind") ? dialog.rewindBox()
         : box == QLatin1String("jump") ? dialog.jumpBox()
         : box == QLatin1String("replay") ? dialog.replayBox()
         : box == QLatin1String("nudge") ? dialog.nudgeBox()
                                          : dialog.speedBox())->setValue(value);
    QCOMPARE(changed.size(), 1);
    const Preferences p = changed.at(0).at(0).value<Preferences>();
    const double got = box == QLatin1String("rewind") ? p.rewindSeconds
        : box == QLatin1String("jump")                ? p.jumpSeconds
        : box == QLatin1String("replay")              ? p.replaySeconds
        : box == QLatin1String("nudge")               ? p.nudgeSeconds
        : box == QLatin1String("loops")               ? p.loopCount
                                                      : p.defaultSpeed;
    QCOMPARE(got, qMin(value, box == QLatin1String("rewind") ? Preferences::maxRewindSeconds : value));
    QCOMPARE(dialog.preferences(), p);
}

void TestPreferencesDialog::playerSavesAndKeepsPreferences()
{
    Preferences p;
    p.rewindSeconds = 3.5;
    p.loopCount = 4;
    {
        Vk player;
        player.setPreferences(p);
        QCOMPARE(player.preferences(), p);
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
