#pragma once

#include "app/preferences.h"

#include <QDialog>

class QCheckBox;
class QDoubleSpinBox;
class QSpinBox;

// The learner's settings in one form. Every change is reported at once
// through preferencesChanged, so there is nothing to confirm: Close only
// closes.
class PreferencesDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PreferencesDialog)

public:
    explicit PreferencesDialog(const Preferences &prefs, QWidget *parent = nullptr);

    Preferences preferences() const { return m_prefs; }

    QDoubleSpinBox *rewindBox() const { return m_rewind; }
    QDoubleSpinBox *jumpBox() const { return m_jump; }
    QDoubleSpinBox *replayBox() const { return m_replay; }
    QDoubleSpinBox *nudgeBox() const { return m_nudge; }
    QSpinBox *loopCountBox() const { return m_loopCount; }
    QDoubleSpinBox *speedBox() const { return m_speed; }
    QSpinBox *paddingBox() const { return m_padding; }
    QCheckBox *autoPauseBox() const { return m_autoPause; }
    QSpinBox *sentenceRepeatsBox() const { return m_sentenceRepeats; }

Q_SIGNALS:
    void preferencesChanged(const Preferences &prefs);

private:
    QDoubleSpinBox *addSeconds(class QFormLayout *form, const QString &label, double value,
                               double low, double high, double step, int decimals);
    void takeValues();
    void countSuffix(QSpinBox *box);

    Preferences m_prefs;
    QDoubleSpinBox *m_rewind = nullptr;
    QDoubleSpinBox *m_jump = nullptr;
    QDoubleSpinBox *m_replay = nullptr;
    QDoubleSpinBox *m_nudge = nullptr;
    QSpinBox *m_loopCount = nullptr;
    QDoubleSpinBox *m_speed = nullptr;
    QSpinBox *m_padding = nullptr;
    QCheckBox *m_autoPause = nullptr;
    QSpinBox *m_sentenceRepeats = nullptr;
};
