// Termination signals: SIGTERM and SIGHUP (and SIGINT) end the program through its main loop,
// as a Quit event, so that it can autosave on the way out; which signal it was tells that
// loop not to ask the user anything. SDL's own handlers turn SIGINT and SIGTERM into that
// event when its event subsystem starts; this module records the signal and hands SIGHUP to
// SDL's SIGTERM handling. Process-wide; call from the main thread.
#pragma once

// Call after the window system has started (PlatformInitVideo), from the main thread. SIGTERM
// and SIGHUP then ask the program to end as SIGTERM does under SDL (a Quit event reaches the
// loop, which wakes up), and SIGINT as SDL has it do; PlatformTerminationSignal() says which
// it was. A signal that arrives on another thread is passed on to the calling thread, whose
// wait for events it cuts short. A signal whose disposition is "ignore" stays ignored (nohup
// keeps SIGHUP from ending the program). When SDL has no SIGTERM handler (the video system
// has not started, or SDL was told to install none) SIGTERM and SIGHUP keep their default of
// ending the process at once; so does SIGINT without SDL's handler. Idempotent: a later call
// catches what an earlier one could not.
void PlatformCatchTermination();

// The first signal that asked the program to end (SIGTERM, SIGHUP, or SIGINT if caught), or 0.
int PlatformTerminationSignal();

// While on, a caught termination signal ends the process at once with the status the signal
// itself would give (128 + its number), for a blocking system box shown when there is no work
// to save: the box's own loop would never return to ours to see the Quit.
void PlatformTerminationEndsAtOnce(bool on);

// When the connection to the X server breaks (the server went away), Xlib ends the process
// from inside whichever call noticed it, through exit(), whose destructors then talk to the
// broken connection again and never return: the program would hang, spinning. From this call
// on, that loss instead runs lastWords (once; it must not touch the window system, only write
// files), says so on stderr and ends the process at once with status 1. Null lastWords: it
// only ends. Main thread, after the window system has started.
void PlatformEndOnDisplayLoss(void (*lastWords)());

// Puts back the handlers that PlatformCatchTermination replaced and forgets the signal.
void PlatformResetTerminationForTesting();
