#include "widgets/savefile.h"

#include <QDir>
#include <QFileDialog>
#include <QSaveFile>

QString saveWhole(const QString &path, const QByteArray &data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("не удалось создать файл: ") + file.errorString();
    if (file.write(data) != data.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return QStringLiteral("не удалось записать файл: ") + why;
    }
    if (!file.commit())
        return QStringLiteral("не удалось сохранить файл: ") + file.errorString();
    return QString();
}

QString askSavePath(QWidget *parent, const QString &title, const QString &suggestedFileName,
                    const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, title, QDir::home().filePath(suggestedFileName), filter);
}
