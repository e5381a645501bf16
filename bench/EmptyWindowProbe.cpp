// The yardsticks for Quarrow's start-up: a window of the main window's size,
// shown the same way, timed by the same probe. With --text it shows one line
// of text, which needs the font database that an empty window never loads:
// the least any window showing text costs, and the yardstick of the goal.
// Without, it stays empty, for reference.

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
