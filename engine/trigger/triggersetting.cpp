#include "triggersetting.h"

void TriggerSetting::markDirty() {
    updateTriggerPosition();
    if (m_dirty)
        m_dirty();
}

int TriggerSetting::presetPosition(int index) const {
    // A sixteenth of the window stays on the far side of a pre or post
    // trigger, so the event itself is always in view with some context.
    const int margin = samples / 16;
    if (index <= 0)
        return margin;
    if (index == 1)
        return samples / 2;
    return qMax(0, samples - 1 - margin);
}

int TriggerSetting::updateTriggerPosition() {
    maxPosition = qMax(0, samples - 1);
    userPosition = qBound(0, userPosition, maxPosition);
    triggerPosition = positionPreSelected ? presetPosition(prePositionIndex) : userPosition;
    return triggerPosition;
}

QString TriggerSetting::positionWord(int index) {
    return index <= 0 ? QStringLiteral("pre") : index == 1 ? QStringLiteral("center") : QStringLiteral("post");
}

QString TriggerSetting::setSamples(int value) {
    if (multiTriggerCapacity <= 0) {
        // Its only size is no change.
        if (value == maxSamples)
            return QString();
        return QStringLiteral("this core captures one fixed window of %1 samples").arg(maxSamples);
    }
    if (!isPowerOfTwo(value) || value < minSamples || value > maxSamples)
        return QStringLiteral("samples per trigger must be a power of two from %1 to %2, not %3")
            .arg(minSamples)
            .arg(maxSamples)
            .arg(value);
    samples = value;
    if (qint64(samples) * numTriggers > multiTriggerCapacity)
        numTriggers = qMax(1, multiTriggerCapacity / samples);
    updateTriggerPosition();
    return QString();
}

QString TriggerSetting::setNumTriggers(int value) {
    if (multiTriggerCapacity <= 0) {
        if (value == 1)
            return QString();
        return QStringLiteral("this core captures a single trigger");
    }
    if (value < 1 || value > maxTriggers)
        return QStringLiteral("number of triggers must be from 1 to %1, not %2").arg(maxTriggers).arg(value);
    int s = samples;
    while (s > minSamples && qint64(s) * value > multiTriggerCapacity)
        s /= 2;
    if (qint64(s) * value > multiTriggerCapacity)
        return QStringLiteral("%1 triggers do not fit in the sample memory (%2 samples, at least %3 per trigger)")
            .arg(value)
            .arg(multiTriggerCapacity)
            .arg(minSamples);
    numTriggers = value;
    samples = s;
    updateTriggerPosition();
    return QString();
}

QString TriggerSetting::setPosition(const QString& word) {
    const QString w = word.trimmed().toLower();
    if (w == QLatin1String("pre") || w == QLatin1String("center") || w == QLatin1String("post")) {
        prePositionIndex = w == QLatin1String("pre") ? 0 : w == QLatin1String("center") ? 1 : 2;
        updateTriggerPosition();
        return QString();
    }
    bool ok = false;
    const int v = w.toInt(&ok);
    if (!ok || v < 0 || v > qMax(0, samples - 1))
        return QStringLiteral("trigger position must be pre, center, post or a sample from 0 to %1, not \"%2\"")
            .arg(qMax(0, samples - 1))
            .arg(word);
    userPosition = v;
    updateTriggerPosition();
    return QString();
}

QString TriggerSetting::setFinalCounter(bool on) {
    if (on && finalCounterMax < 2)
        return QStringLiteral("this core has no final event counter");
    finalCounterOn = on ? 1 : 0;
    return QString();
}

QString TriggerSetting::setFinalCounterValue(int value) {
    if (value < 1 || value > finalCounterMax)
        return QStringLiteral("final counter value must be from 1 to %1, not %2").arg(finalCounterMax).arg(value);
    finalCounterPreset = value;
    return QString();
}

QString TriggerSetting::setConnectPor(bool on) {
    if (on && !porSupported)
        return QStringLiteral("this core does not support power-on-reset debug");
    connectPorOnOpen = on;
    return QString();
}

QString TriggerSetting::validateLimits(const TriggerOptionValues& v) {
    constexpr int kMaxDepth = 1 << 24;
    if (!isPowerOfTwo(v.minSamples) || !isPowerOfTwo(v.maxSamples) || v.minSamples > v.maxSamples ||
        v.maxSamples > kMaxDepth)
        return QStringLiteral("sample depth limits must be powers of two with min <= max <= %1").arg(kMaxDepth);
    if (v.multiTriggerCapacity < 0 || v.multiTriggerCapacity > kMaxDepth ||
        (v.multiTriggerCapacity > 0 && v.multiTriggerCapacity < v.maxSamples))
        return QStringLiteral("multiple-trigger capacity must be 0 or from the maximum sample depth to %1")
            .arg(kMaxDepth);
    const int triggerLimit = v.multiTriggerCapacity > 0 ? v.multiTriggerCapacity / v.minSamples : 1;
    if (v.maxTriggers < 1 || v.maxTriggers > triggerLimit)
        return QStringLiteral("maximum number of triggers must be from 1 to %1").arg(triggerLimit);
    if (v.finalCounterMax < 1 || v.finalCounterMax > 65536)
        return QStringLiteral("final counter maximum must be from 1 to 65536");
    return QString();
}

QString TriggerSetting::validate() const {
    const QString limits = validateLimits(*this);
    if (!limits.isEmpty())
        return limits;
    if (!isPowerOfTwo(samples) || samples < minSamples || samples > maxSamples)
        return QStringLiteral("samples %1 is not a power of two from %2 to %3")
            .arg(samples)
            .arg(minSamples)
            .arg(maxSamples);
    if (multiTriggerCapacity <= 0 && (samples != maxSamples || numTriggers != 1))
        return QStringLiteral("this core captures one window of %1 samples").arg(maxSamples);
    if (numTriggers < 1 || numTriggers > maxTriggers ||
        (multiTriggerCapacity > 0 && qint64(samples) * numTriggers > multiTriggerCapacity))
        return QStringLiteral("%1 triggers of %2 samples do not fit the core").arg(numTriggers).arg(samples);
    if (prePositionIndex < 0 || prePositionIndex > 2)
        return QStringLiteral("pre-selected position must be pre, center or post");
    if (userPosition < 0 || userPosition >= samples)
        return QStringLiteral("user position %1 is outside 0 to %2").arg(userPosition).arg(samples - 1);
    if (teCombination < 0 || teCombination > 1)
        return QStringLiteral("expression combination must be or / and");
    if (finalCounterOn && finalCounterMax < 2)
        return QStringLiteral("final counter is on but the core has none");
    if (finalCounterPreset < 1 || finalCounterPreset > finalCounterMax)
        return QStringLiteral("final counter value %1 is outside 1 to %2").arg(finalCounterPreset).arg(finalCounterMax);
    if (connectPorOnOpen && !porSupported)
        return QStringLiteral("POR connection is on but the core does not support it");
    return QString();
}
