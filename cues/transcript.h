#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

// The text of a lesson without times (a .txt or .html transcript), cut
// into the sentences that become its cues. Paragraphs are kept apart: a
// sentence never runs across a paragraph break.
class Transcript final
{
    Q_DECLARE_TR_FUNCTIONS(Transcript)

public:
    struct Sentence {
        QString text;      // one line, spaces collapsed
        int paragraph = 0; // from 0, in the order of the text
        bool operator==(const Sentence &other) const = default;
    };

    // Reads a text file (any encoding Subtitles::decodeText knows; HTML by
    // its name or its first tag). Returns false, with errorString() telling
    // the user why, when it cannot be read or holds no words.
    bool load(const QString &path);
    // Takes text given directly; html when it is markup.
    bool setText(const QString &text, bool html = false);

    const QList<Sentence> &sentences() const { return m_sentences; }
    QString errorString() const { return m_error; }

    // Paragraphs of plain text: blank lines part them, single line breaks
    // inside one are spaces.
    static QStringList paragraphs(const QString &plain);
    // The paragraphs of HTML: its block elements (p, div, li, headings, a
    // double br) part them; tags go and entities become characters.
    static QStringList htmlParagraphs(const QString &html);
    // A paragraph's sentences, as QTextBoundaryFinder finds them, with an
    // abbreviation ("Mr.", "U.S.", "e.g.", an initial) kept inside its
    // sentence.
    static QStringList sentencesOf(const QString &paragraph);
    // Transcript files that belong to a media file ("lesson.txt",
    // "lesson.transcript.txt", "lesson.html"; not the dictation
    // "lesson.mp3.html"), existing files only.
    static QStringList filesBeside(const QString &mediaPath);
    // The file name filter of the open dialog.
    static QString fileFilter();

private:
    QList<Sentence> m_sentences;
    QString m_error;
};
