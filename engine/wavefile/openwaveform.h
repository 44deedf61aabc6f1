#pragma once

// The simulator's waveform the user opened (ona_open_waveform), beside and
// apart from the analyzer project: one at a time, shared by whoever reads
// it (the verbs, the waveform pages). A store is immutable once set.

#include "changestore.h"
#include "onaglobal.h"

#include <QObject>

#include <functional>
#include <memory>

// Tells the pages that the open waveform changed (opened, replaced or
// closed). Emitted in the thread that set it; a receiver in another
// thread hears it queued.
class ONA_EXPORT OpenWaveformNotifier : public QObject {
    Q_OBJECT
signals:
    void changed();
};

namespace OpenWaveform {

// Null while none is open.
ONA_EXPORT std::shared_ptr<const ChangeStore> current();
ONA_EXPORT void set(std::shared_ptr<const ChangeStore> store);
ONA_EXPORT OpenWaveformNotifier* notifier();

// What a window shows while a file loads: called in the loading thread
// after each block read, with the bytes read and the file's size, and once
// more with `done` -1 when the reading has ended; false cancels it. Null
// (the default, and without a window): none.
using LoadProgress = std::function<bool(const QString& file, qint64 done, qint64 total)>;
ONA_EXPORT void setLoadProgress(LoadProgress progress);
ONA_EXPORT LoadProgress loadProgress();

} // namespace OpenWaveform
