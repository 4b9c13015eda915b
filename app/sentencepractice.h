#pragma once

#include "controls/cuestrip.h"
#include "cues/subtitles.h"
#include "cues/transcriptaligner.h"
#include "cues/waveform.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <cstdint>
#include <functional>

class Media;
class PracticeState;
class QAction;
class QActionGroup;
class QMenu;
class QProgressDialog;
class SentenceList;
class SentenceSplitter;
class Vk;

// Practising one sentence at a time. Holds the cues of the playing file
// (its subtitles, or the sentences found in its sound), follows playback on
// the cue strip, and on request borrows the learner's passage for the
// current cue (through the player's PracticeState): looping it, playing it
// a given number of times, holding at its end, and stepping to the next or
// previous one. Text stays hidden until the learner asks for it; which cues
// he looked at, and his joins and splits, are remembered per file.
class SentencePractice final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SentencePractice)

public:
    static constexpr int defaultPaddingMs = 150;
    static constexpr int maxPaddingMs = 500;
    static constexpr int maxRepeats = 9;

    // The player owns this object; the strip is the player's.
    SentencePractice(Vk *player, CueStrip *strip);
    ~SentencePractice() override;

    using FileChooser = std::function<QString(QWidget *parent, const QString &caption,
                                              const QString &directory, const QString &filter)>;
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }
    // Asks where to save; a file dialog unless set.
    void setSaveFileChooser(FileChooser chooser) { m_chooseSaveFile = std::move(chooser); }

    // The player's engine has opened and started mediaPath; nullptr when
    // it is about to go.
    void mediaOpened(Media *engine, const QString &mediaPath);
    void mediaClosed();
    // Called with the player's refresh: follows the playing position.
    void refresh();
    // The learner resumes after a hold: a cue held at its end gives way to
    // the next one, which then plays from its start. True when playback is
    // to go on exactly where it stands, the start of a sentence chosen
    // while held, without the rewind on resume.
    bool aboutToResume();
    // A key with its modifiers (key | modifiers), from the player or the
    // editor; true when it was one of practice's.
    bool handleKey(int keyWithModifiers);

    // The right-click menu's entries; the caller owns the menu.
    void addMenuEntries(QMenu *menu);

    // Reads a subtitle file for the open media; false, with the reason told
    // to the user in a message box, when it cannot.
    bool openSubtitles(const QString &path);
    // Aligns a transcript (.txt, .html) with the open media in the
    // background, with a progress dialog that can cancel it; its sentences
    // then become the cues. False, with the reason told to the user, when
    // the text cannot be read.
    bool openTranscript(const QString &path);

    const QList<Cue> &cues() const { return m_cues; }
    // The open file's waveform: from the cache at once, else from the pass
    // that finds the sentences; null until then.
    const Waveform &waveform() const { return m_waveform; }
    // Null until the learner first asks for it.
    SentenceList *sentenceList() const { return m_list; }
    int currentIndex() const { return m_current; }
    bool hasTextCues() const { return m_textCues; }
    bool isLooping() const { return m_looping; }
    bool isRevealed(int index) const;
    bool wasLookedAt(int index) const;
    int paddingMs() const { return m_paddingMs; }
    int minPauseMs() const { return m_minPauseMs; }
    bool autoPause() const { return m_autoPause; }
    int repeatCount() const { return m_repeatCount; }
    bool masking() const { return m_masking; }

public Q_SLOTS:
    void next();
    void previous();
    void replay();
    void setLooping(bool on);
    void toggleReveal();
    void setAutoPause(bool on);
    void setRepeatCount(int count); // 1 to 9
    void setPaddingMs(int ms);      // 0 to 500
    void setMinPauseMs(int ms);     // applies to the next split
    void setMasking(bool on);
    void joinWithNext();
    void splitHere();
    void chooseSubtitles();
    void chooseTranscript();
    // Writes the cues with their text as SubRip, beside the media unless
    // the learner chooses another place.
    void saveSentences();
    // Loops cue index from its start, playing if held.
    void loopSentence(int index);
    // The list of every sentence, beside the player.
    void showList();

Q_SIGNALS:
    // The cue list was replaced or edited.
    void cuesChanged();
    // The current cue changed, or its mask.
    void currentChanged(int index);
    // The open file's waveform is known.
    void waveformChanged(const Waveform &waveform);
    // A transcript became the cues: placed sentences, and those left out.
    void transcriptAligned(int placed, int unplaced);

private:
    void createActions();
    void createTranscriptActions();
    void onAligned(const QString &mediaPath, const TranscriptAligner::Alignment &alignment);
    // Once a sitting per file: a transcript beside the media is offered.
    void offerTranscriptBeside();
    void closeProgress();
    QAction *addAction(const QString &text, int key, void (SentencePractice::*slot)());
    void setCues(const QList<Cue> &cues, bool withText);
    // Starts the splitter for the sentences, the waveform while it is
    // unknown, or both; a run cancels the one before.
    void startSplitter(bool sentences);
    void onWaveformReady(const QString &path, const Waveform &waveform);
    void onPassageRepeated(int played);
    void onPassageFinished();
    // Holds once the place heard reaches end (ticks), or after half a second.
    void holdWhenHeard(int64_t end, int waited);
    // The learner set his own passage: nothing is armed any more.
    void onBorrowingEnded();
    // Joins and splits remembered for the file, taken again on its cues.
    void applyRememberedEdits();
    void rememberSentences() const;
    // Once per file: subtitles beside it that cannot be read.
    void reportUnreadable(const QString &file, const QString &reason);
    // Once per reading of a file: how many of its cues had broken times.
    void reportSkipped(const QString &file, int broken);
    // Marks, loop and count on cue index; seeks to its start when asked.
    void arm(int index, bool seek);
    void disarm();
    void goTo(int index);
    bool practising() const { return m_looping || m_autoPause || m_repeatCount > 1; }
    int cueAt(int64_t ms) const; // -1 before the first
    int64_t toTicks(int64_t ms) const;
    int64_t toMs(int64_t ticks) const;
    void showStrip();
    void setStripVisible(bool visible);
    CueStrip::Line lineFor(int index) const;
    void updateActions();
    void loadSettings();
    void saveSettings() const;

    Vk *m_player;
    PracticeState *m_state;
    CueStrip *m_strip;
    SentenceSplitter *m_splitter;
    QPointer<Media> m_engine;
    QString m_mediaPath;
    QString m_lastPath; // of the file opened before, kept across Stop
    // What the learner did to this file's cues, in the order he did it.
    QStringList m_edits;
    // Subtitle files whose trouble the learner has been told of this sitting.
    QSet<QString> m_told;
    bool m_soundOnly = false; // the strip stands in for the picture
    bool m_awaitingSplit = false; // the splitter's next result is wanted
    FileChooser m_chooseFile;
    FileChooser m_chooseSaveFile;
    TranscriptAligner *m_aligner = nullptr;
    QProgressDialog *m_progress = nullptr; // while aligning
    QString m_transcriptPath;               // the text aligned last
    QSet<QString> m_offered;                // transcripts offered this sitting

    QList<Cue> m_cues;
    Waveform m_waveform;
    bool m_textCues = false;
    int m_current = -1;
    bool m_looping = false;
    bool m_armed = false;        // the marks are the current cue's
    bool m_once = false;         // a replay outside practice: marks go back after it
    bool m_advanceOnPlay = false; // held at a cue's end: the next cue comes on resuming
    int m_played = 0;            // play-throughs of the armed cue
    int64_t m_chosenStart = -1;  // ticks: a sentence's start chosen while held
    // After a jump the picture on screen lags; following waits for it.
    int m_jumpTarget = -1;
    qint64 m_jumpStarted = 0; // ms since epoch

    // Cues shown now, and cues ever shown, by start time, per media file.
    QSet<int64_t> m_revealed;
    QHash<QString, QSet<int64_t>> m_lookedAt;

    // Settings, kept between runs.
    int m_paddingMs = defaultPaddingMs;
    int m_minPauseMs = 300;
    bool m_autoPause = false;
    int m_repeatCount = 1;
    bool m_masking = true;

    QAction *m_actionOpenSubtitles = nullptr;
    QAction *m_actionNext = nullptr;
    QAction *m_actionPrevious = nullptr;
    QAction *m_actionReplay = nullptr;
    QAction *m_actionLoop = nullptr;
    QAction *m_actionReveal = nullptr;
    QAction *m_actionAutoPause = nullptr;
    QAction *m_actionMasking = nullptr;
    QAction *m_actionJoin = nullptr;
    QAction *m_actionSplit = nullptr;
    QAction *m_actionList = nullptr;
    QAction *m_actionOpenTranscript = nullptr;
    QAction *m_actionSaveSentences = nullptr;
    SentenceList *m_list = nullptr; // made when first asked for
    QActionGroup *m_repeatGroup = nullptr;
    QActionGroup *m_paddingGroup = nullptr;
    QActionGroup *m_pauseGroup = nullptr;
};
