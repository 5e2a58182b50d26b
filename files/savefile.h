#pragma once
// Files the user asks for (the exchange log, a diagnostics export, a reader
// profile): written so that a file is either whole or not written at all,
// read with a bound on their size, and every failure said in Russian. Qt
// Core only: the window and rfidctl use the same code.
#include <QByteArray>
#include <QString>

// Writes `data` to `path` through a temporary file that replaces the old one
// only when every byte has been written and committed: a failed save leaves
// the old file as it was. Returns an empty string on success, otherwise why
// not, in Russian ("на носителе нет места", "нет прав на запись в папку …",
// "носитель доступен только для чтения", …).
QString saveWhole(const QString &path, const QByteArray &data);

// Why `path` could not be written, or an empty string when it looks
// writable: its folder exists and may be written, it is no folder itself,
// an existing file may be replaced. Nothing is created. For a check before
// work whose result is to be saved.
QString writeTargetProblem(const QString &path);

// Why writing `path` failed, in Russian, from the error number the system
// gave (errno; 0 when unknown, then the medium and the rights are looked
// at). `size` is how much was to be written.
QString writeFailureReason(const QString &path, int error, qint64 size = 0);

// A small input file read whole: a regular file or a pipe of at most
// `maxBytes` bytes. A device (/dev/zero), a folder or anything larger is
// refused without reading more than `maxBytes` + 1 bytes.
struct ReadResult {
    QByteArray data;
    QString error; // empty: read; otherwise why not, in Russian
};
ReadResult readSmallFile(const QString &path, qint64 maxBytes);
