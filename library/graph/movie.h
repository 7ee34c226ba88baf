// movie.h - movies played into graphs.
//
// The loader opens a file that no image decoder takes as a movie; the movie then lives
// in a MovieRecord of the movie table, and its handle is kept in the graph's record.
// Drawing the graph brings the movie's newest frame into the graph's pixels, at most
// once per presented frame unless 18 ms have passed:
//
//     int width, height;
//     int movie = OpenMovieToGraph("clip.avi", &width, &height, MovieModeFrameCopy);
//     ... a graph of width x height gets movie as its movie handle ...
//     RunGraphMovieStream(graph);
//     UpdateMovieFrame(graph, 0);      // each draw: takes a finished frame, asks for the next
//     CloseMovieHandle(graph);         // when the graph is deleted
//
// Frames are fetched asynchronously: an update of the stream sample is started, its
// frame event is polled without waiting on later draws, and once it is set the frame
// is copied and the next update starts at once, so decoding runs while the game works.
// A file that cannot be opened by name (one inside an archive) is copied through the
// file layer into a temporary file, which is removed again when the movie closes or
// fails to open. Around a device loss the stream objects are released (keeping the
// stream time) and opened again at that time.
//
// MovieHandle: slot | check << 16 | 0x18000000 (HandleKindMovie), 100 slots, the first
// free slot taken.
#pragma once

#include "library/core/handle_table.h"
#include "library/graph/movie_record.h"

enum { MovieCapacity = 100, MovieRefreshMilliseconds = 18, MovieCopyChunkBytes = 0x100000 };

extern HandleTable MovieTable;
// Copied into each new record's alpha-movie flag (nothing in the program sets it).
extern int MovieAlphaOption;

int OpenMovieToGraph(const char* fileName, int* width, int* height, int mode);  // MovieHandle or -1
// The opening steps on a zeroed (or released) record: 0, or -1 after logging with
// nothing of the record's objects left.
int OpenMovieFile(MovieRecord* movie, const char* fileName, int* width, int* height, int mode);
int CloseMovieHandle(int graph);  // 0 (no movie too), -1 for an invalid graph or movie
int CloseMovie(int movie);        // a movie no graph holds yet; 0, -1 for an invalid handle
MovieRecord* GetMovieRecord(int movie);
int UpdateMovieFrame(int graph, int synchronous);  // 0, -1 for invalid handles
int UpdateMovieOverlay(int x, int y, int scale, MovieRecord* movie, int show);
int RunGraphMovieStream(int graph);    // 0 (no movie too), -1 for invalid handles
int PauseGraphMovieStream(int graph);
int RunAllGraphMovieStreams(void);
int PauseAllGraphMovieStreams(void);
int ReleaseAllMovieObjects(void);
int ReopenAllMovies(void);  // 0, or -1 when a movie could not be opened again
// Restores the movie's lost surfaces; the movie layer's sample surfaces live in memory
// and are never lost, so there is nothing to do. 0.
int RestoreMovieSurfaces(int movie);

// For the movie code: releases the record's stream objects (the frame buffer, the
// event and the name stay); frees the frame buffer and closes the frame event;
// removes the record's temporary copy, if it has one.
void ReleaseMovieStreamObjects(MovieRecord* movie);
void FreeMovieFrameStore(MovieRecord* movie);
void DeleteMovieTempCopy(MovieRecord* movie);
