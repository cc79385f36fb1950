// A small mutation fuzzer for the targets beside it, each of which defines the libFuzzer entry
// point LLVMFuzzerTestOneInput (so a target also links with libFuzzer where clang compiles the
// project). It runs every seed of the corpus folders given, then mutated seeds: byte flips,
// insertions, deletions, repeats, splices of two seeds and "interesting" numbers. A crash, a
// sanitizer report or a broken invariant (a target aborts) leaves the input in
// crash-<target>.bin in the working directory; a file given instead of a folder is run alone,
// which replays such an input.
//
//   fuzz_shortcut tests/fuzz/corpus/shortcut -runs=20000 -seed=1

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));
// Present in a sanitizer build only: a sanitizer report ends the process through it.
extern "C" void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));

namespace {

using Bytes = std::vector<uint8_t>;

// What is being run, for the crash handlers (which may only use async-signal-safe calls).
const uint8_t* g_current = nullptr;
size_t g_currentSize = 0;
char g_crashPath[256] = "crash.bin";

void saveCurrentInput() {
    const int fd = ::open(g_crashPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    size_t done = 0;
    while (done < g_currentSize) {
        const ssize_t n = ::write(fd, g_current + done, g_currentSize - done);
        if (n <= 0) break;
        done += size_t(n);
    }
    ::close(fd);
    const char note[] = "\nfuzz: the failing input is in ";
    (void)!::write(2, note, sizeof note - 1);
    (void)!::write(2, g_crashPath, std::strlen(g_crashPath));
    (void)!::write(2, "\n", 1);
}

void onFatalSignal(int sig) {
    saveCurrentInput();
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

Bytes readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void run(const Bytes& input) {
    g_current = input.data();
    g_currentSize = input.size();
    LLVMFuzzerTestOneInput(input.data(), input.size());
}

class Mutator {
public:
    Mutator(unsigned seed, const std::vector<Bytes>& pool) : m_random(seed), m_pool(pool) {}

    Bytes next() {
        Bytes input = m_pool[pick(m_pool.size())];
        const int steps = 1 + int(pick(6));
        for (int i = 0; i < steps; ++i) mutate(input);
        if (input.size() > kMaxSize) input.resize(kMaxSize);
        return input;
    }

private:
    static constexpr size_t kMaxSize = 1 << 16;

    size_t pick(size_t n) {
        return n ? std::uniform_int_distribution<size_t>(0, n - 1)(m_random) : 0;
    }

    void mutate(Bytes& b) {
        static const char* const kInteresting[] = {"0",
                                                   "-1",
                                                   "1e308",
                                                   "-0",
                                                   "4294967296",
                                                   "9223372036854775807",
                                                   "1.5",
                                                   "\"\"",
                                                   "null",
                                                   "true",
                                                   "[]",
                                                   "{}",
                                                   "\\u0000",
                                                   "NaN",
                                                   "18446744073709551616",
                                                   "\0",
                                                   "\xff\xff\xff\xff",
                                                   "/"};
        const size_t at = pick(b.size() + 1);
        switch (pick(7)) {
            case 0:  // flip a bit
                if (!b.empty()) b[pick(b.size())] ^= uint8_t(1u << pick(8));
                break;
            case 1:  // a random byte
                b.insert(b.begin() + at, uint8_t(pick(256)));
                break;
            case 2:  // delete a run
                if (!b.empty()) {
                    const size_t from = pick(b.size());
                    b.erase(b.begin() + from,
                            b.begin() + from + 1 + pick(std::min<size_t>(8, b.size() - from)));
                }
                break;
            case 3: {  // repeat a run
                if (b.empty()) break;
                const size_t from = pick(b.size());
                const Bytes run(b.begin() + from,
                                b.begin() + from + 1 + pick(std::min<size_t>(16, b.size() - from)));
                for (size_t n = 1 + pick(64); n > 0; --n)
                    b.insert(b.begin() + at, run.begin(), run.end());
                break;
            }
            case 4: {  // splice in part of another seed
                const Bytes& other = m_pool[pick(m_pool.size())];
                if (other.empty()) break;
                const size_t from = pick(other.size());
                b.insert(b.begin() + at, other.begin() + from,
                         other.begin() + from + 1 + pick(other.size() - from));
                break;
            }
            case 5: {  // an interesting token
                const char* token = kInteresting[pick(std::size(kInteresting))];
                const size_t len = std::max<size_t>(1, std::strlen(token));
                b.insert(b.begin() + at, token, token + len);
                break;
            }
            default:  // overwrite a byte with a structural character
                if (!b.empty()) b[pick(b.size())] = uint8_t("{}[]\":,\\0-."[pick(12)]);
                break;
        }
    }

    std::mt19937 m_random;
    const std::vector<Bytes>& m_pool;
};

}  // namespace

int main(int argc, char** argv) {
    long runs = 10000;
    unsigned seed = 1;
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("-runs=", 0) == 0)
            runs = std::atol(arg.c_str() + 6);
        else if (arg.rfind("-seed=", 0) == 0)
            seed = unsigned(std::atol(arg.c_str() + 6));
        else
            inputs.emplace_back(arg);
    }
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    std::snprintf(g_crashPath, sizeof g_crashPath, "crash-%s.bin",
                  std::filesystem::path(argv[0]).filename().c_str());
    for (const int sig : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) ::signal(sig, onFatalSignal);
    if (__sanitizer_set_death_callback) __sanitizer_set_death_callback(saveCurrentInput);

    std::vector<Bytes> pool;
    for (const auto& path : inputs) {
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::directory_iterator(path))
                if (entry.is_regular_file()) pool.push_back(readFile(entry.path()));
        } else {
            run(readFile(path));  // a replay
            runs = 0;
        }
    }
    for (const Bytes& input : pool) run(input);
    if (pool.empty()) pool.push_back({});
    Mutator mutator(seed, pool);
    for (long i = 0; i < runs; ++i) run(mutator.next());
    std::printf("fuzz: %zu seeds and %ld mutated inputs, seed %u: no fault\n", pool.size(), runs,
                seed);
    return 0;
}
