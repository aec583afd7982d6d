#include "platform/audio/audio_file_reader.h"

#include "close_audit.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cmath>
#include <fstream>
#include <iterator>
#include <thread>

namespace voxquill {
namespace {

using testing::TempDir;

// Writes `frames` frames of a 440 Hz tone peaking at 8000 of 32768, the same
// in every channel.
std::string writeTone(const TempDir& dir, const std::string& name, int format, int rate, int channels, int frames) {
    const std::string path = dir.path() + "/" + name;
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
    std::vector<float> samples(static_cast<std::size_t>(frames * channels));
    for (int frame = 0; frame < frames; ++frame) {
        const double t = static_cast<double>(frame) / rate;
        for (int c = 0; c < channels; ++c) {
            samples[static_cast<std::size_t>(frame * channels + c)] =
                static_cast<float>(8000.0 / 32768.0 * std::sin(2 * M_PI * 440 * t));
        }
    }
    sf_writef_float(file, samples.data(), frames);
    sf_close(file);
    return path;
}

struct ReadAll {
    std::vector<std::int16_t> samples;
    std::string error;
};

ReadAll readAll(const std::string& path) {
    ReadAll all;
    const auto reader = AudioFileReader::open(path, all.error);
    if (!reader) return all;
    std::vector<std::int16_t> block;
    while (reader->read(block, all.error) && !block.empty()) {
        all.samples.insert(all.samples.end(), block.begin(), block.end());
    }
    return all;
}

TEST(AudioFileReader, PassesSixteenKilohertzMonoThroughUnchanged) {
    TempDir dir;
    const std::string path = writeTone(dir, "tone.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16000, 1, 20000);
    const auto all = readAll(path);
    ASSERT_EQ(all.error, "");
    ASSERT_EQ(all.samples.size(), 20000u);
    EXPECT_EQ(all.samples[4], static_cast<short>(std::lround(8000.0 * std::sin(2 * M_PI * 440 * 4 / 16000.0))));
}

TEST(AudioFileReader, MixesDownAndResamplesEveryFormat) {
    TempDir dir;
    struct Case {
        const char* name;
        int format;
        int rate;
        int channels;
    };
    for (const Case& c : {Case{"cd.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2},
                          Case{"phone.wav", SF_FORMAT_WAV | SF_FORMAT_ULAW, 8000, 1},
                          Case{"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 6},
                          Case{"studio.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 96000, 2},
                          Case{"small.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 22050, 1}}) {
        const int seconds = 3;
        const std::string path = writeTone(dir, c.name, c.format, c.rate, c.channels, c.rate * seconds);
        const auto all = readAll(path);
        ASSERT_EQ(all.error, "") << c.name;
        EXPECT_NEAR(static_cast<double>(all.samples.size()), 16000.0 * seconds, 64.0) << c.name;
        // The tone's level survives the mix-down: its peak stays near 8000.
        short peak = 0;
        for (const short s : all.samples) peak = std::max<short>(peak, static_cast<short>(std::abs(s)));
        EXPECT_NEAR(peak, 8000, 400) << c.name;
    }
}

TEST(AudioFileReader, FloatsOutOfRangeBecomeTheNearestSample) {
    TempDir dir;
    const std::string path = dir.path() + "/wild.wav";
    SF_INFO info{};
    info.samplerate = 16000;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    const float wild[] = {std::nanf(""), INFINITY, -INFINITY, 2.0f, -1e30f, 0.5f};
    ASSERT_EQ(sf_writef_float(file, wild, 6), 6);
    sf_close(file);
    const auto all = readAll(path);
    ASSERT_EQ(all.error, "");
    EXPECT_EQ(all.samples, (std::vector<std::int16_t>{0, 32767, -32768, 32767, -32768, 16384}));
}

TEST(AudioFileReader, NamesTheFileAndTheReasonItCannotBeRead) {
    TempDir dir;
    ::mkdir((dir.path() + "/folder.wav").c_str(), 0700);
    const std::string text = dir.write("notes.wav", "these are not the samples you are looking for\n");
    const std::string empty = dir.write("empty.wav", "");
    const std::string oddName = dir.write("two\nlines.wav", "RIFF");

    EXPECT_EQ(readAll(dir.path() + "/missing.wav").error, dir.path() + "/missing.wav: No such file or directory");
    EXPECT_EQ(readAll(dir.path() + "/folder.wav").error, dir.path() + "/folder.wav: Is a directory");
    EXPECT_EQ(readAll("/dev/zero").error, "/dev/zero: not a regular file or a pipe");
    EXPECT_EQ(readAll(text).error, text + ": not an audio file in a format this program reads");
    EXPECT_EQ(readAll(empty).error, empty + ": not an audio file in a format this program reads");
    // As given: the line is made safe where it is written.
    EXPECT_EQ(readAll(oddName).error, oddName + ": not an audio file in a format this program reads");
}

std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes `bytes` into the named pipe once a reader has opened it.
std::thread writerOf(const std::string& fifo, std::string bytes) {
    return std::thread([fifo, bytes = std::move(bytes)] {
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
            ASSERT_GT(wrote, 0);
            done += static_cast<std::size_t>(wrote);
        }
        ::close(fd);
    });
}

TEST(AudioFileReader, ReadsANamedPipeAsAStreamOfUnknownLength) {
    TempDir dir;
    const std::string file = writeTone(dir, "cd.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 44100 * 3);
    const std::string fifo = dir.path() + "/voice";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Bigger than a pipe holds, so reading and writing take turns.
    std::thread writer = writerOf(fifo, bytesOf(file));
    std::string error;
    const auto reader = AudioFileReader::open(fifo, error);
    ASSERT_TRUE(reader) << error;
    EXPECT_EQ(reader->durationSeconds(), std::nullopt);
    std::vector<std::int16_t> streamed;
    std::vector<std::int16_t> block;
    while (reader->read(block, error) && !block.empty()) streamed.insert(streamed.end(), block.begin(), block.end());
    writer.join();
    EXPECT_EQ(error, "");
    EXPECT_EQ(streamed, readAll(file).samples);
}

TEST(AudioFileReader, TellsTheLengthOfAFile) {
    TempDir dir;
    const std::string path = writeTone(dir, "phone.wav", SF_FORMAT_WAV | SF_FORMAT_ULAW, 8000, 1, 8000 * 5 / 2);
    std::string error;
    const auto reader = AudioFileReader::open(path, error);
    ASSERT_TRUE(reader) << error;
    ASSERT_TRUE(reader->durationSeconds());
    EXPECT_NEAR(*reader->durationSeconds(), 2.5, 0.01);
}

// The lowest descriptor number free now: what the next open would get.
int lowestFreeDescriptor() {
    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ::close(fd);
    return fd;
}

TEST(AudioFileReader, ClosesItsDescriptorOnceWhateverTheOutcome) {
    TempDir dir;
    const std::string good = writeTone(dir, "tone.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16000, 1, 2000);
    const std::string text = dir.write("notes.wav", "these are not the samples you are looking for\n");
    const std::string slow = writeTone(dir, "slow.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1000, 1, 1000);
    for (const std::string& path : {good, text, slow}) {
        const int free = lowestFreeDescriptor();
        const int badCloses = testing::closesOfNoDescriptor();
        readAll(path);
        EXPECT_EQ(testing::closesOfNoDescriptor(), badCloses) << path << ": closed twice";
        EXPECT_EQ(lowestFreeDescriptor(), free) << path << ": left open";
    }
}

TEST(AudioFileReader, RefusesRatesAndChannelCountsItCannotServe) {
    TempDir dir;
    const std::string slow = writeTone(dir, "slow.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1000, 1, 1000);
    EXPECT_EQ(readAll(slow).error, slow + ": unsupported sample rate 1000 Hz");
}

}  // namespace
}  // namespace voxquill
