// Replays fuzz inputs without libFuzzer, so that ordinary (sanitized) test builds run every
// target over its seed corpus and its saved crash cases. Arguments are files or folders;
// a folder that does not exist is skipped.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

static void Replay(const fs::path& file, int& count)
{
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    ++count;
}

int main(int argc, char** argv)
{
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        fs::path path(argv[i]);
        if (fs::is_regular_file(path, ec)) {
            Replay(path, count);
        } else if (fs::is_directory(path, ec)) {
            for (const auto& entry : fs::recursive_directory_iterator(path, ec))
                if (entry.is_regular_file())
                    Replay(entry.path(), count);
        }
    }
    std::printf("replayed %d inputs\n", count);
    return 0;
}
