// Capturing a page with 100 resources from a server on 127.0.0.1 (the
// tests' fixture server, each reply on a connection of its own) against
// `wget --page-requisites --convert-links` on the same page: 60 images,
// 10 images with a 2-candidate srcset, 4 stylesheets with 4 url() images
// each. Our side is the capture's fetch step (page and resources fetched,
// the page decoded and rewritten, everything written to a folder); the
// commit that follows only renames and saves the collection.
//
// Both sides mostly wait for the server, so the time is wall-clock time,
// taken in pairs that alternate which side goes first; the ratio is the
// median of the pairs' ratios. After the pairs, the resources one side got
// and the other did not are listed by file name.

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "app/capture/CCapture.h"
#include "bench/BenchMain.h"
#include "bench/BenchPairs.h"
#include "base/tools/CUnicodeTool.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using bench::Pairs;

constexpr double kTarget = 1.0;
constexpr size_t kImageBytes = 8192;

Pairs g_pairs;

void Write(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// The page, its resources, and the server that serves them.
struct Site {
    fs::path root;
    pid_t server = 0;
    std::string url;
    int resources = 0;

    Site()
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zandrel-bench-capture-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            return;
        root = pattern;
        const fs::path site = root / "site";
        std::string image(kImageBytes, '\0');
        for (size_t i = 0; i < image.size(); ++i)
            image[i] = static_cast<char>((i * 7919) % 251);
        auto addImage = [&](const std::string& name) {
            Write(site / name, image);
            ++resources;
        };
        std::string page = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Bench page</title>\n";
        for (int c = 0; c < 4; ++c) {
            std::string css;
            for (int k = 0; k < 4; ++k) {
                std::string name = "c" + std::to_string(c) + "_" + std::to_string(k) + ".png";
                css += ".r" + std::to_string(c * 4 + k) + "{background:url(bg/" + name + ")}\n";
                addImage("css/bg/" + name);
            }
            Write(site / "css" / ("c" + std::to_string(c) + ".css"), css);
            ++resources;
            page += "<link rel=\"stylesheet\" href=\"css/c" + std::to_string(c) + ".css\">\n";
        }
        page += "</head><body>\n";
        for (int i = 0; i < 60; ++i) {
            addImage("img/i" + std::to_string(i) + ".png");
            page += "<p class=\"r" + std::to_string(i % 16) + "\"><img src=\"img/i" + std::to_string(i) +
                    ".png\" alt=\"\"></p>\n";
        }
        for (int i = 0; i < 10; ++i) {
            std::string a = "s/a" + std::to_string(i) + ".png", b = "s/b" + std::to_string(i) + ".png";
            addImage(a);
            addImage(b);
            page += "<img src=\"" + a + "\" srcset=\"" + a + " 1x, " + b + " 2x\" alt=\"\">\n";
        }
        Write(site / "page.htm", page + "</body></html>\n");

        int fds[2];
        if (pipe(fds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::string script = ZANDREL_FIXTURES "/http_server.py", folder = site.string();
        char* argv[] = {const_cast<char*>("python3"), script.data(), folder.data(), nullptr};
        if (posix_spawnp(&server, "python3", &actions, nullptr, argv, environ) != 0)
            server = 0;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        char line[32] = {};
        FILE* out = fdopen(fds[0], "r");
        if (out && std::fgets(line, sizeof line, out) && std::atoi(line) > 0)
            url = "http://127.0.0.1:" + std::to_string(std::atoi(line)) + "/site/page.htm";
        if (out)
            std::fclose(out);
    }
    ~Site()
    {
        if (server > 0) {
            kill(server, SIGTERM);
            waitpid(server, nullptr, 0);
        }
        if (!root.empty())
            fs::remove_all(root);
    }
};

Site& Data()
{
    static Site site;
    return site;
}

// The files a run left, by name, below `folder`.
std::set<std::string> Names(const fs::path& folder)
{
    std::set<std::string> names;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (it->is_regular_file())
            names.insert(it->path().filename().string());
    return names;
}

// Our capture into a new folder: the files of its assets folder, empty
// when it failed.
std::set<std::string> Ours(const Site& site, bool keepNames)
{
    CCapture::CPlan plan;
    plan.url = site.url;
    std::string staging = (site.root / "ours-XXXXXX").string();
    if (!::mkdtemp(staging.data()))
        return {};
    plan.staging = CUnicodeTool::FromUtf8(staging + "/");
    CCapture::CResult result = CCapture::Fetch(plan, {}, nullptr, {});
    std::set<std::string> names;
    if (result.state == CCapture::DONE && keepNames)
        names = Names(fs::path(staging) / CCapture::kStagedAssets);
    else if (result.state == CCapture::DONE)
        names.insert("done");
    CCapture::Discard(plan);
    return names;
}

std::set<std::string> Wget(const Site& site, bool keepNames)
{
    std::string folder = (site.root / "wget-XXXXXX").string();
    if (!::mkdtemp(folder.data()))
        return {};
    std::string command = "wget --page-requisites --convert-links -q -P '" + folder + "' '" + site.url + "'";
    int status = std::system(command.c_str());
    std::set<std::string> names;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        names = keepNames ? Names(folder) : std::set<std::string>{"done"};
    fs::remove_all(folder);
    return names;
}

void BM_Capture(benchmark::State& state)
{
    Site& site = Data();
    if (site.url.empty() || Ours(site, false).empty() || Wget(site, false).empty()) {
        state.SkipWithError("the server, our capture or wget failed");
        return;
    }
    g_pairs = Pairs();
    for (auto _ : state) {
        double seconds = g_pairs.RunWall([&] { return !Ours(site, false).empty(); },
                                         [&] { return !Wget(site, false).empty(); });
        if (seconds < 0) {
            state.SkipWithError("a capture failed");
            g_pairs = Pairs();
            return;
        }
        state.SetIterationTime(seconds);
    }
}

BENCHMARK(BM_Capture)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(21);

}  // namespace

int main(int argc, char** argv)
{
    // Requests stay on this machine.
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        unsetenv(name);
    if (!bench::RunBenchmarks(&argc, argv))
        return 1;
    if (g_pairs.ours.empty())
        return 0;  // filtered out or failed
    const Site& site = Data();
    std::printf("page with %d resources at %s\n", site.resources, site.url.c_str());
    std::printf("capture zandrel: %.1f ms, wget: %.1f ms (median wall time of %zu pairs)\n",
                Pairs::Median(g_pairs.ours) * 1e3, Pairs::Median(g_pairs.theirs) * 1e3, g_pairs.ours.size());
    const double ratio = g_pairs.Ratio();
    std::printf("capture ratio zandrel/wget: %.3f (target <= %.2f): %s\n", ratio, kTarget,
                ratio <= kTarget ? "met" : "NOT met");

    // What each side got that the other did not (the page itself aside).
    std::set<std::string> ours = Ours(site, true), theirs = Wget(site, true);
    theirs.erase("page.htm");
    theirs.erase("robots.txt");
    std::printf("files: zandrel %zu, wget %zu (without the page and robots.txt)\n", ours.size(), theirs.size());
    for (const std::string& name : theirs)
        if (!ours.count(name))
            std::printf("  only wget got: %s\n", name.c_str());
    for (const std::string& name : ours)
        if (!theirs.count(name))
            std::printf("  only zandrel got: %s\n", name.c_str());
    return 0;
}
