// Runs the fuzz targets, with all their checks, on their seeds, on every past finding
// (fuzz/regressions/<target>/, one file each, named after the fault) and on the JSON corpus, in
// every build. A broken check aborts the test program.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "fuzz_support.h"

TEST(FuzzReplay, EveryTargetOnItsSeedsFindingsAndTheCorpus) {
    namespace fs = std::filesystem;
    const std::pair<const char*, int (*)(const uint8_t*, std::size_t)> targets[] = {
        {"document", FuzzDocument}, {"tokens", FuzzTokens}, {"scene", FuzzSceneRequest}};
    const fs::path corpus = fs::path(WEBJSON_TESTSUITE_DIR) / "test_parsing";
    ASSERT_TRUE(fs::is_directory(corpus)) << "no JSON test corpus at " << corpus;
    for (const auto& target : targets) {
        std::vector<fs::path> files;
        for (const fs::path& dir :
             {fs::path(WEBJSON_FUZZ_DIR) / "seeds" / target.first,
              fs::path(WEBJSON_FUZZ_DIR) / "regressions" / target.first, corpus}) {
            std::error_code error;
            for (const auto& entry : fs::directory_iterator(dir, error))
                files.push_back(entry.path());
            ASSERT_FALSE(files.empty()) << "no seeds for " << target.first;
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& path : files) {
            std::ifstream in(path, std::ios::binary);
            const std::string bytes{std::istreambuf_iterator<char>(in), {}};
            EXPECT_EQ(target.second(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
                      0)
                << path;
        }
    }
}
