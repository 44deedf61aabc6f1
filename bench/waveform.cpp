// Repaint of the waveform page, 1600 x 1000, at zoom-fit. 256 channels of
// mixed activity: 64 clocks toggling every sample, 64 counter bits, 64 quiet
// lines (a handful of changes), a 32-bit counter that counts every sample
// and a 32-bit one that counts every 1000. Figures, all measured in this run:
//  - the median repaint at 4K, 64K, 1M and 16M samples
//  - the ratio 1M / 4K (goal <= 2.0: the cost follows pixels, not samples)
//  - at 1M, the worst repaint while the tree scrolls from top to bottom a
//    page at a time (goal: within one 60 Hz frame, 16 ms)
//  - at 1M, the 32-bit counter drawn as an analog graph against the same
//    bus drawn as hexagons, both cells alone (goal: ratio <= 2.0), and the
//    graph's first paint, which builds its summary
#include "waveform/waveanalog.h"
#include "waveform/waveformpainter.h"
#include "waveform/waveformsignal.h"
#include "waveform/waveformview.h"
#include "waveform/wavepaintparams.h"

#include "tracedata.h"
#include "waveformmodel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

using namespace vemo::toolona;

namespace {

struct Built {
    std::shared_ptr<TraceData> trace;
    QList<QPair<QString, int>> widths;
};

// Rows interleave the kinds so that every page of the tree shows all of
// them; the two buses come first and in the middle.
Built build(qint64 samples) {
    QStringList names;
    QList<QPair<QString, int>> widths;
    enum Kind { Clock, Counter, Quiet };
    QList<QPair<Kind, int>> single;
    auto addBus = [&](const QString& bus) {
        for (int b = 31; b >= 0; --b)
            names << QStringLiteral("%1[%2]").arg(bus).arg(b);
        widths.append({bus, 32});
    };
    addBus(QStringLiteral("fastbus"));
    for (int i = 0; i < 64; ++i) {
        if (i == 32)
            addBus(QStringLiteral("slowbus"));
        for (Kind k : {Clock, Counter, Quiet}) {
            const QString n = QStringLiteral("%1%2").arg(k == Clock ? "clk" : k == Counter ? "cnt" : "quiet").arg(i);
            names << n;
            widths.append({n, 1});
            single.append({k, i});
        }
    }
    auto trace = std::make_shared<TraceData>(names, samples);
    const qint64 words = trace->wordsPerChannel();
    auto counterWord = [](qint64 w, int bit, qint64 every) {
        // Bit `bit` of (sample / every) for the 64 samples of word w.
        quint64 out = 0;
        for (int i = 0; i < 64; ++i)
            if (((w * 64 + i) / every >> bit) & 1)
                out |= quint64(1) << i;
        return out;
    };
    int ch = 0;
    for (int b = 31; b >= 0; --b, ++ch)
        for (qint64 w = 0; w < words; ++w)
            trace->channelWords(ch)[w] = counterWord(w, b, 1);
    for (int s = 0; s < single.size(); ++s) {
        if (s == 96)
            for (int b = 31; b >= 0; --b, ++ch)
                for (qint64 w = 0; w < words; ++w)
                    trace->channelWords(ch)[w] = counterWord(w, b, 1000);
        quint64* out = trace->channelWords(ch++);
        const int i = single.at(s).second;
        switch (single.at(s).first) {
            case Clock:
                std::fill(out, out + words, 0xAAAAAAAAAAAAAAAAull);
                break;
            case Counter: {
                const int bit = i % 12;
                if (bit < 6) {
                    for (qint64 w = 0; w < words; ++w)
                        out[w] = counterWord(w, bit, 1);
                } else {
                    // Period of 128 samples or more: whole words of 0 or 1.
                    for (qint64 w = 0; w < words; ++w)
                        out[w] = ((w * 64) >> bit) & 1 ? ~quint64(0) : 0;
                }
                break;
            }
            case Quiet:
                for (int k = 1; k <= 4; ++k) {
                    const qint64 at = samples * k / 5 + i;
                    if (k % 2)
                        for (qint64 s2 = at; s2 < qMin(samples, at + 3); ++s2)
                            out[s2 / 64] |= quint64(1) << (s2 % 64);
                }
                break;
        }
    }
    if (samples % 64)
        for (int c = 0; c < names.size(); ++c)
            trace->channelWords(c)[words - 1] &= (quint64(1) << (samples % 64)) - 1;
    trace->finish();
    return {trace, widths};
}

double renderMs(QWidget* viewport, QImage* image) {
    QElapsedTimer t;
    t.start();
    QPainter p(image);
    viewport->render(&p);
    p.end();
    return t.nsecsElapsed() / 1e6;
}

double median(QList<double> v) {
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v.at(v.size() / 2);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QList<qint64> depths{4096, 65536, 1 << 20, 1 << 24};
    QList<double> medians;
    double worstScroll = 0;
    int pages = 0;
    for (qint64 depth : depths) {
        Built b = build(depth);
        WaveformModel model;
        model.setTrace(b.trace, b.widths);
        WaveformView page(nullptr);
        page.resize(1600, 1000);
        page.setWaveformModel(&model);
        page.show();
        QApplication::processEvents();
        WaveformSignal* tree = page.tree();
        model.zoomFit(tree->waveWidth());
        QApplication::processEvents();
        QImage image(tree->viewport()->size(), QImage::Format_RGB32);
        renderMs(tree->viewport(), &image); // warm-up (fonts, style)
        QList<double> times;
        for (int i = 0; i < 15; ++i)
            times << renderMs(tree->viewport(), &image);
        medians << median(times);
        std::printf("depth %9lld: median repaint %7.2f ms (window %d samples over %d px)\n", depth, medians.last(),
                    model.getViewCount(), tree->waveWidth());
        if (depth == (1 << 20)) {
            // One cell of the fast 32-bit bus, as hexagons and as a graph.
            QVector<int> channels;
            for (int c = 0; c < 32; ++c)
                channels << c;
            const QRect cell(0, 0, tree->waveWidth(), 70);
            const WavePaintParams w = WavePaintParams::make(cell, 0, int(depth), int(depth));
            QImage img(cell.size(), QImage::Format_RGB32);
            const auto cellMs = [&](const std::function<void(QPainter*)>& draw) {
                QList<double> t;
                for (int i = 0; i < 15; ++i) {
                    QElapsedTimer timer;
                    timer.start();
                    QPainter p(&img);
                    draw(&p);
                    p.end();
                    t << timer.nsecsElapsed() / 1e6;
                }
                return median(t);
            };
            QElapsedTimer first;
            first.start();
            auto analog = AnalogTrace::of(b.trace, channels, false);
            const double buildMs = first.nsecsElapsed() / 1e6;
            const double digital =
                cellMs([&](QPainter* p) { wavepaint::paintBus(p, w, *b.trace, channels, BusFormat()); });
            const double graph = cellMs([&](QPainter* p) { wavepaint::paintAnalog(p, w, *analog); });
            std::printf(
                "1M-sample 32-bit bus, one cell of %d px: digital %.3f ms, analog %.3f ms, ratio %.2f "
                "(goal <= 2.0); analog summary built once in %.1f ms\n",
                cell.width(), digital, graph, graph / digital, buildMs);
            QScrollBar* bar = tree->verticalScrollBar();
            for (int v = bar->minimum();; v += bar->pageStep()) {
                bar->setValue(qMin(v, bar->maximum()));
                QApplication::processEvents();
                worstScroll = qMax(worstScroll, renderMs(tree->viewport(), &image));
                ++pages;
                if (v >= bar->maximum())
                    break;
            }
        }
        if (qEnvironmentVariableIsSet("BENCH_WAVEFORM_PNG"))
            image.save(QStringLiteral("%1/bench_%2.png").arg(qEnvironmentVariable("BENCH_WAVEFORM_PNG")).arg(depth));
    }
    const double ratio = medians.at(2) / medians.at(0);
    std::printf("ratio 1M / 4K: %.2f (goal <= 2.0)\n", ratio);
    std::printf("repaint at 1M: %.2f ms (goal <= 16 ms)\n", medians.at(2));
    std::printf("scroll at 1M, %d pages: worst repaint %.2f ms\n", pages, worstScroll);
    std::printf("ratio 16M / 4K: %.2f\n", medians.at(3) / medians.at(0));
    return 0;
}
