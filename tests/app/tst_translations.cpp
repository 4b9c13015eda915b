// Each desktop sees one language: every translatable text of the sources
// (found by lupdate, as a translator would) has a Chinese translation when
// its source is English and an English one when its source is Chinese, in
// the compiled files the program loads. Worded pictures and documents come
// in both languages too.

#include "skin/localizedfile.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

class TestTranslations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void everyTextInBothLanguages();
    void englishWordsTerseSourcesAsPeopleRead_data();
    void englishWordsTerseSourcesAsPeopleRead();
    void localizedFileIsPicked_data();
    void localizedFileIsPicked();
    void wordedDataInBothLanguages_data();
    void wordedDataInBothLanguages();

private:
    struct Text
    {
        QString context;
        QString source;
    };
    QTemporaryDir m_dir;
    QList<Text> m_texts;
    QTranslator m_chinese;
    QTranslator m_english;
};

void TestTranslations::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString ts = m_dir.filePath(QStringLiteral("all.ts"));
    QStringList args;
    for (const char *folder : {"app", "controls", "cues", "diff", "display", "editor", "media", "phonetic", "progress", "skin"})
        args << QStringLiteral(VK_SOURCE_DIR "/") + QLatin1String(folder);
    args << QStringLiteral("-silent") << QStringLiteral("-ts") << ts;
    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    lupdate.start(QStringLiteral(VK_LUPDATE), args);
    QVERIFY(lupdate.waitForFinished(120000));
    QCOMPARE(lupdate.exitCode(), 0);

    QFile file(ts);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("source"))
            m_texts.append({context, xml.readElementText()});
    }
    QVERIFY(!xml.hasError());
    QVERIFY(m_texts.size() > 100);
    QVERIFY(m_chinese.load(QStringLiteral("translations/app_zh_CN.qm")));
    QVERIFY(m_english.load(QStringLiteral("translations/app_en.qm")));
}

void TestTranslations::everyTextInBothLanguages()
{
    static const QRegularExpression chinese(QStringLiteral("[\\x{4e00}-\\x{9fff}]"));
    QStringList untranslated;
    for (const Text &text : std::as_const(m_texts)) {
        const QByteArray context = text.context.toUtf8();
        const QByteArray source = text.source.toUtf8();
        const bool chineseSource = chinese.match(text.source).hasMatch();
        const QTranslator &other = chineseSource ? m_english : m_chinese;
        if (other.translate(context.constData(), source.constData()).isEmpty())
            untranslated << text.context + QStringLiteral(": ") + text.source;
    }
    QVERIFY2(untranslated.isEmpty(), qPrintable(untranslated.join(QLatin1Char('\n'))));
}

void TestTranslations::englishWordsTerseSourcesAsPeopleRead_data()
{
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("english");
    QTest::newRow("title") << "Vk" << QStringLiteral("Vantiro复读机软件") << "Vantiro Repeater";
    QTest::newRow("spell check") << "TextEdit" << "&SpellCheck" << "&Spell Check";
    QTest::newRow("lookup tab") << "PhoneticDialog" << QStringLiteral("听音查词") << "Look up by sound";
    QTest::newRow("compare button") << "DiffDialog" << QStringLiteral("比较") << "Compare";
}

void TestTranslations::englishWordsTerseSourcesAsPeopleRead()
{
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(QString, english);
    QCOMPARE(m_english.translate(context.toUtf8().constData(), source.toUtf8().constData()), english);
}

void TestTranslations::localizedFileIsPicked_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("picked");
    const QStringList both{QStringLiteral("button.png"), QStringLiteral("button_zh_CN.png")};
    QTest::newRow("Chinese desktop") << both << "zh_CN" << "button_zh_CN.png";
    QTest::newRow("English desktop") << both << "en_US" << "button.png";
    QTest::newRow("other Chinese, no match") << both << "zh_TW" << "button.png";
    QTest::newRow("language alone")
        << QStringList{QStringLiteral("button.png"), QStringLiteral("button_zh.png")} << "zh_TW" << "button_zh.png";
    QTest::newRow("full name before language")
        << QStringList{QStringLiteral("button_zh.png"), QStringLiteral("button_zh_CN.png")} << "zh_CN"
        << "button_zh_CN.png";
}

void TestTranslations::localizedFileIsPicked()
{
    QFETCH(QStringList, present);
    QFETCH(QString, locale);
    QFETCH(QString, picked);
    QTemporaryDir dir;
    for (const QString &name : present) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QCOMPARE(localizedfile::pick(dir.filePath(QStringLiteral("button.png")), QLocale(locale)), dir.filePath(picked));
}

void TestTranslations::wordedDataInBothLanguages_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("welcome text") << "skin/default/kestrelbox.txt";
    QTest::newRow("idle screen") << "skin/default/images/kestscreen.png";
    QTest::newRow("idle screen's Open") << "skin/default/images/open_button.png";
}

void TestTranslations::wordedDataInBothLanguages()
{
    QFETCH(QString, file);
    const QString chinese = localizedfile::pick(file, QLocale(QStringLiteral("zh_CN")));
    QVERIFY(chinese != file);
    QVERIFY(QFileInfo(chinese).size() > 0);
    QCOMPARE(localizedfile::pick(file, QLocale(QStringLiteral("en_GB"))), file);
}

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
