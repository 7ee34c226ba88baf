// movie.h - movies played into graphs.
//
// A movie lives in a MovieRecord addressed by a MovieHandle kept in its graph's
// record. Until movies are built the routines in graph_seams.cpp describe a library
// whose movie layer cannot open anything.
#pragma once

#include "library/graph/movie_record.h"

int OpenMovieToGraph(const char* fileName, int* width, int* height, int mode);  // MovieHandle or -1
int CloseMovieHandle(int graph);  // 0 (no movie too), -1 for an invalid graph or movie
MovieRecord* GetMovieRecord(int movie);
int UpdateMovieFrame(int graph, int synchronous);
int UpdateMovieOverlay(int x, int y, int scale, MovieRecord* movie, int show);
int RunAllGraphMovieStreams(void);
int PauseAllGraphMovieStreams(void);
int ReleaseAllMovieObjects(void);
int ReopenAllMovies(void);
// Restores the movie's DirectDraw surfaces that report themselves lost; 0.
int RestoreMovieSurfaces(int movie);
