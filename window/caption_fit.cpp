#include "window/caption_fit.h"

#include <QFont>
#include <QFontMetricsF>
#include <QString>
#include <QWidget>

namespace vaskerel {

namespace {

// Narrower than this, Japanese captions grow hard to read; the size gives way instead.
constexpr int kNarrowestStretch = 80;
constexpr double kSmallestPoints = 5;
// A pixel in hand for rounding at other scales and for the pixel an antialiased edge may take.
constexpr double kSlack = 1;

bool fits(const QFont& font, const QString& caption, int room, int height, const QWidget& device)
{
    const QFontMetricsF metrics(font, &device);
    return metrics.horizontalAdvance(caption) + kSlack <= room && metrics.tightBoundingRect(caption).height() <= height;
}

} // namespace

QFont fittedFont(QFont font, const QString& caption, int room, int height, const QWidget& device)
{
    for (int stretch = 100; stretch >= kNarrowestStretch; stretch -= 2) {
        font.setStretch(stretch);
        if (fits(font, caption, room, height, device))
            return font;
    }
    while (font.pointSizeF() > kSmallestPoints && !fits(font, caption, room, height, device))
        font.setPointSizeF(font.pointSizeF() * 0.95);
    return font;
}

} // namespace vaskerel
