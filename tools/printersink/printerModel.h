// The printer behind the stand-in: reads what a host sends (PJL commands,
// PCL pages), prints the pages one after the other at a set pace, and
// answers as PJL printers do: INFO STATUS, INFO PAGECOUNT, INFO ID, ECHO,
// and, where the host switched them on, unsolicited USTATUS DEVICE, JOB and
// PAGE reports; every reply ends with a form feed. It can be told to jam at
// a page, run out of paper, have a door open, go offline, run low on toner,
// stop answering, or flood the host with reports.
// Pure: bytes and times in, reply bytes out; the program around it does the
// sockets and the clock.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace printersink {

using clock = std::chrono::steady_clock;

class printerModel {
public:
    struct settings {
        std::chrono::milliseconds pageTime{0};  // to print one page
        bool spaced = false;  // "KEY = value" with bare line feeds, bare page counts
        bool silent = false;  // a one-way printer: never answers
    };
    explicit printerModel(settings given) : set(given) {}

    // A host connects or leaves: status switched on by USTATUS lasts for
    // one connection (one I/O channel), as on a printer.
    void connectionOpened();
    void connectionClosed();
    // Bytes from the host, at `now`.
    void receive(std::span<const std::uint8_t> bytes, clock::time_point now);
    // Prints what is due by `now`.
    void advance(clock::time_point now);
    // When advance has something to do next, if ever.
    std::optional<clock::time_point> nextEvent() const;
    // False while the printer takes no more data (stopped with pages waiting).
    bool takesData() const;
    // Replies for the host, taken out by the caller.
    std::string replies;
    // True once this connection carried print data, not only PJL.
    bool printData() const { return connectionPrints; }

    // One control command, one line of answer:
    //   jam-at K       jam when the next job's page K is about to be printed
    //   jam | paper-out | door-open | offline | toner-low   that state now
    //   ready          back to ready (a stopped printer goes on)
    //   silent on|off  stop or go on answering
    //   flood N        N unsolicited status reports at once
    //   state          pages=N panel="..." code=N jobs=N
    std::string control(const std::string& command, clock::time_point now);

private:
    struct job {
        std::string name;
        long pagesReceived = 0;
        long pagesPrinted = 0;
        bool ended = false;  // EOJ seen
        std::string endName;
        bool reported = false;
        unsigned long connection = 0;
    };
    struct status {
        int code;
        std::string display;
        bool online;
        bool stops;  // the engine waits until "ready"
    };

    void scan(clock::time_point now);
    void pjlCommand(std::string line, clock::time_point now);
    void pageReceived(clock::time_point now);
    void setStatus(const status& next);
    void endIfDone(job& done);
    void reply(const std::string& head, const std::vector<std::string>& lines);
    std::string pair(const std::string& key, const std::string& value) const;
    std::vector<std::string> statusLines() const;
    // The panel: the host's ready message while ready, else the state's text.
    std::string panel() const;

    settings set;
    status current{10001, "READY", true, false};
    std::optional<long> jamAt;
    long pagesPrintedTotal = 0;
    std::string readyMessage;  // set with RDYMSG
    int jobsSeen = 0;
    unsigned long connection = 0;
    std::size_t firstJob = 0;  // the number of jobs.front()

    // This connection.
    bool deviceReports = false, jobReports = false, pageReports = false;
    bool connectionPrints = false;
    bool pjlMode = true;
    std::vector<std::uint8_t> pending;
    std::deque<job> jobs;  // the connection's jobs, oldest first
    std::deque<std::size_t> queue;  // pages waiting, by index into jobs
    std::optional<clock::time_point> nextPageAt;
};

}  // namespace printersink
