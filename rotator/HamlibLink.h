// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <ctime>
#include <optional>
#include <string>

// What the Hamlib workers of the rotators and of the radio share about the link to their device:
// Hamlib's error texts, which of its errors leave the link sound, a network device reached within a
// time limit before Hamlib is let at it, and a blocking system call cut short. Hamlib connects to a
// rotctld or rigctld with a blocking connect and no limit of its own: a host that is down, or a
// daemon that accepts no connection, would hold the worker (and Hamlib's one turn) for minutes.
namespace HamlibLink {

// Hamlib's text for an error code, first line only (it comes from a static buffer: called while
// holding Hamlib's turn, as every Hamlib call).
std::string ErrorText(int code);

// Hamlib gives negative codes; the soft ones (not implemented, out of range, rejected) leave the
// link to the device sound, the others call for closing it.
bool IsSound(int code);

// "host:port", "[v6 address]:port" or "host" (then defaultPort) as the numeric address it resolves
// to, IPv4 first, the lowest first ("localhost:4533" as "127.0.0.1:4533"); nullopt when it does not
// resolve.
std::optional<std::string> NumericAddress(const std::string& device, const char* defaultPort);

// Resolves a network device as NumericAddress does and connects to it within waitMs, closing the
// connection again at once: its numeric address when it can be reached, else nullopt with `why`
// ("IO error: no address for HOST", "Communication timed out", "IO error: Connection refused").
std::optional<std::string> Reach(const std::string& device, const char* defaultPort, int waitMs, std::string& why);

// While it lives, the calling thread's blocking system calls are cut short once `limit` has
// passed (and every tenth of a second after, for a call started later).
class CutShortAfter {
public:
    explicit CutShortAfter(std::chrono::milliseconds limit);
    ~CutShortAfter();
    CutShortAfter(const CutShortAfter&) = delete;
    CutShortAfter& operator=(const CutShortAfter&) = delete;

private:
    timer_t timer_{};
    bool armed_ = false;
};

}  // namespace HamlibLink
