#include "audio_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "support/atomic_file.h"

AudioReader::~AudioReader() {
    if (file) sf_close(file);
}

bool AudioReader::open(const std::string& path, std::string* error) {
    SF_INFO info{};
    file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        if (access(path.c_str(), F_OK) != 0)
            *error = path + ": no such file";
        else if (access(path.c_str(), R_OK) != 0)
            *error = path + ": not readable (permission denied)";
        else
            *error = path + ": not a readable audio file (" + sf_strerror(nullptr) + ")";
        return false;
    }
    fileInfo.frames = info.frames;
    fileInfo.channels = info.channels;
    fileInfo.sampleRate = info.samplerate;
    fileInfo.format = info.format;
    return true;
}

int64_t AudioReader::read(float* interleaved, int64_t frames) {
    return file ? sf_readf_float(file, interleaved, frames) : 0;
}

AudioWriter::~AudioWriter() {
    discard();
}

bool AudioWriter::open(const std::string& path, int format, int channels, int sampleRate,
                       std::string* error) {
    targetPath = path;
    descriptor = createTemporaryBeside(path, &temporaryPath);
    if (descriptor < 0) {
        *error = path + ": cannot write there (" + std::strerror(errno) + ")";
        return false;
    }
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = sampleRate;
    info.format = format;
    // The descriptor stays ours: it is flushed to disk after libsndfile finished the header.
    file = sf_open_fd(descriptor, SFM_WRITE, &info, SF_FALSE);
    if (!file) {
        *error = path + ": cannot write " + describeFormat(format) + " (" + sf_strerror(nullptr) + ")";
        discard();
        return false;
    }
    // Integer formats clip rather than wrap around above full scale.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    if ((format & SF_FORMAT_SUBMASK) == SF_FORMAT_VORBIS) {
        double quality = 0.6;
        sf_command(file, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof(quality));
    }
    return true;
}

bool AudioWriter::write(const float* interleaved, int64_t frames, std::string* error) {
    if (!file) return false;
    if (sf_writef_float(file, interleaved, frames) != frames) {
        int code = errno;
        *error = targetPath + ": write failed (" + (code ? std::strerror(code) : sf_strerror(file)) + ")";
        return false;
    }
    return true;
}

bool AudioWriter::commit(bool overwrite, std::string* error) {
    if (!file) return false;
    int closed = sf_close(file);
    file = nullptr;
    if (closed != 0) {
        *error = targetPath + ": write failed (" + sf_error_number(closed) + ")";
        discard();
        return false;
    }
    const bool moved = commitTemporary(descriptor, temporaryPath, targetPath, overwrite);
    const int code = errno;
    descriptor = -1;
    temporaryPath.clear();
    if (!moved) {
        *error =
            !overwrite && code == EEXIST
                ? targetPath + ": already exists (use --overwrite to replace it)"
                : targetPath + ": cannot move the finished file into place (" + std::strerror(code) + ")";
        return false;
    }
    return true;
}

void AudioWriter::discard() {
    if (file) {
        sf_close(file);
        file = nullptr;
    }
    if (!temporaryPath.empty()) {
        discardTemporary(descriptor, temporaryPath);
        descriptor = -1;
        temporaryPath.clear();
    }
}

int containerForPath(const std::string& path) {
    size_t dot = path.find_last_of('.');
    size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return 0;
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == "wav") return SF_FORMAT_WAV;
    if (extension == "aif" || extension == "aiff") return SF_FORMAT_AIFF;
    if (extension == "flac") return SF_FORMAT_FLAC;
    if (extension == "ogg" || extension == "oga") return SF_FORMAT_OGG;
    return 0;
}

namespace {

bool isIntegerSubtype(int subtype) {
    return subtype == SF_FORMAT_PCM_S8 || subtype == SF_FORMAT_PCM_U8 || subtype == SF_FORMAT_PCM_16 ||
           subtype == SF_FORMAT_PCM_24 || subtype == SF_FORMAT_PCM_32;
}

const char* containerName(int container) {
    switch (container) {
    case SF_FORMAT_WAV:
        return "WAV";
    case SF_FORMAT_AIFF:
        return "AIFF";
    case SF_FORMAT_FLAC:
        return "FLAC";
    case SF_FORMAT_OGG:
        return "OGG";
    case SF_FORMAT_WAVEX:
        return "WAVEX";
    case SF_FORMAT_RF64:
        return "RF64";
    case SF_FORMAT_W64:
        return "W64";
    case SF_FORMAT_CAF:
        return "CAF";
    default:
        return "audio";
    }
}

} // namespace

std::string describeFormat(int format) {
    std::string text = containerName(format & SF_FORMAT_TYPEMASK);
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
        return text + " 8-bit";
    case SF_FORMAT_PCM_16:
        return text + " 16-bit";
    case SF_FORMAT_PCM_24:
        return text + " 24-bit";
    case SF_FORMAT_PCM_32:
        return text + " 32-bit";
    case SF_FORMAT_FLOAT:
        return text + " float";
    case SF_FORMAT_DOUBLE:
        return text + " double";
    case SF_FORMAT_VORBIS:
        return text + " Vorbis";
    case SF_FORMAT_OPUS:
        return text + " Opus";
    default:
        return text;
    }
}

bool chooseOutputFormat(int inputFormat, const std::string& outputPath, bool floatOutput, int bits,
                        int* format, std::string* error) {
    int container = containerForPath(outputPath);
    if (!container) container = inputFormat & SF_FORMAT_TYPEMASK;
    int subtype = inputFormat & SF_FORMAT_SUBMASK;
    if (floatOutput) {
        subtype = SF_FORMAT_FLOAT;
    } else if (bits) {
        subtype = bits == 16 ? SF_FORMAT_PCM_16 : SF_FORMAT_PCM_24;
    } else if (container == SF_FORMAT_OGG) {
        subtype = SF_FORMAT_VORBIS;
    } else if (container == SF_FORMAT_FLAC && !isIntegerSubtype(subtype)) {
        subtype = SF_FORMAT_PCM_24; // a float or compressed source into FLAC: its deepest format
    } else if (!isIntegerSubtype(subtype) && subtype != SF_FORMAT_FLOAT && subtype != SF_FORMAT_DOUBLE) {
        subtype = SF_FORMAT_PCM_24; // from OGG or another compressed source into an uncompressed container
    }
    SF_INFO probe{};
    probe.channels = 2;
    probe.samplerate = 44100;
    probe.format = container | subtype;
    if (!sf_format_check(&probe)) {
        *error = outputPath + ": " + containerName(container) + " cannot hold " +
                 (floatOutput ? std::string("float samples")
                  : bits      ? std::to_string(bits) + "-bit samples"
                              : describeFormat(subtype));
        return false;
    }
    *format = container | subtype;
    return true;
}
