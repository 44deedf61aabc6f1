#pragma once

// The two result files of an eye scan, their writers and their readers.
//
// CSV (a PCS channel): one sample point a line, no header:
//   x,y,nsamples_cur,nsamples_pre,nerrors_cur,nerrors_pre
// x and y are decimal steps, the four counters hexadecimal.
//
// Text (a multi-protocol PHY quad lane): three named arrays as a dict dump,
//   {'comb_vals': array([[...], ...]), 'x_axis': array([...]), 'y_axis': array([...])}
// comb_vals holds one row of BER values per y, one column per x.
//
// Readers check every count, size and value and refuse a file that does not
// parse with a message naming the line, so nothing half-read is drawn.

#include "onaglobal.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

namespace EomFiles {

// Limits of both readers.
constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;
constexpr int kMaxAxis = 1024;        // distinct x or y values
constexpr qint64 kMaxPoints = 1 << 18; // points of a grid (x values times y values)
constexpr int kMaxStep = 100000;      // |x| and |y| of a CSV point
constexpr quint64 kMaxCount = quint64(1) << 62; // a counter; two of them still add up in 64 bits

struct CsvPoint {
    int x = 0;
    int y = 0;
    quint64 samples = 0; // current + previous pass
    quint64 errors = 0;
    int fields = 0;
};

// Parses CSV text into rows of fields (as the raw data table shows them).
// Blank lines are skipped; a row may have fewer than six fields (the missing
// ones count as 0) but every field present must be a number.
ONA_EXPORT bool readCsv(const QByteArray& text, QList<QStringList>* rows, QString* error);
// The point of a row that readCsv accepted.
ONA_EXPORT CsvPoint csvPoint(const QStringList& row);
// The height of a CSV point: its bit error ratio in percent, in single
// precision and truncated, at least 1 when there is any error; 0 with fewer
// than six fields, no errors or more errors than samples.
ONA_EXPORT int csvHeight(const CsvPoint& p);

struct EomText {
    QVector<double> comb; // row by row: comb[j * x.size() + i]
    QVector<double> x;
    QVector<double> y;
};
ONA_EXPORT bool readText(const QByteArray& text, EomText* out, QString* error);

// Reads a result file from disk through the engine's regular-file reader.
ONA_EXPORT bool readFile(const QString& path, QByteArray* data, QString* error);

// Writers, for the simulated device.
ONA_EXPORT QByteArray csvLine(int x, int y, quint64 samplesCur, quint64 samplesPre, quint64 errorsCur,
                              quint64 errorsPre);
ONA_EXPORT QByteArray writeText(const EomText& eye);

} // namespace EomFiles
