// MD5 throughput against the OpenSSL command line on the same 200 MiB of
// data. Our digest runs in process; `openssl md5` reads a temporary copy of
// the data from the page cache, and its whole process is timed. The program
// ends with the ratio of the two and whether it reaches kTarget.
//
// Both sides are timed in CPU time (our thread; the child's user + system
// time), so that other work on a shared machine does not tilt the ratio.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/tools/CMD5Digest.h"
#include "bench/BenchMain.h"

extern char** environ;

namespace {

constexpr size_t kSize = size_t{200} << 20;
constexpr double kTarget = 0.8;

struct Measure {
    double bytes = 0;
    double seconds = 0;
    std::string hex;
    bool done = false;
    double Rate() const { return seconds > 0 ? bytes / seconds : 0; }
};

Measure g_ours;
Measure g_openssl;
char g_tempPath[64] = "";

const std::vector<unsigned char>& Data()
{
    static const std::vector<unsigned char> data = [] {
        // xorshift64*: fixed seed, so every run digests the same bytes.
        std::vector<unsigned char> bytes(kSize);
        uint64_t x = 0x9E3779B97F4A7C15ull;
        for (size_t i = 0; i < kSize; i += 8) {
            x ^= x >> 12;
            x ^= x << 25;
            x ^= x >> 27;
            uint64_t v = x * 0x2545F4914F6CDD1Dull;
            std::memcpy(&bytes[i], &v, 8);
        }
        return bytes;
    }();
    return data;
}

std::string Hex(const unsigned char* digest)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (int i = 0; i < 16; i++) {
        s += digits[digest[i] >> 4];
        s += digits[digest[i] & 15];
    }
    return s;
}

void RemoveTempFile()
{
    if (g_tempPath[0]) {
        unlink(g_tempPath);
        g_tempPath[0] = '\0';
    }
}

void OnSignal(int sig)
{
    if (g_tempPath[0])
        unlink(g_tempPath);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

bool WriteTempFile()
{
    if (g_tempPath[0])
        return true;
    const char* dir = std::getenv("TMPDIR");
    std::snprintf(g_tempPath, sizeof(g_tempPath), "%s/zandrel-md5-XXXXXX",
                  dir && *dir && std::strlen(dir) < 40 ? dir : "/tmp");
    int fd = mkstemp(g_tempPath);
    if (fd < 0) {
        g_tempPath[0] = '\0';
        return false;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    const auto& data = Data();
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    close(fd);
    if (done != data.size()) {
        RemoveTempFile();
        return false;
    }
    return true;
}

double ThreadSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double Seconds(const timeval& tv)
{
    return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) * 1e-6;
}

// Runs `openssl md5 -r file`; returns its digest text, empty on failure,
// and the CPU time of the process in `seconds`.
std::string RunOpenssl(double& seconds)
{
    seconds = 0;
    int out[2];
    if (pipe(out) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    char arg0[] = "openssl", arg1[] = "md5", arg2[] = "-r";
    char* argv[] = {arg0, arg1, arg2, g_tempPath, nullptr};
    pid_t pid;
    int rc = posix_spawnp(&pid, "openssl", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    if (rc == 0) {
        char buf[256];
        ssize_t n;
        while ((n = read(out[0], buf, sizeof(buf))) > 0)
            text.append(buf, static_cast<size_t>(n));
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        seconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            text.clear();
    }
    close(out[0]);
    return text.size() >= 32 ? text.substr(0, 32) : std::string();
}

void BM_MD5_Zandrel(benchmark::State& state)
{
    const auto& data = Data();
    unsigned char digest[17];
    double seconds = 0;
    for (auto _ : state) {
        double start = ThreadSeconds();
        CMD5Digest::MD5String(digest, data.data(), static_cast<long>(data.size()));
        benchmark::DoNotOptimize(digest);
        double s = ThreadSeconds() - start;
        state.SetIterationTime(s);
        seconds += s;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
    g_ours = {static_cast<double>(state.iterations() * data.size()), seconds, Hex(digest), true};
}

void BM_MD5_OpensslCommand(benchmark::State& state)
{
    const auto& data = Data();
    if (!WriteTempFile()) {
        state.SkipWithError("cannot write the temporary file");
        return;
    }
    std::string hex;
    double seconds = 0;
    for (auto _ : state) {
        double s = 0;
        hex = RunOpenssl(s);
        if (hex.empty()) {
            state.SkipWithError("openssl md5 failed");
            break;
        }
        state.SetIterationTime(s);
        seconds += s;
    }
    if (hex.empty())
        return;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
    g_openssl = {static_cast<double>(state.iterations() * data.size()), seconds, hex, true};
}

BENCHMARK(BM_MD5_Zandrel)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_MD5_OpensslCommand)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv)
{
    if (!bench::RunBenchmarks(&argc, argv))
        return 1;
    RemoveTempFile();

    if (!g_ours.done || !g_openssl.done) {
        std::printf("MD5 ratio: not computed (both benchmarks must run)\n");
        return 0;
    }
    double ratio = g_ours.Rate() / g_openssl.Rate();
    // MiB/s, the unit of the bytes_per_second counters above.
    std::printf("MD5 zandrel: %.1f MiB/s, openssl md5: %.1f MiB/s\n", g_ours.Rate() / 1048576.0,
                g_openssl.Rate() / 1048576.0);
    std::printf("MD5 digests %s (%s)\n", g_ours.hex == g_openssl.hex ? "agree" : "DIFFER",
                g_ours.hex.c_str());
    std::printf("MD5 ratio zandrel/openssl: %.3f (target %.2f): %s\n", ratio, kTarget,
                ratio >= kTarget ? "met" : "NOT met");
    return g_ours.hex == g_openssl.hex ? 0 : 1;
}
