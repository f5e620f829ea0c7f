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

#include "sound_test_support.h"
#include "sound/sdl_cue_player.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::CapturedOutput;
using testing::MakeWave;
using testing::TempFolder;
using testing::WriteBytes;
using testing::WriteCue;

// Offset of the data chunk's length in the files MakeWave writes.
constexpr size_t kDataLengthOffset = 40;
constexpr size_t kHeaderBytes = 44;

void SetDataLength(std::vector<uint8_t>& wave, uint32_t length) {
    for (int i = 0; i < 4; ++i) {
        wave[kDataLengthOffset + i] = static_cast<uint8_t>(length >> (8 * i));
    }
}

struct Fault {
    const char* name;
    // Puts the broken thing at `file`.
    std::function<void(const fs::path& file)> make;
};

const Fault kFaults[] = {
    {"Missing", [](const fs::path&) {}},
    {"Empty", [](const fs::path& file) { WriteBytes(file, {}); }},
    {"Truncated",
     [](const fs::path& file) {
         std::vector<uint8_t> wave = MakeWave(200);
         wave.resize(kHeaderBytes + (wave.size() - kHeaderBytes) / 2);
         WriteBytes(file, wave);
     }},
    {"RandomBytes",
     [](const fs::path& file) {
         std::mt19937 random(20240601);
         std::vector<uint8_t> bytes(4096);
         for (uint8_t& byte : bytes) {
             byte = static_cast<uint8_t>(random());
         }
         WriteBytes(file, bytes);
     }},
    {"NotAWave",
     [](const fs::path& file) {
         const std::string text = "RIFF is not enough: this is a text file.\n";
         WriteBytes(file, std::vector<uint8_t>(text.begin(), text.end()));
     }},
    {"HugeDeclaredDataLength",
     [](const fs::path& file) {
         std::vector<uint8_t> wave = MakeWave(20);
         SetDataLength(wave, 0xFFFFFFF0u);
         WriteBytes(file, wave);
     }},
    {"Directory", [](const fs::path& file) { fs::create_directory(file); }},
    {"Fifo", [](const fs::path& file) { ASSERT_EQ(mkfifo(file.c_str(), 0600), 0); }},
    {"OversizedFile",
     [](const fs::path& file) {
         // A well-formed wave of 9 MiB of silence, far beyond any cue.
         constexpr uint32_t kDataBytes = 9u * 1024 * 1024;
         std::vector<uint8_t> wave = MakeWave(0);
         SetDataLength(wave, kDataBytes);
         WriteBytes(file, wave);
         fs::resize_file(file, kHeaderBytes + kDataBytes);
     }},
    {"Unreadable",
     [](const fs::path& file) {
         if (geteuid() == 0) {
             GTEST_SKIP() << "root reads every file";
         }
         WriteCue(file.parent_path(), file.stem().string(), 200);
         fs::permissions(file, fs::perms::none);
     }},
};

// Names the fault in test output instead of dumping its bytes.
void PrintTo(const Fault& fault, std::ostream* out) {
    *out << fault.name;
}

class SoundCueFaultTest : public ::testing::TestWithParam<Fault> {
protected:
    void SetUp() override { setenv("SDL_AUDIODRIVER", "dummy", 0); }

    TempFolder folder_;
};

TEST_P(SoundCueFaultTest, BrokenCueIsSilentAndLaterCuesStillPlay) {
    GetParam().make(folder_.Path() / "broken.wav");
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    WriteCue(folder_.Path(), "click", 100);
    const std::string directory = folder_.Path().string();

    int started_by_broken = -1;
    bool sounding_after_broken = true;
    int started_in_all = -1;
    const std::string output = CapturedOutput([&] {
        SdlCuePlayer player([directory] { return directory; });
        player.playAndWait("broken");
        player.play("broken");
        player.playAndWait("broken");
        started_by_broken = player.PlaysStarted();
        sounding_after_broken = player.IsSounding();
        player.playAndWait("click");
        started_in_all = player.PlaysStarted();
    });

    EXPECT_EQ(started_by_broken, 0);
    EXPECT_FALSE(sounding_after_broken);
    EXPECT_EQ(started_in_all, 1) << "a valid cue after the broken one must play";
    EXPECT_EQ(output, "");
}

INSTANTIATE_TEST_SUITE_P(EveryFault, SoundCueFaultTest, ::testing::ValuesIn(kFaults),
                         [](const ::testing::TestParamInfo<Fault>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace quillet
