#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>

// One sentence of a lesson: a subtitle cue, or a stretch of speech between
// two pauses (then without text). Times are milliseconds of media time from
// the first moment of the file, whatever the stream's own start time.
struct Cue {
    int64_t start = 0; // ms
    int64_t end = 0;   // ms, after start
    QString text;      // plain text, lines separated by '\n'; empty for speech found in the sound

    bool operator==(const Cue &other) const = default;
};

// Reads the cues of a subtitle file (SubRip, WebVTT, ASS/SSA) or of a
// subtitle stream inside a media file, through FFmpeg's own demuxers and
// text decoders. The cues come out sorted by their start, with the inline
// styling removed and empty cues left out. Where FFmpeg 5.1 misreads a real
// file, its input or output is mended around it (subtitlerepair.cpp): cues
// with broken times are left out and counted, never shown as text.
class Subtitles final
{
    Q_DECLARE_TR_FUNCTIONS(Subtitles)

public:
    // Reads a subtitle file. Returns false, with errorString() telling the
    // user why, when the file cannot be read or holds no subtitles.
    bool load(const QString &path);
    // Reads the text subtitle stream of a media file (English first, else
    // the first one). Returns false when it has none, or when cancel became
    // true while reading.
    bool loadStream(const QString &mediaPath, const std::atomic<bool> *cancel = nullptr);

    const QList<Cue> &cues() const { return m_cues; }
    QStringList cueTexts() const;
    QString errorString() const { return m_error; }
    // The text encoding the file was read in ("UTF-8", "GB18030", ...).
    QByteArray encoding() const { return m_encoding; }
    // How many cues had no usable time and were left out: their time line
    // could not be read, or their packet had no time.
    int brokenCues() const { return m_broken; }

    // Subtitle files that belong to a media file, best first: same folder,
    // same base name with or without a language part ("lesson.srt",
    // "lesson.en.srt", "lesson.mp4.srt"). Existing files only.
    static QStringList filesBeside(const QString &mediaPath);
    // The file name filter of the open dialog.
    static QString fileFilter();
    // Where the file's own clock stands at its first moment, in ms: the
    // start of its video stream, or of its sound when it has no video, as
    // the player counts positions.
    static int64_t originMs(const struct AVFormatContext *format);

    // The plain text of a cue: override blocks {\...}, HTML-like tags (<i>,
    // <font ...>, WebVTT voice, class and time tags) and the few entities
    // removed, the escapes \N, \n and \h turned into line breaks and spaces,
    // blank lines dropped.
    static QString plainText(const QString &styled);
    // The text field of an event line as FFmpeg's text decoders write it
    // ("ReadOrder,Layer,Style,Name,MarginL,MarginR,MarginV,Effect,Text").
    static QString eventText(const QString &eventLine);
    // Bytes of a text file turned into text: a byte-order mark wins, then
    // UTF-8 when the bytes are valid UTF-8, then the locale's encoding, then
    // GB18030 when it reads the bytes cleanly, and Windows-1252 at last.
    // encoding receives the name of the one used.
    static QString decodeText(const QByteArray &bytes, QByteArray *encoding = nullptr);

    // WebVTT text without what FFmpeg's demuxer stops at: the STYLE, REGION
    // and NOTE blocks, and cues whose time line it cannot read, which are
    // counted in broken. Line ends become "\n".
    static QString withoutWebVttBlocks(const QString &text, int *broken);
    // The plain text of a SubRip cue without the cues FFmpeg glued to it:
    // a cue whose time line it cannot read becomes text of the cue before,
    // its number, time line and text included. Each one cut is counted in
    // broken.
    static QString cutGluedCues(const QString &text, int *broken);

private:
    // Returns the number of packets read, or -1 when the stream cannot be
    // decoded.
    int readPackets(struct AVFormatContext *format, int stream, int64_t origin,
                    const std::atomic<bool> *cancel = nullptr);
    void finish();

    QList<Cue> m_cues;
    QString m_error;
    QByteArray m_encoding;
    int m_broken = 0;
};
