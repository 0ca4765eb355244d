#pragma once

#include "window/message_boxes.h"

class QWidget;

namespace vaskerel {

class QtMessageBoxes : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* owner = nullptr);
    void setOwner(QWidget* owner) { owner_ = owner; }
    void show(Kind kind, const QString& text) override;
    bool confirm(const QString& text, const QString& proceed) override;

private:
    QWidget* owner_;
};

} // namespace vaskerel
