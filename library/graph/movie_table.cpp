// movie_table.cpp - the movie table: opening a movie into a new record, closing it with
// its graph, running and pausing, and releasing and re-opening every movie around a
// device loss (see movie.h).
#include "library/core/log.h"
#include "library/graph/graph_handles.h"
#include "library/graph/movie.h"
#include "platform/movies/dshow.h"

namespace {

void* MovieSlots[MovieCapacity];

// The movie of a graph: null with *result 0 for a graph without one, null with -1
// for a refused graph or movie handle.
MovieRecord* MovieOfGraph(int graph, int* result) {
    const GraphRecord* record = GetGraphRecord(graph);
    *result = record == nullptr ? -1 : 0;
    if (record == nullptr || record->movieHandle == -1) return nullptr;
    MovieRecord* movie = GetMovieRecord(record->movieHandle);
    if (movie == nullptr) *result = -1;
    return movie;
}

MovieRecord* MovieInSlot(int slot) { return static_cast<MovieRecord*>(MovieSlots[slot]); }

// Calls step for every graph below the high-water mark that shows a movie.
void ForEachMovieGraph(int (*step)(int graph)) {
    for (int slot = 0; slot < GraphTable.highWater; slot++) {
        const int graph = HandleOfSlot(&GraphTable, slot);
        if (graph != -1 && GetGraphRecord(graph)->movieHandle != -1) step(graph);
    }
}

}  // namespace

HandleTable MovieTable = MakeHandleTable(MovieSlots, HandleKindMovie, MovieCapacity, HandleSlotFirstFree, 0);
int MovieAlphaOption;

MovieRecord* GetMovieRecord(int movie) { return static_cast<MovieRecord*>(LookupHandleRecord(&MovieTable, movie)); }

int OpenMovieToGraph(const char* fileName, int* width, int* height, int mode) {
    void* block = nullptr;
    const int slot = ReserveHandleSlot(&MovieTable, sizeof(MovieRecord), &block);
    if (slot == HandleTableFull) return -1;
    if (slot == HandleRecordNoMemory) return WriteLogText("メモリの確保に失敗しました in OpenMovieToGraph");
    MovieRecord* movie = static_cast<MovieRecord*>(block);
    movie->alphaMovieFlag = MovieAlphaOption;
    movie->tempCopyFlag = 0;
    movie->ownerGraph = -1;
    if (OpenMovieFile(movie, fileName, width, height, mode) < 0) {
        CancelHandleSlot(&MovieTable, slot);
        return WriteLogText("ムービーファイルオープン処理時にエラーが発生しました");
    }
    movie->playing = 0;
    return CommitHandleSlot(&MovieTable, slot);
}

// The stream objects go before the temporary copy, so nothing holds the file that is
// removed.
int CloseMovie(int movieHandle) {
    MovieRecord* movie = GetMovieRecord(movieHandle);
    if (movie == nullptr) return -1;
    ReleaseMovieStreamObjects(movie);
    FreeMovieFrameStore(movie);
    DeleteMovieTempCopy(movie);
    return DeleteHandleRecord(&MovieTable, movieHandle);
}

int CloseMovieHandle(int graph) {
    int result;
    if (MovieOfGraph(graph, &result) == nullptr) return result;
    GraphRecord* record = GetGraphRecord(graph);
    CloseMovie(record->movieHandle);
    record->movieHandle = -1;
    return 0;
}

int RunGraphMovieStream(int graph) {
    int result;
    MovieRecord* movie = MovieOfGraph(graph, &result);
    if (movie == nullptr) return result;
    if (movie->sampleSurface != nullptr && !movie->playing) {
        MultiMediaStreamSetState(movie->stream, STREAMSTATE_RUN);
        movie->playing = 1;
    }
    return 0;
}

int PauseGraphMovieStream(int graph) {
    int result;
    MovieRecord* movie = MovieOfGraph(graph, &result);
    if (movie == nullptr) return result;
    if (movie->sampleSurface != nullptr && movie->playing) {
        FilterGraphPause(movie->filterGraph);
        movie->playing = 0;
    }
    return 0;
}

int RunAllGraphMovieStreams(void) {
    ForEachMovieGraph(RunGraphMovieStream);
    return 0;
}

int PauseAllGraphMovieStreams(void) {
    ForEachMovieGraph(PauseGraphMovieStream);
    return 0;
}

int ReleaseAllMovieObjects(void) {
    for (int slot = 0; slot < MovieCapacity; slot++) {
        MovieRecord* movie = MovieInSlot(slot);
        if (movie == nullptr || movie->sampleSurface == nullptr) continue;
        MultiMediaStreamGetTime(movie->stream, &movie->savedTime);
        ReleaseMovieStreamObjects(movie);
    }
    return 0;
}

// A movie that cannot be opened again stays released and stopped; the others are
// opened all the same.
int ReopenAllMovies(void) {
    int result = 0;
    for (int slot = 0; slot < MovieCapacity; slot++) {
        MovieRecord* movie = MovieInSlot(slot);
        if (movie == nullptr || movie->sampleSurface != nullptr) continue;
        if (OpenMovieFile(movie, movie->fileName, nullptr, nullptr, movie->mode) < 0) {
            movie->playing = 0;
            result = -1;
            continue;
        }
        MultiMediaStreamSeek(movie->stream, movie->savedTime);
        if (movie->playing) MultiMediaStreamSetState(movie->stream, STREAMSTATE_RUN);
    }
    return result;
}

int RestoreMovieSurfaces(int) { return 0; }
