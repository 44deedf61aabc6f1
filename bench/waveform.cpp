// Repaint of the waveform page, 1600 x 1000, at zoom-fit. Rows of mixed
// activity: two 32-bit buses (one counting every sample, one every 1000)
// and triples of one-bit lines: a clock toggling every sample, a counter
// bit and a quiet line (a handful of changes). Up to 16M samples there are
// 64 triples (256 channels); at 256M there are 21 (127 channels, 4 GiB of
// samples), which still fill the page. Figures, all measured in this run
// and given against the 16 ms of one 60 Hz frame:
//  - the median repaint at 4K, 64K, 1M, 16M and 256M samples
//  - the ratio 1M / 4K and 256M / 4K (goal <= 2.0: the cost follows pixels,
//    not samples)
//  - at 1M, 16M and 256M, the worst repaint while the tree scrolls from top
//    to bottom a page at a time
//  - at 1M, 16M and 256M, the 32-bit counter drawn as an analog graph and
//    as hexagons (one block: it changes every sample), both cells alone,
//    and the graph's first paint, which builds its summary
//  - at 1M with a UART decoder on one line (16 samples a bit, about 5000
//    bytes): the time to decode, and the repaint of the page together with
//    the decoder's annotation rows (goal <= 16 ms)
//  - with --vcd FILE, a simulator's dump (bench_vcdload --keep writes one
//    of 700 MB) loaded as File > Open Waveform... loads it: the median
//    zoom-fit repaint of its page and the worst while the tree scrolls
//   bench_waveform [--vcd FILE] [--vcd-only]
#include "waveform/annotationpainter.h"
#include "waveform/waveanalog.h"
#include "waveform/waveformpainter.h"
#include "waveform/waveformsignal.h"
#include "waveform/waveformview.h"
#include "waveform/wavepaintparams.h"

#include "changesource.h"
#include "decoderset.h"
#include "tracedata.h"
#include "vcdreader.h"
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

constexpr double kBudgetMs = 16.0;

// Bit `bit` of (sample / every) for the 64 samples of word w, every 1 or at
// least 64 (then the value changes at most once inside the word).
quint64 counterWord(qint64 w, int bit, qint64 every) {
    const qint64 first = w * 64;
    if (every == 1) {
        // Bits below 6 repeat inside every word.
        static const quint64 kLow[6] = {0xAAAAAAAAAAAAAAAAull, 0xCCCCCCCCCCCCCCCCull, 0xF0F0F0F0F0F0F0F0ull,
                                        0xFF00FF00FF00FF00ull, 0xFFFF0000FFFF0000ull, 0xFFFFFFFF00000000ull};
        return bit < 6 ? kLow[bit] : (first >> bit) & 1 ? ~quint64(0) : 0;
    }
    const qint64 v0 = first / every, v1 = (first + 63) / every;
    const quint64 b0 = (v0 >> bit) & 1 ? ~quint64(0) : 0, b1 = (v1 >> bit) & 1 ? ~quint64(0) : 0;
    if (v0 == v1)
        return b0;
    const quint64 low = (quint64(1) << (v1 * every - first)) - 1;
    return (b0 & low) | (b1 & ~low);
}

// Rows interleave the kinds so that every page of the tree shows all of
// them; the two buses come first and in the middle.
Built build(qint64 samples, int triples = 64) {
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
    for (int i = 0; i < triples; ++i) {
        if (i == triples / 2)
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
    int ch = 0;
    for (int b = 31; b >= 0; --b, ++ch)
        for (qint64 w = 0; w < words; ++w)
            trace->channelWords(ch)[w] = counterWord(w, b, 1);
    for (int s = 0; s < single.size(); ++s) {
        if (s == triples / 2 * 3)
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
                for (qint64 w = 0; w < words; ++w)
                    out[w] = counterWord(w, bit, 1);
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

// The page on `model`, 1600 x 1000, shown at zoom-fit; its tree.
WaveformSignal* showAtZoomFit(WaveformView* page, WaveformModel* model) {
    page->resize(1600, 1000);
    page->setWaveformModel(model);
    page->show();
    QApplication::processEvents();
    WaveformSignal* tree = page->tree();
    model->zoomFit(tree->waveWidth());
    QApplication::processEvents();
    return tree;
}

struct DecodedFigures {
    qint64 annotations = 0;
    double decodeMs = 0, repaintMs = 0, rowsMs = 0;
};

// The 1M capture with a UART on the line "quiet0" (bytes 0x00 to 0xFF at 16
// samples a bit, 4 idle bits between them), decoded, and the page repainted
// with the decoder's rows under it as the page draws them.
DecodedFigures decodedRepaint() {
    const qint64 depth = 1 << 20;
    Built b = build(depth);
    const int line = b.trace->channelOf(QStringLiteral("quiet0"));
    quint64* w = b.trace->channelWords(line);
    std::fill(w, w + b.trace->wordsPerChannel(), ~quint64(0));
    auto setLevel = [&](qint64 s, int v) {
        if (v)
            w[s >> 6] |= quint64(1) << (s & 63);
        else
            w[s >> 6] &= ~(quint64(1) << (s & 63));
    };
    for (qint64 at = 64, byte = 0; at + 14 * 16 < depth; ++byte) {
        const int bits[10] = {0,
                              int(byte & 1),
                              int(byte >> 1 & 1),
                              int(byte >> 2 & 1),
                              int(byte >> 3 & 1),
                              int(byte >> 4 & 1),
                              int(byte >> 5 & 1),
                              int(byte >> 6 & 1),
                              int(byte >> 7 & 1),
                              1};
        for (int v : bits)
            for (int k = 0; k < 16; ++k)
                setLevel(at++, v);
        at += 4 * 16;
        byte &= 0xFF;
    }
    b.trace->finish(); // the summaries again, for the changed line
    WaveformModel model;
    model.setTrace(b.trace, b.widths);
    model.setClockPeriod(10);
    DecoderSet set(&model, b.trace->channelNames());
    DecoderEntry e;
    e.decoder = QStringLiteral("uart");
    e.channels.insert(QStringLiteral("tx"), QStringLiteral("quiet0"));
    e.options.insert(QStringLiteral("baudrate"), QStringLiteral("6250000"));
    QString name, error;
    QElapsedTimer clock;
    clock.start();
    DecodedFigures f;
    if (!set.add(e, &name, &error)) {
        std::printf("decoder refused: %s\n", qPrintable(error));
        return f;
    }
    set.wait();
    f.decodeMs = clock.nsecsElapsed() / 1e6;
    const auto result = set.result(name);
    if (!result) {
        std::printf("decode failed: %s\n", qPrintable(set.status(name).error));
        return f;
    }
    f.annotations = result->count();
    WaveformView page(nullptr);
    WaveformSignal* tree = showAtZoomFit(&page, &model);
    QImage image(tree->viewport()->size(), QImage::Format_RGB32);
    const int waveLeft = tree->viewport()->width() - tree->waveWidth();
    auto rows = [&](QImage* img) {
        QPainter p(img);
        int y = img->height() - 24 * result->rows.size();
        for (int row = 0; row < result->rows.size(); ++row, y += 24) {
            const WavePaintParams params = WavePaintParams::make(&model, QRect(waveLeft, y, tree->waveWidth(), 24));
            p.fillRect(params.cell, params.background);
            wavepaint::paintAnnotations(&p, params, *result, row, params.wave);
        }
    };
    renderMs(tree->viewport(), &image);
    rows(&image);
    QList<double> all, only;
    for (int i = 0; i < 15; ++i) {
        QElapsedTimer t;
        t.start();
        renderMs(tree->viewport(), &image);
        const qint64 mid = t.nsecsElapsed();
        rows(&image);
        all << t.nsecsElapsed() / 1e6;
        only << (t.nsecsElapsed() - mid) / 1e6;
    }
    f.repaintMs = median(all);
    f.rowsMs = median(only);
    if (qEnvironmentVariableIsSet("BENCH_WAVEFORM_PNG"))
        image.save(QStringLiteral("%1/bench_decoded.png").arg(qEnvironmentVariable("BENCH_WAVEFORM_PNG")));
    return f;
}

// The worst repaint while the tree scrolls from top to bottom a page at a time.
double worstScrolled(WaveformSignal* tree, QImage* image, int* pages) {
    double worst = 0;
    *pages = 0;
    QScrollBar* bar = tree->verticalScrollBar();
    for (int v = bar->minimum();; v += bar->pageStep()) {
        bar->setValue(qMin(v, bar->maximum()));
        QApplication::processEvents();
        worst = qMax(worst, renderMs(tree->viewport(), image));
        ++*pages;
        if (v >= bar->maximum())
            break;
    }
    bar->setValue(bar->minimum());
    QApplication::processEvents();
    return worst;
}

struct DumpFigures {
    double loadS = 0, firstMs = 0, repaintMs = -1, scrolledMs = 0;
};

// A simulator's dump on its page as the window shows it: scopes open,
// zoomed to fit.
DumpFigures dumpRepaint(const QString& path) {
    DumpFigures f;
    QElapsedTimer clock;
    clock.start();
    QString error;
    std::shared_ptr<const ChangeStore> store = VcdReader::read(path, VcdReader::Options(), &error);
    f.loadS = clock.nsecsElapsed() / 1e9;
    if (!store) {
        std::printf("dump refused: %s\n", qPrintable(error));
        return f;
    }
    WaveformModel model;
    model.setSource(std::make_shared<ChangeSource>(store));
    WaveformView page(nullptr);
    page.resize(1600, 1000);
    clock.restart();
    page.setWaveformModel(&model);
    page.show();
    QApplication::processEvents();
    WaveformSignal* tree = page.tree();
    tree->expandAll();
    model.zoomFit(tree->waveWidth());
    QApplication::processEvents();
    QImage image(tree->viewport()->size(), QImage::Format_RGB32);
    renderMs(tree->viewport(), &image);
    f.firstMs = clock.nsecsElapsed() / 1e6;
    QList<double> times;
    for (int i = 0; i < 15; ++i)
        times << renderMs(tree->viewport(), &image);
    f.repaintMs = median(times);
    int pages = 0;
    f.scrolledMs = worstScrolled(tree, &image, &pages);
    std::printf(
        "dump %s: %lld variables, %lld changes over %lld ticks, loaded in %.2f s; shown and drawn in %.0f ms "
        "(the first paint makes the summaries of the rows it shows), median zoom-fit repaint %.2f ms, "
        "worst of %d scrolled pages %.2f ms\n",
        qPrintable(path), static_cast<long long>(store->numVars()), static_cast<long long>(store->totalChanges()),
        static_cast<long long>(store->endTime), f.loadS, f.firstMs, f.repaintMs, pages, f.scrolledMs);
    if (qEnvironmentVariableIsSet("BENCH_WAVEFORM_PNG"))
        image.save(QStringLiteral("%1/bench_dump.png").arg(qEnvironmentVariable("BENCH_WAVEFORM_PNG")));
    return f;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int vcdAt = args.indexOf(QStringLiteral("--vcd"));
    const QString vcd = vcdAt > 0 ? args.value(vcdAt + 1) : QString();
    if (vcdAt > 0 && vcd.isEmpty()) {
        std::fprintf(stderr, "usage: bench_waveform [--vcd FILE] [--vcd-only]\n");
        return 2;
    }
    if (args.contains(QStringLiteral("--vcd-only"))) {
        const DumpFigures f = dumpRepaint(vcd);
        std::printf(
            "Against the 16 ms budget (goal <= 1.00):\n  zoom-fit repaint of the dump: %.2f\n"
            "  worst scrolled repaint of the dump: %.2f\n",
            f.repaintMs / kBudgetMs, f.scrolledMs / kBudgetMs);
        return f.repaintMs < 0;
    }
    struct Depth {
        qint64 samples;
        int triples;
        QString name;
    };
    const QList<Depth> depths{{4096, 64, QStringLiteral("4K")},
                              {65536, 64, QStringLiteral("64K")},
                              {1 << 20, 64, QStringLiteral("1M")},
                              {1 << 24, 64, QStringLiteral("16M")},
                              {1 << 28, 21, QStringLiteral("256M")}};
    QList<double> medians;
    QList<QPair<QString, double>> scrolls, cells;
    for (const Depth& depth : depths) {
        QElapsedTimer made;
        made.start();
        Built b = build(depth.samples, depth.triples);
        const double buildMs = made.nsecsElapsed() / 1e6;
        WaveformModel model;
        model.setTrace(b.trace, b.widths);
        WaveformView page(nullptr);
        WaveformSignal* tree = showAtZoomFit(&page, &model);
        QImage image(tree->viewport()->size(), QImage::Format_RGB32);
        renderMs(tree->viewport(), &image); // warm-up (fonts, style)
        QList<double> times;
        for (int i = 0; i < 15; ++i)
            times << renderMs(tree->viewport(), &image);
        medians << median(times);
        const double mib = b.trace->storageBytes() / 1048576.0;
        std::printf(
            "depth %4s: median repaint %7.2f ms, %.2f of the budget (window %lld samples over %d px; "
            "%d channels, %.0f MiB held, built in %.0f ms)\n",
            qPrintable(depth.name), medians.last(), medians.last() / kBudgetMs,
            static_cast<long long>(model.getViewCount()), tree->waveWidth(), b.trace->numChannels(), mib, buildMs);
        if (depth.samples >= (1 << 20)) {
            // One cell of the fast 32-bit bus, as hexagons and as a graph.
            QVector<int> channels;
            for (int c = 0; c < 32; ++c)
                channels << c;
            const QRect cell(0, 0, tree->waveWidth(), 70);
            const WavePaintParams w = WavePaintParams::make(cell, 0, int(depth.samples), int(depth.samples));
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
            const double summaryMs = first.nsecsElapsed() / 1e6;
            const double digital =
                cellMs([&](QPainter* p) { wavepaint::paintBus(p, w, *b.trace, channels, BusFormat()); });
            const double graph = cellMs([&](QPainter* p) { wavepaint::paintAnalog(p, w, *analog); });
            std::printf(
                "  32-bit bus, one cell of %d px: digital %.3f ms, analog %.3f ms (%.2f of the budget); "
                "analog summary built once in %.1f ms\n",
                cell.width(), digital, graph, graph / kBudgetMs, summaryMs);
            cells.append({depth.name, graph});
            int pages = 0;
            const double worst = worstScrolled(tree, &image, &pages);
            std::printf("  scroll, %d pages: worst repaint %.2f ms\n", pages, worst);
            scrolls.append({depth.name, worst});
            renderMs(tree->viewport(), &image);
        }
        if (qEnvironmentVariableIsSet("BENCH_WAVEFORM_PNG"))
            image.save(
                QStringLiteral("%1/bench_%2.png").arg(qEnvironmentVariable("BENCH_WAVEFORM_PNG")).arg(depth.samples));
    }
    const DecodedFigures decoded = decodedRepaint();
    const DumpFigures dump = vcd.isEmpty() ? DumpFigures() : dumpRepaint(vcd);
    std::printf("\nAgainst the 16 ms budget (goal <= 1.00):\n");
    for (int i = 2; i < depths.size(); ++i)
        std::printf("  zoom-fit repaint at %4s: %.2f\n", qPrintable(depths.at(i).name), medians.at(i) / kBudgetMs);
    for (const auto& s : scrolls)
        std::printf("  worst scrolled repaint at %4s: %.2f\n", qPrintable(s.first), s.second / kBudgetMs);
    for (const auto& c : cells)
        std::printf("  analog cell at %4s: %.2f\n", qPrintable(c.first), c.second / kBudgetMs);
    std::printf("  repaint with UART rows at 1M: %.2f\n", decoded.repaintMs / kBudgetMs);
    if (dump.repaintMs >= 0)
        std::printf("  zoom-fit repaint of the dump: %.2f; worst scrolled: %.2f\n", dump.repaintMs / kBudgetMs,
                    dump.scrolledMs / kBudgetMs);
    std::printf("Against depth (goal <= 2.0):\n");
    std::printf("  ratio 1M / 4K: %.2f\n", medians.at(2) / medians.at(0));
    std::printf("  ratio 16M / 4K: %.2f\n", medians.at(3) / medians.at(0));
    std::printf("  ratio 256M / 4K: %.2f\n", medians.at(4) / medians.at(0));
    std::printf("UART decoder at 1M: %lld annotations decoded in %.0f ms; of the repaint, the rows %.2f ms\n",
                decoded.annotations, decoded.decodeMs, decoded.rowsMs);
    return 0;
}
