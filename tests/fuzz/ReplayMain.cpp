// Runs every file of the given corpus folders once through the fuzz target, in name order.
// Linked instead of libFuzzer into the normal builds, so every input that once failed
// is tried again by each test run.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace {

std::vector<std::uint8_t> contentOf(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        for (const auto &entry : std::filesystem::directory_iterator(argv[i])) {
            if (entry.is_regular_file())
                files.push_back(entry.path());
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "replay: no inputs found\n");
        return 1;
    }
    std::sort(files.begin(), files.end());
    for (const auto &file : files) {
        const std::vector<std::uint8_t> data = contentOf(file);
        std::fprintf(stderr, "replay: %s\n", file.filename().c_str());
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    std::fprintf(stderr, "replay: %zu inputs passed\n", files.size());
    return 0;
}
