// The robot as its own process: killed with SIGKILL while 8 clients upload, every confirmation it
// gave is there after the restart; and a bounded load (500 uploads, 8 clients) with its answer times.
#include <gtest/gtest.h>
#include <httplib.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <regex>
#include <set>
#include <thread>

#include "robot_logs.h"
#include "tools/robot/store.h"

namespace fs = std::filesystem;

extern char** environ;

namespace {

// stats-robot started on a free port; its first line names the port.
class RobotProcess {
  public:
    explicit RobotProcess(const fs::path& data) {
        int out[2];
        if (pipe(out) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        const std::string dataArg = data.string();
        const char* argv[] = {STATS_ROBOT, "--data", dataArg.c_str(), "--listen", "127.0.0.1:0", "--cty", "none",
                              "--lib", STATS_LIBRARY, "--jobs", "2", "--uploads-per-minute", "100000", nullptr};
        if (posix_spawn(&pid_, STATS_ROBOT, &actions, nullptr, const_cast<char**>(argv), environ) != 0)
            throw std::runtime_error("spawn");
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        FILE* lines = fdopen(out[0], "r");
        char line[256] = {};
        if (!fgets(line, sizeof line, lines)) throw std::runtime_error("no answer from stats-robot");
        std::cmatch m;
        if (!std::regex_search(line, m, std::regex(":([0-9]+)/"))) throw std::runtime_error(line);
        port_ = std::stoi(m[1].str());
        fclose(lines);
    }
    ~RobotProcess() { stop(SIGTERM); }
    void stop(int signal) {
        if (pid_ <= 0) return;
        kill(pid_, signal);
        waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }
    int port() const { return port_; }
    pid_t pid() const { return pid_; }
    // The most memory the server process has held, in KiB.
    long peakKiB() const {
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
        return 0;
    }

  private:
    pid_t pid_ = 0;
    int port_ = 0;
};

std::string confirmationOf(const std::string& body) {
    std::smatch m;
    return std::regex_search(body, m, std::regex("\"confirmation\":\"([0-9A-Z]+)\"")) ? m[1].str() : std::string();
}

fs::path freshFolder(const std::string& name) {
    const fs::path folder = fs::temp_directory_path() / ("robot-process-" + name + "-" + std::to_string(getpid()));
    fs::remove_all(folder);
    return folder;
}

// The memory a process holds now, in KiB.
long rssKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

// A connection to `port` from the loopback address `from`.
int connectFrom(const std::string& from, int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    inet_pton(AF_INET, from.c_str(), &address.sin_addr);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) throw std::runtime_error("connect");
    return fd;
}

// Sends `head`, then `piece` `count` times, from `from`, until the robot answers; the answer's
// status, 0 when none came within 10 s.
int probe(int port, const std::string& from, std::string pending, const std::string& piece, int count) {
    const int fd = connectFrom(from, port);
    std::string answer;
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
         std::chrono::steady_clock::now() < end && answer.find('\n') == std::string::npos;) {
        if (pending.empty() && count-- > 0) pending = piece;
        pollfd p{fd, short(POLLIN | (pending.empty() ? 0 : POLLOUT)), 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buffer[512];
        const ssize_t n = p.revents & POLLIN ? read(fd, buffer, sizeof buffer)
                                             : send(fd, pending.data(), pending.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n <= 0 && p.revents & POLLIN) break;
        if (p.revents & POLLIN) answer.append(buffer, std::size_t(n));
        else if (n < 0) pending.clear(), count = 0;  // refused: the answer follows
        else pending.erase(0, std::size_t(n));
    }
    close(fd);
    return answer.size() > 12 ? std::stoi(answer.substr(9, 3)) : 0;
}

std::string chunk(const std::string& data) {
    char size[20] = {};
    std::to_chars(size, size + sizeof size, data.size(), 16);
    return size + ("\r\n" + data + "\r\n");
}

}  // namespace

// --help on stdout with status 0, made from the options' declarations: every option with its value.
TEST(RobotProcess, HelpNamesEveryOption) {
    std::FILE* pipe = popen("'" STATS_ROBOT "' --help", "r");
    ASSERT_NE(pipe, nullptr);
    std::string help;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) help.append(buffer, n);
    const int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(help.starts_with("Usage: stats-robot --data DIR [options]\n")) << help;
    for (const char* entry : {"  --data DIR ", "  --listen HOST:PORT ", "  --start YYYY-MM-DD ", "  --end YYYY-MM-DD ",
                              "  --deadline \"YYYY-MM-DD HH:MM\"", "  --closed ", "  --cty FILE ", "  --lib FILE ",
                              "  --jobs N ", "  --uploads-per-minute N ", "  --job-time-limit SECONDS ",
                              "  --run-time-limit SECONDS ", "  --backup FILE ", "  -h, --help "})
        EXPECT_NE(help.find(entry), std::string::npos) << entry << "\n" << help;
    EXPECT_NE(help.find("127.0.0.1:8080)"), std::string::npos) << help;  // the captured default
}

TEST(RobotProcess, KilledWhileUploadingKeepsEveryConfirmationItGave) {
    const fs::path data = freshFolder("kill");
    std::set<std::string> confirmed;
    std::mutex mutex;
    {
        RobotProcess robot(data);
        std::atomic<bool> killed{false};
        std::vector<std::thread> clients;
        for (int c = 0; c < 8; ++c)
            clients.emplace_back([&, c] {
                httplib::Client client("127.0.0.1", robot.port());
                for (int i = 0; !killed; ++i) {
                    const auto res = client.Post("/api/logs", robot_test::stationLog("LU" + std::to_string(c) + "K" +
                                                                                       std::string(1, char('A' + i % 26)), 10 + i % 20),
                                                 "text/plain");
                    if (!res || (res->status != 201 && res->status != 422)) continue;
                    std::lock_guard lock(mutex);
                    confirmed.insert(confirmationOf(res->body));
                }
            });
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        robot.stop(SIGKILL);
        killed = true;
        for (std::thread& t : clients) t.join();
    }
    ASSERT_GT(confirmed.size(), 8u);
    RobotProcess again(data);
    std::string token;
    std::ifstream(data / "committee-token") >> token;
    httplib::Client client("127.0.0.1", again.port());
    const auto uploads = client.Get("/api/uploads", {{"Authorization", "Bearer " + token}});
    ASSERT_TRUE(uploads);
    for (const std::string& code : confirmed) EXPECT_NE(uploads->body.find(code), std::string::npos) << code;
    robot::Store store;
    std::string error;
    ASSERT_TRUE(store.open(data, error)) << error;
    EXPECT_EQ(store.integrityCheck(), "ok");
}

namespace {

// What a robot serves of its published run, to everyone and to the committee, by address.
std::map<std::string, std::string> servedResults(const fs::path& data, int port) {
    std::string token;
    std::ifstream(data / "committee-token") >> token;
    httplib::Client client("127.0.0.1", port);
    std::map<std::string, std::string> served;
    for (const char* address : {"/results/", "/results/CE1AA.ubn", "/api/crosscheck/1/results.csv",
                                "/api/crosscheck/1/logs.zip", "/api/crosscheck/1/reports.zip"}) {
        const auto res = client.Get(address, {{"Authorization", "Bearer " + token}});
        served[address] = res && res->status == 200 ? res->body : "no answer";
    }
    return served;
}

}  // namespace

TEST(RobotProcess, ABackupStartedAsANewRobotServesThePublishedRunByteForByte) {
    const fs::path data = freshFolder("published"), restored = freshFolder("restored");
    RobotProcess robot(data);
    std::string token;
    std::ifstream(data / "committee-token") >> token;
    const httplib::Headers committee = {{"Authorization", "Bearer " + token}};
    httplib::Client client("127.0.0.1", robot.port());
    for (const auto& [call, log] : robot_test::contestLogs({"CE1AA", "LU2BB", "PY3CC"}))
        ASSERT_EQ(client.Post("/api/logs", log, "text/plain")->status, 201);
    ASSERT_EQ(client.Post("/api/crosscheck", committee, "", "text/plain")->status, 202);
    for (int i = 0; i < 600 && client.Get("/api/crosscheck/1", committee)->body.find("\"done\"") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(client.Post("/api/crosscheck/1/publish?reports=1", committee, "", "text/plain")->status, 200);
    const std::map<std::string, std::string> served = servedResults(data, robot.port());
    for (const auto& [address, bytes] : served) ASSERT_NE(bytes, "no answer") << address;

    fs::create_directories(restored);
    const std::string copy = (restored / "robot.db").string(), dataArg = data.string();
    const char* argv[] = {STATS_ROBOT, "--data", dataArg.c_str(), "--backup", copy.c_str(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, STATS_ROBOT, nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    robot.stop(SIGTERM);
    RobotProcess fromBackup(restored);
    EXPECT_EQ(servedResults(restored, fromBackup.port()), served);
}

TEST(RobotProcess, FiveHundredUploadsFromEightClients) {
    const fs::path data = freshFolder("load");
    RobotProcess robot(data);
    std::vector<double> millis;
    std::mutex mutex;
    std::atomic<int> next{0}, failures{0};
    std::vector<std::thread> clients;
    const auto started = std::chrono::steady_clock::now();
    for (int c = 0; c < 8; ++c)
        clients.emplace_back([&] {
            httplib::Client client("127.0.0.1", robot.port());
            client.set_read_timeout(60, 0);
            for (int i = next++; i < 500; i = next++) {
                const std::string log = robot_test::stationLog("CE" + std::to_string(i % 10) + "L" +
                                                               std::string(1, char('A' + i / 10 % 26)) +
                                                               std::string(1, char('A' + i % 26)), 20 + i % 80);
                const auto t0 = std::chrono::steady_clock::now();
                const auto res = client.Post("/api/logs", log, "text/plain");
                const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
                if (!res || res->status != 201) ++failures;
                std::lock_guard lock(mutex);
                millis.push_back(ms);
            }
        });
    for (std::thread& t : clients) t.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(failures, 0);
    ASSERT_EQ(millis.size(), 500u);
    std::sort(millis.begin(), millis.end());
    std::printf("robot load: 500 uploads from 8 clients in %.1f s: p50 %.1f ms, p99 %.1f ms, server peak %ld KiB\n",
                seconds, millis[250], millis[495], robot.peakKiB());
}

// Requests far past the bounds, each refused as it arrives: the robot's memory stays where it was.
TEST(RobotProcess, OversizedRequestsAreRefusedWithoutGrowingTheRobot) {
    RobotProcess robot(freshFolder("oversized"));
    const std::string chunked = "Host: x\r\nTransfer-Encoding: chunked\r\n";
    const std::string part = "--b\r\nContent-Disposition: form-data; name=\"" + std::string(4000, 'n') + "\"\r\n\r\nv\r\n";
    const struct {
        const char* what;
        std::string head, piece;
        int count, status;
    } probes[] = {
        {"40,000 headers of 8 KB", "GET / HTTP/1.1\r\nHost: x\r\n", "X-Probe: " + std::string(8000, 'h') + "\r\n", 40000, 431},
        {"200 MiB chunked", "POST /api/logs HTTP/1.1\r\n" + chunked + "\r\n", chunk(std::string(1 << 20, 'x')), 200, 413},
        {"30,000 parts with huge names", "POST /committee/signin HTTP/1.1\r\n" + chunked +
             "Content-Type: multipart/form-data; boundary=b\r\n\r\n", chunk(part), 30000, 413},
    };
    EXPECT_EQ(probe(robot.port(), "127.0.0.1", "GET / HTTP/1.1\r\nHost: x\r\n\r\n", "", 0), 200);
    const long before = rssKiB(robot.pid());
    for (const auto& p : probes) {
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(probe(robot.port(), "127.0.0.1", p.head, p.piece, p.count), p.status) << p.what;
        std::printf("%s: refused in %.0f ms, the robot at %ld KiB\n", p.what,
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count(),
                    rssKiB(robot.pid()));
    }
    // Measured once the refused connections have ended: each lingers 2 s after its answer, reading
    // and dropping what its client still sends, and the robot may hold a refused body's size till then.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_LT(rssKiB(robot.pid()) - before, 4096) << "from " << before << " KiB";
}

// More clients trickling their heads and bodies than the server has threads, 16 from each of five
// addresses (the cap: a 17th is refused); another client is answered meanwhile within 2 s, and a
// burst of 200 after them.
TEST(RobotProcess, SlowClientsHoldNoServerThread) {
    RobotProcess robot(freshFolder("slow"));
    std::vector<int> slow;
    for (int i = 0; i < 80; ++i) {
        slow.push_back(connectFrom("127.0.0." + std::to_string(10 + i / 16), robot.port()));
        const std::string start = i % 2 ? "POST /api/logs HTTP/1.1\r\nContent-Length: 100000\r\n\r\nSTART"
                                        : "GET / HTTP/1.1\r\nHost: x\r\nX-Slow: ";
        ASSERT_EQ(send(slow.back(), start.data(), start.size(), MSG_NOSIGNAL), ssize_t(start.size()));
    }
    std::atomic<bool> done{false};
    std::thread trickle([&] {
        for (; !done; std::this_thread::sleep_for(std::chrono::milliseconds(100)))
            for (const int fd : slow) send(fd, "x", 1, MSG_NOSIGNAL);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(probe(robot.port(), "127.0.0.10", "GET / HTTP/1.1\r\nHost: x\r\n\r\n", "", 0), 429);
    httplib::Client client("127.0.0.1", robot.port());
    for (int i = 0; i < 5; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        const auto res = client.Get("/logs");
        EXPECT_TRUE(res && res->status == 200);
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
    }
    done = true;
    trickle.join();
    for (const int fd : slow) close(fd);
    // And 200 requests at once, each handed over as soon as it is whole.
    std::vector<std::thread> burst;
    std::atomic<int> served{0};
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 200; ++i)
        burst.emplace_back([&, i] {
            served += probe(robot.port(), "127.0.1." + std::to_string(i / 16), "GET /logs HTTP/1.1\r\n\r\n", "", 0) == 200;
        });
    for (std::thread& t : burst) t.join();
    EXPECT_EQ(served, 200);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
}
