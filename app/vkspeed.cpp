// The playing speed: the steps a learner chooses from, the right-click
// menu, the keys that reach the player from the editor too, and the speed
// shown beside the time.

#include "app/vk.h"

#include "media/media.h"

#include "controls/controlwidget.h"

#include <QActionGroup>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>

#include <algorithm>
#include <cmath>

namespace {

constexpr int keyFaster = QKeyCombination(Qt::AltModifier, Qt::Key_PageUp).toCombined();
constexpr int keySlower = QKeyCombination(Qt::AltModifier, Qt::Key_PageDown).toCombined();
constexpr int keyNormal = QKeyCombination(Qt::AltModifier, Qt::Key_End).toCombined();

} // namespace

const QList<double> &Vk::speeds()
{
    static const QList<double> steps = {0.5, 0.6, 0.75, 0.9, 1.0, 1.25, 1.5};
    return steps;
}

QString Vk::speedText(double speed)
{
    return QStringLiteral("%1\u00d7").arg(speed, 0, 'g', 3);
}

void Vk::setupSpeedLabel()
{
    m_speedLabel = new QLabel(m_controlStrip);
    m_speedLabel->setObjectName(QStringLiteral("lblSpeed"));
    m_speedLabel->setPalette(m_positionLabel->palette());
    m_speedLabel->setToolTip(tr("Playing speed, with the pitch kept: Alt+Page Up faster, "
                                "Alt+Page Down slower, Alt+End normal"));
    m_stripGrid->addWidget(m_speedLabel, 0, 24, 1, 1, Qt::AlignRight | Qt::AlignTop);
    m_speedLabel->hide();
}

void Vk::showSpeed()
{
    const double speed = m_engine ? m_engine->speed() : 1.0;
    m_speedLabel->setText(speedText(speed));
    m_speedLabel->setVisible(m_engine && std::abs(speed - 1.0) > 1e-6);
}

void Vk::setPlayingSpeed(double speed)
{
    if (!m_engine)
        return;
    m_engine->setSpeed(speed);
    showSpeed();
}

// The next step up or down from the speed now, which may lie between steps
// (a remembered file's, say).
void Vk::stepSpeed(int direction)
{
    if (!m_engine)
        return;
    const double now = m_engine->speed();
    const QList<double> &steps = speeds();
    if (direction > 0) {
        const auto next = std::upper_bound(steps.begin(), steps.end(), now + 1e-6);
        if (next != steps.end())
            setPlayingSpeed(*next);
    } else {
        auto next = std::lower_bound(steps.begin(), steps.end(), now - 1e-6);
        if (next != steps.begin())
            setPlayingSpeed(*std::prev(next));
    }
}

bool Vk::handleSpeedKey(int keyWithModifiers)
{
    switch (keyWithModifiers) {
    case keyFaster: stepSpeed(1); return true;
    case keySlower: stepSpeed(-1); return true;
    case keyNormal: setPlayingSpeed(1.0); return true;
    default: return false;
    }
}

QMenu *Vk::createSpeedMenu(QWidget *parent)
{
    auto *menu = new QMenu(tr("Speed"), parent);
    auto *group = new QActionGroup(menu);
    const double now = m_engine ? m_engine->speed() : 1.0;
    for (double speed : speeds()) {
        QAction *action = menu->addAction(speed == 1.0 ? tr("%1 (normal)").arg(speedText(speed))
                                                       : speedText(speed));
        action->setCheckable(true);
        action->setChecked(std::abs(now - speed) < 1e-6);
        action->setEnabled(m_engine != nullptr);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, speed] { setPlayingSpeed(speed); });
    }
    return menu;
}
