#include "files/savefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

QString folderOf(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absolutePath());
}

} // namespace


QString writeFailureReason(const QString &path, int error, qint64 size)
{
    const QFileInfo file(path);
    const QString folder = folderOf(path);
    const QString noRights = file.exists() && !file.isWritable()
                                 ? QStringLiteral("нет прав на запись в файл ") + QDir::toNativeSeparators(path)
                                 : QStringLiteral("нет прав на запись в папку ") + folder;
    switch (error) {
    case ENOSPC:
        return QStringLiteral("на носителе нет места");
#ifdef EDQUOT
    case EDQUOT:
        return QStringLiteral("исчерпана квота пользователя на носителе");
#endif
    case EROFS:
        return QStringLiteral("носитель доступен только для чтения");
    case EACCES:
    case EPERM:
        return noRights;
    case EFBIG:
        return QStringLiteral("файл больше, чем система разрешает записать");
    case EISDIR:
        return QStringLiteral("на этом месте папка, а не файл");
    case ENOENT:
    case ENOTDIR:
        // The folder may be there and still take no files (/proc).
        if (QFileInfo(QFileInfo(path).absolutePath()).isDir())
            return QStringLiteral("в папке ") + folder + QStringLiteral(" нельзя создать файл");
        return QStringLiteral("папки ") + folder + QStringLiteral(" нет");
    case ENAMETOOLONG:
        return QStringLiteral("слишком длинное имя файла");
    case EIO:
        return QStringLiteral("ошибка ввода-вывода: носитель извлечён или неисправен");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("открыто слишком много файлов");
    default:
        break;
    }
    // No error number, or one without a text of its own: what the medium
    // and the rights say.
    const QStorageInfo medium(QFileInfo(path).absolutePath());
    if (medium.isValid() && medium.isReadOnly())
        return QStringLiteral("носитель доступен только для чтения");
    if (medium.isValid() && medium.bytesAvailable() < size)
        return QStringLiteral("на носителе нет места");
    if (!QFileInfo(QFileInfo(path).absolutePath()).isWritable() || (file.exists() && !file.isWritable()))
        return noRights;
    return error != 0 ? QStringLiteral("система отказала в записи (код ошибки %1)").arg(error)
                      : QStringLiteral("система отказала в записи");
}

QString saveWhole(const QString &path, const QByteArray &data)
{
    const QFileInfo info(path);
    if (info.isDir())
        return writeFailureReason(path, EISDIR);
    if (!QFileInfo(info.absolutePath()).isDir())
        return writeFailureReason(path, ENOENT);

    // Unbuffered: each write below reaches the system at once, so its
    // failure (and errno) belongs to it, not to a later flush.
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return writeFailureReason(path, errno, data.size());
    qint64 done = 0;
    while (done < data.size()) {
        errno = 0;
        const qint64 n = file.write(data.constData() + done, data.size() - done);
        if (n <= 0) {
            const int error = errno;
            file.cancelWriting(); // the temporary file goes, the old one stays
            return writeFailureReason(path, error, data.size());
        }
        done += n;
    }
    errno = 0;
    if (!file.commit())
        return writeFailureReason(path, errno, data.size());
    return QString();
}

QString writeTargetProblem(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return writeFailureReason(path, EISDIR);
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir())
        return writeFailureReason(path, ENOENT);
    // The new file is made beside the old one and renamed over it: the
    // folder must take a new file even when the old one may be written.
    if (!folder.isWritable())
        return writeFailureReason(path, EACCES);
    const QStorageInfo medium(folder.absoluteFilePath());
    if (medium.isValid() && medium.isReadOnly())
        return writeFailureReason(path, EROFS);
    return QString();
}

namespace {

QString readFailureReason(const QString &path, int error)
{
    const QString name = QDir::toNativeSeparators(path);
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("файла %1 нет").arg(name);
    case EACCES:
    case EPERM:
        return QStringLiteral("нет прав на чтение файла %1").arg(name);
    case EISDIR:
        return QStringLiteral("%1 - папка, а не файл").arg(name);
    case EIO:
        return QStringLiteral("ошибка ввода-вывода при чтении %1: носитель извлечён или неисправен").arg(name);
    case ENAMETOOLONG:
        return QStringLiteral("слишком длинное имя файла");
    default:
        return error != 0 ? QStringLiteral("файл %1 не читается (код ошибки %2)").arg(name).arg(error)
                          : QStringLiteral("файл %1 не читается").arg(name);
    }
}

} // namespace

ReadResult readSmallFile(const QString &path, qint64 maxBytes)
{
    const QString name = QDir::toNativeSeparators(path);
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {{}, readFailureReason(path, errno)};
    if (S_ISDIR(st.st_mode))
        return {{}, readFailureReason(path, EISDIR)};
    // A device would be read for ever (/dev/zero) or be a port.
    if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode))
        return {{}, QStringLiteral("%1 - не обычный файл и не канал").arg(name)};
#else
    const QFileInfo info(path);
    if (!info.exists())
        return {{}, readFailureReason(path, ENOENT)};
    if (info.isDir())
        return {{}, readFailureReason(path, EISDIR)};
#endif
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly))
        return {{}, readFailureReason(path, errno)};
    // One byte more than allowed tells a file that is too large from one
    // that is just large enough; a pipe has no size to ask beforehand.
    QByteArray data;
    while (data.size() <= maxBytes) {
        errno = 0;
        const QByteArray piece = file.read(maxBytes + 1 - data.size());
        if (piece.isEmpty()) {
            if (file.error() != QFileDevice::NoError)
                return {{}, readFailureReason(path, errno)};
            break;
        }
        data += piece;
    }
    if (data.size() > maxBytes)
        return {{}, QStringLiteral("%1 больше %2 КиБ").arg(name).arg(maxBytes / 1024)};
    return {data, QString()};
}
