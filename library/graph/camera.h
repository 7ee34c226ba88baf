// camera.h - the default camera of a draw target and the depth settings of 2D drawing.
//
// Matrices are 16 floats in row-major order; points are row vectors multiplied on the
// left (p' = p x M) with the translation in the fourth row. Under the default camera a
// world point (x, y, 0) lands on pixel (x, h - y) of a target with the screen's aspect.
#pragma once

struct Matrix4 {
    float m[4][4];
};

struct GraphCameraState {
    Matrix4 world;
    Matrix4 view;
    Matrix4 projection;
    Matrix4 viewport;
    Matrix4 defaultViewport;
    Matrix4 combined;             // world x view x projection x viewport
    Matrix4 inverseViewRotation;  // transpose of the view's 3 x 3 rotation
};

extern GraphCameraState g_GraphCamera;

int StoreWorldTransform(const Matrix4* matrix);
int StoreViewTransform(const Matrix4* matrix);
int StoreProjectionTransform(const Matrix4* matrix);
int StoreViewportTransform(const Matrix4* matrix);
int RecombineCameraTransform(void);
// The camera of a w x h target: identity world, 60-degree perspective, viewport.
int ResetCameraForTarget(int width, int height);

int SetIdentityMatrix(Matrix4* out);
int MultiplyMatrix(Matrix4* out, const Matrix4* a, const Matrix4* b);  // out may be a
int BuildLookAtMatrix(Matrix4* out, const float eye[3], const float at[3], const float up[3]);
int BuildPerspectiveMatrix(Matrix4* out, float fieldOfView, float nearZ, float farZ);  // -1 refused, out kept
int BuildViewportMatrix(Matrix4* out, float x, float y, float width, float height);
int NormalizeVector3(float out[3], const float in[3]);

int SetZWriteFlag(int flag);
int SetZCompareFunction(int function);
int SetDraw2DDepth(float depth);
int BeginDepthOnlyDraw(int flag);
int EndDepthOnlyDraw(void);
