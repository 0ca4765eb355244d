#pragma once

#include <QGroupBox>

namespace vaskerel {

// A group box whose caption sits on its top frame line, with the line broken behind it, so the
// controls inside may start just below the caption's middle without crossing the frame.
class FrameBox : public QGroupBox {
    Q_OBJECT

public:
    explicit FrameBox(QWidget* parent = nullptr);

    // Where the top frame line runs, in the box's own coordinates.
    int frameLineY() const;
    QRect captionRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace vaskerel
