#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Finding a cue's wave file and checking it before it reaches the decoder.
namespace quillet {

// The directory that holds the running executable, symlinks resolved, as bytes
// for the file system (no text conversion). Asked anew at every call.
std::string programDirectory();

// The file of cue `cue`: directory, "/", cue, ".wav".
std::string cueFilePath(const std::string& directory, const std::string& cue);

// The whole content of `path` if it is a regular file of a plausible size;
// empty otherwise. Never blocks on a FIFO or a device given a cue's name.
std::vector<std::uint8_t> readCueFile(const std::string& path);

// Whether `bytes` is a RIFF wave whose chunks, up to and including its sound
// data, are all present.
bool isCompleteWave(const std::vector<std::uint8_t>& bytes);

}  // namespace quillet
