#pragma once
// Writing a file the technician asked for: whole or not at all.
#include <QByteArray>
#include <QString>

class QWidget;

// Writes `data` to `path` through a temporary file that replaces the old one
// only once everything is written, so a failed write keeps the old file.
// Returns an empty string on success, else the reason in Russian.
QString saveWhole(const QString &path, const QByteArray &data);

// Asks where to save, starting in the home folder with `suggestedFileName`
// (a path is taken as it is). Empty when the technician cancels.
QString askSavePath(QWidget *parent, const QString &title, const QString &suggestedFileName,
                    const QString &filter);
