// Runs the fuzz targets, with all their checks, on their seeds, on every past finding
// (fuzz/regressions/<target>/, one file each, named after the fault) and on the JSON corpus, in
// every build. A broken check aborts the test program.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_support.h"

namespace {

namespace fs = std::filesystem;

// Feeds every file of the target's seed and regression folders, and of the corpus, to target.
void Replay(const char* name, int (*target)(const uint8_t*, std::size_t)) {
    const fs::path fuzz(WEBJSON_FUZZ_DIR);
    std::vector<fs::path> files;
    for (const fs::path& dir : {fuzz / "seeds" / name, fuzz / "regressions" / name,
                                fs::path(WEBJSON_TESTSUITE_DIR) / "test_parsing"}) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(dir, error))
            if (entry.is_regular_file()) files.push_back(entry.path());
        ASSERT_FALSE(files.empty()) << "no seeds for " << name;
    }
    std::sort(files.begin(), files.end());
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
