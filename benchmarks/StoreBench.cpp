// The Linux layer's store measured against what it cannot beat: the cost of
// loading and saving as the store grows, a whole toggle against copying the
// same file with fsync, its peak memory against the file's size, and a whole
// small run against a program that does nothing.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "StoreFile.h"

extern char** environ;

namespace {

std::string Folder() {
    static std::string folder = [] {
        char pattern[] = "/tmp/veskal-bench.XXXXXX";
        return std::string(mkdtemp(pattern));
    }();
    return folder;
}

// A store of `values` values, ten to a key, with the setting absent; made
// once per size.
std::string StoreFile(long values) {
    std::string path = Folder() + "/store-" + std::to_string(values) + ".reg";
    struct stat info;
    if (stat(path.c_str(), &info) == 0) return path;
    std::string text = "REGEDIT4\r\n\r\n";
    char line[96];
    for (long v = 0; v < values; ++v) {
        if (v % 10 == 0) {
            std::snprintf(line, sizeof line, "%s[HKEY_CURRENT_USER\\Software\\Bulk\\K%07ld]\r\n",
                          v ? "\r\n" : "", v / 10);
            text += line;
        }
        std::snprintf(line, sizeof line, "\"Value%ld\"=dword:%08lx\r\n", v % 10,
                      static_cast<unsigned long>(v) * 2654435761ul & 0xFFFFFFFFul);
        text += line;
    }
    text += "\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer]\r\n";
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

struct Outcome {
    double seconds;
    int status;
};

// Runs a program to its end, input from a file, output discarded.
Outcome Spawn(const std::vector<std::string>& argv, const std::string& input,
              const std::vector<std::string>& extraEnvironment = {}) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> envStrings = extraEnvironment;  // these win over ours
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        bool replaced = false;
        for (const auto& extra : extraEnvironment)
            replaced |= entry.compare(0, extra.find('=') + 1, extra, 0, extra.find('=') + 1) == 0;
        if (!replaced) envStrings.push_back(entry);
    }
    std::vector<char*> env, args;
    for (auto& e : envStrings) env.push_back(&e[0]);
    env.push_back(nullptr);
    std::vector<std::string> argStrings = argv;
    for (auto& a : argStrings) args.push_back(&a[0]);
    args.push_back(nullptr);
    auto start = std::chrono::steady_clock::now();
    pid_t pid;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), env.data()) != 0) std::abort();
    int status = 0;
    waitpid(pid, &status, 0);
    auto end = std::chrono::steady_clock::now();
    posix_spawn_file_actions_destroy(&actions);
    return {std::chrono::duration<double>(end - start).count(), status};
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    return text;
}

std::string Answers(const char* text) {
    std::string path = Folder() + "/answers-" + std::to_string(std::hash<std::string>()(text));
    std::ofstream(path) << text;
    return path;
}

// Reading the file and checking every line, as the first call of a run does.
void Load(benchmark::State& state) {
    std::string path = StoreFile(state.range(0));
    for (auto _ : state) {
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        std::string text(static_cast<std::size_t>(in.tellg()), '\0');
        in.seekg(0);
        in.read(&text[0], static_cast<std::streamsize>(text.size()));
        regstore::Store store;
        if (!store.Parse(std::move(text), nullptr)) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(store.Text().size());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(Load)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN)->UseRealTime();

// One change on disk: the edit, the new file, fsync and rename.
void Save(benchmark::State& state) {
    setenv("VESKAL_REGISTRY", StoreFile(state.range(0)).c_str(), 1);
    DWORD flip = 0;
    for (auto _ : state) {
        flip ^= 1;
        LONG rc = regstore::ChangeStore([&](regstore::Store& store, bool& changed) {
            store.SetValue("Software\\Bulk\\K0000000", "Value0", 4,
                           std::string(reinterpret_cast<const char*>(&flip), 4));
            changed = true;
            return LONG(0);
        });
        if (rc != 0) state.SkipWithError("save failed");
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(Save)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN)->UseRealTime();

// A whole toggle (Oui, then Non to the restart) on a 1M-value store, side by
// side with `dd conv=fsync` of the same file; and its peak memory.
void ToggleVersusFsyncedCopy(benchmark::State& state) {
    std::string store = StoreFile(1000000);
    struct stat info;
    stat(store.c_str(), &info);
    std::string answers = Answers("o\nn\n");
    std::string copy = Folder() + "/copy.reg";
    std::string peakFile = Folder() + "/peak";
    double toggle = 0, dd = 0;
    long peak = 0;
    for (auto _ : state) {
        Outcome run = Spawn({PEAK_BINARY, peakFile, VESKAL_BINARY}, answers,
                            {"VESKAL_REGISTRY=" + store});
        Outcome copied = Spawn({"/bin/dd", "if=" + store, "of=" + copy, "bs=1M", "conv=fsync"},
                               "/dev/null");
        if (run.status != 0 || copied.status != 0) state.SkipWithError("a run failed");
        toggle += run.seconds;
        dd += copied.seconds;
        peak = std::max(peak, std::atol(ReadAll(peakFile).c_str()));
    }
    double n = static_cast<double>(state.iterations());
    state.counters["toggle_ms"] = toggle / n * 1e3;
    state.counters["dd_fsync_ms"] = dd / n * 1e3;
    state.counters["toggle_per_dd"] = toggle / dd;
    state.counters["store_MiB"] = static_cast<double>(info.st_size) / (1 << 20);
    state.counters["peak_MiB"] = static_cast<double>(peak) / 1024;
    state.counters["peak_per_store"] = static_cast<double>(peak) * 1024 / static_cast<double>(info.st_size);
}
BENCHMARK(ToggleVersusFsyncedCopy)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

// A whole run on a small store (the question, answered Non) against a
// program that does nothing, linked the same way.
void SmallRunVersusTrivialProgram(benchmark::State& state) {
    std::string store = StoreFile(1000);
    std::string answers = Answers("n\n");
    double run = 0, trivial = 0;
    for (auto _ : state) {
        Outcome a = Spawn({VESKAL_BINARY}, answers, {"VESKAL_REGISTRY=" + store, "LC_ALL=C.UTF-8"});
        Outcome b = Spawn({TRIVIAL_BINARY}, answers);
        if (a.status != 0 || b.status != 0) state.SkipWithError("a run failed");
        run += a.seconds;
        trivial += b.seconds;
    }
    double n = static_cast<double>(state.iterations());
    state.counters["run_ms"] = run / n * 1e3;
    state.counters["trivial_ms"] = trivial / n * 1e3;
    state.counters["run_per_trivial"] = run / trivial;
}
BENCHMARK(SmallRunVersusTrivialProgram)->Iterations(200)->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
