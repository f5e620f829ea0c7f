#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "sound/cue_files.h"

namespace quillet {
namespace {

TEST(CueFilePathTest, JoinsDirectoryCueAndExtensionWithOneSlash) {
    EXPECT_EQ(cueFilePath("/opt/quillet", "add2"), "/opt/quillet/add2.wav");
}

TEST(CueFilePathTest, AlwaysInsertsTheSlashEvenAfterTheRootDirectory) {
    EXPECT_EQ(cueFilePath("/", "click"), "//click.wav");
}

TEST(CueFilePathTest, KeepsNonAsciiDirectoryBytesUnchanged) {
    const std::string directory = "/home/\xE3\x82\xB1\xE3\x83\xBC\xE3\x82\xAD";  // ケーキ in UTF-8
    EXPECT_EQ(cueFilePath(directory, "claps"), directory + "/claps.wav");
}

TEST(ProgramDirectoryTest, IsTheResolvedDirectoryOfTheRunningExecutable) {
    EXPECT_EQ(programDirectory(),
              std::filesystem::canonical("/proc/self/exe").parent_path().string());
}

}  // namespace
}  // namespace quillet
