#include "CatalogueTool.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

#if defined(Q_OS_WIN)
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char* argv[]) {
#if defined(Q_OS_WIN)
    // Rows and exports pass byte for byte: no CR added before LF, and no
    // Ctrl+Z taken for the end of the input.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
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
