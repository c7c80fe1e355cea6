// Runs the fuzz targets, with all their checks, on their seeds, on every input a fuzzer once
// found fault with (fuzz/regressions/<target>/, one file per finding, named after the fault)
// and on the public JSON corpus, so that each finding stays a test in every build: host,
// sanitizers, 32-bit ARM and valgrind. A broken check aborts the test program.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_support.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> FilesIn(const fs::path& dir) {
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Feeds every file of the target's seed and regression folders, and of the corpus, to target.
void Replay(const char* name, int (*target)(const uint8_t*, std::size_t)) {
    std::vector<fs::path> files;
    for (const char* kind : {"seeds", "regressions"}) {
        const std::vector<fs::path> some = FilesIn(fs::path(WEBJSON_FUZZ_DIR) / kind / name);
        files.insert(files.end(), some.begin(), some.end());
    }
    ASSERT_FALSE(files.empty()) << "no seeds for " << name;
#ifdef WEBJSON_TESTSUITE_DIR
    const std::vector<fs::path> corpus = FilesIn(fs::path(WEBJSON_TESTSUITE_DIR) / "test_parsing");
    files.insert(files.end(), corpus.begin(), corpus.end());
#endif
    for (const fs::path& path : files) {
        SCOPED_TRACE(path.string());
        std::ifstream in(path, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>()};
        EXPECT_EQ(target(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
    }
}

}  // namespace

TEST(FuzzReplay, Documents) {
    Replay("document", FuzzDocument);
}
TEST(FuzzReplay, Tokens) {
    Replay("tokens", FuzzTokens);
}
TEST(FuzzReplay, ScenePosts) {
    Replay("scene", FuzzSceneRequest);
}
