#include "window/frm_main.h"

#include "window_fakes.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>

using vaskerel::FrmMain;

namespace {

const QString kGothicFace = QStringLiteral("ＭＳ Ｐゴシック");
const std::pair<const char*, const char*> kCaptions[] = {
    {"Label1", "txtDir"}, {"Label2", "txtPath"}, {"Label3", "txtCSS"}, {"Label4", "txtTitle"}};
const QStringList kJapaneseFaces = {"IPAGothic", "IPAPGothic", "Noto Sans CJK JP"};

// The window with the system font at `points` and `family` standing in for its gothic face.
class LayoutTest : public WindowTest {
protected:
    ~LayoutTest() override
    {
        QApplication::setFont(systemFont_);
        QFont::removeSubstitutions(kGothicFace);
    }

    std::unique_ptr<FrmMain> open(double points, const QString& family = {})
    {
        QFont system = systemFont_;
        system.setPointSizeF(points);
        QApplication::setFont(system);
        QFont::removeSubstitutions(kGothicFace);
        if (!family.isEmpty())
            QFont::insertSubstitution(kGothicFace, family);
        return std::make_unique<FrmMain>(settings, dialog, boxes);
    }

    template <typename Control>
    static Control* child(const FrmMain& window, const char* name) { return window.findChild<Control*>(name); }

    // Each caption's width in its own font, against the room it has: up to the field beside a
    // label (drawn over it), inside a button's frame.
    static void expectCaptionsWhole(const FrmMain& window)
    {
        for (const auto& [labelName, fieldName] : kCaptions) {
            const auto* label = child<QLabel>(window, labelName);
            const auto* field = child<QLineEdit>(window, fieldName);
            const QFontMetricsF metrics(label->font(), label);
            const double width = metrics.horizontalAdvance(label->text());
            EXPECT_LE(width, std::min(label->width(), field->x() - label->x()))
                << labelName << " \"" << label->text().toStdString() << "\" is cut";
            EXPECT_LE(metrics.tightBoundingRect(label->text()).height(), label->height()) << labelName;
        }
        for (const char* name : {"cmdDirBrowse", "cmdPathBrowse", "cmdOK"}) {
            auto* button = child<QPushButton>(window, name);
            QStyleOptionButton option;
            option.initFrom(button);
            const QRect room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
            EXPECT_LE(QFontMetricsF(button->font(), button).horizontalAdvance(button->text()), room.width()) << name;
        }
        const auto* frame = child<QGroupBox>(window, "Frame1");
        EXPECT_LE(QFontMetricsF(frame->font(), frame).horizontalAdvance(frame->title()), frame->width() / 2);
    }

    // With each field holding its caption's text, as seen on screen: the two end on the same row,
    // the baseline, and the caption's colon keeps clear of the field's frame.
    static void expectCaptionsOnTheirFieldsLines(FrmMain& window)
    {
        for (const auto& [labelName, fieldName] : kCaptions) {
            const auto* label = child<QLabel>(window, labelName);
            auto* field = child<QLineEdit>(window, fieldName);
            field->setText(label->text());
            const QImage shot = window.grab().toImage();
            const double ratio = shot.devicePixelRatio();
            const auto inWindow = [&](const QWidget* widget, const QMargins& inside) {
                const QRect rect = QRect(widget->mapTo(&window, QPoint(0, 0)), widget->size()).marginsRemoved(inside);
                return QRect(QPoint(std::lround(rect.left() * ratio), std::lround(rect.top() * ratio)),
                             QPoint(std::lround((rect.right() + 1) * ratio) - 1, std::lround((rect.bottom() + 1) * ratio) - 1));
            };
            const QRect frame = inWindow(field, {});
            const QRect caption = inkIn(shot, inWindow(label, {}) & QRect(0, 0, frame.left(), shot.height()));
            const QRect text = inkIn(shot, inWindow(field, {3, 2, 3, 2}));
            EXPECT_LE(std::abs(caption.bottom() - text.bottom()), 1) << labelName << " is off its field's line";
            EXPECT_GE(frame.left() - caption.right() - 1, 2 * ratio) << labelName << "'s colon touches its field";
        }
    }

    // The rectangle of the dark pixels in `area` of `image`.
    static QRect inkIn(const QImage& image, const QRect& area)
    {
        QRect ink;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                if (qGray(image.pixel(x, y)) < 110)
                    ink |= QRect(x, y, 1, 1);
            }
        }
        return ink;
    }

    const QFont systemFont_ = QApplication::font();
};

// Where a control stands at `scale`, from its place in twips.
QRect expected(double scale, int left, int top, int width, int height)
{
    const auto pixels = [scale](int twips) { return static_cast<int>(std::lround(twips * scale / 15)); };
    return QRect(QPoint(pixels(left), pixels(top)), QPoint(pixels(left + width) - 1, pixels(top + height) - 1));
}

void expectTheLayoutAt(const FrmMain& window, double scale)
{
    EXPECT_EQ(window.size(), expected(scale, 0, 0, 5865, 2415).size());
    const struct {
        const char* name;
        int left, top, width, height;
    } places[] = {
        // Captions stand beside their fields, from their tops to their bottoms.
        {"Label1", 120, 120, 495, 270},   {"txtDir", 720, 120, 4215, 270},  {"cmdDirBrowse", 5040, 120, 375, 255},
        {"Label2", 120, 600, 615, 270},   {"txtPath", 720, 600, 4215, 270}, {"cmdPathBrowse", 5040, 600, 375, 255},
        {"Frame1", 105, 1050, 4335, 1110}, {"Label3", 210, 240, 1215, 270}, {"txtCSS", 1365, 240, 2700, 270},
        {"Label4", 210, 630, 960, 270},   {"txtTitle", 1365, 630, 2700, 270}, {"cmdOK", 4620, 1680, 1095, 375},
    };
    for (const auto& place : places) {
        const auto* control = window.findChild<QWidget*>(place.name);
        ASSERT_NE(control, nullptr) << place.name;
        EXPECT_EQ(control->geometry(), expected(scale, place.left, place.top, place.width, place.height)) << place.name;
    }
}

} // namespace

TEST_F(LayoutTest, EveryCaptionShowsWholeWithTheCommonJapaneseFacesWithoutMovingAControl)
{
    int tried = 0;
    for (const QString& family : kJapaneseFaces) {
        if (!QFontDatabase::hasFamily(family))
            continue;
        ++tried;
        SCOPED_TRACE(family.toStdString());
        const auto window = open(9, family);
        ASSERT_EQ(QFontInfo(child<QLabel>(*window, "Label3")->font()).family(), family);
        expectTheLayoutAt(*window, 1);
        expectCaptionsWhole(*window);
        expectCaptionsOnTheirFieldsLines(*window);
    }
    EXPECT_GT(tried, 0) << "no Japanese face installed (fonts-ipafont-gothic, fonts-noto-cjk)";
}

TEST_F(LayoutTest, LargeSystemFontScalesTheWholeLayoutInProportion)
{
    for (const QString& family : kJapaneseFaces) {
        if (!QFontDatabase::hasFamily(family))
            continue;
        SCOPED_TRACE(family.toStdString());
        const auto window = open(16, family);
        const double scale = 16.0 / 9;
        expectTheLayoutAt(*window, scale);
        EXPECT_NEAR(QFontInfo(child<QLineEdit>(*window, "txtCSS")->font()).pointSizeF(), 16, 0.5);
        EXPECT_NEAR(QFontInfo(child<QLabel>(*window, "Label1")->font()).pointSizeF(), 9.75 * scale, 0.5);
        expectCaptionsWhole(*window);
        expectCaptionsOnTheirFieldsLines(*window);
    }
}
