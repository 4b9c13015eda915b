#include "diff/diffhtml.h"

#include <QLatin1StringView>

namespace {

QString escaped(const QString &text)
{
    QString html = text;
    html.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    html.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    html.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    html.replace(QLatin1Char('\n'), QLatin1String("<br>"));
    return html;
}

bool isAsciiLetter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
}

// Sum of the text lengths up to and including the first (or last) equality;
// -1 when there is none.
qsizetype equalityEnd(const QList<Diff> &diffs, bool last)
{
    qsizetype end = 0;
    qsizetype found = -1;
    for (const Diff &diff : diffs) {
        end += diff.text.size();
        if (diff.operation == EQUAL) {
            found = end;
            if (!last)
                break;
        }
    }
    return found;
}

// One pane: the changes of kind own and all kept text, in the colour that
// opens with fontTag. Letters of kept text that run into a change carry the
// change's colour, except before the first and after the last equality,
// where the text edges are.
QString renderPane(const QList<Diff> &diffs, Operation own, QLatin1StringView fontTag)
{
    const QLatin1StringView fontEnd("</font>");
    const qsizetype firstEqualEnd = equalityEnd(diffs, false);
    const qsizetype lastEqualEnd = equalityEnd(diffs, true);

    QString html = QStringLiteral("<html><head><meta http-equiv=\"content-type\" "
                                  "content=\"text/html; charset=UTF-8\" /></head>");
    qsizetype end = 0;
    for (const Diff &diff : diffs) {
        end += diff.text.size();
        const QString t = escaped(diff.text);
        const qsizetype n = t.size();
        if (diff.operation == own) {
            html += fontTag + t + fontEnd;
        } else if (diff.operation == EQUAL) {
            qsizetype head = -1; // last index of the letters that open t
            if (end != firstEqualEnd && n != 0) {
                while (head + 1 < n && isAsciiLetter(t[head + 1]))
                    ++head;
            }
            qsizetype tail = n; // first index of the letters that close t
            if (end != lastEqualEnd) {
                while (tail > 0 && isAsciiLetter(t[tail - 1]))
                    --tail;
            }
            if (head >= tail) {
                // Letters only, touched by changes on both sides: a whole
                // word that stays, so colour none of it.
                const qsizetype oldHead = head;
                head = tail - 1;
                tail = oldHead + 1;
            }
            html += fontTag + t.left(head + 1) + fontEnd;
            html += QLatin1String("<span>") + t.mid(head + 1, tail - head - 1)
                + QLatin1String("</span>");
            html += fontTag + t.right(n - tail) + fontEnd;
        }
    }
    html += QLatin1String("</html>");
    return html;
}

} // namespace

QString renderSourceHtml(const QList<Diff> &diffs)
{
    return renderPane(diffs, INSERT, QLatin1StringView("<font color=\"#0000FF\">"));
}

QString renderTargetHtml(const QList<Diff> &diffs)
{
    return renderPane(diffs, DELETE, QLatin1StringView("<font color=\"#FF0000\">"));
}

QString renderSuggestionHtml(const QList<Diff> &diffs)
{
    const QLatin1StringView removal("<span><b style=\"text-decoration: line-through;\">"
                                    "<font color=\"#FF0000\">");
    const QLatin1StringView addition("<span><b style=\"text-decoration: underline;\">"
                                     "<font color=\"#0000FF\">");
    const QLatin1StringView changeEnd("</font></b></span>");
    // The diffs go from B to A; between two equalities, A's text is what
    // goes and B's what comes instead.
    QString html;
    QString fromA;
    QString fromB;
    auto flush = [&] {
        if (!fromA.isEmpty())
            html += removal + escaped(fromA) + changeEnd;
        if (!fromB.isEmpty())
            html += addition + escaped(fromB) + changeEnd;
        fromA.clear();
        fromB.clear();
    };
    for (const Diff &diff : diffs) {
        switch (diff.operation) {
        case INSERT:
            fromA += diff.text;
            break;
        case DELETE:
            fromB += diff.text;
            break;
        case EQUAL:
            flush();
            html += QLatin1String("<span>") + escaped(diff.text) + QLatin1String("</span>");
            break;
        }
    }
    flush();
    return html;
}
