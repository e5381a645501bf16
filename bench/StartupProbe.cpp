// Quarrow as program/main.cpp starts it, ending as soon as the main window is on
// the screen; prints the monotonic clock at that moment (see ExposureProbe.h).

#include "ExposureProbe.h"
#include "mainwindow/TForm1.h"
#include "program/QuarrowApplication.h"
#include "program/Startup.h"

int main(int argc, char** argv) {
    quarrow::PrepareStartupHeap();
    quarrow::bench::ExposureProbe<quarrow::QuarrowApplication> application(
        argc, argv, [] { return static_cast<QWidget*>(Form1); });
    return quarrow::RunQuarrow();
}
