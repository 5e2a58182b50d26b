#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QTranslator *installQtTranslations()
{
    // The program speaks Russian only: a catalogue chosen by the system's
    // language would put a second language into the window, and no catalogue
    // leaves Qt's English in it.
    if (!QCoreApplication::instance())
        return nullptr;
    auto *qt = new QTranslator(QCoreApplication::instance());
    if (!qt->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"), QStringLiteral("_"),
                  QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        || !QCoreApplication::installTranslator(qt)) {
        delete qt;
        return nullptr;
    }
    return qt;
}
