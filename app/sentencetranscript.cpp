// A lesson's sentences from a transcript without times: choosing or being
// offered the text, aligning it with the sound in the background, telling
// the learner what could not be placed, and saving the timed sentences as
// subtitles beside the media.

#include "app/sentencepractice.h"

#include "app/vk.h"
#include "cues/sentencesplitter.h"
#include "cues/transcriptaligner.h"
#include "media/media.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSaveFile>

Q_DECLARE_LOGGING_CATEGORY(lcPlayer)

namespace {

// Sentences named in the report of those left out; the rest are counted.
constexpr int namedUnplaced = 5;

QMessageBox *nonModalBox(QWidget *parent, QMessageBox::Icon icon, const QString &text,
                         QMessageBox::StandardButtons buttons)
{
    auto *box = new QMessageBox(icon, parent->windowTitle(), text, buttons, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    return box;
}

} // namespace

void SentencePractice::createTranscriptActions()
{
    m_aligner = new TranscriptAligner(this);
    connect(m_aligner, &TranscriptAligner::progressed, this, [this](int percent) {
        if (m_progress)
            m_progress->setValue(percent);
    });
    connect(m_aligner, &TranscriptAligner::finished, this, &SentencePractice::onAligned);
    connect(m_aligner, &TranscriptAligner::failed, this, [this](const QString &path, const QString &message) {
        closeProgress();
        if (path != m_mediaPath)
            return;
        qCInfo(lcPlayer).noquote() << message;
        nonModalBox(m_player, QMessageBox::Warning, message, QMessageBox::Ok)->open();
    });
    m_actionOpenTranscript = new QAction(tr("Open Transcript..."), this);
    connect(m_actionOpenTranscript, &QAction::triggered, this, &SentencePractice::chooseTranscript);
    m_actionSaveSentences = new QAction(tr("Save Sentences as Subtitles..."), this);
    connect(m_actionSaveSentences, &QAction::triggered, this, &SentencePractice::saveSentences);
}

void SentencePractice::chooseTranscript()
{
    if (!m_engine || !m_chooseFile)
        return;
    const QString name = m_chooseFile(m_player, tr("Open Transcript"), QFileInfo(m_mediaPath).absolutePath(),
                                      Transcript::fileFilter());
    if (!name.isEmpty())
        openTranscript(name);
}

bool SentencePractice::openTranscript(const QString &path)
{
    if (!m_engine)
        return false;
    Transcript transcript;
    if (!transcript.load(path)) {
        nonModalBox(m_player, QMessageBox::Warning, transcript.errorString(), QMessageBox::Ok)->open();
        return false;
    }
    m_transcriptPath = path;
    m_aligner->start(m_mediaPath, transcript.sentences());
    if (!m_progress) {
        m_progress = new QProgressDialog(m_player);
        m_progress->setWindowTitle(m_player->windowTitle());
        m_progress->setWindowModality(Qt::NonModal);
        m_progress->setAutoClose(false);
        m_progress->setAutoReset(false);
        m_progress->setRange(0, 100);
        m_progress->setCancelButtonText(tr("Cancel"));
        connect(m_progress, &QProgressDialog::canceled, this, [this] {
            m_aligner->cancel();
            closeProgress();
        });
    }
    m_progress->setLabelText(tr("Aligning %1 with the sound...").arg(QFileInfo(path).fileName()));
    m_progress->setValue(0);
    m_progress->show();
    return true;
}

void SentencePractice::closeProgress()
{
    if (m_progress) {
        m_progress->hide();
        m_progress->deleteLater();
        m_progress = nullptr;
    }
}

void SentencePractice::onAligned(const QString &mediaPath, const TranscriptAligner::Alignment &alignment)
{
    closeProgress();
    if (mediaPath != m_mediaPath || !m_engine)
        return;
    // A text of another recording matches nothing: the sentences the
    // learner has stay.
    if (alignment.cues.isEmpty()) {
        Q_EMIT transcriptAligned(0, int(alignment.unplaced.size()));
        nonModalBox(m_player, QMessageBox::Warning,
                    tr("None of the transcript's sentences could be found in the sound."), QMessageBox::Ok)
            ->open();
        return;
    }
    // The sentences the learner practised before came from somewhere else:
    // joins and splits made on those do not fit these.
    m_awaitingSplit = false;
    m_splitter->cancel();
    m_edits.clear();
    rememberSentences();
    setCues(alignment.cues, true);
    // The cancelled run may have been reading the waveform too.
    startSplitter(false);
    const qsizetype left = alignment.unplaced.size();
    qCInfo(lcPlayer) << alignment.cues.size() << "sentences aligned," << left << "not found in" << mediaPath;
    Q_EMIT transcriptAligned(int(alignment.cues.size()), int(left));
    if (left == 0)
        return;
    QString text = left == 1
        ? tr("1 sentence of the transcript could not be found in the sound and was left out:")
        : tr("%1 sentences of the transcript could not be found in the sound and were left out:").arg(left);
    for (qsizetype i = 0; i < std::min<qsizetype>(left, namedUnplaced); ++i)
        text += QStringLiteral("\n\u2022 ") + alignment.unplaced[i];
    if (left > namedUnplaced)
        text += QLatin1Char('\n') + tr("and %1 more.").arg(left - namedUnplaced);
    nonModalBox(m_player, QMessageBox::Information, text, QMessageBox::Ok)->open();
}

void SentencePractice::offerTranscriptBeside()
{
    const QStringList found = Transcript::filesBeside(m_mediaPath);
    if (found.isEmpty() || m_offered.contains(found.first()))
        return;
    // Once a sitting: the file may be the learner's own notes.
    const QString path = found.first();
    m_offered.insert(path);
    QMessageBox *box = nonModalBox(
        m_player, QMessageBox::Question,
        tr("%1 lies beside this lesson. Align it with the sound and practise its sentences?")
            .arg(QFileInfo(path).fileName()),
        QMessageBox::Yes | QMessageBox::No);
    box->setObjectName(QStringLiteral("transcriptOffer"));
    const QString media = m_mediaPath;
    connect(box, &QMessageBox::accepted, this, [this, path, media] {
        if (media == m_mediaPath)
            openTranscript(path);
    });
    box->open();
}

void SentencePractice::saveSentences()
{
    if (m_mediaPath.isEmpty() || !m_textCues || m_cues.isEmpty())
        return;
    const QFileInfo media(m_mediaPath);
    const QString proposed = media.absoluteDir().filePath(media.completeBaseName() + QStringLiteral(".srt"));
    const QString name = m_chooseSaveFile
        ? m_chooseSaveFile(m_player, tr("Save Sentences as Subtitles"), proposed, tr("SubRip subtitles (*.srt)"))
        : QFileDialog::getSaveFileName(m_player, tr("Save Sentences as Subtitles"), proposed,
                                       tr("SubRip subtitles (*.srt)"));
    if (name.isEmpty())
        return;
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(TranscriptAligner::toSrt(m_cues).toUtf8()) < 0
        || !file.commit()) {
        nonModalBox(m_player, QMessageBox::Warning,
                    tr("Cannot save %1: %2").arg(QDir::toNativeSeparators(name), file.errorString()), QMessageBox::Ok)
            ->open();
    }
}
