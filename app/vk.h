#pragma once

#include <QMainWindow>
#include <QSystemTrayIcon>

#include "app/preferences.h"

#include <cstdint>
#include <functional>

class ControlButton;
class FileMemory;
class RecentFiles;
class ControlWidget;
class CueStrip;
class GLRenderWidget;
class Media;
class PracticeState;
class ProgressView;
class QAction;
class QGridLayout;
class QLabel;
class QMenu;
class QScreenWidget;
class QSeekSlider;
class QSkinObject;
class QTimer;
class SentencePractice;
class TextEdit;
class Timeline;
class WaveformPractice;
class WaveformStrip;

// The player's main window: the video display and the idle screen in one
// cell above the control strip (time labels, seek slider, button bar). It
// owns the engine of the file being played, one at a time, and turns the
// buttons, keys and the editor's forwarded keys into engine commands.
class Vk final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Vk)

public:
    explicit Vk(QWidget *parent = nullptr);
    ~Vk() override;

    // Asks for the media file to open; returns the chosen name, or an empty
    // one when the user cancels. The default is the standard open dialog;
    // tests put their own here.
    using FileChooser = std::function<QString(QWidget *parent, const QString &caption,
                                              const QString &directory, const QString &filter)>;
    void setFileChooser(FileChooser chooser);

    // Sharp tune moves a mark by this much media time, counted in ticks of
    // the reference stream.
    static constexpr double sharpTuneSeconds = 0.1;
    // Forward and Backward jump by this many playing seconds.
    static constexpr double jumpSeconds = 30.0;

    Media *engine() const { return m_engine; }
    QSeekSlider *seekSlider() const { return m_slider; }
    ControlButton *buttonBar() const { return m_buttons; }
    GLRenderWidget *display() const { return m_display; }
    QScreenWidget *idleScreen() const { return m_idleScreen; }
    TextEdit *editor() const { return m_editor; }
    QLabel *positionLabel() const { return m_positionLabel; }
    QLabel *durationLabel() const { return m_durationLabel; }
    CueStrip *cueStrip() const { return m_cueStrip; }
    WaveformStrip *waveformStrip() const { return m_waveformStrip; }
    WaveformPractice *waveform() const { return m_waveform; }
    SentencePractice *practice() const { return m_practice; }
    // The one owner of the passage in force and the learner's own.
    PracticeState *practiceState() const { return m_state; }
    QSystemTrayIcon *trayIcon() const { return m_trayIcon; }
    QAction *fullScreenAction() const { return m_actionFullscreen; }
    QAction *aspectRatioAction() const { return m_actionAspectRatio; }
    QAction *helpAction() const { return m_actionHelp; }
    QAction *preferencesAction() const { return m_actionPreferences; }
    QAction *keysAction() const { return m_actionKeys; }
    // The action that ends the program: the tray menu's Quit. The window's
    // own Quit only closes the window, which leaves the program in the tray.
    // Quitting lets the editor ask about an unsaved dictation first.
    QAction *quitAction() const { return m_trayQuit; }
    QAction *closeAction() const { return m_actionQuit; }
    double volumeLeft() const { return m_volumeLeft; }
    double volumeRight() const { return m_volumeRight; }
    bool refreshTimerActive() const;

    // The right-click menu, built anew each time; the caller owns it.
    QMenu *createContextMenu();

    // Opens and plays a media file, as the open dialog does, with what was
    // remembered of it. False when it cannot be played (the user is told).
    bool openFile(const QString &name);
    // The file playing, or the one played last after Stop; empty before.
    QString currentFile() const { return m_currentFile; }
    QLabel *loopLabel() const { return m_loopLabel; }
    QLabel *marksLabel() const { return m_marksLabel; }
    const Preferences &preferences() const { return m_prefs; }
    void setPreferences(const Preferences &prefs);
    // The recent files' submenu of the right-click menu; the caller owns it.
    QMenu *createRecentMenu(QWidget *parent);
    // The speed steps, slowest first, and the right-click menu of them.
    static const QList<double> &speeds();
    QMenu *createSpeedMenu(QWidget *parent);
    void setPlayingSpeed(double speed);
    QLabel *speedLabel() const { return m_speedLabel; }
    // The right-click menu's entry for the learner's record, and the view
    // it opens (null until first opened).
    QAction *progressAction() const { return m_actionProgress; }
    ProgressView *progressView() const { return m_progressView; }

Q_SIGNALS:
    void isPlay(bool playing);
    void setDirPath(const QString &mediaPath);

public Q_SLOTS:
    void on_actionOpen_activated();
    void on_actionFullscreen_toggled(bool on);
    void on_actionSeek(double f);
    void on_actionMarkInSeek();
    void on_actionMarkOutSeek();
    void on_actionMarkReset();
    void on_actionMarkInReset();
    void on_actionMarkOutReset();
    void on_actionMarkInSharpL();
    void on_actionMarkInSharpR();
    void on_actionMarkOutSharpL();
    void on_actionMarkOutSharpR();
    void on_actionPlayPause();
    void on_actionForward();
    void on_actionBackward();
    void on_actionVolume(double left, double right);
    void on_actionStop();
    void on_actionEidtor();
    void refreshTiming();
    void pauseAfterFrame();
    void updateRefreshTimerState();
    void iconActivated(QSystemTrayIcon::ActivationReason reason);
    void loadHelp();
    void keyDelegateTrigger(int key);
    // Ends the event loop unless the user keeps an unsaved dictation open.
    void quitProgram();
    // Shows the window hidden to the tray as a normal, skinned window.
    void restoreFromTray();
    // Files a later start handed over: media files play here, documents go
    // to the editor; the window comes to the front either way.
    void openPaths(const QStringList &paths);
    void openRecentFile(const QString &name);
    void showPreferences();
    void showKeys();
    // Back by the short replay length, within the passage while one loops.
    void on_actionReplay();
    // The learner's record on the lesson mediaFile.
    void showProgress(const QString &mediaFile);
    // Loops a sentence of the lesson mediaFile, opening the lesson first
    // when it is not the one playing.
    void practiseSentence(const QString &mediaFile, int line, const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void setupLayout();
    void attachEditor();
    void setupActions();
    void setupTray();
    void connectButtonBar();
    Timeline timeline() const;
    void showHeldPlace();
    // The open dialog's filter: every format the engine plays, then all files.
    static QString mediaFilter();
    Media *createEngine();
    void showIdle();
    // Slider without marks at 0, both time labels "00:00:00" and hidden.
    void resetTimeline();
    void reportFailure(const QString &message);
    int64_t sharpTuneStep() const; // ticks of the playing file
    void sharpTuneMarkIn(int64_t step);
    void sharpTuneMarkOut(int64_t step);
    // Stores the playing file's place, marks and speed for its next opening.
    void rememberCurrentFile();
    void restoreRemembered(const QString &name);
    void connectPassageSignals(Media *engine);
    void setupPracticeLabels();
    void setupSpeedLabel();
    void showSpeed();
    void stepSpeed(int direction); // one step faster (1) or slower (-1)
    // Alt+Page Up/Down and Alt+End, from the player or the editor.
    bool handleSpeedKey(int keyWithModifiers);
    static QString speedText(double speed);
    // The marks in force enclose less than the whole file.
    bool passageMarked() const;
    // Where playback goes on after a hold: back by the rewind length, but
    // not before the start mark of a looping passage.
    void rewindForResume();
    // The slider's flags show the passage in force.
    void showPassageFlags();
    void showLoopCount(int played);
    void showMarks();
    void placeEditor();
    void storeWindowPlaces();
    void restoreWindowPlace();
    void setupProgress();
    void placeProgressView();

    Media *m_engine = nullptr;
    QWidget *m_central = nullptr;
    QGridLayout *m_mainGrid = nullptr;
    ControlWidget *m_controlStrip = nullptr;
    QGridLayout *m_stripGrid = nullptr;
    GLRenderWidget *m_display = nullptr;
    QSeekSlider *m_slider = nullptr;
    ControlButton *m_buttons = nullptr;
    QTimer *m_refreshTimer = nullptr;
    QAction *m_actionOpen = nullptr;
    QAction *m_actionFullscreen = nullptr;
    QAction *m_actionAspectRatio = nullptr;
    QAction *m_actionHelp = nullptr;
    QAction *m_actionQuit = nullptr;
    QAction *m_actionPreferences = nullptr;
    QAction *m_actionKeys = nullptr;
    QSkinObject *m_skin = nullptr;
    // Set by a seek from the slider, so that the next refresh does not pull
    // the knob back before the engine has got there.
    bool m_skipNextRefresh = false;
    QScreenWidget *m_idleScreen = nullptr;
    // A top-level window of its own, without parent; deleted by the destructor.
    TextEdit *m_editor = nullptr;
    QAction *m_trayMinimize = nullptr;
    QAction *m_trayRestore = nullptr;
    QAction *m_trayQuit = nullptr;
    QSystemTrayIcon *m_trayIcon = nullptr;
    QMenu *m_trayMenu = nullptr; // no parent: deleted by the destructor
    QLabel *m_positionLabel = nullptr;
    QLabel *m_durationLabel = nullptr;
    CueStrip *m_cueStrip = nullptr;
    SentencePractice *m_practice = nullptr;
    WaveformStrip *m_waveformStrip = nullptr;
    WaveformPractice *m_waveform = nullptr;
    PracticeState *m_state = nullptr;
    // The last volume from the button bar, given to every new engine.
    double m_volumeLeft = 0.5;
    double m_volumeRight = 0.5;
    FileChooser m_chooseFile;
    QRect m_normalGeometry; // where the window stood before full screen
    bool m_quitting = false; // the program has been asked to end
    Preferences m_prefs;
    QString m_currentFile;
    QLabel *m_loopLabel = nullptr;  // "3/5" while a passage repeats a set number of times
    QLabel *m_marksLabel = nullptr; // the marks to a tenth of a second
    QLabel *m_speedLabel = nullptr; // "0.75×" when not at normal speed
    bool m_editorPlaced = false; // the editor has been put beside the player once
    bool m_toldNoSound = false;  // the learner knows that no sound can be played
    QAction *m_actionProgress = nullptr;
    ProgressView *m_progressView = nullptr; // a child window, made when first asked for
    // Waits for the sentences of a lesson opened to practise one of them.
    QMetaObject::Connection m_pendingPractice;
};
