// graph_record.h - the record behind a graph handle.
//
// A graph's pixels live either in Direct3D textures (hardware flag 1; pieces are
// 3D-surface handles) or in 2D surfaces (pieces are 2D-surface handles, one per
// graph on these paths). Divided and derived graphs name a rectangle of a parent's
// storage and share it by reference count. File name, directory and source position
// say where the pixels came from, so a lost device can reload them.
#pragma once

#include <cstdint>

#include "library/core/handle_table.h"

enum { GraphPieceCapacity = 64, GraphFileNameCapacity = 64, GraphDirectoryCapacity = 256 };

struct GraphRecord {
    HandleRecordHead head;    // check number; lost flag written 1 on delete
    int32_t handle;
    uint8_t hardwareFlag;     // pixels are Direct3D textures
    uint8_t alphaChannelFlag;
    uint8_t drawValidFlag;    // the graph can be a draw target
    uint8_t memImgFlag;       // a non-texture graph keeps its pixels in a MEMIMG
    uint8_t alphaTestFlag;
    uint8_t colorBitDepth;    // 16 or 32 (or the screen's depth)
    uint8_t paletteFlag;      // 8-bit palette pixels (non-texture graphs only)
    int32_t mirrorFlag;       // the pixels were stored reversed left to right
    int32_t creationOption;   // the draw state's new-graph option; settings byte 6 of the storage
    int32_t pieces[GraphPieceCapacity];  // 2D- or 3D-surface handles; pieces[0] is the first
    int32_t pieceCount;
    char fileName[GraphFileNameCapacity];    // source image, empty when none
    char directory[GraphDirectoryCapacity];  // current directory when the name was remembered
    int32_t sourceX, sourceY;  // top-left pixel inside the source image
    int32_t width, height;
    int32_t movieHandle;       // the movie shown in the graph, -1 when none
    int32_t restoreFlag;       // waits to be reloaded after a device loss
    int32_t movieOwner;        // 1 for the graph that opened its movie (only it closes it)
};

// The record of a graph handle, or null when the handle is refused (not a graph
// handle, slot out of range or empty, stale check number).
GraphRecord* GetGraphRecord(int handle);
