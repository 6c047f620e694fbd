// A small window of our own for the X11 tests to type into: a plain text editor whose
// text it writes to a file after every change, so a test reads back exactly what
// arrived. Usage: quenvil_target_window --class NAME --out FILE [--grab]
// With --grab it holds the keyboard grab, as a password prompt does.
#include <QApplication>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QTimer>
#include <QWindow>

#include <cstdio>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
        file.commit();
    }
}

} // namespace

int main(int argc, char** argv)
{
    QString appClass = QStringLiteral("QuenvilTarget");
    QString out;
    bool grab = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if (arg == "--class" && i + 1 < argc)
            appClass = QString::fromLocal8Bit(argv[++i]);
        else if (arg == "--out" && i + 1 < argc)
            out = QString::fromLocal8Bit(argv[++i]);
        else if (arg == "--grab")
            grab = true;
    }
    QApplication::setApplicationName(appClass);
    QApplication app(argc, argv);
    QPlainTextEdit editor;
    editor.setWindowTitle(appClass);
    editor.resize(500, 300);

    QTimer flush;
    flush.setSingleShot(true);
    flush.setInterval(5);
    QObject::connect(&flush, &QTimer::timeout, [&] { writeFile(out, editor.toPlainText().toUtf8()); });
    QObject::connect(&editor, &QPlainTextEdit::textChanged, &flush, qOverload<>(&QTimer::start));

    editor.show();
    writeFile(out + QStringLiteral(".window"), QByteArray::number(quint64(editor.windowHandle()->winId())));
    // Ready once the window has the focus: then typing lands in it.
    bool announced = false;
    auto announce = [&] {
        if (announced || !editor.isActiveWindow())
            return;
        announced = true;
        if (grab)
            editor.grabKeyboard();
        writeFile(out, QByteArray());
        writeFile(out + QStringLiteral(".ready"),
                  QByteArray::number(quint64(editor.windowHandle()->winId())));
    };
    QObject::connect(&app, &QGuiApplication::focusWindowChanged, announce);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, announce);
    poll.start(20);
    return app.exec();
}
