// Holds dev.mdb in the current folder open the way the unknown-device window
// does (deny-write) until its standard input closes, so that tests can see
// what another process holding the catalogue means for the window.
#include "core/Exception.h"
#include "db/Connection.h"
#include "stores/DeviceCatalogue.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    quarrow::Connection connection(quarrow::DeviceCatalogueConnectionString());
    try {
        connection.open();
    } catch (const quarrow::Exception& error) {
        std::printf("refused: %s\n", error.what());
        return 2;
    }
    std::printf("held\n");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
