#include "app/preferencesdialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

PreferencesDialog::PreferencesDialog(const Preferences &prefs, QWidget *parent)
    : QDialog(parent)
    , m_prefs(prefs)
{
    setWindowTitle(tr("Preferences"));
    auto *form = new QFormLayout;
    m_rewind = addSeconds(form, tr("Rewind on resume:"), prefs.rewindSeconds, 0.0,
                          Preferences::maxRewindSeconds, 0.5, 1);
    m_jump = addSeconds(form, tr("Jump length:"), prefs.jumpSeconds, 1.0, 600.0, 5.0, 0);
    m_replay = addSeconds(form, tr("Short replay:"), prefs.replaySeconds, 0.5, 60.0, 0.5, 1);
    m_nudge = addSeconds(form, tr("Mark nudge step:"), prefs.nudgeSeconds, 0.01, 5.0, 0.05, 2);

    m_loopCount = new QSpinBox(this);
    m_loopCount->setRange(0, 99);
    m_loopCount->setValue(prefs.loopCount);
    m_loopCount->setSpecialValueText(tr("endlessly"));
    countSuffix(m_loopCount);
    form->addRow(tr("Play a marked passage:"), m_loopCount);
    connect(m_loopCount, &QSpinBox::valueChanged, this, &PreferencesDialog::takeValues);

    m_speed = new QDoubleSpinBox(this);
    m_speed->setRange(0.5, 1.5);
    m_speed->setSingleStep(0.05);
    m_speed->setDecimals(2);
    m_speed->setSuffix(QStringLiteral(" \u00d7"));
    m_speed->setValue(prefs.defaultSpeed);
    form->addRow(tr("Speed of a new file:"), m_speed);
    connect(m_speed, &QDoubleSpinBox::valueChanged, this, &PreferencesDialog::takeValues);

    m_padding = new QSpinBox(this);
    m_padding->setRange(0, Preferences::maxPaddingMs);
    m_padding->setSingleStep(50);
    m_padding->setSuffix(tr(" ms"));
    m_padding->setValue(prefs.paddingMs);
    m_padding->setToolTip(tr("Sound kept before and after each sentence, so that its first and last words are heard whole"));
    form->addRow(tr("Margin around a sentence:"), m_padding);
    connect(m_padding, &QSpinBox::valueChanged, this, &PreferencesDialog::takeValues);

    m_sentenceRepeats = new QSpinBox(this);
    m_sentenceRepeats->setRange(1, Preferences::maxSentenceRepeats);
    m_sentenceRepeats->setValue(prefs.sentenceRepeats);
    m_sentenceRepeats->setSpecialValueText(tr("once"));
    countSuffix(m_sentenceRepeats);
    form->addRow(tr("Play each sentence:"), m_sentenceRepeats);
    connect(m_sentenceRepeats, &QSpinBox::valueChanged, this, &PreferencesDialog::takeValues);

    m_autoPause = new QCheckBox(tr("Pause after each sentence"), this);
    m_autoPause->setChecked(prefs.autoPause);
    form->addRow(QString(), m_autoPause);
    connect(m_autoPause, &QCheckBox::toggled, this, &PreferencesDialog::takeValues);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

// "1 time", "2 times": the suffix follows the count.
void PreferencesDialog::countSuffix(QSpinBox *box)
{
    const auto follow = [this, box](int n) { box->setSuffix(n == 1 ? tr(" time") : tr(" times")); };
    follow(box->value());
    connect(box, &QSpinBox::valueChanged, this, follow);
}

QDoubleSpinBox *PreferencesDialog::addSeconds(QFormLayout *form, const QString &label, double value,
                                              double low, double high, double step, int decimals)
{
    auto *box = new QDoubleSpinBox(this);
    box->setRange(low, high);
    box->setDecimals(decimals);
    box->setSingleStep(step);
    box->setSuffix(tr(" s"));
    box->setValue(value);
    form->addRow(label, box);
    connect(box, &QDoubleSpinBox::valueChanged, this, &PreferencesDialog::takeValues);
    return box;
}

void PreferencesDialog::takeValues()
{
    // Called while the boxes are being made, before all of them exist.
    if (!m_rewind || !m_jump || !m_replay || !m_nudge || !m_loopCount || !m_speed || !m_padding
        || !m_autoPause || !m_sentenceRepeats)
        return;
    Preferences prefs;
    prefs.rewindSeconds = m_rewind->value();
    prefs.jumpSeconds = m_jump->value();
    prefs.replaySeconds = m_replay->value();
    prefs.nudgeSeconds = m_nudge->value();
    prefs.loopCount = m_loopCount->value();
    prefs.defaultSpeed = m_speed->value();
    prefs.paddingMs = m_padding->value();
    prefs.autoPause = m_autoPause->isChecked();
    prefs.sentenceRepeats = m_sentenceRepeats->value();
    if (prefs == m_prefs)
        return;
    m_prefs = prefs;
    Q_EMIT preferencesChanged(m_prefs);
}
