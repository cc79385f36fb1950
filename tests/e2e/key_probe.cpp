// A plain application window for the end-to-end tests: it reports on standard output each key
// it receives ("key a") and when it gains or loses the keyboard ("focus in", "focus out"), so a
// test can tell where typed keys go after Tessik's own windows are gone.
#include <cstdio>

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace {

void say(const QString& line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

class KeyProbe : public QWidget {
protected:
    void keyPressEvent(QKeyEvent* event) override { say(QStringLiteral("key ") + event->text()); }
    void focusInEvent(QFocusEvent*) override { say(QStringLiteral("focus in")); }
    void focusOutEvent(QFocusEvent*) override { say(QStringLiteral("focus out")); }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    KeyProbe window;
    window.setWindowTitle(QStringLiteral("key-probe"));
    window.setFocusPolicy(Qt::StrongFocus);
    window.resize(300, 200);
    window.show();
    return app.exec();
}
