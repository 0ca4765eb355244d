#pragma once

class QFont;
class QString;
class QWidget;

namespace vaskerel {

// `font`, condensed and if need be made smaller, so that `caption` takes no more than `room`
// pixels of width and `height` of height on `device`: some Japanese faces are wider than the
// fixed layout was made for, and a control may not move to make room.
QFont fittedFont(QFont font, const QString& caption, int room, int height, const QWidget& device);

} // namespace vaskerel
