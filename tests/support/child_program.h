#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace brindlewick::test {

// A program run in a process of its own, in a folder, with its standard
// streams on files and optional limits of file size and memory. Started by
// the constructor; the destructor waits for it if nobody did.
class ChildProgram {
public:
    struct Setup {
        std::string program;
        std::vector<std::string> args;
        std::filesystem::path folder;                                  // the working folder
        std::vector<std::pair<std::string, std::string>> environment;  // set on top of ours
        std::filesystem::path input = "/dev/null";
        std::filesystem::path output = "/dev/null";
        std::filesystem::path errors = "/dev/null";
        long fileSizeLimit = 0;  // 0: no limit of its own
        // The most memory it may take (RLIMIT_DATA: its heap and other
        // private writable mappings); 0: no limit of its own.
        long memoryLimit = 0;
    };

    explicit ChildProgram(const Setup& setup);
    ~ChildProgram();
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    bool Running();
    void Signal(int signal) const;
    // The exit status, or 128 plus the signal that ended it.
    int Wait();

private:
    pid_t pid_;
    int status_ = -1;
};

}  // namespace brindlewick::test
