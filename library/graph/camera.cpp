// camera.cpp - the camera matrices of the draw target and the depth settings of 2D
// drawing (see camera.h).
#include "library/graph/camera.h"

#include <cmath>

#include "library/d3d/d3d.h"
#include "library/display/screen_state.h"
#include "library/graph/draw_side.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_manager.h"

GraphCameraState g_GraphCamera;

namespace {

// What BeginDepthOnlyDraw saves.
struct DepthOnlySaved {
    float depth2D;
    int blendMode;
    int blendParam;
    int zWrite;
    int zCompare;
} depthOnlySaved;

void Cross(float out[3], const float a[3], const float b[3]) {
    const float x = a[1] * b[2] - a[2] * b[1];
    const float y = a[2] * b[0] - a[0] * b[2];
    const float z = a[0] * b[1] - a[1] * b[0];
    out[0] = x, out[1] = y, out[2] = z;
}

float Dot(const float a[3], const float b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

}  // namespace

int SetIdentityMatrix(Matrix4* out) {
    *out = Matrix4{};
    for (int i = 0; i < 4; i++) out->m[i][i] = 1.0f;
    return 0;
}

int MultiplyMatrix(Matrix4* out, const Matrix4* a, const Matrix4* b) {
    Matrix4 product{};
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++)
            for (int k = 0; k < 4; k++) product.m[i][j] += a->m[i][k] * b->m[k][j];
    *out = product;
    return 0;
}

int NormalizeVector3(float out[3], const float in[3]) {
    const float length = std::sqrt(Dot(in, in));
    for (int i = 0; i < 3; i++) out[i] = in[i] / length;
    return 0;
}

int BuildLookAtMatrix(Matrix4* out, const float eye[3], const float at[3], const float up[3]) {
    float d[3] = {at[0] - eye[0], at[1] - eye[1], at[2] - eye[2]};
    NormalizeVector3(d, d);
    float r[3], u[3];
    Cross(r, up, d);
    NormalizeVector3(r, r);
    Cross(u, d, r);
    NormalizeVector3(u, u);
    *out = Matrix4{{{r[0], u[0], d[0], 0.0f},
                    {r[1], u[1], d[1], 0.0f},
                    {r[2], u[2], d[2], 0.0f},
                    {-Dot(eye, r), -Dot(eye, u), -Dot(eye, d), 1.0f}}};
    return 0;
}

// The aspect is the screen's, whatever the target.
int BuildPerspectiveMatrix(Matrix4* out, float fieldOfView, float nearZ, float farZ) {
    int width = 0, height = 0;
    GetScreenPixelSize(&width, &height);
    const float aspect = float(height) / float(width);
    const float sn = std::sin(fieldOfView / 2), cs = std::cos(fieldOfView / 2);
    if (std::fabs(farZ - nearZ) < 0.01f || std::fabs(sn) < 0.01f) return -1;
    *out = Matrix4{};
    out->m[0][0] = cs / sn * aspect;
    out->m[1][1] = cs / sn;
    out->m[2][2] = farZ / (farZ - nearZ);
    out->m[2][3] = 1.0f;
    out->m[3][2] = -nearZ * farZ / (farZ - nearZ);
    return 0;
}

int BuildViewportMatrix(Matrix4* out, float x, float y, float width, float height) {
    *out = Matrix4{};
    out->m[0][0] = width * 0.5f;
    out->m[1][1] = -height * 0.5f;
    out->m[2][2] = 1.0f;
    out->m[3][0] = x;
    out->m[3][1] = y;
    out->m[3][3] = 1.0f;
    return 0;
}

int RecombineCameraTransform(void) {
    GraphCameraState& c = g_GraphCamera;
    MultiplyMatrix(&c.combined, &c.world, &c.view);
    MultiplyMatrix(&c.combined, &c.combined, &c.projection);
    MultiplyMatrix(&c.combined, &c.combined, &c.viewport);
    c.inverseViewRotation = Matrix4{};
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) c.inverseViewRotation.m[i][j] = c.view.m[j][i];
    return 0;
}

int StoreWorldTransform(const Matrix4* matrix) {
    g_GraphCamera.world = *matrix;
    RecombineCameraTransform();
    if (IsDirect3DAvailable()) G_D3D_SetWorldTransform(matrix);
    return SetWorldTransformSoft(matrix);
}

int StoreViewTransform(const Matrix4* matrix) {
    g_GraphCamera.view = *matrix;
    RecombineCameraTransform();
    if (IsDirect3DAvailable()) G_D3D_SetViewTransform(matrix);
    return SetViewTransformSoft(matrix);
}

int StoreProjectionTransform(const Matrix4* matrix) {
    g_GraphCamera.projection = *matrix;
    RecombineCameraTransform();
    if (IsDirect3DAvailable()) G_D3D_SetProjectionTransform(matrix);
    return SetProjectionTransformSoft(matrix);
}

int StoreViewportTransform(const Matrix4* matrix) {
    g_GraphCamera.viewport = *matrix;
    return RecombineCameraTransform();
}

// One world unit at depth 0 is one pixel: a 60-degree vertical field of view spans
// the target's height at distance D.
int ResetCameraForTarget(int width, int height) {
    Matrix4 matrix;
    SetIdentityMatrix(&matrix);
    StoreWorldTransform(&matrix);

    const float w = float(width), h = float(height);
    BuildViewportMatrix(&matrix, w * 0.5f, h * 0.5f, w, h);
    StoreViewportTransform(&matrix);
    g_GraphCamera.defaultViewport = matrix;

    const float distance = float(height / 2) * 1.7320508f;
    const float eye[3] = {w * 0.5f, h * 0.5f, -distance};
    const float at[3] = {w * 0.5f, h * 0.5f, -distance + 1.0f};
    const float up[3] = {0.0f, 1.0f, 0.0f};
    BuildLookAtMatrix(&matrix, eye, at, up);
    StoreViewTransform(&matrix);

    if (BuildPerspectiveMatrix(&matrix, 1.0471976f, distance * 0.1f, distance + 1000.0f) == 0) {
        StoreProjectionTransform(&matrix);
    }
    return 0;
}

// ---- Depth settings ------------------------------------------------------------------

int SetZWriteFlag(int flag) {
    if (g_DrawState.zWrite == flag) return 0;
    g_DrawState.zWrite = flag;
    if (IsDirect3DAvailable()) G_D3D_FlushBeforeZWriteChange(flag, 0);
    return SetZWriteSoft(flag);
}

int SetZCompareFunction(int function) {
    if (g_DrawState.zCompare == function) return 0;
    g_DrawState.zCompare = function;
    if (IsDirect3DAvailable()) G_D3D_FlushBeforeZCompareChange(function, 0);
    return SetZCompareSoft(function);
}

int SetDraw2DDepth(float depth) {
    g_DrawState.depth2D = depth;
    return 0;
}

int BeginDepthOnlyDraw(int flag) {
    const DrawState& d = g_DrawState;
    depthOnlySaved = {d.depth2D, d.blendMode, d.blendParam, d.zWrite, d.zCompare};
    SetDraw2DDepth(flag ? 1.0f : 0.0f);
    SetBlendModeParam(BlendDepthOnly, 255);
    SetZWriteFlag(1);
    SetZCompareFunction(ZCompareAlways);
    return 0;
}

int EndDepthOnlyDraw(void) {
    SetZCompareFunction(depthOnlySaved.zCompare);
    SetZWriteFlag(depthOnlySaved.zWrite);
    SetBlendModeParam(depthOnlySaved.blendMode, depthOnlySaved.blendParam);
    SetDraw2DDepth(depthOnlySaved.depth2D);
    return 0;
}
