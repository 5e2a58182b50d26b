#include "serial/permission.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <unistd.h>
#endif

QString permissionHint(const QString &devicePath, bool denied)
{
    if (!denied)
        return QString();
    return QStringLiteral("\nНет прав на ") + devicePath
           + QStringLiteral(": добавьте пользователя в группу dialout "
                            "(sudo usermod -aG dialout $USER) и войдите в систему заново.");
}

QString permissionHint(const QString &devicePath)
{
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(devicePath);
    const bool denied = ::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES;
    return permissionHint(devicePath, denied);
#else
    Q_UNUSED(devicePath);
    return QString();
#endif
}
