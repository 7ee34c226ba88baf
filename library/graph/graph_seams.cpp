// graph_seams.cpp - the mask screen and movies in graphs as a library has them before
// they are built; that work replaces this file. No mask screen is ever created, so
// the mask cannot be switched on and its bracket steps have nothing to save or apply;
// the movie layer opens nothing (as without a movie service), so no graph has a movie.
#include "library/graph/mask_screen.h"
#include "library/graph/movie.h"

int DeleteMaskScreen(void) { return 0; }
int DeleteAllMaskData(void) { return 0; }
int ReleaseMaskScreenObjects(void) { return 0; }
int RecreateMaskScreenObjects(void) { return 0; }
int EnableMaskScreen(int) { return -1; }
int IsMaskScreenEnabled(void) { return 0; }
int IsMaskScreenCreated(void) { return 0; }
MEMIMG* GetMaskScreenMemImg(void) { return nullptr; }
IDirectDrawSurface7* GetMaskScreenSurface(void) { return nullptr; }
int SaveMaskTargetArea(int, int, int, int, IDirectDrawSurface7*, const GraphImage*) { return 0; }
int ApplyMaskToTargetArea(int, int, int, int, IDirectDrawSurface7*, GraphImage*) { return 0; }

int OpenMovieToGraph(const char*, int*, int*, int) { return -1; }
int CloseMovieHandle(int) { return 0; }
MovieRecord* GetMovieRecord(int) { return nullptr; }
int UpdateMovieFrame(int, int) { return 0; }
int UpdateMovieOverlay(int, int, int, MovieRecord*, int) { return 0; }
int RunAllGraphMovieStreams(void) { return 0; }
int PauseAllGraphMovieStreams(void) { return 0; }
int ReleaseAllMovieObjects(void) { return 0; }
int ReopenAllMovies(void) { return 0; }
int RestoreMovieSurfaces(int) { return 0; }
