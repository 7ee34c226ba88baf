// graph_loader.cpp - the loader chain, the decoder front end, alpha images and the two
// graph loaders behind the public loading entry points (see graph_loader.h).
#include "library/graph/graph_loader.h"

#include <cstring>

#include "library/core/alloc.h"
#include "library/core/log.h"
#include "library/core/message_pump.h"
#include "library/core/size_refusal.h"
#include "library/d3d/d3d.h"
#include "library/display/screen_state.h"
#include "library/file/file_backend.h"
#include "library/file/stream.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_handles.h"
#include "library/graph/loaders/image_decoders.h"
#include "library/graph/movie.h"

const GraphImageLoader GraphImageLoaderTable[] = {
    DecodeBmpGraphImage, DecodeJpegGraphImage, DecodePngGraphImage, DecodeBgraGraphImage,
    DecodeTgaGraphImage, DecodeDdsGraphImage,  nullptr,
};

int RunGraphImageLoaders(StreamSource* source, GraphImage* image) {
    for (const GraphImageLoader* loader = GraphImageLoaderTable; *loader != nullptr; loader++) {
        source->ops.seek(source->handle, 0, 0);
        if ((*loader)(source, image) == 0) return 0;
    }
    return -1;
}

namespace {

// After work on the file failed: when a size was refused on the way, says that the
// file is too large (-1 either way).
int LogIfTooLarge(const char* fileName) {
    int64_t width = 0, height = 0;
    if (!GetSizeRefusal(&width, &height)) return -1;
    if (fileName == nullptr) {
        return WriteLogFormat("メモリ上のグラフィックは大きすぎます ( 幅 %lld 高さ %lld )", static_cast<long long>(width),
                              static_cast<long long>(height));
    }
    return WriteLogFormat("グラフィックファイル %s は大きすぎます ( 幅 %lld 高さ %lld )", fileName,
                          static_cast<long long>(width), static_cast<long long>(height));
}

}  // namespace

int DecodeImageData(const char* fileName, const void* memory, int memorySize, int fromMemory, int bmpOutput,
                    int mirror, GraphImage* out, BmpInfoBlock** bmpHeader, void** bmpBits) {
    StreamSource source{};
    if (fromMemory == 0) {
        if (fileName == nullptr) return -1;
        source.handle = FileBackendOpen(fileName, 0, 1, 0);
        if (source.handle == 0) return -1;
        source.ops = FileBackendStreamOpsTable;
    } else if (OpenMemoryStreamSource(&source, memory, memorySize) < 0) {
        return -1;
    }
    GraphImage image{};
    ClearSizeRefusal();
    const int decoded = RunGraphImageLoaders(&source, &image);
    source.ops.close(source.handle);  // the image holds everything now
    if (decoded < 0) return LogIfTooLarge(fromMemory == 0 ? fileName : nullptr);

    if (mirror == 1) MirrorGraphImage(&image);
    if (bmpOutput) {
        auto* block = static_cast<BmpInfoBlock*>(ZqAlloc(sizeof(BmpInfoBlock)));
        const int converted = block != nullptr ? ConvertGraphImageToBmp(&image, block, bmpBits, 0, 0) : -1;
        if (converted == -1) {
            FreeGraphImage(&image);
            if (block != nullptr) ZqFree(block);
            return -1;
        }
        if (converted == 1) FreeGraphImage(&image);  // the bits are a copy
        *bmpHeader = block;
        return 0;
    }
    *out = image;
    return 0;
}

int DecodeImageToGraphImage(const char* fileName, const void* memory, int memorySize, int fromMemory,
                            GraphImage* image, int mirror) {
    return DecodeImageData(fileName, memory, memorySize, fromMemory, 0, mirror, image, nullptr, nullptr);
}

int BuildAlphaFileName(const char* fileName, char* out, size_t capacity) {
    const size_t length = std::strlen(fileName);
    if (length + 3 > capacity) return -1;
    const char* dot = std::strrchr(fileName, '.');
    const size_t stem = dot != nullptr ? size_t(dot - fileName) : length;
    std::memcpy(out, fileName, stem);
    std::memcpy(out + stem, "_a", 2);
    std::memcpy(out + stem + 2, fileName + stem, length - stem + 1);
    return 0;
}

int DecodeImageWithAlphaFile(const char* fileName, const void* memory, int memorySize, int fromMemory,
                             const void* alphaMemory, int alphaMemorySize, int alphaFromMemory, GraphImage* image,
                             GraphImage* alphaImage, int mirror) {
    if (DecodeImageToGraphImage(fileName, memory, memorySize, fromMemory, image, mirror) < 0) return -1;
    if (alphaFromMemory == 1 && alphaMemory != nullptr) {
        return DecodeImageToGraphImage(nullptr, alphaMemory, alphaMemorySize, 1, alphaImage, mirror) == 0 ? 0 : 1;
    }
    if (alphaFromMemory != 0 || fileName == nullptr) return 1;
    char alphaName[AlphaFileNameCapacity];
    if (BuildAlphaFileName(fileName, alphaName, sizeof alphaName) < 0) return 1;
    return DecodeImageToGraphImage(alphaName, nullptr, 0, 0, alphaImage, mirror) == 0 ? 0 : 1;
}

namespace {

// An alpha image must have the image's size; a different one makes the load fail, and
// says so.
bool AlphaImageFits(const GraphImage& image, const GraphImage& alpha, const char* fileName) {
    if (alpha.width == image.width && alpha.height == image.height) return true;
    WriteLogFormat("アルファチャンネル用画像の大きさが元の画像と違います：%s", fileName);
    return false;
}

// Opens the file as a movie shown in a new graph (frames copied in the screen's format
// into a MEMIMG graph; on an 8-bit screen into a surface of palette indices, as only a
// blit draws a graph there). The graph options are the same afterwards.
int LoadMovieGraph(const char* fileName, int hardwareRequest) {
    const int savedBits = GetGraphCreateBitDepth();
    const int savedMemImg = GetGraphMemImgFlag();
    const int savedHardware = g_DrawState.useHardware3D;
    int width = 0, height = 0;
    const int movie = OpenMovieToGraph(fileName, &width, &height, 0);
    if (movie < 0) return WriteLogFormat("右記のグラフィックファイルのロードに失敗しました：%s ", fileName);
    const MovieRecord* record = GetMovieRecord(movie);
    if (record != nullptr && record->mode != MovieModeFrameCopy) SetHardware3DDrawFlag(0);

    int screenBits = 0;
    GetScreenSizeAndDepth(nullptr, nullptr, &screenBits);
    SetGraphCreateBitDepth(screenBits);
    if (g_Screen.colorBits == 8) {
        g_DrawState.newGraphInMemImg = 0;
    } else {
        SetGraphMemImgFlag(1);
    }
    const int graph =
        CreateGraphOfSize(width, height, hardwareRequest, record != nullptr ? record->alphaMovieFlag : 0, 0);
    if (graph == -1) WriteLogFormat("右記のグラフィックファイルの格納用グラフィック領域の作成に失敗しました：%s", fileName);
    SetGraphCreateBitDepth(savedBits);
    g_DrawState.newGraphInMemImg = savedMemImg;
    g_DrawState.useHardware3D = savedHardware;
    if (graph == -1) {
        CloseMovie(movie);  // nothing would ever close it
        return -1;
    }
    GraphRecord* g = GetGraphRecord(graph);
    g->movieHandle = movie;
    g->movieOwner = 1;
    if (MovieRecord* owned = GetMovieRecord(movie)) owned->ownerGraph = graph;
    return graph;
}

}  // namespace

int LoadGraphFromFile(const char* fileName, int hardwareRequest) {
    G_D3D_EndScene();
    WaitWhileInactive();
    GraphImage image{}, alpha{};
    const int decoded = DecodeImageWithAlphaFile(fileName, nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 0);
    if (decoded >= 0) {
        int graph = -1;
        if (decoded == 1 || AlphaImageFits(image, alpha, fileName)) {
            ClearSizeRefusal();
            graph = BuildGraphFromGraphImage(&image, decoded == 0 ? &alpha : nullptr, hardwareRequest);
            if (graph == -1) LogIfTooLarge(fileName);
        }
        if (graph != -1) RememberGraphSourceFile(graph, fileName);
        DisposeGraphImage(&image);
        DisposeGraphImage(&alpha);
        return graph;
    }

    const StreamHandle file = fileName != nullptr ? FileBackendOpen(fileName, 0, 1, 0) : 0;
    if (file == 0) return WriteLogFormat("グラフィックファイル %s がありません", fileName != nullptr ? fileName : "");
    FileBackendClose(file);
    return LoadMovieGraph(fileName, hardwareRequest);
}

int LoadDividedGraphFromFile(const char* fileName, int count, int across, int down, int cellWidth, int cellHeight,
                             int* handles, int hardwareRequest) {
    WaitWhileInactive();
    GraphImage image{}, alpha{};
    const int decoded = DecodeImageWithAlphaFile(fileName, nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 0);
    if (decoded < 0) {
        return WriteLogFormat("右記のグラフィックファイルのロードに失敗しました：%s", fileName != nullptr ? fileName : "");
    }
    int result = -1;
    if (handles != nullptr && (decoded == 1 || AlphaImageFits(image, alpha, fileName))) {
        ClearSizeRefusal();
        result = CreateDivGraphFromGraphImage(&image, decoded == 0 ? &alpha : nullptr, count, across, down, cellWidth,
                                              cellHeight, handles, hardwareRequest);
        if (result == -1) LogIfTooLarge(fileName);
    }
    if (result == 0) {
        for (int i = 0; i < count; i++) {
            if (handles[i] != -1) RememberGraphSourceFile(handles[i], fileName);
        }
    }
    DisposeGraphImage(&image);
    DisposeGraphImage(&alpha);
    return result;
}

int LoadImageToGraphCore(const char* fileName, int not3D) { return LoadGraphFromFile(fileName, not3D ? 0 : 1); }

int LoadImageToDivGraphsCore(const char* fileName, int count, int across, int down, int cellWidth, int cellHeight,
                             int* handles, int not3D) {
    return LoadDividedGraphFromFile(fileName, count, across, down, cellWidth, cellHeight, handles, not3D ? 0 : 1);
}
