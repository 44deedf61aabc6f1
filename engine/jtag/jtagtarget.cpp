#include "jtagtarget.h"

#include "deviceregistry.h"
#include "jtaganalyzer.h"
#include "jtagcontroller.h"
#include "jtagsession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <libusb.h>
#include <unistd.h>

namespace {

// An analyzer core reached through the session. The core is found, checked
// and loaded when the run arms it, on the acquisition thread, so that no
// JTAG wait ever falls on the window's thread.
class SessionAnalyzer : public AnalyzerDevice {
public:
    SessionAnalyzer(std::shared_ptr<JtagSession> session, const AnalyzerLoad& load)
        : m_session(std::move(session)), m_load(load) {}

    bool arm(QString* error) override {
        return m_session->with(
            [this](HubBus& bus, QString* why) {
                m_core = openJtagAnalyzer(&bus, m_load.coreIndex, m_load.coreHash, m_load, why);
                return m_core && m_core->arm(why);
            },
            error);
    }
    bool poll(int budget, QString* error) override {
        return use([&](QString* why) { return m_core->poll(budget, why); }, error);
    }
    void manualTrigger() override { request(&AnalyzerDevice::manualTrigger); }
    void stop() override { request(&AnalyzerDevice::stop); }
    State state() const override { return m_core ? m_core->state() : Waiting; }
    int frames() const override { return m_core ? m_core->frames() : 0; }
    qint64 stored() const override { return m_core ? m_core->stored() : 0; }
    qint64 waited() const override { return m_core ? m_core->waited() : 0; }
    std::shared_ptr<TraceData> readSamples(QString* error) override {
        std::shared_ptr<TraceData> trace;
        use(
            [&](QString* why) {
                trace = m_core->readSamples(why);
                return trace != nullptr;
            },
            error);
        return trace;
    }

private:
    // A request the core answers with nothing: a failure shows at the next poll.
    void request(void (AnalyzerDevice::*what)()) {
        QString ignored;
        use(
            [&](QString*) {
                (m_core.get()->*what)();
                return true;
            },
            &ignored);
    }
    bool use(const std::function<bool(QString*)>& op, QString* error) {
        if (!m_core) {
            *error = QStringLiteral("core \"%1\" was not armed").arg(m_load.coreName);
            return false;
        }
        return m_session->with([&](HubBus&, QString* why) { return op(why); }, error);
    }

    std::shared_ptr<JtagSession> m_session;
    const AnalyzerLoad m_load;
    std::unique_ptr<AnalyzerDevice> m_core;
};

QString needsSimulation(const char* what) {
    return QStringLiteral(
               "%1 need the simulated device (ona_set_project -target simulated): the debug cores "
               "reached over JTAG carry none")
        .arg(QLatin1String(what));
}

} // namespace

const QString& JtagTarget::kindName() {
    static const QString name = QStringLiteral("jtag");
    return name;
}

void JtagTarget::registerKind() {
    DeviceRegistry::add(kindName(), [] { return std::make_unique<JtagTarget>(); });
}

QStringList JtagTarget::openocdArgs(const CableSettings& cable, QString* error) {
    return JtagSession::openocdArgs(cable, error);
}

JtagTarget::JtagTarget() = default;
JtagTarget::~JtagTarget() = default;

void JtagTarget::setCable(const CableSettings& cable) {
    std::shared_ptr<JtagSession> old; // the cores still running keep theirs until they end
    QMutexLocker lock(&m_mutex);
    if (cable == m_cable)
        return;
    m_cable = cable;
    old.swap(m_session);
    lock.unlock();
}

void JtagTarget::release() {
    // The last holder ends the connection and OpenOCD: at once when no
    // capture uses it, else when that capture ends (never blocking here).
    std::shared_ptr<JtagSession> old;
    QMutexLocker lock(&m_mutex);
    old.swap(m_session);
    lock.unlock();
}

std::shared_ptr<JtagSession> JtagTarget::session() {
    QMutexLocker lock(&m_mutex);
    if (!m_session)
        m_session = std::make_shared<JtagSession>(m_cable);
    return m_session;
}

QStringList JtagTarget::usbPorts(const CableSettings& cable) const {
    // The FTDI devices of the cable's vendor and product id that are present,
    // in the order the bus lists them.
    const QStringList f = cable.ftdi.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const uint vid = f.value(0).toUInt(nullptr, 0), pid = f.value(1).toUInt(nullptr, 0);
    QStringList ports;
    libusb_context* ctx = nullptr;
    if (libusb_init(&ctx) == 0) {
        libusb_device** list = nullptr;
        const ssize_t n = libusb_get_device_list(ctx, &list);
        for (ssize_t i = 0; i < n && ports.size() < 10; ++i) {
            libusb_device_descriptor d{};
            if (libusb_get_device_descriptor(list[i], &d) == 0 && d.idVendor == vid && d.idProduct == pid)
                ports << QStringLiteral("FTUSB-%1").arg(ports.size());
        }
        if (n >= 0)
            libusb_free_device_list(list, 1);
        libusb_exit(ctx);
    }
    // A cable OpenOCD drives from its interface file answers when the file is there.
    if (!cable.interfaceFile.isEmpty() && QFileInfo(cable.interfaceFile).isFile()) {
        if (cable.type == QLatin1String("USB"))
            ports.prepend(QStringLiteral("EzUSB-0"));
        else
            ports.append(QStringLiteral("EzUSB-0"));
    }
    return ports;
}

bool JtagTarget::parallelPortAnswers(int address) const {
    // The kernel lists each parallel port with its base address; the port
    // answers when its device can be opened.
    const QDir ports(QStringLiteral("/proc/sys/dev/parport"));
    for (const QString& name : ports.entryList({QStringLiteral("parport*")}, QDir::Dirs)) {
        QFile base(ports.filePath(name + QStringLiteral("/base-addr")));
        if (!base.open(QIODevice::ReadOnly))
            continue;
        if (QString::fromLatin1(base.read(64)).split(QLatin1Char('\t')).value(0).trimmed().toInt() != address)
            continue;
        const QByteArray dev = QByteArray("/dev/") + name.toLatin1();
        const int fd = ::open(dev.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return false;
        ::close(fd);
        return true;
    }
    return false;
}

QString JtagTarget::cableFault(const CableSettings& cable) const {
    // Only what can be known without waiting: the chain itself is reached
    // when the run arms its cores, off the window's thread.
    const QString fault = JtagSession::settingsFault(cable);
    if (!fault.isEmpty())
        return QStringLiteral("ERROR: %1").arg(fault);
    if (cable.openocd.isEmpty() && OpenocdServer::program().isEmpty())
        return QStringLiteral(
            "ERROR: OpenOCD is not installed (no \"openocd\" on the PATH): install Debian's "
            "openocd package, or name the OpenOCD you run (ona_set_project -openocd HOST:PORT)");
    if (cable.openocd.isEmpty() && cable.type == QLatin1String("USB") && !QFileInfo(cable.interfaceFile).isFile())
        return QStringLiteral("ERROR: the OpenOCD interface file %1 does not exist").arg(cable.interfaceFile);
    return QString();
}

bool JtagTarget::checkSignalSource(const QJsonObject&, int, QString*) const {
    return true; // a device in RTL is driven by its design, not by the file
}

std::unique_ptr<AnalyzerDevice> JtagTarget::openAnalyzer(const AnalyzerLoad& load, QString* error) {
    if (load.coreIndex < 0) {
        *error = QStringLiteral("core \"%1\" is not in the debug-logic file").arg(load.coreName);
        return nullptr;
    }
    return std::make_unique<SessionAnalyzer>(session(), load);
}

std::shared_ptr<ControllerDevice> JtagTarget::openController(const ControllerRecords& records, QString* error) {
    if (records.coreIndex < 0) {
        *error = QStringLiteral("the controller core is not in the debug-logic file");
        return nullptr;
    }
    // Reached on first use, so that choosing the core waits for nothing.
    return std::make_shared<JtagController>([this] { return session(); }, records);
}

std::unique_ptr<HardIpDevice> JtagTarget::openHardIp(const HardIpData&, const HardIpBlock*, QString* error) {
    *error = needsSimulation("Hard IP blocks");
    return nullptr;
}

std::unique_ptr<SerdesDevice> JtagTarget::openSerdes(const SerdesLayout&, QString* error) {
    *error = needsSimulation("The SERDES pages");
    return nullptr;
}
