#pragma once
// Files the technician asks for (the exchange log, a diagnostics export):
// where to put them, and writing them so that a file is either whole or not
// written at all, with the reason in Russian when it is not.
#include <QString>

class QByteArray;
class QWidget;

// Writes `data` to `path` through a temporary file that replaces the old one
// only when every byte has been written and committed: a failed save leaves
// the old file as it was. Returns an empty string on success, otherwise why
// not, in Russian ("на носителе нет места", "нет прав на запись в папку …",
// "носитель доступен только для чтения", …).
QString saveWhole(const QString &path, const QByteArray &data);

// Asks where to save, in Qt's own dialog (Russian, the same on every
// desktop), starting in the folder of the last file saved in this run (the
// home folder at first) with `suggestedFileName` filled in; a suggestion with
// a folder of its own starts there. Empty when cancelled. The dialog writes
// nothing to disk: Qt would keep its history in ~/.config/QtProject.conf.
QString askSavePath(QWidget *parent, const QString &title, const QString &suggestedFileName,
                    const QString &filter);

// Why writing `path` failed, in Russian, from the error number the system
// gave (errno; 0 when unknown, then the medium and the rights are looked
// at). `size` is how much was to be written.
QString writeFailureReason(const QString &path, int error, qint64 size = 0);
