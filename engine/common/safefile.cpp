#include "safefile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
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

namespace {

// Our temporary files are "<target>.ondrel-tmp.XXXXXX": a name no user file
// has, so a leftover one (the writer was killed) can be recognised and removed.
const char kTempInfix[] = ".ondrel-tmp.";

QString errnoText(int e) { return QString::fromLocal8Bit(std::strerror(e)); }

// Removes temporaries of `base` in `dir` left by a killed writer. A live
// writer holds a lock on its temporary, so only abandoned ones go.
void removeStaleTemporaries(const QString& dir, const QString& base) {
    const QString prefix = base + QLatin1String(kTempInfix);
    const QStringList names = QDir(dir).entryList({prefix + QStringLiteral("??????")}, QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        const QByteArray path = QFile::encodeName(QDir(dir).filePath(name));
        const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.constData());
        ::close(fd);
    }
}

// What is at `path` may be replaced: nothing, a regular file, or (when links
// are followed) a link to a regular file. *target is the file to replace.
bool checkTarget(const QString& path, Links links, QString* target, QString* why) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::lstat(name.constData(), &st) != 0) {
        if (errno == ENOENT) {
            *target = path;
            return true;
        }
        *why = errnoText(errno);
        return false;
    }
    if (S_ISLNK(st.st_mode)) {
        if (links == RefuseLinks) {
            *why = QStringLiteral("is a symbolic link, not a file");
            return false;
        }
        if (::stat(name.constData(), &st) != 0) {
            *why = QStringLiteral("is a symbolic link to a missing file");
            return false;
        }
        *target = QFileInfo(path).canonicalFilePath();
    } else {
        *target = path;
    }
    if (S_ISDIR(st.st_mode)) {
        *why = QStringLiteral("is a folder, not a file");
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *why = QStringLiteral("is not a regular file (a pipe, socket or device)");
        return false;
    }
    return true;
}

} // namespace

bool writeAtomically(const QString& path, const Fill& fill, QString* why, Links links) {
    if (refuseNul(path, why))
        return false;
    QString target;
    if (!checkTarget(path, links, &target, why))
        return false;
    const QFileInfo info(target);
    const QString dir = info.absolutePath();
    removeStaleTemporaries(dir, info.fileName());
    struct stat old;
    const bool existed = ::stat(QFile::encodeName(target).constData(), &old) == 0;

    // 0666 less the umask for a new file, as any other writer would create it.
    QString temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        static const char chars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        QString suffix;
        for (int i = 0; i < 6; ++i)
            suffix += QLatin1Char(chars[QRandomGenerator::global()->bounded(int(sizeof chars - 1))]);
        temp = QDir(dir).filePath(info.fileName() + QLatin1String(kTempInfix) + suffix);
        fd = ::open(QFile::encodeName(temp).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        *why = errnoText(errno);
        return false;
    }
    ::flock(fd, LOCK_EX | LOCK_NB); // marks the temporary as in use
    if (existed)
        ::fchmod(fd, old.st_mode & 07777);
    QFile f;
    if (!f.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        *why = f.errorString();
        ::close(fd);
        ::unlink(QFile::encodeName(temp).constData());
        return false;
    }
    QString reason;
    bool ok = fill(&f, &reason);
    if (ok && s_deviceFull) {
        ok = false;
        reason = errnoText(ENOSPC);
    }
    // The last buffered bytes reach the file here, and the disk at fsync.
    if (ok && !f.flush())
        ok = false;
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        reason = errnoText(errno);
    }
    if (ok && ::rename(QFile::encodeName(temp).constData(), QFile::encodeName(target).constData()) != 0) {
        ok = false;
        reason = errnoText(errno);
    }
    if (!ok) {
        *why = reason.isEmpty() ? f.errorString() : reason;
        f.close();
        ::unlink(QFile::encodeName(temp).constData());
        return false;
    }
    f.close();
    return true;
}

QString shown(const QString& text, int max) {
    QString out;
    const QString cut = text.left(max);
    for (QChar c : cut) {
        if (c.category() == QChar::Other_Control || c == QChar(0x2028) || c == QChar(0x2029))
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    if (text.size() > max)
        out += QStringLiteral("...");
    return out;
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
