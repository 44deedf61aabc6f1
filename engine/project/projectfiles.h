#pragma once

// The engine's files: the debug-logic file (.onl), the analyzer file (.ona)
// and token files (.ont), all versioned JSON. Readers take the bytes and
// check structure, types, ranges and sizes; they never throw and never
// crash on any input. See docs/formats.md.

#include "cablesettings.h"
#include "controllerrecords.h"
#include "decoderset.h"
#include "onaglobal.h"
#include "safefile.h"
#include "serdeslayout.h"
#include "tokenmodel.h"
#include "triggersetting.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVector>

namespace ProjectFiles {

constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;
constexpr int kMaxCores = 64;
constexpr int kMaxSignals = 4096;
constexpr int kMaxTriggerUnits = 64;
constexpr int kMaxExpressions = 64;
constexpr int kMaxTextLength = 4096;

struct OnlSignal {
    QString name;
    int width = 1;
    QString enumSet; // an enumeration of the file as wide as the signal; empty: none
};

struct OnlTriggerUnit {
    QString name;
    QStringList refs; // "sig", "sig[3]" or "sig[7:4]"
    int width = 1;    // bits compared
    int serial = 0;
    QString op, radix, value;
};

struct OnlExpression {
    QString name;
    QString expression;
    bool enable = true;
};

struct OnlCore {
    QString name;
    int index = -1;   // its place among the file's cores: the debug hub serves them in this order
    quint32 hash = 0; // coreHash of the core's entry: what its core in RTL reports
    int kind = 1;     // 1 analyzer, 2 controller
    QString clock;
    QVector<OnlSignal> signalList;
    QVector<OnlTriggerUnit> units;
    QVector<OnlExpression> expressions;
    TriggerOptionValues limits;
    QJsonObject simulation;    // signal name -> driver, see docs/formats.md
    QJsonObject controller;    // the controller object as written
    ControllerRecords records; // read from it (controller cores)
};

struct OnlDesign {
    QString device;
    QVector<OnlCore> cores;
    QList<TokenSetData> enums;
    QJsonObject serdes;        // SERDES description as written
    SerdesLayout serdesLayout; // read from it (empty: no SERDES)
};

struct OnaUnit {
    QString name, op, radix, value;
};

struct OnaCore {
    QString name;
    bool run = true;
    bool hasUnits = false;
    QVector<OnaUnit> units;
    bool hasExpressions = false;
    QVector<OnlExpression> expressions;
    bool hasOptions = false;
    TriggerOptionValues options; // settings part only
    QVector<DecoderEntry> decoders; // the protocol decoders of its waveform page
};

struct OnaProject {
    QString onl; // path of the .onl relative to the .ona
    CableSettings cable;
    int period = 10;
    QString clockUnit = QStringLiteral("ns");
    QString currentCore;
    QVector<OnaCore> cores;
    QList<TokenSetData> userSets;
    QJsonObject waveform; // waveform layout, kept as written
};

// FNV-1a-32 of a core's entry of the debug-logic file in compact JSON: the
// generator builds it into the core, the engine compares before it uses one.
ONA_EXPORT quint32 coreHash(const QJsonObject& core);

// Reads a whole file, refusing files larger than kMaxFileSize.
ONA_EXPORT bool readFile(const QString& path, QByteArray* data, QString* error);
// Writes atomically (QSaveFile).
using SafeFile::writeFile;

// `name` is used in error messages ("demo.onl: cores[0].name: ...").
ONA_EXPORT bool parseOnl(const QByteArray& data, const QString& name, OnlDesign* out, QString* error);
ONA_EXPORT bool parseOna(const QByteArray& data, const QString& name, OnaProject* out, QString* error);
ONA_EXPORT bool parseOnt(const QByteArray& data, const QString& name, QList<TokenSetData>* out, QString* error);

ONA_EXPORT QByteArray writeOna(const OnaProject& project);
ONA_EXPORT QByteArray writeOnt(const QList<TokenSetData>& sets);

// Resolves a signal reference against a core's signals: total bits, or
// -1 with an explanation.
ONA_EXPORT int refWidth(const QString& ref, const QVector<OnlSignal>& signalList, QString* error);

} // namespace ProjectFiles
