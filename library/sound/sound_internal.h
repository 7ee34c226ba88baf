// sound_internal.h - the sound subsystem's records and its routines inside the library.
//
// The device record (SoundDeviceState) holds the DirectSound object, the handle table
// of sounds and the list of streaming sounds; a sound handle names a SoundHandleRecord,
// which holds up to ten buffers of the same data (a static sound) or one six-second
// buffer refilled each frame from up to four decoded sources (a streaming sound).
// Every buffer goes through the SoundBufferRecord wrapper, which either forwards to a
// DirectSound buffer or emulates one in memory and mixes it itself.
#pragma once

#include <vorbis/vorbisfile.h>

#include <cstdint>

#include "library/core/handles.h"
#include "library/core/link_list.h"
#include "library/file/stream.h"
#include "platform/sound/acm.h"
#include "platform/sound/dmusic.h"
#include "platform/sound/dsound.h"

enum SoundDeviceMode { SoundModeDirectSound = 0, SoundModeDirectMusic = 1 };

enum {
    SoundHandleMax = 4096,
    SoundBufferSetMax = 10,
    StreamSourceMax = 4,
    StreamNotStarted = -800,
    SoundPlayLoop = 3,
    SoundKindStatic = 0,
    SoundKindStream = 1,
    SoundDataKindOwnedStream = 3,  // a source whose stream the handle closes on deletion
    MusicHandleMax = 256,
};

// ---- buffer wrapper (sound_buffer.cpp, sound_mixer.cpp) ----

struct SoundBufferRecord {
    int valid;
    IDirectSoundBuffer* buffer;  // DirectSound form
    void* memory;                // emulation: the sample data
    int playing;
    int position;   // frames
    int loop;
    int pan;        // -256 .. 256
    int volume;     // scale of 256; 255 at creation
    int frequency;  // -1: the format's own rate
    int length;     // frames
    WAVEFORMATEX format;
};

struct MixFrame {
    int16_t left;
    int16_t right;
};

int SoundBufferCreate(SoundBufferRecord* record, const DSBUFFERDESC* desc);
int SoundBufferDuplicate(SoundBufferRecord* record, const SoundBufferRecord* source);
int SoundBufferRelease(SoundBufferRecord* record);
int SoundBufferPlay(SoundBufferRecord* record, int loop);
int SoundBufferStop(SoundBufferRecord* record);
int SoundBufferGetStatus(SoundBufferRecord* record, DWORD* status);
int SoundBufferLock(SoundBufferRecord* record, unsigned offset, unsigned bytes, void** first, DWORD* firstBytes,
                    void** second, DWORD* secondBytes);
int SoundBufferUnlock(SoundBufferRecord* record, void* first, DWORD firstBytes, void* second, DWORD secondBytes);
int SoundBufferSetFrequency(SoundBufferRecord* record, unsigned hz);
int SoundBufferSetPan(SoundBufferRecord* record, int pan);
int SoundBufferSetVolume(SoundBufferRecord* record, int volume);
int SoundBufferGetVolume(SoundBufferRecord* record, int* volume);
int SoundBufferGetCurrentPosition(SoundBufferRecord* record, DWORD* playCursor, DWORD* writeCursor);
int SoundBufferSetCurrentPosition(SoundBufferRecord* record, unsigned offset);
int MixSoundBuffer(SoundBufferRecord* record, int* count, MixFrame* out);
// The emulation's volume scale and pan from hundredths of a decibel, and back.
int EmulatedVolumeFromDecibels(int hundredths);
int EmulatedVolumeToDecibels(int scale);
int EmulatedPanFromDecibels(int hundredths);

// ---- decoders (sound_decoder.cpp and the decoder_*.cpp files) ----

enum SoundDecoderKind { SoundDecoderKindPCM = 0, SoundDecoderKindACM = 1, SoundDecoderKindOgg = 2 };

// Where an MP3 sound frame starts: its offset in the compressed data and its first
// sample frame.
struct Mp3FrameMark {
    int32_t offset;
    int32_t sample;
};

struct AcmDecoderState {
    WAVEFORMATEX* sourceFormat;
    HACMSTREAM mainStream;
    HACMSTREAM checkpointStream;
    uint8_t* compressedData;
    int32_t compressedSize;
    int32_t mainInputOffset;
    int32_t totalSamples;  // MP3: counted by the opener; -1 for compressed WAV
    int32_t checkpointInputOffset;
    int32_t checkpointOutputPosition;
    uint8_t* checkpointScratch;
    // MP3: every fourth sound frame, from the first, for seeks (owned); null otherwise.
    Mp3FrameMark* frameMarks;
    int32_t frameMarkCount;
};

struct SwrContext;

// The reader streams through the links of a chained file in order (it is opened without
// seeking); a link whose channels or rate differ from the first link's goes through a
// converter to the first link's format. Seeks reopen the reader when they go back and
// decode up to the target.
struct OggDecoderState {
    int32_t readerOpen;
    OggVorbis_File vorbisFile;
    int32_t bytesPerSample;
    int64_t streamStart;    // stream position of the file's first byte
    int32_t link;           // the link whose audio is being delivered
    SwrContext* converter;  // null while that link is in the output format
    int32_t linkBlockAlign; // bytes of one frame of that link's own PCM
    uint8_t* staging;       // the link's own PCM on its way to the converter (owned, blockSize)
    int32_t stagedBytes;    // PCM in `staging` not yet delivered or converted
    int32_t stagedLink;     // the link that PCM belongs to
    int32_t readerEnded;    // the reader has delivered its last PCM
    int64_t producedBytes;  // output bytes of the decode steps since the reader opened
    int64_t skipBytes;      // output bytes still to drop on the way to a seek's target
};

struct SoundDecoder {
    int32_t opened;
    int32_t endReached;
    SoundDecoderKind kind;
    StreamSource stream;
    int32_t fmtPosition;
    int32_t fmtSize;
    int32_t dataPosition;
    int32_t dataSize;
    WAVEFORMATEX format;
    union {
        AcmDecoderState acm;
        OggDecoderState ogg;
    } kindState;
    uint8_t* blockBuffer;
    int32_t blockSize;
    int32_t bytesLeft;
    int32_t readOffset;
    int32_t bytePosition;
    int32_t checkpointPosition;
};

struct SoundStreamSource {
    int8_t loopCount;  // repeats after the first play; -1 for ever
    int32_t dataKind;
    void* memoryCopy;
    void (*releaseCallback)(void* argument);
    void* releaseArgument;
    int32_t loopStartSample;
    SoundDecoder decoder;
};

int ReadSoundDecoder(SoundDecoder* decoder, void* destination, int bytes);
int SeekSoundDecoder(SoundDecoder* decoder, int sampleFrame);
int CloseSoundDecoder(SoundDecoder* decoder);
// Opens a decoder over a stream at its start: PCM WAV, compressed WAV, Ogg Vorbis, then
// MPEG audio are tried in that order. 0, or -1 (nothing kept, the stream not closed).
int OpenSoundDecoder(SoundDecoder* decoder, const StreamSource* stream, int checkpointPosition);
// The same with the kind openers given, tried in order (the stream rewound before each).
using SoundDecoderOpener = int (*)(SoundDecoder* decoder);
int OpenSoundDecoderWith(SoundDecoder* decoder, const StreamSource* stream, int checkpointPosition,
                         SoundDecoderOpener const* openers, int count);
int OpenSoundDecoderOgg16(SoundDecoder* decoder);  // 16-bit output

int OpenSoundDecoderPCM(SoundDecoder* decoder);
int DecodeSoundDecoderPCM(SoundDecoder* decoder);
int SeekSoundDecoderPCM(SoundDecoder* decoder, int sampleFrame);
int CloseSoundDecoderPCM(SoundDecoder* decoder);
int GetSoundDecoderSizePCM(SoundDecoder* decoder);
// The RIFF walk the WAV openers share: checks "RIFF", "WAVE" and a first "fmt " chunk;
// 0 with the body's size in *fmtSize and the stream at the body's first byte.
int ReadWaveHeader(SoundDecoder* decoder, int* fmtSize);
// Skips chunks up to "data": 0 with the stream at its first byte and the data fields set.
int FindWaveDataChunk(SoundDecoder* decoder);

struct Mp3FrameInfo {
    uint8_t layerIndex;  // 0 layer I, 1 layer II, 2 layer III
    uint8_t versionIndex;  // 0 MPEG-1, 1 MPEG-2
    uint8_t bitRateIndex;
    uint8_t sampleRateIndex;
    uint8_t paddingBit;
    uint8_t channels;
    uint32_t sampleRate;
    uint32_t bitRate;  // kbit/s
    uint32_t frameLength;
    uint32_t samplesPerFrame;
};

int ParseMp3FrameHeader(const uint8_t header[4], Mp3FrameInfo* info);
int OpenSoundDecoderACM(SoundDecoder* decoder);
int OpenSoundDecoderMP3(SoundDecoder* decoder);
int DecodeSoundDecoderACM(SoundDecoder* decoder);
int SeekSoundDecoderACM(SoundDecoder* decoder, int sampleFrame);
int CloseSoundDecoderACM(SoundDecoder* decoder);
int GetSoundDecoderSizeACM(SoundDecoder* decoder);
// Shared tail of the two ACM openers: suggest the PCM format, read the compressed data,
// open both streams and size the blocks. Releases everything on failure.
int FinishAcmDecoderOpen(SoundDecoder* decoder, bool mp3);
void ReleaseAcmDecoderState(AcmDecoderState* state);

size_t ReadStreamForOgg(void* buffer, size_t size, size_t count, void* source);
int SeekStreamForOgg(void* source, ogg_int64_t offset, int origin);
int CloseStreamForOgg(void* source);
long TellStreamForOgg(void* source);
int OpenSoundDecoderOgg(SoundDecoder* decoder, int bytesPerSample);
int DecodeSoundDecoderOgg(SoundDecoder* decoder);
int SeekSoundDecoderOgg(SoundDecoder* decoder, int sampleFrame);
int CloseSoundDecoderOgg(SoundDecoder* decoder);
// The converter of a link in `channels` and `rate` to the output format (8 or 16-bit as
// `bytesPerSample`), or null with a log line when the link cannot be converted.
SwrContext* CreateOggLinkConverter(int channels, long rate, const WAVEFORMATEX& output, int bytesPerSample);
void FreeOggLinkConverter(SwrContext** converter);
// Converts `frames` frames at `input` (null drains what the converter still holds at
// the link's end) into at most `room` frames at `output`: the frames written, or -1.
int ConvertOggLinkPcm(SwrContext* converter, const uint8_t* input, int frames, uint8_t* output, int room);
// The most input frames (at least 1) whose output, with what the converter holds,
// fits in `room` frames; 0 when what it holds fills `room` already.
int OggLinkInputFrames(SwrContext* converter, int room, int most);

// ---- handles (sound_handles.cpp) and the stream refill (stream_refill.cpp) ----

struct SoundHandleRecord {
    int check;
    SoundBufferRecord buffers[SoundBufferSetMax];
    WAVEFORMATEX streamFormat;
    int kind;
    int playType;
    ResourceHandle group;
    int sharers;
    ResourceHandle owner;
    int deletePending;
    int bufferSize;
    int writePosition;
    int windowStart;
    SoundStreamSource sources[StreamSourceMax];
    uint8_t sourceStreamOwned[StreamSourceMax];
    int sourceCount;
    // refill state
    int currentSource;
    int repeatsDone;
    int bytesRead;
    int playedBytes;
    unsigned lastPlayPosition;
    uint8_t active;
    uint8_t endWritten;
    uint8_t markPending;
    uint8_t endReached;
    unsigned endOffset;
    unsigned endReference;  // the play cursor when the end was written
    unsigned markOffset;
    LinkNode listNode;
    void* waveMemory;
    int bufferCount;
};

struct StreamLockRegion {
    unsigned startOffset;
    uint8_t* first;
    DWORD firstLength;
    uint8_t* second;
    DWORD secondLength;
    DWORD firstWritten;
    DWORD secondWritten;
    DWORD firstLeft;
    DWORD secondLeft;
};

// The record behind a valid sound handle, or null.
SoundHandleRecord* GetSoundHandleRecord(ResourceHandle handle);
// A new empty record in a free slot (kind, group and owner set as for a new sound: group
// and owner -1, write position StreamNotStarted); the handle, or -1.
ResourceHandle AddSoundHandle(void);
int CreateSoundBufferSet(const WAVEFORMATEX* format, unsigned bytes, int kind, int count, ResourceHandle handle);
int GetSoundHandleBuffer(ResourceHandle handle, SoundHandleRecord* record, SoundBufferRecord** buffer,
                         uint8_t takeOver);
int AlignToStreamBlock(int bytes, const SoundHandleRecord* record);
int AlignToFormatBlock(int bytes, const WAVEFORMATEX* format);
int StopStreamSound(ResourceHandle handle);
int StopSoundHandle(ResourceHandle handle);
int DeleteSoundHandle(ResourceHandle handle, int unused = 0);
int DeleteAllSoundHandles(int argument = 0);

int RefillStreamSound(ResourceHandle handle);
int UpdateStreamPlayCounter(ResourceHandle handle, unsigned position);
void FillStreamSilence(SoundHandleRecord* record, StreamLockRegion* region, unsigned bytes);
int ReadStreamIntoLock(StreamLockRegion* region, SoundDecoder* decoder, unsigned bytes);
int AdvanceStreamSource(SoundHandleRecord* record, StreamLockRegion* region, unsigned reference);

// ---- the device (sound_device.cpp) ----

struct SoundDeviceState {
    IDirectMusicLoader8* loader;
    IDirectMusicPerformance8* performance;
    IDirectSound* directSound;
    IDirectSoundBuffer* primaryBuffer;
    LinkNode streamHead;
    LinkNode streamTail;
    IDirectSoundBuffer* silentBuffer;
    int mode;
    SoundHandleRecord* handles[SoundHandleMax];
    int handleCount;
    int highWater;
    int masterVolume;
    int softwareBuffers;
    int nextCheck;  // the check number the next new handle gets
};
extern SoundDeviceState SoundDeviceStateRecord;

int LogSoundDriverEntry(GUID* guid, const char* description, const char* module, void* context);

// ---- music (music.cpp) and capture (sound_capture.cpp) ----

struct MusicHandleRecord {
    int32_t check;
    int32_t playing;
    int32_t startSeen;
    void* midiMemory;
    int32_t midiMemorySize;
    IDirectMusicSegment8* segment;
};

struct MusicState {
    MusicHandleRecord* musicHandles[MusicHandleMax];
    int32_t musicHandleCount;
    int32_t musicHighWater;
    int32_t mciPlaying;
    char tempMidiPath[260];
    UINT mciDeviceId;
    int32_t midiLoop;
    int32_t tempMidiFileExists;
    int32_t keptHandle;
    int32_t keptHandleIsSound;
    int32_t nextCheck;
};
extern MusicState MusicStateRecord;

MusicHandleRecord* GetMusicHandleRecord(ResourceHandle handle);
// A new record in a free slot for a standard MIDI file: a copy of the data (DirectSound
// mode) or a segment loaded from it (DirectMusic mode); the handle, or -1.
ResourceHandle AddMusicHandle(const void* midi, int bytes);
// Plays a music handle from its start, repeating it for ever when `loop` is set: through
// MCI from the temporary file (DirectSound mode) or as the performance's segment
// (DirectMusic mode); 0 or -1.
int PlayMusicHandle(ResourceHandle handle, int loop);
int DeleteMusicHandle(ResourceHandle handle);
int StopMusicHandle(ResourceHandle handle);
int CheckMusicPlaying(ResourceHandle handle);
int DeleteAllMusicHandles(void);

struct SoundCaptureState {
    int32_t captureActive;
    int32_t captureSampleCount;
    HANDLE captureFile;
};
extern SoundCaptureState SoundCaptureStateRecord;
int CloseSoundCaptureFile(void);
// Opens a capture file with the header space reserved; 0 or -1.
int OpenSoundCaptureFile(const char* path);
// Appends stereo 16-bit frames to the open capture; 0 or -1.
int WriteSoundCaptureFrames(const MixFrame* frames, int count);
