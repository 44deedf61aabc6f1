// The simulated JTAG device: a Verilated design top made by the RTL
// generator, with its design clocks running and its TAP pins served to
// OpenOCD's remote_bitbang adapter. Also dumps the probed values per clock
// and measures the simulation speed.
//
//   <prog> --port N [--time-limit S]   serve JTAG on 127.0.0.1:N (0: any free port)
//   <prog> --dump N                    the probed values of clocks 0 .. N-1, one line each
//   <prog> --run N                     run N clocks and report clocks per second

#include "bitbangserver.h"
#include "ona_sim_design.h" // the generated <name>_sim.h

#include "verilated.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

volatile std::sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }

template <typename T>
bool bitOf(const T& v, int i) {
    return i < int(8 * sizeof(T)) && ((static_cast<uint64_t>(v) >> i) & 1u);
}
template <std::size_t N>
bool bitOf(const VlWide<N>& v, int i) {
    return (v.at(size_t(i) / 32) >> (i % 32)) & 1u;
}

// Bits [lsb, lsb + bits) of a model value as hexadecimal digits.
template <typename T>
void putHex(std::string* line, const T& v, int bits, int lsb) {
    for (int d = (bits + 3) / 4 - 1; d >= 0; --d) {
        int nibble = 0;
        for (int b = 3; b >= 0; --b) {
            const int i = 4 * d + b;
            nibble = nibble << 1 | (i < bits && bitOf(v, lsb + i));
        }
        *line += "0123456789abcdef"[nibble];
    }
}

class Device : public BitbangPins {
public:
    explicit Device(VerilatedContext* ctx) : m_top(ctx) {
        setClocks(0);
        m_top.tck = 0;
        m_top.tms = 1;
        m_top.tdi = 0;
        m_top.trst_n = 0;
        m_top.rst = 1;
        for (int i = 0; i < 4; ++i)
            cycle();
        m_top.trst_n = 1;
        m_top.rst = 0;
        m_top.eval();
        m_cycles = 0;
    }
    ~Device() override { m_top.final(); }

    // One clock of every design clock: sample n holds after n of them.
    void cycle() {
        setClocks(1);
        m_top.eval();
        setClocks(0);
        m_top.eval();
        ++m_cycles;
    }
    uint64_t cycles() const { return m_cycles; }

    void setJtag(bool tck, bool tms, bool tdi) override {
        m_top.tck = tck;
        m_top.tms = tms;
        m_top.tdi = tdi;
        m_top.eval();
    }
    bool tdo() override { return m_top.tdo; }
    void setResets(bool trst, bool srst) override {
        m_top.trst_n = !trst;
        m_top.rst = srst;
        m_top.eval();
    }

    static std::string names() {
        std::string s;
#define ONA_NAME(core, name, bits, member, lsb) s += std::string(s.empty() ? "" : " ") + core + "." + name;
        ONA_SIM_VALUES(ONA_NAME)
#undef ONA_NAME
        return s;
    }
    void values(std::string* line) const {
        line->clear();
        auto* root = m_top.rootp;
#define ONA_VALUE(core, name, bits, member, lsb) \
    if (!line->empty())                          \
        *line += ' ';                            \
    putHex(line, root->member, bits, lsb);
        ONA_SIM_VALUES(ONA_VALUE)
#undef ONA_VALUE
    }

private:
    void setClocks(int v) {
#define ONA_CLOCK(name) m_top.name = v;
        ONA_SIM_CLOCKS(ONA_CLOCK)
#undef ONA_CLOCK
    }
    ONA_SIM_TOP m_top;
    uint64_t m_cycles = 0;
};

int usage(const char* prog) {
    std::fprintf(stderr,
                 "usage: %s --port N [--time-limit SECONDS]  serve JTAG (remote_bitbang) on 127.0.0.1:N, 0 = any\n"
                 "       %s --dump N                         print the probed values of the first N clocks\n"
                 "       %s --run N                          run N clocks, report clocks per second\n",
                 prog, prog, prog);
    return 2;
}

bool number(const char* text, long long lo, long long hi, long long* out) {
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &end, 10);
    if (errno || end == text || *end || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

int serve(VerilatedContext* ctx, int port, double limit) {
    BitbangServer server;
    std::string error;
    if (!server.listen(port, &error)) {
        std::fprintf(stderr, "ondrel-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s: JTAG (remote_bitbang) on 127.0.0.1:%d, IDCODE 0x%08x\n", ONA_SIM_DESIGN, server.port(),
                unsigned(ONA_SIM_IDCODE));
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    // Nobody sees the design before a client comes: wait without running it.
    while (!server.accept(100, &error)) {
        if (!error.empty() || g_stop || seconds(start) > limit) {
            if (!error.empty())
                std::fprintf(stderr, "ondrel-sim: %s\n", error.c_str());
            return error.empty() ? 0 : 1;
        }
    }
    Device dev(ctx);
    // The design clocks run between requests, so design time goes on
    // whatever the client's TCK does.
    // While requests stream in, a few clocks between reads keep the design
    // going without making each round trip of the client wait for 64.
    constexpr int kCyclesIdle = 64, kCyclesBusy = 4;
    while (!g_stop && seconds(start) <= limit) {
        const BitbangServer::Status status = server.serve(&dev, 0);
        if (status == BitbangServer::Status::Closed)
            break;
        for (int i = status == BitbangServer::Status::Served ? kCyclesBusy : kCyclesIdle; i > 0; --i)
            dev.cycle();
    }
    std::printf("%s: %llu clocks served\n", ONA_SIM_DESIGN, static_cast<unsigned long long>(dev.cycles()));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    long long port = -1, dump = -1, run = -1, limit = 3600;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc)
            return usage(argv[0]);
        const char* v = argv[++i];
        bool ok = false;
        if (a == "--port")
            ok = number(v, 0, 65535, &port);
        else if (a == "--dump")
            ok = number(v, 1, 1000000000LL, &dump);
        else if (a == "--run")
            ok = number(v, 1, 1000000000000LL, &run);
        else if (a == "--time-limit")
            ok = number(v, 1, 31LL * 24 * 3600, &limit);
        if (!ok)
            return usage(argv[0]);
    }
    if ((port >= 0) + (dump > 0) + (run > 0) != 1)
        return usage(argv[0]);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    VerilatedContext ctx;
    if (port >= 0)
        return serve(&ctx, int(port), double(limit));
    Device dev(&ctx);
    if (run > 0) {
        const auto start = std::chrono::steady_clock::now();
        for (long long i = 0; i < run && !g_stop; ++i)
            dev.cycle();
        const double s = seconds(start);
        std::printf("%s: %llu clocks in %.3f s: %.0f clocks per second\n", ONA_SIM_DESIGN,
                    static_cast<unsigned long long>(dev.cycles()), s, s > 0 ? double(dev.cycles()) / s : 0.0);
        return 0;
    }
    std::printf("# %s: %lld clocks, %d clocks per ms\n%s\n", ONA_SIM_DESIGN, dump, ONA_SIM_CLOCKS_PER_MS,
                Device::names().c_str());
    std::string line;
    for (long long i = 0; i < dump && !g_stop; ++i) {
        dev.values(&line);
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
        dev.cycle();
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
