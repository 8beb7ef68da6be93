#pragma once

// A hang-up asked for by a signal while a dial is in progress: `rasdial ENTRY /d` (SIGTERM),
// the connector giving up (SIGTERM), ^C (SIGINT), the terminal going (SIGHUP). While a
// HangUpSignals lives, these end the dial instead of the process: the dial sees the request at
// each of its waits, hangs up whatever it started and says 631. Plain POSIX.
namespace rasdial {

class HangUpSignals {
public:
    HangUpSignals();  // catches the three signals (and forgets any earlier request)
    ~HangUpSignals(); // puts back what they did before
    HangUpSignals(const HangUpSignals&) = delete;
    HangUpSignals& operator=(const HangUpSignals&) = delete;

    // Whether a hang-up was asked for since the signals were caught.
    static bool asked();
    // A descriptor that becomes readable once a hang-up is asked for, for poll() and main
    // loops to wake up on; -1 while no HangUpSignals lives.
    static int fd();
};

} // namespace rasdial
