// The yardstick for Quarrow's start-up: an empty window of the main
// window's size, shown the same way, timed by the same probe.

#include "ExposureProbe.h"

#include <QApplication>

int main(int argc, char** argv) {
    QWidget* window = nullptr;
    quarrow::bench::ExposureProbe<QApplication> application(argc, argv,
                                                            [&window] { return window; });
    QWidget empty;
    empty.setFixedSize(889, 554);
    window = &empty;
    empty.show();
    return QApplication::exec();
}
