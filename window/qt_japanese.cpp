#include "window/qt_japanese.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

namespace vaskerel {

QtJapanese::QtJapanese()
{
    // Also names file types (QMimeType::comment) in Japanese.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    if (translator_.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        loaded_ = QCoreApplication::installTranslator(&translator_);
}

QtJapanese::~QtJapanese()
{
    QLocale::setDefault(previous_);
    if (loaded_)
        QCoreApplication::removeTranslator(&translator_);
}

} // namespace vaskerel
