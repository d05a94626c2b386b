// The least a Qt Widgets chat window can be: a menu bar, a line edit and a
// text field. Start-up time and memory of Wispleaf are compared with this.
#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QVBoxLayout>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("baseline"));
    window.menuBar()->addMenu(QStringLiteral("ファイル"))->addAction(QStringLiteral("切断"));
    auto *client = new QWidget(&window);
    auto *layout = new QVBoxLayout(client);
    layout->addWidget(new QLineEdit(client));
    layout->addWidget(new QPlainTextEdit(client));
    window.setCentralWidget(client);
    window.resize(326, 310);
    window.show();
    return app.exec();
}
