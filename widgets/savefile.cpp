#include "widgets/savefile.h"

#include <QByteArray>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStorageInfo>

#include <cerrno>

namespace {

// Qt's file dialog stores its history, its last folder and its layout in the
// user's QtProject.conf when it closes. The tool keeps nothing on disk, so
// Qt's user settings point where no file can be made, for root neither:
// /dev/null is no folder. The last folder is remembered for this run only.
void keepDialogSettingsOffDisk()
{
    static const bool done = [] {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("/dev/null"));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("/dev/null"));
        return true;
    }();
    Q_UNUSED(done);
}

QString &lastFolder()
{
    static QString folder;
    return folder;
}

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

QString askSavePath(QWidget *parent, const QString &title, const QString &suggestedFileName,
                    const QString &filter)
{
    keepDialogSettingsOffDisk();
    QFileDialog dialog(parent);
    // Set first, as Qt requires: the desktop's own dialog would speak its
    // language and keep a history of its own.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setWindowTitle(title);
    dialog.setNameFilter(filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QFileInfo suggested(suggestedFileName);
    QString folder = lastFolder().isEmpty() ? QDir::homePath() : lastFolder();
    if (suggested.isAbsolute())
        folder = suggested.absolutePath();
    dialog.setDirectory(folder);
    dialog.selectFile(suggested.fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString path = dialog.selectedFiles().constFirst();
    lastFolder() = QFileInfo(path).absolutePath();
    return path;
}
