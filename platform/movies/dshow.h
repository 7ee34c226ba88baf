// dshow.h - movie streams: the multimedia-stream services that movies in graphs use.
//
// A movie is opened as a multimedia stream on a filter graph; its primary video stream
// hands out stream samples, and each update of a sample converts the frame due at the
// stream's current time into the sample's surface, in the pixel format the caller gave
// that surface. An asynchronous update returns MS_S_PENDING at once and signals an
// event when the frame is in the surface; the event is polled without blocking. The
// audio track plays on the default audio output (SDL2 audio) and is the master clock;
// without an audio track or an audio device the stream runs on the platform clock.
//
// Backed by FFmpeg (libavformat, libavcodec, libswscale, libswresample) with one
// decoding thread per open stream. Only movie containers are accepted: AVI, MPEG
// program and transport streams, ASF, QuickTime/MP4, Matroska/WebM and Ogg, each with
// a video stream of non-zero size; any other file (an image, a damaged image, a text)
// fails to open. Sample surfaces are memory surfaces of this layer: the caller picks
// their size and pixel format (16, 24 or 32 bits, any RGB masks, or 8-bit palette
// indices of a palette the caller sets), locks them and copies the frame out; they do
// not depend on the display layer.
//
// Objects are reference counted: each Create/Get call that returns an object gives the
// caller one reference, released with the matching ...Release call. A sample keeps its
// media stream and surface alive; the filter graph and the multimedia stream share the
// playback behind them, which ends (thread joined, audio closed) with the last of them.
// All calls are safe from any thread.
//
// How opening a movie into a graph and updating it map onto these calls:
//
//   opening, step 1  mode adjustment                    (display layer, no call here)
//   step 2   create the filter graph                    CreateFilterGraph
//            create the multimedia stream               CreateMultiMediaStream
//   step 3   initialise for reading, no graph thread    MultiMediaStreamInitialize(STREAMTYPE_READ,
//                                                         AMMSF_NOGRAPHTHREAD, graph)
//            media control of the graph                 no call: the graph is its own media control
//            DirectDraw object query                    no call: samples need no display object
//   step 4   add the primary video stream               MultiMediaStreamAddMediaStream(MSPID_PrimaryVideo, 0)
//            add the primary audio stream with the      MultiMediaStreamAddMediaStream(MSPID_PrimaryAudio,
//              default renderer                           AMMSF_ADDDEFAULTRENDERER)
//   step 5   open the file by name                      MultiMediaStreamOpenFile(name, 0): the name is
//                                                         the library's (Shift-JIS, '\' or '/', drive
//                                                         letter, any case); no UTF-16 conversion needed.
//                                                         On failure the stream stays ready for the
//                                                         same call on the library's temporary copy
//   step 6   media seeking and basic audio              no call: the graph answers for both
//            stop position                              FilterGraphGetStopPosition
//   step 7   the primary video stream                   MultiMediaStreamGetMediaStream(MSPID_PrimaryVideo)
//            its AM and DirectDraw media-stream views   no call: one MediaStream object serves all three
//   step 8   frame size                                 MediaStreamGetFormat (zero size cannot happen:
//                                                         OpenFile refuses such files)
//            create the sample surface                  CreateSampleSurface(width, height, pixel format):
//                                                         24-bit RGB for mode 2, the screen's or the
//                                                         software image's format for mode 0; on an
//                                                         8-bit screen SampleSurfaceSetPalette hands
//                                                         it the screen palette (again before each
//                                                         update, so that it follows changes)
//   step 9   create the sample on the surface           MediaStreamCreateSample(surface, NULL, 0);
//                                                         a format this layer cannot write gives
//                                                         MS_E_INCOMPATIBLE, and with no surface the
//                                                         stream makes its own (XRGB8888)
//            release the local surface reference        SampleSurfaceRelease
//   step 10  the sample's surface and rectangle         StreamSampleGetSurface
//            surface capabilities (system memory)       SampleSurfaceGetDesc -> inSystemMemory (always 1)
//   step 11  surface interface and description          SampleSurfaceGetDesc -> pixel format for the
//                                                         ColorFormat; the frame buffer is the library's
//   step 12  frame event (manual reset, not signalled)  CreateEventA(NULL, TRUE, FALSE, NULL) (kernel.h)
//            time per frame                             MediaStreamGetTimePerFrame
//
//   update, step 2   stream state                       MultiMediaStreamGetState
//   step 4           poll the frame event (wait 0)      WaitForSingleObject(event, 0) == WAIT_OBJECT_0
//   step 5           start an update                    StreamSampleUpdate(sample, 0, NULL) synchronous,
//                                                         StreamSampleUpdate(sample, SSUPDATE_ASYNC, event)
//                                                         asynchronous: MS_S_PENDING (0x40001) pending;
//                                                         S_OK a frame; MS_S_ENDOFSTREAM, MS_E_NOTRUNNING
//                                                         or any failure: the movie has stopped
//   step 6           lock, copy the rows, unlock        SampleSurfaceLock / SampleSurfaceUnlock (the
//                                                         lock waits while a frame is being written)
//                    reset the frame event              ResetEvent
//   run              set the stream running             MultiMediaStreamSetState(STREAMSTATE_RUN)
//   pause            pause the media control            FilterGraphPause
//   release all      current stream time                MultiMediaStreamGetTime
//                    release every object               MediaStreamRelease, StreamSampleRelease,
//                                                         SampleSurfaceRelease, MultiMediaStreamRelease,
//                                                         FilterGraphRelease (in any order)
//   reopen all       open again, seek to the saved time MultiMediaStreamSeek after the opening steps
//   close            close the frame event              CloseHandle
//
// Times are stream times in 100 ns units, counted from the start of the movie. The
// stream clock reads the platform's high-resolution counter (clock.h), so the virtual
// clock of the tests drives it.
#pragma once

#include "platform/ddraw/ddraw_types.h"
#include "platform/kernel/kernel.h"
#include "platform/wintypes.h"

// Stream time: 100 ns units.
using STREAM_TIME = LONGLONG;

enum STREAM_TYPE { STREAMTYPE_READ = 0 };
enum STREAM_STATE { STREAMSTATE_STOP = 0, STREAMSTATE_RUN = 1 };

// The purpose of a media stream within a multimedia stream.
enum MediaPurposeId { MSPID_PrimaryVideo = 0, MSPID_PrimaryAudio = 1 };

// MultiMediaStreamInitialize flag: the caller drives the stream (no graph thread of its own).
#define AMMSF_NOGRAPHTHREAD 0x00000001u
// MultiMediaStreamAddMediaStream flag: play the stream through the default renderer.
#define AMMSF_ADDDEFAULTRENDERER 0x00000001u
// MediaStreamCreateSample flag: the surface may be drawn while it fills (accepted, no effect).
#define DDSFF_PROGRESSIVERENDER 0x00000001u
// StreamSampleUpdate flag: return at once and signal the event when the frame is in place.
#define SSUPDATE_ASYNC 0x00000001u

// Results of the stream calls.
#define MS_S_PENDING static_cast<HRESULT>(0x00040001)           // update started, not finished
#define MS_S_ENDOFSTREAM static_cast<HRESULT>(0x00040003)       // no frame left
#define MS_E_PURPOSEID static_cast<HRESULT>(0x80040402u)        // unknown media stream purpose
#define MS_E_NOSTREAM static_cast<HRESULT>(0x80040403u)         // no stream of that purpose
#define MS_E_INCOMPATIBLE static_cast<HRESULT>(0x80040405u)     // surface the stream cannot fill
#define MS_E_BUSY static_cast<HRESULT>(0x80040406u)             // an update of the sample is pending
#define MS_E_NOTINIT static_cast<HRESULT>(0x80040407u)          // not initialised or no file open
#define MS_E_SOURCEALREADYDEFINED static_cast<HRESULT>(0x80040408u)  // stream already added / file already open
#define MS_E_NOTRUNNING static_cast<HRESULT>(0x8004040Au)       // update on a stream that is not running
#define REGDB_E_CLASSNOTREG static_cast<HRESULT>(0x80040154u)   // the media service is not available
#define VFW_E_INVALID_FILE_FORMAT static_cast<HRESULT>(0x8004022Fu)  // a container, but damaged
#define VFW_E_UNKNOWN_FILE_TYPE static_cast<HRESULT>(0x80040240u)    // not a movie container
#define VFW_E_UNSUPPORTED_STREAM static_cast<HRESULT>(0x80040265u)   // no playable video stream
#define MOVIE_E_FILE_NOT_FOUND static_cast<HRESULT>(0x80070002u)     // no such file
#define MOVIE_E_ACCESS_DENIED static_cast<HRESULT>(0x80070005u)      // file not readable

// Largest frame side accepted; larger movies are refused as unsupported.
#define MOVIE_MAX_FRAME_SIDE 4096

struct FilterGraph;       // the graph: also its media control and media seeking
struct MultiMediaStream;  // the movie opened for reading
struct MediaStream;       // the primary video stream of a multimedia stream
struct StreamSample;      // a frame slot on a sample surface
struct SampleSurface;     // a memory surface that receives frames

// Size and pixel format of a sample surface (or of a video stream's frames).
struct SampleSurfaceDesc {
    DWORD width;
    DWORD height;
    LONG pitch;              // bytes per row, a multiple of 4 (filled in by the layer)
    DDPIXELFORMAT format;    // DDPF_RGB with 16, 24 or 32 bits and contiguous masks, or
                             // DDPF_PALETTEINDEXED8 with 8 bits
    BOOL inSystemMemory;     // always TRUE
};

// Objects and their setup.
HRESULT CreateFilterGraph(FilterGraph** graph);
HRESULT CreateMultiMediaStream(MultiMediaStream** stream);
HRESULT MultiMediaStreamInitialize(MultiMediaStream* stream, STREAM_TYPE type, DWORD flags,
                                   FilterGraph* graph);
HRESULT MultiMediaStreamAddMediaStream(MultiMediaStream* stream, MediaPurposeId purpose, DWORD flags);
// Opens a movie file by the library's name. Fails with MOVIE_E_FILE_NOT_FOUND,
// MOVIE_E_ACCESS_DENIED, VFW_E_UNKNOWN_FILE_TYPE (not a movie container),
// VFW_E_UNSUPPORTED_STREAM (no video stream of non-zero size that can be decoded) or
// VFW_E_INVALID_FILE_FORMAT; a failed open leaves the stream ready for another try.
HRESULT MultiMediaStreamOpenFile(MultiMediaStream* stream, const char* name, DWORD flags);
HRESULT MultiMediaStreamGetMediaStream(MultiMediaStream* stream, MediaPurposeId purpose,
                                       MediaStream** media);
ULONG FilterGraphRelease(FilterGraph* graph);
ULONG MultiMediaStreamRelease(MultiMediaStream* stream);
ULONG MediaStreamRelease(MediaStream* media);

// Playback. Stopped streams keep their position; running continues from it.
HRESULT MultiMediaStreamGetState(MultiMediaStream* stream, STREAM_STATE* state);
HRESULT MultiMediaStreamSetState(MultiMediaStream* stream, STREAM_STATE state);
HRESULT FilterGraphPause(FilterGraph* graph);   // freezes the stream; its state reads STOP
HRESULT MultiMediaStreamGetTime(MultiMediaStream* stream, STREAM_TIME* time);
HRESULT MultiMediaStreamSeek(MultiMediaStream* stream, STREAM_TIME time);
HRESULT FilterGraphGetStopPosition(FilterGraph* graph, LONGLONG* stop);   // the movie's length

// The video stream.
HRESULT MediaStreamGetFormat(MediaStream* media, SampleSurfaceDesc* format);
HRESULT MediaStreamGetTimePerFrame(MediaStream* media, STREAM_TIME* timePerFrame);
// surface: none = the stream makes an XRGB8888 surface of the frame size. rect: none =
// the whole surface; otherwise it must lie inside the surface and have the frame size.
HRESULT MediaStreamCreateSample(MediaStream* media, SampleSurface* surface, const RECT* rect,
                                DWORD flags, StreamSample** sample);

// Samples. Update flags: 0 (wait for the frame) or SSUPDATE_ASYNC. The event (a kernel
// event, CreateEventA), if any, is reset when the update starts; an update that returned
// MS_S_PENDING sets it when it finishes, whatever the outcome (see
// StreamSampleCompletionStatus). A synchronous update ends with MS_E_NOTRUNNING when the
// stream is stopped or paused meanwhile.
HRESULT StreamSampleUpdate(StreamSample* sample, DWORD flags, HANDLE event);
// The outcome of the last update: MS_S_PENDING while it runs, then its result.
HRESULT StreamSampleCompletionStatus(StreamSample* sample);
HRESULT StreamSampleGetSurface(StreamSample* sample, SampleSurface** surface, RECT* rect);
ULONG StreamSampleRelease(StreamSample* sample);

// Sample surfaces: width and height 1..MOVIE_MAX_FRAME_SIDE, an RGB pixel format of 16,
// 24 or 32 bits or 8-bit palette indices. desc->pitch and desc->inSystemMemory are
// ignored on input.
HRESULT CreateSampleSurface(const SampleSurfaceDesc* desc, SampleSurface** surface);
HRESULT SampleSurfaceGetDesc(SampleSurface* surface, SampleSurfaceDesc* desc);
// The 256 entries a palette surface's indices stand for (all black until set). Each
// frame pixel becomes the index of the entry nearest to its colour taken to 15 bits (5
// bits a channel, widened back as the layer widens them): nearest by the sum of the
// squared channel differences, the lowest index on a tie. Frames written after the
// call use the new entries; setting the same entries again costs nothing.
// E_INVALIDARG for a surface of another format.
HRESULT SampleSurfaceSetPalette(SampleSurface* surface, const PALETTEENTRY* entries);
HRESULT SampleSurfaceLock(SampleSurface* surface, void** bits, LONG* pitch);
HRESULT SampleSurfaceUnlock(SampleSurface* surface);
ULONG SampleSurfaceRelease(SampleSurface* surface);
