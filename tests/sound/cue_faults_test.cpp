#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sound/pulse_cue_player.h"
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
    // The start of the one line the player writes about it, or empty when
    // it says nothing, as for a file that is simply broken.
    const char* says = "";
};

// A PCM wave of `dataBytes` bytes of silence with the header's fields as given,
// sense or not.
struct PcmHeader {
    uint32_t rate;
    uint16_t channels;
    uint16_t bits;
    uint16_t blockAlign;
};

std::vector<uint8_t> makePcmWave(const PcmHeader& header, uint32_t dataBytes) {
    std::vector<uint8_t> wave = makeWave(0);
    const auto put = [&wave](size_t at, uint32_t value, int width) {
        for (int i = 0; i < width; ++i) {
            wave[at + i] = static_cast<uint8_t>(value >> (8 * i));
        }
    };
    put(4, 36 + dataBytes, 4);
    put(22, header.channels, 2);
    put(24, header.rate, 4);
    put(28, header.rate * header.blockAlign, 4);  // bytes a second
    put(32, header.blockAlign, 2);                // bytes a frame
    put(34, header.bits, 2);
    setDataLength(wave, dataBytes);
    wave.resize(HeaderBytes + dataBytes, header.bits == 8 ? 0x80 : 0);
    return wave;
}

// The most the process has had resident so far, in kB, from /proc.
long peakResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

// What the player may hold for a cue at most, with room for libpulse itself:
// a cue that were played anyway would hold the stream for hours.
constexpr long MostGrowthKb = 64 * 1024;

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
    {"LongLowRateCue",
     [](const fs::path& file) {
         // 8 MB of 8-bit mono at 1 kHz: within the file size limit, a valid
         // wave, and two hours and a half of sound.
         writeBytes(file, makePcmWave({1000, 1, 8, 1}, 8u * 1000 * 1000 - HeaderBytes));
     },
     "quillet: the sound cue broken.wav is not played: it would last 8000 s"},
    {"WidePcmAlignedToSingleBytes",
     [](const fs::path& file) {
         // 24-bit samples of eight channels, whose header claims frames of
         // one byte: a frame for every byte would be 24 times the sound the
         // file holds, and samples read out of step.
         writeBytes(file, makePcmWave({192000, 8, 24, 1}, 8u * 1024 * 1024 - HeaderBytes));
     }},
    {"AdpcmCue",
     [](const fs::path& file) {
         // A valid wave in an encoding the server does not take as it is.
         writeBytes(file, makeWave(200, testing::WaveShape{0x11, 22050, 1, 16}));
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
    // The peak is counted from here: writing 5 to clear_refs resets it.
    std::ofstream("/proc/self/clear_refs") << "5";
    const long peakBefore = peakResidentKb();
    const std::string output = capturedOutput([&] {
        PulseCuePlayer player([directory] { return directory; });
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
    EXPECT_LT(peakResidentKb() - peakBefore, MostGrowthKb) << "the broken cue was decoded";
    const std::string says = GetParam().says;
    if (says.empty()) {
        EXPECT_EQ(output, "");
    } else {
        EXPECT_EQ(output.rfind(says, 0), 0u) << output;
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1)
            << "not said once, on one line:\n"
            << output;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFault, SoundCueFaultTest, ::testing::ValuesIn(Faults),
                         [](const ::testing::TestParamInfo<Fault>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace quillet
