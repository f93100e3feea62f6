#include "run_program.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char **environ;

static std::string read_file(const std::string &path)
{
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

static long now_ms()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

static void check(bool ok, const char *what)
{
    if (!ok)
        throw std::runtime_error(std::string(what) + ": " + strerror(errno));
}

// Whether the request sets the variable of the NAME=VALUE entry itself.
static bool overridden(const char *entry, const std::vector<std::string> &env)
{
    size_t name = strcspn(entry, "=");
    for (const std::string &e : env)
        if (e.size() > name && e.compare(0, name + 1, entry, name + 1) == 0)
            return true;
    return false;
}

run_result run_program(const run_request &request)
{
    char dir[] = "/tmp/hwkit-run-XXXXXX";
    check(mkdtemp(dir) != nullptr, "mkdtemp");
    std::string scenario = std::string(dir) + "/scenario";
    std::string trace = std::string(dir) + "/trace";
    std::string state = std::string(dir) + "/state";
    std::ofstream(scenario) << request.scenario;

    std::vector<std::string> env_strings;
    for (char **e = environ; *e; e++)
        if (strncmp(*e, "HWSIM_", 6) && !overridden(*e, request.env))
            env_strings.push_back(*e);
    env_strings.push_back("HWSIM_SCENARIO=" + scenario);
    env_strings.push_back("HWSIM_TRACE=" + trace);
    env_strings.push_back("HWSIM_STATE=" + state);
    for (const std::string &e : request.env)
        env_strings.push_back(e);
    std::vector<char *> envp, argv;
    for (std::string &e : env_strings)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = request.args;
    args.insert(args.begin(), request.program);
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int in[2], out[2], err[2];
    check(pipe2(in, O_CLOEXEC) == 0 && pipe2(out, O_CLOEXEC) == 0 && pipe2(err, O_CLOEXEC) == 0, "pipe");
    pid_t pid = fork();
    check(pid >= 0, "fork");
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        if (!request.cwd.empty() && chdir(request.cwd.c_str()) != 0)
            _exit(126);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);

    run_result r;
    size_t written = 0;
    int in_fd = in[1];
    if (request.input.empty()) {
        close(in_fd);
        in_fd = -1;
    }
    bool out_open = true, err_open = true, killed = false;
    long deadline = now_ms() + request.timeout_ms;
    signal(SIGPIPE, SIG_IGN);
    while (out_open || err_open) {
        pollfd fds[3] = {{out_open ? out[0] : -1, POLLIN, 0},
                         {err_open ? err[0] : -1, POLLIN, 0},
                         {in_fd, POLLOUT, 0}};
        long left = deadline - now_ms();
        if (left <= 0) {
            kill(pid, SIGKILL);
            r.timed_out = true;
            break;
        }
        if (poll(fds, 3, (int)left) < 0 && errno != EINTR)
            check(false, "poll");
        char buf[4096];
        for (int i = 0; i < 2; i++) {
            if (!(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n <= 0) {
                (i ? err_open : out_open) = false;
                continue;
            }
            (i ? r.err : r.out).append(buf, (size_t)n);
        }
        if (in_fd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            ssize_t n = write(in_fd, request.input.data() + written, request.input.size() - written);
            if (n > 0)
                written += (size_t)n;
            if (n <= 0 || written == request.input.size()) {
                close(in_fd);
                in_fd = -1;
            }
        }
        if (!killed && !request.kill_after_output.empty() &&
            r.out.find(request.kill_after_output) != std::string::npos) {
            kill(pid, SIGTERM);
            killed = true;
        }
    }
    if (in_fd >= 0)
        close(in_fd);
    close(out[0]);
    close(err[0]);
    int wstatus;
    check(waitpid(pid, &wstatus, 0) == pid, "waitpid");
    if (WIFEXITED(wstatus))
        r.status = WEXITSTATUS(wstatus);
    else if (WIFSIGNALED(wstatus))
        r.signal = WTERMSIG(wstatus);
    r.full_trace = read_file(trace);
    r.trace = without_port_lock(r.full_trace);
    r.state = read_file(state);
    unlink(scenario.c_str());
    unlink(trace.c_str());
    unlink(state.c_str());
    rmdir(dir);
    return r;
}

run_request as_nobody(run_request request)
{
    std::vector<std::string> args = {"--reuid=65534", "--regid=65534", "--clear-groups", "--inh-caps=-all",
                                      "--bounding-set=-all", "--", request.program};
    args.insert(args.end(), request.args.begin(), request.args.end());
    request.program = "/usr/bin/setpriv";
    request.args = std::move(args);
    return request;
}

std::string copies_for_nobody(const std::vector<std::string> &files)
{
    char dir[] = "/tmp/hwkit-nobody-XXXXXX";
    check(mkdtemp(dir) != nullptr, "mkdtemp");
    check(chmod(dir, 0755) == 0, "chmod");
    for (const std::string &f : files) {
        std::filesystem::path to = std::filesystem::path(dir) / std::filesystem::path(f).filename();
        std::filesystem::copy_file(f, to);
        std::filesystem::permissions(to,
                                     std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                         std::filesystem::perms::others_read,
                                     std::filesystem::perm_options::add);
    }
    return dir;
}

std::string host_lacks(const std::string &need)
{
    run_request r;
    r.program = HOST_NEEDS;
    r.args = {need};
    run_result res = run_program(r);
    if (res.status == 0)
        return "";
    return res.out.empty() ? "tests/host-needs.sh " + need + " failed: " + res.err : res.out;
}

static std::string filter_lines(const std::string &text, bool (*keep)(const std::string &, const std::string &),
                                const std::string &arg)
{
    std::stringstream in(text);
    std::string line, kept;
    while (std::getline(in, line))
        if (keep(line, arg))
            kept += line + "\n";
    return kept;
}

std::string without_pauses(const std::string &trace)
{
    return filter_lines(
        trace, [](const std::string &l, const std::string &) { return l.rfind("outb 0x0080 ", 0) != 0; }, "");
}

int hold_file_lock(const std::string &path)
{
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    struct flock whole = {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    if (fcntl(fd, F_SETLK, &whole) < 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string without_port_lock(const std::string &trace)
{
    return filter_lines(
        trace,
        [](const std::string &l, const std::string &) { return l.rfind("lock", 0) != 0 && l != "unlock"; }, "");
}

std::string trace_lines(const std::string &trace, const std::string &prefix)
{
    return filter_lines(
        trace, [](const std::string &l, const std::string &p) { return l.rfind(p, 0) == 0; }, prefix);
}
