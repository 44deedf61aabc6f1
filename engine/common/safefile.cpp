#include "safefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QSaveFile>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>

namespace SafeFile {

namespace {

std::atomic<bool> s_deviceFull{false};

// The system cuts a name at its first NUL, so "a.ona\0x" would reach "a.ona".
bool refuseNul(const QString& path, QString* why) {
    if (!path.contains(QChar(u'\0')))
        return false;
    *why = QStringLiteral("the file name contains a NUL character");
    return true;
}

} // namespace

void setSimulatedDeviceFull(bool full) { s_deviceFull = full; }

bool writeAtomically(const QString& path, const Fill& fill, QString* why) {
    if (refuseNul(path, why))
        return false;
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        *why = f.errorString();
        return false;
    }
    QString reason;
    bool ok = fill(&f, &reason);
    if (ok && s_deviceFull) {
        ok = false;
        reason = QString::fromLocal8Bit(std::strerror(ENOSPC));
    }
    // The last buffered bytes reach the disk here; commit() alone would not
    // say when they did not.
    if (ok && !f.flush())
        ok = false;
    if (ok && !f.commit())
        ok = false;
    if (!ok) {
        *why = reason.isEmpty() ? f.errorString() : reason;
        f.cancelWriting(); // the temporary file goes with the QSaveFile
        return false;
    }
    return true;
}

bool readRegular(const QString& path, qint64 maxBytes, QByteArray* data, QString* why) {
    if (refuseNul(path, why))
        return false;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *why = QStringLiteral("cannot open: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        *why = QStringLiteral("cannot open: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        const bool folder = S_ISDIR(st.st_mode);
        ::close(fd);
        *why = folder ? QStringLiteral("is a folder, not a file")
                      : QStringLiteral("is not a regular file (a pipe, socket or device)");
        return false;
    }
    if (st.st_size > maxBytes) {
        ::close(fd);
        *why = QStringLiteral("larger than %1 bytes").arg(maxBytes);
        return false;
    }
    QFile f;
    if (!f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *why = QStringLiteral("cannot open: %1").arg(f.errorString());
        return false;
    }
    try {
        *data = f.read(maxBytes + 1); // the file may have grown since fstat
    } catch (const std::bad_alloc&) {
        *why = QStringLiteral("not enough memory to read it");
        return false;
    }
    if (data->size() > maxBytes) {
        data->clear();
        *why = QStringLiteral("larger than %1 bytes").arg(maxBytes);
        return false;
    }
    if (f.error() != QFileDevice::NoError) {
        *why = QStringLiteral("cannot read: %1").arg(f.errorString());
        return false;
    }
    return true;
}

bool writeFile(const QString& path, const QByteArray& data, QString* error) {
    QString why;
    const bool ok = writeAtomically(
        path, [&data](QIODevice* out, QString*) { return out->write(data) == data.size(); }, &why);
    if (!ok)
        *error = QStringLiteral("%1: cannot write: %2").arg(path, why);
    return ok;
}

} // namespace SafeFile
