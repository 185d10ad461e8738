#include "runtime/Signal.h"

namespace IPC {

namespace {

int install(int sig, void (*plain)(int), Signal::InfoHandler info, const sigset_t& mask, int flags)
{
    struct sigaction action {};
    if (info != nullptr) {
        action.sa_sigaction = info;
        flags |= SA_SIGINFO;
    } else {
        action.sa_handler = plain;
        flags &= ~SA_SIGINFO;
    }
    action.sa_mask = mask;
    action.sa_flags = flags;
    return ::sigaction(sig, &action, nullptr);
}

int setRestart(int sig, bool restart)
{
    struct sigaction action {};
    if (::sigaction(sig, nullptr, &action) != 0)
        return -1;
    if (restart)
        action.sa_flags |= SA_RESTART;
    else
        action.sa_flags &= ~SA_RESTART;
    return ::sigaction(sig, &action, nullptr);
}

} // namespace

Signal::Set::Set()
{
    sigemptyset(&set);
}

Signal::Set::Set(int a) : Set()
{
    sigaddset(&set, a);
}

Signal::Set::Set(int a, int b) : Set(a)
{
    sigaddset(&set, b);
}

Signal::Set::Set(int a, int b, int c) : Set(a, b)
{
    sigaddset(&set, c);
}

bool Signal::Set::is_signal(int signo)
{
    sigset_t probe;
    sigemptyset(&probe);
    return sigaddset(&probe, signo) == 0;
}

int Signal::handle(int sig, Handler handler, const Set& mask, int flags)
{
    return install(sig, handler, nullptr, mask.get(), flags);
}

int Signal::handle(int sig, Handler handler, int flags)
{
    return handle(sig, handler, Set(), flags);
}

int Signal::handle(int sig, InfoHandler handler, const Set& mask, int flags)
{
    return install(sig, nullptr, handler, mask.get(), flags);
}

int Signal::handle(int sig, InfoHandler handler, int flags)
{
    return handle(sig, handler, Set(), flags);
}

int Signal::ignore(int sig)
{
    return install(sig, SIG_IGN, nullptr, Set().get(), 0);
}

int Signal::system(int sig)
{
    return install(sig, SIG_DFL, nullptr, Set().get(), 0);
}

int Signal::disable_int(int sig)
{
    return setRestart(sig, true);
}

int Signal::enable_int(int sig)
{
    return setRestart(sig, false);
}

} // namespace IPC
