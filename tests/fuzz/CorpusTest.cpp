// The fuzz targets in the Windows build: each runs over its committed seed corpus (copied next to the test
// program as fuzzcorpus/<target>/), and a broken invariant fails the test with the input's name.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz/FuzzTarget.h"

namespace {

std::map<std::string, FuzzEntry>& Targets() {
    static std::map<std::string, FuzzEntry> targets;
    return targets;
}

std::vector<std::string> CorpusFiles(const std::string& target) {
    std::vector<std::string> files;
    std::string folder = "fuzzcorpus\\" + target + "\\";
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return files;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.push_back(folder + found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return files;
}

} // namespace

bool RegisterFuzzTarget(const char* name, FuzzEntry entry) {
    Targets()[name] = entry;
    return true;
}

namespace {

std::vector<std::string> TargetNames() {
    std::vector<std::string> names;
    for (const auto& target : Targets())
        names.push_back(target.first);
    return names;
}

class FuzzCorpus : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        fuzzCheckHook = [](const std::string& message) { throw std::runtime_error(message); };
    }
    void TearDown() override { fuzzCheckHook = nullptr; }
};

} // namespace

TEST_P(FuzzCorpus, SeedsKeepTheInvariants) {
    FuzzEntry entry = Targets().at(GetParam());
    std::vector<std::string> files = CorpusFiles(GetParam());
    EXPECT_GE(files.size(), 5u) << "seed corpus missing";
    for (const std::string& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::vector<uint8_t> input((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        try {
            entry(input.data(), input.size());
        } catch (const std::runtime_error& broken) {
            ADD_FAILURE() << file << ": " << broken.what();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpus, ::testing::ValuesIn(TargetNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });
