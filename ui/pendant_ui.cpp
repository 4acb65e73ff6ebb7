// The live pendant: a terminal program that runs the simulated host in its interactive mode,
// ticks it ten times a second and turns keys into what the operator does at the pendant and at
// the host; the screen shows what the host reports after every tick.
//   pendant_ui [--record-dir DIR] [-- HOST-COMMAND...]
// The host command defaults to the simulated host under Wine, run from the repository root.
#include <curses.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "pendant_model.h"

namespace {
constexpr long kTickMs = 100;
constexpr long kQuitWaitMs = 15000;  // the host's shut-down, Wine's included

volatile sig_atomic_t interrupted = 0;
void OnSignal(int) { interrupted = 1; }

long NowMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

// The simulated host as a child process with its three standard streams piped to us.
struct HostProcess {
    pid_t pid = -1;
    int in = -1;   // its stdin
    int out = -1;  // its stdout
    int err = -1;  // its stderr
    std::string outbox, outLine, errLine;

    bool Start(const std::vector<std::string>& command, std::string* error) {
        int toHost[2], fromHost[2], errFromHost[2];
        if (pipe(toHost) != 0 || pipe(fromHost) != 0 || pipe(errFromHost) != 0) {
            *error = std::string("pipe: ") + strerror(errno);
            return false;
        }
        pid = fork();
        if (pid < 0) {
            *error = std::string("fork: ") + strerror(errno);
            return false;
        }
        if (pid == 0) {
            dup2(toHost[0], 0);
            dup2(fromHost[1], 1);
            dup2(errFromHost[1], 2);
            for (int fd : {toHost[0], toHost[1], fromHost[0], fromHost[1], errFromHost[0], errFromHost[1]}) close(fd);
            std::vector<char*> argv;
            for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            fprintf(stderr, "cannot run %s: %s\n", argv[0], strerror(errno));
            _exit(127);
        }
        close(toHost[0]);
        close(fromHost[1]);
        close(errFromHost[1]);
        in = toHost[1];
        out = fromHost[0];
        err = errFromHost[0];
        for (int fd : {in, out, err}) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        return true;
    }

    void Send(const std::string& command) { outbox += command + "\n"; }

    void Flush() {
        while (in >= 0 && !outbox.empty()) {
            const ssize_t written = write(in, outbox.data(), outbox.size());
            if (written <= 0) {
                if (written < 0 && errno == EAGAIN) return;
                outbox.clear();  // the host is gone
                return;
            }
            outbox.erase(0, static_cast<size_t>(written));
        }
    }

    // Reads what is there from fd into partial; complete lines go to lines. False at the end.
    static bool ReadLines(int fd, std::string* partial, std::vector<std::string>* lines) {
        char buffer[4096];
        for (;;) {
            const ssize_t got = read(fd, buffer, sizeof buffer);
            if (got == 0) return false;
            if (got < 0) return errno == EAGAIN || errno == EINTR;
            partial->append(buffer, static_cast<size_t>(got));
            for (size_t end; (end = partial->find('\n')) != std::string::npos;) {
                std::string line = partial->substr(0, end);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                lines->push_back(line);
                partial->erase(0, end + 1);
            }
        }
    }

    // The exit status once the process has ended, or -1 while it runs.
    int Reap() {
        if (pid < 0) return -1;
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) != pid) return -1;
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
};

std::string NewRecordPath(const std::string& directory) {
    mkdir(directory.c_str(), 0777);
    char name[64];
    const time_t now = time(nullptr);
    strftime(name, sizeof name, "pendant-%Y%m%d-%H%M%S.session", localtime(&now));
    return directory + "/" + name;
}

int MapKey(int key) {
    switch (key) {
        case KEY_LEFT: return KeyLeft;
        case KEY_RIGHT: return KeyRight;
        case KEY_UP: return KeyUp;
        case KEY_DOWN: return KeyDown;
        default: return key;
    }
}

void Draw(const PendantModel& model) {
    const std::vector<std::string> lines = RenderScreen(model, COLS, LINES);
    erase();
    for (size_t row = 0; row < lines.size(); ++row) {
        const bool heading = row == 0;
        if (heading) attron(A_REVERSE);
        mvaddnstr(static_cast<int>(row), 0, lines[row].c_str(), COLS);
        if (heading) attroff(A_REVERSE);
    }
    refresh();
}
}  // namespace

int main(int argc, char** argv) {
    std::string recordDirectory = ".";
    std::vector<std::string> hostCommand{"tools/wine-run", "build/win64/simhost.exe", "--interactive"};
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--record-dir") == 0 && i + 1 < argc) {
            recordDirectory = argv[++i];
        } else if (strcmp(argv[i], "--") == 0) {
            hostCommand.assign(argv + i + 1, argv + argc);
            break;
        } else {
            fprintf(stderr, "usage: %s [--record-dir DIR] [-- HOST-COMMAND...]\n", argv[0]);
            return 2;
        }
    }
    if (hostCommand.empty()) {
        fprintf(stderr, "pendant_ui: no host command\n");
        return 2;
    }

    signal(SIGPIPE, SIG_IGN);
    signal(SIGINT, OnSignal);
    signal(SIGTERM, OnSignal);
    HostProcess host;
    std::string error;
    if (!host.Start(hostCommand, &error)) {
        fprintf(stderr, "pendant_ui: %s\n", error.c_str());
        return 1;
    }

    initscr();
    cbreak();
    noecho();
    keypad(stdscr, TRUE);
    nodelay(stdscr, TRUE);
    curs_set(0);

    PendantModel model;
    model.notice = "starting the simulated host (the first start of Wine takes a while)...";
    bool hostReady = false;  // the host has started the plug-in and waits for commands
    bool hostGone = false;
    int ticksOwed = 0;       // ticks sent and not yet reported
    long nextTick = NowMs();
    long quitDeadline = 0;
    int exitStatus = -1;
    std::string lastError;  // the host's last line on stderr
    char board[16];
    snprintf(board, sizeof board, "board 0x%02X", BoardByte(model.knobs));
    host.Send(board);

    for (;;) {
        if (interrupted && !model.quitting) HandleKey(model, 'q', "");
        if (model.quitting && quitDeadline == 0) {
            host.Send("quit");
            quitDeadline = NowMs() + kQuitWaitMs;
        }
        const long now = NowMs();
        if (hostReady && !model.paused && !model.quitting && ticksOwed == 0 && now >= nextTick) {
            host.Send("tick");
            ++ticksOwed;
            nextTick = now + kTickMs;
        }
        host.Flush();
        Draw(model);

        pollfd fds[4] = {{0, POLLIN, 0}, {host.out, POLLIN, 0}, {host.err, POLLIN, 0},
                         {host.outbox.empty() ? -1 : host.in, POLLOUT, 0}};
        const long wait = hostReady && !model.paused && !model.quitting ? std::max(1L, nextTick - NowMs()) : kTickMs;
        poll(fds, 4, static_cast<int>(std::min(wait, kTickMs)));

        for (int key; (key = getch()) != ERR;) {
            if (hostGone && key == 'q') model.quitting = true;
            if (key == KEY_RESIZE || hostGone || model.quitting) continue;
            const KeyResult result = HandleKey(model, MapKey(key), key == 'r' ? NewRecordPath(recordDirectory) : "");
            for (const std::string& command : result.commands) {
                if (command == "tick") ++ticksOwed;
                if (command != "quit") host.Send(command);  // sent above, once
            }
        }

        std::vector<std::string> lines, errors;
        if (host.out >= 0 && !HostProcess::ReadLines(host.out, &host.outLine, &lines)) {
            close(host.out);
            host.out = -1;
        }
        if (host.err >= 0 && !HostProcess::ReadLines(host.err, &host.errLine, &errors)) {
            close(host.err);
            host.err = -1;
        }
        for (const std::string& line : lines) {
            if (line.compare(0, 5, "HOST ") == 0) {
                hostReady = true;
                model.notice = "the plug-in is loaded; the host ticks it ten times a second";
            }
            if (line.compare(0, 6, "STATE ") == 0 && ticksOwed > 0) --ticksOwed;
            TakeHostLine(model, line);
        }
        for (const std::string& line : errors) {
            if (!line.empty()) lastError = line;
            model.notice = "host: " + line;
        }

        if (host.out < 0 && host.pid > 0) {
            exitStatus = host.Reap();
            if (exitStatus >= 0 && !model.quitting) {
                hostGone = true;
                model.notice = "the simulated host has stopped (exit " + std::to_string(exitStatus) + ")" +
                               (lastError.empty() ? "" : ": " + lastError) + "; q quits";
            }
        }
        if (model.quitting && host.pid < 0) break;
        if (model.quitting && NowMs() > quitDeadline) break;
    }
    endwin();
    if (host.pid > 0) {
        kill(host.pid, SIGTERM);
        waitpid(host.pid, nullptr, 0);
    }
    if (!model.recordPath.empty()) printf("Recorded trace: %s (replay it with: tools/run.sh %s)\n",
                                          model.recordPath.c_str(), model.recordPath.c_str());
    if (exitStatus > 0) {
        printf("The simulated host ended with status %d%s%s\n", exitStatus, lastError.empty() ? "" : ": ",
               lastError.c_str());
    }
    return exitStatus > 0 ? 1 : 0;
}
