#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sound/sdl_cue_player.h"
#include "sound_test_support.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::capturedOutput;
using testing::makeWave;
using testing::TempFolder;
using testing::writeBytes;
using testing::writeCue;

// Offset of the data chunk's length in the files makeWave writes.
constexpr size_t DataLengthOffset = 40;
constexpr size_t HeaderBytes = 44;

void setDataLength(std::vector<uint8_t>& wave, uint32_t length) {
    for (int i = 0; i < 4; ++i) {
        wave[DataLengthOffset + i] = static_cast<uint8_t>(length >> (8 * i));
    }
}

struct Fault {
    const char* name;
    // Puts the broken thing at `file`.
    std::function<void(const fs::path& file)> make;
};

const Fault Faults[] = {
    {"Missing", [](const fs::path&) {}},
    {"Empty", [](const fs::path& file) { writeBytes(file, {}); }},
    {"Truncated",
     [](const fs::path& file) {
         std::vector<uint8_t> wave = makeWave(200);
         wave.resize(HeaderBytes + (wave.size() - HeaderBytes) / 2);
         writeBytes(file, wave);
     }},
    {"RandomBytes",
     [](const fs::path& file) {
         std::mt19937 random(20240601);
         std::vector<uint8_t> bytes(4096);
         for (uint8_t& byte : bytes) {
             byte = static_cast<uint8_t>(random());
         }
         writeBytes(file, bytes);
     }},
    {"NotAWave",
     [](const fs::path& file) {
         const std::string text = "RIFF is not enough: this is a text file.\n";
         writeBytes(file, std::vector<uint8_t>(text.begin(), text.end()));
     }},
    {"HugeDeclaredDataLength",
     [](const fs::path& file) {
         std::vector<uint8_t> wave = makeWave(20);
         setDataLength(wave, 0xFFFFFFF0u);
         writeBytes(file, wave);
     }},
    {"Directory", [](const fs::path& file) { fs::create_directory(file); }},
    {"Fifo", [](const fs::path& file) { ASSERT_EQ(mkfifo(file.c_str(), 0600), 0); }},
    {"OversizedFile",
     [](const fs::path& file) {
         // A well-formed wave of 9 MiB of silence, far beyond any cue.
         constexpr uint32_t DataBytes = 9u * 1024 * 1024;
         std::vector<uint8_t> wave = makeWave(0);
         setDataLength(wave, DataBytes);
         writeBytes(file, wave);
         fs::resize_file(file, HeaderBytes + DataBytes);
     }},
    {"Unreadable",
     [](const fs::path& file) {
         if (geteuid() == 0) {
             GTEST_SKIP() << "root reads every file";
         }
         writeCue(file.parent_path(), file.stem().string(), 200);
         fs::permissions(file, fs::perms::none);
     }},
};

// Names the fault in test output instead of dumping its bytes.
// NOLINTNEXTLINE(readability-identifier-naming): GoogleTest looks for this name.
void PrintTo(const Fault& fault, std::ostream* out) {
    *out << fault.name;
}

class SoundCueFaultTest : public ::testing::TestWithParam<Fault> {
protected:
    void SetUp() override { setenv("SDL_AUDIODRIVER", "dummy", 0); }

    TempFolder m_folder;
};

TEST_P(SoundCueFaultTest, BrokenCueIsSilentAndLaterCuesStillPlay) {
    GetParam().make(m_folder.path() / "broken.wav");
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    writeCue(m_folder.path(), "click", 100);
    const std::string directory = m_folder.path().string();

    int startedByBroken = -1;
    bool soundingAfterBroken = true;
    int startedInAll = -1;
    const std::string output = capturedOutput([&] {
        SdlCuePlayer player([directory] { return directory; });
        player.playAndWait("broken");
        player.play("broken");
        player.playAndWait("broken");
        startedByBroken = player.playsStarted();
        soundingAfterBroken = player.isSounding();
        player.playAndWait("click");
        startedInAll = player.playsStarted();
    });

    EXPECT_EQ(startedByBroken, 0);
    EXPECT_FALSE(soundingAfterBroken);
    EXPECT_EQ(startedInAll, 1) << "a valid cue after the broken one must play";
    EXPECT_EQ(output, "");
}

INSTANTIATE_TEST_SUITE_P(EveryFault, SoundCueFaultTest, ::testing::ValuesIn(Faults),
                         [](const ::testing::TestParamInfo<Fault>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace quillet
