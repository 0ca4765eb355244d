#include "window/message_text.h"

#include <QAbstractTextDocumentLayout>
#include <QScreen>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>
#include <memory>

namespace vaskerel {

namespace {

// Lines as long as about forty Japanese characters read well; longer ones wrap.
constexpr int kWidestLineInCharacters = 40;
// Some Japanese faces draw "_" below their descent, where the next line would cover it.
constexpr double kLineHeightPercent = 115;

} // namespace

MessageText::MessageText(const QString& text, QWidget* parent)
    : QTextEdit(parent)
{
    setObjectName(QStringLiteral("messageText"));
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    // Looks like the label it stands for: no field background, no focus frame.
    setFocusPolicy(Qt::ClickFocus);
    viewport()->setAutoFillBackground(false);
    setStyleSheet(QStringLiteral("QTextEdit { background: transparent; }"));
    document()->setDocumentMargin(0);
    setPlainText(text);
    QTextCursor everything(document());
    everything.select(QTextCursor::Document);
    QTextBlockFormat spacing;
    spacing.setLineHeight(kLineHeightPercent, QTextBlockFormat::ProportionalHeight);
    everything.mergeBlockFormat(spacing);
}

int MessageText::widestLine() const
{
    int widest = fontMetrics().horizontalAdvance(QChar(0x3042)) * kWidestLineInCharacters;
    if (const QScreen* shown = screen())
        widest = std::min(widest, shown->availableGeometry().width() * 3 / 4);
    return widest;
}

int MessageText::heightForWidth(int width) const
{
    const std::unique_ptr<QTextDocument> laidOut(document()->clone());
    laidOut->setDefaultFont(font());
    laidOut->setTextWidth(std::max(1, width - 2 * frameWidth()));
    return static_cast<int>(std::ceil(laidOut->size().height())) + 2 * frameWidth();
}

QSize MessageText::sizeHint() const
{
    const std::unique_ptr<QTextDocument> unwrapped(document()->clone());
    unwrapped->setDefaultFont(font());
    unwrapped->setTextWidth(-1);
    const int ideal = static_cast<int>(std::ceil(unwrapped->idealWidth())) + 2 * frameWidth() + 1;
    const int width = std::min(ideal, widestLine());
    return {width, heightForWidth(width)};
}

QSize MessageText::minimumSizeHint() const
{
    return sizeHint();
}

} // namespace vaskerel
