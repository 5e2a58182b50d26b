#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

QTranslator *installQtTranslations(const QLocale &locale)
{
    // The program speaks Russian only: any other catalogue would put a
    // third language into a Russian window.
    if (locale.language() != QLocale::Russian || !QCoreApplication::instance())
        return nullptr;
    auto *qt = new QTranslator(QCoreApplication::instance());
    if (!qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                  QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        || !QCoreApplication::installTranslator(qt)) {
        delete qt;
        return nullptr;
    }
    return qt;
}
