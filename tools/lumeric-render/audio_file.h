// Audio files through libsndfile: a reader, and a writer that only ever shows a complete file.
#pragma once

#include <cstdint>
#include <sndfile.h>
#include <string>

struct AudioFileInfo {
    int64_t frames = 0;
    int channels = 0;
    int sampleRate = 0;
    int format = 0; // libsndfile major type | subtype
};

class AudioReader {
  public:
    AudioReader() = default;
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;
    ~AudioReader();

    // False with a message naming the file when it cannot be opened as audio.
    bool open(const std::string& path, std::string* error);
    // Reads up to frames interleaved frames; returns how many came (0 at the end).
    int64_t read(float* interleaved, int64_t frames);
    const AudioFileInfo& info() const { return fileInfo; }

  private:
    SNDFILE* file = nullptr;
    AudioFileInfo fileInfo;
};

// Writes into a temporary file beside the target; commit() renames it into place, anything else removes it.
class AudioWriter {
  public:
    AudioWriter() = default;
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;
    ~AudioWriter();

    bool open(const std::string& path, int format, int channels, int sampleRate, std::string* error);
    bool write(const float* interleaved, int64_t frames, std::string* error);
    // Finishes the file and moves it to its name; without overwrite an existing file is never replaced.
    bool commit(bool overwrite, std::string* error);
    // Removes the temporary file; the target is untouched.
    void discard();

  private:
    SNDFILE* file = nullptr;
    int descriptor = -1;
    std::string targetPath;
    std::string temporaryPath;
};

// The output format: the container named by the output's extension, else the input's; the sample format
// as --float or --bits say (bits 0: as the input). False with a message for a combination that can't be.
bool chooseOutputFormat(int inputFormat, const std::string& outputPath, bool floatOutput, int bits,
                        int* format, std::string* error);
// The container named by a file name's extension (wav, aif, aiff, flac, ogg), or 0.
int containerForPath(const std::string& path);
// "WAV 24-bit" and the like, for messages.
std::string describeFormat(int format);
