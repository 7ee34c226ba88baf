// surface2d_graph.cpp - a graph's pieces: giving a graph its 2D surface (its own or
// one shared with its parent), deleting them, and the loops that transfer images into
// them and restore them (see surface2d.h).
#include <algorithm>

#include "library/display/surface2d.h"
#include "library/display/surface_data.h"
#include "library/graph/graph_record.h"

SurfaceDataSettings GraphSurfaceSettings(const GraphRecord* graph) {
    return SurfaceDataSettings{graph->hardwareFlag,   graph->alphaChannelFlag, graph->drawValidFlag,
                               graph->memImgFlag,     graph->alphaTestFlag,    graph->colorBitDepth,
                               uint8_t(graph->creationOption), graph->paletteFlag};
}

namespace {

int PieceCount(const GraphRecord* graph) { return std::clamp(graph->pieceCount, 0, int(GraphPieceCapacity)); }

}  // namespace

int CreateGraphSurface2D(GraphRecord* graph) {
    if (!IsDisplayStarted()) return -1;
    const SurfaceDataSettings settings = GraphSurfaceSettings(graph);
    graph->pieceCount = 0;
    graph->pieces[0] = AddSurface2D(graph->width, graph->height, 0, 0, graph->handle, nullptr, 0, 0, &settings);
    if (graph->pieces[0] == -1) return -1;
    graph->pieceCount = 1;
    return 0;
}

// The rectangle is taken in the parent graph and placed at the parent piece's own
// position in the shared storage, so a graph derived from a derived graph shows the
// pixels it names; it must lie inside the parent.
int CreateGraphSurface2DShared(GraphRecord* graph, int sourceX, int sourceY, int width, int height,
                               const GraphRecord* parent) {
    if (!IsDisplayStarted() || parent->pieceCount < 1) return -1;
    const Surface2DRecord* parentPiece = LookupSurface2D(parent->pieces[0]);
    EndSurface2DAccess();
    if (parentPiece == nullptr) return -1;
    if (sourceX < 0 || sourceY < 0 || width < 1 || height < 1 || int64_t(sourceX) + width > parentPiece->width ||
        int64_t(sourceY) + height > parentPiece->height) {
        return -1;
    }
    const SurfaceDataSettings settings = GraphSurfaceSettings(graph);
    graph->pieceCount = 0;
    graph->pieces[0] = AddSurface2D(width, height, 0, 0, graph->handle, parentPiece, parentPiece->sourceX + sourceX,
                                    parentPiece->sourceY + sourceY, &settings);
    if (graph->pieces[0] == -1) return -1;
    graph->pieceCount = 1;
    return 0;
}

int DeleteGraphSurface2D(GraphRecord* graph) {
    if (!IsDisplayStarted()) return -1;
    int result = 0;
    for (int i = 0; i < PieceCount(graph); i++) result |= DeleteSurface2D(graph->pieces[i]);
    graph->pieceCount = 0;
    return result;
}

int TransferImageToGraphSurfaces(int imageX, int imageY, GraphRecord* graph, const GraphImage* image,
                                 const GraphImage* alphaImage) {
    if (!IsDisplayStarted()) return -1;
    for (int i = 0; i < PieceCount(graph); i++) {
        const Surface2DRecord* piece = LookupSurface2D(graph->pieces[i]);
        EndSurface2DAccess();
        if (piece == nullptr ||
            TransferImageToSurface2D(imageX + piece->xInGraph, imageY + piece->yInGraph, graph->pieces[i], image,
                                     alphaImage) == -1) {
            return -1;
        }
    }
    return 0;
}

int TransferImageRectToGraphSurfaces(const RECT* sourceRect, int destX, int destY, GraphRecord* graph,
                                     const GraphImage* image, const GraphImage* alphaImage) {
    if (!IsDisplayStarted()) return -1;
    const int64_t width = int64_t(sourceRect->right) - sourceRect->left;
    const int64_t height = int64_t(sourceRect->bottom) - sourceRect->top;
    for (int i = 0; i < PieceCount(graph); i++) {
        const Surface2DRecord* piece = LookupSurface2D(graph->pieces[i]);
        EndSurface2DAccess();
        if (piece == nullptr) return -1;
        const int64_t px = piece->xInGraph, py = piece->yInGraph, pw = piece->width, ph = piece->height;
        if (!(destX + width > px && destX < px + pw && destY + height > py && destY < py + ph)) continue;

        // The part of the rectangle that falls on this piece, and where it starts in it.
        RECT part = *sourceRect;
        int64_t column = destX - px, row = destY - py;
        if (destX < px) {
            part.left += LONG(px - destX);
            column = 0;
        }
        if (destY < py) {
            part.top += LONG(py - destY);
            row = 0;
        }
        part.right = LONG(std::min<int64_t>(part.right, part.left + (px + pw - std::max<int64_t>(destX, px))));
        part.bottom = LONG(std::min<int64_t>(part.bottom, part.top + (py + ph - std::max<int64_t>(destY, py))));
        if (TransferImageToSurface2DArea(&part, int(piece->sourceX + column), int(piece->sourceY + row),
                                         graph->pieces[i], image, alphaImage) == -1) {
            return -1;
        }
    }
    return 0;
}

int RestoreGraphSurfaces(GraphRecord* graph) {
    if (!IsDisplayStarted()) return -1;
    int result = 0;
    for (int i = 0; i < PieceCount(graph); i++) {
        const Surface2DRecord* piece = LookupSurface2D(graph->pieces[i]);
        EndSurface2DAccess();
        if (piece == nullptr) return -1;
        result |= RestoreLostSurfaceData(piece->surfaceData);
    }
    return result;
}
