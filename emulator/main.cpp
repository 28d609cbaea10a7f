// siren_emulator: a siren on a serial line, for the program and its tests.
// See BEmulatorOptions::Usage for the command line.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <sys/prctl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "emulator/emulator_options.h"
#include "emulator/line_pacer.h"
#include "emulator/serial_port.h"
#include "emulator/siren_emulator.h"

namespace {

volatile std::sig_atomic_t gStopSignal = 0;

void OnStopSignal(int signal)
{
    gStopSignal = signal;
}

void InstallSignalHandlers()
{
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;   // no SA_RESTART: poll and sleeps return with EINTR
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

int64_t MonotonicNow()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Sleeps until the absolute monotonic time; false when a stop signal came.
bool SleepUntil(int64_t deadline)
{
    timespec target{};
    target.tv_sec = static_cast<time_t>(deadline / 1000000000);
    target.tv_nsec = static_cast<long>(deadline % 1000000000);
    while (gStopSignal == 0) {
        const int result = clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &target, nullptr);
        if (result == 0)
            return true;
        if (result != EINTR)
            return true;
    }
    return false;
}

// One line per event, with the seconds since start, to a file or stderr.
class BLogFile {
public:
    bool Open(const std::string& path)
    {
        start_ = MonotonicNow();
        if (path.empty())
            return true;
        file_ = path == "-" ? stderr : std::fopen(path.c_str(), "w");
        return file_ != nullptr;
    }
    ~BLogFile()
    {
        if (file_ != nullptr && file_ != stderr)
            std::fclose(file_);
    }
    void Write(const std::string& line)
    {
        if (file_ == nullptr)
            return;
        const double seconds = static_cast<double>(MonotonicNow() - start_) / 1e9;
        std::fprintf(file_, "%11.6f %s\n", seconds, line.c_str());
        std::fflush(file_);
    }

private:
    std::FILE* file_ = nullptr;
    int64_t start_ = 0;
};

class BEmulatorProgram {
public:
    explicit BEmulatorProgram(const BEmulatorOptions& options)
        : options_(options),
          emulator_(options.chips, options.faults, options.seed),
          pacer_(options.pace, static_cast<int64_t>(options.delayMs) * 1000000)
    {
    }

    int Run();

private:
    bool Start();
    void Serve();
    bool PollOnce();
    void ReadLine();
    void HandleChunk(const uint8_t* bytes, std::size_t count);
    void OnHangUp();
    void Finish();

    BEmulatorOptions options_;
    BSirenEmulator emulator_;
    BLinePacer pacer_;
    BSerialPort port_;
    BLogFile log_;
    bool hungUp_ = true;
    bool failed_ = false;
    bool linkMade_ = false;
};

int BEmulatorProgram::Run()
{
    if (!Start()) {
        Finish();
        return 1;
    }
    Serve();
    Finish();
    return failed_ ? 1 : 0;
}

bool BEmulatorProgram::Start()
{
    if (!log_.Open(options_.logFile)) {
        std::fprintf(stderr, "siren_emulator: cannot open the log %s: %s\n", options_.logFile.c_str(),
                     std::strerror(errno));
        return false;
    }
    emulator_.SetLog([this](const std::string& line) { log_.Write(line); });

    if (!options_.stateFile.empty() && BSirenState::FileExists(options_.stateFile)) {
        if (!emulator_.Device().State().Load(options_.stateFile)) {
            std::fprintf(stderr, "siren_emulator: %s\n", emulator_.Device().State().GetErrorText().c_str());
            options_.stateFile.clear();   // never overwrite a file we could not read
            return false;
        }
        log_.Write("STATE loaded from " + options_.stateFile);
    }

    const bool opened = options_.device.empty() ? port_.OpenPseudoTerminal() : port_.OpenDevice(options_.device);
    if (!opened) {
        std::fprintf(stderr, "siren_emulator: %s\n", port_.GetErrorText().c_str());
        return false;
    }
    hungUp_ = port_.IsPseudoTerminal();

    if (!options_.link.empty()) {
        if (unlink(options_.link.c_str()) != 0 && errno != ENOENT) {
            std::fprintf(stderr, "siren_emulator: cannot replace %s: %s\n", options_.link.c_str(), std::strerror(errno));
            return false;
        }
        if (symlink(port_.FarEndPath().c_str(), options_.link.c_str()) != 0) {
            std::fprintf(stderr, "siren_emulator: cannot create %s: %s\n", options_.link.c_str(), std::strerror(errno));
            return false;
        }
        linkMade_ = true;
    }
    std::printf("%s\n", port_.FarEndPath().c_str());
    std::fflush(stdout);
    log_.Write("LINE " + port_.FarEndPath() + ", " + std::to_string(options_.chips) + " IC" +
               (options_.pace ? ", paced at 115200 baud" : ""));
    return true;
}

void BEmulatorProgram::Serve()
{
    while (gStopSignal == 0 && !failed_) {
        if (!PollOnce())
            return;
    }
}

// Waits for the line or stdin; false when the emulator is to end.
bool BEmulatorProgram::PollOnce()
{
    pollfd fds[2];
    nfds_t count = 0;
    int lineIndex = -1, inputIndex = -1;
    if (!hungUp_) {
        lineIndex = static_cast<int>(count);
        fds[count++] = pollfd{port_.Descriptor(), POLLIN, 0};
    }
    if (options_.exitOnEof) {
        inputIndex = static_cast<int>(count);
        fds[count++] = pollfd{STDIN_FILENO, POLLIN, 0};
    }
    // While no one holds the line the master reports a hang-up without end;
    // look again every 10 ms instead of spinning.
    const int ready = poll(fds, count, hungUp_ ? 10 : -1);
    if (ready < 0) {
        if (errno == EINTR)
            return true;
        log_.Write(std::string("ERROR poll: ") + std::strerror(errno));
        failed_ = true;
        return false;
    }
    if (inputIndex >= 0 && fds[inputIndex].revents != 0) {
        char ignored[256];
        const ssize_t n = read(STDIN_FILENO, ignored, sizeof ignored);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
            log_.Write("EXIT stdin closed");
            return false;
        }
    }
    if (hungUp_) {
        pollfd line{port_.Descriptor(), POLLIN, 0};
        if (poll(&line, 1, 0) < 0 || (line.revents & POLLHUP) != 0)
            return true;
        hungUp_ = false;
        log_.Write("LINK the other side opened the line");
        ReadLine();
    } else if (lineIndex >= 0 && fds[lineIndex].revents != 0) {
        ReadLine();
    }
    return true;
}

void BEmulatorProgram::ReadLine()
{
    uint8_t buffer[4096];
    for (;;) {
        std::size_t received = 0;
        switch (port_.Read(buffer, sizeof buffer, received)) {
        case BSerialPort::ReadResult::Data:
            HandleChunk(buffer, received);
            if (hungUp_ || gStopSignal != 0)
                return;
            break;
        case BSerialPort::ReadResult::NoData:
            return;
        case BSerialPort::ReadResult::HungUp:
            OnHangUp();
            return;
        case BSerialPort::ReadResult::Failed:
            log_.Write("ERROR " + port_.GetErrorText());
            failed_ = true;
            return;
        }
    }
}

void BEmulatorProgram::HandleChunk(const uint8_t* bytes, std::size_t count)
{
    pacer_.OnChunkRead(MonotonicNow(), count);
    for (const BOutgoingReply& reply : emulator_.Feed(bytes, count)) {
        const int64_t deadline = pacer_.ReplyDeadline(pacer_.RequestEnd(reply.chunkOffset), reply.bytes.size());
        if (!SleepUntil(deadline))
            return;
        if (!port_.Write(reply.bytes.data(), reply.bytes.size())) {
            log_.Write("ERROR " + port_.GetErrorText() + "; the reply is lost");
            OnHangUp();
            return;
        }
        log_.Write(reply.logLine);
    }
}

void BEmulatorProgram::OnHangUp()
{
    if (hungUp_)
        return;
    hungUp_ = true;
    port_.Flush();
    emulator_.ResetLink();
    pacer_.Reset();
    log_.Write("LINK the other side closed the line");
}

void BEmulatorProgram::Finish()
{
    if (gStopSignal != 0)
        log_.Write(std::string("EXIT signal ") + std::to_string(static_cast<int>(gStopSignal)));
    if (!options_.stateFile.empty()) {
        BSirenState& state = emulator_.Device().State();
        if (state.Save(options_.stateFile)) {
            log_.Write("STATE saved to " + options_.stateFile);
        } else {
            std::fprintf(stderr, "siren_emulator: %s\n", state.GetErrorText().c_str());
            log_.Write("ERROR " + state.GetErrorText());
            failed_ = true;
        }
    }
    if (linkMade_) {
        // Remove the link only while it still points at this emulator's line.
        char target[4096];
        const ssize_t length = readlink(options_.link.c_str(), target, sizeof target - 1);
        if (length >= 0 && std::string(target, static_cast<std::size_t>(length)) == port_.FarEndPath())
            unlink(options_.link.c_str());
    }
    port_.Close();
}

}  // namespace

int main(int argc, char** argv)
{
    BEmulatorOptions options;
    std::string error;
    if (!options.Parse(std::vector<std::string>(argv + 1, argv + argc), error)) {
        std::fprintf(stderr, "siren_emulator: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(BEmulatorOptions::Usage("siren_emulator").c_str(), stdout);
        return 0;
    }
    InstallSignalHandlers();
    // The default 50 us timer slack would make every paced reply that much late.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    BEmulatorProgram program(options);
    return program.Run();
}
