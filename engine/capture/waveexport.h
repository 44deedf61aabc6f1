#pragma once

// Writers of a captured trace: VCD (IEEE 1364) and the text format of
// docs/formats.md. Both go through a QIODevice so that the caller decides
// about atomic files; both read the store word by word.

#include "onaglobal.h"

#include <QString>
#include <QVector>
#include <functional>

class QIODevice;
class TraceData;
class WaveformModel;

namespace WaveExport {

struct Var {
    QString name;
    QVector<int> channels; // most significant first
    int radix = 16;        // text export: 2, 8, 10, 16, 0 = token set
    QString radixName;
};

// The top-level rows of the model: a signal, or a bus with its bits.
ONA_EXPORT QVector<Var> topLevelVars(const WaveformModel& model);

ONA_EXPORT bool writeVcd(QIODevice* out, const TraceData& trace, const QVector<Var>& vars, const QString& module,
                         int period, const QString& unit, const QString& date, QString* error);
// How `bits` reads under the token set `set` (TokenModel::valueText); an
// empty text is shown in hexadecimal.
using TokenName = std::function<QString(const QString& set, const QString& bits)>;

ONA_EXPORT bool writeText(QIODevice* out, const TraceData& trace, const QVector<Var>& vars, const QString& core,
                          int period, const QString& unit, const QString& date, QString* error,
                          const TokenName& tokenName = {});

// VCD identifier of the n-th variable: printable characters '!' to '~'.
ONA_EXPORT QByteArray vcdId(int n);

} // namespace WaveExport
