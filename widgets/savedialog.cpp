#include "widgets/savedialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

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

} // namespace

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
