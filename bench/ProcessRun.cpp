#include "ProcessRun.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace quarrow::bench {

namespace {

[[noreturn]] void fail(const QStringList& command, const char* what) {
    throw std::runtime_error(command.value(0).toStdString() + ": " + what);
}

// Spawn actions that send the child's standard output to `fd` and close
// both ends of the pipe the child does not use.
class OutputTo {
public:
    OutputTo(int fd, int unusedEnd) {
        posix_spawn_file_actions_init(&actions_);
        posix_spawn_file_actions_adddup2(&actions_, fd, STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions_, fd);
        if (unusedEnd >= 0) posix_spawn_file_actions_addclose(&actions_, unusedEnd);
    }
    ~OutputTo() { posix_spawn_file_actions_destroy(&actions_); }
    OutputTo(const OutputTo&) = delete;
    OutputTo& operator=(const OutputTo&) = delete;
    const posix_spawn_file_actions_t* get() const { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

void readAll(int fd, QByteArray& output) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            output.append(buffer, qsizetype(n));
        } else if (n == 0 || errno != EINTR) {
            return;
        }
    }
}

}  // namespace

int RunProgram(const QStringList& command, QByteArray* output) {
    std::vector<std::string> strings;
    for (const QString& part : command) strings.push_back(part.toStdString());
    std::vector<char*> argv;
    for (std::string& s : strings) argv.push_back(s.data());
    argv.push_back(nullptr);

    int pipeEnds[2] = {-1, -1};
    if (output != nullptr) {
        if (pipe2(pipeEnds, O_CLOEXEC) != 0) fail(command, "cannot make a pipe");
    } else {
        pipeEnds[1] = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (pipeEnds[1] < 0) fail(command, "cannot open /dev/null");
    }
    pid_t child = 0;
    int spawned = 0;
    {
        const OutputTo actions(pipeEnds[1], pipeEnds[0]);
        spawned = posix_spawnp(&child, argv[0], actions.get(), nullptr, argv.data(), environ);
    }
    close(pipeEnds[1]);
    if (spawned == 0 && output != nullptr) readAll(pipeEnds[0], *output);
    if (pipeEnds[0] >= 0) close(pipeEnds[0]);
    if (spawned != 0) fail(command, std::strerror(spawned));

    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) fail(command, "cannot wait for it");
    }
    if (!WIFEXITED(status)) fail(command, "ended by a signal");
    return WEXITSTATUS(status);
}

}  // namespace quarrow::bench
