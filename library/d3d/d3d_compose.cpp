// d3d_compose.cpp - render-state composition: from what the slot records for the next
// primitives (main texture, blend texture with its border parameter and range, blend
// mode, the texture's alpha kind, colour and alpha modulation) derive the alpha-test,
// blend and texture-factor states, the operations and textures of up to four texture
// stages and the vertex kind of the batch; send only what differs from the cache.
#include "library/d3d/d3d_internal.h"

namespace {

constexpr uint16_t X = StageOpUnchanged;

// SRCBLEND and DESTBLEND by blend mode (0-9); -1 leaves the state as it is.
struct BlendFactors {
    int src, dest;
};
constexpr BlendFactors BlendFactorTable[10] = {
    {-1, -1},
    {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
    {D3DBLEND_SRCALPHA, D3DBLEND_ONE},
    {D3DBLEND_INVDESTCOLOR, D3DBLEND_ZERO},
    {D3DBLEND_ZERO, D3DBLEND_SRCCOLOR},
    {D3DBLEND_SRCALPHA, D3DBLEND_ONE},
    {-1, -1},
    {-1, -1},
    {D3DBLEND_ZERO, D3DBLEND_ONE},
    {D3DBLEND_INVDESTCOLOR, D3DBLEND_ZERO},
};

bool BlendingOn(int mode) { return mode != 0 && mode != 6; }

struct StageRow {
    int stages;
    TextureStageOps ops[4];
};

constexpr TextureStageOps Disabled{X, X, D3DTOP_DISABLE, X, X, D3DTOP_DISABLE};

// Operations by (operation, argument 1, argument 2) for alpha and colour.
constexpr TextureStageOps Ops(uint16_t alphaOp, uint16_t alphaArg1, uint16_t alphaArg2, uint16_t colorOp,
                              uint16_t colorArg1, uint16_t colorArg2) {
    return TextureStageOps{alphaArg1, alphaArg2, alphaOp, colorArg1, colorArg2, colorOp};
}

// The row of TextureStageTable for (blend texture, colour modulation, alpha
// modulation, alpha kind 0 none / 1 alpha channel / 2 alpha test).
constexpr StageRow MakeStageRow(int blend, int colorModulate, int alphaModulate, int alphaKind) {
    StageRow row{1, {Disabled, Disabled, Disabled, Disabled}};
    // The texture's colour, modulated by the vertex colour or not.
    const uint16_t tcOp = colorModulate ? D3DTOP_MODULATE : D3DTOP_SELECTARG1;
    const uint16_t tcArg2 = colorModulate ? D3DTA_DIFFUSE : X;
    if (!blend) {
        if (alphaKind == 0) {
            row.ops[0] = Ops(D3DTOP_SELECTARG2, X, D3DTA_DIFFUSE, tcOp, D3DTA_TEXTURE, tcArg2);
        } else {
            row.ops[0] = Ops(alphaModulate ? D3DTOP_MODULATE : D3DTOP_SELECTARG1, D3DTA_TEXTURE,
                             alphaModulate ? D3DTA_DIFFUSE : X, tcOp, D3DTA_TEXTURE, tcArg2);
        }
        return row;
    }
    // The blend texture sits on stage 0: its alpha plus the texture factor.
    row.ops[0] = Ops(D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_TFACTOR, D3DTOP_SELECTARG2, X, D3DTA_DIFFUSE);
    const TextureStageOps passCurrent = Ops(D3DTOP_MODULATE, D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTOP_SELECTARG1,
                                            D3DTA_CURRENT, X);
    const TextureStageOps textureColour = Ops(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_CURRENT, tcOp, D3DTA_TEXTURE,
                                              tcArg2);
    if (alphaKind == 0) {
        row.stages = 2;
        row.ops[1] = alphaModulate ? Ops(D3DTOP_MODULATE, D3DTA_DIFFUSE, D3DTA_CURRENT, tcOp, D3DTA_TEXTURE, tcArg2)
                                   : Ops(D3DTOP_SELECTARG1, D3DTA_CURRENT, X, tcOp, D3DTA_TEXTURE, tcArg2);
    } else if (alphaKind == 2) {
        row.stages = alphaModulate ? 3 : 2;
        row.ops[1] = textureColour;
        if (alphaModulate) row.ops[2] = passCurrent;
    } else {
        row.stages = alphaModulate ? 4 : 3;
        row.ops[1] = Ops(D3DTOP_MODULATE, D3DTA_SPECULAR, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_CURRENT, X);
        row.ops[2] = textureColour;
        if (alphaModulate) row.ops[3] = passCurrent;
    }
    return row;
}

struct StageTable {
    StageRow rows[24];
    constexpr StageTable() : rows{} {
        for (int i = 0; i < 24; i++) rows[i] = MakeStageRow(i / 12, (i / 6) % 2, (i / 3) % 2, i % 3);
    }
};
constexpr StageTable TextureStageTable;

// Untextured vertices: the diffuse colour and alpha pass through stage 0. Blend mode 3
// (the inverting white box of hardware subtraction) takes exactly this row too.
constexpr StageRow DiffuseRow{1, {Ops(D3DTOP_SELECTARG2, X, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, X),
                                  Disabled, Disabled, Disabled}};

// Texture-factor alpha and stage operations for a blend graph with a soft border.
struct BorderSetting {
    uint16_t stage1AlphaOp, stage0AlphaOp;
    uint32_t alpha;
};

BorderSetting SoftBorder(int range, int p) {
    int scale, below, limit;
    uint16_t op;
    if (range <= 64) {
        scale = 1280, below = 1024, limit = 64, op = D3DTOP_MODULATE4X;
    } else if (range <= 128) {
        scale = 768, below = 512, limit = 128, op = D3DTOP_MODULATE2X;
    } else {
        scale = 512, below = 256, limit = 255, op = D3DTOP_MODULATE;
    }
    const int t = scale - p * scale / 255;
    if (t < below) return BorderSetting{op, D3DTOP_SUBTRACT, uint32_t(255 - t * 255 / below)};
    const int offset = limit == 255 ? 65280 : 65536;
    return BorderSetting{op, D3DTOP_ADD, uint32_t((t * limit - offset) / 256)};
}

// The render states composition decides; -1 for a blend factor left unchanged.
struct WantedStates {
    uint32_t alphaFunc, alphaRef, alphaTestEnable, alphaBlendEnable, textureFactor;
    int srcBlend, destBlend;
};

void SendState(D3DDeviceSlot* s, D3DRENDERSTATETYPE state, uint32_t* cached, int64_t value) {
    if (value < 0) {
        if (!s->force) return;
        value = *cached;  // a forced re-send of a state composition leaves alone
    } else if (uint32_t(value) == *cached && !s->force) {
        return;
    }
    if (s->device != nullptr) IDirect3DDevice7_SetRenderState(s->device, state, uint32_t(value));
    *cached = uint32_t(value);
}

void SendStageValue(D3DDeviceSlot* s, int stage, D3DTEXTURESTAGESTATETYPE state, uint16_t* cached, uint16_t value) {
    if (value == StageOpUnchanged || (value == *cached && !s->force)) return;
    if (s->device != nullptr) IDirect3DDevice7_SetTextureStageState(s->device, DWORD(stage), state, value);
    *cached = value;
}

void SendStageTexture(D3DDeviceSlot* s, int stage, IDirectDrawSurface7* texture) {
    if (texture == s->stageTexture[stage] && !s->force) return;
    if (s->device != nullptr) IDirect3DDevice7_SetTexture(s->device, DWORD(stage), texture);
    s->stageTexture[stage] = texture;
}

void SetBatchKind(D3DDeviceSlot* s, int kind) {
    s->batchKind = kind;
    s->batchCount = 0;
    s->batchWrite = static_cast<uint8_t*>(s->arrays[kind]);
}

}  // namespace

int G_D3D_ComposeSlotStates(int slot) {
    D3DDeviceSlot* s = GetD3DSlot(slot);
    if (s == nullptr) return -1;
    if (!s->force && !s->statesDirty && !s->textureDirty) return -1;
    if (s->batchCount != 0) FlushSlotBatch(s);

    // Only the main texture changed: it goes onto the stage that carries it.
    if (!s->force && !s->statesDirty) {
        const int stage = s->blendTexture == nullptr ? 0 : s->alphaChannel == 1 ? 2 : 1;
        if (s->device != nullptr) IDirect3DDevice7_SetTexture(s->device, DWORD(stage), s->texture);
        s->stageTexture[stage] = s->texture;
        s->textureDirty = 0;
        return 0;
    }

    s->statesDirty = s->textureDirty = 0;
    const int mode = s->blendMode >= 0 && s->blendMode < 10 ? s->blendMode : 0;
    const bool blending = BlendingOn(mode);
    WantedStates w{s->alphaFunc, s->alphaRef, 0, 0, 0xFFFFFFFFu, BlendFactorTable[mode].src,
                   BlendFactorTable[mode].dest};
    IDirectDrawSurface7* textures[4] = {nullptr, nullptr, nullptr, nullptr};
    StageRow row;

    if (s->texture == nullptr) {
        s->discard = 0;
        w.alphaBlendEnable = blending ? 1 : 0;
        w.textureFactor = s->textureFactor;
        SetBatchKind(s, BatchColor);
        row = DiffuseRow;
    } else {
        const int alphaKind = s->alphaChannel ? 1 : s->alphaTest ? 2 : 0;
        const int blendTexture = s->blendTexture != nullptr ? 1 : 0;
        row = TextureStageTable.rows[((blendTexture * 2 + s->colorModulate) * 2 + s->alphaModulate) * 3 + alphaKind];
        if (blendTexture) {
            if (!blending) w.srcBlend = BlendFactorTable[1].src, w.destBlend = BlendFactorTable[1].dest;
            s->discard = s->blendBorderParam == 255 ? 1 : 0;
            SetBatchKind(s, BatchBlendTextured);
            textures[0] = s->blendTexture;
            textures[s->alphaChannel == 1 ? 2 : 1] = s->texture;
            const int p = s->blendBorderParam;
            if (s->blendBorderRange <= 1) {
                w.alphaTestEnable = 1;
                w.alphaRef = uint32_t(p);
                w.alphaFunc = D3DCMP_GREATEREQUAL;
                w.alphaBlendEnable = 0;
                w.textureFactor = 0x00FFFFFF;
                if ((s->alphaChannel || s->alphaTest) && p == 0) w.alphaRef = 1;
            } else {
                w.alphaBlendEnable = 1;
                const BorderSetting border = SoftBorder(s->blendBorderRange, p);
                row.ops[1].alphaOp = border.stage1AlphaOp;
                row.ops[0].alphaOp = border.stage0AlphaOp;
                w.textureFactor = border.alpha << 24 | 0xFFFFFF;
            }
        } else {
            s->discard = 0;
            SetBatchKind(s, BatchTextured);
            textures[0] = s->texture;
            if (s->alphaTest) {
                w.alphaTestEnable = 1;
                w.alphaRef = 16;
                w.alphaFunc = D3DCMP_GREATER;
            } else {
                if (s->zEnable != 0) {
                    // With Z on, fully transparent texels must not write depth.
                    w.alphaTestEnable = 1;
                    w.alphaRef = 0;
                    w.alphaFunc = D3DCMP_GREATER;
                }
                if (s->alphaChannel == 1 && !blending) w.srcBlend = BlendFactorTable[1].src, w.destBlend = BlendFactorTable[1].dest;
            }
            w.alphaBlendEnable = s->alphaChannel == 1 || blending ? 1 : 0;
        }
    }

    if (row.stages != s->stagesInUse) {
        s->stagesInUse = row.stages;
        const int force = s->force;
        s->force = 1;
        G_D3D_SetSlotFilterMode(s->filterMode, slot);
        s->force = force;
    }

    SendState(s, D3DRENDERSTATE_ALPHAFUNC, &s->alphaFunc, w.alphaFunc);
    SendState(s, D3DRENDERSTATE_ALPHAREF, &s->alphaRef, w.alphaRef);
    SendState(s, D3DRENDERSTATE_ALPHATESTENABLE, &s->alphaTestEnable, w.alphaTestEnable);
    SendState(s, D3DRENDERSTATE_ALPHABLENDENABLE, &s->alphaBlendEnable, w.alphaBlendEnable);
    SendState(s, D3DRENDERSTATE_TEXTUREFACTOR, &s->textureFactor, w.textureFactor);
    SendState(s, D3DRENDERSTATE_SRCBLEND, &s->srcBlend, w.srcBlend);
    SendState(s, D3DRENDERSTATE_DESTBLEND, &s->destBlend, w.destBlend);

    // The stages used and the first one after them, which disables the rest.
    const int walk = row.stages + 1 < 4 ? row.stages + 1 : 4;
    for (int stage = 0; stage < walk; stage++) {
        if (stage >= 2 && row.ops[stage - 1].alphaOp == D3DTOP_DISABLE) break;
        SendStageTexture(s, stage, textures[stage]);
        const TextureStageOps& want = row.ops[stage];
        TextureStageOps& cache = s->stageOps[stage];
        SendStageValue(s, stage, D3DTSS_ALPHAOP, &cache.alphaOp, want.alphaOp);
        SendStageValue(s, stage, D3DTSS_ALPHAARG1, &cache.alphaArg1, want.alphaArg1);
        SendStageValue(s, stage, D3DTSS_ALPHAARG2, &cache.alphaArg2, want.alphaArg2);
        SendStageValue(s, stage, D3DTSS_COLOROP, &cache.colorOp, want.colorOp);
        SendStageValue(s, stage, D3DTSS_COLORARG1, &cache.colorArg1, want.colorArg1);
        SendStageValue(s, stage, D3DTSS_COLORARG2, &cache.colorArg2, want.colorArg2);
    }
    return 0;
}
