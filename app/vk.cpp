#include "app/vk.h"

#include "app/practicestate.h"
#include "app/sentencepractice.h"
#include "app/userfolders.h"
#include "app/waveformpractice.h"

#include "controls/controlbutton.h"
#include "controls/controlwidget.h"
#include "controls/cuestrip.h"
#include "controls/qscreenwidget.h"
#include "controls/qseekslider.h"
#include "controls/waveformstrip.h"
#include "display/glrenderwidget.h"
#include "editor/editorsettings.h"
#include "editor/textedit.h"
#include "media/media.h"
#include "skin/qskinobject.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLoggingCategory>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QUrl>

// Off unless asked for (QT_LOGGING_RULES="vantiro.player.debug=true"): a
// trace of positions and marks for watching playback from outside.
Q_LOGGING_CATEGORY(lcPlayer, "vantiro.player", QtInfoMsg)

namespace {

constexpr char helpFile[] = "./help_vantiro.CHM";
constexpr char trayIconFile[] = "./skin/default/images/kestrelbox.png";

} // namespace

Vk::Vk(QWidget *parent)
    : QMainWindow(parent)
{
    setFileChooser({});
    editorsettings::setFiles(userfolders::settingsFile(), userfolders::memoryFile());
    m_prefs = Preferences::load(userfolders::settingsFile());
    QPalette pal = palette();
    pal.setBrush(QPalette::All, QPalette::Window, QBrush(Qt::black, Qt::SolidPattern));
    pal.setBrush(QPalette::All, QPalette::WindowText, QBrush(Qt::white, Qt::SolidPattern));
    setPalette(pal);

    resize(640, 480);
    // The whole desktop, across all screens, as the old desktop widget saw it.
    const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
    move(desktop.width() / 2 - width() / 2, desktop.height() / 2 - height() / 2);

    restoreWindowPlace();

    m_state = new PracticeState(this);
    m_state->setLearnerRepeatCount(m_prefs.loopCount);
    connect(m_state, &PracticeState::passageChanged, this, &Vk::showPassageFlags);

    setupLayout();
    setupPracticeLabels();
    setupSpeedLabel();
    attachEditor();
    setupProgress();
    setAcceptDrops(true);

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setInterval(250);
    connect(m_refreshTimer, &QTimer::timeout, this, &Vk::refreshTiming);

    setupActions();
    setWindowTitle(tr("Vantiro复读机软件"));
    setupTray();

    m_skin = new QSkinObject(this);
    m_skin->startSkinning();
}

Vk::~Vk()
{
    rememberCurrentFile();
    storeWindowPlaces();
    // Deleting the engine below may run queued work; practice must not act
    // on a file that is going.
    m_practice->mediaClosed();
    m_waveform->mediaClosed();
    m_state->detach();
    delete m_refreshTimer;
    m_refreshTimer = nullptr;
    delete m_display;
    m_display = nullptr;
    delete m_engine;
    m_engine = nullptr;
    // None of these has a parent in the window's tree.
    delete m_trayMenu;
    delete m_skin;
    delete m_editor;
}

void Vk::attachEditor()
{
    m_editor = new TextEdit;
    m_editor->resize(610, 400);
    m_editor->hide();
    connect(this, &Vk::setDirPath, m_editor, &TextEdit::fileSaveDefault);
    // Every hold writes the dictation, so a crash or a power cut during a
    // pause loses nothing typed.
    connect(this, &Vk::isPlay, m_editor, [this](bool playing) {
        if (!playing)
            m_editor->saveDictationNow();
    });
    connect(m_editor, &TextEdit::keyDelegate, this, &Vk::keyDelegateTrigger);
    connect(m_editor, &TextEdit::mediaDropped, this, &Vk::openFile);
    // From the editor, for the lesson its dictation belongs to when that
    // is the one playing.
    connect(m_editor, &TextEdit::transcriptRequested, this, [this](const QString &mediaFile) {
        if (!m_currentFile.isEmpty() && QFileInfo(mediaFile) == QFileInfo(m_currentFile))
            m_practice->chooseTranscript();
    });
}

void Vk::on_actionEidtor()
{
    if (m_editor->isHidden())
        placeEditor();
    m_editor->setVisible(m_editor->isHidden());
}

void Vk::quitProgram()
{
    // Quitting from the tray would otherwise drop the dictation typed since
    // it was last saved without a word.
    if (m_editor && !m_editor->close())
        return;
    m_quitting = true;
    rememberCurrentFile();
    storeWindowPlaces();
    QCoreApplication::quit();
}

void Vk::setupLayout()
{
    m_central = new QWidget(this);
    m_mainGrid = new QGridLayout(m_central);
    m_mainGrid->setContentsMargins(0, 0, 0, 0);
    m_mainGrid->setSpacing(0);

    m_display = new GLRenderWidget(m_central);
    m_display->hide();
    m_mainGrid->addWidget(m_display, 0, 0, 1, 1);

    // Made after the display, so it lies above it in the shared cell.
    m_idleScreen = new QScreenWidget(m_central);
    m_mainGrid->addWidget(m_idleScreen, 0, 0, 1, 1);
    connect(m_idleScreen, &QScreenWidget::click, this, &Vk::on_actionOpen_activated);
    connect(m_idleScreen, &QScreenWidget::doubleClick, this, &Vk::on_actionOpen_activated);

    setCentralWidget(m_central);

    // The sound, then the sentence being practised, between the picture
    // and the controls.
    m_waveformStrip = new WaveformStrip(m_central);
    m_mainGrid->addWidget(m_waveformStrip, 1, 0, 1, -1);
    m_cueStrip = new CueStrip(m_central);
    m_mainGrid->addWidget(m_cueStrip, 2, 0, 1, -1);
    m_practice = new SentencePractice(this, m_cueStrip);
    m_waveform = new WaveformPractice(this, m_waveformStrip);
    m_practice->setFileChooser(m_chooseFile);
    // The subtitles' text is the dictation's reference.
    connect(m_practice, &SentencePractice::cuesChanged, this, [this] {
        if (!m_editor)
            return;
        QStringList texts;
        if (m_practice->hasTextCues())
            for (const Cue &cue : m_practice->cues())
                texts.append(cue.text);
        m_editor->setSubtitleCues(m_currentFile, texts);
    });

    m_controlStrip = new ControlWidget(m_central);
    m_mainGrid->addWidget(m_controlStrip, 3, 0, 1, -1);

    m_stripGrid = new QGridLayout(m_controlStrip);
    m_stripGrid->setContentsMargins(5, 8, 5, 5);
    m_positionLabel = new QLabel(m_controlStrip);
    m_slider = new QSeekSlider(m_controlStrip);
    m_durationLabel = new QLabel(m_controlStrip);
    m_buttons = new ControlButton(m_controlStrip);
    m_stripGrid->addWidget(m_positionLabel, 0, 0, -1, 1, Qt::AlignLeft | Qt::AlignTop);
    m_stripGrid->addWidget(m_slider, 0, 1, -1, 20, Qt::AlignTop);
    m_stripGrid->addWidget(m_durationLabel, 0, 21, -1, 1, Qt::AlignRight | Qt::AlignTop);
    m_stripGrid->addWidget(m_buttons, 1, 0, 1, -1, Qt::AlignTop);

    m_slider->setEnabled(false);
    connect(m_slider, &QSeekSlider::valueChanged, this, &Vk::on_actionSeek);
    connectButtonBar();
}

void Vk::setupActions()
{
    m_actionOpen = new QAction(tr("Open"), this);
    connect(m_actionOpen, &QAction::triggered, this, &Vk::on_actionOpen_activated);

    m_actionFullscreen = new QAction(tr("Full Screen"), this);
    m_actionFullscreen->setCheckable(true);
    m_actionFullscreen->setEnabled(true);
    connect(m_actionFullscreen, &QAction::toggled, this, &Vk::on_actionFullscreen_toggled);
    connect(m_display, &GLRenderWidget::windowClosed, m_actionFullscreen, &QAction::toggle);

    m_actionAspectRatio = new QAction(tr("Keep Aspect Ratio"), this);
    m_actionAspectRatio->setCheckable(true);
    m_actionAspectRatio->setEnabled(true);
    m_actionAspectRatio->setChecked(true);
    connect(m_actionAspectRatio, &QAction::toggled, m_display, &GLRenderWidget::setVideoAspectRatio);

    m_actionHelp = new QAction(tr("Help"), this);
    connect(m_actionHelp, &QAction::triggered, this, &Vk::loadHelp);

    m_actionQuit = new QAction(tr("Quit"), this);
    connect(m_actionQuit, &QAction::triggered, this, &QWidget::close);

    // Ctrl+Q ends the program from the player and the editor alike, as the
    // tray's Quit does.
    auto *quitKey = new QAction(this);
    quitKey->setShortcut(QKeySequence::Quit);
    quitKey->setShortcutContext(Qt::ApplicationShortcut);
    connect(quitKey, &QAction::triggered, this, &Vk::quitProgram);
    addAction(quitKey);

    m_actionPreferences = new QAction(tr("Preferences..."), this);
    connect(m_actionPreferences, &QAction::triggered, this, &Vk::showPreferences);
    m_actionKeys = new QAction(tr("Keys at a Glance"), this);
    connect(m_actionKeys, &QAction::triggered, this, &Vk::showKeys);
}

void Vk::setupTray()
{
    m_trayMinimize = new QAction(tr("Mi&nimize"), this);
    connect(m_trayMinimize, &QAction::triggered, this, &QWidget::hide);
    m_trayRestore = new QAction(tr("&Restore"), this);
    connect(m_trayRestore, &QAction::triggered, this, &Vk::restoreFromTray);
    m_trayQuit = new QAction(tr("&Quit"), this);
    connect(m_trayQuit, &QAction::triggered, this, &Vk::quitProgram);

    m_trayMenu = new QMenu;
    m_trayMenu->addAction(m_trayMinimize);
    m_trayMenu->addAction(m_trayRestore);
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(m_trayQuit);

    m_trayIcon = new QSystemTrayIcon(this);
    m_trayIcon->setContextMenu(m_trayMenu);
    m_trayIcon->setIcon(QIcon(QString::fromLatin1(trayIconFile)));
    m_trayIcon->setToolTip(windowTitle());
    m_trayIcon->setVisible(true);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, &Vk::iconActivated);
}

QMenu *Vk::createContextMenu()
{
    auto *menu = new QMenu(this);
    menu->addAction(m_actionOpen);
    menu->addMenu(createRecentMenu(menu));
    menu->addMenu(createSpeedMenu(menu));
    m_practice->addMenuEntries(menu);
    m_waveform->addMenuEntries(menu);
    m_actionProgress->setEnabled(!m_currentFile.isEmpty());
    menu->addAction(m_actionProgress);
    menu->addSeparator();
    menu->addAction(m_actionFullscreen);
    menu->addSeparator();
    menu->addAction(m_actionAspectRatio);
    menu->addSeparator();
    menu->addAction(m_actionPreferences);
    menu->addAction(m_actionKeys);
    menu->addAction(m_actionHelp);
    menu->addSeparator();
    menu->addAction(m_actionQuit);
    return menu;
}

void Vk::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createContextMenu();
    menu->exec(event->globalPos());
    delete menu;
}

void Vk::on_actionFullscreen_toggled(bool on)
{
    // Without a window manager, or with one that ignores the request, the
    // window would keep its size; so it is given the screen's size first
    // (afterwards, a new geometry would end the full-screen state).
    if (on) {
        m_normalGeometry = geometry();
        m_skin->stopSkinning();
        if (QScreen *where = screen())
            setGeometry(where->geometry());
        showFullScreen();
    } else {
        showNormal();
        if (m_normalGeometry.isValid())
            setGeometry(m_normalGeometry);
        m_skin->startSkinning();
    }
}

void Vk::loadHelp()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(QString::fromLatin1(helpFile)).absoluteFilePath()));
}

void Vk::iconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason != QSystemTrayIcon::Trigger)
        return;
    if (isHidden()) {
        restoreFromTray();
        return;
    }
    if (m_engine) {
        m_engine->play(false);
        Q_EMIT isPlay(false);
    }
    hide();
}

void Vk::restoreFromTray()
{
    // A plain showNormal() would end full screen behind the skin's back: the
    // window would come back frameless at the screen's size with Full Screen
    // still ticked. Leaving full screen the usual way restores both.
    if (m_actionFullscreen->isChecked())
        m_actionFullscreen->setChecked(false);
    else
        showNormal();
}

void Vk::closeEvent(QCloseEvent *event)
{
    // Without a notification area there is no tray icon to bring the window
    // back or to quit from, and the single-instance guard refuses a new
    // start: closing then ends the program, as the tray's Quit would (unless
    // the program is ending already and the application closes its windows).
    const bool quitting = !m_quitting && !QSystemTrayIcon::isSystemTrayAvailable();
    if (quitting && m_editor && !m_editor->close()) {
        event->ignore();
        return;
    }
    if (m_engine) {
        m_engine->play(false);
        Q_EMIT isPlay(false);
    }
    event->accept();
    storeWindowPlaces();
    if (quitting) {
        m_quitting = true;
        QCoreApplication::quit();
    }
}
