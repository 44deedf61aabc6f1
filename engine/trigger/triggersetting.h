#pragma once

// Trigger options of one analyzer core. The tool window reads the fields
// directly and writes only the two flags it owns (position source and POR
// connection); every other change goes through ona_set_trigoptn.

#include "onaglobal.h"

#include <QString>
#include <functional>

struct TriggerOptionValues {
    // Limits from the debug-logic file.
    bool porSupported = false;
    int multiTriggerCapacity = 0; // sample memory shared by all triggers; 0: one trigger only
    int minSamples = 1;
    int maxSamples = 1;
    int maxTriggers = 1;
    int finalCounterMax = 1;

    // Settings.
    bool connectPorOnOpen = false;
    bool positionPreSelected = true;
    int prePositionIndex = 0; // 0 pre, 1 center, 2 post
    int userPosition = 0;
    int maxPosition = 0;   // samples - 1
    int teCombination = 0; // 0 OR, 1 AND
    int samples = 1;
    int numTriggers = 1;
    int triggerPosition = 0; // effective position, see updateTriggerPosition
    int finalCounterOn = 0;
    int finalCounterPreset = 1;
};

class ONA_EXPORT TriggerSetting : public TriggerOptionValues {
public:
    TriggerSetting() = default;

    // Recomputes the trigger position and tells whoever installed a dirty
    // handler (the engine, which emits settingDirty()).
    void markDirty();
    void setDirtyHandler(std::function<void()> handler) { m_dirty = std::move(handler); }

    // Recomputes and returns triggerPosition from the position source.
    int updateTriggerPosition();
    int getMaxPosition() const { return maxPosition; }
    int getUserPosition() const { return userPosition; }
    int presetPosition(int index) const;

    // The option rules; each returns an empty text or why it refuses, and
    // changes nothing when it refuses.
    QString setSamples(int value);
    QString setNumTriggers(int value);
    QString setPosition(const QString& word); // pre, center, post or a sample index
    QString setFinalCounter(bool on);
    QString setFinalCounterValue(int value);
    QString setConnectPor(bool on);

    // Checks that the settings agree with the limits (used by the reader).
    QString validate() const;
    // Checks the limits themselves.
    static QString validateLimits(const TriggerOptionValues& v);
    static bool isPowerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }
    static QString positionWord(int index);

private:
    std::function<void()> m_dirty;
};
