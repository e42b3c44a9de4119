// Runs every file of the given corpus folders once through a fuzz target, so the test build
// (any compiler, the test sanitizers) keeps each found input and seed as a regression case.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
// Optional, as for libFuzzer: a target that needs set-up (or plays another role when started
// again by what it tests) defines it.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv)
{
    if (LLVMFuzzerInitialize != nullptr)
        LLVMFuzzerInitialize(&argc, &argv);
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[i], error)) {
            if (!entry.is_regular_file())
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
            ++files;
        }
        if (error) {
            std::fprintf(stderr, "cannot read the corpus %s: %s\n", argv[i], error.message().c_str());
            return 1;
        }
    }
    std::printf("%d corpus file(s) replayed\n", files);
    return files > 0 ? 0 : 1;
}
