// Runs a fuzz target's entry point over kept inputs (files, or every file in folders), so the
// cases a fuzzer once found stay tested in every build, with or without a fuzzing compiler.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size);

int main (int argc, char** argv)
{
    int count = 0;
    auto replay = [&count] (const std::filesystem::path& p) {
        std::ifstream in (p, std::ios::binary);
        const std::vector<char> bytes ((std::istreambuf_iterator<char> (in)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput (reinterpret_cast<const std::uint8_t*> (bytes.data()), bytes.size());
        ++count;
    };
    for (int i = 1; i < argc; ++i)
    {
        const std::filesystem::path p (argv[i]);
        if (! std::filesystem::exists (p))
        {
            std::fprintf (stderr, "no such input: %s\n", argv[i]);
            return 1;
        }
        if (std::filesystem::is_directory (p))
        {
            for (const auto& e : std::filesystem::directory_iterator (p))
                if (e.is_regular_file())
                    replay (e.path());
        }
        else
            replay (p);
    }
    std::printf ("replayed %d inputs\n", count);
    return 0;
}
