// A standard error box with a given caption and text, to compare the program's box with.
//   reference_box <caption> <text>
#include <QApplication>
#include <QMessageBox>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) return 2;
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(argv[1]), QString::fromUtf8(argv[2]), QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    return 0;
}
