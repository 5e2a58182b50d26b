#pragma once
// Where to save a file the technician asks for (the exchange log, a
// diagnostics export); the saving itself is files/savefile.h.
#include "files/savefile.h"

#include <QString>

class QWidget;

// Asks where to save, in Qt's own dialog (Russian, the same on every
// desktop), starting in the folder of the last file saved in this run (the
// home folder at first) with `suggestedFileName` filled in; a suggestion with
// a folder of its own starts there. Empty when cancelled. The dialog writes
// nothing to disk: Qt would keep its history in ~/.config/QtProject.conf.
QString askSavePath(QWidget *parent, const QString &title, const QString &suggestedFileName,
                    const QString &filter);
