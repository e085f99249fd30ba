// Runs inputs through a fuzz target's entry point without libFuzzer: every
// file named on the command line and every regular file of every directory
// named there, in name order. Fails when nothing could be run, so a corpus
// that went missing does not pass silently.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {
namespace fs = std::filesystem;

std::vector<fs::path> inputsOf(const fs::path& argument)
{
    std::vector<fs::path> inputs;
    std::error_code error;
    if (fs::is_directory(argument, error)) {
        for (const fs::directory_entry& entry : fs::directory_iterator(argument, error))
            if (entry.is_regular_file(error))
                inputs.push_back(entry.path());
        std::sort(inputs.begin(), inputs.end());
    } else if (fs::is_regular_file(argument, error)) {
        inputs.push_back(argument);
    }
    return inputs;
}

bool runFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file),
                                  std::istreambuf_iterator<char>()};
    // An empty input is passed as libFuzzer passes it: a size of 0.
    static const std::uint8_t none = 0;
    const auto* data =
        bytes.empty() ? &none : reinterpret_cast<const std::uint8_t*>(bytes.data());
    LLVMFuzzerTestOneInput(data, bytes.size());
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    int run = 0;
    int unreadable = 0;
    for (int i = 1; i < argc; ++i) {
        const std::vector<fs::path> inputs = inputsOf(argv[i]);
        if (inputs.empty()) {
            std::fprintf(stderr, "%s: no inputs\n", argv[i]);
            ++unreadable;
        }
        for (const fs::path& path : inputs) {
            if (runFile(path)) {
                ++run;
            } else {
                std::fprintf(stderr, "%s: cannot be read\n", path.c_str());
                ++unreadable;
            }
        }
    }
    std::printf("%d inputs run\n", run);
    return run > 0 && unreadable == 0 ? 0 : 1;
}
