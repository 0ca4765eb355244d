#pragma once

#include <QString>

namespace vaskerel {

inline constexpr const char* kApplicationTitle = "Vaskerel";

// The window's application-modal boxes, captioned with the application title.
class MessageBoxes {
public:
    enum class Kind { Plain, Warning, Error };

    virtual ~MessageBoxes() = default;
    // A box with one OK button.
    virtual void show(Kind kind, const QString& text) = 0;
    // A warning that asks before something is lost: true when the user chose `proceed` over
    // キャンセル, which Enter and Esc choose.
    virtual bool confirm(const QString& text, const QString& proceed) = 0;
};

} // namespace vaskerel
