// A window to drag files or folders from, as a file manager does, for the desktop check: a press
// on it starts a drag of the paths given as its arguments, taken byte for byte. It prints
// "pressed" when the drag starts, "accepted" or "not accepted" as the target under it changes its
// answer, and "dropped" when it ends, for the check to wait on.
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
    explicit DragSource(QList<QByteArray> paths)
        : QLabel(QStringLiteral("drag me"))
        , paths_(std::move(paths))
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
        QList<QUrl> urls;
        for (const QByteArray& path : paths_)
            urls << QUrl::fromEncoded("file://" + path.toPercentEncoding("/"));
        data->setUrls(urls);
        QDrag drag(this);
        drag.setMimeData(data);
        connect(&drag, &QDrag::actionChanged,
                [](Qt::DropAction action) { announce(action == Qt::IgnoreAction ? "not accepted" : "accepted"); });
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

    QList<QByteArray> paths_;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc < 2)
        return 2;
    QList<QByteArray> paths;
    for (int i = 1; i < argc; ++i)
        paths << QByteArray(argv[i]);
    DragSource source{paths};
    source.move(600, 500);
    source.show();
    return QApplication::exec();
}
