// graph_handles.h - the table of graph handles: making, looking up, deleting and
// deriving graphs, and copying decoded pixels into them.
//
//     int graph = CreateGraphOfSize(32, 32, 1, 0, 0);         // storage made, pixels undefined
//     TransferImageToGraph(nullptr, 0, 0, nullptr, 0, &image, nullptr, 0, 0, graph, 0);
//     int cell = DeriveSubGraphCore(8, 0, 8, 8, graph);       // shares graph's pixels
//     DeleteGraphHandle(graph, 0);                            // cell keeps the storage alive
//
// Handles are ResourceHandles of kind HandleKindGraph (32768 slots): the first graph
// after start-up is 0x08000000. The check-number counter runs on across graph-manager
// restarts, so a handle from before a screen-mode change is refused afterwards.
#pragma once

#include "library/core/handle_table.h"
#include "library/graph/graph_image.h"
#include "library/graph/graph_record.h"
#include "platform/wintypes.h"

enum { GraphCapacity = 32768 };

extern HandleTable GraphTable;

// A new record of the given size and options, without storage. Ends the process when
// the table is full or the record cannot be allocated.
int AddGraphHandle(int width, int height, int hardwareRequest, GraphRecord** record, int alphaFlag, int paletteFlag);
int GetGraphRecordHandle(const GraphRecord* record);

// A graph with storage (textures or a 2D surface); -1 after a log line when the
// storage cannot be made.
int CreateGraphOfSize(int width, int height, int hardwareRequest, int alphaFlag, int paletteFlag);
int CreateBlankGraph(int width, int height, int not3D);

int DeleteGraphHandle(int graph, int logFlag);  // 0, -1 for a refused handle
int DeleteAllGraphHandles(int logFlag);         // 0
int SetGraphLostFlagPointer(int graph, int* lostFlag);

// Copies the image (and the alpha image) into the graph's pieces, the graph's (0, 0)
// taken at (sourceX, sourceY) of the image; remembers the file and the position for
// reloading. The bitmap source is not used (callers pass null). 0 or -1.
int TransferImageToGraph(const void* bitmap, int unused1, int unused2, const char* fileName, int unused3,
                         const GraphImage* image, const GraphImage* alphaImage, int sourceX, int sourceY, int graph,
                         int mirrorFlag);
// The same for a rectangle of the image (two 16-bit coordinates per corner are enough),
// written at (destX, destY) of the graph.
int TransferImageToGraphRect(const void* bitmap, int unused1, int unused2, const char* fileName, int unused3,
                             const GraphImage* image, const GraphImage* alphaImage, const RECT* sourceRect,
                             int destX, int destY, int graph, int mirrorFlag);

// A graph showing the rectangle of the parent (cut to the parent), sharing its pixels.
int DeriveSubGraphCore(int sourceX, int sourceY, int width, int height, int parent);
