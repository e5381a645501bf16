#include "CommandLine.h"
#include "DisplayGuard.h"
#include "QuarrowApplication.h"
#include "Startup.h"

#include <memory>

int main(int argc, char** argv) {
    quarrow::PrepareStartupHeap();
    const quarrow::CommandLineOutcome commandLine = quarrow::HandleCommandLine(argc, argv);
    const bool showErrorBox = !commandLine.errorBox.isEmpty();
    if (!commandLine.runProgram && !showErrorBox) return commandLine.exitCode;
    std::unique_ptr<quarrow::QuarrowApplication> application;
    {
        quarrow::DisplayGuard guard;
        application = std::make_unique<quarrow::QuarrowApplication>(argc, argv);
    }
    if (showErrorBox) return quarrow::ShowErrorBoxAlone(commandLine.errorBox);
    return quarrow::RunQuarrow();
}
