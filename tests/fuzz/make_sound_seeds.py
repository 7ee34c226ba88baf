#!/usr/bin/env python3
"""Writes the seed corpora of the sound fuzz targets: short files made by the usual
encoders (sox, lame, oggenc, ffmpeg), each with cut and byte-flipped copies.

    tests/fuzz/make_sound_seeds.py      # needs sox, lame, vorbis-tools and ffmpeg

The seeds are committed; neither CI nor the tests need the encoders. A run writes the
files anew (the encoders' own version tags may differ from the committed ones).

Two Ogg seeds are kept by hand and left alone by a run: oggenc_chained_stereo_mono.ogg
(a copy of tests/sound/data/chained_format_change.ogg: a stereo 44100 Hz link, then a
mono 22050 Hz one) and chained.holes.ogg (a chained file with holes and links that
start before the one before has ended, which vorbisfile's seekable open fails on and
loses memory of its own).
"""
import os
import random
import struct
import subprocess
import tempfile

CORPUS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
FFMPEG = ["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i"]

# target folder -> (file name, command writing it to OUT, with IN16 a 22050 Hz 16-bit
# mono tone and IN44 a 44100 Hz stereo tone with noise, both in the work directory)
SOURCES = {
    "fuzz_sound_wav": [
        ("sox_u8_mono.wav", "sox -n -r 8000 -c 1 -b 8 -e unsigned OUT synth 0.25 sine 300-1200"),
        ("sox_s16_stereo.wav", "sox -n -r 11025 -c 2 -b 16 OUT synth 0.1 sine 440 pinknoise vol 0.6"),
        ("ffmpeg_list_chunk.wav", "ffmpeg -v error -y -f lavfi -i sine=f=600:d=0.1:sample_rate=8000 "
                                  "-metadata title=seed -c:a pcm_s16le OUT"),
        ("sox_s24_mono.wav", "sox -n -r 8000 -c 1 -b 24 -t wavpcm OUT synth 0.05 sine 500"),
        ("sox_3ch.wav", "sox -n -r 8000 -c 3 -b 16 -t wavpcm OUT synth 0.05 sine 300 sine 500 sine 700"),
    ],
    "fuzz_sound_acm_wav": [
        ("sox_ima_adpcm.wav", "sox -n -r 8000 -c 1 -e ima-adpcm OUT synth 0.25 sine 300-900"),
        ("sox_ms_adpcm.wav", "sox -n -r 8000 -c 1 -e ms-adpcm OUT synth 0.25 sine 700"),
        ("ffmpeg_ima_adpcm_stereo.wav", "ffmpeg -v error -y -f lavfi -i sine=f=440:d=0.15:sample_rate=11025 "
                                        "-ac 2 -c:a adpcm_ima_wav OUT"),
        ("ffmpeg_ms_adpcm_stereo.wav", "ffmpeg -v error -y -f lavfi -i sine=f=440:d=0.15:sample_rate=11025 "
                                       "-ac 2 -c:a adpcm_ms OUT"),
        ("ffmpeg_mp3_in_wav.wav", "ffmpeg -v error -y -f lavfi -i sine=f=440:d=0.2:sample_rate=22050 "
                                  "-c:a libmp3lame -b:a 32k OUT"),
    ],
    "fuzz_sound_mp3": [
        ("lame_cbr128_stereo.mp3", "lame --quiet -b 128 IN44 OUT"),
        ("lame_vbr_id3v2.mp3", "lame --quiet -V 6 --tt seed --add-id3v2 IN16 OUT"),
        ("lame_mpeg2_id3v1.mp3", "lame --quiet -b 24 --id3v1-only --tt seed IN16 OUT"),
        ("ffmpeg_lame_mono.mp3", "ffmpeg -v error -y -f lavfi -i sine=f=700:d=0.2:sample_rate=32000 "
                                 "-c:a libmp3lame -b:a 48k OUT"),
        ("ffmpeg_layer2.mp3", "ffmpeg -v error -y -f lavfi -i sine=f=700:d=0.15:sample_rate=44100 "
                              "-ac 2 -c:a mp2 -b:a 64k -f mp2 OUT"),
    ],
    "fuzz_sound_ogg": [
        ("oggenc_mono.ogg", "oggenc -Q -q 0 -o OUT IN16"),
        ("sox_stereo.ogg", "sox IN44 -C 0 OUT"),
        ("ffmpeg_vorbis.ogg", "ffmpeg -v error -y -f lavfi -i sine=f=440:d=0.2:sample_rate=11025 "
                              "-c:a libvorbis OUT"),
        ("oggenc_6ch.ogg", "sox -n -r 8000 -c 6 -b 16 six.wav synth 0.1 sine 300 sine 400 sine 500 sine 600 "
                           "sine 700 sine 800 && oggenc -Q -q 0 -o OUT six.wav"),
        # Two streams one after the other: a damaged second link takes vorbisfile's
        # chained-file path.
        ("chained.ogg", "oggenc -Q -q 0 -o a.ogg IN16 && ffmpeg -v error -y -f lavfi "
                        "-i sine=f=440:d=0.2:sample_rate=11025 -c:a libvorbis b.ogg && cat a.ogg b.ogg > OUT"),
    ],
}


# Seeds written byte by byte, named as damaged copies ("name.damage.ext"): the bare RIFF
# header with a format chunk of 0 bytes and an empty data chunk.
HAND_MADE = {
    "fuzz_sound_wav": {"bare_header.fmt0.wav": b"RIFF\x14\0\0\0WAVEfmt \0\0\0\0data\0\0\0\0"},
}


def damaged(data, rng):
    """Cut copies and copies with a few bits flipped (one of them in the first 64 bytes,
    where the headers are)."""
    out = {}
    for percent in (40, 85):
        out["cut%d" % percent] = data[: len(data) * percent // 100]
    for i in range(2):
        flipped = bytearray(data)
        for position in (rng.randrange(min(64, len(data))), rng.randrange(len(data))):
            flipped[position] ^= 1 << rng.randrange(8)
        out["flip%d" % i] = bytes(flipped)
    return out


def short_format_chunks(wav):
    """The format chunk's size set to 0 and 1, and the file cut right after "fmt "."""
    return {
        "fmt0": wav[:16] + struct.pack("<I", 0) + wav[20:],
        "fmt1": wav[:16] + struct.pack("<I", 1) + wav[20:],
        "cut16": wav[:16],
    }


def main():
    rng = random.Random(20)
    with tempfile.TemporaryDirectory() as work:
        run = lambda command: subprocess.run(command, shell=True, cwd=work, check=True)
        run("sox -n -r 22050 -c 1 -b 16 in16.wav synth 0.3 sine 500-900")
        run("sox -n -r 44100 -c 2 -b 16 in44.wav synth 0.2 sine 300-1500 pinknoise vol 0.5")
        for folder, sources in SOURCES.items():
            os.makedirs(os.path.join(CORPUS, folder), exist_ok=True)
            for name, command in sources:
                out = os.path.join(work, name)
                run(command.replace("OUT", out).replace("IN16", "in16.wav").replace("IN44", "in44.wav"))
                data = open(out, "rb").read()
                stem, extension = os.path.splitext(name)
                copies = {"": data, **damaged(data, rng)}
                if name == "sox_u8_mono.wav":
                    copies.update(short_format_chunks(data))
                for suffix, bytes_ in copies.items():
                    seed = stem + ("." + suffix if suffix else "") + extension
                    with open(os.path.join(CORPUS, folder, seed), "wb") as f:
                        f.write(bytes_)
    for folder, seeds in HAND_MADE.items():
        for seed, bytes_ in seeds.items():
            with open(os.path.join(CORPUS, folder, seed), "wb") as f:
                f.write(bytes_)


if __name__ == "__main__":
    main()
