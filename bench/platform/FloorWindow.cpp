// The floor the Monitor's start-up and memory are measured against: a main window with the parts
// the Monitor's window has (a menu bar of five menus, a read-only text view) and nothing else.
// Like the Monitor started headless, it writes a line to its standard output once the window
// exists; then, as the Monitor does where there is no notification area, it shows the window
// minimised (or, with --shown, as the Monitor's open window) and idles in its event loop until
// it is ended.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QTextEdit>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QMainWindow window;
    for (const char* title : {"&File", "&Edit", "&View", "&Options", "&Help"}) {
        window.menuBar()->addMenu(QString::fromLatin1(title))->addAction(QStringLiteral("Item"));
    }
    auto* view = new QTextEdit(&window);
    view->setReadOnly(true);
    window.setCentralWidget(view);
    window.resize(450, 300);
    view->append(QStringLiteral("Floor window started."));
    std::fputs("Floor window started.\n", stdout);
    std::fflush(stdout);
    if (argc > 1 && std::strcmp(argv[1], "--shown") == 0) {
        window.show();
    } else {
        window.showMinimized();
    }
    return application.exec();
}
