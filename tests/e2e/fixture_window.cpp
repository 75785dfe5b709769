// A small Qt window that reports what reaches it in its title, for testing the
// harness without the real program. "bare" shows an empty window and nothing else;
// "resizable" lets the window manager change its size.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

#include <cstring>

namespace {

class Reporter : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(0, 0, 200, 200, QColor(255, 0, 0));
        painter.fillRect(200, 0, 200, 200, QColor(0, 255, 0));
        painter.fillRect(0, 200, 200, 200, QColor(0, 0, 255));
        painter.fillRect(200, 200, 200, 200, QColor(255, 255, 255));
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        auto point = event->position().toPoint();
        setWindowTitle(
            QString("release %1 %2 %3").arg(static_cast<int>(event->button())).arg(point.x()).arg(point.y()));
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        auto point = event->position().toPoint();
        setWindowTitle(QString("double %1 %2").arg(point.x()).arg(point.y()));
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_E) QApplication::exit(7);
        setWindowTitle("key " + event->text());
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const bool bare = argc > 1 && std::strcmp(argv[1], "bare") == 0;
    Reporter reporter;
    QWidget plain;
    QWidget& window = bare ? plain : static_cast<QWidget&>(reporter);
    if (argc > 1 && std::strcmp(argv[1], "resizable") == 0) {
        window.resize(400, 400);
    } else {
        window.setFixedSize(400, 400);
    }
    if (!bare) window.setWindowTitle("fixture");
    window.show();
    return app.exec();
}
