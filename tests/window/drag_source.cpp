// A window to drag a file or folder from, as a file manager does, for the desktop check: a press
// on it starts a drag of the path given as its one argument, taken byte for byte. It prints
// "pressed" when the drag starts and "dropped" when it ends, for the check to wait on.
#include <QApplication>
#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include <cstdio>

namespace {

class DragSource : public QLabel {
public:
    explicit DragSource(QByteArray path)
        : QLabel(QStringLiteral("drag me"))
        , path_(std::move(path))
    {
        setWindowTitle(QStringLiteral("drag source"));
        setAlignment(Qt::AlignCenter);
        resize(160, 80);
    }

protected:
    void mousePressEvent(QMouseEvent*) override
    {
        auto* data = new QMimeData;
        // Percent-encoded from the bytes, as file managers do; QUrl::fromLocalFile needs UTF-8.
        data->setUrls({QUrl::fromEncoded("file://" + path_.toPercentEncoding("/"))});
        QDrag drag(this);
        drag.setMimeData(data);
        announce("pressed");
        const Qt::DropAction action = drag.exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
        announce(action == Qt::IgnoreAction ? "dropped, refused" : "dropped, taken");
    }

private:
    static void announce(const char* what)
    {
        std::printf("%s\n", what);
        std::fflush(stdout);
    }

    QByteArray path_;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc != 2)
        return 2;
    DragSource source{QByteArray(argv[1])};
    source.move(600, 500);
    source.show();
    return QApplication::exec();
}
