#include "window/frame_box.h"

#include <QPainter>
#include <QStyle>

namespace vaskerel {

namespace {

constexpr int kCaptionLeft = 6;
constexpr int kCaptionPadding = 2;

} // namespace

FrameBox::FrameBox(QWidget* parent)
    : QGroupBox(parent)
{
}

QRect FrameBox::captionRect() const
{
    const QFontMetrics metrics = fontMetrics();
    return {kCaptionLeft, 0, metrics.horizontalAdvance(title()) + 2 * kCaptionPadding, metrics.height()};
}

int FrameBox::frameLineY() const
{
    return captionRect().center().y();
}

void FrameBox::paintEvent(QPaintEvent*)
{
    // Drawn here rather than by the style: styles such as Fusion push the frame below the caption.
    QPainter painter(this);
    const QRect caption = captionRect();
    const QRect frame = rect().adjusted(0, frameLineY(), -1, -1);
    painter.save();
    painter.setClipRegion(QRegion(rect()).subtracted(caption));
    // An etched line: a shadow with a highlight one pixel below and right of it.
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(frame.adjusted(1, 1, 0, 0));
    painter.restore();
    style()->drawItemText(&painter, caption, Qt::AlignCenter, palette(), isEnabled(), title(), QPalette::WindowText);
}

} // namespace vaskerel
