#pragma once
// Signal installation through sigaction (no old action kept); each call
// returns sigaction's result.
#include <csignal>

namespace IPC {

class Signal
{
public:
    using Handler = void (*)(int);
    using InfoHandler = void (*)(int, siginfo_t*, void*);

    // A set of blocked signals: empty, plus each number given.
    class Set
    {
    public:
        Set();
        explicit Set(int a);
        Set(int a, int b);
        Set(int a, int b, int c);
        // True when signo is a valid signal number.
        static bool is_signal(int signo);
        const sigset_t& get() const { return set; }

    private:
        sigset_t set;
    };

    // One-argument handler: SA_SIGINFO is removed from flags.
    static int handle(int sig, Handler handler, const Set& mask, int flags = 0);
    static int handle(int sig, Handler handler, int flags = 0);
    // Three-argument handler: SA_SIGINFO is added to flags.
    static int handle(int sig, InfoHandler handler, const Set& mask, int flags = 0);
    static int handle(int sig, InfoHandler handler, int flags = 0);

    static int ignore(int sig);   // SIG_IGN
    static int system(int sig);   // SIG_DFL

    // Restart system calls interrupted by sig (disable_int) or let them fail
    // with EINTR (enable_int), as siginterrupt(sig, 0 / 1) does.
    static int disable_int(int sig);
    static int enable_int(int sig);
};

} // namespace IPC
