#pragma once

#include <QObject>
#include <QPointer>

#include <cstdint>

class Media;
class QAction;
class QMenu;
class QTimer;
class Vk;
class Waveform;
class WaveformStrip;

// The waveform strip in the player: shows the open file's sound (from
// sentence practice, which reads it with the sentences), the marks in
// force, the sentences and the played place, and turns what the learner
// does on it into the player's commands: a passage through the practice
// state, as the mark keys set one, a seek, a looped sentence. Whether it
// shows and how far it zooms are kept in the settings. GUI thread.
class WaveformPractice final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WaveformPractice)

public:
    // The played place moves this often while the strip shows: smoothly
    // enough for the eye to follow a word.
    static constexpr int frameMs = 33;

    // The player owns this object; the strip is the player's.
    WaveformPractice(Vk *player, WaveformStrip *strip);

    // Called before sentence practice hears of the file.
    void mediaOpened(Media *engine, const QString &mediaPath);
    void mediaClosed();

    // Ctrl++ and Ctrl+- zoom; true when the key was one of these.
    bool handleKey(int keyWithModifiers);
    // "Show Waveform", checkable; the caller owns the menu.
    void addMenuEntries(QMenu *menu);
    QAction *showAction() const { return m_actionShow; }
    bool isShown() const;
    void setShown(bool on);

private:
    void onPassageChanged();
    void onSeekRequested(int64_t ms);
    void onPassageChosen(int64_t inMs, int64_t outMs);
    void followPosition();
    void placeStrip();
    int64_t toTicks(int64_t ms) const;
    int64_t toMs(int64_t ticks) const;

    Vk *m_player;
    WaveformStrip *m_strip;
    QPointer<Media> m_engine;
    QTimer *m_frames;
    QAction *m_actionShow;
    bool m_soundOnly = false;
};
