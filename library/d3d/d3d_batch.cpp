// d3d_batch.cpp - vertex batches: every slot collects transformed vertices of one kind
// and one primitive type and draws them with one DrawPrimitive when a state change,
// another primitive type, a full array, the end of the scene or a drawing that bypasses
// Direct3D forces it. The indexed grid of the four-corner draw is drawn unbatched.
#include "library/core/system_state.h"
#include "library/d3d/d3d_internal.h"

namespace {

void DrawPending(D3DDeviceSlot* s) {
    if (s->device != nullptr) {
        IDirect3DDevice7_DrawPrimitive(s->device, D3DPRIMITIVETYPE(s->batchPrimitive), BatchVertexFormat[s->batchKind],
                                       s->arrays[s->batchKind], DWORD(s->batchCount), 0);
    }
}

void EmptyBatch(D3DDeviceSlot* s) {
    s->batchCount = 0;
    s->batchWrite = static_cast<uint8_t*>(s->arrays[s->batchKind]);
}

}  // namespace

void FlushSlotBatch(D3DDeviceSlot* s) {
    // A batch recorded while the library quits, or under the discard flag, is thrown away.
    if (s->batchCount != 0 && !CheckLibraryQuitting() && !s->discard) DrawPending(s);
    EmptyBatch(s);
}

int G_D3D_FlushSlotVertexBatch(int slot) {
    D3DDeviceSlot* s = GetD3DSlot(slot);
    if (s == nullptr) return -1;
    FlushSlotBatch(s);
    return 0;
}

int G_D3D_FlushVertexBatch(void) { return G_D3D_FlushSlotVertexBatch(g_D3D.currentSlot); }

int G_D3D_FlushBeforeZWriteChange(int, int) {
    G_D3D_FlushVertexBatch();
    return 0;
}

int G_D3D_FlushBeforeZCompareChange(int, int) {
    G_D3D_FlushVertexBatch();
    return 0;
}

void* ReserveBatchVertices(D3DDeviceSlot* s, D3DPRIMITIVETYPE primitive, int n) {
    if (s->statesDirty || s->textureDirty) G_D3D_ComposeSlotStates(int(s - D3DSlots));
    if (n > BatchCapacity[s->batchKind]) return nullptr;
    if (s->batchCount != 0 && (s->batchPrimitive != int(primitive) || s->batchCount + n > BatchCapacity[s->batchKind])) {
        DrawPending(s);
        EmptyBatch(s);
    }
    s->batchPrimitive = primitive;
    return s->batchWrite;
}

void CommitBatchVertices(D3DDeviceSlot* s, int n) {
    s->batchCount += n;
    s->batchWrite += n * BatchVertexSize[s->batchKind];
}

void* G_D3D_ReserveTriangleListVertices(int slot, int n) {
    D3DDeviceSlot* s = GetD3DSlot(slot);
    if (s == nullptr) return nullptr;
    return ReserveBatchVertices(s, D3DPT_TRIANGLELIST, n);
}

int G_D3D_DrawIndexedGrid(const ScreenVertex* vertices, int columns, int rows, int slot) {
    D3DDeviceSlot* s = GetD3DSlot(slot);
    if (s == nullptr || columns < 2 || rows < 2) return -1;
    FlushSlotBatch(s);
    enum { BlockSize = 1000 };
    WORD indices[BlockSize];
    int count = 0;
    auto draw = [&] {
        if (count != 0 && s->device != nullptr) {
            IDirect3DDevice7_DrawIndexedPrimitive(s->device, D3DPT_TRIANGLESTRIP, BatchVertexFormat[BatchTextured],
                                                  vertices, DWORD(columns * rows), indices, DWORD(count), 0);
        }
        count = 0;
    };
    for (int r = 0; r + 1 < rows; r++) {
        // A row pair that cannot fit in the block at all is left out rather than overrun it.
        if (2 * columns + 2 > BlockSize) break;
        if (count + 2 * columns + 2 > BlockSize) draw();
        // Strips are joined by repeating their edge indices (degenerate triangles).
        if (count != 0) indices[count++] = WORD((r + 1) * columns);
        for (int k = 0; k < columns; k++) {
            indices[count++] = WORD((r + 1) * columns + k);
            indices[count++] = WORD(r * columns + k);
        }
        if (r + 2 < rows) {
            const WORD last = indices[count - 1];
            indices[count++] = last;
        }
    }
    draw();
    return 0;
}
