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
    int radix = 16;        // text export: a SigTreeData::Radix, 0 = token set
    QString radixName;
};

// The top-level rows of the model: a signal, or a bus with its bits.
ONA_EXPORT QVector<Var> topLevelVars(const WaveformModel& model);

// The variables with every bus split into its one-bit signals, most
// significant first, each named as its channel (a name two variables would
// share gets the bus's name in front: "BUS.clk"). Readers that take no
// vectors (the sigrok tools) read every channel of such a file.
ONA_EXPORT QVector<Var> scalarVars(const QVector<Var>& vars, const TraceData& trace);

ONA_EXPORT bool writeVcd(QIODevice* out, const TraceData& trace, const QVector<Var>& vars, const QString& module,
                         int period, const QString& unit, const QString& date, QString* error);
// How `bits` reads under the token set `set` (TokenModel::valueText); an
// empty text is shown in hexadecimal.
using TokenName = std::function<QString(const QString& set, const QString& bits)>;

ONA_EXPORT bool writeText(QIODevice* out, const TraceData& trace, const QVector<Var>& vars, const QString& core,
                          int period, const QString& unit, const QString& date, QString* error,
                          const TokenName& tokenName = {});

} // namespace WaveExport
