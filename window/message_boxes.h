#pragma once

#include <QString>

namespace vaskerel {

inline constexpr const char* kApplicationTitle = "Vaskerel";

// The window's application-modal boxes with one OK button, captioned with the application title.
class MessageBoxes {
public:
    enum class Kind { Plain, Warning, Error };

    virtual ~MessageBoxes() = default;
    virtual void show(Kind kind, const QString& text) = 0;
};

} // namespace vaskerel
