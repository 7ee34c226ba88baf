// graph_textures.cpp - graphs kept in power-of-two textures: making the tiles of a new
// or derived graph, deleting them, copying images, image rectangles and movie frames
// into them, restoring lost textures and filling them with a colour.
//
// Tiles are listed row by row, left to right; on a device that takes square textures
// only, the extra squares cut from oblong tiles follow at the end of the list.
#include <algorithm>

#include "library/core/log.h"
#include "library/d3d/d3d_internal.h"
#include "library/display/pixel_converter.h"
#include "library/display/screen_state.h"
#include "library/display/surface2d.h"
#include "library/display/surface_data.h"
#include "library/graph/graph_image.h"
#include "library/graph/graph_record.h"
#include "library/graph/movie_record.h"

namespace {

struct TileLayout {
    int x, y, textureWidth, textureHeight;
};

int PieceCount(const GraphRecord* graph) { return std::clamp(graph->pieceCount, 0, int(GraphPieceCapacity)); }

void DeleteTiles(GraphRecord* graph, int count) {
    for (int i = 0; i < count; i++) DeleteSurface3DData(graph->pieces[i]);
    graph->pieceCount = 0;
}

// Cuts oblong tiles into squares of their shorter side; false when that would make
// more tiles than a graph holds.
bool CutIntoSquares(TileLayout* tiles, int* count) {
    const int before = *count;
    for (int i = 0; i < before; i++) {
        TileLayout& t = tiles[i];
        if (t.textureWidth == t.textureHeight) continue;
        const bool wide = t.textureWidth > t.textureHeight;
        const int side = wide ? t.textureHeight : t.textureWidth;
        const int k = (wide ? t.textureWidth : t.textureHeight) / side;
        if (*count + k - 1 > GraphPieceCapacity) return false;
        for (int j = 1; j < k; j++) {
            tiles[(*count)++] = TileLayout{t.x + (wide ? j * side : 0), t.y + (wide ? 0 : j * side), side, side};
        }
        t.textureWidth = t.textureHeight = side;
    }
    return true;
}

}  // namespace

int G_D3D_CreateGraphSurface3D(GraphRecord* graph) {
    if (g_D3D.direct3D == nullptr) return -1;
    graph->pieceCount = 0;
    int widths[SplitSizeMaxPieces], heights[SplitSizeMaxPieces];
    const int columns = SplitSizeIntoPowerOfTwo(graph->width, widths, graph->drawValidFlag);
    const int rows = SplitSizeIntoPowerOfTwo(graph->height, heights, graph->drawValidFlag);
    if (columns * rows > GraphPieceCapacity) {
        return WriteLogFormat("エラー：画像の分割数が最大数の %d を超えました", int(GraphPieceCapacity));
    }
    TileLayout tiles[GraphPieceCapacity];
    int count = 0;
    for (int j = 0, y = 0; j < rows; y += heights[j++]) {
        for (int i = 0, x = 0; i < columns; x += widths[i++]) tiles[count++] = TileLayout{x, y, widths[i], heights[j]};
    }
    if ((g_D3D.deviceDesc.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_SQUAREONLY) && !CutIntoSquares(tiles, &count)) {
        return WriteLogFormat("エラー：画像の分割数が最大数の %d を超えました", int(GraphPieceCapacity));
    }

    const SurfaceDataSettings settings = GraphSurfaceSettings(graph);
    int made = 0;
    for (int i = 0; i < count; i++) {
        const TileLayout& t = tiles[i];
        const int visibleWidth = std::min(t.textureWidth, graph->width - t.x);
        const int visibleHeight = std::min(t.textureHeight, graph->height - t.y);
        // A square cut from a tile at the graph's edge can lie wholly beyond it.
        if (visibleWidth <= 0 || visibleHeight <= 0) continue;
        const int piece = AddSurface3DData(t.textureWidth, t.textureHeight, t.x, t.y, visibleWidth, visibleHeight, t.x,
                                           t.y, graph->handle, nullptr, 0, 0, &settings);
        if (piece == -1) {
            // Tiles made so far go now: the graph is never listed with them.
            DeleteTiles(graph, made);
            return -1;
        }
        graph->pieces[made++] = piece;
        SetSurface3DDiagonalSides(LookupSurface3DData(piece), graph->width, graph->height);
    }
    graph->pieceCount = made;
    return 0;
}

int G_D3D_CreateSubGraphSurface3D(GraphRecord* graph, int x, int y, int width, int height, const GraphRecord* parent) {
    graph->pieceCount = 0;
    const int parentCount = PieceCount(parent);
    if (parentCount == 1) {
        const Surface3DRecord* tile = LookupSurface3DData(parent->pieces[0]);
        if (tile == nullptr) return -1;
        const int piece = AddSurface3DData(0, 0, 0, 0, width, height, x, y, graph->handle, tile, x, y, nullptr);
        if (piece == -1) return -1;
        graph->pieces[0] = piece;
        graph->pieceCount = 1;
        SetSurface3DDiagonalSides(LookupSurface3DData(piece), graph->width, graph->height);
        return 0;
    }
    // One axis of a parent tile against the rectangle [from, from + size): where the new
    // tile starts, how far into the parent tile, and how long; false when it misses.
    auto cut = [](int tileStart, int tileSize, int from, int size, int* start, int* offset, int* length) {
        const bool reachesEnd = tileStart + tileSize >= from + size;
        if (tileStart >= from && tileStart < from + size) {
            *start = tileStart - from;
            *offset = 0;
            *length = reachesEnd ? from + size - tileStart : tileSize;
            return true;
        }
        if (tileStart < from && tileStart + tileSize > from) {
            *start = 0;
            *offset = from - tileStart;
            *length = reachesEnd ? size : tileStart + tileSize - from;
            return true;
        }
        return false;
    };
    for (int i = 0; i < parentCount; i++) {
        const Surface3DRecord* tile = LookupSurface3DData(parent->pieces[i]);
        if (tile == nullptr) {
            DeleteTiles(graph, graph->pieceCount);
            return -1;
        }
        int nx, ny, offsetX, offsetY, w, h;
        if (!cut(tile->graphX, tile->width, x, width, &nx, &offsetX, &w) ||
            !cut(tile->graphY, tile->height, y, height, &ny, &offsetY, &h))
            continue;
        // The source position given is relative to the parent tile, like the texture's.
        const int piece =
            AddSurface3DData(0, 0, nx, ny, w, h, offsetX, offsetY, graph->handle, tile, offsetX, offsetY, nullptr);
        if (piece == -1) {
            DeleteTiles(graph, graph->pieceCount);
            return -1;
        }
        graph->pieces[graph->pieceCount++] = piece;
        SetSurface3DDiagonalSides(LookupSurface3DData(piece), graph->width, graph->height);
    }
    return 0;
}

int G_D3D_DeleteGraphSurface3D(GraphRecord* graph) {
    if (g_D3D.direct3D == nullptr) return -1;
    for (int i = 0; i < PieceCount(graph); i++) DeleteSurface3DData(graph->pieces[i]);
    return 0;
}

int TransferImageToSurface3D(const RECT* sourceRect, int textureX, int textureY, int piece, const GraphImage* image,
                             const GraphImage* alphaImage) {
    G_D3D_FlushVertexBatch();
    const Surface3DRecord* tile = LookupSurface3DData(piece);
    if (tile == nullptr) return -1;
    const SurfaceDataRecord* data = GetSurfaceDataRecord(tile->texture);
    if (data == nullptr || data->surface == nullptr) return -1;
    const DDPIXELFORMAT* pixelFormat = G_D3D_GetTexturePixelFormat(data->formatIndex);
    const ColorFormat* format = G_D3D_GetTextureColorFormatByIndex(data->formatIndex);
    if (pixelFormat == nullptr || format == nullptr) return -1;

    // Only what lies inside both the image and the texture is copied.
    RECT source = *sourceRect;
    if (source.left < 0) textureX -= source.left, source.left = 0;
    if (source.top < 0) textureY -= source.top, source.top = 0;
    source.right = std::min<LONG>({source.right, image->width, source.left + (data->width - textureX)});
    source.bottom = std::min<LONG>({source.bottom, image->height, source.top + (data->height - textureY)});
    if (textureX < 0 || textureY < 0 || source.right <= source.left || source.bottom <= source.top) return 0;
    sourceRect = &source;
    RECT destRect{textureX, textureY, textureX + (source.right - source.left), textureY + (source.bottom - source.top)};
    int pitch = 0;
    void* pixels = nullptr;
    int destX = 0, destY = 0;
    IDirectDrawSurface7* temporary = nullptr;
    if (LockSurface3DData(piece, &pitch, &pixels, 1, &destRect, nullptr) == -1) {
        // The texture cannot be written directly: fill a system-memory copy and load it.
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY;
        desc.dwWidth = data->width;
        desc.dwHeight = data->height;
        desc.ddpfPixelFormat = *pixelFormat;
        if (IDirectDraw7_CreateSurface(GetDirectDrawObject(), &desc, &temporary, nullptr) != DD_OK) {
            FatalErrorExit("テンポラリテクスチャサーフェスの作成に失敗しました");
        }
        DDSURFACEDESC2 locked{};
        locked.dwSize = sizeof locked;
        if (IDirectDrawSurface7_Lock(temporary, nullptr, &locked, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr) != DD_OK) {
            IDirectDrawSurface7_Release(temporary);
            return -1;
        }
        pixels = locked.lpSurface;
        pitch = locked.lPitch;
        destX = textureX;
        destY = textureY;
    }
    const bool keyToAlpha = format->alphaWidth != 0 && alphaImage == nullptr && image->format.alphaWidth == 0;
    ConvertPixelsBetweenFormats(pixels, pitch, format, image->pixels, image->pitch, &image->format,
                                alphaImage != nullptr ? alphaImage->pixels : nullptr,
                                alphaImage != nullptr ? alphaImage->pitch : 0,
                                alphaImage != nullptr ? &alphaImage->format : nullptr, destX, destY, sourceRect, 0,
                                keyToAlpha ? 1 : 0, data->colorKey, 0, 0, 0, 0);
    if (temporary == nullptr) {
        UnlockSurface3DData(piece, &destRect);
    } else {
        IDirectDrawSurface7_Unlock(temporary, nullptr);
        IDirectDrawSurface7_Restore(data->surface);
        POINT to{textureX, textureY};
        IDirect3DDevice7* device = static_cast<IDirect3DDevice7*>(G_D3D_GetDevice());
        if (IDirect3DDevice7_Load(device, data->surface, &to, temporary, &destRect, 0) != D3D_OK) {
            FatalErrorExit("作業用テクスチャサーフェスから描画用テクスチャサーフェスへの画像転送に失敗しました");
        }
        IDirectDrawSurface7_Release(temporary);
    }
    SetSurfaceDataColorKey(tile->texture);
    return 0;
}

int G_D3D_BltImageToGraph(const void*, int, int, int x, int y, GraphRecord* graph, int, const GraphImage* image,
                          const GraphImage* alphaImage) {
    if (g_D3D.direct3D == nullptr || image == nullptr) return -1;
    for (int i = 0; i < PieceCount(graph); i++) {
        const Surface3DRecord* tile = LookupSurface3DData(graph->pieces[i]);
        if (tile == nullptr) return -1;
        const RECT source{x + tile->graphX, y + tile->graphY, x + tile->graphX + tile->width,
                          y + tile->graphY + tile->height};
        if (TransferImageToSurface3D(&source, tile->textureX, tile->textureY, graph->pieces[i], image, alphaImage) < 0)
            return -1;
    }
    return 0;
}

int G_D3D_BltImageRectToGraph(const RECT* sourceRect, int destX, int destY, GraphRecord* graph,
                              const GraphImage* image, const GraphImage* alphaImage) {
    if (g_D3D.direct3D == nullptr || image == nullptr || sourceRect == nullptr) return -1;
    const int width = sourceRect->right - sourceRect->left, height = sourceRect->bottom - sourceRect->top;
    for (int i = 0; i < PieceCount(graph); i++) {
        const Surface3DRecord* tile = LookupSurface3DData(graph->pieces[i]);
        if (tile == nullptr) return -1;
        if (!(destX < tile->graphX + tile->width && tile->graphX < destX + width &&
              destY < tile->graphY + tile->height && tile->graphY < destY + height))
            continue;
        RECT source = *sourceRect;
        int offsetX = destX - tile->graphX, offsetY = destY - tile->graphY;
        if (offsetX < 0) source.left -= offsetX, offsetX = 0;
        if (offsetY < 0) source.top -= offsetY, offsetY = 0;
        source.right = std::min<LONG>(source.right, source.left + (tile->width - offsetX));
        source.bottom = std::min<LONG>(source.bottom, source.top + (tile->height - offsetY));
        if (source.right <= source.left || source.bottom <= source.top) continue;
        if (TransferImageToSurface3D(&source, tile->textureX + offsetX, tile->textureY + offsetY, graph->pieces[i],
                                     image, alphaImage) < 0)
            return -1;
    }
    return 0;
}

int G_D3D_TransferMovieFrameToGraph(const MovieRecord* movie, GraphRecord* graph) {
    if (movie->frameBuffer == nullptr) return 0;
    GraphImage frame{};
    frame.format = movie->frameFormat;
    frame.width = movie->frameWidth;
    frame.height = movie->frameHeight;
    frame.pitch = movie->frameBufferPitch;
    frame.pixels = movie->frameBuffer;
    GraphImage alpha{};
    const GraphImage* alphaImage = nullptr;
    // A movie with alpha carries it in the right half of every frame.
    if (movie->alphaMovieFlag) {
        frame.width /= 2;
        alpha = frame;
        alpha.pixels = static_cast<uint8_t*>(frame.pixels) + intptr_t(frame.width) * frame.format.bytesPerPixel;
        alphaImage = &alpha;
    }
    for (int i = 0; i < PieceCount(graph); i++) {
        const Surface3DRecord* tile = LookupSurface3DData(graph->pieces[i]);
        if (tile == nullptr) continue;
        // The frame may be smaller than the graph: only what it holds is copied.
        const int w = std::min<int>(tile->width, frame.width - tile->sourceX);
        const int h = std::min<int>(tile->height, frame.height - tile->sourceY);
        if (w <= 0 || h <= 0) continue;
        const RECT source{tile->sourceX, tile->sourceY, tile->sourceX + w, tile->sourceY + h};
        TransferImageToSurface3D(&source, tile->textureX, tile->textureY, graph->pieces[i], &frame, alphaImage);
        SetSurfaceDataColorKey(tile->texture);
    }
    return 0;
}

int G_D3D_RestoreGraphSurface3D(GraphRecord* graph) {
    if (g_D3D.direct3D == nullptr) return -1;
    int result = 0;
    for (int i = 0; i < PieceCount(graph); i++) {
        const Surface3DRecord* tile = LookupSurface3DData(graph->pieces[i]);
        if (tile == nullptr) return -1;
        result |= RestoreLostSurfaceData(tile->texture);
    }
    return result;
}

int G_D3D_FillGraphColor(GraphRecord* graph, int r, int g, int b, int a) {
    if (g_D3D.direct3D == nullptr) return -1;
    if (g_D3D.softwareTarget) return 0;
    for (int i = 0; i < PieceCount(graph); i++) {
        const Surface3DRecord* tile = LookupSurface3DData(graph->pieces[i]);
        if (tile == nullptr) return -1;
        FillSurfaceDataColor(tile->texture, r, g, b, a);
    }
    return 0;
}
