// The yardstick for Quarrow's start-up: an empty window of the main
// window's size, shown the same way, timed by the same probe. With --text
// the window shows one line of text, which needs the font database that an
// empty window never loads: the least any window showing text costs.

#include "ExposureProbe.h"

#include <QApplication>
#include <QLabel>
#include <cstring>

int main(int argc, char** argv) {
    QWidget* window = nullptr;
    quarrow::bench::ExposureProbe<QApplication> application(argc, argv,
                                                            [&window] { return window; });
    QWidget empty;
    empty.setFixedSize(889, 554);
    if (argc > 1 && std::strcmp(argv[1], "--text") == 0) {
        new QLabel(QStringLiteral("Quarrow"), &empty);
    }
    window = &empty;
    empty.show();
    return QApplication::exec();
}
