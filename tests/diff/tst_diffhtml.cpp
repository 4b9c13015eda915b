#include "diff/diffhtml.h"

#include <QTest>

using DiffList = QList<Diff>;

namespace {

const QString head = QStringLiteral(
    "<html><head><meta http-equiv=\"content-type\" content=\"text/html; charset=UTF-8\" /></head>");
const QString red = QStringLiteral("<font color=\"#FF0000\">");
const QString blue = QStringLiteral("<font color=\"#0000FF\">");
const QString fontEnd = QStringLiteral("</font>");

QString coloured(const QString &font, const QString &text) { return font + text + fontEnd; }
QString span(const QString &text) { return "<span>" + text + "</span>"; }
QString struck(const QString &text)
{
    return "<span><b style=\"text-decoration: line-through;\"><font color=\"#FF0000\">" + text
        + "</font></b></span>";
}
QString underlined(const QString &text)
{
    return "<span><b style=\"text-decoration: underline;\"><font color=\"#0000FF\">" + text
        + "</font></b></span>";
}

// What the comparison does with the two panes' texts.
DiffList compared(const QString &textB, const QString &textA)
{
    const diff_match_patch dmp;
    DiffList diffs = dmp.diff_main(textB + " ", textA + " ");
    dmp.diff_cleanupSemantic(diffs);
    return diffs;
}

} // namespace

class TestDiffHtml : public QObject
{
    Q_OBJECT

private slots:
    void panes_data();
    void panes();
};

void TestDiffHtml::panes_data()
{
    QTest::addColumn<DiffList>("diffs");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("suggestion"); // from the learner's text (A) to the reference (B)

    QTest::newRow("two empty panes")
        << compared("", "")
        << head + coloured(blue, "") + span(" ") + coloured(blue, "") + "</html>"
        << head + coloured(red, "") + span(" ") + coloured(red, "") + "</html>" << span(" ");

    // The partly changed word is coloured whole in both panes.
    QTest::newRow("like against liked")
        << compared("I like cats", "I liked cats")
        << head + coloured(blue, "") + span("I ") + coloured(blue, "like") + coloured(blue, "d")
               + coloured(blue, "") + span(" cats ") + coloured(blue, "") + "</html>"
        << head + coloured(red, "") + span("I ") + coloured(red, "like") + coloured(red, "")
               + span(" cats ") + coloured(red, "") + "</html>"
        << span("I like") + struck("d") + span(" cats ");

    QTest::newRow("markup characters and line feeds")
        << compared("x < y & z\nend", "x > y & z\nend")
        << head + coloured(blue, "") + span("x ") + coloured(blue, "") + coloured(blue, "&gt;")
               + coloured(blue, "") + span(" y &amp; z<br>end ") + coloured(blue, "") + "</html>"
        << head + coloured(red, "") + span("x ") + coloured(red, "") + coloured(red, "&lt;")
               + coloured(red, "") + span(" y &amp; z<br>end ") + coloured(red, "") + "</html>"
        << span("x ") + struck("&gt;") + underlined("&lt;") + span(" y &amp; z<br>end ");

    // Before the first equality there is nothing to widen into.
    QTest::newRow("change at the very start")
        << compared("cat sat", "bat sat")
        << head + coloured(blue, "b") + coloured(blue, "") + span("at sat ") + coloured(blue, "")
               + "</html>"
        << head + coloured(red, "c") + coloured(red, "") + span("at sat ") + coloured(red, "")
               + "</html>"
        << struck("b") + underlined("c") + span("at sat ");

    // A kept word between two changes stays uncoloured; words that touch a
    // change on one side only take its colour.
    QTest::newRow("words between changes")
        << DiffList{Diff(EQUAL, "I "), Diff(DELETE, "x"), Diff(EQUAL, "ab cd"), Diff(INSERT, "q"),
                    Diff(EQUAL, "yz"), Diff(DELETE, "w"), Diff(EQUAL, " e")}
        << head + coloured(blue, "") + span("I ") + coloured(blue, "") + coloured(blue, "ab")
               + span(" ") + coloured(blue, "cd") + coloured(blue, "q") + coloured(blue, "")
               + span("yz") + coloured(blue, "") + coloured(blue, "") + span(" e")
               + coloured(blue, "") + "</html>"
        << head + coloured(red, "") + span("I ") + coloured(red, "") + coloured(red, "x")
               + coloured(red, "ab") + span(" ") + coloured(red, "cd") + coloured(red, "")
               + span("yz") + coloured(red, "") + coloured(red, "w") + coloured(red, "")
               + span(" e") + coloured(red, "") + "</html>"
        << span("I ") + underlined("x") + span("ab cd") + struck("q") + span("yz") + underlined("w")
               + span(" e");

    QTest::newRow("no equality") << DiffList{Diff(DELETE, "a&"), Diff(INSERT, "b\n")}
                                 << head + coloured(blue, "b<br>") + "</html>"
                                 << head + coloured(red, "a&amp;") + "</html>"
                                 << struck("b<br>") + underlined("a&amp;");
}

void TestDiffHtml::panes()
{
    QFETCH(DiffList, diffs);
    QFETCH(QString, source);
    QFETCH(QString, target);
    QFETCH(QString, suggestion);
    QCOMPARE(renderSourceHtml(diffs), source);
    QCOMPARE(renderTargetHtml(diffs), target);
    QCOMPARE(renderSuggestionHtml(diffs), suggestion);
}

QTEST_GUILESS_MAIN(TestDiffHtml)
#include "tst_diffhtml.moc"
