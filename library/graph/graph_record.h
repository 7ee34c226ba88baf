// graph_record.h - the record behind a graph handle.
#pragma once

#include <cstdint>

enum { GraphPieceCapacity = 64 };

struct GraphRecord {
    int32_t checkNumber;
    int* lostFlag;
    int32_t handle;
    uint8_t hardwareFlag;     // pixels are Direct3D textures
    uint8_t alphaChannelFlag;
    uint8_t drawValidFlag;
    uint8_t memImgFlag;
    uint8_t alphaTestFlag;
    uint8_t colorBitDepth;
    uint8_t paletteFlag;
    int32_t mirrorFlag;
    int32_t creationOption;
    int32_t pieces[GraphPieceCapacity];  // 2D- or 3D-surface handles; pieces[0] is the first
    int32_t pieceCount;
    char fileName[64];
    char directory[256];
    int32_t sourceX, sourceY;
    int32_t width, height;
    int32_t movieHandle;
    int32_t restoreFlag;
};

GraphRecord* GetGraphRecord(int handle);
