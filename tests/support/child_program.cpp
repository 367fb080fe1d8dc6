#include "support/child_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "support/file_size_limit.h"

namespace brindlewick::test {
namespace {

// In the child: opens path onto the descriptor target or ends the child.
void Redirect(const std::filesystem::path& path, int flags, int target) {
    const int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0 || ::dup2(fd, target) < 0) {
        std::_Exit(126);
    }
    ::close(fd);
}

int Status(int raw) {
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

}  // namespace

ChildProgram::ChildProgram(const Setup& setup) {
    // Everything the child needs is made before the fork.
    std::vector<char*> argv{const_cast<char*>(setup.program.c_str())};
    for (const std::string& arg : setup.args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid_ == 0) {
        Redirect(setup.input, O_RDONLY, 0);
        Redirect(setup.output, O_WRONLY | O_CREAT | O_TRUNC, 1);
        Redirect(setup.errors, O_WRONLY | O_CREAT | O_TRUNC, 2);
        for (const auto& [name, value] : setup.environment) {
            ::setenv(name.c_str(), value.c_str(), 1);
        }
        if (setup.fileSizeLimit > 0) {
            SetFileSizeLimit(static_cast<rlim_t>(setup.fileSizeLimit));
        }
        if (setup.memoryLimit > 0) {
            const rlimit limit{static_cast<rlim_t>(setup.memoryLimit),
                               static_cast<rlim_t>(setup.memoryLimit)};
            if (::setrlimit(RLIMIT_DATA, &limit) != 0) {
                std::_Exit(126);
            }
        }
        if (!setup.folder.empty() && ::chdir(setup.folder.c_str()) != 0) {
            std::_Exit(126);
        }
        ::execv(setup.program.c_str(), argv.data());
        std::_Exit(127);
    }
}

ChildProgram::~ChildProgram() {
    Wait();
}

bool ChildProgram::Running() {
    if (status_ >= 0) {
        return false;
    }
    int raw = 0;
    if (::waitpid(pid_, &raw, WNOHANG) == pid_) {
        status_ = Status(raw);
    }
    return status_ < 0;
}

void ChildProgram::Signal(int signal) const {
    if (status_ < 0) {
        ::kill(pid_, signal);
    }
}

int ChildProgram::Wait() {
    int raw = 0;
    if (status_ < 0 && ::waitpid(pid_, &raw, 0) == pid_) {
        status_ = Status(raw);
    }
    return status_;
}

}  // namespace brindlewick::test
