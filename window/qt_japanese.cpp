#include "window/qt_japanese.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace vaskerel {

QtJapanese::QtJapanese()
{
    if (translator_.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        loaded_ = QCoreApplication::installTranslator(&translator_);
}

QtJapanese::~QtJapanese()
{
    if (loaded_)
        QCoreApplication::removeTranslator(&translator_);
}

} // namespace vaskerel
