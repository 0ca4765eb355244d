#include "window/field_caption.h"

#include "window/caption_fit.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

#include <cmath>

namespace vaskerel {

namespace {

// Between a caption's colon and its field, in ems of the caption's face.
constexpr double kMarginBeforeField = 0.25;

// Where `field` draws the baseline of its text, in its own coordinates: centred in its
// contents, as QLineEdit centres it; QLineEdit places its line by the rounded ascent but draws
// at the exact one, a difference that shows at fractional device pixel ratios.
double textBaseline(const QLineEdit& field)
{
    QStyleOptionFrame option;
    option.initFrom(&field);
    option.lineWidth = field.hasFrame() ? field.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &field) : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    const QRect contents =
        field.style()->subElementRect(QStyle::SE_LineEditContents, &option, &field).marginsRemoved(field.textMargins());
    const QFontMetrics metrics = field.fontMetrics();
    const double ascent = QFontMetricsF(field.font(), &field).ascent();
    return contents.y() + (contents.height() - metrics.height() + 1) / 2 + metrics.ascent() + ascent - std::round(ascent);
}

} // namespace

FieldCaption::FieldCaption(QWidget* parent)
    : QLabel(parent)
{
}

void FieldCaption::standBeside(const QLineEdit& field)
{
    setGeometry(x(), field.y(), width(), field.height());
    const int margin = static_cast<int>(std::lround(QFontInfo(font()).pixelSize() * kMarginBeforeField));
    setFont(fittedFont(font(), text(), std::min(width(), field.x() - x() - margin), height(), *this));
    baseline_ = textBaseline(field) + field.y() - y();
}

void FieldCaption::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(isEnabled() ? QPalette::Normal : QPalette::Disabled, foregroundRole()));
    painter.drawText(QPointF(contentsRect().left(), baseline_), text());
}

} // namespace vaskerel
