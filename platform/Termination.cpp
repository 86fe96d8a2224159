#include "platform/Termination.h"

#include <cerrno>
#include <csignal>
#include <X11/Xlib.h>
#include <cstdio>
#include <pthread.h>
#include <unistd.h>

namespace {

// A caught signal is one whose handler is HandleSignal; its previous disposition is kept to
// chain to and to put back. Written only by the main thread while the signal is not caught.
struct Caught {
    int signal;
    int chainTo;              // the signal whose previous handler ends the program's loop
    struct sigaction previous;
    bool installed;
};
Caught g_caught[] = {
    {SIGTERM, SIGTERM, {}, false},
    {SIGHUP, SIGTERM, {}, false}, // SDL has no SIGHUP handling: it ends the loop as SIGTERM
    {SIGINT, SIGINT, {}, false},
};

volatile sig_atomic_t g_signal = 0;
volatile sig_atomic_t g_endAtOnce = 0;
pthread_t g_mainThread;
struct sigaction g_ours;

bool IsFunction(const struct sigaction& action)
{
    if (action.sa_flags & SA_SIGINFO)
        return true;
    return action.sa_handler != SIG_DFL && action.sa_handler != SIG_IGN;
}

const Caught* Find(int signal)
{
    for (const Caught& c : g_caught)
        if (c.signal == signal)
            return &c;
    return nullptr;
}

// Async-signal-safe: it only sets a flag, forwards the signal with pthread_kill, calls the
// previous handler and reinstalls itself with sigaction.
void HandleSignal(int signal, siginfo_t* info, void* context)
{
    const int savedErrno = errno;
    if (g_endAtOnce)
        _exit(128 + signal);
    if (g_signal == 0)
        g_signal = signal;
    const Caught* caught = Find(signal);
    if (!pthread_equal(pthread_self(), g_mainThread)) {
        // Only the main thread's interrupted wait lets the loop see the Quit at once.
        pthread_kill(g_mainThread, signal);
    } else if (caught) {
        const Caught* target = Find(caught->chainTo);
        const struct sigaction& chain = target->previous;
        if (chain.sa_flags & SA_SIGINFO)
            chain.sa_sigaction(caught->chainTo, info, context);
        else
            chain.sa_handler(caught->chainTo);
        // SDL's handler puts itself back with signal(): take the signal back.
        sigaction(caught->chainTo, &g_ours, nullptr);
    }
    errno = savedErrno;
}

bool IsOurs(const struct sigaction& action)
{
    return (action.sa_flags & SA_SIGINFO) && action.sa_sigaction == HandleSignal;
}

} // namespace

void PlatformCatchTermination()
{
    if (g_ours.sa_sigaction != HandleSignal) { // set once: a running handler reads it
        g_mainThread = pthread_self();
        sigemptyset(&g_ours.sa_mask);
        for (const Caught& c : g_caught)
            sigaddset(&g_ours.sa_mask, c.signal); // one handler at a time per thread
        g_ours.sa_flags = SA_SIGINFO | SA_RESTART;
        g_ours.sa_sigaction = HandleSignal;
    }

    for (Caught& c : g_caught) {
        if (c.installed)
            continue;
        struct sigaction current;
        if (sigaction(c.signal, nullptr, &current) != 0 || IsOurs(current))
            continue;
        if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_IGN)
            continue;
        // Without a handler to chain to, the signal would end nothing: it keeps its default.
        // SIGHUP chains to the handler that catching SIGTERM (listed first) replaced.
        const Caught* target = Find(c.chainTo);
        if (target != &c && !target->installed)
            continue;
        if (!IsFunction(target == &c ? current : target->previous))
            continue;
        c.previous = current;
        if (sigaction(c.signal, &g_ours, nullptr) == 0)
            c.installed = true;
    }
}

int PlatformTerminationSignal() { return g_signal; }

void PlatformTerminationEndsAtOnce(bool on) { g_endAtOnce = on ? 1 : 0; }

void PlatformResetTerminationForTesting()
{
    for (Caught& c : g_caught) {
        if (c.installed)
            sigaction(c.signal, &c.previous, nullptr);
        c.installed = false;
    }
    g_signal = 0;
}

namespace {

void (*g_lastWords)() = nullptr;

int OnDisplayLost(Display*)
{
    void (*lastWords)() = g_lastWords;
    g_lastWords = nullptr; // once, even if the last words lose the display again
    if (lastWords)
        lastWords();
    std::fputs("quillwave: the connection to the display was lost\n", stderr);
    std::fflush(stderr);
    _exit(1);
}

} // namespace

void PlatformEndOnDisplayLoss(void (*lastWords)())
{
    g_lastWords = lastWords;
    XSetIOErrorHandler(&OnDisplayLost);
}
