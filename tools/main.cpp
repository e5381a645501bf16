#include "CatalogueTool.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QFile in;
    QFile out;
    QFile err;
    if (!in.open(stdin, QIODevice::ReadOnly) || !out.open(stdout, QIODevice::WriteOnly) ||
        !err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        std::fputs("quarrow-catalogue: cannot open the standard streams\n", stderr);
        return 1;
    }
    const int code = quarrow::RunCatalogueTool(app.arguments().mid(1), in, out, err);
    out.close();
    return code;
}
