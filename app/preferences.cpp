#include "app/preferences.h"

#include <QSettings>

#include <algorithm>

namespace {

double bounded(const QSettings &settings, const char *key, double fallback, double low, double high)
{
    bool ok = false;
    const double value = settings.value(QLatin1String(key)).toDouble(&ok);
    return ok ? std::clamp(value, low, high) : fallback;
}

} // namespace

Preferences Preferences::load(const QString &settingsFile)
{
    const QSettings settings(settingsFile, QSettings::IniFormat);
    Preferences p;
    p.rewindSeconds = bounded(settings, "practice/rewindSeconds", p.rewindSeconds, 0.0, maxRewindSeconds);
    p.jumpSeconds = bounded(settings, "practice/jumpSeconds", p.jumpSeconds, 1.0, 600.0);
    p.replaySeconds = bounded(settings, "practice/replaySeconds", p.replaySeconds, 0.5, 60.0);
    p.nudgeSeconds = bounded(settings, "practice/nudgeSeconds", p.nudgeSeconds, 0.01, 5.0);
    p.loopCount = static_cast<int>(bounded(settings, "practice/loopCount", p.loopCount, 0, 99));
    p.defaultSpeed = bounded(settings, "practice/defaultSpeed", p.defaultSpeed, 0.5, 1.5);
    p.paddingMs = static_cast<int>(bounded(settings, "practice/paddingMs", p.paddingMs, 0, maxPaddingMs));
    p.autoPause = settings.value(QStringLiteral("practice/autoPause"), p.autoPause).toBool();
    p.sentenceRepeats = static_cast<int>(
        bounded(settings, "practice/repeatCount", p.sentenceRepeats, 1, maxSentenceRepeats));
    return p;
}

void Preferences::save(const QString &settingsFile) const
{
    QSettings settings(settingsFile, QSettings::IniFormat);
    settings.setValue(QStringLiteral("practice/rewindSeconds"), rewindSeconds);
    settings.setValue(QStringLiteral("practice/jumpSeconds"), jumpSeconds);
    settings.setValue(QStringLiteral("practice/replaySeconds"), replaySeconds);
    settings.setValue(QStringLiteral("practice/nudgeSeconds"), nudgeSeconds);
    settings.setValue(QStringLiteral("practice/loopCount"), loopCount);
    settings.setValue(QStringLiteral("practice/defaultSpeed"), defaultSpeed);
    settings.setValue(QStringLiteral("practice/paddingMs"), paddingMs);
    settings.setValue(QStringLiteral("practice/autoPause"), autoPause);
    settings.setValue(QStringLiteral("practice/repeatCount"), sentenceRepeats);
}
