#pragma once

#include <QTextEdit>

namespace vaskerel {

// The text of a message box: selectable and copyable whole, wrapped at word boundaries and,
// where a part such as a long path has none, anywhere, so nothing is cut off at the box's edge.
class MessageText : public QTextEdit {
    Q_OBJECT

public:
    explicit MessageText(const QString& text, QWidget* parent = nullptr);

    // The width a line may take before it wraps, in this widget's font.
    int widestLine() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
};

} // namespace vaskerel
