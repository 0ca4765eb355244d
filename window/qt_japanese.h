#pragma once

#include <QLocale>
#include <QTranslator>

namespace vaskerel {

// Qt's own texts (the file dialog, standard buttons, file types) in Japanese for as long as it
// lives, to match the window's captions whatever the user's locale.
class QtJapanese {
public:
    QtJapanese();
    ~QtJapanese();
    QtJapanese(const QtJapanese&) = delete;
    QtJapanese& operator=(const QtJapanese&) = delete;

    // False when Qt's Japanese translation is not installed; Qt then speaks English.
    bool loaded() const noexcept { return loaded_; }

private:
    QLocale previous_;
    QTranslator translator_;
    bool loaded_ = false;
};

} // namespace vaskerel
