// Opening, playing and stopping a file: the engine's life in the window, the
// idle screen, failures shown to the user, and the refresh of the slider and
// the time labels.

#include "app/vk.h"

#include "app/practicestate.h"
#include "app/recentfiles.h"
#include "app/sentencepractice.h"
#include "app/timeline.h"
#include "app/userfolders.h"
#include "app/waveformpractice.h"
#include "controls/controlwidget.h"
#include "controls/qscreenwidget.h"
#include "controls/qseekslider.h"
#include "display/glrenderwidget.h"
#include "editor/textedit.h"
#include "media/media.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QTimer>

#include <algorithm>

Q_DECLARE_LOGGING_CATEGORY(lcPlayer)

namespace {

constexpr char zeroTime[] = "00:00:00";

QString chooseWithDialog(QWidget *parent, const QString &caption, const QString &directory,
                         const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, caption, directory, filter);
}

} // namespace

QString Vk::mediaFilter()
{
    return tr("Media (*.mov *.avi *.wmv *.mpeg *.mp4 *.mpg *.vob *.swf *.flv *.rmvb *.rm *.mp3 "
              "*.mkv *.wma *.wav *.flac *.m4a *.aac *.ogg *.oga *.opus *.webm *.ts *.m2ts)")
        + QStringLiteral(";;") + tr("All files (*)");
}

void Vk::setFileChooser(FileChooser chooser)
{
    m_chooseFile = chooser ? std::move(chooser) : FileChooser(chooseWithDialog);
    if (m_practice)
        m_practice->setFileChooser(m_chooseFile);
}

bool Vk::refreshTimerActive() const
{
    return m_refreshTimer && m_refreshTimer->isActive();
}

Media *Vk::createEngine()
{
    // A graphics card converts YUV itself, from half the bytes: the planes
    // go over as decoded, at the video's size (any card with fragment
    // programs has non-power-of-two textures). Else the engine converts to
    // RGB at the size shown, with a fast filter: the picture is no larger
    // than the video there, so little is lost.
    constexpr int yuv420p = 0;
    constexpr int rgb24 = 2;
    constexpr int bgra = AV_PIX_FMT_BGRA;
    constexpr int fastBilinear = 0x1; // SWS_FAST_BILINEAR
    if (GLRenderWidget::prefersYuvPictures())
        return new Media(this, false, fastBilinear, yuv420p, 0, 0);
    // On a software renderer Qt's painter copies the pictures, made at the
    // size shown, into the window.
    if (GLRenderWidget::drawsWithPainter())
        return new Media(this, false, fastBilinear, bgra, 0, 0);
    // Without non-power-of-two textures the pictures must be scaled to
    // power-of-two sizes as well.
    const bool npot = GLRenderWidget::hasExtension(QStringLiteral("GL_EXT_texture_non_power_of_two"))
        || GLRenderWidget::hasExtension(QStringLiteral("GL_ARB_texture_non_power_of_two"));
    if (npot)
        return new Media(this, false, fastBilinear, rgb24, 0, 0);
    return new Media(this, true, fastBilinear, rgb24, 0, 0);
}

void Vk::on_actionOpen_activated()
{
    // The next dialog starts where the last one ended, in this run or an
    // earlier one; a Cancel keeps that place.
    // The lesson playing now is the likeliest neighbour of the next one.
    QSettings settings(userfolders::settingsFile(), QSettings::IniFormat);
    const QString lastPlace = !m_currentFile.isEmpty() && QFileInfo::exists(m_currentFile)
        ? m_currentFile
        : settings.value(QStringLiteral("player/lastFile"), QDir::homePath()).toString();
    const QString name = m_chooseFile(this, tr("Open File"), lastPlace, mediaFilter());
    if (name.isEmpty() || !QFileInfo(name).isFile())
        return;
    settings.setValue(QStringLiteral("player/lastFile"), QFileInfo(name).absoluteFilePath());
    openFile(name);
}

bool Vk::openFile(const QString &name)
{
    rememberCurrentFile();
    m_display->setVideo(nullptr);
    m_practice->mediaClosed();
    m_waveform->mediaClosed();
    m_state->detach();
    delete m_engine;
    m_engine = nullptr;
    m_refreshTimer->stop();
    m_skipNextRefresh = false;
    m_loopLabel->hide();
    m_marksLabel->hide();

    Media *engine = createEngine();
    engine->setVolume(m_volumeLeft, m_volumeRight);
    connect(engine, &Media::running, this, &Vk::updateRefreshTimerState);
    connect(engine, &Media::paused, this, &Vk::updateRefreshTimerState);
    connect(engine, &Media::markingChanged, this, &Vk::showMarks);
    // Held, a sentence key or a jump moves the place playback goes on from.
    connect(engine, &Media::heldPlaceMoved, this, &Vk::showHeldPlace);
    connectPassageSignals(engine);
    // Told once a sitting: the picture goes on without sound meanwhile, and
    // a sound server that is missing stays missing for every file.
    connect(engine, &Media::soundUnavailable, this, [this] {
        if (m_toldNoSound)
            return;
        m_toldNoSound = true;
        reportFailure(tr("No sound can be played: the sound output could not be opened.\n"
                         "Check that a sound device or sound server is running. "
                         "The lesson plays on without sound meanwhile."));
    }, Qt::QueuedConnection);

    // Failures while opening are reported from inside open(); keep the text
    // and tell the user once open() has answered.
    QString openError;
    auto catchOpenError = connect(engine, &Media::error, this,
                                  [&openError](const QString &message) { openError = message; });
    const bool opened = engine->open(name, 0, 0);
    disconnect(catchOpenError);
    if (!opened) {
        delete engine;
        showIdle();
        if (openError.isEmpty())
            openError = tr("Error opening %1:\nThe file holds no sound or picture that can be played.").arg(name);
        reportFailure(openError);
        return false;
    }

    m_engine = engine;
    m_currentFile = QFileInfo(name).absoluteFilePath();
    RecentFiles(userfolders::settingsFile()).add(m_currentFile);
    // A worker that ends on its own (a read error) stops the engine; the
    // message arrives queued, after the engine has finished emitting.
    QPointer<Media> guard(engine);
    connect(engine, &Media::error, this, [this, guard](const QString &message) {
        if (guard && guard == m_engine) {
            on_actionStop();
            reportFailure(message);
        }
    }, Qt::QueuedConnection);

    m_display->setVideo(m_engine);
    m_slider->resetMark();
    m_slider->setEnabled(true);
    m_idleScreen->hide();
    m_display->show();
    Q_EMIT isPlay(true);
    Q_EMIT setDirPath(name);
    // A lesson with a dictation is one the learner has been writing: the
    // editor comes up beside the player with it.
    if (m_editor->isHidden() && QFileInfo::exists(name + QStringLiteral(".html"))) {
        placeEditor();
        m_editor->show();
    }

    m_engine->start();
    m_state->attach(m_engine, m_currentFile);
    restoreRemembered(m_currentFile);
    m_waveform->mediaOpened(m_engine, name);
    m_practice->mediaOpened(m_engine, name);

    m_durationLabel->setText(m_engine->mediaTimeString(m_engine->duration()));
    m_durationLabel->show();
    m_positionLabel->show();
    m_controlStrip->repaint();
    return true;
}

void Vk::showIdle()
{
    m_display->setVideo(nullptr);
    m_display->hide();
    m_idleScreen->show();
    resetTimeline();
    Q_EMIT isPlay(false);
}

void Vk::resetTimeline()
{
    m_slider->resetMark();
    m_slider->setValue(0);
    m_positionLabel->setText(QString::fromLatin1(zeroTime));
    m_durationLabel->setText(QString::fromLatin1(zeroTime));
    m_positionLabel->hide();
    m_durationLabel->hide();
    m_controlStrip->repaint();
}

void Vk::reportFailure(const QString &message)
{
    qCWarning(lcPlayer).noquote() << message;
    QMessageBox::warning(this, windowTitle(), message);
}

void Vk::on_actionStop()
{
    if (m_engine) {
        rememberCurrentFile();
        m_engine->stop();
        m_practice->mediaClosed();
        m_waveform->mediaClosed();
        m_state->detach();
        // The display lets go first, so it never holds a deleted engine.
        m_display->setVideo(nullptr);
        delete m_engine;
        m_engine = nullptr;
        m_idleScreen->show();
        resetTimeline();
        m_loopLabel->hide();
        m_marksLabel->hide();
    }
    m_display->setVideo(nullptr);
    Q_EMIT isPlay(false);
}

void Vk::updateRefreshTimerState()
{
    if (m_engine && !m_engine->isStopped() && !m_engine->isPaused())
        m_refreshTimer->start();
    else
        m_refreshTimer->stop();
}

void Vk::refreshTiming()
{
    if (!m_engine)
        return;
    if (m_skipNextRefresh) {
        m_skipNextRefresh = false;
        return;
    }
    const int64_t p = m_engine->position();
    qCDebug(lcPlayer, "position %lld in %lld..%lld", static_cast<long long>(p),
            static_cast<long long>(m_engine->markIn()), static_cast<long long>(m_engine->markOut()));
    m_slider->setValue(timeline().fraction(p));
    // Counted from the stream's start, like the slider and the length
    // beside it: a stream that starts late still begins at 00:00:00.
    m_positionLabel->setText(m_engine->mediaTimeString(std::max<int64_t>(0, p - m_engine->startTime())));
    showSpeed();
    m_controlStrip->repaint();
    m_practice->refresh();
}

void Vk::pauseAfterFrame()
{
    if (!m_engine)
        return;
    m_engine->pause(false);
    disconnect(m_engine, &Media::frameReady, this, &Vk::pauseAfterFrame);
}
