#include "QuarrowApplication.h"
#include "Startup.h"

int main(int argc, char** argv) {
    quarrow::QuarrowApplication application(argc, argv);
    return quarrow::RunQuarrow();
}
