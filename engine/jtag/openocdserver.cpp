#include "openocdserver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <vector>

extern char** environ;

namespace {

// OpenOCD runs under a small shell that holds the read end of a pipe whose
// write end only this process has: when this process ends in any way, even
// killed, the pipe reads end-of-file and the shell ends OpenOCD, so a crash
// never leaves OpenOCD holding the cable. The shell passes on OpenOCD's own
// end (exit code, or the signal that ended it).
constexpr char kWatch[] =
    "\"$@\" </dev/null 3<&- & p=$!\n"
    "(read -r _ <&3; kill $p 2>/dev/null) 2>/dev/null &\n"
    "r=$!\n"
    "exec 3<&-\n"
    "wait $p; s=$?\n"
    "kill $r 2>/dev/null\n"
    "[ $s -gt 128 ] && kill -$((s - 128)) $$\n"
    "exit $s\n";

QString describe(int status) {
    if (WIFEXITED(status))
        return QStringLiteral("OpenOCD ended with exit code %1").arg(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return QStringLiteral("OpenOCD was ended by signal %1").arg(WTERMSIG(status));
    return QStringLiteral("OpenOCD ended");
}

} // namespace

int OpenocdServer::freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    const bool ok = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok ? ntohs(a.sin_port) : 0;
}

QString OpenocdServer::program() {
    const QString named = qEnvironmentVariable("ONDREL_OPENOCD");
    if (!named.isEmpty())
        return QStandardPaths::findExecutable(named).isEmpty() && !QFile::exists(named) ? QString() : named;
    return QStandardPaths::findExecutable(QStringLiteral("openocd"));
}

bool OpenocdServer::start(const QStringList& args, QString* error) {
    stop();
    m_exit.clear();
    const QString prog = program();
    if (prog.isEmpty()) {
        *error = QStringLiteral(
            "OpenOCD is not installed (no \"openocd\" on the PATH): install Debian's openocd package, or name the "
            "OpenOCD you run in the cable settings (ona_set_project -openocd HOST:PORT)");
        return false;
    }
    m_port = freePort();
    if (!m_log.isOpen() && !m_log.open()) {
        *error = QStringLiteral("OpenOCD: no log file can be made in %1").arg(QDir::tempPath());
        return false;
    }
    m_log.resize(0);
    int guard[2];
    if (::pipe2(guard, O_CLOEXEC) != 0) {
        *error = QStringLiteral("OpenOCD cannot be started: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    QList<QByteArray> argv{"/bin/sh", "-c", kWatch, "openocd-watch", QFile::encodeName(prog)};
    for (const QString& a : args)
        argv << a.toLocal8Bit();
    argv << "-c" << QStringLiteral("tcl_port %1").arg(m_port).toLatin1();
    std::vector<char*> raw;
    for (QByteArray& a : argv)
        raw.push_back(a.data());
    raw.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, m_log.handle(), 1);
    posix_spawn_file_actions_adddup2(&actions, m_log.handle(), 2);
    posix_spawn_file_actions_adddup2(&actions, guard[0], 3);
    // A group of its own, so that a last resort ends OpenOCD with its shell.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    const int rc = posix_spawn(&m_pid, raw.front(), &actions, &attr, raw.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    ::close(guard[0]);
    if (rc != 0) {
        ::close(guard[1]);
        m_pid = -1;
        *error = QStringLiteral("OpenOCD (%1) cannot be started: %2").arg(prog, QString::fromLocal8Bit(strerror(rc)));
        return false;
    }
    m_guard = guard[1];
    return true;
}

bool OpenocdServer::running() {
    if (m_pid <= 0)
        return false;
    int status = 0;
    const pid_t r = ::waitpid(m_pid, &status, WNOHANG);
    if (r == 0)
        return true;
    m_exit = r == m_pid ? describe(status) : QStringLiteral("OpenOCD ended");
    m_pid = -1;
    closeGuard();
    return false;
}

void OpenocdServer::closeGuard() {
    if (m_guard >= 0)
        ::close(m_guard);
    m_guard = -1;
}

void OpenocdServer::stop() {
    if (!running())
        return;
    // The end of the pipe is the shell's signal to end OpenOCD.
    closeGuard();
    QDeadlineTimer deadline(2000);
    while (running() && !deadline.hasExpired())
        QThread::msleep(10);
    if (running()) {
        ::kill(-m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
}

QString OpenocdServer::errors() const {
    QFile f(m_log.fileName());
    if (m_log.fileName().isEmpty() || !f.open(QIODevice::ReadOnly))
        return QString();
    // The end of the log is what tells why it stopped; a chatty log is long.
    if (f.size() > 64 * 1024)
        f.seek(f.size() - 64 * 1024);
    const QStringList lines = QString::fromLocal8Bit(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QStringList errs;
    for (const QString& l : lines)
        if (l.startsWith(QLatin1String("Error")))
            errs << l.trimmed();
    if (errs.isEmpty() && !lines.isEmpty())
        errs << lines.last().trimmed();
    return errs.mid(qMax(0, errs.size() - 4)).join(QStringLiteral("; "));
}
