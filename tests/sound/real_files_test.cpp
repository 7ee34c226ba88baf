// Real files made by the usual encoders (sox, lame, oggenc, ffmpeg), kept as the seeds
// of the sound fuzz targets: whole files open and decode, damaged ones open or are
// refused and read safely, formats that no sound buffer takes are refused at open,
// and an MP3's size is what its decoder delivers.
#include <algorithm>
#include <filesystem>

#include "sound/sound_test_support.h"

namespace {

namespace fs = std::filesystem;

Bytes SeedBytes(const char* folder, const std::string& name) {
    return SourceFileBytes(std::string("tests/fuzz/corpus/") + folder + "/" + name);
}

// "name.ext" is a whole file; "name.cut40.ext", "name.flip0.ext" ... are damaged copies.
bool WholeFile(const std::string& name) { return std::count(name.begin(), name.end(), '.') == 1; }

class RealFiles : public StartedSoundTest {};

}  // namespace

TEST_F(RealFiles, SeedsOpenOrAreRefusedAndReadSafely) {
    const struct {
        const char* folder;
        SoundDecoderOpener opener;
    } targets[] = {{"fuzz_sound_wav", OpenSoundDecoderPCM},
                   {"fuzz_sound_acm_wav", OpenSoundDecoderACM},
                   {"fuzz_sound_mp3", OpenSoundDecoderMP3},
                   {"fuzz_sound_ogg", OpenSoundDecoderOgg16}};
    const std::vector<std::string> unplayable = {"sox_s24_mono.wav", "sox_3ch.wav", "oggenc_6ch.ogg"};
    for (const auto& t : targets) {
        int whole = 0;
        for (const auto& entry : fs::directory_iterator(fs::path(ZQ_SOURCE_DIR) / "tests/fuzz/corpus" / t.folder)) {
            const std::string name = entry.path().filename().string();
            SCOPED_TRACE(name);
            const int blocks = GetTrackedBlockCount();
            {
                MemoryDecoder m(SeedBytes(t.folder, name), 44100, &t.opener, 1);
                if (WholeFile(name)) {
                    ++whole;
                    const bool refused = std::find(unplayable.begin(), unplayable.end(), name) != unplayable.end();
                    EXPECT_EQ(!refused, m.open);
                }
                if (m.open) {
                    const size_t total = m.ReadAll(999).size();
                    if (WholeFile(name)) {
                        EXPECT_GT(total, 0u);
                    }
                    EXPECT_EQ(0, SeekSoundDecoder(&m.decoder, 0));
                    EXPECT_EQ(total, m.ReadAll(4096).size()) << "read again from the start";
                }
            }
            EXPECT_EQ(blocks, GetTrackedBlockCount()) << "nothing kept";
        }
        EXPECT_GE(whole, 4) << t.folder;
    }
}

TEST_F(RealFiles, FormatsNoBufferTakesAreRefusedAtOpenWithALogLine) {
    const struct {
        const char* folder;
        const char* name;
        const char* logged;
    } cases[] = {
        {"fuzz_sound_wav", "sox_s24_mono.wav", "( チャンネル数 1 ビット数 24 周波数 8000 )"},
        {"fuzz_sound_wav", "sox_3ch.wav", "( チャンネル数 3 ビット数 16 周波数 8000 )"},
        {"fuzz_sound_ogg", "oggenc_6ch.ogg", "( チャンネル数 6 ビット数 16 周波数 8000 )"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryDecoder m(SeedBytes(c.folder, c.name));
        EXPECT_FALSE(m.open);
        EXPECT_TRUE(InOrder(Log(), {std::string("再生できない形式のサウンドです ") + c.logged + " in OpenSoundDecoder\r\n"}));
    }
}

// Files of the usual encoders start with an Info frame that holds no sound: the size
// counts what the decoder delivers.
TEST_F(RealFiles, Mp3SizeIsWhatTheDecoderDelivers) {
    for (const char* name : {"lame_cbr128_stereo.mp3", "lame_vbr_id3v2.mp3", "lame_mpeg2_id3v1.mp3",
                             "ffmpeg_lame_mono.mp3", "ffmpeg_layer2.mp3"}) {
        SCOPED_TRACE(name);
        MemoryDecoder m(SeedBytes("fuzz_sound_mp3", name));
        ASSERT_TRUE(m.open);
        const int size = GetSoundDecoderSizeACM(&m.decoder);
        EXPECT_EQ(size, static_cast<int>(m.ReadAll().size()));
    }
}

// Seeks in an MP3 restart the decoder at a frame mark shortly before the target (not at
// the start of the data) and deliver what a decode from the start delivers there.
TEST_F(RealFiles, Mp3SeeksStartNearTheTargetAndMatchADecodeFromTheStart) {
    const Bytes file = SourceFileBytes("tests/sound/data/chirp_mono.mp3");
    const Bytes reference = MemoryDecoder(file).ReadAll();
    const int frames = static_cast<int>(reference.size() / 2);
    ASSERT_GT(frames, 80000);
    for (int target : {frames - 5 * 1152, frames - 2646, frames / 2 + 77, 1152 * 9 + 1, 3000}) {
        for (bool fromEnd : {true, false}) {
            SCOPED_TRACE(::testing::Message() << target << (fromEnd ? " back from the end" : " forward from the start"));
            MemoryDecoder m(file);
            if (fromEnd) m.ReadAll();
            const uint64_t before = AcmSeamConvertedSourceBytes();
            ASSERT_EQ(0, SeekSoundDecoder(&m.decoder, target));
            Bytes got(4000);
            got.resize(static_cast<size_t>(ReadSoundDecoder(&m.decoder, got.data(), 4000)));
            const size_t from = 2u * static_cast<size_t>(target);
            EXPECT_EQ(Bytes(reference.begin() + static_cast<long>(from),
                            reference.begin() + static_cast<long>(std::min(reference.size(), from + 4000))),
                      got);
            EXPECT_LT(AcmSeamConvertedSourceBytes() - before, file.size() / 2) << "decoded from near the target";
        }
    }
}
