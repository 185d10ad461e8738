#pragma once
// The pid file: while the daemon runs, "/var/run/<name>.pid" holds its process
// id (decimal digits only); an orderly end removes it, an abort leaves it.
#include <string>

namespace Linux {

class Run
{
public:
    // Creates (or truncates) the file and writes getpid(); a file that cannot
    // be created, or that is no regular file (a FIFO), is silently done
    // without and left as it is.
    explicit Run(const char* name);
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;
    // Closes and removes the file when it was created.
    ~Run();

    bool isOpen() const { return fd >= 0; }
    const std::string& getPath() const { return path; }

private:
    int fd;
    std::string path;
};

} // namespace Linux
