#pragma once

#include <QLabel>

class QLineEdit;

namespace vaskerel {

// A field's caption, standing beside it from its top to its bottom with its text on the line of
// the field's text: drawn on the field's own baseline rather than placed by alignment, so that
// the two meet at every scale, fractional ones included.
class FieldCaption : public QLabel {
    Q_OBJECT

public:
    explicit FieldCaption(QWidget* parent = nullptr);

    // Takes the field's top, height and baseline, and a font whose text ends a little before it.
    void standBeside(const QLineEdit& field);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double baseline_ = 0;
};

} // namespace vaskerel
