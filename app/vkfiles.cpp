// Files reaching the player from outside the open dialog (a later start,
// drops, the recent list), what it remembers of each file between runs,
// and where its two windows stand.

#include "app/vk.h"


#include "app/filememory.h"
#include "app/practicestate.h"
#include "app/recentfiles.h"
#include "app/sentencepractice.h"
#include "app/timeline.h"
#include "app/userfolders.h"
#include "controls/qseekslider.h"
#include "editor/filekind.h"
#include "editor/textedit.h"
#include "media/media.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QSettings>

#include <algorithm>

namespace {

constexpr char playerPlace[] = "window/player";
constexpr char editorPlace[] = "window/editor";

// A stored place is used only where some screen still shows most of it.
bool onSomeScreen(const QRect &place)
{
    if (!place.isValid())
        return false;
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect seen = screen->availableGeometry().intersected(place);
        if (seen.width() * 2 >= place.width() && seen.height() * 2 >= place.height())
            return true;
    }
    return false;
}

} // namespace

void Vk::rememberCurrentFile()
{
    if (!m_engine || m_currentFile.isEmpty())
        return;
    FileMemory::State state;
    state.position = m_engine->position();
    // The learner's own passage, even while a sentence has borrowed the
    // marks: that is what he comes back to.
    const PracticeState::Passage own = m_state->learnerPassage();
    state.markIn = own.in;
    state.markOut = own.out;
    state.loop = m_state->learnerNarrowed();
    state.speed = m_engine->speed();
    FileMemory(userfolders::memoryFile()).remember(m_currentFile, state);
}

void Vk::restoreRemembered(const QString &name)
{
    const std::optional<FileMemory::State> state = FileMemory(userfolders::memoryFile()).recall(name);
    m_engine->setSpeed(state ? state->speed : m_prefs.defaultSpeed);
    if (!state)
        return;
    if (state->loop)
        m_state->restoreLearnerPassage(state->markIn, state->markOut);
    if (state->position > m_engine->startTime()) {
        m_engine->seekTo(state->position);
        m_slider->setValue(timeline().fraction(state->position));
    }
}

void Vk::openPaths(const QStringList &paths)
{
    if (isHidden() || isMinimized())
        restoreFromTray();
    raise();
    activateWindow();
    for (const QString &path : paths) {
        switch (filekind::of(path)) {
        case filekind::Kind::Media:
            openFile(path);
            break;
        case filekind::Kind::Document:
            placeEditor();
            m_editor->openDocument(path);
            break;
        case filekind::Kind::Missing:
            reportFailure(tr("The file %1 cannot be found.").arg(path));
            break;
        }
    }
}

QMenu *Vk::createRecentMenu(QWidget *parent)
{
    auto *menu = new QMenu(tr("Recent Files"), parent);
    const QStringList files = RecentFiles(userfolders::settingsFile()).files();
    QHash<QString, int> sameName;
    for (const QString &file : files)
        ++sameName[QFileInfo(file).fileName()];
    for (const QString &file : files) {
        const QFileInfo info(file);
        QString text = info.fileName();
        // Lessons of several courses often share their names.
        if (sameName.value(text) > 1)
            text += QStringLiteral(" (%1)").arg(info.dir().dirName());
        const QString hint = RecentFiles::dictationHint(file);
        if (!hint.isEmpty())
            text += QStringLiteral(" \u2014 ") + hint;
        // A file name with "&" would otherwise lose it to a shortcut mark.
        text.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction *action = menu->addAction(text);
        action->setToolTip(file);
        action->setStatusTip(file);
        connect(action, &QAction::triggered, this, [this, file] { openRecentFile(file); });
    }
    menu->setEnabled(!files.isEmpty());
    return menu;
}

void Vk::openRecentFile(const QString &name)
{
    if (!QFileInfo(name).isFile()) {
        RecentFiles(userfolders::settingsFile()).remove(name);
        reportFailure(tr("The file %1 is no longer there; it has been taken off the list of recent files.").arg(name));
        return;
    }
    openFile(name);
}

void Vk::dragEnterEvent(QDragEnterEvent *event)
{
    if (!filekind::localFiles(event->mimeData()->urls()).isEmpty())
        event->acceptProposedAction();
}

void Vk::dropEvent(QDropEvent *event)
{
    const QStringList files = filekind::localFiles(event->mimeData()->urls());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    // A text dropped while a lesson plays is its transcript; without a
    // lesson, or when it is the lesson's dictation, it is the editor's.
    const QString suffix = QFileInfo(files.first()).suffix().toLower();
    const bool text = suffix == QLatin1String("txt") || suffix == QLatin1String("html") || suffix == QLatin1String("htm");
    if (text && m_engine && !m_currentFile.isEmpty()
        && QFileInfo(files.first()).absoluteFilePath() != QFileInfo(m_currentFile + QStringLiteral(".html")).absoluteFilePath()) {
        m_practice->openTranscript(files.first());
        return;
    }
    // One file plays at a time: the first one dropped.
    openPaths(files.mid(0, 1));
}

void Vk::placeEditor()
{
    if (m_editorPlaced)
        return;
    m_editorPlaced = true;
    const QSettings settings(userfolders::settingsFile(), QSettings::IniFormat);
    const QRect stored = settings.value(QLatin1String(editorPlace)).toRect();
    // A place over the player's title bar would hide the player's own
    // buttons and is never one the learner chose to keep (an editor never
    // shown reports the screen's corner): the editor then goes beside.
    const QRect title = frameGeometry().adjusted(0, 0, 0, -std::max(0, frameGeometry().height() - 40));
    if (onSomeScreen(stored) && !stored.intersects(title)) {
        m_editor->setGeometry(stored);
        return;
    }
    // Beside the player where the screen has room, else below it; the
    // player moves aside when the two fit only that way. Where they fit
    // neither way, the editor takes the screen's far corner.
    const QRect player = frameGeometry();
    const QScreen *where = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect room = where->availableGeometry();
    const QSize size = m_editor->size();
    constexpr int gap = 8;
    if (player.width() + gap + size.width() <= room.width()) {
        const int left = std::max(room.left(), std::min(player.left(), room.right() + 1 - size.width() - gap - player.width()));
        const int top = std::clamp(player.top(), room.top(), std::max(room.top(), room.bottom() + 1 - size.height()));
        if (left != player.left())
            move(left, player.top());
        m_editor->move(left + player.width() + gap, top);
    } else if (player.height() + gap + size.height() <= room.height()) {
        const int top = std::max(room.top(), std::min(player.top(), room.bottom() + 1 - size.height() - gap - player.height()));
        const int left = std::clamp(player.left(), room.left(), std::max(room.left(), room.right() + 1 - size.width()));
        if (top != player.top())
            move(player.left(), top);
        m_editor->move(left, top + player.height() + gap);
    } else {
        m_editor->move(room.right() + 1 - size.width(), room.bottom() + 1 - size.height());
    }
}

void Vk::storeWindowPlaces()
{
    QSettings settings(userfolders::settingsFile(), QSettings::IniFormat);
    const QRect player = m_actionFullscreen->isChecked() ? m_normalGeometry : geometry();
    if (player.isValid())
        settings.setValue(QLatin1String(playerPlace), player);
    if (m_editorPlaced)
        settings.setValue(QLatin1String(editorPlace), m_editor->geometry());
}

void Vk::restoreWindowPlace()
{
    const QSettings settings(userfolders::settingsFile(), QSettings::IniFormat);
    const QRect stored = settings.value(QLatin1String(playerPlace)).toRect();
    if (onSomeScreen(stored))
        setGeometry(stored);
}
